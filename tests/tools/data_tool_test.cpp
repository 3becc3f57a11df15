// The data tool run as a user runs it: exit status and output of check, keys
// and dump over tables written by the engine and then damaged on purpose.
#include "data/dbf_file.h"
#include "data/workspace.h"
#include "data/interop_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/wait.h>

using namespace cn::data;
namespace fs = std::filesystem;

namespace {

using ToolRun = cn::interop::Outcome;   // exit status and standard output and error together
using cn::interop::sh;

ToolRun tool(const std::string& args)
{
    const std::string bin = std::string(CURANOTE_BIN_DIR) + "/curanote-data";
    if (!fs::exists(bin)) {
        ToolRun r;
        r.out = bin + " has not been built";
        return r;
    }
    return cn::interop::run(sh(bin) + " " + args + " 2>&1");
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool contains(const std::string& hay, const std::string& needle)
{
    return hay.find(needle) != std::string::npos;
}

// A patient table with a memo field and two indexes:
//   record 1 Zoë Ärzt (memo), 2 Bob (deleted), 3 Anil (long memo), 4 Zack.
class DataTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("curanote-tool-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(dir);
        Workspace ws(dir.string());
        ASSERT_TRUE(ws.create("PATNT.dbf", {{"PATCODE", 'N', 10, 0}, {"PATFNAME", 'C', 20, 0}, {"PATFEES", 'N', 10, 2},
                                            {"PATDOB", 'D', 8, 0}, {"NOTE", 'M', 10, 0}}));
        auto a = ws.use("PATNT.dbf", "patnt");
        ASSERT_TRUE(a) << a.message();
        WorkArea& w = *a.value();
        ASSERT_TRUE(w.createIndex(file("PATNT1.ntx"), "iif(deleted(), 'T', 'F')+str(patcode)"));
        ASSERT_TRUE(w.createIndex(file("PATNT2.ntx"), "iif(deleted(), 'T', 'F')+upper(patfname)"));
        const char* const names[] = {"Zo\xEB \xC4rzt", "Bob", "Anil", "Zack"};
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(w.append());
            ASSERT_TRUE(w.setNum("PATCODE", i + 1));
            ASSERT_TRUE(w.setStr("PATFNAME", names[i]));
            ASSERT_TRUE(w.setNum("PATFEES", 100.5 * (i + 1)));
            ASSERT_TRUE(w.setDate("PATDOB", Date{1980 + i, 2, 3}));
        }
        w.goTo(1);
        ASSERT_TRUE(w.setMemo("NOTE", "Tab. Paracetamol\r\ntwice daily"));
        w.goTo(3);
        ASSERT_TRUE(w.setMemo("NOTE", std::string(1200, 'm')));
        w.goTo(2);
        ASSERT_TRUE(w.deleteRecord());
        ASSERT_TRUE(ws.commitAll());
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    std::string table() const { return sh(file("PATNT.dbf")); }
    std::string indexes() const { return sh(file("PATNT1.ntx")) + " " + sh(file("PATNT2.ntx")); }

    // Changes bytes of the table file at an offset from the start of a record.
    void patchRecord(uint32_t recNo, size_t offset, const std::string& bytes)
    {
        std::string data = readFile(file("PATNT.dbf"));
        const size_t header = size_t(static_cast<unsigned char>(data[8]) | static_cast<unsigned char>(data[9]) << 8);
        const size_t len = size_t(static_cast<unsigned char>(data[10]) | static_cast<unsigned char>(data[11]) << 8);
        data.replace(header + (recNo - 1) * len + offset, bytes.size(), bytes);
        writeFile(file("PATNT.dbf"), data);
    }

    fs::path dir;
};

TEST_F(DataTool, UsageErrorsExitWithTwoAndExplain)
{
    ToolRun r = tool("");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(contains(r.out, "curanote-data check FILE.dbf")) << r.out;
    r = tool("frobnicate");
    EXPECT_EQ(r.status, 2) << r.out;
    r = tool("check");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(contains(r.out, "Exit status")) << r.out;
    r = tool("check --strict " + table());
    EXPECT_EQ(r.status, 2) << r.out;
    r = tool("dump " + table() + " --prefix F");
    EXPECT_EQ(r.status, 2) << r.out;
    r = tool("keys " + sh(file("PATNT1.ntx")));
    EXPECT_EQ(r.status, 2) << r.out;
    r = tool("check --help");
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(DataTool, CheckPassesSoundTableWithMemosAndIndexes)
{
    const ToolRun r = tool("check " + table() + " " + indexes());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "sound (4 records, 2 indexes)")) << r.out;
}

TEST_F(DataTool, CheckFindsKeyThatDiffersFromItsRecord)
{
    patchRecord(4, 1, "        99");          // PATCODE 4 -> 99 behind the index's back
    const ToolRun r = tool("check " + table() + " " + indexes());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "PATNT1.ntx: record 4: key \"F         4\" in the index, \"F        99\" computed"))
        << r.out;
    EXPECT_FALSE(contains(r.out, "PATNT2.ntx")) << r.out;
}

TEST_F(DataTool, CheckFindsRecordWithoutKeyAndExtraKey)
{
    {
        // A record appended by a writer that did not keep the indexes.
        auto dbf = DbfFile::open(file("PATNT.dbf"), true);
        ASSERT_TRUE(dbf) << dbf.message();
        std::string rec(dbf.value()->recordLength(), ' ');
        std::memcpy(rec.data() + 1, "         5", 10);
        ASSERT_TRUE(dbf.value()->append(rec.data()));
    }
    ToolRun r = tool("check " + table() + " " + indexes());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "PATNT1.ntx: record 5 has no key")) << r.out;
    EXPECT_TRUE(contains(r.out, "PATNT2.ntx: record 5 has no key")) << r.out;

    // The other way round: the index names a record the table no longer has.
    std::string data = readFile(file("PATNT.dbf"));
    data[4] = 3;                                   // header count 5 -> 3
    const size_t header = size_t(static_cast<unsigned char>(data[8]) | static_cast<unsigned char>(data[9]) << 8);
    const size_t len = size_t(static_cast<unsigned char>(data[10]) | static_cast<unsigned char>(data[11]) << 8);
    data.resize(header + 3 * len);
    data += '\x1A';
    writeFile(file("PATNT.dbf"), data);
    r = tool("check " + table() + " " + sh(file("PATNT1.ntx")));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "names record 4 but the table has 3")) << r.out;
}

TEST_F(DataTool, CheckFindsTruncatedTable)
{
    std::string data = readFile(file("PATNT.dbf"));
    data.resize(data.size() - 20);                 // half of the last record gone
    writeFile(file("PATNT.dbf"), data);
    const ToolRun r = tool("check " + table() + " " + indexes());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "PATNT.dbf:")) << r.out;
    // The index still holds a key for the lost record.
    EXPECT_TRUE(contains(r.out, "names record 4 but the table has 3")) << r.out;
}

TEST_F(DataTool, CheckFindsStrayBytesAndBadMemoPointers)
{
    std::string data = readFile(file("PATNT.dbf"));
    data += "junk";
    writeFile(file("PATNT.dbf"), data);
    patchRecord(4, 1 + 10 + 20 + 10 + 8, "      9999");   // NOTE of record 4 past the memo file
    patchRecord(1, 1 + 10 + 20 + 10 + 8, "   12x4567");
    const ToolRun r = tool("check " + table());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "stray bytes")) << r.out;
    EXPECT_TRUE(contains(r.out, "record 4 NOTE: memo block 9999 lies beyond the end of the memo file")) << r.out;
    EXPECT_TRUE(contains(r.out, "record 1 NOTE: memo pointer \"   12x4567\" is not a number")) << r.out;
}

TEST_F(DataTool, CheckFindsKeysOutOfOrder)
{
    // Swap the first two entries of the (single, leaf) root page of PATNT1.ntx
    // by swapping their slot offsets.
    std::string ntx = readFile(file("PATNT1.ntx"));
    const size_t root = size_t(static_cast<unsigned char>(ntx[4]) | static_cast<unsigned char>(ntx[5]) << 8 |
                               static_cast<unsigned char>(ntx[6]) << 16);
    std::swap(ntx[root + 2], ntx[root + 4]);
    std::swap(ntx[root + 3], ntx[root + 5]);
    writeFile(file("PATNT1.ntx"), ntx);
    const ToolRun r = tool("check " + table() + " " + indexes());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "PATNT1.ntx: key \"F         1\" of record 1 comes after \"F         3\" of record 3"))
        << r.out;
}

TEST_F(DataTool, CheckReportsMissingIndexFileAndKeepsGoing)
{
    const ToolRun r = tool("check " + table() + " " + sh(file("NOPE.ntx")) + " " + sh(file("PATNT2.ntx")));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "NOPE.ntx")) << r.out;
    EXPECT_TRUE(contains(r.out, "1 problem found")) << r.out;
}

TEST_F(DataTool, KeysListsIndexOrderWithRecordNumbers)
{
    const ToolRun r = tool("keys " + sh(file("PATNT2.ntx")) + " --table " + table());
    EXPECT_EQ(r.status, 0) << r.out;
    const std::string pad = std::string(16, ' ');
    EXPECT_EQ(r.out, "3\tFANIL" + pad + "\n" + "4\tFZACK" + pad + "\n" + "1\tFZO\xC3\x8B \xC3\x84RZT" +
                         std::string(12, ' ') + "\n" + "2\tTBOB" + pad + " \n");
}

TEST_F(DataTool, DumpHidesDeletedRecordsAndConvertsText)
{
    ToolRun r = tool("dump " + table());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "record 1\n  PATCODE     1\n  PATFNAME    Zo\xC3\xAB \xC3\x84rzt\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  NOTE        Tab. Paracetamol\n              twice daily\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  PATDOB      19800203\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "Bob")) << r.out;

    r = tool("dump " + table() + " --deleted");
    EXPECT_TRUE(contains(r.out, "record 2 (deleted)\n  PATCODE     2\n  PATFNAME    Bob\n")) << r.out;
}

TEST_F(DataTool, DumpInIndexOrderWithPrefix)
{
    ToolRun r = tool("dump " + table() + " --index " + sh(file("PATNT2.ntx")) + " --prefix FZ");
    EXPECT_EQ(r.status, 0) << r.out;
    const size_t zack = r.out.find("Zack"), zoe = r.out.find("Zo\xC3\xAB");
    EXPECT_NE(zack, std::string::npos) << r.out;
    EXPECT_NE(zoe, std::string::npos) << r.out;
    EXPECT_LT(zack, zoe) << r.out;
    EXPECT_FALSE(contains(r.out, "Anil")) << r.out;

    r = tool("dump " + table() + " --index " + sh(file("PATNT2.ntx")) + " --prefix T --deleted");
    EXPECT_TRUE(contains(r.out, "record 2 (deleted)")) << r.out;
    EXPECT_FALSE(contains(r.out, "record 1")) << r.out;
}

TEST_F(DataTool, DumpJson)
{
    const ToolRun r = tool("dump " + table() + " --json --index " + sh(file("PATNT1.ntx")) + " --prefix \"F         1\"");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "[\n  {\"record\": 1, \"deleted\": false, \"fields\": {\"PATCODE\": 1, \"PATFNAME\": \"Zo\xC3\xAB "
                     "\xC3\x84rzt\", \"PATFEES\": 100.50, \"PATDOB\": \"19800203\", \"NOTE\": \"Tab. "
                     "Paracetamol\\r\\ntwice daily\"}}\n]\n");
}

} // namespace
