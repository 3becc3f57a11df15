// An exclusive table writes new records with their end-of-file byte as they
// are finished and raises the header's count and the memo file's next-free
// block on flush. Until then the records must read back, and afterwards both
// headers must describe the files exactly, as other programs rely on them.
#include "engine_fixture.h"

#include <cstdint>
#include <filesystem>

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

} // namespace
