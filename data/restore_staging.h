#pragma once
// Putting the files of a restore in place all together, and finishing a
// restore that was interrupted.
//
// A restore first writes every file it brings into a staging folder inside
// the data folder (".restore-XXXXXX", the files under "new/"), where they are
// checked; nothing in the data folder is touched until then. Its journal,
// "restore.job" in the staging folder, is locked for as long as the restore
// runs, and says READY once every staged file is complete and on disk. Then
// the files are moved into place one by one, each replacing the file of that
// name, which is first moved aside into "old/" so that a move failing half
// way can be undone.
//
// At the next start an interrupted restore is settled from its journal:
// without READY nothing had been touched, so the staging folder is thrown
// away; with READY the files still staged are moved into place, so the folder
// ends wholly restored. A staging folder whose journal another copy of the
// program holds is left alone: that restore is still running.
#include "data/os_file.h"
#include "data/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

inline constexpr std::string_view kRestoreStagingPrefix = ".restore-";

class RestoreStaging {
public:
    // A fresh staging folder in dataFolder, its journal taken.
    static Result<RestoreStaging> create(const std::string& dataFolder);
    RestoreStaging(RestoreStaging&& other) noexcept;
    RestoreStaging& operator=(RestoreStaging&&) = delete;
    RestoreStaging(const RestoreStaging&) = delete;
    RestoreStaging& operator=(const RestoreStaging&) = delete;
    // Throws the staging folder away unless its files were moved into place
    // (or, once READY, leaves it for the next start when it cannot be done).
    ~RestoreStaging();

    const std::string& folder() const { return folder_; }
    // Where a file to be restored under `name` is staged.
    std::string stagedPath(std::string_view name) const;
    // The name a restored file takes in the data folder: that of the file it
    // replaces when one differs from it only in letter case, else its own.
    std::string targetName(std::string_view name) const;

    // Every staged file complete and on disk: the restore will be finished
    // if it is interrupted from here on.
    Status ready();
    // Moves every staged file into the data folder. On failure every file is
    // put back as it was and the journal given up, so the data folder is
    // unchanged. moved() names what was put in place.
    Status moveIntoPlace();
    const std::vector<std::string>& moved() const { return moved_; }

private:
    RestoreStaging() = default;
    void discard();

    std::string dataFolder_;
    std::string folder_;
    OsFile job_;
    bool ready_ = false;
    bool keep_ = false;
    std::vector<std::string> moved_;
};

struct RestoreRecovery {
    std::vector<std::string> done;      // a line per action taken, for the log of the start
    std::vector<std::string> notices;   // what the user must be told
};

// Settles the restores a crash interrupted in dataFolder (see above).
RestoreRecovery recoverRestores(const std::string& dataFolder);

} // namespace cn::data
