// Renumbering the patients' visits from its window: the gaps deleting left
// close, visit numbers stay, a second run writes nothing, a lock held
// elsewhere changes nothing, and the visit table is put back as it was.
#include "support/program_fixture.h"

#include "app/database.h"
#include "visits/renum_form.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace cn::testing {
namespace {

class Renumbering : public ::testing::Test {
protected:
    void SetUp() override { program = std::make_unique<ProgramFixture>(folder.path()); }

    data::WorkArea& visits() { return *area(QStringLiteral("pvisit")); }

    // Visits as (visit number, patient, PV number), in that order.
    void addVisits(const std::vector<std::array<int, 3>>& rows)
    {
        for (const auto& [visitNo, patient, pv] : rows) {
            ASSERT_TRUE(visits().append());
            ASSERT_TRUE(visits().setNum("VISITNO", visitNo));
            ASSERT_TRUE(visits().setNum("PATCODE", patient));
            ASSERT_TRUE(visits().setNum("PVNO", pv));
            visits().unlock();
        }
        ASSERT_TRUE(db().commitAll());
    }
    void deleteVisit(int visitNo)
    {
        ASSERT_TRUE(visits().setOrder(1));
        ASSERT_TRUE(visits().seek("F" + data::strNum(visitNo)));
        ASSERT_TRUE(visits().rlock());
        ASSERT_TRUE(visits().deleteRecord());
        visits().unlock();
    }
    // Visit number -> PV number of every live visit.
    std::map<int, int> numbers()
    {
        std::map<int, int> out;
        for (visits().goTop(); !visits().eof(); visits().skip())
            out[static_cast<int>(visits().num("VISITNO"))] = static_cast<int>(visits().num("PVNO"));
        return out;
    }
    RenumForm* open()
    {
        RENUMPVNO();
        return form<RenumForm>(QStringLiteral("Form_ReNum"));
    }
    static void press(RenumForm* w, const char* button)
    {
        QTest::mouseClick(w->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
    static QString label(RenumForm* w) { return w->findChild<QLabel*>(QStringLiteral("Label_1"))->text(); }
    std::string tableBytes() const
    {
        std::ifstream in(folder.filePath(QStringLiteral("PVISIT.dbf")).toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    QTemporaryDir folder;
    std::unique_ptr<ProgramFixture> program;
};

TEST_F(Renumbering, ClosesTheGapsInVisitNumberOrderAndASecondRunWritesNothing)
{
    // Patient 7: visits 1, 2, 4, 6 as PV 1, 2, 3, 4; patient 3: visits 3, 5 as PV 1, 2.
    addVisits({{1, 7, 1}, {2, 7, 2}, {3, 3, 1}, {4, 7, 3}, {5, 3, 2}, {6, 7, 4}});
    deleteVisit(2);
    ASSERT_TRUE(visits().setOrder(4));
    ASSERT_TRUE(visits().seek("F" + data::strNum(3) + data::strNum(2)));
    const uint32_t record = visits().recNo();

    RenumForm* w = open();
    ASSERT_NE(w, nullptr);
    press(w, "Button_1");
    EXPECT_EQ(label(w), QStringLiteral("Complete"));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("Label_1"))->palette().color(QPalette::WindowText),
              QColor(0, 0, 255));
    // The bar counts the deleted visit too, so it stops one short.
    auto* bar = w->findChild<QProgressBar*>(QStringLiteral("ProgressBar_1"));
    EXPECT_EQ(bar->maximum(), 6);
    EXPECT_EQ(bar->value(), 5);
    EXPECT_TRUE(program->messages().shown().empty());
    EXPECT_EQ(numbers(), (std::map<int, int>{{1, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}}));
    // Order 4 follows: the patient's visits by PV number are 1, 2, 3.
    ASSERT_TRUE(visits().setOrder(4));
    visits().setScope("F" + data::strNum(7));
    std::vector<int> byPv;
    for (visits().goTop(); !visits().eof(); visits().skip())
        byPv.push_back(static_cast<int>(visits().num("VISITNO")));
    visits().clearScope();
    EXPECT_EQ(byPv, (std::vector<int>{1, 4, 6}));

    const std::string once = tableBytes();
    press(w, "Button_1");
    EXPECT_EQ(tableBytes(), once);

    // Closed, the window puts the visit table back on its order and record.
    ASSERT_TRUE(visits().setOrder(1));
    visits().goTop();
    press(w, "Button_2");
    EXPECT_EQ(visits().indexOrd(), 4);
    EXPECT_EQ(visits().recNo(), record);
}

TEST_F(Renumbering, ALockHeldElsewhereChangesNothingAndAnEmptyTableIsCompleteAtOnce)
{
    RenumForm* w = open();
    ASSERT_NE(w, nullptr);
    press(w, "Button_1");
    EXPECT_EQ(label(w), QStringLiteral("Complete"));

    addVisits({{1, 7, 1}, {2, 7, 3}});
    const std::string before = tableBytes();
    auto other = db().use("PVISIT.dbf", "pvisit_elsewhere", {.shared = true});
    ASSERT_TRUE(other) << other.message();
    (*other)->goTo(2);
    ASSERT_TRUE((*other)->rlock());
    press(w, "Button_1");
    ASSERT_EQ(program->messages().shown().size(), 1u);
    EXPECT_EQ(program->messages().shown().front().kind, MessageKind::Exclamation);
    EXPECT_EQ(program->messages().shown().front().text, QStringLiteral("Renumbering failed. Unable to lock file !!"));
    EXPECT_EQ(tableBytes(), before);
    db().closeArea("pvisit_elsewhere");
    press(w, "Button_1");
    EXPECT_EQ(numbers(), (std::map<int, int>{{1, 1}, {2, 2}}));
}

} // namespace
} // namespace cn::testing
