#include "bench/window_bench.h"

#include "app/database.h"
#include "data/catalog.h"
#include "visits/rtf/rtf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWindow>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace cn::bench {

namespace {
std::unique_ptr<testing::ProgramFixture> fixture;

// A prescription as the editor writes it: a few formatted paragraphs.
std::string prescriptionRtf()
{
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("Complaints: "), bold);
    c.insertText(QStringLiteral("fever for three days, dry cough, body ache."));
    c.insertBlock();
    c.insertText(QStringLiteral("Rx "), bold);
    c.insertText(QStringLiteral("Paracetamol 500 mg one tablet thrice daily after food for five days."));
    c.insertBlock();
    c.insertText(QStringLiteral("Advice: plenty of fluids, rest, review after a week if not better."));
    return rtf::write(doc).toStdString();
}
} // namespace

QApplication& application()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return testing::app();
}

testing::ProgramFixture& program()
{
    if (!fixture)
        fail("no data folder made for the workload");
    return *fixture;
}

void endProgram() { fixture.reset(); }

std::string randomName(Rng& rng)
{
    std::string s(size_t(rng.range(4, 12)), ' ');
    for (auto& c : s)
        c = char('a' + rng.next() % 26);
    s[0] = char(s[0] - 'a' + 'A');
    return s;
}

void makeFolder(const std::string& folder, const std::function<void()>& fill,
                const std::vector<std::string>& rebuiltIndexes)
{
    fixture.reset();
    fixture = std::make_unique<testing::ProgramFixture>(QString::fromStdString(folder));
    if (!fixture->setupMessages().empty())
        fail("set-up: " + fixture->setupMessages().front());
    // Filled exclusive and indexed afterwards, as fast as the engine allows;
    // the figures are about the windows, not about filling.
    db().closeAll();
    for (const std::string& ix : rebuiltIndexes)
        must(db().erase(data::catalog::findIndex(ix)->fileName()), "erase index");
    fill();
    for (const std::string& ix : rebuiltIndexes) {
        const auto* def = data::catalog::findIndex(ix);
        const auto& table = data::catalog::table(def->table);
        data::WorkArea* a = db().area(table.name);
        if (!a)
            fail("the filled table " + table.name + " is not open");
        must(a->createIndex(def->fileName(), def->key), def->fileName().c_str());
    }
    fixture->reopen();
}

data::WorkArea& openToFill(const std::string& file, const std::string& alias)
{
    auto used = db().use(file, alias);
    if (!used)
        fail("open " + file + ": " + used.message());
    return *used.value();
}

std::vector<std::string> addPatients(data::WorkArea& a, long n)
{
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
    return firstNames;
}

std::vector<std::string> makePractice(const std::string& folder, long patients, long visits)
{
    std::vector<std::string> names;
    makeFolder(
        folder,
        [&] {
            names = addPatients(openToFill("PATNT.dbf", "patnt"), patients);
            data::WorkArea& a = openToFill("PVISIT.dbf", "pvisit");
            const std::string rx = prescriptionRtf();
            VisitGenerator gen(3, int(patients), 0);
            for (long i = 0; i < visits; ++i) {
                const Visit g = gen.next();
                must(a.append(), "append visit");
                must(a.setNum("VISITNO", double(g.visitno)), "VISITNO");
                must(a.setNum("PVNO", double(g.pvno)), "PVNO");
                must(a.setNum("CHCODE", double(1 + g.chcode % 2)), "CHCODE");
                must(a.setDate("VISITDT", g.visitdt), "VISITDT");
                must(a.setStr("VISITTM", g.visittm), "VISITTM");
                must(a.setNum("VISITTYPE", g.visittype), "VISITTYPE");
                must(a.setNum("PATCODE", double(g.patcode + 1)), "PATCODE");   // patients are coded from 2
                must(a.setStr("PATSEX", g.patsex), "PATSEX");
                must(a.setNum("PATYRS", g.patyrs), "PATYRS");
                must(a.setNum("PATMNTHS", g.patmnths), "PATMNTHS");
                must(a.setNum("PATDAYS", g.patdays), "PATDAYS");
                if (g.lnextvisit) {
                    must(a.setLogical("LNEXTVISIT", true), "LNEXTVISIT");
                    must(a.setDate("NEXTVISIT", g.nextvisit), "NEXTVISIT");
                }
                must(a.setNum("PATHTFT", g.pathtft), "PATHTFT");
                must(a.setNum("PATHTIN", g.pathtin), "PATHTIN");
                must(a.setNum("PATWTLBS", g.patwtlbs), "PATWTLBS");
                must(a.setNum("PATSYS", g.patsys), "PATSYS");
                must(a.setNum("PATDIAS", g.patdias), "PATDIAS");
                must(a.setNum("PATPULSE", g.patpulse), "PATPULSE");
                must(a.setNum("PATTEMP", g.pattemp), "PATTEMP");
                must(a.setStr("PATNOTE", g.patnote), "PATNOTE");
                must(a.setNum("PATFEES", g.patfees), "PATFEES");
                must(a.setNum("PVSTATUS", g.pvstatus), "PVSTATUS");
                if (g.pvno == 1)
                    must(a.setMemo("PATPRES", rx), "PATPRES");
            }
        },
        {"patnt1", "patnt2", "pvisit1", "pvisit2", "pvisit3", "pvisit4", "pvisit5"});
    return names;
}

std::string practiceSizes(long patients, long visits)
{
    return "patients=" + std::to_string(patients) + " visits=" + std::to_string(visits);
}

void waitShown(QWidget* window, const char* workload)
{
    if (!QTest::qWaitForWindowExposed(window))
        fail(std::string(workload) + ": the window was never shown");
    window->repaint();
}

void paintShown(QWidget* window, const char* workload)
{
    QElapsedTimer waited;
    waited.start();
    while (!window->windowHandle() || !window->windowHandle()->isExposed()) {
        if (waited.elapsed() > 5000)
            fail(std::string(workload) + ": the window was never shown");
        QCoreApplication::processEvents();
    }
    window->repaint();
}

double Figures::mean() const
{
    double s = 0;
    for (double v : ms)
        s += v;
    return ms.empty() ? 0 : s / double(ms.size());
}

double Figures::quantile(double q) const
{
    if (ms.empty())
        return 0;
    std::vector<double> v = ms;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

double Figures::max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }

namespace {
double cpuMs(const std::function<void()>& f)
{
    timespec a{}, b{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
    f();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
    return double(b.tv_sec - a.tv_sec) * 1000 + double(b.tv_nsec - a.tv_nsec) / 1e6;
}
} // namespace

void measure(Figures& wall, Figures& cpu, const std::function<void()>& f)
{
    double c = 0;
    wall.ms.push_back(1000 * timeIt([&] { c = cpuMs(f); }));
    cpu.ms.push_back(c);
}

void print(const char* name, const std::string& sizes, const char* what, const Figures& f, const Figures& cpu,
           double budgetMs)
{
    std::printf("%s %s %s=%zu mean_ms=%.3f p50_ms=%.3f p99_ms=%.3f max_ms=%.3f cpu_mean_ms=%.3f "
                "cpu_p99_ms=%.3f cpu_max_ms=%.3f budget_ms=%.0f %s\n",
                name, sizes.c_str(), what, f.ms.size(), f.mean(), f.quantile(0.5), f.quantile(0.99), f.max(),
                cpu.mean(), cpu.quantile(0.99), cpu.max(), budgetMs, f.max() <= budgetMs ? "within" : "OVER");
    std::fflush(stdout);
}

} // namespace cn::bench
