// The status bar: clock text, date, folder, and the keyboard lamps.
#include "app/keyboard.h"
#include "app/settings.h"
#include "app/statusbar.h"
#include "support/testing.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace cn {
namespace {

TEST(ClockText, TwelveHourFormAroundMidnightAndNoon)
{
    EXPECT_EQ(clockText(QTime(0, 0, 0)), QStringLiteral("12:00:00 am"));
    EXPECT_EQ(clockText(QTime(0, 59, 7)), QStringLiteral("12:59:07 am"));
    EXPECT_EQ(clockText(QTime(1, 2, 3)), QStringLiteral("01:02:03 am"));
    EXPECT_EQ(clockText(QTime(11, 59, 59)), QStringLiteral("11:59:59 am"));
    EXPECT_EQ(clockText(QTime(12, 0, 0)), QStringLiteral("12:00:00 pm"));
    EXPECT_EQ(clockText(QTime(13, 0, 0)), QStringLiteral("01:00:00 pm"));
    EXPECT_EQ(clockText(QTime(21, 5, 33)), QStringLiteral("09:05:33 pm"));
    EXPECT_EQ(clockText(QTime(23, 59, 59)), QStringLiteral("11:59:59 pm"));
}

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        auto k = std::make_unique<ScriptedKeyboardLocks>();
        keys_ = k.get();
        setKeyboardLocks(std::move(k));
        resetSettings();
        settings().MCURDIR = QStringLiteral("/srv/practice/data");
    }
    void TearDown() override
    {
        setKeyboardLocks(nullptr);
        resetSettings();
    }
    ScriptedKeyboardLocks* keys_ = nullptr;
};

TEST_F(StatusBarTest, ShowsFolderDateAndTickingClock)
{
    testing::ScopedClock clock(QDate(2026, 12, 8), QTime(21, 5, 33));
    StatusBar bar;
    EXPECT_EQ(bar.objectName(), QStringLiteral("StatusBar"));
    EXPECT_EQ(bar.folderItem()->text(), QStringLiteral("/srv/practice/data"));
    EXPECT_EQ(bar.folderItem()->toolTip(), QStringLiteral("/srv/practice/data"));
    EXPECT_EQ(bar.dateItem()->text(), QStringLiteral("8 Dec 2026"));
    EXPECT_EQ(bar.dateItem()->toolTip(), QStringLiteral("8 Dec 2026"));
    EXPECT_EQ(bar.dateItem()->width(), 90);
    EXPECT_EQ(bar.clockItem()->width(), 92);
    EXPECT_EQ(bar.clockItem()->text(), QStringLiteral("09:05:33 pm"));

    // The clock follows the time; its tooltip keeps the time at start.
    clock->time = QTime(0, 0, 1);
    CN_TRY_COMPARE(bar.clockItem()->text(), QStringLiteral("12:00:01 am"));
    EXPECT_EQ(bar.clockItem()->toolTip(), QStringLiteral("09:05:33 pm"));
    EXPECT_EQ(bar.dateItem()->text(), QStringLiteral("8 Dec 2026"));
}

TEST_F(StatusBarTest, LampsFollowTheKeysAndAClickTogglesTheKey)
{
    keys_->set(LockKey::CapsLock, true);
    StatusBar bar;
    bar.show();
    EXPECT_FALSE(bar.lampOn(LockKey::NumLock));
    EXPECT_TRUE(bar.lampOn(LockKey::CapsLock));
    EXPECT_FALSE(bar.lampOn(LockKey::Insert));
    EXPECT_EQ(bar.lamp(LockKey::NumLock)->text(), QStringLiteral("NumLock"));
    EXPECT_EQ(bar.lamp(LockKey::CapsLock)->text(), QStringLiteral("CapsLock"));
    EXPECT_EQ(bar.lamp(LockKey::Insert)->text(), QStringLiteral("Insert"));

    // Changed outside the program: the lamp catches up on its own.
    keys_->set(LockKey::NumLock, true);
    keys_->set(LockKey::CapsLock, false);
    CN_TRY_VERIFY(bar.lampOn(LockKey::NumLock) && !bar.lampOn(LockKey::CapsLock));

    QTest::mouseClick(bar.findChild<QToolButton*>(QStringLiteral("Status_Insert")), Qt::LeftButton);
    EXPECT_EQ(keys_->toggles(LockKey::Insert), 1);
    EXPECT_TRUE(keys_->isOn(LockKey::Insert));
    EXPECT_TRUE(bar.lampOn(LockKey::Insert));
    EXPECT_EQ(keys_->toggles(LockKey::NumLock), 0);
}

TEST(KeyboardLocks, InsertKeySwitchesTheProgramsInsertModeOncePerPress)
{
    testing::app();
    setKeyboardLocks(nullptr);
    QWidget window;
    auto* box = new QLineEdit(&window);
    window.show();
    box->setFocus();
    QApplication::setActiveWindow(&window);
    CN_TRY_VERIFY(box->hasFocus());

    const bool before = keyboardLocks().isOn(LockKey::Insert);
    QTest::keyClick(box, Qt::Key_Insert);
    EXPECT_EQ(keyboardLocks().isOn(LockKey::Insert), !before);
    QTest::keyClick(box, Qt::Key_Insert);
    EXPECT_EQ(keyboardLocks().isOn(LockKey::Insert), before);
    // A click on the lamp switches it as well.
    keyboardLocks().toggle(LockKey::Insert);
    EXPECT_EQ(keyboardLocks().isOn(LockKey::Insert), !before);
    keyboardLocks().toggle(LockKey::Insert);
}

} // namespace
} // namespace cn
