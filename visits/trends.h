#pragma once
// The figures of the vitals trend chart, without a window: a patient's live
// visits in visit order and, for each measure, the runs of visits at which
// it was measured. A value of 0 is "not measured" and ends a run, so the
// chart leaves a gap there instead of dropping to zero. The height is kept
// only where it changed (its first measurement included): a height taken
// at every visit says nothing new. Weights and heights go through the
// visit record's conversions (kilograms truncated, whole centimetres).
#include "data/status.h"
#include "data/workspace.h"

#include <QDate>
#include <QString>

#include <array>
#include <vector>

namespace cn::visits {

struct TrendSample {
    QDate date;
    long long visitNo = 0;
    long long pvNo = 0;
    double value = 0;
};

enum class Measure { Weight, Systolic, Diastolic, Pulse, Temperature, Height };
inline constexpr int kMeasures = 6;
// "Weight (kg)", "Systolic (mmHg)" ...: the series' names in the legend.
QString measureName(Measure m);

struct TrendSeries {
    Measure measure = Measure::Weight;
    std::vector<std::vector<TrendSample>> runs;   // consecutive measured visits
    bool empty() const { return runs.empty(); }
    size_t points() const;
};

struct Trends {
    long long patientCode = 0;
    QString patientName;           // first and last name, as the register has them
    QDate first, last;             // the dates of the first and last visit shown
    int visits = 0;                // live visits read
    std::array<TrendSeries, kMeasures> series;
    const TrendSeries& of(Measure m) const { return series[static_cast<size_t>(m)]; }
};

// One visit as read from the table.
struct VisitVitals {
    QDate date;
    long long visitNo = 0, pvNo = 0;
    int feet = 0, inches = 0, pounds = 0;
    double systolic = 0, diastolic = 0, pulse = 0, temperature = 0;
};

// The series of visits given in visit order.
std::array<TrendSeries, kMeasures> trendSeries(const std::vector<VisitVitals>& visits);

// The patient's live visits in order of their PV number, read through
// private areas so that no window's area moves; the patient's name from the
// register. A visit without a date is left out (it has no place on the
// time axis).
data::Result<Trends> loadTrends(data::Workspace& ws, long long patientCode);

// "Ravi Kumar (Code 12), 3 Jan 2025 - 8 Dec 2026": the printout's title.
QString trendsTitle(const Trends& t);

} // namespace cn::visits
