// The visit record's rules without a window: the two numbers and how they
// are given out, also to two copies of the program saving at the same time;
// the checks before a save, in their order; the height and weight
// conversions.
#include "visit_fixture.h"

#include "app/settings.h"


namespace cn::testing {
namespace {

using visits::appendVisit;
using visits::NewVisit;

class VisitRecordsTest : public VisitWindowTest {
protected:
    // A new visit of the patient through the program's shared area.
    NewVisit add(long long patientCode)
    {
        data::WorkArea* v = area(QStringLiteral("pvisit"));
        auto r = appendVisit(*v, patientCode, [](data::WorkArea& a) { return a.setNum("PVSTATUS", 1); }, {});
        EXPECT_TRUE(r) << r.message();
        return r ? r.value() : NewVisit{};
    }
};

TEST_F(VisitRecordsTest, NumbersAreTheHighestLiveOnesPlusOne)
{
    const NewVisit first = add(1);
    EXPECT_EQ(first.visitNo, 1);
    EXPECT_EQ(first.pvNo, 1) << "the very first visit in an empty table";
    add(1);
    const NewVisit third = add(1);
    EXPECT_EQ(add(7).pvNo, 1) << "another patient starts at PV 1";
    EXPECT_EQ(numbersOf(1), (std::vector<std::pair<long long, long long>>{{1, 1}, {2, 2}, {3, 3}}));

    // The patient's latest visit deleted: its PV number is given again.
    deleteRecord("pvisit", third.recNo);
    EXPECT_EQ(add(1).pvNo, 3);
    // An earlier one deleted: a gap until renumbering, the next is after the highest.
    ASSERT_TRUE(storedVisit(2));
    deleteRecord("pvisit01", area(QStringLiteral("pvisit01"))->recNo());
    EXPECT_EQ(add(1).pvNo, 4);
    EXPECT_EQ(numbersOf(1), (std::vector<std::pair<long long, long long>>{{1, 1}, {5, 3}, {6, 4}}));

    // The visit with the largest visit number deleted frees that number for
    // the next visit of any patient.
    ASSERT_TRUE(storedVisit(6));
    deleteRecord("pvisit01", area(QStringLiteral("pvisit01"))->recNo());
    EXPECT_EQ(add(7).visitNo, 6);
}

TEST_F(VisitRecordsTest, NumberingKeepsTheAreasOrderRecordAndScope)
{
    add(1);
    add(2);
    const NewVisit second = add(1);
    data::WorkArea* v = area(QStringLiteral("pvisit"));
    ASSERT_TRUE(v->setOrder(4));
    v->setScope(visits::patientKey(1));   // as the visit window keeps it
    v->goTo(second.recNo);
    EXPECT_EQ(visits::nextPatientVisitNo(*v, 1), 3);
    EXPECT_EQ(visits::nextVisitNo(*v), 4);
    EXPECT_EQ(v->indexOrd(), 4);
    EXPECT_EQ(v->recNo(), second.recNo);
    EXPECT_EQ(v->keyCount(), 2u) << "still scoped to patient 1";
    EXPECT_FALSE(v->isLocked(second.recNo));
}

TEST_F(VisitRecordsTest, FailedWriteLeavesNoVisitBehindAndGivesItsNumbersAgain)
{
    data::WorkArea* v = area(QStringLiteral("pvisit"));
    auto failed = appendVisit(*v, 1, [](data::WorkArea& a) { return a.setNum("PATFEES", 10000000.0); }, {});
    ASSERT_FALSE(failed);
    EXPECT_TRUE(failed.status().is(data::ErrorCode::TooLong)) << failed.message();
    EXPECT_TRUE(numbersOf(1).empty());
    EXPECT_EQ(add(1).visitNo, 1);
}

// ---------------------------------------------------------------- two copies

TEST_F(VisitRecordsTest, TwoCopiesSavingForOnePatientGetDistinctNumbers)
{
    constexpr int kEach = 150;
    Gate gate;
    const pid_t other = otherCopySaving(folder_.path(), 1, kEach, gate);
    data::WorkArea* v = area(QStringLiteral("pvisit"));
    gate.open();
    for (int i = 0; i < kEach; ++i) {
        auto r = appendVisit(*v, 1, [](data::WorkArea& a) { return a.setNum("PVSTATUS", 1); },
                             [] { return true; });
        ASSERT_TRUE(r) << r.message();
    }
    ASSERT_EQ(exitStatus(other), 0);

    const auto numbers = numbersOf(1);
    ASSERT_EQ(numbers.size(), size_t(2 * kEach));
    expectDistinct(numbers);
    EXPECT_EQ(numbers.back().second, 2 * kEach) << "no PV number skipped";
    int mine = 0;
    for (auto [visitNo, pvNo] : numbers) {
        ASSERT_TRUE(storedVisit(visitNo));
        mine += area(QStringLiteral("pvisit01"))->num("PVSTATUS") == 1;
    }
    EXPECT_EQ(mine, kEach) << "each copy's visits are its own";
}

TEST_F(VisitRecordsTest, TableHeldByAnotherCopyIsAskedAboutAndGivingUpWritesNothing)
{
    Gate held, release;
    const pid_t pid = otherCopyHoldingVisits(folder_.path(), held, release);
    held.wait();
    data::WorkArea* v = area(QStringLiteral("pvisit"));
    const uint32_t before = v->lastRec();
    int asked = 0;
    auto r = appendVisit(*v, 1, [](data::WorkArea& a) { return a.setNum("PVSTATUS", 1); },
                         [&asked] { return ++asked < 3; });
    release.open();
    ASSERT_EQ(exitStatus(pid), 0);
    ASSERT_FALSE(r);
    EXPECT_TRUE(r.status().is(data::ErrorCode::InUse));
    EXPECT_EQ(asked, 3) << "asked again after each Yes, until No";
    EXPECT_EQ(v->lastRec(), before) << "nothing appended";
    // Once the other copy lets go, the save goes through.
    EXPECT_EQ(add(1).pvNo, 1);
}

// ---------------------------------------------------------------- checks

visits::VisitEntry validEntry()
{
    visits::VisitEntry e;
    e.patientCode = 4;
    e.firstName = QStringLiteral("Joan");
    e.sex = 1;
    e.ageYears = 30;
    e.chamberCode = 2;
    e.visitType = 2;
    e.visitDate = QDate(2026, 6, 10);
    e.visitTime = QTime(10, 30);
    e.prescription = QStringLiteral("Rest");
    e.status = 1;
    e.fees = 9999999.99;
    return e;
}

TEST(VisitChecks, EachConditionInTheOrderGiven)
{
    resetSettings();
    visits::VisitEntry e = validEntry();
    EXPECT_FALSE(visits::checkVisit(e)) << "a fee of 9,999,999.99 fits";

    // Broken from the last to the first: each time the check reported is
    // the one just broken, the first in order of those that fail.
    struct Step {
        std::function<void(visits::VisitEntry&)> breakIt;
        const char* text;
        const char* focus;
    };
    const Step steps[] = {
        {[](auto& x) { x.fees = 10000000.0; }, "Fees cannot be more than 99,99,999.99 !!", "TxtPatFees"},
        {[](auto& x) { x.nextVisit = x.visitDate; }, "Next Visit Date must be after current Visit Date", "TxtNextVisit"},
        {[](auto& x) { x.status = 0; }, "Please select proper Status", "TxtPVStatus"},
        {[](auto& x) { x.prescription = QStringLiteral(" \t\n\u2029 \n"); }, "Please enter Prescription Details !!", "TxtPatPres"},
        {[](auto& x) { x.visitTime = QTime(); }, "Please enter proper Visit Time !!", "TxtVisitTm"},
        {[](auto& x) { x.visitDate = QDate(); }, "Please enter proper Visit Date !!", "TxtVisitDt"},
        {[](auto& x) { x.visitType = 0; }, "Please specify Visit Type: New Case or Follow-Up !!", "TxtVisitType"},
        {[](auto& x) { x.chamberCode = 0; }, "Please select Chamber !!", "TxtChName"},
        {[](auto& x) { x.ageYears = 0; }, "Age cannot be Zero !!", "TxtPatSeek"},
        {[](auto& x) { x.sex = 0; }, "Sex must be either Female or Male !!", "TxtPatSeek"},
        {[](auto& x) { x.firstName = QStringLiteral("  "); }, "Patient First Name cannot be blank !!", "TxtPatSeek"},
        {[](auto& x) { x.patientCode = 0; }, "Patient Code cannot be blank !!", "TxtPatSeek"},
    };
    int expected = 12;
    for (const Step& s : steps) {
        s.breakIt(e);
        const auto r = visits::checkVisit(e);
        ASSERT_TRUE(r) << s.text;
        EXPECT_EQ(r->check, expected);
        EXPECT_EQ(r->text, QLatin1String(s.text));
        EXPECT_EQ(r->focus, QLatin1String(s.focus));
        EXPECT_EQ(r->givesUp, expected <= 4) << "only the patient's checks give the entry up";
        --expected;
    }
}

TEST(VisitChecks, NextVisitEmptyOrLaterPasses)
{
    visits::VisitEntry e = validEntry();
    e.nextVisit = QDate();
    EXPECT_FALSE(visits::checkVisit(e));
    e.nextVisit = e.visitDate.addDays(1);
    EXPECT_FALSE(visits::checkVisit(e));
    e.ageYears = 0;
    e.ageDays = 1;
    EXPECT_FALSE(visits::checkVisit(e)) << "a day old is an age";
}

TEST(VisitConversions, RoundedHeightsAndTruncatedWeights)
{
    EXPECT_EQ(visits::toMetric(5, 7).metres, 1);
    EXPECT_EQ(visits::toMetric(5, 7).centimetres, 70);   // 170.18
    EXPECT_EQ(visits::toImperial(1, 70).feet, 5);
    EXPECT_EQ(visits::toImperial(1, 70).inches, 7);      // 66.93 rounds to 67
    EXPECT_EQ(visits::toMetric(0, 0).centimetres, 0);
    EXPECT_EQ(visits::toImperial(0, 1).inches, 0);       // 0.39
    EXPECT_EQ(visits::toImperial(0, 127).inches, 2);     // 50 inches exactly: 4 ft 2 in
    EXPECT_EQ(visits::toKilograms(22), 10);
    EXPECT_EQ(visits::toKilograms(33), 14);               // 33 / 2.2 falls just below 15
    EXPECT_EQ(visits::toKilograms(150), 68);
    EXPECT_EQ(visits::toPounds(68), 149);
    EXPECT_EQ(visits::maxKilograms(), 454);
    EXPECT_LE(visits::toPounds(454), visits::kMaxPounds);
    EXPECT_GT(visits::toPounds(455), visits::kMaxPounds);
}

} // namespace
} // namespace cn::testing
