// The three aids of the visit and history windows: the body-mass index
// beside the weight, the last prescription repeated into a new visit, and
// the vitals trend chart of the history's patient (its figures, its legend,
// its pointer text and its printout).
#include "visit_fixture.h"

#include "print/fakedialogs.h"
#include "print/pdfprobe.h"
#include "visits/bmi.h"
#include "visits/pvhist_form.h"
#include "visits/repeat_rx.h"
#include "visits/rtf/rtf.h"
#include "visits/trends.h"
#include "visits/trends_form.h"

#include <QCheckBox>
#include <QLegendMarker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QXYSeries>

namespace cn::testing {
namespace {

using visits::Measure;

// ---------------------------------------------------------------- BMI

TEST(BodyMassIndex, BoundariesFollowTheFigureShownAndAMissingMeasureGivesNone)
{
    struct Case {
        int feet, inches, pounds;
        double shown;
        visits::BmiCategory category;
    };
    using C = visits::BmiCategory;
    const Case cases[] = {
        {5, 7, 150, 23.5, C::Normal},        // 170 cm, 68 kg
        {4, 7, 108, 25.0, C::Overweight},    // 140 cm, 49 kg: exactly 25
        {4, 10, 119, 25.0, C::Overweight},   // 24.99 shows as 25.0, and is 25.0's category
        {6, 5, 157, 18.5, C::Normal},        // 18.48 shows as 18.5
        {4, 9, 139, 30.0, C::Obese},         // 29.96
        {5, 7, 159, 24.9, C::Normal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.feet << "ft " << c.inches << "in " << c.pounds << "lbs");
        const auto b = visits::bodyMassIndex(c.feet, c.inches, c.pounds);
        ASSERT_TRUE(b.has_value());
        EXPECT_DOUBLE_EQ(b->value, c.shown);
        EXPECT_EQ(b->category, c.category);
    }
    EXPECT_EQ(visits::bmiCategory(18.4), C::Underweight);
    EXPECT_EQ(visits::bmiCategory(29.9), C::Overweight);
    // Not measured: no index, no text.
    EXPECT_FALSE(visits::bodyMassIndex(0, 0, 150));
    EXPECT_FALSE(visits::bodyMassIndex(5, 7, 0));
    EXPECT_FALSE(visits::bodyMassIndex(5, 7, 2));   // 2 lbs is 0 kg
    EXPECT_EQ(visits::bmiText(0, 0, 150), QString());
    EXPECT_EQ(visits::bmiText(5, 7, 150), QStringLiteral("BMI\n23.5\nNormal"));
}

// ---------------------------------------------------------------- the window tests

class AtAGlanceTest : public VisitWindowTest {
protected:
    void SetUp() override
    {
        VisitWindowTest::SetUp();
        addPatient(2, "Joan", "Ark", "F", {1990, 1, 20});
        addPatient(3, "John", "Doe", "M", {1970, 5, 5});
    }
    ScriptedMessages& messages() { return program_->messages(); }

    // A visit with its vitals; the rest as the fixture writes it.
    static uint32_t addVitals(const StoredVisit& s, double sys, double dias, double pulse, double temp)
    {
        const uint32_t rec = addVisit(s);
        data::WorkArea* v = area(QStringLiteral("pvisit01"));
        v->goTo(rec);
        EXPECT_TRUE(v->rlock());
        EXPECT_TRUE(v->setNum("PATSYS", sys));
        EXPECT_TRUE(v->setNum("PATDIAS", dias));
        EXPECT_TRUE(v->setNum("PATPULSE", pulse));
        EXPECT_TRUE(v->setNum("PATTEMP", temp));
        v->unlock();
        EXPECT_TRUE(db().commitAll());
        return rec;
    }
    static std::string boldRtf(const QString& text)
    {
        QTextDocument doc;
        QTextCursor c(&doc);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        c.setBlockFormat(centred);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.insertText(text, bold);
        return rtf::write(doc).toStdString();
    }
    RichTextBox* prescription() const { return ctl<RichTextBox>("TxtPatPres"); }
    void choosePatient(const QString& first)
    {
        seek(first);
        ASSERT_EQ(text("TxtPatFName"), first);
    }
};

TEST_F(AtAGlanceTest, BmiLabelFollowsTheMeasuresShownTypedAndConverted)
{
    addVisit({.visitNo = 1, .pvNo = 1, .patientCode = 2, .pounds = 150, .feet = 5, .inches = 7});
    addVisit({.visitNo = 2, .pvNo = 1, .patientCode = 3, .pounds = 180, .feet = 0, .inches = 0});
    open();
    auto* bmi = ctl<QLabel>("Lb_PatBMI");
    choosePatient(QStringLiteral("Joan"));
    EXPECT_EQ(bmi->text(), QStringLiteral("BMI\n23.5\nNormal"));
    choosePatient(QStringLiteral("John"));
    EXPECT_EQ(bmi->text(), QString()) << "a height of 0 is not measured";

    // Typed in a new visit: the index appears once both are there, and
    // follows a weight typed in kilograms once it is converted.
    choosePatient(QStringLiteral("Joan"));
    click("Append_PVisit");
    EXPECT_EQ(bmi->text(), QString());
    typeAndLeave("TxtPatHeightFeet", QStringLiteral("5"));
    typeAndLeave("TxtPatHeightInch", QStringLiteral("7"));
    EXPECT_EQ(bmi->text(), QString());
    typeAndLeave("TxtPatWeightKgs", QStringLiteral("90"));
    EXPECT_EQ(number("TxtPatWeightLbs"), 198);
    // From the stored pounds, as every other figure: 198 lbs is 89 kgs by
    // the shared conversion, over 170 cm.
    EXPECT_EQ(bmi->text(), QStringLiteral("BMI\n30.8\nObese"));
    click("Bt_Cancel");
    EXPECT_EQ(bmi->text(), QStringLiteral("BMI\n23.5\nNormal"));
}

TEST_F(AtAGlanceTest, RepeatLastRxCopiesTheHighestLivePvFormattedAskingBeforeReplacingAndUndoes)
{
    addVisit({.visitNo = 1, .pvNo = 1, .patientCode = 2, .prescription = "Old remedy"});
    const uint32_t second = addVisit({.visitNo = 2, .pvNo = 2, .patientCode = 2, .pounds = 170});
    data::WorkArea* v = area(QStringLiteral("pvisit01"));
    v->goTo(second);
    ASSERT_TRUE(v->rlock());
    ASSERT_TRUE(v->setMemo("PATPRES", boldRtf(QStringLiteral("Amoxicillin 500 mg"))));
    v->unlock();
    ASSERT_TRUE(db().commitAll());
    // A later visit deleted, and another patient's later visit: neither counts.
    deleteRecord("pvisit01", addVisit({.visitNo = 3, .pvNo = 3, .patientCode = 2, .prescription = "Deleted"}));
    addVisit({.visitNo = 4, .pvNo = 1, .patientCode = 3, .prescription = "Not Joan's"});

    open();
    choosePatient(QStringLiteral("Joan"));
    auto* repeat = ctl<QPushButton>("Bt_RepeatRx");
    EXPECT_FALSE(repeat->isEnabled()) << "browsing";
    click("Modify_PVisit");
    EXPECT_FALSE(repeat->isEnabled()) << "changing a visit";
    click("Bt_Cancel");
    click("Append_PVisit");
    ASSERT_TRUE(repeat->isEnabled());

    // Into the empty editor without a question; formatting kept, nothing
    // else of that visit taken.
    click("Bt_RepeatRx");
    EXPECT_TRUE(messages().shown().empty()) << messages().texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(prescription()->toPlainText(), QStringLiteral("Amoxicillin 500 mg"));
    QTextCursor c(prescription()->document());
    c.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(c.blockFormat().alignment() & Qt::AlignHCenter);
    EXPECT_EQ(number("TxtPatWeightLbs"), 0);

    // Over text already there: No keeps it, Yes replaces it, Undo brings it back.
    prescription()->clear();
    QTest::keyClicks(prescription(), QStringLiteral("Typed"));
    messages().answerNo();
    click("Bt_RepeatRx");
    ASSERT_EQ(messages().shown().size(), 1u);
    EXPECT_EQ(messages().last()->kind, MessageKind::YesNo);
    EXPECT_EQ(prescription()->toPlainText(), QStringLiteral("Typed"));
    messages().answerYes();
    click("Bt_RepeatRx");
    EXPECT_EQ(prescription()->toPlainText(), QStringLiteral("Amoxicillin 500 mg"));
    prescription()->undo();
    EXPECT_EQ(prescription()->toPlainText(), QStringLiteral("Typed"));

    // A patient without an earlier visit is told so, and the editor stays.
    click("Bt_Cancel");
    choosePatient(QStringLiteral("John"));
    deleteRecord("pvisit01", storedVisit(4)->recNo());
    click("Append_PVisit");
    messages().clear();
    click("Bt_RepeatRx");
    ASSERT_NE(messages().last(), nullptr);
    EXPECT_EQ(messages().last()->text, QStringLiteral("No earlier prescription for this patient !!"));
    EXPECT_EQ(prescription()->toPlainText(), QString());

    // One longer than the editor holds (written by other means) is refused, not cut.
    const std::string tooLong(1600, 'x');
    addVisit({.visitNo = 5, .pvNo = 2, .patientCode = 3, .prescription = tooLong.c_str()});
    click("Bt_RepeatRx");
    EXPECT_EQ(messages().last()->text, QStringLiteral("The last prescription is longer than 1500 characters !!"));
    EXPECT_EQ(prescription()->toPlainText(), QString());
}

// ---------------------------------------------------------------- trends

TEST(TrendFigures, UnmeasuredVisitsBreakTheLineAndHeightsAppearOnlyWhereTheyChange)
{
    auto visit = [](int pv, int feet, int inches, int pounds, double sys, double temp) {
        visits::VisitVitals v;
        v.date = QDate(2026, 1, pv);
        v.visitNo = 100 + pv;
        v.pvNo = pv;
        v.feet = feet;
        v.inches = inches;
        v.pounds = pounds;
        v.systolic = sys;
        v.diastolic = sys > 0 ? 80 : 0;
        v.temperature = temp;
        return v;
    };
    const auto series = visits::trendSeries({
        visit(1, 5, 7, 150, 120, 98.6),
        visit(2, 5, 7, 0, 130, 99.1),     // weight not taken
        visit(3, 0, 0, 152, 0, 0),        // height and pressure not taken
        visit(4, 5, 8, 154, 125, 0),      // grown an inch
        visit(5, 5, 8, 155, 126, 98.4),
    });
    auto values = [&](Measure m) {
        std::vector<std::vector<double>> out;
        for (const auto& run : series[static_cast<size_t>(m)].runs) {
            out.emplace_back();
            for (const auto& s : run)
                out.back().push_back(s.value);
        }
        return out;
    };
    using V = std::vector<std::vector<double>>;
    EXPECT_EQ(values(Measure::Weight), (V{{68}, {69, 70, 70}}));   // pounds / 2.2, truncated
    EXPECT_EQ(values(Measure::Systolic), (V{{120, 130}, {125, 126}}));
    EXPECT_EQ(values(Measure::Temperature), (V{{98.6, 99.1}, {98.4}}));
    EXPECT_EQ(values(Measure::Pulse), V{});
    EXPECT_EQ(values(Measure::Height), (V{{170, 173}}));
    const auto& grown = series[static_cast<size_t>(Measure::Height)].runs[0][1];
    EXPECT_EQ(grown.pvNo, 4);
    EXPECT_EQ(grown.visitNo, 104);
    EXPECT_EQ(grown.date, QDate(2026, 1, 4));
}

TEST_F(AtAGlanceTest, TrendsReadThePatientsLiveVisitsInPvOrder)
{
    // Written out of PV order; one deleted, one without a date, one of
    // another patient.
    addVitals({.visitNo = 1, .pvNo = 2, .patientCode = 2, .date = {2026, 2, 1}, .pounds = 160}, 130, 85, 70, 98);
    addVitals({.visitNo = 2, .pvNo = 1, .patientCode = 2, .date = {2026, 1, 1}, .pounds = 150}, 120, 80, 72, 99);
    deleteRecord("pvisit01", addVitals({.visitNo = 3, .pvNo = 3, .patientCode = 2, .date = {2026, 3, 1}}, 1, 1, 1, 1));
    addVitals({.visitNo = 4, .pvNo = 4, .patientCode = 2, .date = {}}, 140, 90, 75, 100);
    addVitals({.visitNo = 5, .pvNo = 1, .patientCode = 3, .date = {2026, 5, 1}}, 150, 95, 80, 101);
    const auto t = visits::loadTrends(db(), 2);
    ASSERT_TRUE(t) << t.message();
    EXPECT_EQ(t.value().patientName, QStringLiteral("Joan Ark"));
    EXPECT_EQ(t.value().visits, 2);
    const auto& pulse = t.value().of(Measure::Pulse).runs;
    ASSERT_EQ(pulse.size(), 1u);
    ASSERT_EQ(pulse[0].size(), 2u);
    EXPECT_EQ(pulse[0][0].visitNo, 2);
    EXPECT_EQ(pulse[0][1].visitNo, 1);
    EXPECT_EQ(visits::trendsTitle(t.value()), QStringLiteral("Joan Ark (Code 2), 1 Jan 2026 - 1 Feb 2026"));
}

TEST_F(AtAGlanceTest, TrendChartFromTheHistoryTogglesSeriesTellsTheVisitAndPrintsOneLandscapePage)
{
    addVitals({.visitNo = 7, .pvNo = 1, .patientCode = 2, .date = {2026, 1, 5}, .pounds = 150}, 120, 80, 72, 98.6);
    addVitals({.visitNo = 8, .pvNo = 2, .patientCode = 2, .date = {2026, 2, 5}, .pounds = 0}, 125, 82, 0, 99.0);
    addVitals({.visitNo = 9, .pvNo = 3, .patientCode = 2, .date = {2026, 3, 5}, .pounds = 154}, 122, 81, 60, 98.4);
    open();
    choosePatient(QStringLiteral("Joan"));
    PVHIST();
    click("Bt_Trends", "Form_PVHist");
    auto* chart = form<TrendsForm>(QStringLiteral("Form_Trends"));
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->patientCode(), 2);
    EXPECT_TRUE(chart->chart()->title().startsWith(QStringLiteral("Joan Ark (Code 2)")));

    // The weight's gap makes two lines; one legend entry switches both.
    const auto weights = chart->seriesOf(Measure::Weight);
    ASSERT_EQ(weights.size(), 2u);
    const auto markers = chart->chart()->legend()->markers();
    int shownMarkers = 0;
    QLegendMarker* weightMarker = nullptr;
    for (QLegendMarker* m : markers) {
        shownMarkers += m->isVisible() ? 1 : 0;
        if (m->isVisible() && m->label() == QStringLiteral("Weight (kg)"))
            weightMarker = m;
    }
    EXPECT_EQ(shownMarkers, 6) << "one entry per measure";
    ASSERT_NE(weightMarker, nullptr);
    emit weightMarker->clicked();
    EXPECT_FALSE(weights[0]->isVisible());
    EXPECT_FALSE(weights[1]->isVisible());
    EXPECT_TRUE(chart->measureShown(Measure::Pulse));
    emit weightMarker->clicked();
    EXPECT_TRUE(weights[0]->isVisible() && weights[1]->isVisible());

    // The pointer resting on the third visit's weight shows that visit;
    // away from every point, nothing; a point of a series switched off is
    // not there to rest on.
    QCoreApplication::processEvents();   // the chart lays out its plot area
    const QPointF third = chart->chart()->mapToPosition(
        QPointF(static_cast<double>(QDate(2026, 3, 5).startOfDay().toMSecsSinceEpoch()), 70), weights[1]);
    EXPECT_TRUE(chart->restAt(third + QPointF(3, -2)).startsWith(QStringLiteral("Visit No. 9 (PV No. 3)")));
    EXPECT_TRUE(chart->calloutText().contains(QStringLiteral("Weight (kg): 70")));
    EXPECT_EQ(chart->restAt(third + QPointF(0, 40)), QString());
    EXPECT_EQ(chart->calloutText(), QString());
    emit weightMarker->clicked();
    EXPECT_FALSE(chart->restAt(third).startsWith(QStringLiteral("Visit No. 9")));
    emit weightMarker->clicked();

    // Printed without preview to a PDF: one A4 landscape page under its title.
    QTemporaryDir out;
    test::ScopedFakeDialogs dialogs;
    dialogs->pdfPath = out.filePath(QStringLiteral("trends.pdf"));
    ctl<QCheckBox>("CK1", "Form_Trends")->setChecked(false);
    click("Bt_Print", "Form_Trends");
    EXPECT_TRUE(messages().shown().empty()) << messages().texts().join(QLatin1Char('|')).toStdString();
    const test::PdfText pdf = test::readPdfText(dialogs->pdfPath);
    ASSERT_EQ(pdf.pageSizes.size(), 1);
    EXPECT_NEAR(pdf.pageSizes[0].width(), 297, 1);
    EXPECT_NEAR(pdf.pageSizes[0].height(), 210, 1);
    EXPECT_TRUE(pdf.find(QStringLiteral("Ark")));
    EXPECT_TRUE(pdf.find(QStringLiteral("Pulse"))) << "the legend is drawn";
    // With the preview: the same page, landscape, collected for the window.
    ctl<QCheckBox>("CK1", "Form_Trends")->setChecked(true);
    click("Bt_Print", "Form_Trends");
    ASSERT_EQ(dialogs->previews.size(), 1u);
    EXPECT_EQ(dialogs->previews[0]->pageCount(), 1);
    EXPECT_EQ(dialogs->previews[0]->layout().orientation(), QPageLayout::Landscape);

    // The history's release takes the chart with it.
    ReleaseWindow(QStringLiteral("Form_PVHist"));
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Trends")));
}

} // namespace
} // namespace cn::testing
