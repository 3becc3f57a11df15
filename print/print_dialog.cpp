#include "print/print_dialog.h"

#include "app/database.h"
#include "app/messages.h"
#include "app/resources.h"
#include "app/settings.h"
#include "print/printjob.h"
#include "print/printouts.h"

#include <QCheckBox>
#include <QPushButton>

namespace cn {

namespace {

using K = ControlKind;

const QString kPrintForm = QStringLiteral("F1");
const QString kLetterheadForm = QStringLiteral("Prnt_Ltrhead");

// Both dialogs: modal, 200 x 200, not resizable, no system menu, the
// program's icon, Arial 10.
void shapeDialog(Form& f, const QString& title)
{
    f.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    f.setWindowModality(Qt::ApplicationModal);
    f.setTitle(title);
    f.setWindowIcon(ICON01());
    f.setFont(QFont(QStringLiteral("Arial"), 10));
    f.place(0, 0, 200, 200);
    f.setResizable(false);
}

// The Print and Exit buttons of both dialogs.
const QList<ControlDecl> kButtons = {
    {"Button_1", K::Button, 40, 85, 100, 28, "&Print"},
    {"Button_2", K::Button, 40, 125, 100, 28, "E&xit"},
};

void wireButtons(Form& f, const std::function<void()>& print)
{
    if (auto* b = f.need<QPushButton>(QStringLiteral("Button_1"))) {
        b->setDefault(true);
        QObject::connect(b, &QPushButton::clicked, &f, [print] { print(); });
    }
    if (auto* b = f.need<QPushButton>(QStringLiteral("Button_2")))
        QObject::connect(b, &QPushButton::clicked, &f, &Form::release);
}

QCheckBox* checked(Form& f, const char* name)
{
    QCheckBox* c = f.need<QCheckBox>(QLatin1String(name));
    if (c)
        c->setChecked(true);
    return c;
}

void openPrintDialog(PrintDialog::Printout printout, const VisitPrintView& visit)
{
    if (IsWindowDefined(kPrintForm))
        return;
    auto options = loadPrintOptions(db());
    if (!options) {
        MESGSTOP(QStringLiteral("The letterhead options could not be read !!\n\n") + problemText(options.status()));
        return;
    }
    auto* dialog = new PrintDialog(printout, visit, std::move(options.value()));
    dialog->center();
    dialog->activate();
}

} // namespace

PrintDialog::PrintDialog(Printout printout, VisitPrintView visit, PrintOptions options, QWidget* owner)
    : Form(kPrintForm, WindowType::Modal, owner), printout_(printout), visit_(std::move(visit)),
      options_(std::move(options))
{
    shapeDialog(*this, QStringLiteral("Print"));
    build({
        {"ChkLtrHd", K::CheckBox, 40, 5, 150, 28, "Letterhead"},
        {"CK1", K::CheckBox, 40, 45, 150, 28, "Preview"},
    });
    build(kButtons);
    letterhead_ = checked(*this, "ChkLtrHd");
    preview_ = checked(*this, "CK1");
    wireButtons(*this, [this] { printout_ == Printout::Prescription ? PRINT() : PRINTREC(); });
}

void PrintDialog::PRINT()
{
    PrintJob job;
    if (!job.SelectPrinter({}, preview_ && preview_->isChecked(), this))
        return;
    if (!printPrescription(job, visit_, options_, settings(), letterhead_ && letterhead_->isChecked()))
        MESGSTOP(QStringLiteral("The prescription could not be printed !!"));
}

void PrintDialog::PRINTREC()
{
    PrintJob job;
    if (!job.SelectPrinter({}, preview_ && preview_->isChecked(), this))
        return;
    // The words of the amount name the hundredth unit of the options record.
    settings().MCURRENCY2TEXT = options_.hundredthText;
    if (!printReceipt(job, visit_, options_, settings(), letterhead_ && letterhead_->isChecked()))
        MESGSTOP(QStringLiteral("The receipt could not be printed !!"));
}

void PRNPRES(const VisitPrintView& visit) { openPrintDialog(PrintDialog::Printout::Prescription, visit); }

void PRNRECPT(const VisitPrintView& visit) { openPrintDialog(PrintDialog::Printout::Receipt, visit); }

LetterheadPrintDialog::LetterheadPrintDialog(std::function<Letterhead()> letterhead, std::function<QString()> doctor,
                                             QWidget* owner)
    : Form(kLetterheadForm, WindowType::Modal, owner), letterhead_(std::move(letterhead)), doctor_(std::move(doctor))
{
    shapeDialog(*this, QStringLiteral("Curanote 1.0 - Letterhead"));
    build({{"CK1", K::CheckBox, 40, 45, 150, 28, "Preview"}});
    build(kButtons);
    preview_ = checked(*this, "CK1");
    wireButtons(*this, [this] { PRINTLTRHEAD(); });
}

void LetterheadPrintDialog::PRINTLTRHEAD()
{
    PrintJob job;
    if (!job.SelectPrinter({}, preview_ && preview_->isChecked(), this))
        return;
    if (!printLetterheadPage(job, letterhead_(), doctor_()))
        MESGSTOP(QStringLiteral("The letterhead could not be printed !!"));
}

void PRNLTRHEAD(std::function<Letterhead()> letterhead, std::function<QString()> doctor)
{
    if (IsWindowDefined(kLetterheadForm))
        return;
    auto* dialog = new LetterheadPrintDialog(std::move(letterhead), std::move(doctor));
    dialog->center();
    dialog->activate();
}

} // namespace cn
