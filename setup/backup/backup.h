#pragma once
// Backup and restore of a data folder, without windows: the Backup/Restore
// window, the data tool, the benchmark and the fuzz target all call these.
//
// A backup is one zip archive holding every table, memo and index file of the
// folder. It is taken with the tables held against other copies of the
// program: none may hold a table exclusively meanwhile, and each table is
// locked (file lock) from before its files are measured until its last file
// has been read, so that a table, its memo file and its indexes in the
// archive are of one moment. The archive is read back and every entry
// checked against the file it was made from.
//
// A restore never leaves a half-restored folder. It is refused while another
// copy of the program has the folder open. The archive is extracted into a
// staging folder inside the data folder and checked there (readable entries,
// every table file of the catalogue, the memo file of each table that has
// memos, each table's header); entry names are reduced to their base name,
// and only table, memo and index files are restored. Then the folder as it is
// is saved as a backup archive of its own, and only then are the files moved
// into place (data/restore_staging.h), each replacing the file of its name.
// Last, the structure check and the index pass of set-up run over the
// restored tables, so that an index the archive did not bring, or one that
// does not match its table, is rebuilt before the tables are opened again.
#include "data/setup.h"
#include "data/status.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cn::backup {

inline constexpr std::string_view kSavedTo = "Saved to ";
inline constexpr std::string_view kInconsistent = "Inconsistency detected in ";
inline constexpr std::string_view kRestoredFrom = "Restored from ";
inline constexpr std::string_view kUnableToRestore = "Unable to restore from ";

// A local date and time.
struct Moment {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
Moment now();
// The default archive name: "CNP", the date as YYYYMMDD, the time as HHMMSS
// and ".zip" (CNP20110302090507.zip).
std::string archiveName(const Moment& at);

// The files a backup of the folder holds, as bare names in archive order:
// every table file (*.dbf), then every memo file (*.dbt), then every index
// file (*.ntx), letter case ignored, hidden ones included, each group in the
// order the folder listing gives.
std::vector<std::string> backupFiles(const std::string& folder);

// Called as each file is begun: its position from 1, the count and its name.
using Progress = std::function<void(int position, int count, const std::string& name)>;

struct BackupResult {
    enum class Outcome {
        Saved,          // written and verified
        NoFiles,        // nothing to back up; nothing written
        Inconsistent,   // written, but it does not read back as the files were
        Refused,        // the tables are held exclusively elsewhere, or a rebuild runs
        Failed,         // a file could not be read or the archive not written; no archive left
    };
    Outcome outcome = Outcome::Failed;
    std::string archive;              // the archive's path
    std::vector<std::string> files;   // what it holds, in order
    std::string message;              // why, unless saved
    bool saved() const { return outcome == Outcome::Saved; }
};

// Backs the folder up into the archive at `archive`, replacing a file of
// that name once the new archive is complete.
BackupResult backupFolder(const std::string& folder, const std::string& archive, const Progress& progress = {});

struct RestoreResult {
    enum class Outcome {
        Restored,
        Refused,      // the folder is in use elsewhere; nothing was changed
        NotABackup,   // the archive cannot be read, or is no backup of a data folder; nothing was changed
        Failed,       // no room, the folder could not be saved first, a move failed; nothing was changed
    };
    Outcome outcome = Outcome::Failed;
    std::string archive;
    std::string message;                   // why, unless restored
    std::string safetyCopy;                // the archive the folder was saved to first ("" when it held nothing)
    std::vector<std::string> restored;     // files put in place
    std::vector<std::string> leftOut;      // entries of other kinds, not restored (as stored)
    std::vector<std::string> rebuilt;      // index files rebuilt after the restore
    bool restoredOk() const { return outcome == Outcome::Restored; }
};

// Restores the folder from the archive. The set-up passes after the move
// tell their messages and progress through observer.
RestoreResult restoreFolder(const std::string& folder, const std::string& archive, data::SetupObserver& observer,
                            const Progress& progress = {});

// The name an archive entry is restored under: the part after the last
// '/', '\' or drive colon. Empty for a folder entry.
std::string entryBaseName(std::string_view stored);
// How many bytes one restored file may hold at most: the formats address
// no more than 4 GB.
inline constexpr uint64_t kMaxEntryBytes = 0xFFFFFFFFull;
// How many entries an archive may hold at most.
inline constexpr size_t kMaxEntries = 10000;

} // namespace cn::backup
