// An exclusive table writes new records with their end-of-file byte as they
// are finished and raises the header's count and the memo file's next-free
// block on flush. Until then the records must read back, and afterwards both
// headers must describe the files exactly, as other programs rely on them.
#include "engine_fixture.h"

#include <cstdint>
#include <filesystem>
#include <set>

namespace {

using namespace cn::data;
using enginetest::TempDir;
using enginetest::readFile;

uint32_t le32(const std::string& b, size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

TEST(DeferredWrites, UnflushedAppendsReadBackAndCloseLeavesExactHeaders)
{
    TempDir dir;
    {
        Workspace ws(dir.path());
        ASSERT_TRUE(ws.create("NOTES.dbf", {{"CODE", 'N', 5, 0}, {"NOTE", 'M', 10, 0}}));
        auto a = ws.use("NOTES.dbf", "n");
        ASSERT_TRUE(a);
        WorkArea* p = *a;
        for (int i = 1; i <= 5; ++i) {
            ASSERT_TRUE(p->append());
            ASSERT_TRUE(p->setNum("CODE", i));
            ASSERT_TRUE(p->setMemo("NOTE", std::string(static_cast<size_t>(i) * 300, char('a' + i))));
        }
        // Nothing flushed yet: a walk, a jump and a count see all five.
        EXPECT_EQ(p->lastRec(), 5u);
        int seen = 0;
        for (p->goTop(); !p->eof(); p->skip(1)) {
            ++seen;
            EXPECT_EQ(p->num("CODE"), seen);
            EXPECT_EQ(p->memo("NOTE").size(), static_cast<size_t>(seen) * 300);
        }
        EXPECT_EQ(seen, 5);
        p->goTo(5);
        EXPECT_EQ(p->num("CODE"), 5);
        ASSERT_TRUE(p->copyTo(dir.file("COPY.dbf")));
    }
    for (const char* name : {"NOTES", "COPY"}) {
        SCOPED_TRACE(name);
        const std::string dbf = readFile(dir.file(std::string(name) + ".dbf"));
        const std::string dbt = readFile(dir.file(std::string(name) + ".dbt"));
        ASSERT_GE(dbf.size(), 32u);
        const uint32_t headerLen = static_cast<unsigned char>(dbf[8]) | static_cast<unsigned char>(dbf[9]) << 8;
        const uint32_t recLen = static_cast<unsigned char>(dbf[10]) | static_cast<unsigned char>(dbf[11]) << 8;
        EXPECT_EQ(le32(dbf, 4), 5u);
        EXPECT_EQ(dbf.size(), headerLen + 5 * recLen + 1);
        EXPECT_EQ(dbf.back(), '\x1A');
        ASSERT_GE(dbt.size(), 512u);
        EXPECT_EQ(le32(dbt, 0), (dbt.size() + 511) / 512);   // the next block free is the first past the end
    }
}

// Many more new records and memos than the write queues hold, with reads of
// earlier records and memos changed again along the way: each reads back
// as last written, before the commit and from the files afterwards.
TEST(DeferredWrites, QueuesFarLargerThanTheirLimitReadBackAndLandWhole)
{
    TempDir dir;
    constexpr int kRecords = 6000;   // 1.3 MB of records, 3 MB of memo blocks
    auto note = [](int i, int round) { return std::string(static_cast<size_t>(300 + i % 150), char('a' + (i + round) % 26)); };
    auto name = [](int i) { return "Name " + std::to_string(i * 7); };
    std::set<int> rewritten;
    {
        Workspace ws(dir.path());
        ASSERT_TRUE(ws.create("NOTES.dbf", {{"CODE", 'N', 5, 0}, {"NAME", 'C', 200, 0}, {"NOTE", 'M', 10, 0}}));
        auto a = ws.use("NOTES.dbf", "n");
        ASSERT_TRUE(a);
        WorkArea* p = *a;
        for (int i = 1; i <= kRecords; ++i) {
            ASSERT_TRUE(p->append());
            ASSERT_TRUE(p->setNum("CODE", i));
            ASSERT_TRUE(p->setStr("NAME", name(i)));
            ASSERT_TRUE(p->setMemo("NOTE", note(i, 0)));
            if (i % 250 == 0) {
                // An earlier record, queued or already on file, read and its
                // memo written again (shorter: into its own blocks).
                const int back = i - 1 - i % 97;
                p->goTo(static_cast<uint32_t>(back));
                ASSERT_EQ(p->num("CODE"), back);
                ASSERT_EQ(p->str("NAME").substr(0, name(back).size()), name(back));
                ASSERT_EQ(p->memo("NOTE"), note(back, 0));
                ASSERT_TRUE(p->setMemo("NOTE", note(back, 1).substr(0, 200)));
                rewritten.insert(back);
                p->goTo(static_cast<uint32_t>(i));
                ASSERT_EQ(p->memo("NOTE"), note(i, 0));
            }
        }
        ASSERT_TRUE(ws.commitAll());
    }
    Workspace ws(dir.path());
    auto a = ws.use("NOTES.dbf", "n");
    ASSERT_TRUE(a);
    WorkArea* p = *a;
    ASSERT_EQ(p->lastRec(), static_cast<uint32_t>(kRecords));
    for (int i = 1; i <= kRecords; ++i) {
        p->goTo(static_cast<uint32_t>(i));
        ASSERT_EQ(p->num("CODE"), i);
        ASSERT_EQ(p->str("NAME").substr(0, name(i).size()), name(i));
        ASSERT_EQ(p->memo("NOTE"), rewritten.count(i) ? note(i, 1).substr(0, 200) : note(i, 0)) << "record " << i;
    }
    ws.closeAll();
    const std::string dbf = readFile(dir.file("NOTES.dbf"));
    const std::string dbt = readFile(dir.file("NOTES.dbt"));
    const uint32_t headerLen = static_cast<unsigned char>(dbf[8]) | static_cast<unsigned char>(dbf[9]) << 8;
    const uint32_t recLen = static_cast<unsigned char>(dbf[10]) | static_cast<unsigned char>(dbf[11]) << 8;
    EXPECT_EQ(dbf.size(), headerLen + kRecords * recLen + 1);
    EXPECT_EQ(dbf.back(), '\x1A');
    EXPECT_EQ(static_cast<uint64_t>(le32(dbt, 0)) * 512, (dbt.size() + 511) / 512 * 512);
}

} // namespace
