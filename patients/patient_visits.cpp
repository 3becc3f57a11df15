#include "patients/patient_visits.h"

#include "data/catalog.h"

#include <string>

namespace cn {

namespace {

constexpr const char* kPrivateAlias = "pvisit_patdel";

// Closes the private area and makes the caller's area current again.
class PrivateArea {
public:
    PrivateArea(data::Workspace& ws) : ws_(ws), previous_(ws.currentAlias()) {}
    ~PrivateArea()
    {
        if (opened_)
            ws_.closeArea(kPrivateAlias);
        if (!previous_.empty())
            ws_.select(previous_);
    }
    PrivateArea(const PrivateArea&) = delete;
    PrivateArea& operator=(const PrivateArea&) = delete;

    data::Result<data::WorkArea*> open()
    {
        const data::catalog::TableDef* table = data::catalog::findTable("pvisit");
        if (!table)
            return data::Status::error("The visit table is not in the catalogue");
        auto used = ws_.use(table->fileName(), kPrivateAlias, data::OpenMode{true, true});
        if (!used)
            return used.status();
        opened_ = true;
        return used.value();
    }

private:
    data::Workspace& ws_;
    std::string previous_;
    bool opened_ = false;
};

} // namespace

data::Result<bool> patientHasLiveVisit(data::Workspace& ws, long long patientCode)
{
    // Order 2 of the visit table: live flag, patient code, visit number. A
    // seek of "F" and the code finds the patient's first live visit, if any.
    const data::catalog::IndexDef* byPatient = data::catalog::findIndex("pvisit2");
    if (!byPatient)
        return data::Status::error("The visit index by patient is not in the catalogue");

    PrivateArea guard(ws);
    auto opened = guard.open();
    if (!opened)
        return opened.status();
    data::WorkArea& visits = *opened.value();
    if (data::Status s = visits.setIndex(ws.resolve(byPatient->fileName())); !s)
        return s;
    if (data::Status s = visits.setOrder(1); !s)
        return s;
    visits.clearScope();
    const bool found = visits.seek("F" + data::strNum(static_cast<double>(patientCode), 10));
    if (!found && !visits.lastError().empty())
        return data::Status::error(data::ErrorCode::Damaged, visits.lastError());
    return found;
}

} // namespace cn
