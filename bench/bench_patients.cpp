// The patient register window over a large register (100,000 patients, a
// twentieth with --quick), offscreen:
//   patient_open: PATNT() up to a painted window, against a budget of 250 ms;
//   patient_seek: one keystroke in the seek box (the seek, the grid following
//   it, the edit frame reloading, the grid repainted), against one frame, 16 ms.
// Neither has a SQLite counterpart; each prints its own figures.
#include "bench/bench.h"
#include "bench/common.h"

#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "data/catalog.h"
#include "patients/patient_form.h"
#include "support/program_fixture.h"

#include <QApplication>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace cn::bench {

namespace {

// The shared fixture of the window tests, offscreen: a set-up data folder,
// the main window and scripted seams. It lives for the run of a workload.
std::unique_ptr<testing::ProgramFixture> program;

QApplication& application()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return testing::app();
}

std::string randomName(Rng& rng)
{
    std::string s(size_t(rng.range(4, 12)), ' ');
    for (auto& c : s)
        c = char('a' + rng.next() % 26);
    s[0] = char(s[0] - 'a' + 'A');
    return s;
}

// A data folder made by set-up whose register holds n patients, open as the
// program opens it. Returns the first names, for typing.
std::vector<std::string> makeRegister(const std::string& folder, long n)
{
    program.reset();
    program = std::make_unique<testing::ProgramFixture>(QString::fromStdString(folder));
    if (!program->setupMessages().empty())
        fail("set-up: " + program->setupMessages().front());

    // Filled exclusive and indexed afterwards, as fast as the engine allows;
    // the figures below are about the window, not about filling.
    db().closeAll();
    for (const char* ix : {"patnt1", "patnt2"})
        must(db().erase(data::catalog::findIndex(ix)->fileName()), "erase patient index");
    auto opened = db().use("PATNT.dbf", "patnt");
    if (!opened)
        fail("open PATNT.dbf: " + opened.message());
    data::WorkArea& a = *opened.value();
    Rng rng(11);
    std::vector<std::string> firstNames;
    for (long i = 0; i < n; ++i) {
        firstNames.push_back(randomName(rng));
        must(a.append(), "append");
        must(a.setNum("PATCODE", double(i + 2)), "PATCODE");
        must(a.setStr("PATFNAME", firstNames.back()), "PATFNAME");
        must(a.setStr("PATLNAME", randomName(rng)), "PATLNAME");
        must(a.setStr("PATSEX", i % 2 ? "F" : "M"), "PATSEX");
        must(a.setDate("PATDOB", {1950 + int(i % 60), 1 + int(i % 12), 1 + int(i % 28)}), "PATDOB");
        must(a.setStr("PATCITY", "Kolkata"), "PATCITY");
    }
    for (const char* ix : {"patnt1", "patnt2"}) {
        const auto* def = data::catalog::findIndex(ix);
        must(a.createIndex(def->fileName(), def->key), def->fileName().c_str());
    }
    program->reopen();
    return firstNames;
}

// Milliseconds of this thread's own CPU time spent in f. On a loaded machine
// the wall time also counts waiting for a core; this does not.
double cpuMs(const std::function<void()>& f)
{
    timespec a{}, b{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
    f();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
    return double(b.tv_sec - a.tv_sec) * 1000 + double(b.tv_nsec - a.tv_nsec) / 1e6;
}

struct Figures {
    std::vector<double> ms;
    double mean() const
    {
        double s = 0;
        for (double v : ms)
            s += v;
        return ms.empty() ? 0 : s / double(ms.size());
    }
    double quantile(double q) const
    {
        if (ms.empty())
            return 0;
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
    }
    double max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Wall-clock figures, then the same work in CPU time (cpu_*); the verdict
// is on the wall-clock maximum.
void print(const char* name, long patients, const char* what, const Figures& f, const Figures& cpu,
           double budgetMs)
{
    std::printf("%s patients=%ld %s=%zu mean_ms=%.3f p50_ms=%.3f p99_ms=%.3f max_ms=%.3f cpu_mean_ms=%.3f "
                "cpu_p99_ms=%.3f cpu_max_ms=%.3f budget_ms=%.0f %s\n",
                name, patients, what, f.ms.size(), f.mean(), f.quantile(0.5), f.quantile(0.99), f.max(), cpu.mean(),
                cpu.quantile(0.99), cpu.max(), budgetMs, f.max() <= budgetMs ? "within" : "OVER");
    std::fflush(stdout);
}

// Times f both ways into the two sets of figures.
void measure(Figures& wall, Figures& cpu, const std::function<void()>& f)
{
    double c = 0;
    wall.ms.push_back(1000 * timeIt([&] { c = cpuMs(f); }));
    cpu.ms.push_back(c);
}

PatientForm* openRegister()
{
    PATNT();
    auto* w = form<PatientForm>(QStringLiteral("Form_Patient"));
    if (!w)
        fail("PATNT() did not open Form_Patient");
    w->repaint();   // the grid reads and paints its visible rows now
    return w;
}

void closeRegister()
{
    ReleaseWindow(QStringLiteral("Form_Patient"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

void runPatientOpen(const Context& ctx)
{
    application();
    const long n = sized(100000, ctx.quick);
    makeRegister(ctx.folder, n);
    Figures f, cpu;
    for (int i = 0; i < 10; ++i) {
        measure(f, cpu, [] { openRegister(); });
        closeRegister();
    }
    print("patient_open", n, "opens", f, cpu, 250);
    program.reset();
}

void runPatientSeek(const Context& ctx)
{
    application();
    const long n = sized(100000, ctx.quick);
    const std::vector<std::string> names = makeRegister(ctx.folder, n);
    PatientForm* w = openRegister();
    auto* seek = w->control<QLineEdit>(QStringLiteral("TxtSeek"));
    auto* grid = w->control<BrowseGrid>(QStringLiteral("Grid_Patient"));
    if (!seek || !grid)
        fail("Form_Patient has no TxtSeek or Grid_Patient");

    // Type the first letters of existing names one key at a time, spread over
    // the whole alphabet (a name late in the order is the costly case for a
    // grid that numbers its rows by position), then erase them again.
    Rng rng(5);
    Figures f, cpu;
    const int words = ctx.quick ? 50 : 200;
    uint32_t landed = 0;
    for (int i = 0; i < words; ++i) {
        const std::string& name = names[size_t(rng.next() % names.size())];
        const QString typed = QString::fromStdString(name.substr(0, 4)).toLower();
        for (QChar c : typed) {
            measure(f, cpu, [&] {
                seek->insert(QString(c));   // textChanged: SEEK_PATIENT
                grid->repaint();
            });
        }
        if (grid->value() != 0)
            ++landed;
        while (!seek->text().isEmpty()) {
            measure(f, cpu, [&] {
                seek->backspace();
                grid->repaint();
            });
        }
    }
    if (landed != static_cast<uint32_t>(words))
        fail("patient_seek: a typed name did not select a row");
    print("patient_seek", n, "keystrokes", f, cpu, 16);

    // What a keystroke pays for once: the grid numbers the selected row by
    // the record's position in the order (ORDKEYNO), here at the last row,
    // the farthest from the top.
    data::WorkArea* a = area(QStringLiteral("patnt"));
    Figures last, lastCpu;
    for (int i = 0; i < 5; ++i) {
        a->goBottom();
        measure(last, lastCpu, [&] { (void)a->keyNo(); });
    }
    print("patient_seek_keyno_last_row", n, "calls", last, lastCpu, 16);
    closeRegister();
    program.reset();
}

namespace {
const Register r1("patient_open", runPatientOpen);
const Register r2("patient_seek", runPatientSeek);
} // namespace

} // namespace cn::bench
