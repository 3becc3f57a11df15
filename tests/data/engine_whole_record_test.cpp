// A change to a record reaches the file as one write when the change ends, so
// a program killed at any moment leaves every record as one save wrote it,
// memos included. Children are forked processes with their own Workspace.
#include "engine_fixture.h"

#include "data/workspace.h"

#include <csignal>
#include <cstdlib>
#include <random>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace cn::data;
using namespace enginetest;

namespace {

// 128-byte records (with the flag byte).
Structure saveStructure()
{
    return {{"CODE", 'N', 10, 0},   {"SAVENO", 'N', 10, 0}, {"NAME", 'C', 20, 0},
            {"NOTE", 'C', 40, 0},   {"AMOUNT", 'N', 10, 2}, {"SAVEDT", 'D', 8, 0},
            {"ODD", 'L', 1, 0},     {"RX", 'M', 10, 0},     {"REMARK", 'M', 10, 0},
            {"PAD", 'C', 8, 0}};
}

// The kernel may stop a write to the page cache between two pages when the
// writer is killed, so a record that crosses a page boundary of the file can
// be cut there even when written in one go; nothing a program does short of
// a journal prevents that. This table's header is padded to 512 bytes so that
// every 128-byte record lies within one page, and what is tested is the
// engine's part: one write per record, after its memos.
void createSaveTable(const std::string& folder)
{
    {
        Workspace ws(folder);
        ASSERT_TRUE(ws.create("SAVES", saveStructure()));
    }
    const std::string path = folder + "/SAVES.dbf";
    std::string bytes = readFile(path);
    const size_t headerLength = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    ASSERT_EQ(static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8, 128);
    ASSERT_LT(headerLength, 512u);
    std::string header = bytes.substr(0, headerLength);
    header.resize(512, '\0');
    header[8] = 0;
    header[9] = 2;
    writeFile(path, header + "\x1A");
}

constexpr const char* kSaveKey = "iif(deleted(), 'T', 'F')+str(saveno)";
constexpr const char* kNameKey = "iif(deleted(), 'T', 'F')+upper(name)";

// What save s writes into every field; memo lengths vary so that some saves
// fit the old blocks and others outgrow them.
struct Values {
    std::string name, note, rx, remark;
    double amount;
    Date day;
    bool odd;
};

Values valuesOf(long s)
{
    const std::string n = std::to_string(s);
    return {"Save " + n,
            "note of save " + n,
            "rx " + n + " " + std::string(static_cast<size_t>((s * 37) % 1500), 'x'),
            "remark " + n + " " + std::string(static_cast<size_t>((s * 11) % 700), 'r'),
            static_cast<double>(s % 100000) + 0.25,
            Date{2000 + static_cast<int>(s % 50), 1 + static_cast<int>(s % 12), 1 + static_cast<int>(s % 28)},
            s % 2 == 1};
}

std::string padded(std::string s, size_t width)
{
    s.resize(width, ' ');
    return s;
}

// Where the child is, in memory shared with the parent.
struct Progress {
    volatile int inSave;
    volatile long saves;
};

bool save(WorkArea& a, long s)
{
    const Values v = valuesOf(s);
    return a.setNum("SAVENO", static_cast<double>(s)) && a.setNum("CODE", a.recNo()) &&
           a.setStr("NAME", v.name) && a.setMemo("RX", v.rx) &&
           a.setStr("NOTE", v.note) && a.setNum("AMOUNT", v.amount) && a.setDate("SAVEDT", v.day) &&
           a.setMemo("REMARK", v.remark) && a.setLogical("ODD", v.odd);
}

// Saves into random records (appending now and then) until killed.
[[noreturn]] void saveForever(const std::string& folder, long firstSave, unsigned seed, Progress* progress, int ready)
{
    Workspace ws(folder);
    auto opened = ws.use("SAVES", "s", {.shared = true});
    if (!opened || !(*opened)->setIndex("SAVES1") || !(*opened)->setIndex("SAVES2"))
        ::_exit(2);
    WorkArea& a = **opened;
    std::mt19937 rng(seed);
    const char byte = 1;
    if (::write(ready, &byte, 1) != 1)
        ::_exit(3);
    for (long s = firstSave;; ++s) {
        const bool grow = a.lastRec() < 60 && rng() % 8 == 0;
        if (grow) {
            if (!a.append())
                ::_exit(4);
            progress->inSave = 1;
        } else {
            a.goTo(1 + rng() % a.lastRec());
            if (!a.rlock())
                ::_exit(6);
            progress->inSave = 1;
        }
        if (!save(a, s))
            ::_exit(7);
        a.unlock();
        progress->inSave = 0;
        progress->saves = progress->saves + 1;
    }
}

// Every record is blank (appended, never saved) or wholly one save's; the
// failures found, one line each.
std::vector<std::string> mixedRecords(const std::string& folder)
{
    std::vector<std::string> bad;
    Workspace ws(folder);
    auto opened = ws.use("SAVES", "s", {.shared = true, .readOnly = true});
    if (!opened)
        return {"cannot open: " + opened.message()};
    WorkArea& a = **opened;
    if (!a.openWarning().empty())
        bad.push_back(a.openWarning());
    for (uint32_t r = 1; r <= a.lastRec(); ++r) {
        a.goTo(r);
        const long s = static_cast<long>(a.num("SAVENO"));
        const std::string where = "record " + std::to_string(r) + " of save " + std::to_string(s) + ": ";
        if (s == 0) {
            if (a.num("CODE") != 0 && a.num("CODE") != r)
                bad.push_back(where + "CODE " + a.str("CODE"));
            if (a.str("NAME") != std::string(20, ' ') || !a.memo("RX").empty() || !a.memo("REMARK").empty())
                bad.push_back(where + "fields of a save without its number");
            continue;
        }
        const Values v = valuesOf(s);
        if (a.num("CODE") != r)
            bad.push_back(where + "CODE " + a.str("CODE"));
        if (a.str("NAME") != padded(v.name, 20))
            bad.push_back(where + "NAME " + a.str("NAME"));
        if (a.str("NOTE") != padded(v.note, 40))
            bad.push_back(where + "NOTE " + a.str("NOTE"));
        if (a.num("AMOUNT") != v.amount)
            bad.push_back(where + "AMOUNT " + a.str("AMOUNT"));
        if (!(a.date("SAVEDT") == v.day))
            bad.push_back(where + "SAVEDT " + a.str("SAVEDT"));
        if (a.logical("ODD") != v.odd)
            bad.push_back(where + "ODD " + a.str("ODD"));
        auto rx = a.readMemo("RX");
        if (!rx || *rx != v.rx)
            bad.push_back(where + "RX " + (rx ? rx->substr(0, 16) : rx.message()));
        auto remark = a.readMemo("REMARK");
        if (!remark || *remark != v.remark)
            bad.push_back(where + "REMARK " + (remark ? remark->substr(0, 16) : remark.message()));
    }
    return bad;
}

TEST(WholeRecords, ProgramKilledDuringSavesLeavesNoRecordMixingTwoSaves)
{
    TempDir dir;
    const std::string folder = dir.path();
    createSaveTable(folder);
    {
        Workspace ws(folder);
        auto a = ws.use("SAVES");
        ASSERT_TRUE(a);
        for (int r = 1; r <= 20; ++r) {
            ASSERT_TRUE((*a)->append());
            ASSERT_TRUE((*a)->setNum("CODE", r));
        }
        ASSERT_TRUE((*a)->createIndex("SAVES1", kSaveKey));
        ASSERT_TRUE((*a)->createIndex("SAVES2", kNameKey));
    }
    // CURANOTE_KILL_SOAK=n runs n kills instead of the 60 of a normal run.
    int kills = 60;
    if (const char* soak = std::getenv("CURANOTE_KILL_SOAK"))
        kills = std::max(kills, std::atoi(soak));

    auto* progress = static_cast<Progress*>(
        ::mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(progress, MAP_FAILED);
    std::mt19937 rng(12);
    int midSave = 0;
    long saves = 0;
    for (int k = 0; k < kills; ++k) {
        progress->inSave = 0;
        progress->saves = 0;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const unsigned seed = static_cast<unsigned>(rng());
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            saveForever(folder, (k + 1) * 1000000L, seed, progress, ready[1]);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the child did not start";
        ::close(ready[0]);
        ::usleep(500 + rng() % 6000);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself with " << WEXITSTATUS(status);
        midSave += progress->inSave;
        saves += progress->saves;

        const auto bad = mixedRecords(folder);
        ASSERT_TRUE(bad.empty()) << "after kill " << k + 1 << ": " << bad.front() << " (" << bad.size()
                                 << " problems)";
        // A kill inside an index update may leave the index behind its
        // table; start-up rebuilds such an index, and so does this test.
        Workspace ws(folder);
        auto a = ws.use("SAVES");
        ASSERT_TRUE(a) << a.message();
        ASSERT_TRUE((*a)->createIndex("SAVES1", kSaveKey));
        ASSERT_TRUE((*a)->createIndex("SAVES2", kNameKey));
    }
    ::munmap(progress, sizeof(Progress));
    EXPECT_GT(saves, kills);
    // Most kills land inside a save; the test is worth nothing otherwise.
    EXPECT_GE(midSave, kills / 4) << saves << " saves";
}

} // namespace
