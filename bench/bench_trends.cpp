// The vitals trend chart of one patient with 1,000 visits in a visit table
// of 50,000 (2,500 with --quick; the patient's 1,000 either way), offscreen:
//   trends_open: TRENDS() from the history window on that patient up to a
//   painted chart, against a budget of 250 ms.
// No SQLite counterpart; it prints its own figures.
#include "bench/bench.h"
#include "bench/window_bench.h"

#include "app/database.h"
#include "app/forms.h"
#include "visits/pvhist_form.h"
#include "visits/trends_form.h"

#include <QApplication>
#include <QDate>

#include <algorithm>

#include <string>

namespace cn::bench {

namespace {

constexpr long kOwnVisits = 1000;
constexpr long long kPatient = 2;   // the first patient addPatients writes

// A patient seen every week or so for twenty years: now and then a measure
// not taken (a gap in its line), the height changing in the first years.
std::string makeFolderWithRegular(const std::string& folder, long others)
{
    std::string name;
    makeFolder(
        folder,
        [&] {
            name = addPatients(openToFill("PATNT.dbf", "patnt"), 100).front();
            data::WorkArea& a = openToFill("PVISIT.dbf", "pvisit");
            Rng rng(17);
            long visitNo = 0;
            long pvOf[102] = {};
            for (long i = 0; i < kOwnVisits + others; ++i) {
                // Every (others / 1000 + 1)-th visit is the patient's own.
                const bool own = i % (others / kOwnVisits + 1) == 0 && pvOf[kPatient] < kOwnVisits;
                const long code = own ? kPatient : 3 + static_cast<long>(rng.next() % 99);
                const long pv = ++pvOf[code];
                must(a.append(), "append visit");
                must(a.setNum("VISITNO", double(++visitNo)), "VISITNO");
                must(a.setNum("PVNO", double(pv)), "PVNO");
                must(a.setNum("PATCODE", double(code)), "PATCODE");
                must(a.setNum("CHCODE", 1), "CHCODE");
                const QDate day = QDate(2006, 1, 2).addDays(7 * (own ? pv : long(rng.next() % 1000)));
                must(a.setDate("VISITDT", {day.year(), day.month(), day.day()}), "VISITDT");
                must(a.setStr("VISITTM", "10:00:00"), "VISITTM");
                must(a.setNum("VISITTYPE", pv == 1 ? 1 : 2), "VISITTYPE");
                const int inches = 50 + static_cast<int>(std::min<long>(pv / 20, 18));
                must(a.setNum("PATHTFT", pv % 9 ? inches / 12 : 0), "PATHTFT");
                must(a.setNum("PATHTIN", pv % 9 ? inches % 12 : 0), "PATHTIN");
                must(a.setNum("PATWTLBS", pv % 13 ? 120 + double(rng.next() % 60) : 0), "PATWTLBS");
                must(a.setNum("PATSYS", pv % 17 ? 110 + double(rng.next() % 40) : 0), "PATSYS");
                must(a.setNum("PATDIAS", pv % 17 ? 70 + double(rng.next() % 20) : 0), "PATDIAS");
                must(a.setNum("PATPULSE", pv % 5 ? 60 + double(rng.next() % 40) : 0), "PATPULSE");
                must(a.setNum("PATTEMP", pv % 3 ? 97.5 + double(rng.next() % 30) / 10 : 0), "PATTEMP");
                must(a.setNum("PATFEES", 300), "PATFEES");
                must(a.setNum("PVSTATUS", 1), "PVSTATUS");
            }
        },
        {"patnt1", "patnt2", "pvisit1", "pvisit2", "pvisit3", "pvisit4", "pvisit5"});
    return name;
}

} // namespace

void runTrendsOpen(const Context& ctx)
{
    application();
    const long others = sized(49000, ctx.quick);
    const std::string name = makeFolderWithRegular(ctx.folder, others);
    PVHIST();
    auto* history = form<PVHistForm>(QStringLiteral("Form_PVHist"));
    if (!history)
        fail("PVHIST() did not open Form_PVHist");
    history->REFRESH_SEEK_PATPVHIST(QString::fromStdString(name));
    Figures f, cpu;
    for (int i = 0; i < 10; ++i) {
        TrendsForm* w = nullptr;
        measure(f, cpu, [&] {
            TRENDS();
            w = form<TrendsForm>(QStringLiteral("Form_Trends"));
            if (w)
                paintShown(w, "trends_open");
        });
        if (!w || w->patientCode() != kPatient || w->trends().visits != kOwnVisits)
            fail("trends_open: the chart does not show the patient's 1000 visits");
        ReleaseWindow(QStringLiteral("Form_Trends"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    print("trends_open",
          "visits=" + std::to_string(kOwnVisits + others) + " patient_visits=" + std::to_string(kOwnVisits), "opens",
          f, cpu, 250);
    ReleaseWindow(QStringLiteral("Form_PVHist"));
    endProgram();
}

namespace {
const Register r1("trends_open", runTrendsOpen);
} // namespace

} // namespace cn::bench
