#include "print/visit_view.h"

#include "app/database.h"
#include "app/routines.h"
#include "data/workspace.h"

#include <cmath>

namespace cn {

namespace {

std::string codeKey(long long code) { return "F" + data::strNum(static_cast<double>(code), 10); }

// Whole number, halves away from zero, as the visit window rounds.
int roundHalfAway(double v) { return static_cast<int>(std::lround(v)); }

} // namespace

QString pvNoCaption(long long pvNo)
{
    return QStringLiteral("Patient Visit (PV) No.: ") + QString::number(pvNo);
}

data::Result<VisitPrintView> loadVisitView(data::Workspace& ws, long long visitNo)
{
    PrivateArea visitArea(ws, "prn_pvisit");
    auto visits = visitArea.open("pvisit", {"pvisit1"});
    if (!visits)
        return visits.status();
    data::WorkArea& v = *visits.value();
    if (visitNo <= 0 || !v.seek(codeKey(visitNo))) {
        if (!v.lastError().empty())
            return data::Status::error(data::ErrorCode::Damaged, v.lastError());
        return data::Status::error(data::ErrorCode::NotFound, "visit " + std::to_string(visitNo) + " is not in the visit table");
    }

    VisitPrintView out;
    out.TxtPatCode = static_cast<long long>(v.num("PATCODE"));
    out.Lb_PVNo = pvNoCaption(static_cast<long long>(v.num("PVNO")));
    out.TxtVisitDt = toQDate(v.date("VISITDT"));
    out.TxtPatHeightFeet = static_cast<int>(v.num("PATHTFT"));
    out.TxtPatHeightInch = static_cast<int>(v.num("PATHTIN"));
    const int cm = roundHalfAway((out.TxtPatHeightFeet * 12 + out.TxtPatHeightInch) * 2.54);
    out.TxtPatHeightMtrs = cm / 100;
    out.TxtPatHeightCm = cm % 100;
    out.TxtPatWeightLbs = static_cast<int>(v.num("PATWTLBS"));
    out.TxtPatWeightKgs = static_cast<int>(std::trunc(out.TxtPatWeightLbs / 2.2));
    out.TxtPatTemp = v.num("PATTEMP");
    out.TxtPatPulse = static_cast<int>(v.num("PATPULSE"));
    out.TxtPatSys = static_cast<int>(v.num("PATSYS"));
    out.TxtPatDias = static_cast<int>(v.num("PATDIAS"));
    out.TxtPatFees = v.num("PATFEES");
    out.TxtPatNote = fieldText(v, QStringLiteral("PATNOTE"));
    auto pres = v.readMemo("PATPRES");
    if (!pres)
        return pres.status();
    out.TxtPatPres = QByteArray::fromStdString(pres.value());

    // The patient as the register holds them now, as the window shows them.
    PrivateArea patientArea(ws, "prn_patnt");
    auto patients = patientArea.open("patnt", {"patnt1"});
    if (!patients)
        return patients.status();
    data::WorkArea& p = *patients.value();
    if (p.seek(codeKey(out.TxtPatCode))) {
        out.PATTITLE = fieldText(p, QStringLiteral("PATTITLE"));
        out.TxtPatFName = fieldText(p, QStringLiteral("PATFNAME"));
        out.TxtPatLName = fieldText(p, QStringLiteral("PATLNAME"));
        out.TxtPatSex = fieldText(p, QStringLiteral("PATSEX")).startsWith(QLatin1Char('F')) ? 1 : 2;
        const QDate birth = toQDate(p.date("PATDOB"));
        out.TxtPatAgeYrs = CALC_AGEYRS(birth, out.TxtVisitDt);
        out.TxtPatAgeMnths = CALC_AGEMNTHS(birth, out.TxtVisitDt);
        out.TxtPatAgeDays = CALC_AGEDAYS(birth, out.TxtVisitDt);
    } else if (!p.lastError().empty()) {
        return data::Status::error(data::ErrorCode::Damaged, p.lastError());
    }
    return out;
}

} // namespace cn
