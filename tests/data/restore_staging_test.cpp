// A restore killed on the way: the next start finishes it once every file
// was staged, throws it away before, and leaves one that is still running.
// The restore is a forked process that stops where a crash would.
#include "setup_fixture.h"

#include "data/restore_staging.h"

#include <sys/wait.h>
#include <unistd.h>

namespace cn::data::testing {
namespace {

std::vector<std::string> stagingFolders(const TempFolder& dir)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir.str()))
        if (e.path().filename().string().starts_with(kRestoreStagingPrefix))
            out.push_back(e.path().string());
    return out;
}

// In a child: stages a new PATNT.dbf (the table of `from`) and a file the
// folder does not have, makes the restore READY if asked, and then dies as
// a crash would (or, with `hang`, says so on `told` and stays until `hang`
// closes).
int crashingRestore(const TempFolder& dir, const TempFolder& from, bool ready, int hang = -1, int told = -1,
                    int hangWriteEnd = -1)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (hangWriteEnd >= 0)
            ::close(hangWriteEnd);   // else the child's own copy keeps `hang` open
        auto st = RestoreStaging::create(dir.str());
        if (!st)
            ::_exit(1);
        fs::copy_file(from / "PATNT.dbf", st->stagedPath(st->targetName("patnt.dbf")));
        std::ofstream(st->stagedPath("EXTRA1.ntx")) << "x";
        if (ready && !st->ready())
            ::_exit(2);
        if (hang >= 0) {
            const char c = 1;
            (void)!::write(told, &c, 1);
            char d;
            (void)!::read(hang, &d, 1);
        }
        ::_exit(0);   // no destructor: the staging folder stays as a crash leaves it
    }
    if (hang >= 0)
        return pid;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

class InterruptedRestore : public ::testing::Test {
protected:
    void SetUp() override
    {
        Workspace ws(dir.str());
        runSetup(ws, observer);
        Workspace other(newer.str());
        runSetup(other, observer);
        WorkArea* p = other.area("patnt");   // set-up leaves every table open
        ASSERT_NE(p, nullptr);
        ASSERT_TRUE(p->append());
        ASSERT_TRUE(p->setStr("PATFNAME", "Restored"));
        p->unlock();
        other.closeAll();
    }
    TempFolder dir, newer;
    ScriptedObserver observer;
};

TEST_F(InterruptedRestore, AStartFinishesARestoreThatHadStagedEveryFile)
{
    ASSERT_EQ(crashingRestore(dir, newer, true), 0);
    ASSERT_EQ(stagingFolders(dir).size(), 1u);
    Workspace ws(dir.str());
    ScriptedObserver start;
    const Setup::Log log = runSetup(ws, start);
    EXPECT_TRUE(stagingFolders(dir).empty());
    EXPECT_EQ(readBytes(dir / "PATNT.dbf"), readBytes(newer / "PATNT.dbf"));
    EXPECT_TRUE(fs::exists(dir / "EXTRA1.ntx"));
    ASSERT_FALSE(log.recovered.empty());
    ASSERT_FALSE(start.shown.empty());
    EXPECT_NE(start.shown.front().text.find("has been finished"), std::string::npos) << start.shown.front().text;
    // The restored table came with an index of the old one: the start's index pass rebuilt it.
    EXPECT_TRUE(log.rebuiltIndexes.count(catalog::findIndex("patnt2")->number));
    const auto names = column(ws, "PATNT.dbf", "PATFNAME");
    EXPECT_NE(std::find(names.begin(), names.end(), "Restored"), names.end());
}

TEST_F(InterruptedRestore, ARestoreStoppedBeforeEveryFileWasStagedIsThrownAway)
{
    const std::string before = readBytes(dir / "PATNT.dbf");
    ASSERT_EQ(crashingRestore(dir, newer, false), 0);
    const data::RestoreRecovery r = recoverRestores(dir.str());
    EXPECT_TRUE(r.notices.empty());
    EXPECT_EQ(r.done.size(), 1u);
    EXPECT_TRUE(stagingFolders(dir).empty());
    EXPECT_EQ(readBytes(dir / "PATNT.dbf"), before);
    EXPECT_FALSE(fs::exists(dir / "EXTRA1.ntx"));
}

TEST_F(InterruptedRestore, ARestoreThatIsStillRunningIsLeftAlone)
{
    int pipeFds[2], toldFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_EQ(::pipe(toldFds), 0);
    const std::string before = readBytes(dir / "PATNT.dbf");
    const pid_t pid = crashingRestore(dir, newer, true, pipeFds[0], toldFds[1], pipeFds[1]);
    ASSERT_GT(pid, 0);
    char c;
    ASSERT_EQ(::read(toldFds[0], &c, 1), 1);
    const data::RestoreRecovery r = recoverRestores(dir.str());
    EXPECT_TRUE(r.done.empty());
    EXPECT_EQ(readBytes(dir / "PATNT.dbf"), before);
    EXPECT_EQ(stagingFolders(dir).size(), 1u);
    ::close(pipeFds[1]);
    ::waitpid(pid, nullptr, 0);
    for (int fd : {pipeFds[0], toldFds[0], toldFds[1]})
        ::close(fd);
    // Its holder gone without finishing, the next look finishes it.
    EXPECT_EQ(recoverRestores(dir.str()).done.size(), 1u);
    EXPECT_EQ(readBytes(dir / "PATNT.dbf"), readBytes(newer / "PATNT.dbf"));
}

} // namespace
} // namespace cn::data::testing
