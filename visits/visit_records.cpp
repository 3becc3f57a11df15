#include "visits/visit_records.h"

#include "app/settings.h"
#include "app/text.h"
#include "data/codes.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace cn::visits {

std::string patientKey(long long patientCode) { return "F" + data::strNum(static_cast<double>(patientCode), 10); }

std::string patientVisitKey(long long patientCode, long long pvNo)
{
    return patientKey(patientCode) + data::strNum(static_cast<double>(pvNo), 10);
}

std::string visitNoKey(long long visitNo) { return "F" + data::strNum(static_cast<double>(visitNo), 10); }

long long nextVisitNo(data::WorkArea& pvisit) { return data::nextCode(pvisit, kByVisitNo, "VISITNO"); }

long long nextPatientVisitNo(data::WorkArea& pvisit, long long patientCode)
{
    const int savedOrder = pvisit.indexOrd();
    const uint32_t savedRec = pvisit.recNo();
    long long highest = 0;
    if (pvisit.setOrder(kByPatientPvNo)) {
        pvisit.goTop();
        // Order 4 sorts a patient's visits by PV number: the last one seen is
        // the highest.
        for (pvisit.seek(patientKey(patientCode)); !pvisit.eof(); pvisit.skip(1)) {
            if (static_cast<long long>(pvisit.num("PATCODE")) != patientCode)
                break;
            highest = static_cast<long long>(pvisit.num("PVNO"));
        }
    }
    (void)pvisit.setOrder(savedOrder);
    pvisit.goTo(savedRec);
    return highest + 1;
}

QString tableLockQuestion() { return QStringLiteral("Cannot lock. Visits in use. Retry ??"); }

namespace {

// Another copy's save holds the table for a few milliseconds: a moment's
// wait before the user is asked.
bool lockTable(data::WorkArea& pvisit)
{
    for (int i = 0; i < 200; ++i) {
        if (pvisit.flock())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

data::Result<NewVisit> appendVisit(data::WorkArea& pvisit, long long patientCode,
                                   const std::function<data::Status(data::WorkArea&)>& write,
                                   const std::function<bool()>& retry)
{
    while (!lockTable(pvisit)) {
        if (!retry || !retry())
            return data::Status::error(data::ErrorCode::InUse,
                                       "The visit table " + pvisit.path() + " is locked by another user");
    }
    NewVisit v;
    v.visitNo = nextVisitNo(pvisit);
    v.pvNo = nextPatientVisitNo(pvisit, patientCode);
    data::Status s = pvisit.append();
    if (!s) {
        pvisit.unlock();
        return s;
    }
    v.recNo = pvisit.recNo();
    s = pvisit.setNum("VISITNO", static_cast<double>(v.visitNo));
    if (s)
        s = pvisit.setNum("PVNO", static_cast<double>(v.pvNo));
    if (s)
        s = pvisit.setNum("PATCODE", static_cast<double>(patientCode));
    if (s && write)
        s = write(pvisit);
    if (s)
        s = pvisit.commit();
    if (!s) {
        // Not left half written among the visits: marked deleted, so that
        // its numbers are given out again.
        (void)pvisit.deleteRecord();
        (void)pvisit.commit();
        pvisit.unlock();
        return s;
    }
    pvisit.unlock();
    return v;
}

bool seekVisitNo(data::WorkArea& pvisit, long long visitNo)
{
    (void)pvisit.setOrder(kByVisitNo);
    return pvisit.seek(visitNoKey(visitNo));
}

// ------------------------------------------------------------ the checks

namespace {

bool blank(const QString& text) { return text.trimmed().isEmpty(); }

Refusal refuse(int check, const QString& text, const char* focus, bool givesUp = false)
{
    return Refusal{check, text, QLatin1String(focus), givesUp};
}

} // namespace

std::optional<Refusal> checkVisit(const VisitEntry& e)
{
    if (e.patientCode == 0)
        return refuse(1, QStringLiteral("Patient Code cannot be blank !!"), "TxtPatSeek", true);
    if (blank(e.firstName))
        return refuse(2, QStringLiteral("Patient First Name cannot be blank !!"), "TxtPatSeek", true);
    if (e.sex != 1 && e.sex != 2)
        return refuse(3, QStringLiteral("Sex must be either Female or Male !!"), "TxtPatSeek", true);
    if (e.ageYears == 0 && e.ageMonths == 0 && e.ageDays == 0)
        return refuse(4, QStringLiteral("Age cannot be Zero !!"), "TxtPatSeek", true);
    if (e.chamberCode == 0)
        return refuse(5, QStringLiteral("Please select Chamber !!"), "TxtChName");
    if (e.visitType != 1 && e.visitType != 2)
        return refuse(6, QStringLiteral("Please specify Visit Type: New Case or Follow-Up !!"), "TxtVisitType");
    if (!e.visitDate.isValid())
        return refuse(7, QStringLiteral("Please enter proper Visit Date !!"), "TxtVisitDt");
    if (!e.visitTime.isValid())
        return refuse(8, QStringLiteral("Please enter proper Visit Time !!"), "TxtVisitTm");
    if (blank(e.prescription))
        return refuse(9, QStringLiteral("Please enter Prescription Details !!"), "TxtPatPres");
    if (e.status < 1 || e.status > 4)
        return refuse(10, QStringLiteral("Please select proper Status"), "TxtPVStatus");
    if (e.nextVisit.isValid() && e.nextVisit <= e.visitDate)
        return refuse(11, QStringLiteral("Next Visit Date must be after current Visit Date"), "TxtNextVisit");
    // The fee box lets in eight whole digits, the table holds seven: a
    // larger fee is refused here rather than stored cut or failing half way.
    if (std::llround(e.fees * 100) > std::llround(kMaxFees * 100))
        return refuse(12,
                      QStringLiteral("Fees cannot be more than %1 !!")
                          .arg(formatPicture(kMaxFees, settings().numPicture(8, 2)).trimmed()),
                      "TxtPatFees");
    return std::nullopt;
}

// ------------------------------------------------------------ conversions

namespace {

// Whole number, halves away from zero.
int whole(double v) { return static_cast<int>(std::round(v)); }

} // namespace

Metric toMetric(int feet, int inches)
{
    const int cm = whole((feet * 12 + inches) * 2.54);
    return {cm / 100, cm % 100};
}

Imperial toImperial(int metres, int centimetres)
{
    const int in = whole((metres * 100 + centimetres) / 2.54);
    return {in / 12, in % 12};
}

int toKilograms(int pounds) { return static_cast<int>(std::trunc(pounds / 2.2)); }

int toPounds(int kilograms) { return static_cast<int>(std::trunc(kilograms * 2.2)); }

int maxKilograms()
{
    int kg = static_cast<int>(kMaxPounds / 2.2) + 1;
    while (kg > 0 && toPounds(kg) > kMaxPounds)
        --kg;
    return kg;
}

} // namespace cn::visits
