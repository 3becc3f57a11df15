#pragma once
// Rebuilding a table through "packtemp", shared by the upgrade of set-up and
// by the data clean-up, and the recovery of a rebuild that was interrupted.
//
// A rebuild never copies the table away and erases it: it renames the table
// (and its memo file) to packtemp.dbf / packtemp.dbt, so that the original
// bytes survive untouched until the new table is complete. Before the rename
// it writes a small journal, packtemp.job, naming the table; once the new
// table is complete and on disk it adds "done" to the journal, erases the
// copy and last the journal. At the next start a journal without "done"
// means the rebuild did not finish: the new, partial table is discarded and
// the original is put back from packtemp. With "done" only the spent copy is
// erased. A copy without any journal (left by some other program) is erased
// only beside a table holding at least as many records; it is put back when
// its table is missing, and when the table is short or unreadable that table
// is kept aside under another name rather than erased.
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
    const catalog::TableDef* table = nullptr;
    Structure structure;                          // the new table's fields
    bool keepDeleted = false;                     // copy deleted records, still marked deleted
    std::function<void()> creating;               // the new empty table is about to be created
    std::function<void(uint32_t count)> filling;  // the refill starts; count = records of the copy
    std::function<bool(uint32_t recNo)> progress; // per copied record
    std::function<void(std::string_view)> checkpoint;   // test hook, see Setup::checkpoint
};

struct RebuildResult {
    bool moved = false;   // the table took the temporary name (false: nothing was changed)
    Status status;        // a failure after the move means the original was put back
};

// Rebuilds the table of the plan: renames it to packtemp, erases its index
// files, creates it anew with the plan's structure and refills it from the
// copy. Every table must be closed.
RebuildResult rebuildTable(Workspace& ws, const RebuildPlan& plan);

// Creates a table from fields through "_temp", so that a table file either
// exists complete or not at all.
Status createTableFile(Workspace& ws, const catalog::TableDef& def, const Structure& fields);

// The catalogue's fields followed by any stored field the catalogue does not
// name, so that a rebuild never drops a column another program may use.
Structure keptStructure(const catalog::TableDef& def, const Structure& stored);

struct Recovery {
    std::vector<std::string> done;      // a line per action taken
    std::vector<std::string> notices;   // what the user must be told
};

// Puts back a table whose rebuild was interrupted and erases spent temporary
// files. Every table must be closed.
Recovery recoverLeftovers(Workspace& ws);

} // namespace cn::data
