// The patient register window over a large register (100,000 patients, a
// twentieth with --quick), offscreen:
//   patient_open: PATNT() up to a painted window, against a budget of 250 ms;
//   patient_seek: one keystroke in the seek box (the seek, the grid following
//   it, the edit frame reloading, the grid repainted), against one frame, 16 ms.
// Neither has a SQLite counterpart; each prints its own figures.
#include "bench/bench.h"
#include "bench/window_bench.h"

#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "patients/patient_form.h"
#include <QApplication>
#include <QLineEdit>

#include <string>
#include <vector>

namespace cn::bench {

namespace {

std::string sizes(long patients) { return "patients=" + std::to_string(patients); }

// A data folder made by set-up whose register holds n patients, open as the
// program opens it. Returns the first names, for typing.
std::vector<std::string> makeRegister(const std::string& folder, long n)
{
    std::vector<std::string> firstNames;
    makeFolder(
        folder,
        [&] {
            firstNames = addPatients(openToFill("PATNT.dbf", "patnt"), n);
        },
        {"patnt1", "patnt2"});
    return firstNames;
}

PatientForm* openRegister()
{
    PATNT();
    auto* w = form<PatientForm>(QStringLiteral("Form_Patient"));
    if (!w)
        fail("PATNT() did not open Form_Patient");
    paintShown(w, "Form_Patient");   // the grid reads and paints its visible rows now
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
    print("patient_open", sizes(n), "opens", f, cpu, 250);
    endProgram();
}

void runPatientSeek(const Context& ctx)
{
    application();
    const long n = sized(100000, ctx.quick);
    const std::vector<std::string> names = makeRegister(ctx.folder, n);
    PatientForm* w = openRegister();
    waitShown(w, "patient_seek");
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
    print("patient_seek", sizes(n), "keystrokes", f, cpu, 16);

    // What a keystroke pays for once: the grid numbers the selected row by
    // the record's position in the order (ORDKEYNO), here at the last row,
    // the farthest from the top.
    data::WorkArea* a = area(QStringLiteral("patnt"));
    Figures last, lastCpu;
    for (int i = 0; i < 5; ++i) {
        a->goBottom();
        measure(last, lastCpu, [&] { (void)a->keyNo(); });
    }
    print("patient_seek_keyno_last_row", sizes(n), "calls", last, lastCpu, 16);
    closeRegister();
    endProgram();
}

namespace {
const Register r1("patient_open", runPatientOpen);
const Register r2("patient_seek", runPatientSeek);
} // namespace

} // namespace cn::bench
