// The browse over a real table of 100,000 patients: opening, jumping to the
// end, following a seek and dragging the scroll bar each read only a small
// part of the table and take no visible time.
#include "app/database.h"
#include "app/grid.h"
#include "support/testing.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

namespace cn {
namespace {

constexpr int kPatients = 100000;

std::string firstName(int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "Pat%06d", i);
    return buf;
}

class BrowseEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testing::app();
        folder_ = new testing::ScopedDataFolder;
        auto& ws = db();
        ASSERT_TRUE(ws.create("PATNT", {{"PATCODE", 'N', 10, 0}, {"PATFNAME", 'C', 20, 0}, {"PATLNAME", 'C', 20, 0}}));
        auto a = ws.use("PATNT");
        ASSERT_TRUE(a);
        // Appended in reverse name order, so record numbers and rows differ.
        for (int i = kPatients; i >= 1; --i) {
            ASSERT_TRUE((*a)->append());
            ASSERT_TRUE((*a)->setNum("PATCODE", kPatients + 1 - i));
            ASSERT_TRUE((*a)->setStr("PATFNAME", firstName(i)));
            ASSERT_TRUE((*a)->setStr("PATLNAME", "Rid"));
        }
        ASSERT_TRUE((*a)->createIndex("PATNT1", "iif(deleted(), 'T', 'F')+str(patcode)"));
        ASSERT_TRUE((*a)->createIndex("PATNT2", "iif(deleted(), 'T', 'F')+upper(patfname)+upper(patlname)"));
        ws.closeArea("patnt");
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }

    void SetUp() override
    {
        auto a = db().use("PATNT", "patnt", {.shared = true});
        ASSERT_TRUE(a) << a.message();
        area_ = *a;
        ASSERT_TRUE(area_->setIndex("PATNT1"));
        ASSERT_TRUE(area_->setIndex("PATNT2"));
        ASSERT_TRUE(area_->setOrder(2));
        area_->goTop();
        grid_ = std::make_unique<BrowseGrid>();
        grid_->resize(400, 329);
        grid_->setAlias(QStringLiteral("PATNT"));
        grid_->setColumns({fieldColumn(QStringLiteral("Code"), 60, QStringLiteral("PATCODE")),
                           fieldColumn(QStringLiteral("First Name"), 150, QStringLiteral("PATFNAME")),
                           fieldColumn(QStringLiteral("Last Name"), 150, QStringLiteral("PATLNAME"))});
        grid_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid_.get()));   // so that repaint() really paints
    }
    void TearDown() override
    {
        grid_.reset();
        db().closeArea("patnt");
    }

    // Milliseconds taken by a step followed by a full repaint.
    template <class F>
    qint64 timed(F step)
    {
        QElapsedTimer t;
        t.start();
        step();
        grid_->viewport()->repaint();
        return t.elapsed();
    }

    static testing::ScopedDataFolder* folder_;
    data::WorkArea* area_ = nullptr;
    std::unique_ptr<BrowseGrid> grid_;
};

testing::ScopedDataFolder* BrowseEngineTest::folder_ = nullptr;

TEST_F(BrowseEngineTest, LargeTableScrollsJumpsAndFollowsWithoutPause)
{
    BrowseModel* m = grid_->browseModel();
    const qint64 open = timed([&] { grid_->refresh(); });
    ASSERT_EQ(m->rowCount(), kPatients);
    EXPECT_EQ(grid_->value(), static_cast<uint32_t>(kPatients));   // Pat000001 was appended last
    EXPECT_EQ(m->index(0, 1).data().toString(), QStringLiteral("Pat000001"));

    grid_->setFocus();
    const qint64 end = timed([&] { QTest::keyClick(grid_.get(), Qt::Key_End, Qt::ControlModifier); });
    EXPECT_EQ(grid_->value(), 1u);
    EXPECT_EQ(area_->recNo(), 1u);

    const qint64 seek = timed([&] {
        ASSERT_TRUE(area_->seek("FPAT061234"));
        grid_->refresh();
    });
    EXPECT_EQ(grid_->currentIndex().row(), 61233);
    EXPECT_EQ(m->index(61233, 1).data().toString(), QStringLiteral("Pat061234"));

    auto* bar = grid_->verticalScrollBar();
    qint64 drag = 0;
    m->resetCounters();
    int drags = 0;
    for (int v = 0; v <= bar->maximum(); v += bar->maximum() / 25, ++drags) {
        drag = std::max(drag, timed([&] { bar->setValue(v); }));
        char name[16];
        std::snprintf(name, sizeof name, "Pat%06d", v + 1);
        EXPECT_EQ(m->index(v, 1).data().toString(), QLatin1String(name)) << "the row at the top after the drag";
    }
    // Each step jumped to its place by the index's key positions and read
    // about the rows it shows, not the way there.
    EXPECT_LT(m->recordsVisited(), static_cast<quint64>(drags * 4 * BrowseModel::kBlock));

    std::printf("browse over %d patients: open %lld ms, end %lld ms, seek %lld ms, worst drag step %lld ms\n",
                kPatients, static_cast<long long>(open), static_cast<long long>(end),
                static_cast<long long>(seek), static_cast<long long>(drag));
    // Generous bounds (sanitizer builds are slow); the figures above are the measure.
    EXPECT_LT(open, 1000);
    EXPECT_LT(end, 1000);
    EXPECT_LT(seek, 1000);
    EXPECT_LT(drag, 2000);
    EXPECT_EQ(area_->recNo(), static_cast<uint32_t>(kPatients + 1 - 61234));   // painting moved nothing
}

TEST_F(BrowseEngineTest, ModelIsConsistentWithinAScope)
{
    area_->setScope("FPAT0001");   // Pat000100 .. Pat000199
    area_->goTop();
    grid_->refresh();
    QAbstractItemModelTester tester(grid_->browseModel(), QAbstractItemModelTester::FailureReportingMode::Warning);
    BrowseModel* m = grid_->browseModel();
    ASSERT_EQ(m->rowCount(), 100);
    EXPECT_EQ(m->index(99, 1).data().toString(), QStringLiteral("Pat000199"));
    EXPECT_EQ(m->index(0, 0).data().toString(), QString::number(kPatients + 1 - 100));
    grid_->setValue(static_cast<uint32_t>(kPatients + 1 - 150));
    EXPECT_EQ(grid_->currentIndex().row(), 50);
    grid_->setValue(1);   // outside the scope
    EXPECT_EQ(grid_->value(), 0u);
    area_->clearScope();
}

} // namespace
} // namespace cn
