#pragma once
// What the window workloads share: the program's window fixture offscreen on
// a large data folder filled as fast as the engine allows, random names, and
// the figures they print. A window workload has no SQLite counterpart; it
// prints its own line against a budget:
//   NAME SIZES COUNT=N mean_ms=.. p50_ms=.. p99_ms=.. max_ms=.. cpu_mean_ms=..
//   cpu_p99_ms=.. cpu_max_ms=.. budget_ms=B within|OVER
#include "bench/bench.h"
#include "bench/common.h"
#include "support/program_fixture.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QApplication;
class QWidget;

namespace cn::bench {

QApplication& application();

// The fixture of the window tests: a set-up data folder, the main window and
// scripted seams. It lives for the run of a workload.
testing::ProgramFixture& program();
void endProgram();

// Sets up `folder` with the fixture, closes every table, runs `fill` (which
// opens what it fills, exclusive), rebuilds the named indexes from their
// tables and opens the folder again as the program does.
void makeFolder(const std::string& folder, const std::function<void()>& fill,
                const std::vector<std::string>& rebuiltIndexes);
// The table opened under its alias for filling (exclusive, by the fixture's
// closed folder); the workload fails when it does not open.
data::WorkArea& openToFill(const std::string& file, const std::string& alias);
// Fills the open exclusive patient table with n patients coded 2 .. n + 1;
// returns their first names in code order.
std::vector<std::string> addPatients(data::WorkArea& patnt, long n);
std::string randomName(Rng& rng);
// A practice's career of data for the windows: n patients (addPatients) and
// m visits spread over them (VisitGenerator, seed 3), each patient's first
// visit with a prescription; every visit index built. Returns the patients'
// first names, for typing.
std::vector<std::string> makePractice(const std::string& folder, long patients, long visits);
// "patients=N visits=M", the sizes column of such a workload's line.
std::string practiceSizes(long patients, long visits);

// Waits, untimed, until the platform has shown the window: before that its
// repaint() paints nothing, and a step timed up to the repaint would time no
// painting at all.
void waitShown(QWidget* window, const char* workload);
// The same inside a timed step that opens the window: the platform's events
// are taken until it is shown, without the sleeps of a test's wait, then it
// is painted; the step's time is then that of a window on the screen.
void paintShown(QWidget* window, const char* workload);

struct Figures {
    std::vector<double> ms;
    double mean() const;
    double quantile(double q) const;
    double max() const;
};
// Times f into both sets of figures: wall clock, and this thread's own CPU
// time (on a loaded machine the wall time also counts waiting for a core).
void measure(Figures& wall, Figures& cpu, const std::function<void()>& f);
// One line of figures; the verdict is on the wall-clock maximum.
void print(const char* name, const std::string& sizes, const char* what, const Figures& f, const Figures& cpu,
           double budgetMs);

} // namespace cn::bench
