#include "patients/patient_visits.h"

#include "app/database.h"

namespace cn {

data::Result<bool> patientHasLiveVisit(data::Workspace& ws, long long patientCode)
{
    // Order 2 of the visit table: live flag, patient code, visit number. A
    // seek of "F" and the code finds the patient's first live visit, if any.
    return liveKeyExists(ws, "pvisit", "pvisit2", data::strNum(static_cast<double>(patientCode), 10));
}

} // namespace cn
