#include "query/stats_view.h"

#include "app/database.h"

#include <memory>

namespace cn::query {

data::Condition onlyFound(const Found& found)
{
    auto members = std::make_shared<std::vector<bool>>();
    for (uint32_t r : found.records) {
        if (r >= members->size())
            members->resize(size_t(r) + 1, false);
        (*members)[r] = true;
    }
    return [members](data::WorkArea& a) {
        const uint32_t r = a.recNo();
        return r < members->size() && (*members)[r];
    };
}

StatsReport statsReportOf(data::WorkArea& visits, data::WorkArea* patients, const Settings& settings,
                          const QDate& printedOn, const std::vector<uint32_t>* rows)
{
    StatsReport report;
    report.doctor = settings.MCOMPANY;
    report.printedOn = printedOn;
    report.ruleEnd = statsRuleEnd();
    // The view's records one after the other: walked, or gone to.
    size_t next = 0;
    auto first = [&] {
        next = 0;
        if (rows)
            visits.goTo(rows->empty() ? visits.lastRec() + 1 : rows->front());
        else
            visits.goTop();
    };
    auto advance = [&] {
        if (rows)
            visits.goTo(++next < rows->size() ? (*rows)[next] : visits.lastRec() + 1);
        else
            visits.skip(1);
    };
    for (first(); !visits.eof(); advance())
        report.totalFees += visits.num("PATFEES");
    for (first(); !visits.eof(); advance()) {
        StatsLine l;
        l.visitDate = toQDate(visits.date("VISITDT"));
        l.patientCode = static_cast<long long>(visits.num("PATCODE"));
        l.pvNo = static_cast<long long>(visits.num("PVNO"));
        l.years = static_cast<int>(visits.num("PATYRS"));
        l.months = static_cast<int>(visits.num("PATMNTHS"));
        l.days = static_cast<int>(visits.num("PATDAYS"));
        l.fees = visits.num("PATFEES");
        l.nextVisit = toQDate(visits.date("NEXTVISIT"));
        if (patients && patients->seek("F" + data::strNum(static_cast<double>(l.patientCode), 10))) {
            l.firstName = fieldText(*patients, QStringLiteral("PATFNAME"));
            l.lastName = fieldText(*patients, QStringLiteral("PATLNAME"));
            l.sex = fieldText(*patients, QStringLiteral("PATSEX"));
        }
        report.lines.push_back(std::move(l));
    }
    return report;
}

} // namespace cn::query
