// The control kinds and the declaration table: names, positions and limits
// as declared, what each kind accepts from the keyboard, and its value.
#include "app/controls.h"
#include "app/forms.h"
#include "app/routines.h"
#include "app/settings.h"
#include "support/testing.h"
#include "app/text.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace cn {
namespace {

// Types text the way a keyboard would, including characters QTest's own
// helper only knows in ASCII.
void typeText(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

class FormsControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        resetSettings();
        f_ = new Form(QStringLiteral("Form_Controls"));
        f_->place(0, 0, 900, 500);
        f_->activate();
        ASSERT_TRUE(testing::showActive(f_));   // focus moves only in the active window
    }
    void TearDown() override
    {
        releaseAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        resetSettings();
    }
    template <class T>
    T* get(const char* name) const
    {
        T* w = f_->control<T>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    Form* f_ = nullptr;
};

TEST_F(FormsControlsTest, DeclarationTableSetsNamePositionAndLimits)
{
    f_->build({
        {"Frame_Edit", ControlKind::Frame, 430, 5, 470, 480, "Edit"},
        {"Lb_PatCode", ControlKind::Label, 440, 25, 77, 15, "Code"},
        {"TxtPatTitle", ControlKind::Text, 670, 20, 60, 25, "", "Example: Prof., Dr., Ms, Mr.", 10},
        {"TxtPatCode", ControlKind::Numeric, 520, 20, 60, 25, "", "", 0, "", true},
        ControlDecl{"TxtPatSex", ControlKind::Radio, 522, 130, 60, 40}.withItems({"Female", "Male"}).withSpacing(20),
        ControlDecl{"TxtPatAgeYrs", ControlKind::Text, 710, 160, 50, 25, "", "Age in Years"}.right().off(),
        ControlDecl{"Grid_List", ControlKind::Grid, 15, 25, 400, 200}.withItems({"Code", "Name"}).withWidths({60, 150}),
        ControlDecl{"Tab_1", ControlKind::Tab, 10, 250, 300, 200}.withItems({"One", "Two"}),
        ControlDecl{"TxtOnPage", ControlKind::Text, 5, 40, 80, 24}.on("Tab_1", 2),
    });
    f_->activate();

    auto* title = get<TextBox>("TxtPatTitle");
    EXPECT_EQ(title->geometry(), QRect(670, 20, 60, 25));
    EXPECT_EQ(title->toolTip(), QStringLiteral("Example: Prof., Dr., Ms, Mr."));
    EXPECT_EQ(title->maxLength(), 10);
    EXPECT_EQ(title->parentWidget(), f_);   // window coordinates, even inside a frame's area

    EXPECT_TRUE(get<NumberBox>("TxtPatCode")->isReadOnly());
    EXPECT_EQ(get<QLabel>("Lb_PatCode")->text(), QStringLiteral("Code"));
    EXPECT_EQ(get<QGroupBox>("Frame_Edit")->title(), QStringLiteral("Edit"));
    EXPECT_FALSE(get<TextBox>("TxtPatAgeYrs")->isEnabled());
    EXPECT_TRUE(get<TextBox>("TxtPatAgeYrs")->alignment() & Qt::AlignRight);

    auto* sex = get<RadioGroup>("TxtPatSex");
    EXPECT_EQ(sex->count(), 2);
    EXPECT_EQ(sex->option(2)->y() - sex->option(1)->y(), 20);   // stacked 20 apart

    auto* grid = get<ArrayGrid>("Grid_List");
    EXPECT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->columnWidth(1), 150);

    auto* onPage = get<TextBox>("TxtOnPage");
    EXPECT_EQ(onPage->parentWidget()->objectName(), QStringLiteral("Tab_1_Page2"));
    // Placed from the tab control's corner, as the tables give positions,
    // below the row of tabs.
    get<QTabWidget>("Tab_1")->setCurrentIndex(1);
    EXPECT_EQ(onPage->mapTo(get<QTabWidget>("Tab_1"), QPoint()), QPoint(5, 40));
    EXPECT_GT(onPage->pos().y(), 0);
}

TEST_F(FormsControlsTest, TextBoxesTakeOnlyStorableCharactersUpToTheirLength)
{
    f_->build({
        {"TxtName", ControlKind::Text, 10, 10, 200, 24, "", "", 8},
        {"TxtUpper", ControlKind::UpperText, 10, 40, 200, 24},
    });
    f_->activate();
    auto* name = get<TextBox>("TxtName");
    name->setFocus();
    typeText(name, QStringLiteral("Zoë€ab"));
    EXPECT_EQ(name->text(), QStringLiteral("Zoë€ab"));   // Windows-1252 has ë and €
    name->clear();
    typeText(name, QStringLiteral("a\u0101b\u4E2Dc"));   // ā and 中 have no byte
    EXPECT_EQ(name->text(), QStringLiteral("abc"));
    name->clear();
    QTest::keyClicks(name, QStringLiteral("abcdefghijk"));
    EXPECT_EQ(name->text(), QStringLiteral("abcdefgh"));

    auto* upper = get<TextBox>("TxtUpper");
    upper->setFocus();
    typeText(upper, QStringLiteral("home visit ë µ"));
    // µ's upper case (Greek) could not be stored, so it stays as typed.
    EXPECT_EQ(upper->text(), QStringLiteral("HOME VISIT Ë µ"));
}

TEST_F(FormsControlsTest, NumericBoxFollowsItsPicture)
{
    f_->build({
        {"TxtFee", ControlKind::Numeric, 10, 10, 120, 24, "", "", 0, "9,99,99,999.99"},
        {"TxtPulse", ControlKind::Numeric, 10, 40, 60, 24, "", "", 0, "999"},
        {"TxtOther", ControlKind::Text, 10, 70, 60, 24},
    });
    f_->activate();
    auto* fee = get<NumberBox>("TxtFee");
    fee->setValue(1234567.5);
    EXPECT_EQ(fee->text(), QStringLiteral("12,34,567.50"));
    EXPECT_DOUBLE_EQ(fee->value(), 1234567.5);

    fee->clear();
    fee->setFocus();
    QTest::keyClicks(fee, QStringLiteral("12a34.567"));   // letters refused, two decimals only
    EXPECT_EQ(fee->text(), QStringLiteral("1234.56"));
    get<TextBox>("TxtOther")->setFocus();
    CN_TRY_COMPARE(fee->text(), QStringLiteral("1,234.56"));   // grouped on leaving

    auto* pulse = get<NumberBox>("TxtPulse");
    pulse->setFocus();
    QTest::keyClicks(pulse, QStringLiteral("12345"));
    EXPECT_EQ(pulse->text(), QStringLiteral("123"));
    QTest::keyClicks(pulse, QStringLiteral("."));
    EXPECT_EQ(pulse->text(), QStringLiteral("123"));
    EXPECT_EQ(GetProperty("Form_Controls", "TxtPulse", "Value").toDouble(), 123.0);
}

TEST(Pictures, FormatAmountsAndOverflow)
{
    EXPECT_EQ(formatPicture(0, QStringLiteral("9,99,99,999.99")), QStringLiteral("0.00"));
    EXPECT_EQ(formatPicture(999.999, QStringLiteral("9,999.99")), QStringLiteral("1,000.00"));
    EXPECT_EQ(formatPicture(12345678.9, QStringLiteral("999,99,99,999.99")), QStringLiteral("1,23,45,678.90"));
    EXPECT_EQ(formatPicture(1234567, QStringLiteral("9,999,999")), QStringLiteral("1,234,567"));
    EXPECT_EQ(formatPicture(-42.5, QStringLiteral("99,999.99")), QStringLiteral("-42.50"));
    EXPECT_EQ(formatPicture(1000, QStringLiteral("999")), QStringLiteral("***"));   // too wide: never a wrong number
    EXPECT_DOUBLE_EQ(numberFromText(QStringLiteral("1,23,456.75")), 123456.75);
    EXPECT_DOUBLE_EQ(numberFromText(QString()), 0.0);
}

TEST_F(FormsControlsTest, RadioComboAndArrayGridValuesCountFromOne)
{
    f_->build({
        ControlDecl{"TxtPatSex", ControlKind::Radio, 10, 10, 80, 40}.withItems({"Female", "Male"}),
        ControlDecl{"Combo_Status", ControlKind::Combo, 10, 60, 120, 24}.withItems({"Pending", "Transferred", "Cured"}),
        ControlDecl{"Grid_Visits", ControlKind::Grid, 10, 100, 300, 150}.withItems({"PV No", "Date"}).withWidths({60, 90}),
    });
    f_->activate();
    auto* sex = get<RadioGroup>("TxtPatSex");
    int changes = 0;
    onChange(sex, [&] { ++changes; });
    EXPECT_EQ(sex->value(), 0);
    QTest::mouseClick(sex->option(2), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(sex->value(), 2);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(SetProperty("Form_Controls", "TxtPatSex", "Value", 1));
    EXPECT_EQ(sex->value(), 1);
    sex->setValue(0);
    EXPECT_EQ(GetProperty("Form_Controls", "TxtPatSex", "Value").toInt(), 0);

    EXPECT_TRUE(SetProperty("Form_Controls", "Combo_Status", "Value", 3));
    EXPECT_EQ(get<ComboBox>("Combo_Status")->currentText(), QStringLiteral("Cured"));
    EXPECT_EQ(GetProperty("Form_Controls", "Combo_Status", "Item", 2).toString(), QStringLiteral("Transferred"));

    auto* grid = get<ArrayGrid>("Grid_Visits");
    EXPECT_TRUE(AddItem("Form_Controls", "Grid_Visits", QStringList{"1", "01-02-2026"}));
    EXPECT_TRUE(AddItem("Form_Controls", "Grid_Visits", QStringList{"2", "03-04-2026"}));
    EXPECT_EQ(grid->value(), 0);
    EXPECT_EQ(GETCOLUMNVALUE(QStringLiteral("Grid_Visits"), QStringLiteral("Form_Controls"), 2), QString());
    grid->setValue(2);
    EXPECT_EQ(GetProperty("Form_Controls", "Grid_Visits", "Value").toInt(), 2);
    EXPECT_EQ(GetProperty("Form_Controls", "Grid_Visits", "Item", 2).toStringList(), (QStringList{"2", "03-04-2026"}));
    EXPECT_EQ(GETCOLUMNVALUE(QStringLiteral("Grid_Visits"), QStringLiteral("Form_Controls"), 2), QStringLiteral("03-04-2026"));
    EXPECT_EQ(GETCOLUMNVALUE(QStringLiteral("Grid_Visits"), QStringLiteral("Form_Controls"), 3), QString());
    EXPECT_TRUE(SetProperty("Form_Controls", "Grid_Visits", "HeaderImage", 2, 1));
    EXPECT_EQ(GetProperty("Form_Controls", "Grid_Visits", "HeaderImage", 1).toInt(), 2);
    EXPECT_TRUE(DoMethod("Form_Controls", "Grid_Visits", "DeleteAllItems"));
    EXPECT_EQ(grid->itemCount(), 0);
    EXPECT_EQ(grid->value(), 0);
}

TEST_F(FormsControlsTest, DropDownListIsNoHigherThanItsListHeight)
{
    QStringList many;
    for (int i = 1; i <= 40; ++i)
        many << QStringLiteral("Medicine %1").arg(i);
    f_->build({
        ControlDecl{"Combo_Many", ControlKind::Combo, 10, 10, 200, 24}.withItems(many).listHeight(100),
        ControlDecl{"Combo_Few", ControlKind::Combo, 10, 40, 200, 24}.withItems({"All", "F", "M"}).listHeight(100),
        ControlDecl{"Combo_Free", ControlKind::Combo, 10, 70, 200, 24}.withItems(many),
    });
    auto openHeight = [](ComboBox* c) {
        c->showPopup();
        QWidget* list = c->view()->window();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(list));
        const int h = list->height();
        const bool currentShown = c->view()->viewport()->rect().intersects(c->view()->visualRect(c->view()->currentIndex()));
        EXPECT_TRUE(currentShown) << c->objectName().toStdString();
        c->hidePopup();
        return h;
    };
    auto* manyBox = get<ComboBox>("Combo_Many");
    manyBox->setValue(30);
    EXPECT_EQ(openHeight(manyBox), 100);   // the rest scrolls
    EXPECT_GT(openHeight(get<ComboBox>("Combo_Free")), 100);
    auto* few = get<ComboBox>("Combo_Few");
    EXPECT_LT(openHeight(few), 100);        // a short list is not stretched
    EXPECT_EQ(few->view()->verticalScrollBar()->maximum(), 0);
}

TEST_F(FormsControlsTest, DatePickerHoldsTheEmptyDateAndShowsTheDatePicture)
{
    testing::ScopedClock clock(QDate(2026, 6, 10));
    f_->build({{"TxtPatDOB", ControlKind::Date, 10, 10, 120, 24}});
    f_->activate();
    auto* dob = get<DatePicker>("TxtPatDOB");
    EXPECT_TRUE(dob->isEmpty());
    EXPECT_FALSE(dob->value().isValid());
    EXPECT_EQ(dob->text().trimmed(), QString());

    dob->setValue(QDate(2000, 6, 15));
    EXPECT_EQ(dob->text(), QStringLiteral("15-06-2000"));
    EXPECT_EQ(GetProperty("Form_Controls", "TxtPatDOB", "Value").toDate(), QDate(2000, 6, 15));

    settings().CDATEFORMAT = QStringLiteral("MM/dd/yyyy");
    DatePicker::applyDateFormatToAll();
    EXPECT_EQ(dob->text(), QStringLiteral("06/15/2000"));

    dob->setValue(QDate());
    EXPECT_TRUE(dob->isEmpty());
    // Typing into an empty picker starts from today.
    dob->setFocus();
    QTest::keyClick(dob, Qt::Key_0);
    EXPECT_FALSE(dob->isEmpty());
    EXPECT_EQ(dob->value().year(), 2026);
}

TEST(MessageRoutines, KindsTitlesAndResultCodes)
{
    testing::ScopedMessages msgs;
    msgs->answerYes();
    msgs->answerNo();
    msgs->answerOk();
    msgs->answerCancel();
    EXPECT_TRUE(MESGINFO(QStringLiteral("Append Successful")));
    EXPECT_TRUE(MESGEXCLAMATION(QStringLiteral("No data to process !!"), QStringLiteral("Patients")));
    EXPECT_TRUE(MESGSTOP(QStringLiteral("Stop")));
    EXPECT_EQ(MESGYESNO(QStringLiteral("Delete ?")), 6);
    EXPECT_EQ(MESGYESNO(QStringLiteral("Delete ?")), 7);
    EXPECT_EQ(MESGOKCANCEL(QStringLiteral("Go on ?")), 1);
    EXPECT_EQ(MESGOKCANCEL(QStringLiteral("Go on ?")), 2);
    ASSERT_EQ(msgs->shown().size(), 7u);
    const MessageKind kinds[] = {MessageKind::Info, MessageKind::Exclamation, MessageKind::Stop,
                                 MessageKind::YesNo, MessageKind::YesNo, MessageKind::OkCancel,
                                 MessageKind::OkCancel};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(msgs->shown()[i].kind, kinds[i]) << i;
    EXPECT_EQ(msgs->shown()[0].title, QStringLiteral("Curanote 1.0"));
    EXPECT_EQ(msgs->shown()[1].title, QStringLiteral("Patients"));
    EXPECT_EQ(msgs->unscripted(), 0);
}

} // namespace
} // namespace cn
