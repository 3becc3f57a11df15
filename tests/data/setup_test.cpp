// Set-up at start-up: creation, structure check and upgrade, index pass,
// initial rows, opening, and tables that cannot be opened.
#include "setup_fixture.h"

#include "data/codes.h"

using namespace cn::data;
using namespace cn::data::testing;
namespace cat = cn::data::catalog;

namespace {

Structure without(Structure s, const std::string& name)
{
    s.erase(std::remove_if(s.begin(), s.end(), [&](const FieldDef& f) { return f.name == name; }), s.end());
    return s;
}

// Appends a live record with the given text fields to an exclusive area.
void addRow(WorkArea& a, std::initializer_list<std::pair<const char*, std::string>> texts,
            std::initializer_list<std::pair<const char*, double>> numbers = {}, bool deleted = false)
{
    ASSERT_TRUE(a.append());
    for (const auto& [f, v] : texts)
        ASSERT_TRUE(a.setStr(f, v)) << f;
    for (const auto& [f, v] : numbers)
        ASSERT_TRUE(a.setNum(f, v)) << f;
    if (deleted) {
        ASSERT_TRUE(a.deleteRecord());
    }
    a.unlock();
}

struct SetupTest : ::testing::Test {
    TempFolder dir;
    Workspace ws{dir.str()};
    ScriptedObserver obs;

    Setup::Log run(bool cleanup = false)
    {
        ScriptedObserver fresh;
        obs = fresh;
        return runSetup(ws, obs, cleanup);
    }
};

} // namespace

TEST_F(SetupTest, EmptyFolderGetsEveryTableIndexAndInitialRow)
{
    const auto log = run();
    EXPECT_TRUE(obs.shown.empty()) << obs.texts().front();
    EXPECT_EQ(log.createdTables.size(), 22u);
    EXPECT_EQ(log.rebuiltIndexes.size(), 46u);
    for (const auto& t : cat::tables()) {
        EXPECT_TRUE(fs::exists(dir / t.fileName())) << t.fileName();
        EXPECT_EQ(fs::exists(dir / t.memoFileName()), t.hasMemo()) << t.name;
        EXPECT_TRUE(obs.sawStatus("Creating " + t.upperName())) << t.name;
    }
    for (const auto& i : cat::indexes())
        EXPECT_TRUE(fs::exists(dir / i.fileName())) << i.fileName();
    EXPECT_FALSE(fs::exists(dir / "packtemp.dbf"));
    EXPECT_FALSE(fs::exists(dir / "_temp.dbf"));

    // Open under every alias with the listed orders; dict current.
    for (const auto& step : cat::openSteps()) {
        WorkArea* a = ws.area(step.alias);
        ASSERT_NE(a, nullptr) << step.alias;
        EXPECT_TRUE(a->shared());
        ASSERT_EQ(a->orderCount(), static_cast<int>(step.orders.size())) << step.alias;
        for (size_t k = 0; k < step.orders.size(); ++k) {
            EXPECT_TRUE(cat::sameName(a->indexKey(static_cast<int>(k) + 1), cat::index(step.orders[k]).key));
        }
        if (!step.orders.empty()) {
            EXPECT_EQ(a->indexOrd(), 1);
        }
        EXPECT_EQ(a->structure().size(), cat::findTable(step.table)->fields.size());
    }
    EXPECT_EQ(ws.currentAlias(), "dict");
    EXPECT_EQ(obs.menus, (std::vector<bool>{false, true}));
    EXPECT_EQ(obs.released, 1);

    // The initial rows.
    WorkArea& oprtr = *ws.area("oprtr");
    oprtr.goTop();
    EXPECT_EQ(trimmed(oprtr.str("OPNAME")), "Supervisor");
    EXPECT_EQ(oprtr.num("OPNUM"), 1);
    EXPECT_EQ(trimmed(oprtr.str("OPINIT")), "Super");
    EXPECT_EQ(revealPassword(oprtr.str("OPPWD")), kDefaultSupervisorPassword);
    EXPECT_NE(trimmed(oprtr.str("OPPWD")), kDefaultSupervisorPassword);
    EXPECT_EQ(oprtr.date("OPDT"), (Date{2026, 6, 10}));
    EXPECT_EQ(oprtr.num("OPTM"), 37800);

    WorkArea& opts = *ws.area("opts");
    opts.goTop();
    EXPECT_EQ(trimmed(opts.str("CURRSYM")), "Rs.");
    EXPECT_EQ(trimmed(opts.str("CURRTXT")), "Rupees");
    EXPECT_EQ(trimmed(opts.str("CURRTXT2")), "paisa");
    EXPECT_EQ(opts.num("NUMFORM"), 2);
    EXPECT_EQ(opts.num("DATEFORM"), 2);
    EXPECT_EQ(opts.lastRec(), 1u);

    EXPECT_EQ(column(ws, "chamber", "CHNAME"), (std::vector<std::string>{"Home Visit", "Telephone Consultation"}));
    EXPECT_EQ(column(ws, "chamber", "CHCODE"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(column(ws, "dict", "DICTNAME"),
              (std::vector<std::string>{"Macahit (500mg) daily after lunch", "Neck Exercise",
                                        "Post Menopausal Osteoporesis", "Hb, TC, DC, ESR", "T3, T4, TSH", "Headache",
                                        "headache"}));
    EXPECT_EQ(column(ws, "dict", "DICTCODE"), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));

    WorkArea& patnt = *ws.area("patnt");
    patnt.goTop();
    EXPECT_EQ(patnt.num("PATCODE"), 1);
    EXPECT_EQ(trimmed(patnt.str("PATTITLE")), "Mr.");
    EXPECT_EQ(trimmed(patnt.str("PATFNAME")), "Patient");
    EXPECT_EQ(trimmed(patnt.str("PATLNAME")), "Dazezoz");
    EXPECT_EQ(trimmed(patnt.str("PATSEX")), "M");
    EXPECT_EQ(patnt.date("PATDOB"), (Date{1988, 11, 9}));   // month first during start-up
    EXPECT_EQ(trimmed(patnt.str("PATRACE")), "Tamil Christian Veg M/Class");
    EXPECT_EQ(trimmed(patnt.str("PATCELL")), "9876543210");
}

TEST_F(SetupTest, SecondStartChangesNothing)
{
    run();
    const std::string before = readBytes(dir / "PATNT1.ntx");
    const auto log = run();
    EXPECT_TRUE(obs.shown.empty());
    EXPECT_TRUE(log.createdTables.empty());
    EXPECT_TRUE(log.upgradedTables.empty());
    EXPECT_TRUE(log.rebuiltIndexes.empty());
    EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 7u);
    EXPECT_EQ(column(ws, "patnt", "PATCODE").size(), 1u);
    EXPECT_EQ(readBytes(dir / "PATNT1.ntx"), before);
    EXPECT_TRUE(obs.sawStatus("Checking PATNT"));
    EXPECT_TRUE(obs.sawStatus("Checking DICT2.ntx"));
}

TEST_F(SetupTest, PatientTableWithoutDocprefIsUpgradedKeepingEveryRecord)
{
    const auto& def = *cat::findTable("patnt");
    ASSERT_TRUE(ws.create("PATNT.dbf", without(def.fields, "DOCPREF")));
    {
        auto a = ws.use("PATNT.dbf");
        ASSERT_TRUE(a) << a.message();
        for (int i = 1; i <= 6; ++i)
            addRow(**a, {{"PATFNAME", "Name" + std::to_string(i)}, {"REMARKS", "r" + std::to_string(i)}},
                   {{"PATCODE", i}}, i == 2 || i == 5);
        ws.closeAll();
    }
    const auto log = run();
    EXPECT_TRUE(obs.sawStatus("Changing PATNT"));
    EXPECT_EQ(log.upgradedTables, (std::set<int>{1}));
    EXPECT_EQ(log.rebuiltIndexes.size(), 46u);   // every index, not only the patient ones
    EXPECT_EQ(column(ws, "patnt", "PATFNAME"),
              (std::vector<std::string>{"Name1", "*Name2", "Name3", "Name4", "*Name5", "Name6", "Patient"}));
    EXPECT_EQ(column(ws, "patnt", "REMARKS"),
              (std::vector<std::string>{"r1", "*r2", "r3", "r4", "*r5", "r6", ""}));
    EXPECT_EQ(column(ws, "patnt", "DOCPREF"), (std::vector<std::string>{"", "*", "", "", "*", "", ""}));
    EXPECT_EQ(ws.area("patnt")->fieldPos("DOCPREF"), 21);
    EXPECT_FALSE(fs::exists(dir / "packtemp.dbf"));
    EXPECT_FALSE(fs::exists(dir / "packtemp.job"));
    // The sample patient took the next code after the live ones.
    EXPECT_EQ(column(ws, "patnt", "PATCODE").back(), "7");
}

TEST_F(SetupTest, ExtraFieldNeverCausesAnUpgradeAndIsKept)
{
    Structure withExtra = cat::findTable("dict")->fields;
    withExtra.push_back({"NOTE", 'C', 12, 0});
    ASSERT_TRUE(ws.create("DICT.dbf", withExtra));
    {
        auto a = ws.use("DICT.dbf");
        ASSERT_TRUE(a);
        addRow(**a, {{"DICTNAME", "Kept phrase"}, {"NOTE", "extra"}}, {{"DICTCODE", 1}});
        ws.closeAll();
    }
    const auto log = run();
    EXPECT_FALSE(obs.sawStatus("Changing DICT"));
    EXPECT_TRUE(log.upgradedTables.empty());
    EXPECT_EQ(column(ws, "dict", "NOTE").front(), "extra");
}

TEST_F(SetupTest, FieldOfOtherWidthOrTypeIsUpgraded)
{
    Structure narrow = cat::findTable("dict")->fields;
    narrow[1].width = 30;
    ASSERT_TRUE(ws.create("DICT.dbf", narrow));
    {
        auto a = ws.use("DICT.dbf");
        ASSERT_TRUE(a);
        addRow(**a, {{"DICTNAME", "Neck Exercise"}}, {{"DICTCODE", 4}});
        ws.closeAll();
    }
    run();
    EXPECT_TRUE(obs.sawStatus("Changing DICT"));
    EXPECT_EQ(ws.area("dict")->fieldInfo(2).width, 40);
    // The kept row satisfies its phrase; the other six are added after code 4.
    EXPECT_EQ(column(ws, "dict", "DICTCODE"), (std::vector<std::string>{"4", "5", "6", "7", "8", "9", "10"}));
}

TEST_F(SetupTest, IndexKeyDifferingOnlyInCaseIsAccepted)
{
    run();
    ws.closeAll();
    {
        auto a = ws.use("DICT.dbf");
        ASSERT_TRUE(a);
        ASSERT_TRUE((*a)->createIndex("DICT1.ntx", "IIF(DELETED(), 'T', 'F')+STR(DICTCODE)"));
        ws.closeAll();
    }
    const auto log = run();
    EXPECT_EQ(log.rebuiltIndexes.count(cat::findIndex("dict1")->number), 0u);
    EXPECT_FALSE(obs.sawStatus("Reindexing DICT1.ntx"));
    EXPECT_EQ(ws.area("dict")->indexKey(1), "IIF(DELETED(), 'T', 'F')+STR(DICTCODE)");
}

TEST_F(SetupTest, IndexOfAnotherKeyIsRebuilt)
{
    run();
    ws.closeAll();
    {
        auto a = ws.use("DICT.dbf");
        ASSERT_TRUE(a);
        ASSERT_TRUE((*a)->createIndex("DICT2.ntx", "iif(deleted(), 'T', 'F')+dictname"));
        ws.closeAll();
    }
    run();
    EXPECT_TRUE(obs.sawStatus("Reindexing DICT2.ntx"));
    EXPECT_EQ(ws.area("dict")->indexKey(2), cat::findIndex("dict2")->key);
}

TEST_F(SetupTest, IndexMissingAKeyIsRebuiltAndTheRecordIsFoundAgain)
{
    run();
    ws.closeAll();
    {
        // Another program appends without updating the indexes.
        auto a = ws.use("DICT.dbf");
        ASSERT_TRUE(a);
        addRow(**a, {{"DICTNAME", "Zinc at night"}}, {{"DICTCODE", 8}});
        ws.closeAll();
    }
    run();
    EXPECT_TRUE(obs.sawStatus("Reindexing DICT1.ntx"));
    EXPECT_TRUE(obs.sawStatus("Reindexing DICT2.ntx"));
    EXPECT_FALSE(obs.sawStatus("Reindexing PATNT1.ntx"));
    WorkArea& dict = *ws.area("dict");
    ASSERT_TRUE(dict.setOrder(2));
    EXPECT_TRUE(dict.seek("FZINC"));
    EXPECT_EQ(dict.keyCount(), 8u);
    EXPECT_EQ(nextCode(dict, 1, "DICTCODE"), 9);
}

TEST_F(SetupTest, IndexKeyNoLongerMatchingItsRecordIsRebuilt)
{
    run();
    ws.closeAll();
    {
        // Another program renames a phrase without updating the indexes.
        auto a = ws.use("DICT.dbf");
        ASSERT_TRUE(a);
        (*a)->goTo(2);
        ASSERT_TRUE((*a)->setStr("DICTNAME", "Back Exercise"));
        ws.closeAll();
    }
    run();
    EXPECT_FALSE(obs.sawStatus("Reindexing DICT1.ntx"));   // codes unchanged: still sound
    EXPECT_TRUE(obs.sawStatus("Reindexing DICT2.ntx"));
    WorkArea& dict = *ws.area("dict");
    ASSERT_TRUE(dict.setOrder(2));
    EXPECT_TRUE(dict.seek("FBACK EXERCISE"));
    EXPECT_EQ(dict.recNo(), 2u);
}

TEST_F(SetupTest, EscapeEndsTheIndexPassButMissingIndexesAreStillBuilt)
{
    run();
    ws.closeAll();
    {
        auto a = ws.use("DICT.dbf");
        ASSERT_TRUE(a);
        addRow(**a, {{"DICTNAME", "Zinc at night"}}, {{"DICTCODE", 8}});
        ws.closeAll();
    }
    fs::remove(dir / "GMED2.ntx");
    ScriptedObserver o;
    o.escapeWhen = [](const std::string& s) { return s.find("Checking DIS1.ntx") != std::string::npos; };
    const auto log = runSetup(ws, o);
    EXPECT_FALSE(o.sawStatus("Checking DIS2.ntx"));
    EXPECT_FALSE(o.sawStatus("Reindexing DICT1.ntx"));    // stale, but left for the next start
    EXPECT_TRUE(o.sawStatus("Creating GMED2.ntx"));       // the table cannot do without it
    EXPECT_TRUE(fs::exists(dir / "GMED2.ntx"));
    EXPECT_EQ(log.rebuiltIndexes, (std::set<int>{cat::findIndex("gmed2")->number}));
    EXPECT_NE(ws.area("gmed"), nullptr);
    EXPECT_NE(ws.area("dict"), nullptr);   // the run went on to the end
    // The next start mends the stale one.
    run();
    EXPECT_TRUE(obs.sawStatus("Reindexing DICT1.ntx"));
}

TEST_F(SetupTest, DeletedSeedRowsComeBack)
{
    run();
    {
        WorkArea& ch = *ws.area("chamber");
        ASSERT_TRUE(ch.setOrder(2));
        ASSERT_TRUE(ch.seek("FHOME VISIT"));
        ASSERT_TRUE(ch.rlock());
        ASSERT_TRUE(ch.deleteRecord());
        ch.unlock();
        WorkArea& d = *ws.area("dict");
        ASSERT_TRUE(d.setOrder(2));
        ASSERT_TRUE(d.seek("FHEADACHE"));
        ASSERT_TRUE(d.rlock());
        ASSERT_TRUE(d.deleteRecord());
        d.unlock();
        ASSERT_TRUE(ws.commitAll());
    }
    const std::string deletedDict = column(ws, "dict", "DICTNAME")[5];
    run();
    EXPECT_EQ(column(ws, "chamber", "CHNAME"),
              (std::vector<std::string>{"*Home Visit", "Telephone Consultation", "Home Visit"}));
    EXPECT_EQ(column(ws, "chamber", "CHCODE"), (std::vector<std::string>{"*1", "2", "3"}));
    // Only the deleted phrase comes back, whichever of the two the seek found.
    const auto names = column(ws, "dict", "DICTNAME");
    ASSERT_EQ(names.size(), 8u);
    EXPECT_EQ("*" + names[7], deletedDict);
    EXPECT_EQ(column(ws, "dict", "DICTCODE")[7], "8");
}

TEST_F(SetupTest, SamplePatientDateFollowsTheDateFormatInForce)
{
    ws.setDateFormat("dd-MM-yyyy");
    run();
    WorkArea& patnt = *ws.area("patnt");
    patnt.goTop();
    EXPECT_EQ(patnt.date("PATDOB"), (Date{1988, 9, 11}));
}

TEST_F(SetupTest, BlankChecksReportFaultyMasterRecords)
{
    run();
    ws.closeAll();
    {
        auto a = ws.use("PATNT.dbf");
        ASSERT_TRUE(a);
        addRow(**a, {{"PATLNAME", "Nameless"}}, {{"PATCODE", 5}});
        ws.closeAll();
        auto b = ws.use("SDIS.dbf");
        ASSERT_TRUE(b);
        addRow(**b, {{"SDISNAME", "Orphan"}}, {{"SDISCODE", 1}});   // parent code 0
        addRow(**b, {{"SDISNAME", "Gone"}}, {{"SDISCODE", 0}}, true); // deleted: not reported
        ws.closeAll();
    }
    run();
    EXPECT_EQ(obs.texts(),
              (std::vector<std::string>{
                  "Blank names and/or codes exist in Patients database, Please rectify to avoid future errors !!",
                  "Blank names and/or codes exist in Specific Diseases database, Please rectify to avoid future errors !!"}));
    EXPECT_EQ(obs.shown.front().kind, SetupBox::Info);
    EXPECT_NE(ws.area("sdis"), nullptr);
}

TEST_F(SetupTest, DamagedTableIsReportedAndLeftAsItIs)
{
    run();
    ws.closeAll();
    const std::string junk = "this is not a table at all";
    { std::ofstream(dir / "PATNT.dbf", std::ios::binary | std::ios::trunc) << junk; }
    run();
    EXPECT_EQ(readBytes(dir / "PATNT.dbf"), junk);
    ASSERT_EQ(obs.shown.size(), 1u) << obs.texts().back();
    EXPECT_EQ(obs.shown[0].kind, SetupBox::Exclamation);
    EXPECT_NE(obs.shown[0].text.find("PATNT.dbf"), std::string::npos);
    EXPECT_EQ(ws.area("patnt"), nullptr);
    EXPECT_NE(ws.area("chamber"), nullptr);
    EXPECT_NE(ws.area("dict"), nullptr);
    EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 7u);
}

TEST_F(SetupTest, TableHeldExclusivelyElsewhereIsReportedAndNotTouched)
{
    run();
    ws.closeAll();
    Workspace other(dir.str());
    auto held = other.use("DICT.dbf", "dict", OpenMode{false, false});
    ASSERT_TRUE(held) << held.message();
    const std::string before = readBytes(dir / "DICT.dbf");
    run();
    EXPECT_EQ(readBytes(dir / "DICT.dbf"), before);
    ASSERT_EQ(obs.shown.size(), 1u);
    EXPECT_NE(obs.shown[0].text.find("DICT.dbf"), std::string::npos);
    EXPECT_NE(obs.shown[0].text.find("in use"), std::string::npos);
    EXPECT_EQ(ws.area("dict"), nullptr);
    EXPECT_NE(ws.area("pvtest"), nullptr);
}

TEST_F(SetupTest, TablesOpenSharedByAnotherCopyAreUsedAsTheyAre)
{
    run();
    ws.closeAll();
    Workspace other(dir.str());
    auto held = other.use("PATNT.dbf", "patnt", OpenMode{true, false});
    ASSERT_TRUE(held);
    run();
    EXPECT_TRUE(obs.shown.empty()) << obs.texts().front();
    EXPECT_NE(ws.area("patnt"), nullptr);
}

// Missing indexes of a table another copy holds open cannot be built now;
// the user is told which, and the next start builds them.
TEST_F(SetupTest, IndexesOfATableHeldByAnotherCopyAreNamedForTheNextStart)
{
    run();
    ws.closeAll();
    fs::remove(dir / "PVISIT2.ntx");
    fs::remove(dir / "PVISIT4.ntx");
    {
        Workspace other(dir.str());
        ASSERT_TRUE(other.use("PVISIT.dbf", "pvisit", OpenMode{true, false}));
        run();
        ASSERT_EQ(obs.shown.size(), 1u) << obs.texts().back();
        EXPECT_EQ(obs.shown[0].text, "The index files PVISIT2.ntx, PVISIT4.ntx of PVISIT.dbf could not be built now, "
                                     "as it is in use by another program; they are built at the next start.");
        EXPECT_NE(ws.area("pvisit"), nullptr);
        ws.closeAll();
    }
    const auto log = run();
    EXPECT_TRUE(obs.shown.empty()) << obs.texts().front();
    EXPECT_EQ(log.rebuiltIndexes, (std::set<int>{cat::findIndex("pvisit2")->number, cat::findIndex("pvisit4")->number}));
    EXPECT_EQ(ws.area("pvisit")->orderCount(), 5);
}

TEST(SetupRelativeFolder, RelativeFolderIsSetUpInPlace)
{
    TempFolder dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.str());
    fs::create_directories("crash/base");
    {
        Workspace ws("crash/base/");
        ScriptedObserver obs;
        const auto log = runSetup(ws, obs, false);
        EXPECT_TRUE(obs.shown.empty()) << obs.texts().front();
        EXPECT_EQ(log.rebuiltIndexes.size(), 46u);
        EXPECT_EQ(ws.folder(), (fs::path(dir.str()) / "crash/base").string());
        ws.closeAll();
    }
    EXPECT_TRUE(fs::exists("crash/base/PVISIT.dbt"));
    EXPECT_TRUE(fs::exists("crash/base/PATNT1.ntx"));
    EXPECT_FALSE(fs::exists("crash/base/crash"));
    fs::current_path(before);
}
