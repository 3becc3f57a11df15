// A table rebuild killed at any step loses nothing: the next start puts the
// table back (or finishes with the rebuilt one) before anything else.
#include "setup_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace cn::data;
using namespace cn::data::testing;
namespace cat = cn::data::catalog;

namespace {

const char* const kSteps[] = {"journal",    "created",     "filling",        "filled", "committed",
                              "memo-moved", "table-moved", "indexes-erased", "done"};

// Runs set-up in a child process that dies the moment the rebuild reaches
// `step`, as a power cut or a kill would stop it. True when it died there.
bool killedAt(const std::string& folder, const std::string& step, bool cleanup)
{
    const pid_t pid = fork();
    if (pid == 0) {
        Workspace ws(folder);
        ScriptedObserver obs;
        obs.answers = {1, 1};
        runSetup(ws, obs, cleanup, [&](std::string_view at) {
            if (at == step + " PVISIT")
                _exit(42);
        });
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 42;
}

// A visit table of the older shape (without NEXTVISIT) with prescriptions,
// two of six visits deleted.
void oldVisits(const std::string& folder)
{
    Workspace ws(folder);
    Structure old = cat::findTable("pvisit")->fields;
    old.pop_back();
    ASSERT_TRUE(ws.create("PVISIT.dbf", old));
    auto a = ws.use("PVISIT.dbf");
    ASSERT_TRUE(a);
    for (int i = 1; i <= 6; ++i) {
        ASSERT_TRUE((*a)->append());
        ASSERT_TRUE((*a)->setNum("VISITNO", i));
        ASSERT_TRUE((*a)->setMemo("PATPRES", "rx " + std::to_string(i) + std::string(600, '.')));
        if (i == 3 || i == 4) {
            ASSERT_TRUE((*a)->deleteRecord());
        }
    }
    ws.closeAll();
}

std::vector<std::string> visits(Workspace& ws)
{
    std::vector<std::string> out;
    const auto nos = column(ws, "pvisit", "VISITNO");
    const auto rx = column(ws, "pvisit", "PATPRES");
    for (size_t i = 0; i < nos.size(); ++i)
        out.push_back(nos[i] + ":" + rx[i].substr(0, rx[i].find('.')));
    return out;
}

} // namespace

TEST(SetupRecovery, UpgradeKilledAtEveryStepLosesNoVisit)
{
    const std::vector<std::string> all = {"1:rx 1", "2:rx 2", "*3:*rx 3", "*4:*rx 4", "5:rx 5", "6:rx 6"};
    for (const char* step : kSteps) {
        SCOPED_TRACE(step);
        TempFolder dir;
        oldVisits(dir.str());
        ASSERT_TRUE(killedAt(dir.str(), step, false));

        Workspace ws(dir.str());
        ScriptedObserver obs;
        const auto log = runSetup(ws, obs);
        EXPECT_TRUE(obs.shown.empty()) << obs.texts().front();
        EXPECT_EQ(visits(ws), all);
        EXPECT_EQ(ws.area("pvisit")->fieldPos("NEXTVISIT"), 26);
        EXPECT_EQ(ws.area("pvisit")->keyCount(), 4u);
        EXPECT_EQ(ws.area("pvisit01")->orderCount(), 3);
        expectNoLeftovers(dir);
    }
}

TEST(SetupRecovery, CleanupKilledAtEveryStepKeepsEveryLiveVisit)
{
    for (const char* step : kSteps) {
        SCOPED_TRACE(step);
        TempFolder dir;
        oldVisits(dir.str());
        {
            Workspace ws(dir.str());
            ScriptedObserver obs;
            runSetup(ws, obs);   // upgraded, seeded, open
        }
        ASSERT_TRUE(killedAt(dir.str(), step, true));

        Workspace ws(dir.str());
        ScriptedObserver obs;
        runSetup(ws, obs);
        EXPECT_TRUE(obs.shown.empty()) << obs.texts().front();
        // Put back as it was, or cleaned once the new table was complete.
        const auto at = std::find(std::begin(kSteps), std::end(kSteps), std::string_view(step));
        const bool complete = at >= std::find(std::begin(kSteps), std::end(kSteps), std::string_view("committed"));
        const std::vector<std::string> original = {"1:rx 1", "2:rx 2", "*3:*rx 3", "*4:*rx 4", "5:rx 5", "6:rx 6"};
        const std::vector<std::string> cleaned = {"1:rx 1", "2:rx 2", "5:rx 5", "6:rx 6"};
        EXPECT_EQ(visits(ws), complete ? cleaned : original);
        EXPECT_EQ(ws.area("pvisit")->keyCount(), 4u);
        expectNoLeftovers(dir);
    }
}

TEST(SetupRecovery, CopyLeftWithoutJournalIsPutBackWhenTheTableIsMissingOrShort)
{
    TempFolder dir;
    {
        Workspace ws(dir.str());
        ScriptedObserver obs;
        runSetup(ws, obs);
        ws.closeAll();
    }
    // As a rebuild of an older program leaves it: the copy, and no table.
    fs::rename(dir / "DICT.dbf", dir / "packtemp.dbf");
    {
        Workspace ws(dir.str());
        ScriptedObserver obs;
        const auto log = runSetup(ws, obs);
        ASSERT_EQ(log.recovered.size(), 1u);
        EXPECT_NE(log.recovered[0].find("DICT.dbf"), std::string::npos);
        EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 7u);
        ws.closeAll();
    }
    // A copy beside a table holding fewer records: the copy is put back and
    // the short table kept aside, never erased.
    fs::copy_file(dir / "DICT.dbf", dir / "packtemp.dbf");
    fs::remove(dir / "DICT.dbf");
    {
        Workspace ws(dir.str());
        ASSERT_TRUE(ws.create("DICT.dbf", cat::findTable("dict")->fields));
    }
    {
        Workspace ws(dir.str());
        ScriptedObserver obs;
        runSetup(ws, obs);
        EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 7u);
        ASSERT_EQ(obs.shown.size(), 1u);
        EXPECT_NE(obs.shown[0].text.find("packsave1.dbf"), std::string::npos);
        EXPECT_TRUE(fs::exists(dir / "packsave1.dbf"));
        ws.closeAll();
    }
    // A copy beside a complete table is spent and erased.
    fs::copy_file(dir / "DICT.dbf", dir / "packtemp.dbf");
    {
        Workspace ws(dir.str());
        ScriptedObserver obs;
        const auto log = runSetup(ws, obs);
        EXPECT_NE(log.recovered.at(0).find("erased"), std::string::npos);
        EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 7u);
    }
    expectNoLeftovers(dir);
}

// A journal left by an older version of the program, which moved the table
// aside as packtemp before refilling a new one, is still followed; and the
// log calls it a restore only when a table was really put back.
TEST(SetupRecovery, RebuildOfAnOlderVersionIsUndoneAndOnlyARealRestoreIsNamedSo)
{
    TempFolder dir;
    {
        Workspace ws(dir.str());
        ScriptedObserver obs;
        runSetup(ws, obs);
        ws.closeAll();
    }
    auto journal = [&] { std::ofstream(dir / "packtemp.job", std::ios::trunc) << "TABLE=DICT\nMEMO=0\n"; };
    // Stopped while refilling: the original is packtemp, a partial DICT beside it.
    fs::rename(dir / "DICT.dbf", dir / "packtemp.dbf");
    {
        Workspace ws(dir.str());
        ASSERT_TRUE(ws.create("DICT.dbf", cat::findTable("dict")->fields));
    }
    journal();
    {
        Workspace ws(dir.str());
        ScriptedObserver obs;
        const auto log = runSetup(ws, obs);
        ASSERT_EQ(log.recovered.size(), 1u);
        EXPECT_EQ(log.recovered[0], "restored DICT.dbf from packtemp.dbf");
        EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 7u);
        ws.closeAll();
    }
    // Stopped before the move: nothing was restored, the table is as it was.
    journal();
    {
        Workspace ws(dir.str());
        ScriptedObserver obs;
        const auto log = runSetup(ws, obs);
        ASSERT_EQ(log.recovered.size(), 1u);
        EXPECT_EQ(log.recovered[0].find("restored"), std::string::npos) << log.recovered[0];
        EXPECT_TRUE(obs.shown.empty());
        EXPECT_EQ(column(ws, "dict", "DICTCODE").size(), 7u);
    }
    expectNoLeftovers(dir);
}
