// The browse asks the engine for the selected row's position once per
// refresh, and what it remembers never outlives the refresh.
#include "app/grid.h"
#include "support/testing.h"
#include "grid_memory_area.h"

#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

namespace cn {
namespace {

using testing::MemoryArea;

std::string upperName(int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "NAME%06d", i);
    return buf;
}

class BrowsePositionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        for (int i = 1; i <= kRows; ++i)
            area_.add(i, "Name" + upperName(i).substr(4));
        (void)area_.setOrder(1);
        area_.goTop();
        grid_ = std::make_unique<BrowseGrid>();
        grid_->resize(400, 330);
        grid_->setArea(&area_);
        grid_->setColumns({fieldColumn(QStringLiteral("Code"), 60, QStringLiteral("CODE")),
                           fieldColumn(QStringLiteral("Name"), 150, QStringLiteral("NAME"))});
        grid_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid_.get()));
    }
    // What the seek box does on a keystroke: seek, refresh, paint.
    void seekAndPaint(int code)
    {
        area_.seek("F" + upperName(code), true);
        grid_->refresh();
        grid_->viewport()->repaint();
    }

    static constexpr int kRows = 20000;
    MemoryArea area_;
    std::unique_ptr<BrowseGrid> grid_;
};

TEST_F(BrowsePositionTest, EachSeekAsksForThePositionOnce)
{
    for (int code : {15000, 15001, 300, 19999, 7000}) {
        area_.keyNoCalls = 0;
        seekAndPaint(code);
        EXPECT_EQ(area_.keyNoCalls, 1) << "seek to " << code;
        EXPECT_EQ(grid_->value(), static_cast<uint32_t>(code));
        EXPECT_EQ(grid_->currentIndex().row(), code - 1);
        EXPECT_EQ(grid_->browseModel()->index(code - 1, 0).data().toString(), QString::number(code));
    }
}

TEST_F(BrowsePositionTest, RememberedRowIsForgottenOnRefresh)
{
    seekAndPaint(12000);
    ASSERT_EQ(grid_->currentIndex().row(), 11999);
    // Records before it leave the order (deleted, hidden): after a refresh
    // the same record sits higher up, and the grid must ask again.
    for (uint32_t r = 1; r <= 100; ++r)
        area_.markDeleted(r);
    area_.seek("F" + upperName(12000));
    area_.keyNoCalls = 0;
    grid_->refresh();
    grid_->viewport()->repaint();
    EXPECT_EQ(area_.keyNoCalls, 1);
    EXPECT_EQ(grid_->value(), 12000u);
    EXPECT_EQ(grid_->currentIndex().row(), 11899);
    EXPECT_EQ(grid_->browseModel()->rowCount(), kRows - 100);
    EXPECT_EQ(grid_->browseModel()->recordAt(11899), 12000u);
    EXPECT_EQ(grid_->browseModel()->recordAt(0), 101u);
}

} // namespace
} // namespace cn
