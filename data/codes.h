#pragma once
// Master-table helpers shared by the windows and by set-up: the next free code
// and the duplicate-name tests. Each works on an open work area through its
// index orders, whose keys start with "F" for live records.
#include "data/status.h"
#include "data/workspace.h"

#include <string_view>

namespace cn::data {

// The highest live value of codeField in the given order, plus 1 (1 when there
// is no live record). The area's record and controlling order are restored.
long long nextCode(WorkArea& area, int order, std::string_view codeField);

// True when no live record's key in `order` begins with "F" + key. Leaves the
// area on that order, positioned where the seek ended.
bool duplicateFreeForAppend(WorkArea& area, int order, std::string_view key);

// As above, but a record found with the given code (the one being changed)
// does not count as a duplicate.
bool duplicateFreeForModify(WorkArea& area, int order, std::string_view key,
                            std::string_view codeField, long long code);

// In-use checks: whether a record elsewhere still refers to a master record.
// Each searches a work area of its own on the catalogue table `table`, so the
// order, scope, filter and position that the windows keep on the shared
// areas of that table stay exactly as they are. Each fails, rather than
// answering "not used", when the table or index cannot be opened or read, so
// that nothing is deleted unchecked.

// A live record whose key in the catalogue index `index` begins with "F" + key.
Result<bool> liveKeyExists(Workspace& ws, std::string_view table, std::string_view index, std::string_view key);
// A live record for which `cond` holds, by a walk in record order (for a
// field no index of the table is keyed on).
Result<bool> liveRecordWhere(Workspace& ws, std::string_view table, const Condition& cond);

} // namespace cn::data
