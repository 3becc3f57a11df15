// Data clean-up: deleted records removed for good, everything else kept.
#include "setup_fixture.h"

#include "data/cleanup.h"

using namespace cn::data;
using namespace cn::data::testing;
namespace cat = cn::data::catalog;

namespace {

struct CleanupTest : ::testing::Test {
    TempFolder dir;
    Workspace ws{dir.str()};
    ScriptedObserver obs;

    void SetUp() override
    {
        ScriptedObserver first;
        runSetup(ws, first);
        ASSERT_TRUE(first.shown.empty());
        ws.closeAll();
    }

    Setup::Log clean(std::initializer_list<int> answers = {1, 1})
    {
        obs = ScriptedObserver();
        obs.answers.assign(answers.begin(), answers.end());
        return runSetup(ws, obs, true);
    }

    // Appends records to a closed table; the listed positions (1-based among
    // the new ones) are deleted.
    void fill(const std::string& table, int count, std::set<int> deleted,
              const std::function<void(WorkArea&, int)>& set)
    {
        auto a = ws.use(table);
        ASSERT_TRUE(a) << a.message();
        for (const auto& o : cat::findTable(table)->indexes)
            ASSERT_TRUE((*a)->setIndex(cat::index(o).fileName()));
        for (int i = 1; i <= count; ++i) {
            ASSERT_TRUE((*a)->append());
            set(**a, i);
            if (deleted.count(i)) {
                ASSERT_TRUE((*a)->deleteRecord());
            }
        }
        ASSERT_TRUE((*a)->commit());
        ws.closeAll();
    }
};

} // namespace

TEST_F(CleanupTest, DeletedPatientsGoAndTheRestAreRenumberedInOrder)
{
    // The sample patient is record 1 (code 1); nine more make ten, three deleted.
    fill("patnt", 9, {1, 4, 8}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("PATCODE", i + 1));
        ASSERT_TRUE(a.setStr("PATFNAME", "P" + std::to_string(i + 1)));
    });
    ASSERT_EQ(column(ws, "patnt", "PATCODE").size(), 10u);
    const auto log = clean();
    EXPECT_EQ(obs.texts(), (std::vector<std::string>{
                               "WARNING #1\n\nPlease ensure that all other users are logged out.\n"
                               "Otherwise, data corruption may occur!",
                               "FINAL WARNING\n\nPlease ensure that all other users are logged out",
                               "Data Cleanup Complete"}));
    EXPECT_EQ(obs.shown[2].kind, SetupBox::Info);
    EXPECT_EQ(log.cleanedTables.size(), 22u);
    EXPECT_EQ(column(ws, "patnt", "PATCODE"), (std::vector<std::string>{"1", "3", "4", "6", "7", "8", "10"}));
    EXPECT_TRUE(obs.sawStatus("Cleaning PATNT"));
    EXPECT_TRUE(obs.sawStatus("Creating PATNT"));
    EXPECT_TRUE(obs.sawStatus("Creating PATNT1.ntx"));
    EXPECT_FALSE(obs.sawStatus("Checking PATNT"));   // no structure pass in a clean-up run
    // Progress_3 counts the records of each table in turn, PATNT's first.
    const auto tableRange = std::find_if(obs.ranges.begin() + 3, obs.ranges.end(),
                                         [](const auto& r) { return r.first == 3; });
    ASSERT_NE(tableRange, obs.ranges.end());
    EXPECT_EQ(tableRange->second, 10);
    EXPECT_EQ(obs.values[3], 7);   // the last table's last record (the seven phrases)

    // Fresh indexes: every live record found through both orders.
    WorkArea& patnt = *ws.area("patnt");
    EXPECT_EQ(patnt.lastRec(), 7u);
    EXPECT_EQ(patnt.keyCount(), 7u);
    ASSERT_TRUE(patnt.setOrder(1));
    EXPECT_TRUE(patnt.seek("F" + strNum(6)));
    EXPECT_EQ(patnt.recNo(), 4u);
    ASSERT_TRUE(patnt.setOrder(2));
    EXPECT_TRUE(patnt.seek("FP10"));
    EXPECT_EQ(patnt.recNo(), 7u);
    EXPECT_FALSE(fs::exists(dir / "packtemp.dbf"));
    EXPECT_FALSE(fs::exists(dir / "packtemp.job"));
}

TEST_F(CleanupTest, MemoTextOfLiveVisitsSurvivesAndDeletedTextIsGone)
{
    fill("pvisit", 4, {2}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("VISITNO", i));
        ASSERT_TRUE(a.setMemo("PATPRES", "{\\rtf1 prescription number " + std::to_string(i) + "}"));
        if (i == 2) {
            ASSERT_TRUE(a.setMemo("PATNOTE1", "SECRET-DELETED-NOTE"));
        }
        if (i == 3) {
            ASSERT_TRUE(a.setMemo("PATNOTE1", std::string(1500, 'x')));
        }
    });
    ASSERT_NE(readBytes(dir / "PVISIT.dbt").find("SECRET-DELETED-NOTE"), std::string::npos);
    clean();
    EXPECT_EQ(column(ws, "pvisit", "PATPRES"),
              (std::vector<std::string>{"{\\rtf1 prescription number 1}", "{\\rtf1 prescription number 3}",
                                        "{\\rtf1 prescription number 4}"}));
    EXPECT_EQ(column(ws, "pvisit", "PATNOTE1")[1], std::string(1500, 'x'));
    const std::string dbt = readBytes(dir / "PVISIT.dbt");
    EXPECT_EQ(dbt.find("SECRET-DELETED-NOTE"), std::string::npos);
    EXPECT_EQ(dbt.find("prescription number 2"), std::string::npos);
}

TEST_F(CleanupTest, EscapeDuringTheThirdTableLeavesTheRestAsTheyWere)
{
    fill("patnt", 2, {1}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("PATCODE", i + 1));
        ASSERT_TRUE(a.setStr("PATFNAME", "P" + std::to_string(i + 1)));
    });
    fill("sdis", 2, {2}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("SDISCODE", i));
        ASSERT_TRUE(a.setNum("DISCODE", 1));
        ASSERT_TRUE(a.setStr("SDISNAME", "Specific " + std::to_string(i)));
    });
    fill("compl", 2, {2}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("COMPLCODE", i));
        ASSERT_TRUE(a.setStr("COMPLNAME", "Complaint " + std::to_string(i)));
    });
    fill("dict", 1, {1}, [](WorkArea& a, int) { ASSERT_TRUE(a.setNum("DICTCODE", 8)); });
    obs = ScriptedObserver();
    obs.answers = {1, 1};
    obs.escapeWhen = [](const std::string& s) { return s.find("Cleaning SDIS") != std::string::npos; };
    const auto log = runSetup(ws, obs, true);
    EXPECT_EQ(log.cleanedTables, (std::set<int>{1, 2, 3}));
    EXPECT_FALSE(obs.sawStatus("Cleaning COMPL"));
    EXPECT_EQ(column(ws, "patnt", "PATCODE").size(), 2u);
    EXPECT_EQ(column(ws, "sdis", "SDISCODE"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(column(ws, "compl", "COMPLCODE"), (std::vector<std::string>{"1", "*2"}));
    EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 8u);
    // The index pass still ran in full, and the run ended normally.
    EXPECT_TRUE(obs.sawStatus("Checking DICT2.ntx"));
    EXPECT_TRUE(obs.sawStatus("Creating SDIS3.ntx"));
    EXPECT_EQ(obs.texts().back(), "Data Cleanup Complete");
    EXPECT_EQ(ws.area("sdis")->orderCount(), 3);
    EXPECT_EQ(ws.area("compl")->keyCount(), 1u);
}

TEST_F(CleanupTest, RefusedWarningChangesNothing)
{
    fill("dict", 1, {1}, [](WorkArea& a, int) { ASSERT_TRUE(a.setNum("DICTCODE", 8)); });
    const std::string before = readBytes(dir / "DICT.dbf");
    for (auto answers : {std::initializer_list<int>{2}, std::initializer_list<int>{1, 2}}) {
        const auto log = clean(answers);
        EXPECT_EQ(obs.shown.back().text, "Data Cleanup aborted");
        EXPECT_EQ(obs.shown.back().kind, SetupBox::Stop);
        EXPECT_EQ(obs.shown.size(), answers.size() + 1);
        EXPECT_TRUE(log.cleanedTables.empty());
        EXPECT_EQ(readBytes(dir / "DICT.dbf"), before);
        EXPECT_NE(ws.area("dict"), nullptr);   // reopened
        EXPECT_EQ(ws.area("dict")->keyCount(), 7u);
        EXPECT_EQ(obs.released, 1);
        ws.closeAll();
    }
}

TEST_F(CleanupTest, TableInUseIsReportedAndKeepsItsDeletedRecords)
{
    fill("dict", 1, {1}, [](WorkArea& a, int) { ASSERT_TRUE(a.setNum("DICTCODE", 8)); });
    fill("gmed", 2, {1}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("GMEDCODE", i));
        ASSERT_TRUE(a.setStr("GMEDNAME", "Generic " + std::to_string(i)));
    });
    Workspace other(dir.str());
    ASSERT_TRUE(other.use("DICT.dbf", "dict", OpenMode{true, true}));
    clean();
    const auto texts = obs.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Could not process file DICT.dbf"), texts.end());
    EXPECT_EQ(obs.shown[2].kind, SetupBox::Stop);
    other.closeAll();
    EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 8u);
    EXPECT_EQ(column(ws, "gmed", "GMEDCODE"), (std::vector<std::string>{"2"}));
    // The run did not clean every table, so it does not say it is complete.
    EXPECT_EQ(texts.back(), std::string(kCleanupIncomplete) +
                                "\n\nThe table file DICT.dbf could not be processed: it is in use by another program");
    EXPECT_EQ(obs.shown.back().kind, SetupBox::Stop);
}

// Another copy of the program trying the table at every step of its rebuild
// is refused as "in use" until the rebuilt table is in place; it never
// writes to a file that is then replaced, and it never takes the running
// rebuild for an interrupted one.
TEST_F(CleanupTest, AnotherCopyIsRefusedWhileATableIsRebuiltAndLosesNothing)
{
    fill("pvisit", 6, {2, 5}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("VISITNO", i));
        ASSERT_TRUE(a.setMemo("PATPRES", "rx " + std::to_string(i)));
    });
    obs = ScriptedObserver();
    obs.answers = {1, 1};
    Workspace other(dir.str());
    std::vector<std::string> refusedAt, openedAt, recoveredAt;
    std::vector<long> toldOk;
    auto anotherCopy = [&](std::string_view step) {
        if (step.find(" PVISIT") == std::string_view::npos)
            return;
        other.closeAll();
        const std::string at(step);
        for (const auto& line : recoverLeftovers(other).done)
            if (line.find("left alone") == std::string::npos)
                recoveredAt.push_back(at + ": " + line);
        auto a = other.use("PVISIT.dbf", "pvisit", OpenMode{true, false});
        if (!a) {
            if (a.code() == ErrorCode::InUse)
                refusedAt.push_back(at);
            else
                openedAt.push_back(at + ": " + a.message());
            return;
        }
        openedAt.push_back(at);
        const long no = 100 + static_cast<long>(openedAt.size());
        if ((*a)->append() && (*a)->setNum("VISITNO", static_cast<double>(no)) && other.commitAll())
            toldOk.push_back(no);
        (*a)->unlock();   // and it stays open, as the other program keeps it
    };
    const auto log = runSetup(ws, obs, true, anotherCopy);
    other.closeAll();
    EXPECT_TRUE(openedAt.empty()) << openedAt.front();
    EXPECT_TRUE(recoveredAt.empty()) << recoveredAt.front();
    EXPECT_EQ(refusedAt.size(), 9u);
    EXPECT_TRUE(log.cleanedTables.count(cat::findTable("pvisit")->number));
    const auto visits = column(ws, "pvisit", "VISITNO");
    for (long no : toldOk)
        EXPECT_NE(std::find(visits.begin(), visits.end(), std::to_string(no)), visits.end()) << no << " was lost";
    EXPECT_EQ(visits, (std::vector<std::string>{"1", "3", "4", "6"}));
    EXPECT_EQ(obs.texts().back(), "Data Cleanup Complete");
}

// Another copy holds a cleaned table during the index pass: its indexes are
// built at the end of the pass once the table is free again.
TEST_F(CleanupTest, IndexesOfATableHeldDuringTheIndexPassAreBuiltAtItsEnd)
{
    obs = ScriptedObserver();
    obs.answers = {1, 1};
    Workspace other(dir.str());
    obs.onStatus = [&](const std::string& s) {
        if (s.find("Checking PVISIT1.ntx") != std::string::npos) {
            ASSERT_TRUE(other.use("PVISIT.dbf", "pvisit", OpenMode{true, false}));
        }
        if (s.find("Checking DICT2.ntx") != std::string::npos)
            other.closeAll();
    };
    const auto log = runSetup(ws, obs, true);
    EXPECT_EQ(obs.texts().back(), "Data Cleanup Complete");
    EXPECT_EQ(log.rebuiltIndexes.size(), 46u);
    for (int n : cat::findTable("pvisit")->indexes)
        EXPECT_TRUE(fs::exists(dir / cat::index(n).fileName())) << cat::index(n).fileName();
    EXPECT_EQ(ws.area("pvisit")->orderCount(), 5);
}

TEST_F(CleanupTest, ColumnsOutsideTheCatalogueSurvive)
{
    ws.closeAll();
    fs::remove(dir / "DICT.dbf");
    Structure withExtra = cat::findTable("dict")->fields;
    withExtra.push_back({"NOTE", 'C', 12, 0});
    ASSERT_TRUE(ws.create("DICT.dbf", withExtra));
    fill("dict", 2, {1}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("DICTCODE", i));
        ASSERT_TRUE(a.setStr("NOTE", "note" + std::to_string(i)));
    });
    clean();
    EXPECT_EQ(column(ws, "dict", "NOTE").front(), "note2");
}

TEST_F(CleanupTest, DeletedSamplePatientReturnsThroughTheInitialRows)
{
    {
        auto a = ws.use("PATNT.dbf");
        ASSERT_TRUE(a);
        (*a)->goTo(1);
        ASSERT_TRUE((*a)->deleteRecord());
        ws.closeAll();
    }
    clean();
    EXPECT_EQ(column(ws, "patnt", "PATFNAME"), (std::vector<std::string>{"Patient"}));
    EXPECT_EQ(column(ws, "patnt", "PATCODE"), (std::vector<std::string>{"1"}));
}

// The files a clean-up leaves pass the data tool's own soundness check:
// header, memo pointers, one key per record and each key from its record.
TEST_F(CleanupTest, RebuiltFilesPassTheDataToolCheck)
{
    const std::string tool = std::string(CURANOTE_BIN_DIR) + "/curanote-data";
    if (!fs::exists(tool))
        GTEST_SKIP() << "no " << tool;
    fill("pvisit", 5, {2, 3}, [](WorkArea& a, int i) {
        ASSERT_TRUE(a.setNum("VISITNO", i));
        ASSERT_TRUE(a.setNum("PATCODE", 1));
        ASSERT_TRUE(a.setMemo("PATPRES", "text " + std::to_string(i)));
    });
    clean();
    ws.closeAll();
    for (const auto& t : cat::tables()) {
        std::string cmd = tool + " check '" + (dir / t.fileName()).string() + "'";
        for (int n : t.indexes)
            cmd += " '" + (dir / cat::index(n).fileName()).string() + "'";
        EXPECT_EQ(std::system((cmd + " >/dev/null 2>&1").c_str()), 0) << cmd;
    }
}
