// A disk that fills up during a clean-up or an upgrade: nothing is lost, no
// short index file is left, and the user is told what did not finish. The
// full disk is the engine's write seam (setSpaceLeftForTesting).
#include "setup_fixture.h"

#include "data/dbf_file.h"
#include "data/ntx_file.h"
#include "data/os_file.h"

using namespace cn::data;
using namespace cn::data::testing;
namespace cat = cn::data::catalog;

namespace {

// The disk has `bytes` left for as long as this lives.
class FullDisk {
public:
    explicit FullDisk(int64_t bytes) { setSpaceLeftForTesting(bytes); }
    ~FullDisk() { setSpaceLeftForTesting(-1); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

// Every index file there is whole: it opens, its tree is sound and it holds
// one entry per record of its table. The problems, one line each.
std::vector<std::string> shortIndexes(const TempFolder& dir)
{
    std::vector<std::string> bad;
    for (int n = 1; n <= cat::kIndexCount; ++n) {
        const auto& ix = cat::index(n);
        if (!fs::exists(dir / ix.fileName()))
            continue;
        auto file = NtxFile::open((dir / ix.fileName()).string(), false);
        if (!file) {
            bad.push_back(file.message());
            continue;
        }
        if (auto st = (*file)->verify(); !st) {
            bad.push_back(st.message());
            continue;
        }
        auto entries = (*file)->countAll();
        auto table = DbfFile::open((dir / cat::table(ix.table).fileName()).string(), false);
        if (!entries || !table || *entries != (*table)->recordCount())
            bad.push_back(ix.fileName() + " does not hold one entry per record");
    }
    return bad;
}

// A set-up folder whose visit table needs far more room to rebuild than the
// pretend disk will have.
void bigVisits(const TempFolder& dir, Workspace& ws)
{
    ScriptedObserver first;
    runSetup(ws, first);
    ASSERT_TRUE(first.shown.empty());
    ws.closeAll();
    auto a = ws.use("PVISIT.dbf");
    ASSERT_TRUE(a);
    for (int n : cat::findTable("pvisit")->indexes)
        ASSERT_TRUE((*a)->setIndex(cat::index(n).fileName()));
    for (int i = 1; i <= 150; ++i) {
        ASSERT_TRUE((*a)->append());
        ASSERT_TRUE((*a)->setNum("VISITNO", i));
        ASSERT_TRUE((*a)->setMemo("PATPRES", std::string(3000, static_cast<char>('a' + i % 26))));
        if (i % 15 == 0) {
            ASSERT_TRUE((*a)->deleteRecord());
        }
    }
    ws.closeAll();
    ASSERT_GT(fs::file_size(dir / "PVISIT.dbt"), 400u * 1024);
}

} // namespace

TEST(FullDisk, CleanupThatRunsOutOfSpaceNamesWhatFailedAndLeavesNoShortIndex)
{
    TempFolder dir;
    Workspace ws(dir.str());
    bigVisits(dir, ws);
    ScriptedObserver obs;
    obs.answers = {1, 1};
    Setup::Log log;
    {
        FullDisk disk(200 * 1024);
        log = runSetup(ws, obs, true);
    }
    ws.closeAll();
    const auto texts = obs.texts();
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "Data Cleanup Complete"), texts.end());
    const auto closing = std::find_if(texts.begin(), texts.end(),
                                      [](const std::string& t) { return t.rfind(kCleanupIncomplete, 0) == 0; });
    ASSERT_NE(closing, texts.end()) << texts.back();
    EXPECT_EQ(obs.shown[static_cast<size_t>(closing - texts.begin())].kind, SetupBox::Stop);
    EXPECT_NE(closing->find("The table file PVISIT.dbf was put back unchanged: "), std::string::npos) << *closing;
    EXPECT_NE(closing->find("No space left on device"), std::string::npos);
    EXPECT_EQ(closing->find("could not be opened"), std::string::npos);
    // Every table not cleaned and every index missing is named.
    EXPECT_FALSE(log.cleanedTables.count(cat::findTable("pvisit")->number));
    EXPECT_TRUE(log.cleanedTables.count(cat::findTable("patnt")->number));
    for (const auto& t : cat::tables()) {
        if (!log.cleanedTables.count(t.number)) {
            EXPECT_NE(closing->find(t.fileName()), std::string::npos) << t.fileName();
        }
    }
    int missing = 0;
    for (int n = 1; n <= cat::kIndexCount; ++n)
        if (!fs::exists(dir / cat::index(n).fileName())) {
            ++missing;
            EXPECT_NE(closing->find(cat::index(n).fileName() + " could not be built"), std::string::npos)
                << cat::index(n).fileName();
        }
    EXPECT_GT(missing, 0);
    // The table put back keeps its indexes.
    for (int n : cat::findTable("pvisit")->indexes)
        EXPECT_TRUE(fs::exists(dir / cat::index(n).fileName())) << cat::index(n).fileName();
    const auto bad = shortIndexes(dir);
    EXPECT_TRUE(bad.empty()) << bad.front();
    expectNoLeftovers(dir);
    EXPECT_EQ(column(ws, "pvisit", "VISITNO").size(), 150u);   // deleted ones still there: put back

    // With room again the next start builds what is missing, and a clean-up completes.
    {
        ScriptedObserver next;
        runSetup(ws, next);
        EXPECT_TRUE(next.shown.empty()) << next.texts().front();
        EXPECT_EQ(ws.area("pvisit")->keyCount(), 140u);
        ws.closeAll();
    }
    ScriptedObserver again;
    again.answers = {1, 1};
    runSetup(ws, again, true);
    EXPECT_EQ(again.texts().back(), "Data Cleanup Complete");
    EXPECT_EQ(column(ws, "pvisit", "VISITNO").size(), 140u);
}

TEST(FullDisk, UpgradeThatRunsOutOfSpaceIsPutBackAndSaysSo)
{
    TempFolder dir;
    Workspace ws(dir.str());
    {
        ScriptedObserver first;
        runSetup(ws, first);
        ws.closeAll();
    }
    // A patient table of the older shape, without DOCPREF.
    fs::remove(dir / "PATNT.dbf");
    Structure old = cat::findTable("patnt")->fields;
    old.erase(std::remove_if(old.begin(), old.end(), [](const FieldDef& f) { return f.name == "DOCPREF"; }),
              old.end());
    ASSERT_TRUE(ws.create("PATNT.dbf", old));
    {
        auto a = ws.use("PATNT.dbf");
        ASSERT_TRUE(a);
        for (int i = 1; i <= 2000; ++i) {
            ASSERT_TRUE((*a)->append());
            ASSERT_TRUE((*a)->setNum("PATCODE", i));
            ASSERT_TRUE((*a)->setStr("PATFNAME", "Patient " + std::to_string(i)));
        }
        ws.closeAll();
    }
    ScriptedObserver obs;
    {
        FullDisk disk(64 * 1024);
        runSetup(ws, obs);
    }
    ws.closeAll();
    ASSERT_FALSE(obs.shown.empty());
    EXPECT_EQ(obs.shown[0].text.rfind("The table file PATNT.dbf was put back unchanged: ", 0), 0u) << obs.shown[0].text;
    EXPECT_NE(obs.shown[0].text.find("No space left on device"), std::string::npos);
    EXPECT_EQ(column(ws, "patnt", "PATCODE").size(), 2000u);
    {
        auto a = ws.use("PATNT.dbf", "p", OpenMode{true, true});
        ASSERT_TRUE(a);
        EXPECT_EQ((*a)->fieldPos("DOCPREF"), 0);
        ws.closeAll();
    }
    const auto bad = shortIndexes(dir);
    EXPECT_TRUE(bad.empty()) << bad.front();
    expectNoLeftovers(dir);

    ScriptedObserver next;
    runSetup(ws, next);
    EXPECT_TRUE(next.shown.empty()) << next.texts().front();
    EXPECT_EQ(ws.area("patnt")->fieldPos("DOCPREF") > 0, true);
    EXPECT_EQ(column(ws, "patnt", "PATCODE").size(), 2001u);   // the sample patient comes back too
}
