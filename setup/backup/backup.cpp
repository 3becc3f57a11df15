#include "setup/backup/backup.h"

#include "data/catalog.h"
#include "data/cleanup.h"
#include "data/dbf_file.h"
#include "data/memo_file.h"
#include "data/os_file.h"
#include "data/restore_staging.h"
#include "setup/backup/zip_archive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <thread>

namespace cn::backup {

using data::ErrorCode;
using data::OsFile;
using data::Result;
using data::Status;
namespace catalog = data::catalog;

namespace {

// How long a backup waits for records that another copy is changing.
constexpr int kLockWaitMs = 10000;

std::string join(const std::string& folder, const std::string& name) { return folder + "/" + name; }

std::string extensionOf(std::string_view name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : catalog::lower(name.substr(dot));
}

std::string stemOf(std::string_view name)
{
    const size_t dot = name.rfind('.');
    return catalog::upper(name.substr(0, dot));
}

bool restorableKind(std::string_view name)
{
    const std::string ext = extensionOf(name);
    return ext == ".dbf" || ext == ".dbt" || ext == ".ntx";
}

// The table a file of the folder belongs to (upper-case base name), for its
// lock: a table and its memo file by their name, an index by the catalogue.
// Empty for an index the catalogue does not know.
std::string tableOf(const std::string& file)
{
    const std::string ext = extensionOf(file);
    if (ext == ".dbf" || ext == ".dbt")
        return stemOf(file);
    if (const catalog::IndexDef* ix = catalog::findIndex(stemOf(file)))
        return catalog::table(ix->table).upperName();
    return {};
}

// The tables of a folder held for a backup or restore: each table file opened
// once more and its open lock taken, shared (other copies go on working, but
// none may hold a table exclusively) or exclusive (no other copy may have
// the table open at all), and for reading each one also locked whole.
class FolderHold {
public:
    // folder/name for every table file named; fails (InUse) naming the first
    // that cannot be held so.
    static Result<FolderHold> take(const std::string& folder, const std::vector<std::string>& tables, bool exclusive)
    {
        FolderHold hold;
        for (const auto& name : tables) {
            if (extensionOf(name) != ".dbf")
                continue;
            auto f = OsFile::open(join(folder, name), true);
            if (!f)
                f = OsFile::open(join(folder, name), false);
            if (!f)
                return f.status();
            if (!f->tryLock(data::kOpenLockOffset, 1, exclusive))
                return Status::error(ErrorCode::InUse, name);
            hold.held_.push_back({stemOf(name), std::move(*f), false});
        }
        return hold;
    }

    // Locks every table whole, waiting a while for records that another copy
    // is changing; fails naming a table that stayed locked.
    Status lockAll()
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
        for (auto& h : held_) {
            while (!h.file.tryLock(data::kLockBase, data::kFileLockLength, true)) {
                if (std::chrono::steady_clock::now() > until)
                    return Status::error(ErrorCode::InUse, h.table);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            h.locked = true;
        }
        return Status::ok();
    }

    void unlock(const std::string& table)
    {
        for (auto& h : held_)
            if (h.locked && h.table == table) {
                h.file.unlock(data::kLockBase, data::kFileLockLength);
                h.locked = false;
            }
    }
    void release() { held_.clear(); }

private:
    struct Held {
        std::string table;
        OsFile file;
        bool locked;
    };
    std::vector<Held> held_;
};

std::string heldExclusivelyText(const std::string& folder, const std::string& table)
{
    return "The tables of " + folder + " are held exclusively by a copy of the program (" + table +
           " is in use: set-up or a clean-up is running); try again when it has finished.";
}

Status rebuildRunning(const std::string& folder)
{
    data::Workspace ws(folder);
    if (data::rebuildRunningElsewhere(ws))
        return Status::error(ErrorCode::InUse, "A copy of the program is rebuilding a table in " + folder +
                                                   "; try again when it has finished.");
    return Status::ok();
}

// The backup proper, with the tables already held: every file measured and
// opened, the archive written (each table let go once its last file has been
// read) and verified.
BackupResult writeBackup(const std::string& folder, const std::vector<std::string>& names,
                         const std::string& archive, FolderHold& hold, const Progress& progress)
{
    BackupResult r;
    r.archive = archive;
    r.files = names;
    std::vector<OsFile> opened;
    std::vector<ArchiveFile> files;
    std::map<std::string, int> lastFileOf;   // table -> position of its last file
    for (size_t i = 0; i < names.size(); ++i) {
        auto f = OsFile::open(join(folder, names[i]), false);
        if (!f) {
            r.message = "Cannot read " + names[i] + ": " + f.message();
            return r;
        }
        struct stat st {};
        if (::fstat(f->fd(), &st) != 0) {
            r.message = "Cannot read " + names[i] + ": " + std::strerror(errno);
            return r;
        }
        files.push_back({names[i], f->fd(), static_cast<uint64_t>(st.st_size), static_cast<int64_t>(st.st_mtime)});
        opened.push_back(std::move(*f));
        if (const std::string t = tableOf(names[i]); !t.empty())
            lastFileOf[t] = static_cast<int>(i + 1);
    }
    WriteEvents events;
    const int count = static_cast<int>(names.size());
    events.begin = [&](int position) {
        if (progress)
            progress(position, count, names[static_cast<size_t>(position - 1)]);
    };
    events.end = [&](int position) {
        const std::string t = tableOf(names[static_cast<size_t>(position - 1)]);
        if (!t.empty() && lastFileOf[t] == position)
            hold.unlock(t);
    };
    auto crcs = writeArchive(archive, files, events);
    if (!crcs) {
        r.message = crcs.message();
        return r;
    }
    std::vector<ExpectedEntry> expected;
    for (size_t i = 0; i < files.size(); ++i)
        expected.push_back({files[i].name, files[i].size, (*crcs)[i]});
    if (auto s = verifyArchive(archive, expected); !s) {
        r.outcome = BackupResult::Outcome::Inconsistent;
        r.message = s.message();
        return r;
    }
    r.outcome = BackupResult::Outcome::Saved;
    return r;
}

// A name like a backup's for the archive the folder is saved to before a
// restore: the current time, a second later for each that is taken.
std::string safetyCopyPath(const std::string& folder)
{
    std::time_t t = std::time(nullptr);
    for (int i = 0; i < 3600; ++i, ++t) {
        std::tm tm{};
        localtime_r(&t, &tm);
        const std::string path =
            join(folder, archiveName({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}));
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return path;
    }
    return join(folder, "CNP-before-restore-" + std::to_string(::getpid()) + ".zip");
}

uint64_t freeBytes(const std::string& folder)
{
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0)
        return UINT64_MAX;
    return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

// An entry's data written to a new file of the staging folder.
Status extractTo(ArchiveReader& reader, size_t i, const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return Status::error(ErrorCode::Io, "Cannot write " + path + ": " + std::strerror(errno));
    Status s = reader.read(
        i,
        [&](const char* p, size_t n) {
            while (n > 0) {
                const ssize_t w = ::write(fd, p, n);
                if (w < 0 && errno == EINTR)
                    continue;
                if (w < 0)
                    return Status::error(ErrorCode::Io, "Cannot write " + path + ": " + std::strerror(errno));
                p += w;
                n -= static_cast<size_t>(w);
            }
            return Status::ok();
        },
        kMaxEntryBytes);
    if (::close(fd) != 0 && s)
        s = Status::error(ErrorCode::Io, "Cannot write " + path + ": " + std::strerror(errno));
    return s;
}

bool acceptableName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > 255)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

struct Plan {
    std::vector<size_t> entries;        // archive entries to restore
    std::vector<std::string> names;     // ... under these base names
    std::vector<std::string> leftOut;
    uint64_t bytes = 0;
};

// What of the archive is restored, or why it is no backup of a data folder.
Result<Plan> planRestore(const ArchiveReader& reader)
{
    const auto& entries = reader.entries();
    if (entries.size() > kMaxEntries)
        return Status::error(ErrorCode::Damaged, "it holds " + std::to_string(entries.size()) +
                                                     " entries, more than a data folder has files");
    Plan plan;
    std::set<std::string> seen;
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryInfo& e = entries[i];
        const std::string name = entryBaseName(e.name);
        if (name.empty() && !e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\'))
            continue;   // a folder: folders are not restored
        if (!restorableKind(name)) {
            plan.leftOut.push_back(e.name);
            continue;
        }
        if (!acceptableName(name))
            return Status::error(ErrorCode::Damaged, "its entry " + e.name + " has a name no data file can have");
        if (!seen.insert(catalog::upper(name)).second)
            return Status::error(ErrorCode::Damaged, "it holds " + name + " twice");
        if (e.encrypted)
            return Status::error(ErrorCode::Damaged, "its entry " + e.name + " is encrypted");
        if (!e.supported)
            return Status::error(ErrorCode::Damaged, "its entry " + e.name + " is stored with a compression this "
                                                                              "program cannot read");
        if (e.size > kMaxEntryBytes)
            return Status::error(ErrorCode::Damaged, "its entry " + e.name + " would expand to " +
                                                         std::to_string(e.size) + " bytes, more than a data file can be");
        plan.entries.push_back(i);
        plan.names.push_back(name);
        plan.bytes += e.size;
    }
    std::vector<std::string> missing;
    for (const auto& def : catalog::tables()) {
        if (!seen.count(catalog::upper(def.fileName())))
            missing.push_back(def.fileName());
        else if (def.hasMemo() && !seen.count(catalog::upper(def.memoFileName())))
            missing.push_back(def.memoFileName());
    }
    if (!missing.empty())
        return Status::error(ErrorCode::Damaged,
                             "it is no backup of a data folder: " + missing.front() + " is not in it" +
                                 (missing.size() > 1 ? " (nor " + std::to_string(missing.size() - 1) + " other files)" : ""));
    return plan;
}

// The staged tables and memo files must at least open as such.
Status checkStaged(const data::RestoreStaging& staging, const Plan& plan)
{
    for (const auto& name : plan.names) {
        const std::string ext = extensionOf(name);
        const std::string path = staging.stagedPath(staging.targetName(name));
        if (ext == ".dbf") {
            if (auto t = data::DbfFile::open(path, false); !t)
                return t.status().withMessage(name + " in it is not a sound table: " + t.message());
        } else if (ext == ".dbt") {
            if (auto m = data::MemoFile::open(path, false); !m)
                return m.status().withMessage(name + " in it is not a sound memo file: " + m.message());
        }
    }
    return Status::ok();
}

std::vector<std::string> tablesIn(const std::vector<std::string>& files)
{
    std::vector<std::string> out;
    for (const auto& f : files)
        if (extensionOf(f) == ".dbf")
            out.push_back(f);
    return out;
}

} // namespace

Moment now()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string archiveName(const Moment& at)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "CNP%04d%02d%02d%02d%02d%02d.zip", at.year, at.month, at.day, at.hour, at.minute,
                  at.second);
    return buf;
}

std::vector<std::string> backupFiles(const std::string& folder)
{
    std::vector<std::string> listed;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            struct stat st {};
            if (::lstat(join(folder, name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                listed.push_back(name);
        }
        ::closedir(d);
    }
    std::vector<std::string> out;
    for (const char* ext : {".dbf", ".dbt", ".ntx"})
        for (const auto& name : listed)
            if (extensionOf(name) == ext)
                out.push_back(name);
    return out;
}

std::string entryBaseName(std::string_view stored)
{
    const size_t cut = stored.find_last_of("/\\:");
    return std::string(cut == std::string_view::npos ? stored : stored.substr(cut + 1));
}

BackupResult backupFolder(const std::string& folder, const std::string& archive, const Progress& progress)
{
    BackupResult r;
    r.archive = archive;
    if (auto s = rebuildRunning(folder); !s) {
        r.outcome = BackupResult::Outcome::Refused;
        r.message = s.message();
        return r;
    }
    (void)data::recoverRestores(folder);
    const std::vector<std::string> names = backupFiles(folder);
    if (names.empty()) {
        r.outcome = BackupResult::Outcome::NoFiles;
        r.message = "There is no table, memo or index file in " + folder + " to back up.";
        return r;
    }
    auto hold = FolderHold::take(folder, tablesIn(names), false);
    if (!hold) {
        r.outcome = hold.code() == ErrorCode::InUse ? BackupResult::Outcome::Refused : BackupResult::Outcome::Failed;
        r.message = hold.code() == ErrorCode::InUse ? heldExclusivelyText(folder, hold.message())
                                                    : "Cannot read " + hold.message();
        return r;
    }
    if (auto s = hold->lockAll(); !s) {
        r.outcome = BackupResult::Outcome::Refused;
        r.message = "The table " + s.message() + " of " + folder +
                    " stayed locked by another copy of the program, which is changing records in it; try again "
                    "in a moment.";
        return r;
    }
    return writeBackup(folder, names, archive, *hold, progress);
}

RestoreResult restoreFolder(const std::string& folder, const std::string& archive, data::SetupObserver& observer,
                            const Progress& progress)
{
    using Outcome = RestoreResult::Outcome;
    RestoreResult r;
    r.archive = archive;
    auto refuse = [&](Outcome why, std::string text) {
        r.outcome = why;
        r.message = std::move(text);
        return r;
    };

    // Nobody else may have the folder open, now or until the files are in place.
    if (auto s = rebuildRunning(folder); !s)
        return refuse(Outcome::Refused, s.message());
    (void)data::recoverRestores(folder);
    const std::vector<std::string> current = backupFiles(folder);
    auto hold = FolderHold::take(folder, tablesIn(current), true);
    if (!hold) {
        if (hold.code() != ErrorCode::InUse)
            return refuse(Outcome::Failed, "the data folder cannot be read: " + hold.message());
        if (!FolderHold::take(folder, {hold.message()}, false))
            return refuse(Outcome::Refused, heldExclusivelyText(folder, hold.message()));
        return refuse(Outcome::Refused, "another copy of the program has the data folder " + folder + " open (" +
                                            hold.message() + " is in use); close it there first.");
    }

    auto reader = ArchiveReader::open(archive);
    if (!reader)
        return refuse(reader.code() == ErrorCode::NotFound ? Outcome::Failed : Outcome::NotABackup, reader.message());
    auto plan = planRestore(*reader);
    if (!plan)
        return refuse(Outcome::NotABackup, plan.message());
    r.leftOut = plan->leftOut;
    if (const uint64_t room = freeBytes(folder); plan->bytes > room || room - plan->bytes < (16u << 20))
        return refuse(Outcome::Failed, "there is not room enough on the disk: the files of the archive need " +
                                           std::to_string(plan->bytes / (1 << 20) + 1) + " MB, " +
                                           std::to_string(room / (1 << 20)) + " MB are free.");

    auto staging = data::RestoreStaging::create(folder);
    if (!staging)
        return refuse(Outcome::Failed, staging.message());
    const int count = static_cast<int>(reader->entries().size());
    size_t planned = 0;
    for (size_t i = 0; i < reader->entries().size(); ++i) {
        const bool restored = planned < plan->entries.size() && plan->entries[planned] == i;
        const std::string shown = restored ? plan->names[planned] : entryBaseName(reader->entries()[i].name);
        if (progress)
            progress(static_cast<int>(i + 1), count, shown);
        if (!restored)
            continue;
        const std::string target = staging->targetName(plan->names[planned]);
        if (auto s = extractTo(*reader, i, staging->stagedPath(target)); !s)
            return refuse(s.is(ErrorCode::Io) ? Outcome::Failed : Outcome::NotABackup, s.message());
        ++planned;
    }
    if (auto s = checkStaged(*staging, *plan); !s)
        return refuse(Outcome::NotABackup, s.message());

    // The folder as it is, saved first, so that a wrong archive can be undone.
    if (!current.empty()) {
        r.safetyCopy = safetyCopyPath(folder);
        const BackupResult saved = writeBackup(folder, current, r.safetyCopy, *hold, {});
        if (!saved.saved()) {
            ::unlink(r.safetyCopy.c_str());
            r.safetyCopy.clear();
            return refuse(Outcome::Failed, "the data now in the folder could not be saved first: " + saved.message);
        }
    }

    // The restored tables are held as the old ones were until they are in place.
    std::vector<OsFile> newHold;
    for (const auto& name : plan->names) {
        if (extensionOf(name) != ".dbf")
            continue;
        if (auto f = OsFile::open(staging->stagedPath(staging->targetName(name)), true); f) {
            (void)f->tryLock(data::kOpenLockOffset, 1, true);
            newHold.push_back(std::move(*f));
        }
    }
    if (auto s = staging->ready(); !s)
        return refuse(Outcome::Failed, s.message());
    if (auto s = staging->moveIntoPlace(); !s)
        return refuse(Outcome::Failed, s.message());
    r.restored = staging->moved();
    newHold.clear();
    hold->release();

    // As at start-up: a structure that differs is upgraded, and an index that
    // is missing or does not match its restored table is built anew.
    {
        data::Workspace ws(folder);
        data::Setup setup(ws, observer);
        for (int n = 1; n <= catalog::kTableCount; ++n)
            if (auto s = setup.SETCASE(false, n); !s)
                observer.message(data::SetupBox::Exclamation, s.message());
        setup.indexPass();
        ws.closeAll();
        for (int n : setup.log().rebuiltIndexes)
            r.rebuilt.push_back(catalog::index(n).fileName());
    }
    r.outcome = Outcome::Restored;
    return r;
}

} // namespace cn::backup
