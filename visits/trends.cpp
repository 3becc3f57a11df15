#include "visits/trends.h"

#include "app/database.h"
#include "app/routines.h"
#include "visits/visit_records.h"

namespace cn::visits {

QString measureName(Measure m)
{
    switch (m) {
    case Measure::Weight: return QStringLiteral("Weight (kg)");
    case Measure::Systolic: return QStringLiteral("Systolic (mmHg)");
    case Measure::Diastolic: return QStringLiteral("Diastolic (mmHg)");
    case Measure::Pulse: return QStringLiteral("Pulse (/min)");
    case Measure::Temperature: return QStringLiteral("Temperature (\u00B0F)");
    case Measure::Height: return QStringLiteral("Height (cm)");
    }
    return {};
}

size_t TrendSeries::points() const
{
    size_t n = 0;
    for (const auto& r : runs)
        n += r.size();
    return n;
}

std::array<TrendSeries, kMeasures> trendSeries(const std::vector<VisitVitals>& visits)
{
    std::array<TrendSeries, kMeasures> out;
    for (int i = 0; i < kMeasures; ++i)
        out[static_cast<size_t>(i)].measure = static_cast<Measure>(i);
    // Whether the previous visit extended each measure's last run.
    std::array<bool, kMeasures> open{};
    int lastHeight = 0;
    for (const VisitVitals& v : visits) {
        const Metric m = toMetric(v.feet, v.inches);
        const int cm = m.metres * 100 + m.centimetres;
        std::array<double, kMeasures> values = {
            static_cast<double>(toKilograms(v.pounds)), v.systolic, v.diastolic, v.pulse, v.temperature, 0};
        for (int i = 0; i < kMeasures - 1; ++i) {
            auto& s = out[static_cast<size_t>(i)];
            const double value = values[static_cast<size_t>(i)];
            if (value <= 0) {
                open[static_cast<size_t>(i)] = false;
                continue;
            }
            if (!open[static_cast<size_t>(i)])
                s.runs.emplace_back();
            s.runs.back().push_back({v.date, v.visitNo, v.pvNo, value});
            open[static_cast<size_t>(i)] = true;
        }
        // Heights: one line through the changes; an unmeasured visit is
        // neither a change nor a gap.
        if (cm > 0 && cm != lastHeight) {
            auto& h = out[static_cast<size_t>(Measure::Height)];
            if (h.runs.empty())
                h.runs.emplace_back();
            h.runs.back().push_back({v.date, v.visitNo, v.pvNo, static_cast<double>(cm)});
            lastHeight = cm;
        }
    }
    return out;
}

data::Result<Trends> loadTrends(data::Workspace& ws, long long patientCode)
{
    Trends t;
    t.patientCode = patientCode;
    {
        PrivateArea patientArea(ws, "trends_patnt");
        auto p = patientArea.open("patnt", {"patnt1"});
        if (!p)
            return p.status();
        if (p.value()->seek(patientKey(patientCode)))
            t.patientName = (fieldText(*p.value(), QStringLiteral("PATFNAME")) + QLatin1Char(' ')
                             + fieldText(*p.value(), QStringLiteral("PATLNAME"))).trimmed();
        else if (!p.value()->lastError().empty())
            return data::Status::error(data::ErrorCode::Damaged, p.value()->lastError());
    }
    PrivateArea visitArea(ws, "trends_pvisit");
    auto opened = openPatientVisits(visitArea, patientCode);
    if (!opened)
        return opened.status();
    data::WorkArea& v = *opened.value();
    std::vector<VisitVitals> visits;
    for (v.goTop(); !v.eof(); v.skip(1)) {
        VisitVitals x;
        x.date = toQDate(v.date("VISITDT"));
        if (!x.date.isValid())
            continue;
        x.visitNo = static_cast<long long>(v.num("VISITNO"));
        x.pvNo = static_cast<long long>(v.num("PVNO"));
        x.feet = static_cast<int>(v.num("PATHTFT"));
        x.inches = static_cast<int>(v.num("PATHTIN"));
        x.pounds = static_cast<int>(v.num("PATWTLBS"));
        x.systolic = v.num("PATSYS");
        x.diastolic = v.num("PATDIAS");
        x.pulse = v.num("PATPULSE");
        x.temperature = v.num("PATTEMP");
        visits.push_back(x);
    }
    if (!v.lastError().empty())
        return data::Status::error(data::ErrorCode::Damaged, v.lastError());
    t.visits = static_cast<int>(visits.size());
    if (!visits.empty()) {
        t.first = visits.front().date;
        t.last = visits.back().date;
        for (const VisitVitals& x : visits) {
            t.first = std::min(t.first, x.date);
            t.last = std::max(t.last, x.date);
        }
    }
    t.series = trendSeries(visits);
    return t;
}

QString trendsTitle(const Trends& t)
{
    QString title = t.patientName.isEmpty() ? QStringLiteral("Patient") : t.patientName;
    title += QStringLiteral(" (Code %1)").arg(t.patientCode);
    if (t.first.isValid())
        title += QStringLiteral(", %1 - %2").arg(DDMONYY(t.first), DDMONYY(t.last));
    return title;
}

} // namespace cn::visits
