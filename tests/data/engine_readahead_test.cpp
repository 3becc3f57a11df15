// A walk in record order reads the table a block at a time. These tests
// check that the block never hides a change it must show: one made through
// this program, a record locked or walked afresh after another open changed
// it, a change older than the block's age limit, and records another open
// appended after the walk reached the last record it knew.
#include "data/table.h"
#include "engine_fixture.h"

#include <chrono>
#include <thread>

namespace {

using namespace cn::data;
using enginetest::TempDir;
using enginetest::makePatients;

std::string first4(WorkArea* a) { return a->str("PATFNAME").substr(0, 4); }

// Walks from the top to record n in record order.
void walkTo(WorkArea* a, uint32_t n)
{
    a->goTop();
    while (!a->eof() && a->recNo() < n)
        a->skip(1);
}

TEST(ReadAhead, ChangesThroughThisProgramShowAtOnce)
{
    for (bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "shared" : "exclusive");
        TempDir dir;
        makePatients(dir.path(), 40);
        Workspace ws(dir.path());
        auto a = ws.use("patnt", {}, {.shared = shared});
        ASSERT_TRUE(a);
        WorkArea* p = *a;
        walkTo(p, 2);   // the block holding every record is read
        p->goTo(5);
        ASSERT_TRUE(p->rlock());
        ASSERT_TRUE(p->setStr("PATFNAME", "Zeno"));   // pending in memory while exclusive
        walkTo(p, 5);
        EXPECT_EQ(first4(p), "Zeno");
        // Changed again with the walk standing just before it.
        p->goTo(5);
        ASSERT_TRUE(p->setStr("PATFNAME", "Yves"));
        p->unlock();
        p->goTo(4);
        p->skip(1);
        EXPECT_EQ(p->recNo(), 5u);
        EXPECT_EQ(first4(p), "Yves");
        // Deleted records are skipped as soon as they are deleted.
        p->goTo(6);
        ASSERT_TRUE(p->rlock());
        ASSERT_TRUE(p->deleteRecord());
        p->unlock();
        p->goTo(5);
        p->skip(1);
        EXPECT_EQ(p->recNo(), 7u);
    }
}

TEST(ReadAhead, AnotherOpensChangeShowsOnLockNewWalkAndAfterTheAgeLimit)
{
    TempDir dir;
    makePatients(dir.path(), 40);
    Workspace ws1(dir.path()), ws2(dir.path());
    auto a = ws1.use("patnt", {}, {.shared = true});
    auto b = ws2.use("patnt", {}, {.shared = true});
    ASSERT_TRUE(a && b);
    WorkArea *p = *a, *q = *b;
    walkTo(p, 2);

    auto rename = [&](uint32_t rec, const char* name) {
        q->goTo(rec);
        ASSERT_TRUE(q->rlock());
        ASSERT_TRUE(q->setStr("PATFNAME", name));
        q->unlock();
    };
    rename(3, "Zeno");
    p->goTo(3);   // a new position reads the file
    EXPECT_EQ(first4(p), "Zeno");

    rename(5, "Yves");
    p->goTo(4);
    p->skip(1);
    ASSERT_TRUE(p->rlock());   // whatever the walk saw, the locked record is current
    EXPECT_EQ(first4(p), "Yves");
    p->unlock();

    rename(6, "Xena");
    walkTo(p, 6);   // a walk from the top reads afresh
    EXPECT_EQ(first4(p), "Xena");

    rename(7, "Walt");
    std::this_thread::sleep_for(std::chrono::milliseconds(Table::kReadAheadMaxAgeMs + 30));
    p->skip(1);
    EXPECT_EQ(p->recNo(), 7u);
    EXPECT_EQ(first4(p), "Walt");
}

TEST(ReadAhead, RecordsAppendedByAnotherOpenFollowTheLastOneKnown)
{
    TempDir dir;
    makePatients(dir.path(), 10);
    Workspace ws1(dir.path()), ws2(dir.path());
    auto a = ws1.use("patnt", {}, {.shared = true});
    auto b = ws2.use("patnt", {}, {.shared = true});
    ASSERT_TRUE(a && b);
    WorkArea *p = *a, *q = *b;
    walkTo(p, 10);
    ASSERT_EQ(p->recNo(), 10u);
    for (int i = 11; i <= 12; ++i) {
        ASSERT_TRUE(q->append());
        ASSERT_TRUE(q->setNum("PATCODE", i));
        ASSERT_TRUE(q->setStr("PATFNAME", "Vera"));
        q->unlock();
    }
    p->skip(1);
    ASSERT_FALSE(p->eof());
    EXPECT_EQ(p->recNo(), 11u);
    EXPECT_EQ(first4(p), "Vera");
    p->skip(1);
    EXPECT_EQ(p->num("PATCODE"), 12);
    p->skip(1);
    EXPECT_TRUE(p->eof());
    // From the end, a step back finds the newest record too.
    ASSERT_TRUE(q->append());
    ASSERT_TRUE(q->setNum("PATCODE", 13));
    q->unlock();
    p->skip(-1);
    EXPECT_EQ(p->num("PATCODE"), 13);
}

// Memos met on a walk are read ahead too; a memo rewritten in place (it
// still fits its blocks) or moved to new blocks must show like a record.
void makeNotes(const std::string& folder)
{
    Workspace ws(folder);
    ASSERT_TRUE(ws.create("NOTES.dbf", {{"CODE", 'N', 5, 0}, {"NOTE", 'M', 10, 0}}));
    auto a = ws.use("NOTES.dbf", "n");
    ASSERT_TRUE(a);
    for (int i = 1; i <= 30; ++i) {
        ASSERT_TRUE((*a)->append());
        ASSERT_TRUE((*a)->setNum("CODE", i));
        ASSERT_TRUE((*a)->setMemo("NOTE", "note " + std::to_string(i)));
    }
}

TEST(ReadAhead, MemosFollowChangesLikeRecords)
{
    for (bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "shared" : "exclusive");
        TempDir dir;
        makeNotes(dir.path());
        Workspace ws(dir.path());
        auto a = ws.use("NOTES.dbf", "n", {.shared = shared});
        ASSERT_TRUE(a);
        WorkArea* p = *a;
        walkTo(p, 2);
        EXPECT_EQ(p->memo("NOTE"), "note 2");
        p->goTo(4);
        ASSERT_TRUE(p->rlock());
        ASSERT_TRUE(p->setMemo("NOTE", "four"));   // in place
        p->unlock();
        p->goTo(3);
        p->skip(1);
        EXPECT_EQ(p->memo("NOTE"), "four");
        p->goTo(5);
        ASSERT_TRUE(p->rlock());
        ASSERT_TRUE(p->setMemo("NOTE", std::string(700, 'x')));   // moved to the end
        p->unlock();
        p->goTo(4);
        p->skip(1);
        EXPECT_EQ(p->memo("NOTE"), std::string(700, 'x'));
        p->skip(1);
        EXPECT_EQ(p->memo("NOTE"), "note 6");
    }
}

TEST(ReadAhead, MemosChangedByAnotherOpenShowOnNewWalkLockAndAfterTheAgeLimit)
{
    TempDir dir;
    makeNotes(dir.path());
    Workspace ws1(dir.path()), ws2(dir.path());
    auto a = ws1.use("NOTES.dbf", "n", {.shared = true});
    auto b = ws2.use("NOTES.dbf", "n", {.shared = true});
    ASSERT_TRUE(a && b);
    WorkArea *p = *a, *q = *b;
    auto rewrite = [&](uint32_t rec, const std::string& text) {
        q->goTo(rec);
        ASSERT_TRUE(q->rlock());
        ASSERT_TRUE(q->setMemo("NOTE", text));
        q->unlock();
    };
    walkTo(p, 6);
    rewrite(8, "eight");
    walkTo(p, 8);
    EXPECT_EQ(p->memo("NOTE"), "eight");
    rewrite(9, "nine");
    p->skip(1);
    ASSERT_TRUE(p->rlock());
    EXPECT_EQ(p->memo("NOTE"), "nine");
    p->unlock();
    p->skip(1);
    EXPECT_EQ(p->memo("NOTE"), "note 10");
    rewrite(11, "eleven");
    std::this_thread::sleep_for(std::chrono::milliseconds(Table::kReadAheadMaxAgeMs + 30));
    p->skip(1);
    EXPECT_EQ(p->memo("NOTE"), "eleven");
}

} // namespace
