// Field bindings over every kind of control the windows bind: a record
// written from the controls and read back into them, the stored-values copy
// that undoes a write, the test for a change made elsewhere, and a binding
// table that names what is not there.
#include "app/bindings.h"
#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "support/program_fixture.h"

#include <QTemporaryDir>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace cn::testing {
namespace {

using K = ControlKind;

// Stands for the prescription's RTF codec: proves the codec is what reads
// and writes a rich-text box's memo.
const RichCodec kTaggedText{
    [](QTextDocument& doc, const std::string& stored) {
        doc.setPlainText(QString::fromStdString(stored).remove(QStringLiteral("TAGGED:")));
    },
    [](const QTextDocument& doc) { return "TAGGED:" + doc.toPlainText().toStdString(); },
};

const FieldBinding kVisitFields[] = {
    {"TxtPatFees", "PATFEES", Bind::Number, {}, "9,99,99,999.99"},
    {"TxtPatTemp", "PATTEMP", Bind::Number},
    {"TxtVisitTm", "VISITTM", Bind::Time},
    {"TxtVisitType", "VISITTYPE", Bind::Option},
    {"TxtPVStatus", "PVSTATUS", Bind::Combo},
    {"TxtPatNote", "PATNOTE"},
    {"TxtPatNote1", "PATNOTE1", Bind::Memo},
    {"TxtPatPres", "PATPRES", Bind::Rich, {}, {}, &kTaggedText},
    {"ChkNextVisit", "LNEXTVISIT", Bind::Check},
    {"TxtNextVisit", "NEXTVISIT", Bind::Date},
    {"TxtPatPulse", "PATPULSE", Bind::Spin},
};

class BindingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        program_ = std::make_unique<ProgramFixture>(folder_.path());
        w_ = new Form(QStringLiteral("Form_Bound"));
        w_->build({
            {"TxtPatFees", K::Numeric, 10, 10, 100, 24},
            {"TxtPatTemp", K::Numeric, 10, 40, 100, 24},
            {"TxtVisitTm", K::Time, 10, 70, 100, 24},
            ControlDecl{"TxtVisitType", K::Radio, 10, 100, 100, 50}.withItems({"New Case", "Follow-Up"}),
            ControlDecl{"TxtPVStatus", K::Combo, 10, 160, 100, 24}.withItems({"Pending", "Transferred", "Cured", "Expired"}),
            {"TxtPatNote", K::Text, 10, 190, 300, 24},
            {"TxtPatNote1", K::EditBox, 10, 220, 300, 60},
            {"TxtPatPres", K::RichText, 10, 290, 300, 60},
            {"ChkNextVisit", K::CheckBox, 10, 360, 100, 24, "Next"},
            {"TxtNextVisit", K::Date, 120, 360, 120, 24},
            ControlDecl{"TxtPatPulse", K::Spinner, 250, 360, 60, 24}.range(30, 250),
        });
        fields_ = std::make_unique<FieldBindings>(*w_, QStringLiteral("pvisit"), kVisitFields);
    }
    void TearDown() override
    {
        fields_.reset();
        program_.reset();
    }
    template <class T>
    T* get(const char* name) const { return w_->control<T>(QLatin1String(name)); }

    void fillIn()
    {
        get<NumberBox>("TxtPatFees")->setValue(1234.5);
        get<NumberBox>("TxtPatTemp")->setValue(98.6);
        get<QTimeEdit>("TxtVisitTm")->setTime(QTime(21, 5, 33));
        get<RadioGroup>("TxtVisitType")->setValue(2);
        get<ComboBox>("TxtPVStatus")->setValue(3);
        get<TextBox>("TxtPatNote")->setText(QStringLiteral("  Follow up in a week "));
        get<QPlainTextEdit>("TxtPatNote1")->setPlainText(QStringLiteral("Line one\nLine two"));
        get<QTextEdit>("TxtPatPres")->setPlainText(QStringLiteral("Rest and fluids"));
        get<QCheckBox>("ChkNextVisit")->setChecked(true);
        get<DatePicker>("TxtNextVisit")->setValue(QDate(2026, 6, 17));
        get<QSpinBox>("TxtPatPulse")->setValue(72);
    }

    QTemporaryDir folder_;
    std::unique_ptr<ProgramFixture> program_;
    Form* w_ = nullptr;
    std::unique_ptr<FieldBindings> fields_;
};

TEST_F(BindingsTest, EveryKindIsWrittenAndReadBackAndLimitsComeFromTheCatalogue)
{
    EXPECT_EQ(w_->faults(), QStringList());
    EXPECT_EQ(get<TextBox>("TxtPatNote")->maxLength(), 40);
    EXPECT_EQ(get<NumberBox>("TxtPatTemp")->picture(), QStringLiteral("999.9")) << "N 5,1 without a picture";

    data::WorkArea* a = area(QStringLiteral("pvisit"));
    ASSERT_TRUE(a->append());
    fillIn();
    ASSERT_TRUE(fields_->flush(*a));
    a->unlock();
    EXPECT_DOUBLE_EQ(a->num("PATFEES"), 1234.5);
    EXPECT_DOUBLE_EQ(a->num("PATTEMP"), 98.6);
    EXPECT_EQ(a->str("VISITTM"), "21:05:33");
    EXPECT_EQ(a->num("VISITTYPE"), 2);
    EXPECT_EQ(a->num("PVSTATUS"), 3);
    EXPECT_EQ(fieldText(*a, QStringLiteral("PATNOTE")), QStringLiteral("Follow up in a week"));
    EXPECT_EQ(a->memo("PATNOTE1"), "Line one\nLine two");
    EXPECT_EQ(a->memo("PATPRES"), "TAGGED:Rest and fluids");
    EXPECT_TRUE(a->logical("LNEXTVISIT"));
    EXPECT_EQ(toQDate(a->date("NEXTVISIT")), QDate(2026, 6, 17));
    EXPECT_EQ(a->num("PATPULSE"), 72);

    fields_->clear();
    EXPECT_EQ(get<QSpinBox>("TxtPatPulse")->value(), 30) << "a spinner clears to its minimum";
    EXPECT_EQ(get<RadioGroup>("TxtVisitType")->value(), 1);
    EXPECT_EQ(get<ComboBox>("TxtPVStatus")->value(), 0);
    EXPECT_TRUE(get<DatePicker>("TxtNextVisit")->isEmpty());
    EXPECT_FALSE(get<QCheckBox>("ChkNextVisit")->isChecked());

    fields_->load(*a);
    EXPECT_EQ(get<NumberBox>("TxtPatFees")->text(), QStringLiteral("1,234.50"));
    EXPECT_EQ(get<QTimeEdit>("TxtVisitTm")->time(), QTime(21, 5, 33));
    EXPECT_EQ(get<RadioGroup>("TxtVisitType")->value(), 2);
    EXPECT_EQ(get<ComboBox>("TxtPVStatus")->value(), 3);
    EXPECT_EQ(get<QPlainTextEdit>("TxtPatNote1")->toPlainText(), QStringLiteral("Line one\nLine two"));
    EXPECT_EQ(get<QTextEdit>("TxtPatPres")->toPlainText(), QStringLiteral("Rest and fluids"));
    EXPECT_TRUE(get<QCheckBox>("ChkNextVisit")->isChecked());
    EXPECT_EQ(get<DatePicker>("TxtNextVisit")->value(), QDate(2026, 6, 17));
    EXPECT_EQ(get<QSpinBox>("TxtPatPulse")->value(), 72);
}

TEST_F(BindingsTest, StoredValuesUndoAWriteAndShowAChangeMadeElsewhere)
{
    data::WorkArea* a = area(QStringLiteral("pvisit"));
    ASSERT_TRUE(a->append());
    fillIn();
    ASSERT_TRUE(fields_->flush(*a));
    a->unlock();
    const FieldValues loaded = fields_->stored(*a);
    EXPECT_FALSE(fields_->changedSince(loaded, *a));

    // Another work area on the same table changes the memo.
    data::WorkArea* other = area(QStringLiteral("pvisit01"));
    other->goTo(a->recNo());
    ASSERT_TRUE(other->rlock());
    ASSERT_TRUE(other->setMemo("PATNOTE1", "Changed elsewhere"));
    other->unlock();
    ASSERT_TRUE(db().commitAll());
    ASSERT_TRUE(a->rlock());
    EXPECT_TRUE(fields_->changedSince(loaded, *a));

    // Written over and put back: every field as it was.
    get<NumberBox>("TxtPatFees")->setValue(1);
    get<QTextEdit>("TxtPatPres")->setPlainText(QStringLiteral("Other"));
    ASSERT_TRUE(fields_->flush(*a));
    fields_->restore(*a, loaded);
    a->unlock();
    EXPECT_FALSE(fields_->changedSince(loaded, *a));
    EXPECT_DOUBLE_EQ(a->num("PATFEES"), 1234.5);
    EXPECT_EQ(a->memo("PATPRES"), "TAGGED:Rest and fluids");
    EXPECT_EQ(a->memo("PATNOTE1"), "Line one\nLine two");
}

TEST_F(BindingsTest, WrittenOnlyControlsAndKeptFieldsTakePartInTheStoredCopy)
{
    const FieldBinding shown[] = {{"TxtPatNote", "PATNOTE"}, {"TxtVisitTm", "VISITTM", Bind::Time}};
    const FieldBinding computed[] = {{"TxtPatTemp", "PATTEMP", Bind::Number}};
    FieldBindings b(*w_, QStringLiteral("pvisit"), shown, computed);
    b.alsoKeep({"CHCODE", "PATNOTE"});   // PATNOTE is bound already: kept once
    data::WorkArea* a = area(QStringLiteral("pvisit"));
    ASSERT_TRUE(a->append());
    get<TextBox>("TxtPatNote")->setText(QStringLiteral("Seen"));
    get<NumberBox>("TxtPatTemp")->setValue(99.5);
    ASSERT_TRUE(a->setNum("CHCODE", 2));
    ASSERT_TRUE(b.flush(*a));
    a->unlock();
    EXPECT_DOUBLE_EQ(a->num("PATTEMP"), 99.5) << "written";
    const FieldValues loaded = b.stored(*a);
    EXPECT_EQ(loaded.values.size(), 4u);

    get<NumberBox>("TxtPatTemp")->setValue(0);
    get<QTimeEdit>("TxtVisitTm")->setTime(QTime(8, 0));
    b.load(*a);
    EXPECT_EQ(get<NumberBox>("TxtPatTemp")->value(), 0) << "never loaded";
    EXPECT_EQ(get<TextBox>("TxtPatNote")->text(), QStringLiteral("Seen"));
    EXPECT_EQ(get<QTimeEdit>("TxtVisitTm")->time(), QTime(0, 0)) << "an empty time shows as midnight";

    // A kept field changed elsewhere is a change; restore puts it back.
    data::WorkArea* other = area(QStringLiteral("pvisit01"));
    other->goTo(a->recNo());
    ASSERT_TRUE(other->rlock());
    ASSERT_TRUE(other->setNum("CHCODE", 5));
    other->unlock();
    ASSERT_TRUE(a->rlock());
    EXPECT_TRUE(b.changedSince(loaded, *a));
    b.restore(*a, loaded);
    a->unlock();
    EXPECT_EQ(a->num("CHCODE"), 2);
    EXPECT_FALSE(b.changedSince(loaded, *a));
}

TEST_F(BindingsTest, ATableThatNamesWhatIsNotThereIsAFaultOfTheWindow)
{
    const FieldBinding wrong[] = {
        {"TxtNoSuchBox", "PATNOTE"},
        {"TxtPatNote", "PATNOTE", Bind::Date},
        {"TxtPatFees", "NOSUCHFLD", Bind::Number},
    };
    Form::faultsAssert = false;   // provoked on purpose; a debug build would stop here
    FieldBindings bad(*w_, QStringLiteral("pvisit"), wrong);
    Form::faultsAssert = true;
    const QStringList faults = w_->faults();
    ASSERT_EQ(faults.size(), 3) << faults.join(QLatin1String(" | ")).toStdString();
    EXPECT_TRUE(faults[0].contains(QStringLiteral("TxtNoSuchBox")));
    EXPECT_TRUE(faults[1].contains(QStringLiteral("TxtPatNote")));
    EXPECT_TRUE(faults[2].contains(QStringLiteral("NOSUCHFLD")));
    EXPECT_TRUE(bad.controls().isEmpty()) << "nothing is bound that would fail when used";
}

} // namespace
} // namespace cn::testing
