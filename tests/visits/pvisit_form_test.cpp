// The visit window as the doctor meets it: finding the patient, the visit
// shown, a new visit entered and saved with its numbers, a visit changed
// and deleted, the chamber resolved, the conversions, and what ends up in
// the table.
#include "visit_fixture.h"

#include "app/mainwindow.h"
#include "app/listedit.h"
#include "visits/renum_form.h"
#include "visits/rtf/rtf.h"

#include <QTimer>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QCheckBox>
#include <QTimeEdit>
#include <csignal>
#include <sys/resource.h>

namespace cn::testing {
namespace {

class PVisitTest : public VisitWindowTest {
protected:
    void SetUp() override
    {
        VisitWindowTest::SetUp();
        // Joan (code 2) has three visits, John (3) one, Zed (4) none.
        addPatient(2, "Joan", "Ark", "F", {1990, 1, 20}, "Teacher");
        addPatient(3, "John", "Doe", "M", {1970, 5, 5});
        addPatient(4, "Zed", "Zero", "M", {2000, 2, 2});
        addVisit({.visitNo = 1, .pvNo = 1, .patientCode = 2, .chamberCode = 2, .date = {2026, 1, 20}});
        addVisit({.visitNo = 2, .pvNo = 1, .patientCode = 3});
        addVisit({.visitNo = 3, .pvNo = 2, .patientCode = 2, .date = {2026, 3, 1}, .pounds = 160});
        addVisit({.visitNo = 4, .pvNo = 3, .patientCode = 2, .date = {2026, 5, 1}});
    }
    void answerDeleteYes() { program_->messages().answerYes(); }
    ScriptedMessages& messages() { return program_->messages(); }
};

TEST_F(PVisitTest, OpensOnTheFirstPatientFollowsTheViewMenuAndIsRefusedBesideTheQueryWindow)
{
    QAction* view = program_->mainWindow()->menuItem(QStringLiteral("WinPVisit"));
    view->setEnabled(false);
    PVisitForm* f = open();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Entry: Visit Details"));
    EXPECT_EQ(f->size(), QSize(966, 600));
    EXPECT_TRUE(view->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), box("TxtPatSeek"));
    // Joan is first by name: her first visit, the age on its day from the register.
    EXPECT_EQ(text("TxtPatFName"), QStringLiteral("Joan"));
    EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: 1"));
    EXPECT_EQ(text("TxtChName"), QStringLiteral("Telephone Consultation"));
    EXPECT_EQ(number("TxtPatAgeYrs"), 36);
    EXPECT_EQ(number("TxtPatAgeMnths"), 0);
    EXPECT_EQ(number("TxtPatAgeDays"), 0);
    EXPECT_EQ(ctl<RadioGroup>("TxtPatSex")->value(), 1);
    EXPECT_EQ(area(QStringLiteral("patnt"))->indexOrd(), 2);
    EXPECT_EQ(area(QStringLiteral("pvisit"))->indexOrd(), 4);
    EXPECT_EQ(area(QStringLiteral("pvisit"))->keyCount(), 3u) << "scoped to Joan";

    f->RELEASE_PVISIT();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(view->isEnabled());
    EXPECT_EQ(area(QStringLiteral("pvisit"))->keyCount(), 4u) << "the shared area is not left scoped";

    Form stats(QStringLiteral("Form_Stats"));
    PVISIT();
    EXPECT_EQ(window(), nullptr);
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Please close 'Report: Query/Stats' window first")});
    EXPECT_EQ(messages().last()->kind, MessageKind::Stop);
}

TEST_F(PVisitTest, SeekFindsTheFirstMatchingPatientAndShowsHisFirstVisit)
{
    open();
    seek(QStringLiteral("jo"));
    EXPECT_EQ(text("TxtPatFName"), QStringLiteral("Joan"));
    EXPECT_EQ(QApplication::focusWidget(), box("TxtPatSeek"));
    EXPECT_EQ(box("TxtPatSeek")->cursorPosition(), 2);
    seek(QStringLiteral("joh"));
    EXPECT_EQ(text("TxtPatFName"), QStringLiteral("John"));
    EXPECT_EQ(text("TxtPatCode"), QStringLiteral("3"));
    EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: 1"));
    EXPECT_EQ(number("TxtVisitNo"), 2);
    EXPECT_EQ(text("TxtChName"), QStringLiteral("Home Visit"));
    EXPECT_EQ(ctl<BrowseGrid>("Grid_PVisit")->model()->rowCount(), 1);
    // 150 lbs, 5 ft 7 in, as stored; the metric ones computed.
    EXPECT_EQ(number("TxtPatWeightLbs"), 150);
    EXPECT_EQ(number("TxtPatWeightKgs"), 68);
    EXPECT_EQ(number("TxtPatHeightMtrs"), 1);
    EXPECT_EQ(number("TxtPatHeightCm"), 70);
    EXPECT_EQ(ctl<RichTextBox>("TxtPatPres")->toPlainText(), QStringLiteral("Rest"));

    // Past the last name: no patient, no visits, blank fields.
    seek(QStringLiteral("zz"));
    EXPECT_EQ(text("TxtPatFName"), QString());
    EXPECT_EQ(number("TxtPatCode"), 0);
    EXPECT_EQ(ctl<BrowseGrid>("Grid_PVisit")->model()->rowCount(), 0);
    click("Append_PVisit");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Please select patient first")});
    EXPECT_FALSE(window()->entryMode());
}

TEST_F(PVisitTest, PatientWithoutVisitsShowsAnEmptyVisitAndANewOneIsSavedWithEveryField)
{
    open();
    seek(QStringLiteral("zed"));
    EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: 0"));
    EXPECT_EQ(text("TxtChName"), QString());
    EXPECT_EQ(number("TxtPatWeightLbs"), 0);
    EXPECT_TRUE(ctl<RichTextBox>("TxtPatPres")->toPlainText().isEmpty());
    click("Modify_PVisit");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("No data to process !!")});
    EXPECT_EQ(messages().last()->kind, MessageKind::Exclamation);
    messages().clear();

    click("Append_PVisit");
    ASSERT_TRUE(window()->entryMode());
    EXPECT_EQ(QApplication::focusWidget(), box("TxtChName"));
    EXPECT_EQ(ctl<DatePicker>("TxtVisitDt")->value(), QDate(2026, 6, 10)) << "today";
    EXPECT_EQ(ctl<QTimeEdit>("TxtVisitTm")->time(), QTime(10, 30));
    EXPECT_EQ(ctl<DatePicker>("TxtNextVisit")->value(), QDate(2026, 6, 10));
    EXPECT_EQ(number("TxtPatAgeYrs"), 26);
    EXPECT_EQ(number("TxtPatAgeMnths"), 4);
    EXPECT_EQ(number("TxtPatAgeDays"), 8);
    fillNewVisit("home visit");   // another letter case resolves as well
    typeAndLeave("TxtPatHeightFeet", QStringLiteral("5"));
    typeAndLeave("TxtPatHeightInch", QStringLiteral("7"));
    EXPECT_EQ(number("TxtPatHeightCm"), 70);
    typeAndLeave("TxtPatWeightKgs", QStringLiteral("68"));
    EXPECT_EQ(number("TxtPatWeightLbs"), 149);
    auto* notes = ctl<RichTextBox>("TxtPatNote1");
    notes->setHtml(QStringLiteral("<b>Bold</b> note"));
    retype("TxtPatNote", QStringLiteral("Consultation"));
    retype("TxtPatFees", QStringLiteral("350.5"));

    // Saving without touching the next-visit picker: today is not after today.
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Next Visit Date must be after current Visit Date")});
    EXPECT_TRUE(window()->entryMode());
    EXPECT_EQ(QApplication::focusWidget(), ctl<DatePicker>("TxtNextVisit")) ;
    messages().clear();
    // Cleared with its check box: no next visit.
    QCheckBox* none = ctl<DatePicker>("TxtNextVisit")->noneCheck();
    ASSERT_NE(none, nullptr);
    QTest::mouseClick(none, Qt::LeftButton);
    EXPECT_TRUE(ctl<DatePicker>("TxtNextVisit")->isEmpty());
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Append Successful")});
    EXPECT_EQ(messages().last()->kind, MessageKind::Exclamation);
    EXPECT_FALSE(window()->entryMode());
    EXPECT_FALSE(window()->LNEW);
    EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: 1"));
    EXPECT_EQ(number("TxtVisitNo"), 5);

    data::WorkArea* v = storedVisit(5);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->num("PVNO"), 1);
    EXPECT_EQ(v->num("PATCODE"), 4);
    EXPECT_EQ(v->num("CHCODE"), 1);
    EXPECT_EQ(v->date("VISITDT"), (data::Date{2026, 6, 10}));
    EXPECT_EQ(fieldText(*v, QStringLiteral("VISITTM")), QStringLiteral("10:30:00"));
    EXPECT_EQ(v->num("VISITTYPE"), 1);
    EXPECT_EQ(fieldText(*v, QStringLiteral("PATSEX")), QStringLiteral("M"));
    EXPECT_EQ(v->num("PATYRS"), 26);
    EXPECT_EQ(v->num("PATMNTHS"), 4);
    EXPECT_EQ(v->num("PATDAYS"), 8);
    EXPECT_EQ(v->num("PATHTFT"), 5);
    EXPECT_EQ(v->num("PATHTIN"), 7);
    EXPECT_EQ(v->num("PATWTLBS"), 149);
    EXPECT_EQ(v->num("PATFEES"), 350.5);
    EXPECT_EQ(v->num("PVSTATUS"), 1);
    EXPECT_EQ(fieldText(*v, QStringLiteral("PATNOTE")), QStringLiteral("Consultation"));
    EXPECT_TRUE(rtf::hasRtfHeader(QByteArray::fromStdString(v->memo("PATPRES"))));
    QTextDocument doc;
    rtf::read(QByteArray::fromStdString(v->memo("PATPRES")), &doc);
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("Paracetamol 500 mg"));
    EXPECT_EQ(v->memo("PATNOTE1"), "Bold note") << "the notes are kept as plain text";
    EXPECT_FALSE(v->logical("LNEXTVISIT"));
    EXPECT_TRUE(v->date("NEXTVISIT").empty());
}

TEST_F(PVisitTest, ChamberIsResolvedOnLeavingItsBoxAndRequiredOnSave)
{
    open();
    click("Append_PVisit");
    // Leaving the still empty box right after Append.
    QTest::keyClick(box("TxtChName"), Qt::Key_Tab);
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Chamber not found !!")});
    EXPECT_EQ(messages().last()->kind, MessageKind::Stop);
    messages().clear();
    fillNewVisit("Home Vist");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Chamber not found !!")});
    messages().clear();
    ctl<DatePicker>("TxtNextVisit")->setValue(QDate(2026, 7, 1));
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Please select Chamber !!")});
    EXPECT_EQ(QApplication::focusWidget(), box("TxtChName"));
    EXPECT_TRUE(window()->entryMode());
    EXPECT_EQ(numbersOf(2).size(), 3u) << "nothing written";

    // Corrected, and saved while the box still has the focus (a save that
    // does not leave it): resolved then.
    messages().clear();
    retype("TxtChName", QStringLiteral("HOME VISIT"));
    ASSERT_EQ(QApplication::focusWidget(), box("TxtChName"));
    window()->BT_SAVE_PVISIT();
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Append Successful")});
    EXPECT_EQ(window()->chamberCode(), 1);
}

TEST_F(PVisitTest, DeleteAsksByVisitNumberAndTheNextPvNumberFollowsTheLiveOnes)
{
    open();   // Joan: PV 1, 2, 3 (visits 1, 3, 4)
    auto* list = ctl<BrowseGrid>("Grid_PVisit");
    list->setValue(list->browseModel()->recordAt(2));
    EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: 3"));
    messages().answerNo();
    click("Delete_PVisit");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Delete 4 ??")}) << "the visit number, not the PV number";
    EXPECT_EQ(numbersOf(2).size(), 3u);
    messages().clear();
    answerDeleteYes();
    click("Delete_PVisit");
    EXPECT_EQ(numbersOf(2), (std::vector<std::pair<long long, long long>>{{1, 1}, {3, 2}}));
    EXPECT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: 1")) << "the patient's first visit shown";
    EXPECT_FALSE(window()->entryMode());
    EXPECT_EQ(window()->GETPVNO(), 3) << "the latest deleted: its PV number again";

    list->setValue(list->browseModel()->recordAt(1));
    messages().clear();
    answerDeleteYes();
    click("Delete_PVisit");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Delete 3 ??")});
    EXPECT_EQ(window()->GETPVNO(), 2);
    addVisit({.visitNo = 9, .pvNo = 3, .patientCode = 2});
    EXPECT_EQ(window()->GETPVNO(), 4) << "an earlier one deleted: after the highest";
}

TEST_F(PVisitTest, AfterRenumberingTheOpenWindowListsTheNewNumbersInPvOrder)
{
    addVisit({.visitNo = 5, .pvNo = 4, .patientCode = 2});
    open();   // Joan: PV 1, 2, 3, 4 (visits 1, 3, 4, 5)
    deleteRecord("pvisit01", storedVisit(3)->recNo());   // her PV 2
    auto* list = ctl<BrowseGrid>("Grid_PVisit");
    list->refresh();
    ASSERT_EQ(list->model()->rowCount(), 3);

    RENUMPVNO();
    auto* renum = form<RenumForm>(QStringLiteral("Form_ReNum"));
    ASSERT_NE(renum, nullptr);
    click("Button_1", "Form_ReNum");
    click("Button_2", "Form_ReNum");
    EXPECT_TRUE(messages().texts().isEmpty());

    EXPECT_EQ(area(QStringLiteral("pvisit"))->indexOrd(), 4) << "the window's order given back";
    EXPECT_EQ(numbersOf(2), (std::vector<std::pair<long long, long long>>{{1, 1}, {4, 2}, {5, 3}}));
    ASSERT_EQ(list->model()->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        list->setValue(list->browseModel()->recordAt(row));
        EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: %1").arg(row + 1)) << row;
        EXPECT_EQ(list->model()->index(row, 0).data().toString().trimmed(), QString::number(row + 1)) << row;
    }
}

TEST_F(PVisitTest, ModifyKeepsTheNumbersAndCancelShowsTheStoredVisitAgain)
{
    open();
    auto* list = ctl<BrowseGrid>("Grid_PVisit");
    list->setValue(list->browseModel()->recordAt(1));   // PV 2, visit 3, 160 lbs
    click("Modify_PVisit");
    ASSERT_TRUE(window()->entryMode());
    EXPECT_EQ(window()->VISITTOEDIT, 3);
    // Tabbing through the metric boxes changes nothing: 160 lbs stays.
    for (const char* b : {"TxtPatHeightMtrs", "TxtPatHeightCm", "TxtPatWeightKgs"}) {
        box(b)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(box(b), Qt::Key_Tab);
    }
    EXPECT_EQ(number("TxtPatWeightLbs"), 160);
    EXPECT_EQ(number("TxtPatHeightInch"), 7);
    // Typed, then given up: Cancel shows the stored visit, not the typing.
    retype("TxtPatFees", QStringLiteral("999"));
    typeAndLeave("TxtPatWeightKgs", QStringLiteral("80"));
    EXPECT_EQ(number("TxtPatWeightLbs"), 176);
    click("Bt_Cancel");
    EXPECT_FALSE(window()->entryMode());
    EXPECT_EQ(number("TxtPatFees"), 300);
    EXPECT_EQ(number("TxtPatWeightLbs"), 160);
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(list->model()->rowCount(), 3) << "still the same patient's visits";

    click("Modify_PVisit");
    retype("TxtPatFees", QStringLiteral("450"));
    typeAndLeave("TxtPatWeightKgs", QStringLiteral("80"));
    ctl<ComboBox>("TxtPVStatus")->setValue(3);
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Modification Successful !!")});
    EXPECT_EQ(messages().last()->kind, MessageKind::Info);
    EXPECT_FALSE(window()->entryMode());
    EXPECT_EQ(pvNoLabel(), QStringLiteral("Patient Visit (PV) No.: 2")) << "the changed visit stays current";
    data::WorkArea* v = storedVisit(3);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->num("PVNO"), 2);
    EXPECT_EQ(v->num("PATFEES"), 450);
    EXPECT_EQ(v->num("PATWTLBS"), 176);
    EXPECT_EQ(v->num("PVSTATUS"), 3);
    EXPECT_EQ(v->num("CHCODE"), 1) << "the chamber code of the visit is kept";
    EXPECT_EQ(fieldText(*v, QStringLiteral("PATRACE")), QStringLiteral("Teacher")) << "the register's value copied";
    EXPECT_EQ(numbersOf(2).size(), 3u);
}

TEST_F(PVisitTest, RefusedSavesAndTheirStates)
{
    open();
    click("Append_PVisit");
    fillNewVisit();
    ctl<DatePicker>("TxtNextVisit")->setValue(QDate(2026, 7, 1));
    // The fee box lets in eight whole digits; the table holds seven.
    retype("TxtPatFees", QStringLiteral("12345678"));
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Fees cannot be more than 99,99,999.99 !!")});
    EXPECT_EQ(QApplication::focusWidget(), box("TxtPatFees"));
    EXPECT_TRUE(window()->entryMode());
    // More kilograms than the pounds field holds.
    messages().clear();
    retype("TxtPatFees", QStringLiteral("100"));
    typeAndLeave("TxtPatWeightKgs", QStringLiteral("500"));
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Weight cannot be more than 454 kgs !!")});
    EXPECT_EQ(number("TxtPatWeightKgs"), 0);
    EXPECT_EQ(number("TxtPatWeightLbs"), 0);
    // A prescription of blank lines is none.
    messages().clear();
    auto* pres = ctl<RichTextBox>("TxtPatPres");
    pres->setPlainText(QStringLiteral("  \n\t\n"));
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Please enter Prescription Details !!")});
    EXPECT_EQ(QApplication::focusWidget(), pres);
    EXPECT_TRUE(window()->entryMode());

    // The patient's checks give the entry up: a visit dated before the birth.
    messages().clear();
    pres->setPlainText(QStringLiteral("Rest"));
    ctl<DatePicker>("TxtVisitDt")->setValue(QDate(1989, 12, 31));
    EXPECT_EQ(number("TxtPatAgeYrs"), 0);
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Age cannot be Zero !!")});
    EXPECT_FALSE(window()->entryMode());
    EXPECT_FALSE(window()->LNEW);
    EXPECT_EQ(QApplication::focusWidget(), box("TxtPatSeek"));
    EXPECT_EQ(numbersOf(2).size(), 3u) << "nothing written";
}

// Changes a visit as another copy of the program would.
int changeInAnotherProgram(const QString& folder, uint32_t rec, double fees)
{
    return inAnotherProcess([&] {
        data::Workspace other(folder.toStdString());
        auto a = other.use("PVISIT.dbf", "pvisit", data::OpenMode{true, false});
        if (!a)
            return 1;
        data::WorkArea& v = **a;
        v.goTo(rec);
        const bool done = v.rlock() && v.setNum("PATFEES", fees) && v.commit();
        v.unlock();
        return done ? 0 : 2;
    });
}

TEST_F(PVisitTest, VisitChangedByAnotherCopyMeanwhileIsNotOverwritten)
{
    open();
    const uint32_t rec = ctl<BrowseGrid>("Grid_PVisit")->value();
    click("Modify_PVisit");
    typeAndLeave("TxtPatPulse", QStringLiteral("72"));
    ASSERT_EQ(changeInAnotherProgram(folder_.path(), rec, 777), 0);
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{changedElsewhereText()});
    EXPECT_TRUE(window()->entryMode());
    EXPECT_EQ(number("TxtPatFees"), 777) << "the stored values are shown";
    EXPECT_EQ(number("TxtPatPulse"), 0);
    data::WorkArea* v = storedVisit(1);
    EXPECT_EQ(v->num("PATPULSE"), 0) << "nothing written";
    EXPECT_FALSE(area(QStringLiteral("pvisit"))->isLocked(rec));

    messages().clear();
    typeAndLeave("TxtPatPulse", QStringLiteral("72"));
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Modification Successful !!")});
    v = storedVisit(1);
    EXPECT_EQ(v->num("PATPULSE"), 72);
    EXPECT_EQ(v->num("PATFEES"), 777) << "the other change is kept";
}

TEST_F(PVisitTest, PrintoutsPrintTheStoredVisitTheWindowShows)
{
    open();
    auto* list = ctl<BrowseGrid>("Grid_PVisit");
    list->setValue(list->browseModel()->recordAt(1));   // Joan's PV 2, visit 3
    // What the window hands the printouts is what the stored visit prints as.
    const VisitPrintView shown = window()->printView();
    const auto stored = loadVisitView(db(), 3);
    ASSERT_TRUE(stored) << stored.message();
    const VisitPrintView& s = stored.value();
    EXPECT_EQ(shown.TxtPatFName, s.TxtPatFName);
    EXPECT_EQ(shown.TxtPatCode, s.TxtPatCode);
    EXPECT_EQ(shown.TxtPatSex, s.TxtPatSex);
    EXPECT_EQ(shown.TxtPatAgeYrs, s.TxtPatAgeYrs);
    EXPECT_EQ(shown.TxtPatAgeMnths, s.TxtPatAgeMnths);
    EXPECT_EQ(shown.TxtPatAgeDays, s.TxtPatAgeDays);
    EXPECT_EQ(shown.Lb_PVNo, s.Lb_PVNo);
    EXPECT_EQ(shown.TxtVisitDt, s.TxtVisitDt);
    EXPECT_EQ(shown.TxtPatHeightCm, s.TxtPatHeightCm);
    EXPECT_EQ(shown.TxtPatWeightKgs, s.TxtPatWeightKgs);
    EXPECT_EQ(shown.TxtPatFees, s.TxtPatFees);
    QTextDocument a, b;
    rtf::read(shown.TxtPatPres, &a);
    rtf::read(s.TxtPatPres, &b);
    EXPECT_EQ(a.toPlainText(), b.toPlainText());

    // The button opens the print dialog for it (answered by closing it).
    bool opened = false;
    QTimer::singleShot(0, [&] {
        opened = IsWindowDefined(QStringLiteral("F1"));
        ReleaseWindow(QStringLiteral("F1"));
    });
    click("Print_PVisit");
    EXPECT_TRUE(opened);
}

// While it lives, the files of this process cannot grow: every append to a
// table, memo or index fails as on a full disk.
class FilesCannotGrow {
public:
    explicit FilesCannotGrow(const QString& largest)
    {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit cut = before_;
        cut.rlim_cur = static_cast<rlim_t>(QFileInfo(largest).size());
        ::setrlimit(RLIMIT_FSIZE, &cut);
    }
    ~FilesCannotGrow()
    {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit before_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(PVisitTest, FailedAppendKeepsTheNewEntryAndSavingAgainNeverChangesAnotherVisit)
{
    open();
    click("Modify_PVisit");   // Joan's PV 1, visit 1: its number is noted
    click("Bt_Cancel");
    click("Append_PVisit");
    fillNewVisit();
    ctl<DatePicker>("TxtNextVisit")->setValue(QDate());
    {
        const FilesCannotGrow full(QDir(folder_.path()).filePath(QStringLiteral("PVISIT.dbf")));
        click("Bt_Save");
    }
    ASSERT_EQ(messages().shown().size(), 1u);
    EXPECT_TRUE(messages().last()->text.startsWith(QStringLiteral("The visit could not be added !!")))
        << messages().last()->text.toStdString();
    EXPECT_EQ(messages().last()->kind, MessageKind::Stop);
    EXPECT_TRUE(window()->entryMode()) << "the entry is kept";
    EXPECT_TRUE(window()->LNEW) << "still a new visit";
    EXPECT_EQ(ctl<RichTextBox>("TxtPatPres")->toPlainText(), QStringLiteral("Paracetamol 500 mg"));
    EXPECT_EQ(numbersOf(2).size(), 3u) << "no visit added";

    messages().clear();
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Append Successful")});
    EXPECT_EQ(numbersOf(2).size(), 4u);
    data::WorkArea* first = storedVisit(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->memo("PATPRES"), "Rest") << "the visit noted before is untouched";
    EXPECT_EQ(first->num("PATFEES"), 300);
}

TEST_F(PVisitTest, VisitsHeldByAnotherCopyAreAskedAboutAndGivingUpKeepsTheEntry)
{
    Gate held, release;
    const pid_t pid = otherCopyHoldingVisits(folder_.path(), held, release);
    held.wait();
    open();
    click("Append_PVisit");
    fillNewVisit();
    ctl<DatePicker>("TxtNextVisit")->setValue(QDate());
    messages().answerYes();
    messages().answerNo();
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), (QStringList{visits::tableLockQuestion(), visits::tableLockQuestion()}));
    EXPECT_EQ(messages().last()->kind, MessageKind::YesNo);
    EXPECT_TRUE(window()->entryMode());
    EXPECT_TRUE(window()->LNEW);
    EXPECT_EQ(numbersOf(2).size(), 3u) << "nothing written";

    release.open();
    ASSERT_EQ(exitStatus(pid), 0);
    messages().clear();
    click("Bt_Save");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Append Successful")});
}

TEST_F(PVisitTest, TwoCopiesSavingForThePatientAtOnceGiveDistinctNumbers)
{
    constexpr int kMine = 12, kTheirs = 60;
    Gate gate;
    const pid_t other = otherCopySaving(folder_.path(), 2, kTheirs, gate);
    open();
    // On a busy machine the other copy may hold the table past the moment
    // the window waits: the retry question is then answered Yes, as the
    // doctor would, and each save must still end in one append.
    messages().onShow = [this](const ShownMessage& m) {
        if (m.text == visits::tableLockQuestion())
            messages().answerYes();
    };
    gate.open();
    for (int i = 0; i < kMine; ++i) {
        messages().clear();
        click("Append_PVisit");
        fillNewVisit();
        ctl<DatePicker>("TxtNextVisit")->setValue(QDate());
        click("Bt_Save");
        QStringList texts = messages().texts();
        texts.removeAll(visits::tableLockQuestion());
        ASSERT_EQ(texts, QStringList{QStringLiteral("Append Successful")}) << i;
    }
    messages().onShow = nullptr;
    ASSERT_EQ(exitStatus(other), 0);
    const auto numbers = numbersOf(2);
    ASSERT_EQ(numbers.size(), size_t(3 + kMine + kTheirs));
    expectDistinct(numbers);
}

} // namespace
} // namespace cn::testing
