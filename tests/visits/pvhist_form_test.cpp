// The history window beside the visit window: it starts on the visit
// window's patient and visit, pages through any patient's visits read-only,
// and never moves the visit window's areas, so that the visit window's
// Delete acts on the visit that window shows. And the chamber pick list as
// the visit window uses it, while the program goes on meanwhile.
#include "visit_fixture.h"

#include "app/mainwindow.h"
#include "masters/dbfmenu.h"
#include "visits/pvhist_form.h"

#include <QAction>
#include <QCheckBox>
#include <QTimer>

namespace cn::testing {
namespace {

class HistoryTest : public VisitWindowTest {
protected:
    void SetUp() override
    {
        VisitWindowTest::SetUp();
        addPatient(2, "Joan", "Ark", "F", {1990, 1, 20});
        addPatient(3, "John", "Doe", "M", {1970, 5, 5});
        addVisit({.visitNo = 1, .pvNo = 1, .patientCode = 2, .chamberCode = 2});
        addVisit({.visitNo = 2, .pvNo = 1, .patientCode = 3, .date = {2026, 2, 2}, .pounds = 200});
        addVisit({.visitNo = 3, .pvNo = 2, .patientCode = 2, .date = {2026, 3, 3}, .pounds = 160});
    }
    PVHistForm* history() const { return form<PVHistForm>(QStringLiteral("Form_PVHist")); }
    QLineEdit* historyBox(const char* name) const { return ctl<QLineEdit>(name, "Form_PVHist"); }
    ScriptedMessages& messages() { return program_->messages(); }

    // The visit window on Joan's PV 2, in modify mode, and the history opened from it.
    void openBoth()
    {
        open();
        auto* list = ctl<BrowseGrid>("Grid_PVisit");
        list->setValue(list->browseModel()->recordAt(1));
        click("Modify_PVisit");
        click("Bt_History");
        ASSERT_NE(history(), nullptr);
    }
};

TEST_F(HistoryTest, StartsOnTheVisitWindowsVisitAndPagesReadOnly)
{
    QAction* view = program_->mainWindow()->menuItem(QStringLiteral("WinPVHist"));
    view->setEnabled(false);
    openBoth();
    PVHistForm* h = history();
    EXPECT_EQ(h->windowTitle(), QStringLiteral("Entry: Patient History"));
    EXPECT_TRUE(view->isEnabled());
    EXPECT_EQ(historyBox("TxtPatFName")->text(), QStringLiteral("Joan"));
    EXPECT_EQ(number("TxtVisitNo", "Form_PVHist"), 3);
    EXPECT_EQ(ctl<QLabel>("Lb_PVNo", "Form_PVHist")->text(), QStringLiteral("Patient Visit (PV) No.: 2"));
    EXPECT_EQ(number("TxtPatWeightKgs", "Form_PVHist"), 72);
    EXPECT_EQ(ctl<QLabel>("Label_PatNote", "Form_PVHist")->text(), QStringLiteral("Summary"));
    EXPECT_FALSE(ctl<QWidget>("TxtSeek", "Form_PVHist")->isVisible());
    EXPECT_FALSE(ctl<QCheckBox>("ChkNextVisit", "Form_PVHist")->isVisible());
    for (const char* name : {"TxtPatFees", "TxtChName", "TxtPatWeightKgs", "TxtPatNote"})
        EXPECT_TRUE(historyBox(name)->isReadOnly()) << name;
    EXPECT_TRUE(ctl<RichTextBox>("TxtPatPres", "Form_PVHist")->isReadOnly());
    for (const char* name : {"TxtVisitDt", "TxtPVStatus", "TxtNextVisit", "TxtPatSex"})
        EXPECT_FALSE(ctl<QWidget>(name, "Form_PVHist")->isEnabled()) << name;

    // Its lists in visit-number order; another patient by the seek box.
    auto* visits = ctl<BrowseGrid>("Grid_PVisit", "Form_PVHist");
    EXPECT_EQ(visits->model()->rowCount(), 2);
    visits->setValue(visits->browseModel()->recordAt(0));
    EXPECT_EQ(number("TxtVisitNo", "Form_PVHist"), 1);
    EXPECT_EQ(historyBox("TxtChName")->text(), QStringLiteral("Telephone Consultation"));
    QLineEdit* seek = historyBox("TxtPatSeek");
    seek->setFocus();
    QTest::keyClicks(seek, QStringLiteral("joh"));
    EXPECT_EQ(historyBox("TxtPatFName")->text(), QStringLiteral("John"));
    EXPECT_EQ(number("TxtPatWeightLbs", "Form_PVHist"), 200);
    EXPECT_EQ(number("TxtPatWeightKgs", "Form_PVHist"), 90);
    // Leaving its read-only boxes converts nothing.
    QLineEdit* kgs = historyBox("TxtPatWeightKgs");
    kgs->setFocus(Qt::TabFocusReason);
    QTest::keyClick(kgs, Qt::Key_Tab);
    EXPECT_EQ(number("TxtPatWeightLbs", "Form_PVHist"), 200);

    // The visit window did not move: same patient, visit, order and scope.
    EXPECT_EQ(text("TxtPatFName"), QStringLiteral("Joan"));
    EXPECT_EQ(number("TxtVisitNo"), 3);
    data::WorkArea* shared = area(QStringLiteral("pvisit"));
    EXPECT_EQ(shared->indexOrd(), 4);
    EXPECT_EQ(shared->keyCount(), 2u) << "still scoped to Joan";
    EXPECT_EQ(area(QStringLiteral("patnt"))->indexOrd(), 2);
    EXPECT_EQ(fieldText(*area(QStringLiteral("patnt")), QStringLiteral("PATFNAME")), QStringLiteral("Joan"));

    // Closing the visit window closes the history with it, and its areas.
    window()->RELEASE_PVISIT();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(history(), nullptr);
    EXPECT_FALSE(view->isEnabled());
    EXPECT_EQ(area(PVHistForm::kVisits), nullptr);
}

TEST_F(HistoryTest, DeleteInTheVisitWindowActsOnItsOwnVisitWhateverTheHistoryShows)
{
    openBoth();
    QLineEdit* seek = historyBox("TxtPatSeek");
    seek->setFocus();
    QTest::keyClicks(seek, QStringLiteral("john"));
    ASSERT_EQ(number("TxtVisitNo", "Form_PVHist"), 2);
    click("Bt_Cancel");
    ASSERT_NE(history(), nullptr) << "the history stays open";
    messages().answerYes();
    click("Delete_PVisit");
    EXPECT_EQ(messages().texts(), QStringList{QStringLiteral("Delete 3 ??")});
    EXPECT_EQ(storedVisit(3), nullptr) << "the visit window's visit is deleted";
    EXPECT_NE(storedVisit(2), nullptr) << "the one the history shows is not";
    EXPECT_NE(storedVisit(1), nullptr);
    EXPECT_EQ(number("TxtVisitNo"), 1) << "Joan's first visit shown";
}

TEST_F(HistoryTest, OpenedWithoutTheVisitWindowStartsOnTheFirstPatient)
{
    PVHIST();
    ASSERT_NE(history(), nullptr);
    EXPECT_EQ(historyBox("TxtPatFName")->text(), QStringLiteral("Joan"));
    EXPECT_EQ(ctl<QLabel>("Lb_PVNo", "Form_PVHist")->text(), QStringLiteral("Patient Visit (PV) No.: 1"));
}

// ---------------------------------------------------------------- the pick list

class ChamberPickTest : public HistoryTest {
protected:
    // Runs `step` once the pick list is up, inside its wait.
    static void whenListed(std::function<void(DBFMenuForm*)> step)
    {
        QTimer::singleShot(0, [step] {
            auto* list = form<DBFMenuForm>(QStringLiteral("Form_DBFMenu"));
            ASSERT_NE(list, nullptr);
            step(list);
        });
    }
    static void typeSeek(DBFMenuForm* list, const QString& text)
    {
        auto* seek = list->findChild<QLineEdit*>(QStringLiteral("TxtSeek"));
        seek->clear();
        QTest::keyClicks(seek, text);
    }
    static void press(DBFMenuForm* list, const char* button)
    {
        QTest::mouseClick(list->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
    void pick() { ctl<TextBox>("TxtChName")->pickAction()->trigger(); }
};

TEST_F(ChamberPickTest, SelectOrExitPutsTheListsChamberIntoTheBox)
{
    open();
    click("Append_PVisit");
    EXPECT_TRUE(ctl<TextBox>("TxtChName")->pickAction()->isEnabled());
    // The list waits without stopping the program: the step below runs
    // from the program's events while the list is open.
    whenListed([&](DBFMenuForm* list) {
        EXPECT_EQ(list->windowTitle(), QStringLiteral("Chamber"));
        EXPECT_TRUE(window()->isVisible());
        typeSeek(list, QStringLiteral("te"));
        press(list, "Bt_SelectItem");
    });
    pick();
    EXPECT_EQ(text("TxtChName"), QStringLiteral("Telephone Consultation"));
    EXPECT_EQ(window()->focusWidget(), box("TxtChName")) << "the box takes the focus again";
    ASSERT_TRUE(showActive(window()));
    EXPECT_EQ(QApplication::focusWidget(), box("TxtChName"));
    QTest::keyClick(box("TxtChName"), Qt::Key_Tab);
    EXPECT_EQ(window()->chamberCode(), 2);
    EXPECT_TRUE(messages().texts().isEmpty());

    // Exit takes the chamber the list was left on.
    whenListed([&](DBFMenuForm* list) {
        typeSeek(list, QStringLiteral("ho"));
        press(list, "Bt_ExitMenu");
    });
    pick();
    EXPECT_EQ(text("TxtChName"), QStringLiteral("Home Visit"));

    // Read-only in browse mode, the pick button is off.
    click("Bt_Cancel");
    EXPECT_FALSE(ctl<TextBox>("TxtChName")->pickAction()->isEnabled());
}

TEST_F(ChamberPickTest, ResultIsDroppedWhenTheCallerClosedOrMovedOn)
{
    open();
    click("Append_PVisit");
    // The entry given up and another visit taken into modify mode meanwhile.
    whenListed([&](DBFMenuForm* list) {
        click("Bt_Cancel");
        click("Modify_PVisit");
        typeSeek(list, QStringLiteral("ho"));
        press(list, "Bt_SelectItem");
    });
    pick();
    ASSERT_TRUE(window()->entryMode());
    EXPECT_EQ(text("TxtChName"), QStringLiteral("Telephone Consultation")) << "the visit's own chamber stays";

    // The visit window closed meanwhile: nothing is written into it.
    whenListed([&](DBFMenuForm* list) {
        window()->RELEASE_PVISIT();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(window(), nullptr);
        press(list, "Bt_SelectItem");
    });
    pick();
    EXPECT_EQ(window(), nullptr);
    EXPECT_EQ(form<DBFMenuForm>(QStringLiteral("Form_DBFMenu")), nullptr);
}

} // namespace
} // namespace cn::testing
