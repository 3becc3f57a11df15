// Backup and restore of a data folder without windows, checked through
// unzip (a reader of its own) and the files' bytes; other copies of the
// program are forked processes with their own Workspace.
#include "data/setup_fixture.h"

#include "data/catalog.h"
#include "setup/backup/backup.h"
#include "setup/backup/zip_archive.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace cn::backup {
namespace {

using data::testing::readBytes;
using data::testing::TempFolder;
namespace fs = std::filesystem;

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

std::vector<std::string> entriesOf(const std::string& archive)
{
    std::vector<std::string> out;
    std::string line;
    for (char c : run("unzip -Z1 '" + archive + "'")) {
        if (c == '\n') {
            out.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return out;
}

void writeFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// Every file of a folder (not its subfolders) with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out[e.path().filename().string()] = e.is_regular_file() ? readBytes(e.path()) : std::string("<folder>");
    return out;
}

// Changes a byte in the middle of the stored data of an entry, found by its
// local header.
std::string withDamagedEntry(std::string bytes, const std::string& name)
{
    auto u16 = [&](size_t at) { return size_t(uint8_t(bytes[at])) | size_t(uint8_t(bytes[at + 1])) << 8; };
    for (size_t at = bytes.find("PK\x03\x04"); at != std::string::npos; at = bytes.find("PK\x03\x04", at + 4)) {
        const size_t nameLength = u16(at + 26), extra = u16(at + 28);
        if (bytes.compare(at + 30, nameLength, name) != 0)
            continue;
        const size_t stored = u16(at + 18) | u16(at + 20) << 16;
        const size_t middle = at + 30 + nameLength + extra + stored / 2;
        bytes[middle] = static_cast<char>(bytes[middle] ^ 0x55);
        return bytes;
    }
    ADD_FAILURE() << name << " is not in the archive";
    return bytes;
}

// An archive made from files of `from`, stored under the names given.
void makeArchive(const std::string& path, const fs::path& from, const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::vector<ArchiveFile> files;
    std::vector<int> fds;
    for (const auto& [stored, file] : entries) {
        const int fd = ::open((from / file).c_str(), O_RDONLY);
        ASSERT_GE(fd, 0) << file;
        fds.push_back(fd);
        files.push_back({stored, fd, fs::file_size(from / file), 0});
    }
    auto r = writeArchive(path, files);
    for (int fd : fds)
        ::close(fd);
    ASSERT_TRUE(r) << r.message();
}

// Runs f in a child process that tells the parent (a byte on `ready`) when it
// holds what it holds, and leaves when the parent writes a byte to `go`.
struct Child {
    pid_t pid = -1;
    int ready[2] = {-1, -1}, go[2] = {-1, -1};

    template <class F>
    explicit Child(F&& f)
    {
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(go), 0);
        pid = ::fork();
        if (pid == 0) {
            const int rc = f(*this);
            ::_exit(rc);
        }
        char c;
        EXPECT_EQ(::read(ready[0], &c, 1), 1) << "the child did not get that far";
    }
    void signal() const
    {
        const char c = 1;
        (void)!::write(ready[1], &c, 1);
    }
    void awaitParent() const
    {
        char c;
        (void)!::read(go[0], &c, 1);
    }
    int finish()
    {
        const char c = 1;
        (void)!::write(go[1], &c, 1);
        int status = 0;
        ::waitpid(pid, &status, 0);
        for (int fd : {ready[0], ready[1], go[0], go[1]})
            ::close(fd);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
    }
};

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data::Workspace ws(dir.str());
        data::testing::runSetup(ws, setupObserver);
        addVisit(1, 1, "Tab. Paracetamol 500 mg thrice daily");
        addVisit(2, 1, std::string(3000, 'x'));
    }

    void addVisit(double visitNo, double patient, const std::string& prescription)
    {
        data::Workspace ws(dir.str());
        data::testing::ScriptedObserver quiet;
        data::Setup(ws, quiet).CN_OPENDATA();
        data::WorkArea* v = ws.area("pvisit");
        ASSERT_NE(v, nullptr);
        ASSERT_TRUE(v->append());
        ASSERT_TRUE(v->setNum("VISITNO", visitNo));
        ASSERT_TRUE(v->setNum("PVNO", visitNo));
        ASSERT_TRUE(v->setNum("PATCODE", patient));
        ASSERT_TRUE(v->setMemo("PATPRES", prescription));
        v->unlock();
        ASSERT_TRUE(ws.commitAll());
    }

    void addPatient(const std::string& name)
    {
        data::Workspace ws(dir.str());
        data::testing::ScriptedObserver quiet;
        data::Setup(ws, quiet).CN_OPENDATA();
        data::WorkArea* p = ws.area("patnt");
        ASSERT_NE(p, nullptr);
        ASSERT_TRUE(p->append());
        ASSERT_TRUE(p->setNum("PATCODE", 77));
        ASSERT_TRUE(p->setStr("PATFNAME", name));
        p->unlock();
        ASSERT_TRUE(ws.commitAll());
    }

    std::string archive(const std::string& name = "backup.zip") const { return (out / name).string(); }

    TempFolder dir, out;
    data::testing::ScriptedObserver setupObserver, observer;
};

TEST_F(BackupTest, HoldsExactlyTheTablesMemosAndIndexesGroupedByKindAndReadsBackByteForByte)
{
    // Letter case does not matter, hidden files count, nothing else does.
    std::string big;
    for (int i = 0; big.size() < 3'300'000; ++i)
        big += "visit " + std::to_string(i * 7919 % 100003) + (i % 3 ? " Tab. Crocin " : " Syp. Benadryl\n");
    writeFile(dir / "Extra.DBF", "not looked into");
    writeFile(dir / "BIG.DBT", big);
    writeFile(dir / ".hidden.ntx", "h");
    writeFile(dir / "notes.txt", "n");
    writeFile(dir / "old.zip", "z");
    fs::create_directories(dir / "sub");
    writeFile(dir / "sub" / "SUB.dbf", "s");
    writeFile(archive(), "an older archive of the same name");

    const std::vector<std::string> files = backupFiles(dir.str());
    setArchiveThreads(3);   // the big file goes in pieces over three threads
    std::vector<std::string> progress;
    const BackupResult r = backupFolder(dir.str(), archive(), [&](int position, int count, const std::string& name) {
        EXPECT_EQ(count, static_cast<int>(files.size()));
        EXPECT_EQ(position, static_cast<int>(progress.size()) + 1);
        progress.push_back(name);
    });
    setArchiveThreads(0);
    ASSERT_TRUE(r.saved()) << r.message;
    EXPECT_EQ(progress, files);
    EXPECT_EQ(entriesOf(archive()), files);
    EXPECT_EQ(files.size(), 22u + 2u + 46u + 3u);   // the folder's own, and Extra.DBF, BIG.DBT, .hidden.ntx
    auto kind = [](const std::string& f) { return data::catalog::lower(f.substr(f.size() - 4)); };
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end(), [&](const std::string& a, const std::string& b) {
        const std::vector<std::string> order{".dbf", ".dbt", ".ntx"};
        return std::find(order.begin(), order.end(), kind(a)) < std::find(order.begin(), order.end(), kind(b));
    }));
    for (const char* absent : {"notes.txt", "old.zip", "SUB.dbf"})
        EXPECT_EQ(std::count(files.begin(), files.end(), absent), 0) << absent;
    EXPECT_NE(run("unzip -tqq '" + archive() + "'; echo rc=$?").find("rc=0"), std::string::npos);
    for (const auto& f : files)
        EXPECT_EQ(run("unzip -p '" + archive() + "' '" + f + "'"), readBytes(dir / f)) << f;
    // The pieces cost nothing in size: zip at its default level does no better.
    const std::string theirs = archive("zip.zip");
    run("cd '" + dir.str() + "' && zip -q -6 '" + theirs + "' BIG.DBT");
    const std::string single = archive("big.zip");
    makeArchive(single, dir.str(), {{"BIG.DBT", "BIG.DBT"}});
    EXPECT_LT(static_cast<double>(fs::file_size(single)), fs::file_size(theirs) * 1.01);
}

TEST_F(BackupTest, AnArchiveThatCannotBeWrittenLeavesNothingAndAFolderWithoutDataWritesNothing)
{
    const std::string nowhere = (out / "missing" / "backup.zip").string();
    BackupResult r = backupFolder(dir.str(), nowhere);
    EXPECT_EQ(r.outcome, BackupResult::Outcome::Failed);
    EXPECT_NE(r.message.find(nowhere), std::string::npos) << r.message;
    EXPECT_FALSE(fs::exists(out / "missing"));
    EXPECT_TRUE(fs::is_empty(out.str()));

    TempFolder empty;
    writeFile(empty / "readme.txt", "no tables here");
    r = backupFolder(empty.str(), archive());
    EXPECT_EQ(r.outcome, BackupResult::Outcome::NoFiles);
    EXPECT_FALSE(fs::exists(archive()));
}

TEST_F(BackupTest, VerifyingFindsAnArchiveThatDoesNotReadBackAsItsFiles)
{
    const std::string a = archive();
    makeArchive(a, dir.str(), {{"PVISIT.dbt", "PVISIT.dbt"}, {"PATNT.dbf", "PATNT.dbf"}});
    ArchiveReader reader = std::move(ArchiveReader::open(a).value());
    std::vector<ExpectedEntry> expected;
    for (const auto& e : reader.entries())
        expected.push_back({e.name, e.size, e.crc});
    EXPECT_TRUE(verifyArchive(a, expected));

    auto wrong = expected;
    wrong[1].crc ^= 1;
    EXPECT_FALSE(verifyArchive(a, wrong));
    wrong = expected;
    wrong.pop_back();
    EXPECT_FALSE(verifyArchive(a, wrong));

    // A byte of the stored data changed: the entry list still matches, the data does not.
    writeFile(a, withDamagedEntry(readBytes(a), "PVISIT.dbt"));
    const data::Status s = verifyArchive(a, expected);
    EXPECT_FALSE(s);
    EXPECT_NE(s.message().find("PVISIT.dbt"), std::string::npos) << s.message();
}

TEST_F(BackupTest, RestoreBringsTheOldDataBackAndSavesTheFolderItReplaces)
{
    const auto before = snapshot(dir.str());
    ASSERT_TRUE(backupFolder(dir.str(), archive()).saved());
    addPatient("Changed Later");
    addVisit(3, 1, "a visit after the backup");
    fs::remove(dir / "PVISIT5.ntx");
    const auto changed = snapshot(dir.str());

    std::vector<std::string> progress;
    const RestoreResult r = restoreFolder(dir.str(), archive(), observer,
                                          [&](int, int, const std::string& name) { progress.push_back(name); });
    ASSERT_TRUE(r.restoredOk()) << r.message;
    EXPECT_EQ(progress, backupFiles(dir.str()));
    EXPECT_TRUE(r.rebuilt.empty()) << r.rebuilt.front();

    auto after = snapshot(dir.str());
    ASSERT_FALSE(r.safetyCopy.empty());
    const std::string safety = fs::path(r.safetyCopy).filename().string();
    EXPECT_TRUE(safety.starts_with("CNP") && safety.ends_with(".zip") && safety.size() == 21) << safety;
    EXPECT_EQ(fs::path(r.safetyCopy).parent_path(), fs::path(dir.str()));
    after.erase(safety);
    EXPECT_EQ(after, before);
    // The safety copy holds the folder as it was just before.
    for (const char* f : {"PATNT.dbf", "PVISIT.dbt", "PVISIT.dbf"})
        EXPECT_EQ(run("unzip -p '" + r.safetyCopy + "' " + f), changed.at(f)) << f;
}

TEST_F(BackupTest, IndexesTheArchiveLacksOrThatDoNotMatchTheirTableAreRebuilt)
{
    // PATNT2.ntx of a later moment than PATNT.dbf, and no PVISIT5.ntx at
    // all: the folder's own is of a later moment too.
    TempFolder earlier;
    for (const auto& f : backupFiles(dir.str()))
        fs::copy_file(dir / f, earlier / f);
    addPatient("Newer Than The Table");
    addVisit(3, 1, "after");
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& f : backupFiles(earlier.str()))
        if (f != "PVISIT5.ntx" && f != "PATNT2.ntx")
            entries.push_back({f, f});
    fs::copy_file(dir / "PATNT2.ntx", earlier / "later.ntx");
    entries.push_back({"PATNT2.ntx", "later.ntx"});
    makeArchive(archive(), earlier.str(), entries);

    const RestoreResult r = restoreFolder(dir.str(), archive(), observer);
    ASSERT_TRUE(r.restoredOk()) << r.message;
    std::vector<std::string> rebuilt = r.rebuilt;
    std::sort(rebuilt.begin(), rebuilt.end());
    EXPECT_EQ(rebuilt, (std::vector<std::string>{"PATNT2.ntx", "PVISIT5.ntx"}));
    data::Workspace ws(dir.str());
    data::testing::ScriptedObserver check;
    data::Setup again(ws, check);
    again.SETUP_PROCESS(false);
    EXPECT_TRUE(again.log().rebuiltIndexes.empty());
}

TEST_F(BackupTest, AnArchiveThatIsNoBackupChangesNothing)
{
    ASSERT_TRUE(backupFolder(dir.str(), archive()).saved());
    const std::string good = readBytes(archive());
    std::vector<std::pair<std::string, std::string>> all, noMemo, twice;
    for (const auto& f : backupFiles(dir.str())) {
        all.push_back({f, f});
        if (f != "PVISIT.dbt")
            noMemo.push_back({f, f});
    }
    twice = all;
    twice.push_back({"patnt.DBF", "PATNT.dbf"});
    writeFile(out / "text.zip", "this is not a zip archive");
    writeFile(out / "cut.zip", good.substr(0, good.size() / 2));
    makeArchive(archive("nomemo.zip"), dir.str(), noMemo);
    makeArchive(archive("twice.zip"), dir.str(), twice);
    makeArchive(archive("other.zip"), dir.str(), {{"readme.txt", "PATNT.dbf"}});
    // Damaged data inside an entry that looks whole: found while extracting.
    writeFile(out / "damaged.zip", withDamagedEntry(good, "PVISIT.dbt"));
    // A table file that is not one.
    writeFile(out / "PATNT.dbf", "nothing like a table header");
    std::vector<std::pair<std::string, std::string>> badTable;
    for (const auto& f : backupFiles(dir.str()))
        badTable.push_back({f, f});
    TempFolder mixed;
    for (const auto& [name, file] : badTable)
        fs::copy_file(dir / file, mixed / file);
    fs::copy_file(out / "PATNT.dbf", mixed / "PATNT.dbf", fs::copy_options::overwrite_existing);
    makeArchive(archive("badtable.zip"), mixed.str(), badTable);

    const auto before = snapshot(dir.str());
    for (const char* name : {"text.zip", "cut.zip", "nomemo.zip", "twice.zip", "other.zip", "damaged.zip",
                             "badtable.zip", "absent.zip"}) {
        SCOPED_TRACE(name);
        const RestoreResult r = restoreFolder(dir.str(), archive(name), observer);
        EXPECT_FALSE(r.restoredOk());
        EXPECT_FALSE(r.message.empty());
        EXPECT_TRUE(r.safetyCopy.empty());
        EXPECT_EQ(snapshot(dir.str()), before);
    }
}

TEST_F(BackupTest, EntryNamesLoseTheirFoldersAndNothingLandsOutsideTheFolder)
{
    TempFolder root;
    const fs::path data = root / "a" / "b" / "data";
    fs::create_directories(data);
    std::vector<std::pair<std::string, std::string>> entries;
    int i = 0;
    for (const auto& f : backupFiles(dir.str())) {
        const char* prefixes[] = {"", "x/y/", "C:\\DATA\\", "../../", "C:PATH/"};
        entries.push_back({prefixes[i++ % 5] + f, f});
    }
    entries.push_back({"../../evil", "PATNT.dbf"});
    entries.push_back({"../../../../evil.txt", "PATNT.dbf"});
    entries.push_back({"folder/", "PATNT.dbf"});
    makeArchive(archive(), dir.str(), entries);

    const RestoreResult r = restoreFolder(data.string(), archive(), observer);
    ASSERT_TRUE(r.restoredOk()) << r.message;
    EXPECT_EQ(r.leftOut, (std::vector<std::string>{"../../evil", "../../../../evil.txt"}));
    for (const auto& e : fs::recursive_directory_iterator(root.str())) {
        EXPECT_EQ(e.path().filename().string().find("evil"), std::string::npos) << e.path();
        if (e.is_regular_file()) {
            EXPECT_EQ(e.path().parent_path(), data) << e.path();
        }
    }
    for (const auto& f : backupFiles(dir.str()))
        EXPECT_EQ(readBytes(data / f), readBytes(dir / f)) << f;
}

TEST_F(BackupTest, ARestoreWaitsForNoOneButIsRefusedWhileAnotherCopyHasTheFolderOpen)
{
    ASSERT_TRUE(backupFolder(dir.str(), archive()).saved());
    addPatient("After The Backup");
    const std::string folder = dir.str();
    Child running([folder](const Child& me) {
        data::Workspace ws(folder);
        if (!ws.use("PATNT.dbf", "patnt", {.shared = true}))
            return 1;
        me.signal();
        me.awaitParent();
        return 0;
    });
    const auto before = snapshot(dir.str());
    const RestoreResult r = restoreFolder(dir.str(), archive(), observer);
    EXPECT_EQ(r.outcome, RestoreResult::Outcome::Refused);
    EXPECT_NE(r.message.find("another copy of the program"), std::string::npos) << r.message;
    EXPECT_EQ(snapshot(dir.str()), before);
    // A backup goes on beside the running copy.
    EXPECT_TRUE(backupFolder(dir.str(), archive("beside.zip")).saved());
    EXPECT_EQ(running.finish(), 0);
}

TEST_F(BackupTest, BothAreRefusedWhileACopyHoldsATableExclusively)
{
    ASSERT_TRUE(backupFolder(dir.str(), archive()).saved());
    const std::string folder = dir.str();
    Child setup([folder](const Child& me) {
        data::Workspace ws(folder);
        if (!ws.use("PVISIT.dbf", "pvisit"))
            return 1;
        me.signal();
        me.awaitParent();
        return 0;
    });
    const BackupResult b = backupFolder(dir.str(), archive("second.zip"));
    EXPECT_EQ(b.outcome, BackupResult::Outcome::Refused);
    EXPECT_NE(b.message.find("exclusively"), std::string::npos) << b.message;
    EXPECT_FALSE(fs::exists(archive("second.zip")));
    const RestoreResult r = restoreFolder(dir.str(), archive(), observer);
    EXPECT_EQ(r.outcome, RestoreResult::Outcome::Refused);
    EXPECT_NE(r.message.find("exclusively"), std::string::npos) << r.message;
    EXPECT_EQ(setup.finish(), 0);
}

TEST_F(BackupTest, ABackupWaitsForARecordBeingChangedAndHoldsItWhole)
{
    const std::string folder = dir.str();
    Child editing([folder](const Child& me) {
        data::Workspace ws(folder);
        auto p = ws.use("PATNT.dbf", "patnt", {.shared = true});
        if (!p)
            return 1;
        (*p)->goTo(1);
        if (!(*p)->rlock())
            return 2;
        me.signal();
        ::usleep(300 * 1000);
        if (!(*p)->setStr("PATFNAME", "Changed Under Lock"))
            return 3;
        (*p)->unlock();
        me.awaitParent();
        return 0;
    });
    const BackupResult r = backupFolder(dir.str(), archive());
    ASSERT_TRUE(r.saved()) << r.message;
    EXPECT_NE(run("unzip -p '" + archive() + "' PATNT.dbf").find("Changed Under Lock"), std::string::npos);
    EXPECT_EQ(editing.finish(), 0);
}

TEST(ArchiveName, IsCnpWithTheDateAndTime)
{
    EXPECT_EQ(archiveName({2011, 3, 2, 9, 5, 7}), "CNP20110302090507.zip");
    EXPECT_EQ(entryBaseName("C:\\DATA\\PATNT.DBF"), "PATNT.DBF");
    EXPECT_EQ(entryBaseName("a/b/../PVISIT.dbt"), "PVISIT.dbt");
    EXPECT_EQ(entryBaseName("D:patnt1.ntx"), "patnt1.ntx");
    EXPECT_EQ(entryBaseName("folder/"), "");
}

} // namespace
} // namespace cn::backup
