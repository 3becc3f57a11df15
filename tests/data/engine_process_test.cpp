// Two programs on one data folder, and a program killed while writing.
// Children are forked processes with their own Workspace; they leave with
// _exit so that nothing of the parent's state is flushed twice.
#include "engine_fixture.h"

#include "data/dbf_file.h"
#include "data/expr.h"
#include "data/ntx_file.h"
#include "data/workspace.h"

#include <algorithm>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace cn::data;
using namespace enginetest;

namespace {

// Runs f in a child process; returns its exit status (f's result).
template <class F>
pid_t spawn(F&& f)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        int rc = 99;
        try {
            rc = f();
        } catch (...) {
        }
        ::_exit(rc);
    }
    return pid;
}

int waitFor(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(TwoProcesses, LocksOfOneProgramHoldOffTheOther)
{
    TempDir dir;
    makePatients(dir.path(), 5);
    Workspace ws(dir.path());
    auto a = ws.use("patnt", {}, {.shared = true});
    ASSERT_TRUE(a);
    WorkArea* p = *a;
    p->goTo(1);
    ASSERT_TRUE(p->rlock());

    const std::string folder = dir.path();
    auto child = [folder](int step) {
        return spawn([folder, step]() -> int {
            Workspace other(folder);
            auto b = other.use("patnt", {}, {.shared = true});
            if (!b)
                return 1;
            WorkArea* q = *b;
            if (step == 0) {
                q->goTo(1);
                if (q->rlock())
                    return 2;            // record 1 is the parent's
                q->goTo(2);
                if (!q->rlock())
                    return 3;
                if (q->flock())
                    return 4;
                q->unlock();
                Workspace third(folder);
                if (third.use("patnt", "x").code() != ErrorCode::InUse)
                    return 5;            // no exclusive open while it is shared
                return 0;
            }
            // step 1: the parent holds the file lock
            q->goTo(3);
            if (q->rlock())
                return 6;
            if (q->append())
                return 7;
            return 0;
        });
    };
    EXPECT_EQ(waitFor(child(0)), 0);
    p->unlock();
    ASSERT_TRUE(p->flock());
    EXPECT_EQ(waitFor(child(1)), 0);
    p->unlock();
}

// What one program writes, the other sees on its next seek: new records,
// moved keys and deletions, though its index pages were cached before.
TEST(TwoProcesses, OtherProgramsChangesShowOnTheNextSeek)
{
    TempDir dir;
    makePatients(dir.path(), 50);
    Workspace ws(dir.path());
    auto a = ws.use("patnt", {}, {.shared = true});
    ASSERT_TRUE(a);
    WorkArea* p = *a;
    ASSERT_TRUE(p->setIndex("patnt1"));
    ASSERT_TRUE(p->setIndex("patnt2"));
    ASSERT_TRUE(p->setOrder(2));
    p->setScope("F");
    EXPECT_EQ(p->keyCount(), 50u);
    EXPECT_TRUE(p->seek("FANNA"));

    const std::string folder = dir.path();
    pid_t pid = spawn([folder]() -> int {
        Workspace other(folder);
        auto b = other.use("patnt", {}, {.shared = true});
        if (!b)
            return 1;
        WorkArea* q = *b;
        if (!q->setIndex("patnt1") || !q->setIndex("patnt2"))
            return 2;
        for (int i = 51; i <= 120; ++i) {   // enough to split pages the parent has cached
            if (!q->append() || !q->setNum("PATCODE", i) || !q->setStr("PATFNAME", "Quentin"))
                return 3;
            q->unlock();
        }
        (void)q->setOrder(1);
        if (!q->seek(codeKey(1)) || !q->rlock() || !q->setStr("PATFNAME", "Ursula"))
            return 4;
        q->unlock();
        if (!q->seek(codeKey(2)) || !q->rlock() || !q->deleteRecord())
            return 5;
        q->unlock();
        return 0;
    });
    ASSERT_EQ(waitFor(pid), 0);

    // A record appended there, past the count known here, and one changed.
    p->goTo(120);
    EXPECT_FALSE(p->eof());
    EXPECT_EQ(p->num("PATCODE"), 120);
    p->goTo(1);
    EXPECT_EQ(p->str("PATFNAME").substr(0, 6), "Ursula");
    EXPECT_EQ(p->lastRec(), 120u);
    EXPECT_EQ(p->keyCount(), 119u);
    EXPECT_TRUE(p->seek("FQUENTIN"));
    EXPECT_TRUE(p->seek("FURSULA"));
    EXPECT_EQ(p->num("PATCODE"), 1);
    std::string bert = "FBERT";
    bert.resize(21, ' ');
    EXPECT_TRUE(p->seek(bert + "NAME10 "));   // another Bert, still live
    EXPECT_FALSE(p->seek(bert + "NAME2 "));   // deleted by the other program
    p->goTop();
    EXPECT_EQ(p->str("PATFNAME").substr(0, 4), "Anna");
    EXPECT_EQ(p->num("PATCODE"), 17);   // Anna Name1 moved away as Ursula
}

// Two processes append and change records of one table at once. Afterwards
// no record is lost and both indexes hold exactly the keys of the records.
TEST(TwoProcesses, ConcurrentAppendsAndKeyChangesLeaveEveryIndexExact)
{
    TempDir dir;
    makePatients(dir.path(), 0);
    const std::string folder = dir.path();
    constexpr int kPerProcess = 1000;
    auto worker = [folder](int who) {
        return spawn([folder, who]() -> int {
            Workspace ws(folder);
            auto a = ws.use("patnt", {}, {.shared = true});
            if (!a)
                return 1;
            WorkArea* p = *a;
            if (!p->setIndex("patnt1") || !p->setIndex("patnt2"))
                return 2;
            std::mt19937 rng(who);
            for (int i = 1; i <= kPerProcess; ++i) {
                const long code = who * 100000L + i;
                if (!p->append())
                    return 3;
                if (!p->setNum("PATCODE", code) || !p->setStr("PATFNAME", "P" + std::to_string(who)) ||
                    !p->setStr("PATLNAME", std::to_string(rng() % 1000)))
                    return 4;
                p->unlock();
                if (i % 5 == 0) {
                    // Change the name key, or delete, one of our earlier records.
                    if (!p->setOrder(1))
                        return 5;
                    const long target = who * 100000L + 1 + rng() % i;
                    if (!p->seek(codeKey(target)))
                        continue;   // deleted earlier
                    for (int tries = 0; !p->rlock(); ++tries)
                        if (tries > 1000)
                            return 6;
                    Status st = rng() % 4 == 0 ? p->deleteRecord() : p->setStr("PATLNAME", "c" + std::to_string(i));
                    if (!st)
                        return 7;
                    p->unlock();
                }
            }
            return ws.commitAll() ? 0 : 8;
        });
    };
    pid_t a = worker(1), b = worker(2);
    EXPECT_EQ(waitFor(a), 0);
    EXPECT_EQ(waitFor(b), 0);

    auto dbf = DbfFile::open(dir.file("PATNT.dbf"), false);
    ASSERT_TRUE(dbf);
    ASSERT_EQ((*dbf)->recordCount(), 2u * kPerProcess);
    std::vector<long> codes;
    std::string rec((*dbf)->recordLength(), ' ');
    for (uint32_t r = 1; r <= (*dbf)->recordCount(); ++r) {
        ASSERT_TRUE((*dbf)->read(r, rec.data()));
        codes.push_back(static_cast<long>(decodeNumeric(rec.substr(1, 10))));
    }
    std::sort(codes.begin(), codes.end());
    for (int i = 1; i <= kPerProcess; ++i) {
        EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), 100000L + i)) << i;
        EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), 200000L + i)) << i;
    }
    for (const char* file : {"PATNT1.ntx", "PATNT2.ntx"}) {
        auto ix = NtxFile::open(dir.file(file), false);
        ASSERT_TRUE(ix);
        EXPECT_TRUE((*ix)->verify());
        auto expr = Expr::compile((*ix)->keyText(), (*dbf)->fields());
        ASSERT_TRUE(expr);
        std::vector<std::pair<std::string, uint32_t>> expected, got;
        std::string key;
        for (uint32_t r = 1; r <= (*dbf)->recordCount(); ++r) {
            ASSERT_TRUE((*dbf)->read(r, rec.data()));
            expr->key(rec.data(), key);
            expected.emplace_back(key, r);
        }
        std::sort(expected.begin(), expected.end());
        ASSERT_TRUE((*ix)->walk("", [&](std::string_view k, uint32_t r) {
            got.emplace_back(std::string(k), r);
            return true;
        }));
        EXPECT_TRUE(got == expected) << file << ": " << got.size() << " keys, " << expected.size() << " records";
    }
}

// A process appending and committing is killed at arbitrary moments. The
// table reopens with whole records only, and every committed record is there
// as committed.
TEST(Crash, KilledWriterLeavesWholeRecordsAndEveryCommittedOne)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        TempDir dir;
        makePatients(dir.path(), 0);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const std::string folder = dir.path();
        pid_t pid = spawn([folder, fd = fds[1]]() -> int {
            Workspace ws(folder);
            auto a = ws.use("patnt");
            if (!a)
                return 1;
            WorkArea* p = *a;
            if (!p->setIndex("patnt1"))
                return 2;
            for (int i = 1;; ++i) {
                if (!p->append() || !p->setNum("PATCODE", i) || !p->setStr("PATFNAME", "Name" + std::to_string(i)))
                    return 5;
                if (i % 3 == 0) {
                    if (!ws.commitAll())
                        return 3;
                    if (::write(fd, &i, sizeof i) != sizeof i)
                        return 4;
                }
            }
        });
        ::close(fds[1]);
        int committed = 0, got = 0;
        const int stopAfter = 5 + static_cast<int>(rng() % 60);
        for (int n = 0; n < stopAfter && ::read(fds[0], &got, sizeof got) == sizeof got; ++n)
            committed = got;
        // Let it run on a little past the last commit we know of, then kill it mid-write.
        ::usleep(rng() % 3000);
        ::kill(pid, SIGKILL);
        EXPECT_EQ(waitFor(pid), 100 + SIGKILL);
        ::close(fds[0]);

        Workspace ws(dir.path());
        auto a = ws.use("patnt");
        ASSERT_TRUE(a) << a.message();
        WorkArea* p = *a;
        EXPECT_TRUE(p->openWarning().empty()) << p->openWarning();
        ASSERT_GE(p->lastRec(), static_cast<uint32_t>(committed));
        for (uint32_t r = 1; r <= p->lastRec(); ++r) {
            p->goTo(r);
            ASSERT_FALSE(p->eof());
            const double code = p->num("PATCODE");
            if (r <= static_cast<uint32_t>(committed)) {
                EXPECT_EQ(code, r);
                EXPECT_EQ(p->str("PATFNAME"), [&] {
                    std::string s = "Name" + std::to_string(r);
                    s.resize(20, ' ');
                    return s;
                }());
            } else {
                EXPECT_TRUE(code == r || code == 0) << "record " << r;   // whole: as written or still blank
            }
        }
        // The reopened table takes new records after the whole ones.
        ASSERT_TRUE(p->append());
        ASSERT_TRUE(p->setNum("PATCODE", 999));
        ASSERT_TRUE(ws.commitAll());
        EXPECT_EQ(p->recNo(), p->lastRec());
    }
}

} // namespace
