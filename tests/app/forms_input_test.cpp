// Input that never hides a fault: what one-line boxes do with pasted line
// breaks and characters a table cannot store, and date boxes with a day that
// does not exist.
#include "app/controls.h"
#include "app/forms.h"
#include "app/settings.h"
#include "support/testing.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <gtest/gtest.h>

namespace cn {
namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        resetSettings();
        f_ = new Form(QStringLiteral("Form_Input"));
        f_->place(0, 0, 400, 200);
        f_->build({
            {"TxtAddr", ControlKind::Text, 10, 10, 300, 24, "", "", 20},
            {"TxtUpper", ControlKind::UpperText, 10, 40, 300, 24},
            {"TxtDate", ControlKind::Date, 10, 70, 120, 24},
            {"TxtOther", ControlKind::Text, 10, 100, 120, 24},
        });
        f_->activate();
        ASSERT_TRUE(testing::showActive(f_));
    }
    void TearDown() override
    {
        releaseAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <class T>
    T* get(const char* name) const { return f_->control<T>(QLatin1String(name)); }
    Form* f_ = nullptr;
};

void paste(QWidget* box, const QString& clip)
{
    QGuiApplication::clipboard()->setText(clip);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

TEST_F(InputTest, OneLineBoxesTurnBreaksIntoSpacesAndSayWhatTheyLeaveOut)
{
    auto* addr = get<TextBox>("TxtAddr");   // at most 20 characters
    paste(addr, QStringLiteral("12 Main St\r\nFlat\t4"));
    EXPECT_EQ(addr->text(), QStringLiteral("12 Main St Flat 4"));
    EXPECT_TRUE(addr->notice().isEmpty()) << "nothing was left out";

    addr->clear();
    paste(addr, QStringLiteral("Ward 7,\nGeneral Hospital Road"));
    EXPECT_EQ(addr->text(), QStringLiteral("Ward 7, General Hosp"));
    EXPECT_TRUE(addr->notice().contains(QStringLiteral("cut to the box's 20 characters"))) << addr->notice().toStdString();

    // A name with characters the table cannot store keeps the rest and
    // names what it left out, pasted or typed.
    auto* upper = get<TextBox>("TxtUpper");
    paste(upper, QStringLiteral("ram \u0926\u0947\u0935 k\u0101nt\u0007"));
    EXPECT_EQ(upper->text(), QStringLiteral("RAM  KNT"));
    EXPECT_TRUE(upper->notice().contains(QStringLiteral("\u0926"))) << upper->notice().toStdString();
    EXPECT_TRUE(upper->notice().contains(QStringLiteral("\u0101")));
    upper->clear();
    QTest::keyClick(upper, Qt::Key_A);
    QTest::sendKeyEvent(QTest::Click, upper, Qt::Key_unknown, QStringLiteral("\u4E2D"), Qt::NoModifier);
    EXPECT_EQ(upper->text(), QStringLiteral("A"));
    EXPECT_EQ(upper->notice(), QStringLiteral("Cannot be stored here, left out: \u4E2D"));
}

TEST_F(InputTest, ImpossibleDateIsRefusedWhereItWasTypedAndKeepsTheFocus)
{
    auto* date = get<DatePicker>("TxtDate");
    date->setFocus();
    QTest::keyClicks(date, QStringLiteral("31022000"));
    EXPECT_EQ(date->text(), QStringLiteral("31-02-2000")) << "the day is not moved to the 28th or 29th";
    get<TextBox>("TxtOther")->setFocus();
    CN_TRY_VERIFY(date->hasFocus());
    EXPECT_EQ(date->text(), QStringLiteral("31-02-2000"));
    EXPECT_FALSE(date->textIsDate());
    EXPECT_EQ(date->notice(), QStringLiteral("31-02-2000 is not a date !!"));

    // Corrected, the box lets the focus go with the date typed.
    QTest::keyClick(date, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(date, Qt::Key_Delete);   // the whole text deleted: an empty box
    EXPECT_TRUE(date->isEmpty());
    QTest::keyClicks(date, QStringLiteral("29022000"));
    EXPECT_EQ(date->text(), QStringLiteral("29-02-2000"));
    get<TextBox>("TxtOther")->setFocus();
    CN_TRY_VERIFY(get<TextBox>("TxtOther")->hasFocus());
    EXPECT_EQ(date->value(), QDate(2000, 2, 29));
    EXPECT_TRUE(date->notice().isEmpty());
}

} // namespace
} // namespace cn
