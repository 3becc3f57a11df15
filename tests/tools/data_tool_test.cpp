// The data tool run as a user runs it: exit status and output of every
// command, over tables and folders written by the engine and then damaged on
// purpose.
#include "data/dbf_file.h"
#include "data/workspace.h"
#include "data/interop_util.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <sys/wait.h>

using namespace cn::data;
namespace fs = std::filesystem;

namespace {

using ToolRun = cn::interop::Outcome;   // exit status and standard output and error together
using cn::interop::sh;
using cn::test::Split;
using cn::test::toolIn;

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

namespace {

// A fresh folder for the folder commands, with "crash/base" inside it.
class DataFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        root = fs::temp_directory_path() / ("curanote-folder-" + std::to_string(rd()) + std::to_string(rd()));
        base = root / "crash" / "base";
        fs::create_directories(base);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root, base;
};

// Rewrites bytes of a file at an offset.
void patchFile(const fs::path& p, size_t offset, const std::string& bytes)
{
    std::string data = readFile(p.string());
    data.replace(offset, bytes.size(), bytes);
    writeFile(p.string(), data);
}

uint32_t le32(const std::string& data, size_t at)
{
    return uint32_t(static_cast<unsigned char>(data[at])) | uint32_t(static_cast<unsigned char>(data[at + 1])) << 8 |
           uint32_t(static_cast<unsigned char>(data[at + 2])) << 16 |
           uint32_t(static_cast<unsigned char>(data[at + 3])) << 24;
}

std::string le(uint32_t v, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

} // namespace

TEST_F(DataFolder, SetupAndVerifyWorkOnARelativeFolder)
{
    Split r = toolIn(root, "setup crash/base");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Creating PVISIT ")) << r.out;
    EXPECT_TRUE(contains(r.out, (base.string() + ": fit for use"))) << r.out;
    EXPECT_TRUE(fs::exists(base / "PVISIT.dbt"));
    EXPECT_TRUE(fs::exists(base / "DICT2.ntx"));
    EXPECT_FALSE(fs::exists(base / "crash"));

    r = toolIn(root, "verify crash/base");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "sound (22 tables, 46 indexes")) << r.out;
    // The folder defaults to the current one.
    r = toolIn(base, "verify");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r = toolIn(base, "setup");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "0 tables created, 0 upgraded, 0 indexes built or rebuilt")) << r.out;
}

TEST_F(DataFolder, SetupReportsWhatItCouldNotUse)
{
    ASSERT_EQ(toolIn(root, "setup crash/base").status, 0);
    writeFile((base / "CHAMBER.dbf").string(), "not a table");
    const Split r = toolIn(root, "setup crash/base");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "EXCLAMATION: The table file CHAMBER.dbf could not be opened")) << r.out;
    EXPECT_TRUE(contains(r.err, "curanote-data setup: ")) << r.err;
    EXPECT_TRUE(contains(r.err, "CHAMBER.dbf")) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(DataFolder, VerifyNamesEachFileAndFault)
{
    ASSERT_EQ(toolIn(root, "setup crash/base").status, 0);
    {
        // GREET of another structure, PATNT2 built from another key, and
        // below a dictionary phrase renamed behind its index and a journal
        // left by an interrupted rebuild.
        Workspace ws(base.string());
        fs::remove(base / "GREET.dbf");
        ASSERT_TRUE(ws.create("GREET.dbf", {{"GREETFRM", 'D', 8, 0}, {"GREETING", 'C', 30, 0}}));
        auto p = ws.use("PATNT.dbf");
        ASSERT_TRUE(p);
        ASSERT_TRUE((*p)->createIndex(ws.resolve("PATNT2.ntx"), "iif(deleted(), 'T', 'F')+patfname"));
        ws.closeAll();
    }
    std::string dict = readFile((base / "DICT.dbf").string());
    const size_t header = size_t(static_cast<unsigned char>(dict[8]) | static_cast<unsigned char>(dict[9]) << 8);
    patchFile(base / "DICT.dbf", header + 1 + 10, "Zz");
    writeFile((base / "packtemp.job").string(), "PVISIT\n");

    const Split r = toolIn(base, "verify");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "GREET.dbf: the field GREETTO (D 8,0) is missing")) << r.out;
    EXPECT_TRUE(contains(r.out, "GREET.dbf: the field GREETING is C 30,0, not C 60,0")) << r.out;
    EXPECT_TRUE(contains(r.out, "PATNT2.ntx: built from the key \"iif(deleted(), 'T', 'F')+patfname\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "DICT2.ntx: record 1: key")) << r.out;
    EXPECT_FALSE(contains(r.out, "DICT1.ntx")) << r.out;
    EXPECT_TRUE(contains(r.out, "packtemp.job: left by a set-up or clean-up that did not finish")) << r.out;
    EXPECT_TRUE(contains(r.err, "curanote-data verify: " + base.string())) << r.err;
}

TEST_F(DataFolder, CleanupNeedsYesAndThenRemovesDeletedRecords)
{
    ASSERT_EQ(toolIn(root, "setup crash/base").status, 0);
    {
        Workspace ws(base.string());
        auto d = ws.use("DICT.dbf");
        ASSERT_TRUE(d);
        (*d)->goTo(3);
        ASSERT_TRUE((*d)->deleteRecord());
        ws.closeAll();
    }
    Split r = toolIn(root, "cleanup crash/base");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_TRUE(contains(r.err, "give --yes")) << r.err;
    EXPECT_TRUE(contains(r.err, "usage:")) << r.err;
    EXPECT_EQ(DbfFile::open((base / "DICT.dbf").string(), false).value()->recordCount(), 7u);

    r = toolIn(root, "cleanup --yes crash/base");   // the folder after the option
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "OK/CANCEL: WARNING #1")) << r.out;
    EXPECT_TRUE(contains(r.out, "Cleaning DICT ")) << r.out;
    EXPECT_TRUE(contains(r.out, "INFO: Data Cleanup Complete")) << r.out;
    // The deleted phrase is gone; the initial rows bring it back as a new record.
    const auto dictAfter = tool("dump " + sh((base / "DICT.dbf").string()) + " --deleted");
    EXPECT_FALSE(contains(dictAfter.out, "(deleted)")) << dictAfter.out;
    EXPECT_EQ(toolIn(base, "verify").status, 0);
}

TEST_F(DataFolder, HelpListsEveryCommandAndUsageErrorsGoToStandardError)
{
    Split r = toolIn(root, "help");
    EXPECT_EQ(r.status, 0);
    for (const char* c : {"check FILE.dbf", "cleanup [DIR] --yes", "dump FILE.dbf", "keys FILE.ntx", "rtf FILE",
                          "setup [DIR]", "verify [DIR]"})
        EXPECT_TRUE(contains(r.out, std::string("curanote-data ") + c)) << c << "\n" << r.out;
    for (const char* bad : {"verify --frob", "verify a b", "dump", "dump x.dbf --index", "keys x.ntx",
                            "rtf x --rtf --html", "nosuchcommand"}) {
        r = toolIn(root, bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(r.out.empty()) << bad << ": " << r.out;
        EXPECT_TRUE(contains(r.err, "usage")) << bad << ": " << r.err;
    }
    r = toolIn(root, "verify no/such/folder");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "no/such/folder: no such folder")) << r.err;
}

// A table whose header counts more records than the file holds: dump shows the
// whole records and then says the table is damaged.
TEST_F(DataTool, DumpOfATableShorterThanItsHeaderSaysSo)
{
    std::string data = readFile(file("PATNT.dbf"));
    data[4] = 9;                                      // 4 records -> 9
    writeFile(file("PATNT.dbf"), data);
    const Split r = toolIn(dir, "dump PATNT.dbf");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "record 4\n")) << r.out;
    EXPECT_TRUE(contains(r.err, "its header counts 9 records but the file holds 4 whole records")) << r.err;
}

namespace {

// A table of 200 codes with an index two levels deep.
void makeDeepIndex(const fs::path& dir)
{
    Workspace ws(dir.string());
    ASSERT_TRUE(ws.create("CODES.dbf", {{"CODE", 'N', 10, 0}}));
    auto a = ws.use("CODES.dbf");
    ASSERT_TRUE(a);
    for (int i = 1; i <= 200; ++i) {
        ASSERT_TRUE((*a)->append());
        ASSERT_TRUE((*a)->setNum("CODE", i));
    }
    ASSERT_TRUE((*a)->createIndex(ws.resolve("CODES1.ntx"), "iif(deleted(), 'T', 'F')+str(code)"));
    ws.closeAll();
}

} // namespace

TEST_F(DataTool, DumpInTheOrderOfADamagedIndexSaysSo)
{
    makeDeepIndex(dir);
    const fs::path ntx = dir / "CODES1.ntx";
    const std::string sound = readFile(ntx.string());
    const uint32_t root = le32(sound, 4);
    const size_t firstItem = size_t(static_cast<unsigned char>(sound[root + 2]) |
                                    static_cast<unsigned char>(sound[root + 3]) << 8);
    const uint32_t child = le32(sound, root + firstItem);
    ASSERT_NE(child, 0u) << "the root is a leaf";

    const std::pair<std::string, std::function<void()>> damage[] = {
        {"points to itself", [&] { patchFile(ntx, root + firstItem, le(root, 4)); }},
        {"points back up the tree",
         [&] {
             // The first leaf made a branch whose children are the root.
             const size_t count = size_t(static_cast<unsigned char>(sound[child]));
             for (size_t i = 0; i <= count; ++i) {
                 const size_t item = size_t(static_cast<unsigned char>(sound[child + 2 + 2 * i]) |
                                            static_cast<unsigned char>(sound[child + 3 + 2 * i]) << 8);
                 patchFile(ntx, child + item, le(root, 4));
             }
         }},
        {"more than the", [&] { patchFile(ntx, child, le(400, 2)); }},
        {"lies outside the page", [&] { patchFile(ntx, child + 2, le(1020, 2)); }},
    };
    for (const auto& [what, apply] : damage) {
        writeFile(ntx.string(), sound);
        apply();
        const Split r = toolIn(dir, "dump CODES.dbf --index CODES1.ntx");
        EXPECT_EQ(r.status, 1) << what << "\n" << r.out;
        EXPECT_TRUE(contains(r.err, "CODES1.ntx")) << what << ": " << r.err;
        EXPECT_TRUE(contains(r.err, what)) << what << ": " << r.err;
    }
}

namespace {

// The memo file's bytes with every terminator (0x1A) turned into a space.
std::string withoutTerminators(std::string dbt)
{
    for (size_t i = 512; i < dbt.size(); ++i)
        if (dbt[i] == '\x1A')
            dbt[i] = ' ';
    return dbt;
}

} // namespace

TEST_F(DataTool, CheckFindsMemosWithoutAnEndAndOverlappingMemos)
{
    const std::string dbt = readFile(file("PATNT.dbt"));
    writeFile(file("PATNT.dbt"), withoutTerminators(dbt));
    ToolRun r = tool("check " + table());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "record 1 NOTE: the memo at block 1 has no terminator before block 2, where the "
                                "memo of record 3 NOTE begins"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "record 3 NOTE: the memo at block 2 has no terminator before the end of the file"))
        << r.out;

    // Record 4 pointing into the middle of record 3's memo (blocks 2 to 4).
    writeFile(file("PATNT.dbt"), dbt);
    patchRecord(4, 1 + 10 + 20 + 10 + 8, "         3");
    r = tool("check " + table());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "record 3 NOTE: the memo at block 2 has no terminator before block 3, where the "
                                "memo of record 4 NOTE begins"))
        << r.out;
    patchRecord(4, 1 + 10 + 20 + 10 + 8, "         2");
    r = tool("check " + table());
    EXPECT_TRUE(contains(r.out, "record 4 NOTE: the memo at block 2 is also used by record 3 NOTE")) << r.out;
}

TEST_F(DataTool, CheckFindsANextFreeBlockBeyondTheEnd)
{
    std::string dbt = readFile(file("PATNT.dbt"));
    const uint32_t blocks = uint32_t(dbt.size() / 512);
    dbt.replace(0, 4, le(blocks + 5, 4));
    writeFile(file("PATNT.dbt"), dbt);
    const ToolRun r = tool("check " + table());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "next free block " + std::to_string(blocks + 5) + " lies beyond the end of the file"))
        << r.out;
}
