// The data tool's backup and restore as a scheduled job runs them: what they
// print, where the archive goes, and their exit status.
#include "data/interop_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;
using cn::interop::sh;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

ToolRun tool(const std::string& args)
{
    const std::string bin = std::string(CURANOTE_BIN_DIR) + "/curanote-data";
    const std::string errFile = (fs::temp_directory_path() / ("curanote-tool-err-" + std::to_string(::getpid()))).string();
    const auto r = cn::interop::run(sh(bin) + " " + args + " 2>" + sh(errFile));
    std::ifstream in(errFile);
    ToolRun out{r.status, r.out, std::string(std::istreambuf_iterator<char>(in), {})};
    fs::remove(errFile);
    return out;
}

class BackupTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        root = fs::temp_directory_path() / ("curanote-backup-tool-" + std::to_string(rd()));
        fs::create_directories(data());
        fs::create_directories(root / "nightly");
        ASSERT_EQ(tool("setup " + sh(data().string())).status, 0);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path data() const { return root / "data"; }
    fs::path root;
};

TEST_F(BackupTool, BacksUpToTheDefaultNameOrWhereToSaysAndRestoresWithYesOnly)
{
    ToolRun b = tool("backup " + sh(data().string()));
    ASSERT_EQ(b.status, 0) << b.err;
    const fs::path archive = b.out.substr(0, b.out.size() - 1);
    EXPECT_EQ(archive.parent_path(), data());
    const std::string name = archive.filename().string();
    EXPECT_TRUE(name.starts_with("CNP") && name.ends_with(".zip") && name.size() == 21) << name;
    EXPECT_TRUE(fs::exists(archive));

    b = tool("backup --to " + sh((root / "nightly").string()) + " " + sh(data().string()));
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(fs::path(b.out.substr(0, b.out.size() - 1)).parent_path(), root / "nightly");
    b = tool("backup " + sh(data().string()) + " --to " + sh((root / "nightly" / "last.zip").string()));
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.out, (root / "nightly" / "last.zip").string() + "\n");

    ToolRun r = tool("restore " + sh(archive.string()) + " " + sh(data().string()));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    r = tool("restore " + sh(archive.string()) + " " + sh(data().string()) + " --yes");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Restored from " + archive.string()), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("saved in " + data().string() + "/CNP"), std::string::npos) << r.out;
}

TEST_F(BackupTool, AFileThatIsNoBackupIsNotRestoredAndAnArchiveNotWrittenIsAFailure)
{
    std::ofstream(root / "notes.zip") << "not an archive";
    const ToolRun r = tool("restore " + sh((root / "notes.zip").string()) + " " + sh(data().string()) + " --yes");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to restore from " + (root / "notes.zip").string()), std::string::npos) << r.err;

    const ToolRun b = tool("backup " + sh(data().string()) + " --to " + sh((root / "no" / "such" / "a.zip").string()));
    EXPECT_EQ(b.status, 1);
    EXPECT_NE(b.err.find("a.zip"), std::string::npos) << b.err;
    EXPECT_FALSE(fs::exists(root / "no"));
    EXPECT_EQ(tool("restore").status, 2);
}

} // namespace
