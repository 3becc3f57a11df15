#pragma once
// Whether a patient still has visits: a patient with a live visit may not be
// deleted. The search runs through a work area of its own on the visit table,
// so the order, scope, filter and position that the visit windows keep on
// `pvisit` (and on `pvisit01`) are left exactly as they are.
#include "data/status.h"
#include "data/workspace.h"

namespace cn {

// True when a live record of the visit table carries `patientCode`. Fails
// (rather than answering "no visits") when the visit table or its patient
// index cannot be opened, so that nothing is deleted unchecked.
data::Result<bool> patientHasLiveVisit(data::Workspace& ws, long long patientCode);

} // namespace cn
