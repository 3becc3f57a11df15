#pragma once
// Renumbering the patients' visits: every patient's live visits get the PV
// numbers 1, 2, 3 ... again, in the order of their visit numbers, closing
// the gaps that deleting a visit other than a patient's latest leaves.
// Visit numbers never change.
//
// The walk is in order 2 (patient code, visit number), whose key does not
// hold PVNO, so rewriting PVNO moves no record within the walk; order 4
// (patient code, PV number) follows each record as it is written. The whole
// table is locked for the run, so no visit is saved or deleted meanwhile.
#include "data/workspace.h"

#include <cstdint>
#include <functional>
#include <string>

namespace cn {

struct RenumberEvents {
    std::function<void(uint32_t records)> started;     // the table's records, deleted ones included
    std::function<void(long long patient)> patient;     // a patient's visits begin
    std::function<void(uint32_t position)> visit;       // a visit's position in order 2
};

struct RenumberResult {
    enum class Outcome { Done, Locked, Failed };
    Outcome outcome = Outcome::Done;
    uint32_t visits = 0;     // live visits walked
    uint32_t changed = 0;    // of them given a new PV number
    data::Status error;      // why, when failed
};

// RENUMPVNO2 without the window, on the visit table's area (shared). The
// area is left on order 2; its caller puts it back.
RenumberResult renumberVisits(data::WorkArea& pvisit, const RenumberEvents& events = {});

} // namespace cn
