// What the entry windows need of the controls: a text box's pick button, a
// date picker's check for "no date", a time picker Tab leaves, a rich-text
// box's length limit, leaving a control as opposed to leaving the window,
// and the two states switched from one table.
#include "app/controls.h"
#include "app/entrystates.h"
#include "app/forms.h"
#include "support/testing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace cn {
namespace {

using K = ControlKind;

class FormsEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        f_ = new Form(QStringLiteral("Form_Entry"));
        f_->place(0, 0, 600, 400);
        f_->build({
            ControlDecl{"TxtChName", K::Text, 10, 10, 200, 24, "", "", 40}.withPick(),
            ControlDecl{"TxtNextVisit", K::Date, 10, 40, 120, 24}.withNoneCheck(),
            {"TxtVisitTm", K::Time, 10, 70, 80, 24, "", "", 0, "HH:mm:ss"},
            {"TxtPatPres", K::RichText, 10, 100, 300, 100, "", "", 20},
            {"TxtPatNote", K::Text, 10, 210, 200, 24},
            {"Bt_Save", K::Button, 10, 240, 70, 28, "&Save"},
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

TEST_F(FormsEntryTest, PickButtonAsksForTheListAndIsOffWhileTheBoxIsReadOnly)
{
    auto* box = get<TextBox>("TxtChName");
    ASSERT_NE(box->pickAction(), nullptr);
    QSignalSpy asked(box, &TextBox::pickRequested);
    box->pickAction()->trigger();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_F4);
    EXPECT_EQ(asked.count(), 2);
    box->setReadOnly(true);
    EXPECT_FALSE(box->pickAction()->isEnabled());
    QTest::keyClick(box, Qt::Key_F4);
    EXPECT_EQ(asked.count(), 2);
    box->setReadOnly(false);
    EXPECT_TRUE(box->pickAction()->isEnabled());
    EXPECT_EQ(get<TextBox>("TxtPatNote")->pickAction(), nullptr);
}

TEST_F(FormsEntryTest, NoneCheckClearsTheDateAndBringsItBack)
{
    auto* d = get<DatePicker>("TxtNextVisit");
    QCheckBox* none = d->noneCheck();
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->focusPolicy(), Qt::NoFocus) << "no second Tab stop inside the box";
    EXPECT_FALSE(none->isChecked()) << "empty at first";
    d->setValue(QDate(2026, 7, 1));
    EXPECT_TRUE(none->isChecked());
    QTest::mouseClick(none, Qt::LeftButton);
    EXPECT_TRUE(d->isEmpty());
    EXPECT_EQ(d->value(), QDate());
    QTest::mouseClick(none, Qt::LeftButton);
    EXPECT_EQ(d->value(), QDate(2026, 7, 1)) << "the date it had";
    d->setValue(QDate());
    EXPECT_FALSE(none->isChecked());
    d->setReadOnly(true);
    EXPECT_FALSE(none->isEnabled());
}

TEST_F(FormsEntryTest, TabLeavesATimePickerFromAnyPartAndARichTextBox)
{
    auto* t = get<QTimeEdit>("TxtVisitTm");
    EXPECT_EQ(t->displayFormat(), QStringLiteral("HH:mm:ss"));
    t->setFocus(Qt::TabFocusReason);
    QTest::keyClick(t, Qt::Key_Tab);
    auto* r = get<RichTextBox>("TxtPatPres");
    EXPECT_EQ(QApplication::focusWidget(), r);
    QTest::keyClick(r, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(r->toPlainText(), QStringLiteral("\t")) << "Ctrl+Tab types a tab";
    QTest::keyClick(r, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), get<TextBox>("TxtPatNote"));
}

TEST_F(FormsEntryTest, RichTextBoxRefusesTextBeyondItsLength)
{
    auto* r = get<RichTextBox>("TxtPatPres");
    EXPECT_EQ(r->maxLength(), 20);
    r->setFocus();
    QTest::keyClicks(r, QStringLiteral("Paracetamol 500 mg"));
    QTest::keyClick(r, Qt::Key_Return);
    QTest::keyClicks(r, QStringLiteral("xyz"));
    EXPECT_EQ(r->toPlainText(), QStringLiteral("Paracetamol 500 mg\nx")) << "a line break counts as one";
    EXPECT_FALSE(r->notice().isEmpty());
    // A paste is cut to what fits; its start is kept, and one undo takes it all.
    r->setPlainText(QStringLiteral("Take "));
    r->moveCursor(QTextCursor::End);
    auto* mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b>two tablets daily</b>"));
    QGuiApplication::clipboard()->setMimeData(mime);
    r->paste();
    EXPECT_EQ(r->toPlainText(), QStringLiteral("Take two tablets dai"));
    QTextCursor c(r->document());
    c.setPosition(7);
    EXPECT_TRUE(c.charFormat().fontWeight() >= QFont::Bold) << "formatting kept";
    r->undo();
    EXPECT_EQ(r->toPlainText(), QStringLiteral("Take "));
    // A longer text already stored is shown whole, and may be shortened.
    r->setPlainText(QString(30, QLatin1Char('a')));
    EXPECT_EQ(r->length(), 30);
    r->moveCursor(QTextCursor::End);
    QTest::keyClick(r, Qt::Key_Backspace);
    EXPECT_EQ(r->length(), 29);
}

TEST_F(FormsEntryTest, LeavingIsMovingToAnotherControlNotToAnotherWindow)
{
    auto* box = get<TextBox>("TxtPatNote");
    int left = 0;
    onLeave(box, [&] { ++left; });
    box->setFocus(Qt::TabFocusReason);
    Form other(QStringLiteral("Form_Other"));
    other.place(650, 0, 100, 100);
    other.activate();
    ASSERT_TRUE(testing::showActive(&other));
    EXPECT_EQ(left, 0) << "only the window lost the activation";
    ASSERT_TRUE(testing::showActive(f_));
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(left, 1);
}

TEST_F(FormsEntryTest, StatesSwitchEveryRuleTogether)
{
    EntryStates s;
    s.browsing = f_->needAll({"TxtChName"});
    s.editable = f_->needAll({"TxtPatNote", "TxtPatPres"});
    s.entering = f_->needAll({"TxtNextVisit", "Bt_Save"});
    s.readOnly = f_->needAll({"TxtVisitTm"});
    s.apply(false);
    EXPECT_TRUE(get<TextBox>("TxtChName")->isEnabled());
    EXPECT_TRUE(get<TextBox>("TxtPatNote")->isReadOnly());
    EXPECT_TRUE(get<TextBox>("TxtPatNote")->isEnabled()) << "read-only, still selectable";
    EXPECT_TRUE(get<RichTextBox>("TxtPatPres")->isReadOnly());
    EXPECT_FALSE(get<QWidget>("Bt_Save")->isEnabled());
    EXPECT_TRUE(get<QTimeEdit>("TxtVisitTm")->isReadOnly());
    s.apply(true);
    EXPECT_FALSE(get<TextBox>("TxtChName")->isEnabled());
    EXPECT_FALSE(get<TextBox>("TxtPatNote")->isReadOnly());
    EXPECT_TRUE(get<DatePicker>("TxtNextVisit")->isEnabled());
    EXPECT_TRUE(get<QTimeEdit>("TxtVisitTm")->isReadOnly());
}

} // namespace
} // namespace cn
