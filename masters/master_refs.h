#pragma once
// The in-use rules of the master lists, without widgets, so that the data
// tool and tests can ask them too: a master record still referred to by a
// live record elsewhere may not be deleted. Each search runs in a work area
// of its own, so the order, scope and position the visit windows keep on
// the shared areas stay as they are, and each fails (rather than answering
// "not used") when the referring table cannot be read.
#include "data/status.h"
#include "data/workspace.h"

namespace cn {

// A live visit of `pvisit` held in this chamber (CHCODE); a walk of the whole
// visit table, which has no index on the chamber.
data::Result<bool> chamberHasLiveVisit(data::Workspace& ws, long long chamberCode);
// A live brand medicine of `bmed` under this generic medicine (GMEDCODE).
data::Result<bool> genericHasLiveBrand(data::Workspace& ws, long long genericCode);
// A live visit medicine line of `pvsmed` with this brand medicine (BMEDCODE).
data::Result<bool> brandHasLiveVisitLine(data::Workspace& ws, long long brandCode);
// Whether a live generic medicine has this code (0 is never one).
data::Result<bool> genericIsLive(data::Workspace& ws, long long genericCode);

} // namespace cn
