// The browse bound to a work area: rows in the controlling order within the
// scope, its value as a record number, following the area, and reading only
// what it shows even on a large table.
#include "app/grid.h"
#include "support/testing.h"
#include "grid_memory_area.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

namespace cn {
namespace {

using testing::MemoryArea;

std::string nameOf(int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "Name%06d", i);
    return buf;
}

class BrowseTest : public ::testing::Test {
protected:
    void SetUp() override { testing::app(); }

    void fill(int n, bool reverse = false)
    {
        for (int i = 1; i <= n; ++i)
            area_.add(i, nameOf(reverse ? n + 1 - i : i));
        (void)area_.setOrder(1);
        area_.goTop();
    }
    BrowseGrid* makeGrid()
    {
        grid_ = std::make_unique<BrowseGrid>();
        grid_->resize(400, 330);
        grid_->setArea(&area_);
        grid_->setColumns({fieldColumn(QStringLiteral("Code"), 60, QStringLiteral("code")),
                           fieldColumn(QStringLiteral("Name"), 150, QStringLiteral("NAME"))});
        grid_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(grid_.get()));   // so that repaint() really paints
        return grid_.get();
    }

    MemoryArea area_;
    std::unique_ptr<BrowseGrid> grid_;
};

TEST_F(BrowseTest, RowsFollowOrderAndScopeAndModelIsConsistent)
{
    fill(300, /*reverse=*/true);   // record 1 holds the last name
    auto* g = makeGrid();
    QAbstractItemModelTester tester(g->browseModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    BrowseModel* m = g->browseModel();
    EXPECT_EQ(m->rowCount(), 300);
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(m->index(0, 1).data().toString(), QStringLiteral("Name000001"));   // trailing blanks dropped
    EXPECT_EQ(m->index(0, 0).data().toString(), QStringLiteral("300"));
    EXPECT_TRUE(m->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_EQ(m->recordAt(0), 300u);
    EXPECT_EQ(m->recordAt(299), 1u);
    EXPECT_EQ(m->recordAt(300), 0u);
    EXPECT_EQ(g->horizontalHeader()->sectionSize(1), 150);

    // A scope narrows the rows on the next refresh; a deleted record leaves.
    area_.setScope("FNAME0001");   // Name000100 .. Name000199
    area_.markDeleted(300 + 1 - 150);
    g->refresh();
    EXPECT_EQ(m->rowCount(), 99);
    EXPECT_EQ(m->index(0, 1).data().toString(), QStringLiteral("Name000100"));
    EXPECT_EQ(m->index(50, 1).data().toString(), QStringLiteral("Name000151"));
}

TEST_F(BrowseTest, ValueIsTheRecordOfTheSelectedRowAndMovesTheArea)
{
    fill(50, true);
    auto* g = makeGrid();
    QSignalSpy changed(g, &BrowseGrid::changed);

    area_.goTop();
    g->refresh();   // selects the area's current record without firing changed
    EXPECT_EQ(g->value(), 50u);
    EXPECT_EQ(g->currentIndex().row(), 0);
    EXPECT_EQ(changed.count(), 0);

    g->setValue(40);   // Name000011, the 11th row
    EXPECT_EQ(g->value(), 40u);
    EXPECT_EQ(g->currentIndex().row(), 10);
    EXPECT_EQ(area_.recNo(), 40u);
    EXPECT_EQ(changed.count(), 1);
    g->setValue(40);
    EXPECT_EQ(changed.count(), 1);   // no change, no event

    // The user moves down a row: the area follows.
    g->setFocus();
    QTest::keyClick(g, Qt::Key_Down);
    EXPECT_EQ(g->value(), 39u);
    EXPECT_EQ(area_.recNo(), 39u);
    EXPECT_EQ(changed.count(), 2);

    // A record outside the rows (deleted, or end of file) selects nothing.
    area_.markDeleted(20);
    g->refresh();
    g->setValue(20);
    EXPECT_EQ(g->value(), 0u);
    EXPECT_FALSE(g->selectionModel()->hasSelection());
    EXPECT_EQ(changed.count(), 3);

    // The area positioned elsewhere (a seek) is followed on refresh.
    area_.seek("FNAME000030");
    g->refresh();
    EXPECT_EQ(g->value(), 21u);
    EXPECT_EQ(g->currentIndex().row(), 29);
    area_.seek("FZZZ", true);                   // end of file
    g->refresh();
    EXPECT_EQ(g->value(), 0u);
}

TEST_F(BrowseTest, PaintingLeavesTheAreaWhereItWas)
{
    fill(500);
    auto* g = makeGrid();
    area_.seek("FNAME000250");
    const uint32_t rec = area_.recNo();
    g->verticalScrollBar()->setValue(g->verticalScrollBar()->maximum());
    g->viewport()->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(area_.recNo(), rec);
}

TEST_F(BrowseTest, LargeTableIsReadOnlyWhereShown)
{
    constexpr int n = 100000;
    fill(n);
    auto* g = makeGrid();
    BrowseModel* m = g->browseModel();
    area_.goTop();
    g->refresh();
    g->viewport()->repaint();
    EXPECT_EQ(m->rowCount(), n);
    EXPECT_GT(m->cachedRows(), 0);
    EXPECT_LT(area_.steps, 1000);   // the first screen only

    // Jump to the end with the keyboard.
    area_.steps = 0;
    g->setFocus();
    QTest::keyClick(g, Qt::Key_End, Qt::ControlModifier);
    g->viewport()->repaint();
    EXPECT_EQ(g->value(), static_cast<uint32_t>(n));
    EXPECT_EQ(area_.recNo(), static_cast<uint32_t>(n));
    EXPECT_LT(area_.steps, 1000);

    // Follow a seek to the middle: the row comes from the key position.
    area_.steps = 0;
    area_.seek("F" + [] { std::string s = nameOf(61234); for (auto& c : s) c = static_cast<char>(std::toupper(c)); return s; }());
    g->refresh();
    g->viewport()->repaint();
    EXPECT_EQ(g->value(), 61234u);
    EXPECT_EQ(g->currentIndex().row(), 61233);
    EXPECT_EQ(m->index(61233, 1).data().toString(), QString::fromStdString(nameOf(61234)));
    EXPECT_LT(area_.steps, 1000);

    // Dragging the scroll bar reads about as far as it travels.
    area_.steps = 0;
    auto* bar = g->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += bar->maximum() / 20) {
        bar->setValue(v);
        g->viewport()->repaint();
    }
    EXPECT_GT(area_.steps, n / 2);   // the rows painted on the way were read
    EXPECT_LT(area_.steps, 2 * n);
    EXPECT_LE(m->cachedRows(), BrowseModel::kMaxCached);
    EXPECT_EQ(m->index(n - 1, 1).data().toString(), QString::fromStdString(nameOf(n)));
}

} // namespace
} // namespace cn
