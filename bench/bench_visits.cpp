// The visit window over a practice's career of data (100,000 patients and
// 1,000,000 visits, a twentieth with --quick), offscreen:
//   visit_open: PVISIT() up to a painted window, against a budget of 250 ms;
//   visit_seek: one keystroke in the patient seek box (the seek, the patient
//   list following it, the visit list scoped to the patient found, the
//   patient and the first visit shown, the window repainted), against one
//   frame, 16 ms;
//   visit_next_patient: the next patient chosen in the patient list, down
//   to his or her first visit shown and painted, against 16 ms.
// None has a SQLite counterpart; each prints its own figures.
#include "bench/bench.h"
#include "bench/window_bench.h"

#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "visits/pvisit_form.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <string>
#include <vector>

namespace cn::bench {

namespace {

const QString kForm = QStringLiteral("Form_PVisit");

PVisitForm* openVisits()
{
    PVISIT();
    auto* w = form<PVisitForm>(kForm);
    if (!w)
        fail("PVISIT() did not open Form_PVisit");
    paintShown(w, "Form_PVisit");   // the lists read and paint their visible rows now
    return w;
}

void closeVisits()
{
    ReleaseWindow(kForm);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

long patientsOf(const Context& ctx) { return sized(100000, ctx.quick); }
long visitsOf(const Context& ctx) { return sized(1000000, ctx.quick); }

// What a shown patient must look like: a first visit and its prescription
// (every patient with visits has one on the first).
void checkShown(PVisitForm* w, const char* workload)
{
    const QString label = w->findChild<QLabel*>(QStringLiteral("Lb_PVNo"))->text();
    const bool hasVisits = w->findChild<BrowseGrid*>(QStringLiteral("Grid_PVisit"))->value() != 0;
    if (hasVisits && !label.endsWith(QStringLiteral(": 1")))
        fail(std::string(workload) + ": the patient's first visit is not shown (" + label.toStdString() + ")");
    if (hasVisits && w->findChild<QTextEdit*>(QStringLiteral("TxtPatPres"))->toPlainText().isEmpty())
        fail(std::string(workload) + ": the first visit's prescription is not shown");
}

} // namespace

void runVisitOpen(const Context& ctx)
{
    application();
    const long n = patientsOf(ctx), m = visitsOf(ctx);
    makePractice(ctx.folder, n, m);
    Figures f, cpu;
    for (int i = 0; i < 10; ++i) {
        PVisitForm* w = nullptr;
        measure(f, cpu, [&] { w = openVisits(); });
        checkShown(w, "visit_open");
        closeVisits();
    }
    print("visit_open", practiceSizes(n, m), "opens", f, cpu, 250);
    endProgram();
}

void runVisitSeek(const Context& ctx)
{
    application();
    const long n = patientsOf(ctx), m = visitsOf(ctx);
    const std::vector<std::string> names = makePractice(ctx.folder, n, m);
    PVisitForm* w = openVisits();
    waitShown(w, "visit_seek");
    auto* seek = w->findChild<QLineEdit*>(QStringLiteral("TxtPatSeek"));
    auto* first = w->findChild<QLineEdit*>(QStringLiteral("TxtPatFName"));

    // Type the first letters of existing names one key at a time, spread
    // over the whole alphabet, then erase them again.
    Rng rng(5);
    Figures f, cpu;
    const int words = ctx.quick ? 50 : 200;
    for (int i = 0; i < words; ++i) {
        const std::string& name = names[size_t(rng.next() % names.size())];
        const QString typed = QString::fromStdString(name.substr(0, 4)).toLower();
        for (QChar c : typed)
            measure(f, cpu, [&] {
                seek->insert(QString(c));   // textChanged: SEEK_PATPVISIT
                w->repaint();
            });
        if (!first->text().toLower().startsWith(typed))
            fail("visit_seek: typing " + typed.toStdString() + " did not find a patient beginning so");
        checkShown(w, "visit_seek");
        while (!seek->text().isEmpty())
            measure(f, cpu, [&] {
                seek->backspace();
                w->repaint();
            });
    }
    print("visit_seek", practiceSizes(n, m), "keystrokes", f, cpu, 16);
    closeVisits();
    endProgram();
}

void runVisitNextPatient(const Context& ctx)
{
    application();
    const long n = patientsOf(ctx), m = visitsOf(ctx);
    const std::vector<std::string> names = makePractice(ctx.folder, n, m);
    PVisitForm* w = openVisits();
    waitShown(w, "visit_next_patient");
    auto* seek = w->findChild<QLineEdit*>(QStringLiteral("TxtPatSeek"));
    auto* patients = w->findChild<BrowseGrid*>(QStringLiteral("Grid_Patnt"));
    auto* code = w->findChild<QLineEdit*>(QStringLiteral("TxtPatCode"));

    // From places spread over the register, the arrow key down the list a
    // few patients at a time, as the doctor looks for the right one.
    Rng rng(9);
    Figures f, cpu;
    const int places = ctx.quick ? 50 : 200;
    for (int i = 0; i < places; ++i) {
        seek->setText(QString::fromStdString(names[size_t(rng.next() % names.size())]));
        patients->setFocus(Qt::OtherFocusReason);
        for (int step = 0; step < 5; ++step) {
            if (patients->browseModel()->rowOfCurrent() + 1 >= patients->model()->rowCount())
                break;   // the last patient: none follows
            const QString before = code->text();
            measure(f, cpu, [&] {
                QTest::keyClick(patients, Qt::Key_Down);   // changed: UPDATE_GRID_PVISIT
                w->repaint();
            });
            if (code->text() == before)
                fail("visit_next_patient: the arrow key did not choose the next patient");
            checkShown(w, "visit_next_patient");
        }
    }
    print("visit_next_patient", practiceSizes(n, m), "moves", f, cpu, 16);
    closeVisits();
    endProgram();
}

namespace {
const Register r1("visit_open", runVisitOpen);
const Register r2("visit_seek", runVisitSeek);
const Register r3("visit_next_patient", runVisitNextPatient);
} // namespace

} // namespace cn::bench
