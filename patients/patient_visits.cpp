#include "patients/patient_visits.h"

#include "app/database.h"

#include <string>

namespace cn {

data::Result<bool> patientHasLiveVisit(data::Workspace& ws, long long patientCode)
{
    OwnArea own(ws, "pvisit", "pvisit_patdel");
    if (!own.get())
        return own.status();
    data::WorkArea& visits = *own.get();
    // Order 2 of the visit table: live flag, patient code, visit number. A
    // seek of "F" and the code finds the patient's first live visit, if any.
    if (data::Status s = visits.setOrder(2); !s)
        return s;
    const bool found = visits.seek("F" + data::strNum(static_cast<double>(patientCode), 10));
    if (!found && !visits.lastError().empty())
        return data::Status::error(data::ErrorCode::Damaged, visits.lastError());
    return found;
}

} // namespace cn
