#include "query/stats_form.h"
#include "visits/visit_details.h"

#include "app/clock.h"
#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/messages.h"
#include "app/resources.h"
#include "app/settings.h"
#include "app/text.h"
#include "masters/dbfmenu.h"
#include "print/printjob.h"
#include "print/stats_report.h"
#include "query/pvshow_form.h"
#include "query/stats_view.h"
#include "visits/visit_records.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QSignalBlocker>

#include <algorithm>

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_Stats");
using K = ControlKind;

// A caption of the left block (column 20, 98 wide), the right block (490,
// 78 wide) or a "To:" (27 wide), right-aligned 3 pixels below its box's row.
ControlDecl leftCaption(const char* name, const char* text, int row, int width = 98)
{
    return ControlDecl{name, K::Label, 20, row + 3, width, 20, text}.right();
}
ControlDecl rightCaption(const char* name, const char* text, int row)
{
    return ControlDecl{name, K::Label, 490, row + 3, 78, 20, text}.right();
}
ControlDecl toCaption(const char* name, int col, int row)
{
    return ControlDecl{name, K::Label, col, row + 3, 27, 20, "To:"}.right();
}
ControlDecl unit(const char* name, const QString& text, int col, int row, int width = 20)
{
    return ControlDecl{name, K::Label, col, row + 3, width, 20, text};
}
ControlDecl numeric(const char* name, int col, int row, int width, const char* picture)
{
    return ControlDecl{name, K::Numeric, col, row, width, 24, "", "", 0, picture}.right();
}
const QString kWordsTip = QStringLiteral("Enter words to search for separated by space(s)");

const QList<ControlDecl> kList = {
    {"Frame_PVisits_01", K::Frame, 5, 5, 895, 218, "Patient Visits"},
    {"Grid_PVisits", K::Browse, 15, 25, 875, 190},
};

const QList<ControlDecl> kLeftBlock = {
    {"Frame_Query", K::Frame, 5, 215, 895, 300, "Criteria"},
    leftCaption("Lb_DateFrom", "Date From:", 230),
    ControlDecl{"TxtDateFrom", K::Date, 120, 230, 90, 24}.size(8),
    toCaption("Lb_DateTo", 210, 230),
    ControlDecl{"TxtDateTo", K::Date, 240, 230, 90, 24}.size(8),
    {"ChkNextVisit", K::CheckBox, 340, 230, 90, 24, "Next Visit"},
    leftCaption("Lb_ChName", "Chamber:", 255),
    ControlDecl{"TxtChName", K::Text, 120, 255, 260, 24, "",
                "Click button ... to select Chamber. Append/Modify Chamber thru Setup:Chambers.", 40}.withPick(),
    leftCaption("Lb_PatCode", "Patient Code:", 280),
    numeric("TxtPatCode", 120, 280, 120, "9999999999"),
    leftCaption("Lb_Sex", "Sex:", 305),
    ControlDecl{"TxtSex", K::Combo, 120, 305, 50, 24}.withItems({"All", "F", "M"}).listHeight(100),
    leftCaption("Lb_AgeFrom", "Age From:", 330),
    numeric("TxtYrsFrom", 120, 330, 30, "999"),
    unit("Lb_YrsFrom", "Y", 151, 330, 14),
    numeric("TxtMnthsFrom", 165, 330, 30, "99"),
    unit("Lb_MnthsFrom", "M", 196, 330, 14),
    numeric("TxtDaysFrom", 210, 330, 30, "99"),
    unit("Lb_DaysFrom", "D", 241, 330, 14),
    toCaption("Lb_AgeTo", 280, 330),
    numeric("TxtYrsTo", 310, 330, 30, "999"),
    unit("Lb_YrsTo", "Y", 341, 330, 14),
    numeric("TxtMnthsTo", 355, 330, 30, "99"),
    unit("Lb_MnthsTo", "M", 386, 330, 14),
    numeric("TxtDaysTo", 400, 330, 30, "99"),
    unit("Lb_DaysTo", "D", 431, 330, 14),
    leftCaption("Lb_PatRace", "Background:", 355),
    {"TxtPatRace", K::Text, 120, 355, 260, 24, "", kWordsTip, 40},
    leftCaption("Lb_VisitType", "Visit Type:", 380),
    ControlDecl{"TxtVisitType", K::Combo, 120, 380, 100, 24}.withItems({"All", "New Case", "Follow-Up"}),
    leftCaption("Lb_PulseFrom", "Pulse From:", 405),
    numeric("TxtPulseFrom", 120, 405, 50, "999"),
    toCaption("Lb_PulseTo", 170, 405),
    numeric("TxtPulseTo", 200, 405, 50, "999"),
    unit("Lb_PulseUnit", "/min", 251, 405, 40),
    leftCaption("Lb_TempFrom", "Temp From:", 430),
    numeric("TxtTempFrom", 120, 430, 50, "999.9"),
    toCaption("Lb_TempTo", 170, 430),
    numeric("TxtTempTo", 200, 430, 50, "999.9"),
    unit("Lb_TempUnit", QStringLiteral("\u00B0F"), 251, 430, 40),
    leftCaption("Lb_SysFrom", "B.P. (Sys) From:", 455),
    numeric("TxtSysFrom", 120, 455, 50, "999"),
    toCaption("Lb_SysTo", 170, 455),
    numeric("TxtSysTo", 200, 455, 50, "999"),
    unit("Lb_SysUnit", "mmHg", 251, 455, 40),
    leftCaption("Lb_DiasFrom", "(Dias) From:", 480, 78),
    numeric("TxtDiasFrom", 120, 480, 50, "999"),
    toCaption("Lb_DiasTo", 170, 480),
    numeric("TxtDiasTo", 200, 480, 50, "999"),
    unit("Lb_DiasUnit", "mmHg", 251, 480, 40),
};

const QList<ControlDecl> kRightBlock = {
    rightCaption("Lb_HeightFrom", "Height From:", 230),
    numeric("TxtFtFrom", 570, 230, 30, "99"),
    unit("Lb_FtFrom", "ft", 601, 230, 18),
    numeric("TxtInFrom", 620, 230, 30, "99"),
    unit("Lb_InFrom", "in", 651, 230, 18),
    toCaption("Lb_HeightTo", 670, 230),
    numeric("TxtFtTo", 700, 230, 30, "99"),
    unit("Lb_FtTo", "ft", 731, 230, 18),
    numeric("TxtInTo", 750, 230, 30, "99"),
    unit("Lb_InTo", "in", 781, 230, 18),
    numeric("TxtMtFrom", 570, 255, 30, "99"),
    unit("Lb_MtFrom", "m", 601, 255, 18),
    numeric("TxtCmFrom", 620, 255, 30, "99"),
    unit("Lb_CmFrom", "cm", 651, 255, 18),
    toCaption("Lb_Height1To", 670, 255),
    numeric("TxtMtTo", 700, 255, 30, "99"),
    unit("Lb_MtTo", "m", 731, 255, 18),
    numeric("TxtCmTo", 750, 255, 30, "99"),
    unit("Lb_CmTo", "cm", 781, 255, 18),
    rightCaption("Lb_WeightFrom", "Weight From:", 280),
    numeric("TxtLbsFrom", 570, 280, 50, "999"),
    unit("Lb_LbsUnit", "lbs", 621, 280, 30),
    toCaption("Lb_LbsTo", 670, 280),
    numeric("TxtLbsTo", 700, 280, 50, "999"),
    unit("Lb_1LbsUnit", "lbs", 751, 280, 30),
    numeric("TxtKgsFrom", 570, 305, 50, "999"),
    unit("Lb_KgsUnit", "kgs", 621, 305, 30),
    toCaption("Lb_KgsTo", 670, 305),
    numeric("TxtKgsTo", 700, 305, 50, "999"),
    unit("Lb_1KgsUnit", "kgs", 751, 305, 30),
    {"Lb_SearchPresWords", K::Label, 490, 330, 300, 20, "Words in body of Prescription:"},
    ControlDecl{"TxtSearchWords1", K::Text, 490, 345, 300, 24, "", kWordsTip}.font("Arial", 9),
    {"Lb_SearchNotesWords", K::Label, 490, 370, 300, 20, "Words in Internal Notes:"},
    ControlDecl{"TxtSearchWords2", K::Text, 490, 385, 300, 24, "", kWordsTip}.font("Arial", 9),
    rightCaption("Lb_PVStatus", "Status:", 410),
    ControlDecl{"TxtPVStatus", K::Combo, 570, 410, 100, 24}.withItems(
        {"All", "Pending", "Transferred", "Cured", "Expired"}),
    {"Lb_PVSummary", K::Label, 490, 435, 300, 20, "Words in Narration:"},
    ControlDecl{"TxtPVSummary", K::Text, 490, 450, 300, 24, "", kWordsTip}.font("Arial", 9),
    rightCaption("Lb_FeesFrom", "Fees From:", 475),
    {"TxtFeesFrom", K::Numeric, 570, 475, 100, 24},
    toCaption("Lb_FeesTo", 670, 475),
    {"TxtFeesTo", K::Numeric, 700, 475, 100, 24},
};

const QList<ControlDecl> kButtons = {
    ControlDecl{"Bt_Search", K::Button, 125, 525, 100, 30, "&Search"}.font("MS Sans Serif", 9),
    ControlDecl{"Bt_Print", K::Button, 225, 525, 100, 30, "&Print"}.font("MS Sans Serif", 9),
    ControlDecl{"Bt_Reset", K::Button, 475, 525, 100, 30, "&Reset"}.font("MS Sans Serif", 9),
    ControlDecl{"Bt_Exit", K::Button, 725, 525, 100, 30, "E&xit"}.font("MS Sans Serif", 9),
};

// The list's sortable columns and their orders.
struct SortColumn {
    int column, order;
};
constexpr SortColumn kSortColumns[] = {
    {1, query::kByDateTime}, {3, query::kByVisitNo}, {6, query::kByPatientPvNo}, {14, query::kByNextVisit}};

QString related(const QString& alias, const char* field)
{
    data::WorkArea* a = area(alias);
    return a && !a->eof() ? fieldText(*a, QLatin1String(field)) : QString();
}

} // namespace

const QString StatsForm::kVisits = QStringLiteral("statpvisit");
const QString StatsForm::kPatients = QStringLiteral("statpatnt");
const QString StatsForm::kChambers = QStringLiteral("statchamber");

StatsForm::StatsForm(QWidget* owner) : Form(kForm, WindowType::Child, owner)
{
    setTitle(QStringLiteral("Report: Query/Stats"));
    setWindowIcon(ICON01());
    // Its own related areas on the tables: closed before a backup or restore.
    holdOwnTables();
    place(5, 5, 910, 595);
    setResizable(false);
    build(kList);
    build(kLeftBlock);
    build(kRightBlock);
    build(kButtons);
    grid_ = need<BrowseGrid>(QStringLiteral("Grid_PVisits"));
    listFrame_ = need<QGroupBox>(QStringLiteral("Frame_PVisits_01"));
    from_ = need<DatePicker>(QStringLiteral("TxtDateFrom"));
    to_ = need<DatePicker>(QStringLiteral("TxtDateTo"));
    nextVisit_ = need<QCheckBox>(QStringLiteral("ChkNextVisit"));
    chamber_ = need<TextBox>(QStringLiteral("TxtChName"));
    sex_ = need<ComboBox>(QStringLiteral("TxtSex"));
    visitType_ = need<ComboBox>(QStringLiteral("TxtVisitType"));
    status_ = need<ComboBox>(QStringLiteral("TxtPVStatus"));
    for (const char* n : {"TxtPatCode", "TxtYrsFrom", "TxtMnthsFrom", "TxtDaysFrom", "TxtYrsTo", "TxtMnthsTo",
                          "TxtDaysTo", "TxtPulseFrom", "TxtPulseTo", "TxtTempFrom", "TxtTempTo", "TxtSysFrom",
                          "TxtSysTo", "TxtDiasFrom", "TxtDiasTo", "TxtFtFrom", "TxtInFrom", "TxtFtTo", "TxtInTo",
                          "TxtMtFrom", "TxtCmFrom", "TxtMtTo", "TxtCmTo", "TxtLbsFrom", "TxtLbsTo", "TxtKgsFrom",
                          "TxtKgsTo", "TxtFeesFrom", "TxtFeesTo"})
        zeroed_ << need<NumberBox>(QLatin1String(n));
    words_ = needAll({"TxtPatRace", "TxtSearchWords1", "TxtSearchWords2", "TxtPVSummary"});
    QWidget* search = need(QStringLiteral("Bt_Search"));
    QWidget* print = need(QStringLiteral("Bt_Print"));
    QWidget* reset = need(QStringLiteral("Bt_Reset"));
    QWidget* exit = need(QStringLiteral("Bt_Exit"));
    if (!faults().isEmpty())
        return;

    for (const char* n : {"TxtFeesFrom", "TxtFeesTo"})
        number(n)->setPicture(settings().numPicture(8, 2));
    from_->setValue(today());
    to_->setValue(today());

    grid_->setAlias(kVisits);
    grid_->setColumns({
        fieldColumn(QStringLiteral("Date"), 90, QStringLiteral("VISITDT")),
        fieldColumn(QStringLiteral("Time"), 60, QStringLiteral("VISITTM")),
        fieldColumn(QStringLiteral("Visit No."), 100, QStringLiteral("VISITNO")),
        exprColumn(QStringLiteral("Chamber"), 150, [](const data::WorkArea&) { return related(kChambers, "CHNAME"); }),
        fieldColumn(QStringLiteral("PV No."), 60, QStringLiteral("PVNO")),
        fieldColumn(QStringLiteral("Patient Code"), 100, QStringLiteral("PATCODE")),
        exprColumn(QStringLiteral("First Name"), 100, [](const data::WorkArea&) { return related(kPatients, "PATFNAME"); }),
        exprColumn(QStringLiteral("Last Name"), 100, [](const data::WorkArea&) { return related(kPatients, "PATLNAME"); }),
        exprColumn(QStringLiteral("Sex"), 40, [](const data::WorkArea&) { return related(kPatients, "PATSEX"); }),
        fieldColumn(QStringLiteral("Yrs"), 50, QStringLiteral("PATYRS")),
        fieldColumn(QStringLiteral("Mnths"), 50, QStringLiteral("PATMNTHS")),
        fieldColumn(QStringLiteral("Days"), 50, QStringLiteral("PATDAYS")),
        exprColumn(QStringLiteral("Background"), 200, [](const data::WorkArea&) { return related(kPatients, "PATRACE"); }),
        fieldColumn(QStringLiteral("Next Visit"), 90, QStringLiteral("NEXTVISIT")),
        fieldColumn(QStringLiteral("Fees"), 100, QStringLiteral("PATFEES")),
    });
    onChange(grid_, [this] { UPDATE_RECFIGS(); });
    onDoubleClick(grid_, [] { SHOW_PV(); });
    onHeaderClick(grid_, [this](int column) { SHOWORDER(column); });
    connect(chamber_, &TextBox::pickRequested, this, [this] { GET_1CHAMBER(); });

    // A unit box converts into the other units only when its value was
    // changed: tabbing through 68 kgs must not turn 150 lbs into 149.
    const struct {
        const char* name;
        std::function<void()> convert;
    } converting[] = {
        {"TxtFtFrom", [this] { CONVERT_1HEIGHT(true); }},   {"TxtInFrom", [this] { CONVERT_1HEIGHT(true); }},
        {"TxtFtTo", [this] { CONVERT_1HEIGHT(true); }},     {"TxtInTo", [this] { CONVERT_1HEIGHT(true); }},
        {"TxtMtFrom", [this] { CONVERT_1HEIGHT(false); }},  {"TxtCmFrom", [this] { CONVERT_1HEIGHT(false); }},
        {"TxtMtTo", [this] { CONVERT_1HEIGHT(false); }},    {"TxtCmTo", [this] { CONVERT_1HEIGHT(false); }},
        {"TxtLbsFrom", [this] { CONVERT_1WEIGHT(true); }},  {"TxtLbsTo", [this] { CONVERT_1WEIGHT(true); }},
        {"TxtKgsFrom", [this] { CONVERT_1WEIGHT(false); }}, {"TxtKgsTo", [this] { CONVERT_1WEIGHT(false); }},
    };
    for (const auto& c : converting) {
        NumberBox* box = number(c.name);
        auto shown = std::make_shared<double>(0);
        onGotFocus(box, [box, shown] { *shown = box->value(); });
        onLeave(box, [box, shown, convert = c.convert] {
            if (box->value() != *shown)
                convert();
        });
    }

    onAction(search, [this] { BTN_SEARCH(); });
    onAction(print, [] { PRNSTATS(); });
    onAction(reset, [this] { BTN_RESET(); });
    onAction(exit, [this] { BTN_EXIT(); });
    onCloseQuery = [this] {
        BTN_EXIT();
        return false;
    };
}

StatsForm::~StatsForm() = default;

NumberBox* StatsForm::number(const char* name) { return control<NumberBox>(QLatin1String(name)); }

bool StatsForm::openAreas()
{
    visits_ = std::make_unique<PrivateArea>(db(), kVisits.toStdString());
    patients_ = std::make_unique<PrivateArea>(db(), kPatients.toStdString());
    chambers_ = std::make_unique<PrivateArea>(db(), kChambers.toStdString());
    for (auto r : {visits_->open("pvisit", {"pvisit1", "pvisit2", "pvisit3", "pvisit4", "pvisit5"}),
                   patients_->open("patnt", {"patnt1", "patnt2"}), chambers_->open("chamber", {"chamber1", "chamber2"})})
        if (!r) {
            MESGSTOP(QStringLiteral("The visits cannot be listed !!\n") + problemText(r.status()));
            return false;
        }
    // Every order's page counts are read with the window's opening, so that
    // a sort by a header later lists its first rows at once.
    if (data::WorkArea* v = area(kVisits))
        for (const SortColumn& s : kSortColumns)
            if (v->setOrder(s.order))
                (void)v->keyCount();
    SET_STATS_RELATIONS(true);
    for (const SortColumn& s : kSortColumns)
        grid_->browseModel()->setHeaderIcon(s.column, s.column == 1 ? ARROWDN2() : ARROWDN1());
    grid_->refresh();
    UPDATE_RECFIGS();
    return true;
}

void StatsForm::releasing()
{
    SET_STATS_RELATIONS(false);
    grid_->setArea(nullptr);
    grid_->setAlias(QString());
    visits_.reset();
    patients_.reset();
    chambers_.reset();
}

void StatsForm::SET_STATS_RELATIONS(bool on)
{
    data::WorkArea* v = area(kVisits);
    if (!v)
        return;
    const std::string previous = db().currentAlias();
    if (on) {
        for (const QString& alias : {kPatients, kChambers})
            if (data::WorkArea* a = area(alias))
                (void)a->setOrder(1);
        (void)v->setOrder(order_);
        v->setScope("F");
        (void)v->setRelation(kPatients.toStdString(), "'F'+str(patcode)");
        (void)v->setRelation(kChambers.toStdString(), "'F'+str(chcode)");
        v->goTop();
    } else {
        v->clearRelations();
    }
    if (!previous.empty())
        db().select(previous);
}

void StatsForm::UPDATE_RECFIGS()
{
    data::WorkArea* v = area(kVisits);
    if (!v)
        return;
    v->setScope("F");
    const int total = grid_->browseModel()->rowCount();
    const int row = grid_->value() != 0 ? grid_->currentIndex().row() + 1 : 0;
    const QString gap = QStringLiteral("      ");
    static_cast<QGroupBox*>(listFrame_)->setTitle(QStringLiteral("Patient Visits:") + gap + QStringLiteral("Total: ") +
                                                  QString::number(total) + gap + QStringLiteral("Found: ") +
                                                  QString::number(NCOUNTER) + gap + QStringLiteral("Rec No.: ") +
                                                  QString::number(row));
}

void StatsForm::SHOWORDER(int column)
{
    const auto sort = std::find_if(std::begin(kSortColumns), std::end(kSortColumns),
                                   [column](const SortColumn& s) { return s.column == column; });
    data::WorkArea* v = area(kVisits);
    if (sort == std::end(kSortColumns) || !v)
        return;
    const uint32_t selected = grid_->value();
    order_ = sort->order;
    for (const SortColumn& s : kSortColumns)
        grid_->browseModel()->setHeaderIcon(s.column, s.column == column ? ARROWDN2() : ARROWDN1());
    (void)v->setOrder(order_);
    v->setScope("F");
    if (narrowed_)
        (void)narrow(*narrowed_);   // the same visits in the new order
    v->goTop();
    grid_->refresh();
    if (selected != 0)
        grid_->setValue(selected);
    UPDATE_RECFIGS();
}

void StatsForm::GET_1CHAMBER()
{
    const std::optional<QString> chosen = DBFMENU(queryChamberPickList());
    data::WorkArea* x = area(QStringLiteral("xChamber"));
    if (!chosen || chosen->isEmpty() || !x || x->eof()) {
        chamber_->clear();
        NCHCODE = 0;
    } else {
        chamber_->setText(*chosen);
        NCHCODE = static_cast<long long>(x->num("CHCODE"));
    }
    raise();
    activateWindow();
    chamber_->setFocus(Qt::OtherFocusReason);
}

void StatsForm::CONVERT_1HEIGHT(bool fromImperial)
{
    for (const char* end : {"From", "To"})
        convertHeightBoxes(number(QByteArray("TxtFt").append(end).constData()),
                           number(QByteArray("TxtIn").append(end).constData()),
                           number(QByteArray("TxtMt").append(end).constData()),
                           number(QByteArray("TxtCm").append(end).constData()), fromImperial);
}

void StatsForm::CONVERT_1WEIGHT(bool fromPounds)
{
    for (const char* end : {"From", "To"})
        convertWeightBoxes(number(QByteArray("TxtLbs").append(end).constData()),
                           number(QByteArray("TxtKgs").append(end).constData()), fromPounds);
}

query::Criteria StatsForm::criteria() const
{
    auto n = [this](const char* name) { return control<NumberBox>(QLatin1String(name))->value(); };
    auto text = [this](const char* name) { return control<QLineEdit>(QLatin1String(name))->text(); };
    query::Criteria c;
    c.from = from_->value();
    c.to = to_->value();
    c.byNextVisit = static_cast<QCheckBox*>(nextVisit_)->isChecked();
    c.chamberCode = trimBlanks(chamber_->text()).isEmpty() ? 0 : NCHCODE;
    c.patientCode = static_cast<long long>(n("TxtPatCode"));
    c.sex = sex_->value();
    c.ageFrom = {int(n("TxtYrsFrom")), int(n("TxtMnthsFrom")), int(n("TxtDaysFrom"))};
    c.ageTo = {int(n("TxtYrsTo")), int(n("TxtMnthsTo")), int(n("TxtDaysTo"))};
    c.visitType = visitType_->value();
    c.pulseFrom = n("TxtPulseFrom");
    c.pulseTo = n("TxtPulseTo");
    c.tempFrom = n("TxtTempFrom");
    c.tempTo = n("TxtTempTo");
    c.sysFrom = n("TxtSysFrom");
    c.sysTo = n("TxtSysTo");
    c.diasFrom = n("TxtDiasFrom");
    c.diasTo = n("TxtDiasTo");
    c.feetFrom = int(n("TxtFtFrom"));
    c.inchesFrom = int(n("TxtInFrom"));
    c.feetTo = int(n("TxtFtTo"));
    c.inchesTo = int(n("TxtInTo"));
    c.poundsFrom = n("TxtLbsFrom");
    c.poundsTo = n("TxtLbsTo");
    c.feesFrom = n("TxtFeesFrom");
    c.feesTo = n("TxtFeesTo");
    c.raceWords = text("TxtPatRace");
    c.presWords = text("TxtSearchWords1");
    c.notesWords = text("TxtSearchWords2");
    c.narrationWords = text("TxtPVSummary");
    c.status = status_->value();
    return c;
}

std::optional<size_t> StatsForm::narrow(const query::Criteria& c)
{
    data::WorkArea* v = area(kVisits);
    if (!v)
        return std::nullopt;
    auto found = query::search(db(), c, order_);
    if (!found) {
        MESGSTOP(QStringLiteral("The visits cannot be searched !!\n") + problemText(found.status()));
        return std::nullopt;
    }
    CEXPR = query::filterText(c);
    v->setFilter(query::onlyFound(found.value()), CEXPR.toStdString());
    narrowed_ = c;
    const size_t n = found.value().records.size();
    // The list's rows are the records found, in its order: counted and
    // scrolled without walking the whole order past the filter.
    grid_->browseModel()->setRows(std::move(found.value().records));
    return n;
}

const std::vector<uint32_t>* StatsForm::foundRecords() const
{
    return grid_->browseModel()->givenRows();
}

void StatsForm::BTN_SEARCH()
{
    data::WorkArea* v = area(kVisits);
    if (!v)
        return;
    if (trimBlanks(chamber_->text()).isEmpty())
        NCHCODE = 0;
    const std::optional<size_t> found = narrow(criteria());
    if (!found)
        return;
    NCOUNTER = static_cast<long long>(*found);
    v->goTop();
    grid_->refresh();
    UPDATE_RECFIGS();
    MESGINFO(QStringLiteral("%1").arg(NCOUNTER, 10) + QStringLiteral(" records found"));
    if (NCOUNTER == 0) {
        v->clearFilter();
        narrowed_.reset();
        grid_->browseModel()->setRows(std::nullopt);
    }
    v->goTop();
    grid_->refresh();
    grid_->setValue(grid_->browseModel()->recordAt(0));
    UPDATE_RECFIGS();
}

void StatsForm::BTN_RESET()
{
    from_->setValue(today());
    to_->setValue(today());
    chamber_->clear();
    NCHCODE = 0;
    for (NumberBox* box : zeroed_)
        box->setValue(0);
    for (ComboBox* box : {sex_, visitType_, status_})
        box->setValue(1);
    for (QWidget* box : words_)
        static_cast<QLineEdit*>(box)->clear();
    BTN_SEARCH();
}

void StatsForm::BTN_EXIT()
{
    if (IsWindowDefined(QStringLiteral("Form_PVShow"))) {
        MESGSTOP(QStringLiteral("Please close 'Report: Patient Visit Details' window first"));
        DoMethod(QStringLiteral("Form_PVShow"), QStringLiteral("SetFocus"));
        return;
    }
    if (data::WorkArea* v = area(kVisits)) {
        v->clearFilter();
        narrowed_.reset();
        grid_->browseModel()->setRows(std::nullopt);
        v->goTop();
    }
    release();
}

void STATS()
{
    if (IsWindowDefined(kForm)) {
        DoMethod(kForm, QStringLiteral("SetFocus"));
        return;
    }
    if (IsWindowDefined(QStringLiteral("Form_PVisit"))) {
        MESGSTOP(QStringLiteral("Please close 'Entry: Visit Details' window first"));
        return;
    }
    if (IsWindowDefined(QStringLiteral("Form_PVHist"))) {
        MESGSTOP(QStringLiteral("Please close 'Entry: Patient History' window first"));
        return;
    }
    auto* w = new StatsForm;
    if (!w->faults().isEmpty() || !w->openAreas()) {
        w->release();
        return;
    }
    w->center();
    w->activate();
}

void PRNSTATS()
{
    auto* w = form<StatsForm>(kForm);
    data::WorkArea* v = area(StatsForm::kVisits);
    if (!w || !v)
        return;
    StatsReport report =
        query::statsReportOf(*v, area(StatsForm::kPatients), settings(), today(), w->foundRecords());
    PrintJob job;
    if (!job.SelectPrinter({}, true, w))
        return;   // cancelled: nothing is printed, nothing said
    if (!printStats(job, report, settings()))
        MESGSTOP(QStringLiteral("The report could not be printed !!"));
}

} // namespace cn
