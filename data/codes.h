#pragma once
// Master-table helpers shared by the windows and by set-up: the next free code
// and the duplicate-name tests. Each works on an open work area through its
// index orders, whose keys start with "F" for live records.
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

} // namespace cn::data
