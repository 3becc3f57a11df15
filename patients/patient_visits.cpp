#include "patients/patient_visits.h"

#include "app/database.h"

#include <string>

namespace cn {

data::Result<bool> patientHasLiveVisit(data::Workspace& ws, long long patientCode)
{
    // Order 2 of the visit table: live flag, patient code, visit number. A
    // seek of "F" and the code finds the patient's first live visit, if any.
    PrivateArea guard(ws, "pvisit_patdel");
    auto opened = guard.open("pvisit", {"pvisit2"});
    if (!opened)
        return opened.status();
    data::WorkArea& visits = *opened.value();
    visits.clearScope();
    const bool found = visits.seek("F" + data::strNum(static_cast<double>(patientCode), 10));
    if (!found && !visits.lastError().empty())
        return data::Status::error(data::ErrorCode::Damaged, visits.lastError());
    return found;
}

} // namespace cn
