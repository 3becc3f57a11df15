#pragma once
// Rebuilding a table, shared by the upgrade of set-up and by the data
// clean-up, and the recovery of a rebuild that was interrupted.
//
// A rebuild builds the new table beside the original, as packtemp.dbf with
// packtemp.dbt, and puts it in place only when it is complete: each new file
// is renamed over the original's, so that the table's name never stands for
// a missing or partial file. From before anything is written until the new
// table is in place, the original (and then the new table) is held
// exclusively, so another copy of the program is refused ("in use") instead
// of writing to a file that is about to be replaced.
//
// A journal, packtemp.job, names the table; it is written before packtemp
// and says FILLED once the new table is complete and on disk, and DONE once
// it is in place. The rebuild holds a lock on the journal while it runs, so
// another copy neither starts a rebuild of its own nor mistakes this one for
// an interrupted one. At the next start a journal without FILLED means the
// original was never touched: the partial new table, which no other process
// could open, is erased. With FILLED the rebuild is finished: packtemp is
// renamed into place and the stale index files are erased.
//
// A journal written by an older version of this program (without VERSION)
// meant the opposite: packtemp.dbf was the original, moved aside. Such a
// journal is still honoured. A copy without any journal (left by some other
// program) is erased only beside a table holding at least as many records;
// it is put back when its table is missing, and when the table is short or
// unreadable that table is kept aside under another name rather than erased.
//
// The clean-up itself (CLEANUP, APPTEMP) is a member of Setup (data/setup.h),
// since it runs inside the set-up run.
#include "data/catalog.h"
#include "data/workspace.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

inline constexpr std::string_view kPackTempDbf = "packtemp.dbf";
inline constexpr std::string_view kPackTempDbt = "packtemp.dbt";
inline constexpr std::string_view kPackTempJob = "packtemp.job";
inline constexpr std::string_view kPackSave = "packsave";   // + number: a copy kept aside
inline constexpr std::string_view kTempDbf = "_temp.dbf";
inline constexpr std::string_view kTempDbt = "_temp.dbt";

struct RebuildPlan {
    const catalog::TableDef* table = nullptr;     // the new table has its fields and any others stored
    bool keepDeleted = false;                     // copy deleted records, still marked deleted
    std::function<void()> creating;               // the new empty table is about to be created
    std::function<void(uint32_t count)> filling;  // the refill starts; count = records of the original
    std::function<bool(uint32_t recNo)> progress; // per copied record
    std::function<void(std::string_view)> checkpoint;   // test hook, see Setup::checkpoint
};

struct RebuildResult {
    enum class Outcome {
        NotStarted,   // the table could not be held (in use, unreadable): nothing was changed
        PutBack,      // the rebuild failed (a full disk): the table is unchanged
        Pending,      // the new table is complete but could not be put in place; the next start does it
        Done,
    };
    Outcome outcome = Outcome::NotStarted;
    Status status;   // why, unless Done
};

// Rebuilds the table of the plan with its catalogue fields (and any other
// stored field) from its records. Every area on the table must be closed.
RebuildResult rebuildTable(Workspace& ws, const RebuildPlan& plan);

// Creates a table from fields through "_temp", so that a table file either
// exists complete or not at all.
Status createTableFile(Workspace& ws, const catalog::TableDef& def, const Structure& fields);

// The catalogue's fields followed by any stored field the catalogue does not
// name, so that a rebuild never drops a column another program may use.
Structure keptStructure(const catalog::TableDef& def, const Structure& stored);

// Whether another copy of the program is rebuilding a table in this folder
// now (it holds the journal), so that its temporary files must be left alone.
bool rebuildRunningElsewhere(const Workspace& ws);

struct Recovery {
    std::vector<std::string> done;      // a line per action taken
    std::vector<std::string> notices;   // what the user must be told
};

// Finishes or discards a rebuild that was interrupted and erases spent
// temporary files; leaves everything alone while another copy of the
// program is rebuilding. Every table must be closed.
Recovery recoverLeftovers(Workspace& ws);

} // namespace cn::data
