#include "query/pvshow_form.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/resources.h"
#include "app/routines.h"
#include "app/settings.h"
#include "query/stats_form.h"
#include "visits/bmi.h"
#include "visits/rtf/rtf.h"
#include "visits/visit_details.h"
#include "visits/visit_records.h"

#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QTextDocument>

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_PVShow");
using K = ControlKind;

const QList<ControlDecl> kListFrame = {
    {"Frame_PVisit_01", K::Frame, 5, 5, 515, 240, "Patients Visits List"},
    {"Lb_PVNo", K::Label, 340, 173, 170, 25, "Patient Visit (PV) No.: "},
    ControlDecl{"Bt_Exit_PVisit", K::Button, 370, 210, 100, 28, "E&xit"},
};

// The body-mass index, where the visit window shows it.
const QList<ControlDecl> kAtAGlance = {
    ControlDecl{"Lb_PatBMI", K::Label, 15, 380, 72, 55}.right(),
};

// The six unit boxes, imperial first.
const char* const kUnitBoxes[6] = {"TxtPatHeightFeet", "TxtPatHeightInch", "TxtPatHeightMtrs",
                                   "TxtPatHeightCm", "TxtPatWeightLbs", "TxtPatWeightKgs"};

} // namespace

PVShowForm::PVShowForm(QWidget* owner) : Form(kForm, WindowType::Child, owner)
{
    setTitle(QStringLiteral("Report: Patient Visit Details"));
    setWindowIcon(ICON01());
    place(22, 74, 966, 600);
    setResizable(true);
    build(kListFrame);
    // The details frames are laid out as in the history window.
    build(VisitDetailsForm::measuresFrame(DetailsFor::History));
    build(VisitDetailsForm::notesFrame());
    build(VisitDetailsForm::feesFrame(DetailsFor::History));
    build(kAtAGlance);
    QWidget* exit = need(QStringLiteral("Bt_Exit_PVisit"));
    auto* pres = need<RichTextBox>(QStringLiteral("TxtPatPres"));
    auto* notes = need<RichTextBox>(QStringLiteral("TxtPatNote1"));
    for (const char* n : kUnitBoxes)
        (void)need<NumberBox>(QLatin1String(n));
    visits::followBmi(need<QLabel>(QStringLiteral("Lb_PatBMI")), box(kUnitBoxes[0]), box(kUnitBoxes[1]),
                      box(kUnitBoxes[4]));
    if (!faults().isEmpty())
        return;
    box("TxtPatFees")->setPicture(settings().numPicture(8, 2));
    control<QLineEdit>(QStringLiteral("TxtPatNote"))->setMaxLength(40);
    // The date of birth is shown, never picked: without the picker's
    // buttons the whole date fits.
    date("TxtPatDOB")->setCalendarPopup(false);
    date("TxtPatDOB")->setButtonSymbols(QAbstractSpinBox::NoButtons);
    contextMenu(pres, "ItC");
    contextMenu(notes, "ItC1");
    onAction(exit, [this] { release(); });
    onChange(date("TxtPatDOB"), [this] { CALC_PATAGE12(); });
    onChange(date("TxtVisitDt"), [this] { CALC_PATAGE12(); });
    // A unit box converts into the other units only when its value was
    // changed since it was shown: in this window, never (tabbing through
    // 68 kgs would otherwise show a stored 150 lbs as 149).
    for (int i = 0; i < 6; ++i) {
        NumberBox* b = box(kUnitBoxes[i]);
        onLeave(b, [this, b, i] {
            if (b->value() == noted_[i])
                return;
            if (i < 4)
                CONVERT_HEIGHT2(i < 2);
            else
                CONVERT_WEIGHT2(i == 4);
        });
    }
}

NumberBox* PVShowForm::box(const char* name) const { return control<NumberBox>(QLatin1String(name)); }
DatePicker* PVShowForm::date(const char* name) const { return control<DatePicker>(QLatin1String(name)); }

void PVShowForm::contextMenu(QTextEdit* text, const char* prefix)
{
    text->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* menu = new QMenu(text);
    const struct {
        const char* name;
        const char* caption;
        void (*run)(QTextEdit*);
    } items[] = {{"Cut", "C&ut", CUT_CLICK}, {"Copy", "&Copy", COPY_CLICK}, {"Paste", "&Paste", PASTE_CLICK}};
    for (const auto& item : items) {
        QAction* a = menu->addAction(QLatin1String(item.caption));
        a->setObjectName(QLatin1String(prefix) + QLatin1Char('_') + QLatin1String(item.name));
        connect(a, &QAction::triggered, text, [text, run = item.run] { run(text); });
    }
    menu->addSeparator();
    QAction* all = menu->addAction(QStringLiteral("&Select all"));
    connect(all, &QAction::triggered, text, [text] { SELECTALL_CLICK(text); });
    // The boxes are read-only: Cut and Paste have nothing to do, Copy needs a selection.
    connect(menu, &QMenu::aboutToShow, text, [text, menu] {
        const bool selected = text->textCursor().hasSelection();
        for (QAction* a : menu->actions()) {
            const QString name = a->objectName();
            if (name.endsWith(QLatin1String("_Copy")))
                a->setEnabled(selected);
            else if (name.endsWith(QLatin1String("_Cut")) || name.endsWith(QLatin1String("_Paste")))
                a->setEnabled(!text->isReadOnly());
        }
    });
    connect(text, &QWidget::customContextMenuRequested, menu,
            [text, menu](const QPoint& at) { menu->popup(text->viewport()->mapToGlobal(at)); });
}

void PVShowForm::load()
{
    data::WorkArea* v = area(StatsForm::kVisits);
    data::WorkArea* p = area(StatsForm::kPatients);
    data::WorkArea* c = area(StatsForm::kChambers);
    if (!v || v->eof())
        return;
    const bool patient = p && !p->eof();
    auto pText = [&](const char* field) { return patient ? fieldText(*p, QLatin1String(field)) : QString(); };
    auto setText = [this](const char* name, const QString& text) { control<QLineEdit>(QLatin1String(name))->setText(text); };
    const QSignalBlocker quietDob(date("TxtPatDOB")), quietVisitDate(date("TxtVisitDt"));

    control<QLabel>(QStringLiteral("Lb_PVNo"))
        ->setText(QStringLiteral("Patient Visit (PV) No.: ") + fieldText(*v, QStringLiteral("PVNO")));
    box("TxtPatCode")->setValue(patient ? p->num("PATCODE") : v->num("PATCODE"));
    setText("TxtPatFName", pText("PATFNAME"));
    setText("TxtPatLName", pText("PATLNAME"));
    control<RadioGroup>(QStringLiteral("TxtPatSex"))->setValue(pText("PATSEX") == QLatin1String("F") ? 1 : 2);
    setText("TxtPatRace", pText("PATRACE"));
    date("TxtPatDOB")->setValue(patient ? toQDate(p->date("PATDOB")) : QDate());

    box("TxtVisitNo")->setValue(v->num("VISITNO"));
    setText("TxtChName", c && !c->eof() && v->num("CHCODE") != 0 ? fieldText(*c, QStringLiteral("CHNAME")) : QString());
    date("TxtVisitDt")->setValue(toQDate(v->date("VISITDT")));
    control<QTimeEdit>(QStringLiteral("TxtVisitTm"))
        ->setTime(QTime::fromString(fieldText(*v, QStringLiteral("VISITTM")), QStringLiteral("HH:mm:ss")));
    control<RadioGroup>(QStringLiteral("TxtVisitType"))->setValue(static_cast<int>(v->num("VISITTYPE")));

    box("TxtPatHeightFeet")->setValue(v->num("PATHTFT"));
    box("TxtPatHeightInch")->setValue(v->num("PATHTIN"));
    CONVERT_HEIGHT2(true);
    box("TxtPatWeightLbs")->setValue(v->num("PATWTLBS"));
    CONVERT_WEIGHT2(true);
    box("TxtPatSys")->setValue(v->num("PATSYS"));
    box("TxtPatDias")->setValue(v->num("PATDIAS"));
    box("TxtPatPulse")->setValue(v->num("PATPULSE"));
    box("TxtPatTemp")->setValue(v->num("PATTEMP"));

    prescriptionCodec().read(*control<RichTextBox>(QStringLiteral("TxtPatPres"))->document(), v->memo("PATPRES"));
    setText("TxtPatNote", fieldText(*v, QStringLiteral("PATNOTE")));
    notesCodec().read(*control<RichTextBox>(QStringLiteral("TxtPatNote1"))->document(), v->memo("PATNOTE1"));
    box("TxtPatFees")->setValue(v->num("PATFEES"));
    control<ComboBox>(QStringLiteral("TxtPVStatus"))->setValue(static_cast<int>(v->num("PVSTATUS")));
    date("TxtNextVisit")->setValue(v->logical("LNEXTVISIT") ? toQDate(v->date("NEXTVISIT")) : QDate());

    CALC_PATAGE12();
    ENTRY_PVSHOW_ABLE(0);
}

void PVShowForm::CALC_PATAGE12()
{
    const QDate birth = date("TxtPatDOB")->value();
    const QDate at = date("TxtVisitDt")->value();
    box("TxtPatAgeYrs")->setValue(CALC_AGEYRS(birth, at));
    box("TxtPatAgeMnths")->setValue(CALC_AGEMNTHS(birth, at));
    box("TxtPatAgeDays")->setValue(CALC_AGEDAYS(birth, at));
}

void PVShowForm::CONVERT_HEIGHT2(bool fromImperial)
{
    convertHeightBoxes(box(kUnitBoxes[0]), box(kUnitBoxes[1]), box(kUnitBoxes[2]), box(kUnitBoxes[3]), fromImperial);
    for (int i = 0; i < 4; ++i)
        noted_[i] = box(kUnitBoxes[i])->value();
}

void PVShowForm::CONVERT_WEIGHT2(bool fromPounds)
{
    convertWeightBoxes(box(kUnitBoxes[4]), box(kUnitBoxes[5]), fromPounds);
    noted_[4] = box(kUnitBoxes[4])->value();
    noted_[5] = box(kUnitBoxes[5])->value();
}

void PVShowForm::ENTRY_PVSHOW_ABLE(int mode)
{
    const bool editable = mode != 0;
    for (const char* n : {"TxtVisitNo", "TxtPatCode", "TxtPatFName", "TxtPatLName", "TxtPatRace", "TxtPatAgeYrs",
                          "TxtPatAgeMnths", "TxtPatAgeDays", "TxtChName", "TxtPatHeightFeet", "TxtPatHeightInch",
                          "TxtPatHeightMtrs", "TxtPatHeightCm", "TxtPatWeightLbs", "TxtPatWeightKgs", "TxtPatSys",
                          "TxtPatDias", "TxtPatPulse", "TxtPatTemp", "TxtPatNote", "TxtPatFees"})
        control<QLineEdit>(QLatin1String(n))->setReadOnly(!editable);
    date("TxtPatDOB")->setReadOnly(!editable);
    for (const char* n : {"TxtPatPres", "TxtPatNote1"})
        control<QTextEdit>(QLatin1String(n))->setReadOnly(!editable);
    for (const char* n : {"TxtPatSex", "TxtVisitType", "TxtVisitDt", "TxtVisitTm", "TxtPVStatus", "TxtNextVisit"})
        control(QLatin1String(n))->setEnabled(editable);
}

void CUT_CLICK(QTextEdit* box) { box->cut(); }
void COPY_CLICK(QTextEdit* box) { box->copy(); }
void PASTE_CLICK(QTextEdit* box) { box->paste(); }
void SELECTALL_CLICK(QTextEdit* box) { box->selectAll(); }

void SHOW_PV()
{
    if (IsWindowDefined(kForm)) {
        DoMethod(kForm, QStringLiteral("SetFocus"));
        return;
    }
    // The visit the query list has selected.
    auto* stats = form<StatsForm>(QStringLiteral("Form_Stats"));
    data::WorkArea* v = area(StatsForm::kVisits);
    if (!stats || !v)
        return;
    const uint32_t rec = stats->control<BrowseGrid>(QStringLiteral("Grid_PVisits"))->value();
    if (rec == 0)
        return;
    v->goTo(rec);
    auto* w = new PVShowForm;
    w->load();
    w->center();
    w->activate();
}

} // namespace cn
