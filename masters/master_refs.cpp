#include "masters/master_refs.h"

#include "app/database.h"

namespace cn {

namespace {

std::string codeKey(long long code) { return data::strNum(static_cast<double>(code), 10); }

} // namespace

data::Result<bool> chamberHasLiveVisit(data::Workspace& ws, long long chamberCode)
{
    const auto code = static_cast<double>(chamberCode);
    return liveRecordWhere(ws, "pvisit", [code](data::WorkArea& v) { return v.num("CHCODE") == code; });
}

data::Result<bool> genericHasLiveBrand(data::Workspace& ws, long long genericCode)
{
    // bmed3: live flag + str(gmedcode)
    return liveKeyExists(ws, "bmed", "bmed3", codeKey(genericCode));
}

data::Result<bool> brandHasLiveVisitLine(data::Workspace& ws, long long brandCode)
{
    // pvsmed2: live flag + str(bmedcode) + str(visitno); the code is the key's start
    return liveKeyExists(ws, "pvsmed", "pvsmed2", codeKey(brandCode));
}

data::Result<bool> genericIsLive(data::Workspace& ws, long long genericCode)
{
    if (genericCode <= 0)
        return false;
    return liveKeyExists(ws, "gmed", "gmed1", codeKey(genericCode));
}

} // namespace cn
