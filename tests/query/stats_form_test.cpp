// The query window and its detail window as a user checks them: default
// criteria find today's visits, a search that finds nothing shows the count
// and then every visit, sorting keeps the selected visit, the detail window
// shows one visit read-only and keeps the query window open, and the report
// goes to the preview with the summary on a new page when page 1 is full.
#include "query_fixture.h"

#include "app/controls.h"
#include "app/forms.h"
#include "app/grid.h"
#include "print/fakedialogs.h"
#include "print/printedpages.h"
#include "query/pvshow_form.h"
#include "query/stats_form.h"
#include "visits/pvisit_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace cn::testing {
namespace {

class StatsFormTest : public QueryTest {
protected:
    StatsForm* stats() const { return form<StatsForm>(QStringLiteral("Form_Stats")); }
    template <class T = QWidget>
    T* ctl(const char* name, const char* window = "Form_Stats") const
    {
        T* w = qobject_cast<T*>(control(QLatin1String(window), QLatin1String(name)));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    BrowseGrid* list() const { return ctl<BrowseGrid>("Grid_PVisits"); }
    QString caption() const { return ctl<QGroupBox>("Frame_PVisits_01")->title(); }
    void click(const char* name, const char* window = "Form_Stats")
    {
        QTest::mouseClick(ctl<QPushButton>(name, window), Qt::LeftButton);
    }
    QStringList shownTexts() { return program_->messages().texts(); }
    std::vector<uint32_t> listed() const
    {
        std::vector<uint32_t> out;
        for (int r = 0; r < list()->model()->rowCount(); ++r)
            out.push_back(list()->browseModel()->recordAt(r));
        return out;
    }
};

TEST_F(StatsFormTest, DefaultSearchFindsTodaysVisitsAndNoMatchShowsTheCountAndEveryVisit)
{
    const uint32_t today = addVisit({.visitNo = 1});
    const uint32_t earlier = addVisit({.visitNo = 2, .date = {2026, 6, 1}, .next = {2026, 6, 10}});
    STATS();
    ASSERT_NE(stats(), nullptr);
    EXPECT_EQ(listed(), (std::vector<uint32_t>{earlier, today})) << "every live visit in date order at opening";
    EXPECT_EQ(list()->browseModel()->rowTexts(0).at(6), QStringLiteral("Asha")) << "the patient through the relation";

    click("Bt_Search");
    EXPECT_EQ(program_->messages().last()->text, QStringLiteral("         1 records found"));
    EXPECT_EQ(listed(), std::vector<uint32_t>{today});
    EXPECT_EQ(caption(), QStringLiteral("Patient Visits:      Total: 1      Found: 1      Rec No.: 1"));
    EXPECT_FALSE(stats()->BFILTER().isEmpty());

    ctl<QCheckBox>("ChkNextVisit")->setChecked(true);
    click("Bt_Search");
    EXPECT_EQ(listed(), std::vector<uint32_t>{earlier}) << "Next Visit: today's visit has none";

    ctl<DatePicker>("TxtDateFrom")->setValue(QDate(2026, 6, 11));
    click("Bt_Search");
    EXPECT_EQ(program_->messages().last()->text, QStringLiteral("         0 records found"));
    EXPECT_EQ(listed().size(), 2u) << "nothing found: the full list again";
    EXPECT_TRUE(caption().contains(QStringLiteral("Found: 0")));

    // Reset puts the dates back to today and keeps Next Visit ticked.
    ctl<NumberBox>("TxtPulseTo")->setValue(80);
    click("Bt_Reset");
    EXPECT_EQ(ctl<DatePicker>("TxtDateFrom")->value(), QDate(2026, 6, 10));
    EXPECT_EQ(ctl<NumberBox>("TxtPulseTo")->value(), 0);
    EXPECT_TRUE(ctl<QCheckBox>("ChkNextVisit")->isChecked());
    EXPECT_EQ(listed(), std::vector<uint32_t>{earlier});
}

TEST_F(StatsFormTest, OpeningAndClosingAreRefusedWhileTheirWindowsAreOpen)
{
    PVISIT();
    STATS();
    EXPECT_EQ(stats(), nullptr);
    EXPECT_EQ(program_->messages().last()->text, QStringLiteral("Please close 'Entry: Visit Details' window first"));
    ReleaseWindow(QStringLiteral("Form_PVisit"));

    addVisit({.visitNo = 1});
    STATS();
    ASSERT_NE(stats(), nullptr);
    // Its related areas of its own keep a backup or restore waiting.
    EXPECT_TRUE(windowsHoldingOwnTables().contains(stats()));
    list()->setValue(list()->browseModel()->recordAt(0));
    SHOW_PV();
    ASSERT_TRUE(IsWindowDefined(QStringLiteral("Form_PVShow")));
    click("Bt_Exit");
    EXPECT_EQ(program_->messages().last()->text,
              QStringLiteral("Please close 'Report: Patient Visit Details' window first"));
    EXPECT_NE(stats(), nullptr);
    stats()->close();   // the title bar runs Exit too
    EXPECT_NE(stats(), nullptr);
    click("Bt_Exit_PVisit", "Form_PVShow");
    click("Bt_Exit");
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Stats")));
    EXPECT_EQ(area(StatsForm::kVisits), nullptr) << "its areas go with it";
}

TEST_F(StatsFormTest, SortingKeepsTheSelectedVisitAndMovesTheActiveMark)
{
    const uint32_t a = addVisit({.visitNo = 3, .patientCode = 12, .time = "08:00:00"});
    const uint32_t b = addVisit({.visitNo = 1, .pvNo = 2, .time = "09:00:00"});
    const uint32_t c = addVisit({.visitNo = 2, .time = "10:00:00"});
    STATS();
    ASSERT_NE(stats(), nullptr);
    list()->setValue(c);
    stats()->SHOWORDER(3);
    EXPECT_EQ(listed(), (std::vector<uint32_t>{b, c, a}));
    EXPECT_EQ(list()->value(), c);
    EXPECT_TRUE(caption().endsWith(QStringLiteral("Rec No.: 2"))) << caption().toStdString();
    EXPECT_FALSE(list()->model()->headerData(2, Qt::Horizontal, Qt::DecorationRole).isNull());
    stats()->SHOWORDER(6);
    EXPECT_EQ(listed(), (std::vector<uint32_t>{c, b, a}));
    stats()->SHOWORDER(2);   // not a sort column: nothing changes
    EXPECT_EQ(stats()->order(), query::kByPatientPvNo);
    EXPECT_EQ(list()->value(), c);

    // A search's result is sorted the same way.
    ctl<NumberBox>("TxtPatCode")->setValue(11);
    click("Bt_Search");
    EXPECT_EQ(listed(), (std::vector<uint32_t>{c, b})) << "patient 11 by PV number";
    list()->setValue(b);
    stats()->SHOWORDER(1);
    EXPECT_EQ(listed(), (std::vector<uint32_t>{b, c}));
    EXPECT_EQ(list()->value(), b);
    EXPECT_TRUE(caption().endsWith(QStringLiteral("Total: 2      Found: 2      Rec No.: 1"))) << caption().toStdString();
}

TEST_F(StatsFormTest, DetailWindowShowsTheVisitReadOnlyAndConvertsNothingOnTabbing)
{
    addPatientRecord(QStringLiteral("patnt"), 13, "Ravi", "Iyer", "", {2000, 1, 1});
    const uint32_t rec =
        addVisit({.visitNo = 5, .patientCode = 13, .pvNo = 2, .feet = 5, .inches = 10, .pounds = 150});
    const uint32_t other = addVisit({.visitNo = 6});
    STATS();
    ASSERT_NE(stats(), nullptr);
    list()->setValue(rec);
    SHOW_PV();
    const char* w = "Form_PVShow";
    ASSERT_TRUE(IsWindowDefined(QLatin1String(w)));
    EXPECT_EQ(ctl<QLabel>("Lb_PVNo", w)->text(), QStringLiteral("Patient Visit (PV) No.: 2"));
    EXPECT_EQ(ctl<QLineEdit>("TxtPatFName", w)->text(), QStringLiteral("Ravi"));
    EXPECT_EQ(ctl<RadioGroup>("TxtPatSex", w)->value(), 2) << "an empty sex shows Male";
    EXPECT_EQ(ctl<NumberBox>("TxtPatHeightMtrs", w)->value(), 1);
    EXPECT_EQ(ctl<NumberBox>("TxtPatHeightCm", w)->value(), 78);
    EXPECT_EQ(ctl<NumberBox>("TxtPatWeightKgs", w)->value(), 68);
    // 68 kg over 1.778 m squared, shown beside the measures.
    const QString bmi = ctl<QLabel>("Lb_PatBMI", w)->text();
    EXPECT_TRUE(bmi.contains(QStringLiteral("21.5")) && bmi.contains(QStringLiteral("Normal"))) << bmi.toStdString();
    EXPECT_EQ(ctl<NumberBox>("TxtPatAgeYrs", w)->value(), 26) << "the age from the birth date, not the stored one";
    EXPECT_TRUE(ctl<DatePicker>("TxtNextVisit", w)->isEmpty());
    EXPECT_TRUE(ctl<QLineEdit>("TxtPatWeightKgs", w)->isReadOnly());
    EXPECT_FALSE(ctl<QWidget>("TxtPVStatus", w)->isEnabled());
    // The read-only prescription's menu offers Copy of a selection only.
    auto* cut = form<PVShowForm>(QLatin1String(w))->findChild<QAction*>(QStringLiteral("ItC_Cut"));
    auto* copy = form<PVShowForm>(QLatin1String(w))->findChild<QAction*>(QStringLiteral("ItC_Copy"));
    ASSERT_TRUE(cut && copy);
    auto* menu = qobject_cast<QMenu*>(cut->parent());
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    EXPECT_FALSE(cut->isEnabled());
    EXPECT_FALSE(copy->isEnabled());

    // Tabbing through the kilograms leaves the stored pounds as they are.
    auto* kgs = ctl<NumberBox>("TxtPatWeightKgs", w);
    QApplication::setActiveWindow(form<PVShowForm>(QLatin1String(w)));
    kgs->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(kgs->hasFocus());
    QTest::keyClick(kgs, Qt::Key_Tab);
    ASSERT_FALSE(kgs->hasFocus());
    EXPECT_EQ(ctl<NumberBox>("TxtPatWeightLbs", w)->value(), 150);

    // A second double-click only brings the window forward.
    list()->setValue(other);
    SHOW_PV();
    EXPECT_EQ(ctl<QLineEdit>("TxtVisitNo", w)->text().trimmed(), QStringLiteral("5"));
}

TEST_F(StatsFormTest, CriteriaUnitBoxesConvertOnlyAChangedValue)
{
    STATS();
    ASSERT_NE(stats(), nullptr);
    QApplication::setActiveWindow(stats());
    auto* lbs = ctl<NumberBox>("TxtLbsFrom");
    auto* kgs = ctl<NumberBox>("TxtKgsFrom");
    lbs->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(lbs, QStringLiteral("150"));
    QTest::keyClick(lbs, Qt::Key_Tab);
    EXPECT_EQ(kgs->value(), 68);
    kgs->setFocus(Qt::TabFocusReason);
    QTest::keyClick(kgs, Qt::Key_Tab);
    EXPECT_EQ(lbs->value(), 150) << "tabbing through 68 kgs keeps 150 lbs";
    auto* cm = ctl<NumberBox>("TxtCmTo");
    cm->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(cm, QStringLiteral("80"));
    ctl<NumberBox>("TxtMtTo")->setValue(1);
    QTest::keyClick(cm, Qt::Key_Tab);
    EXPECT_EQ(ctl<NumberBox>("TxtFtTo")->value(), 5);
    EXPECT_EQ(ctl<NumberBox>("TxtInTo")->value(), 11) << "180 cm is 71 inches";
}

TEST_F(StatsFormTest, ReportGoesToThePreviewWithTheSummaryOnANewPageWhenPageOneIsFull)
{
    for (int i = 1; i <= 35; ++i)
        addVisit({.visitNo = i, .pvNo = i});
    test::ScopedFakeDialogs dialogs;
    dialogs->pdfPath = QDir(folder_.path()).filePath(QStringLiteral("stats.pdf"));
    STATS();
    ASSERT_NE(stats(), nullptr);
    click("Bt_Print");
    ASSERT_EQ(dialogs->previews.size(), 1u);
    EXPECT_EQ(dialogs->previews[0]->pageCount(), 2) << "35 lines fill page 1; the summary goes to page 2";
    EXPECT_TRUE(area(StatsForm::kVisits)->eof()) << "the view is left at its end";

    // The printer chooser cancelled: nothing printed, nothing said.
    const size_t boxes = program_->messages().shown().size();
    dialogs->cancel = true;
    click("Bt_Print");
    EXPECT_EQ(program_->messages().shown().size(), boxes);
    EXPECT_EQ(dialogs->previews.size(), 1u) << "cancelled: nothing printed";
}

} // namespace
} // namespace cn::testing
