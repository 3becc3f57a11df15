// The visit search without a window: the date part always applied, each
// other criterion only when set, whole ages and heights, words literally in
// any case and order, and the orders of the list.
#include "query_fixture.h"

#include "query/visit_query.h"

namespace cn::testing {
namespace {

using query::Criteria;

class VisitQueryTest : public QueryTest {
protected:
    static Criteria today()
    {
        Criteria c;
        c.from = c.to = QDate(2026, 6, 10);
        return c;
    }
    std::vector<uint32_t> find(const Criteria& c, int order = query::kByDateTime)
    {
        auto r = query::search(db(), c, order);
        EXPECT_TRUE(r) << r.message();
        return r ? r.value().records : std::vector<uint32_t>{};
    }
    using Recs = std::vector<uint32_t>;
};

TEST_F(VisitQueryTest, DatePartIsAlwaysAppliedAndNextVisitDropsVisitsWithoutOne)
{
    const uint32_t todays = addVisit({.visitNo = 1});
    addVisit({.visitNo = 2, .date = {2026, 6, 9}});
    const uint32_t withNext = addVisit({.visitNo = 3, .date = {2026, 5, 1}, .next = {2026, 6, 10}});
    const uint32_t deleted = addVisit({.visitNo = 4});
    deleteRecordAt(QStringLiteral("pvisit"), deleted);

    EXPECT_EQ(find(today()), Recs{todays}) << "default criteria: today's live visits only";
    Criteria c = today();
    c.byNextVisit = true;
    EXPECT_EQ(find(c), Recs{withNext});
    c.from = QDate(2000, 1, 1);
    c.to = QDate(2030, 1, 1);
    EXPECT_EQ(find(c), Recs{withNext}) << "a visit without a next visit never matches, whatever the range";
    Criteria backwards = today();
    backwards.from = QDate(2026, 6, 11);
    EXPECT_TRUE(find(backwards).empty());
    auto r = query::search(db(), today());
    ASSERT_TRUE(r);
    EXPECT_DOUBLE_EQ(r.value().totalFees, 100);
}

TEST_F(VisitQueryTest, ZeroIsNoCriterionAndRangesCompareWholeAgesAndHeights)
{
    const uint32_t noPulse = addVisit({.visitNo = 1, .years = 2, .feet = 6, .inches = 0});
    const uint32_t pulse70 = addVisit({.visitNo = 2, .years = 1, .months = 3, .feet = 5, .inches = 9, .pulse = 70});
    const uint32_t pulse90 = addVisit({.visitNo = 3, .years = 1, .months = 8, .feet = 6, .inches = 3, .pulse = 90});

    Criteria c = today();
    c.pulseTo = 80;
    EXPECT_EQ(find(c), (Recs{noPulse, pulse70})) << "pulse From 0 To 80: at most 80, no pulse recorded passes";

    c = today();
    c.ageFrom = {1, 6, 0};
    EXPECT_EQ(find(c), (Recs{noPulse, pulse90})) << "2 Y 0 M is older than 1 Y 6 M";
    c.ageTo = {1, 11, 0};
    EXPECT_EQ(find(c), Recs{pulse90});

    c = today();
    c.feetFrom = 5;
    c.inchesFrom = 10;
    c.feetTo = 6;
    c.inchesTo = 2;
    EXPECT_EQ(find(c), Recs{noPulse}) << "5 ft 10 in to 6 ft 2 in holds 6 ft 0 in, not 5 ft 9 or 6 ft 3";
}

TEST_F(VisitQueryTest, WordsMatchLiterallyInAnyCaseAndOrderAlsoInsideLongerWords)
{
    const uint32_t both = addVisit({.visitNo = 1, .prescription = "{\\rtf1 Tab. PARACETAMOL 500mg for feverish cold}"});
    addVisit({.visitNo = 2, .prescription = "Paracetamol only"});
    const uint32_t quoted = addVisit({.visitNo = 3, .patientCode = 12, .prescription = "see \"Dr's\" note (x)"});

    EXPECT_EQ(query::PHRASE2WORDS(QStringLiteral("  fever  paracet ")), (QStringList{"fever", "paracet"}));
    EXPECT_TRUE(query::PHRASE2WORDS(QStringLiteral("   ")).isEmpty());
    Criteria c = today();
    c.presWords = QStringLiteral("FEVER  paracet");
    EXPECT_EQ(find(c), Recs{both});
    c.presWords = QStringLiteral("\"Dr's\" (x)");
    EXPECT_EQ(find(c), Recs{quoted}) << "quotation marks and brackets are matched as typed";
    c.presWords = QStringLiteral("rtf1");
    EXPECT_EQ(find(c), Recs{both}) << "the stored text is searched, markup included";

    c = today();
    c.raceWords = QStringLiteral("tamil");
    EXPECT_EQ(find(c).size(), 2u) << "both visits of the Tamil patient";
    c.sex = 3;
    EXPECT_TRUE(find(c).empty()) << "she is not M";
    c.raceWords.clear();
    EXPECT_EQ(find(c), Recs{quoted});
}

TEST_F(VisitQueryTest, ResultComesInTheOrderAskedFor)
{
    const uint32_t a = addVisit({.visitNo = 3, .patientCode = 12, .pvNo = 1, .time = "11:00:00", .next = {2026, 7, 1}});
    const uint32_t b = addVisit({.visitNo = 1, .patientCode = 11, .pvNo = 2, .time = "09:00:00", .next = {2026, 6, 20}});
    const uint32_t c = addVisit({.visitNo = 2, .patientCode = 11, .pvNo = 1, .time = "10:00:00", .next = {2026, 8, 1}});
    EXPECT_EQ(find(today()), (Recs{b, c, a}));
    EXPECT_EQ(find(today(), query::kByVisitNo), (Recs{b, c, a}));
    EXPECT_EQ(find(today(), query::kByPatientPvNo), (Recs{c, b, a}));
    EXPECT_EQ(find(today(), query::kByNextVisit), (Recs{b, a, c}));
    Criteria f = today();
    f.feesFrom = 50;
    f.feesTo = 150;
    f.status = 2;
    EXPECT_EQ(find(f).size(), 3u);
    f.feesFrom = 101;
    EXPECT_TRUE(find(f).empty());
}

} // namespace
} // namespace cn::testing
