// The brand medicines window's own part: the generic-medicine drop-down over
// the live generics in name order, the details box, read-only boxes while
// browsing, and no brand saved without a live generic medicine.
#include "masters_fixture.h"

#include "app/bindings.h"
#include "masters/brandmed_form.h"

#include <QComboBox>
#include <QTextEdit>

namespace cn::testing {
namespace {

class BrandMedTest : public MastersTest {
protected:
    static uint32_t addGeneric(double code, const char* name)
    {
        return addRecord("gmed", {{"GMEDCODE", code}}, {{"GMEDNAME", name}});
    }
    QComboBox* generic() const { return ctl<QComboBox>(QStringLiteral("TxtGmedName")); }
    QStringList generics() const
    {
        QStringList out;
        for (int i = 0; i < generic()->count(); ++i)
            out << generic()->itemText(i);
        return out;
    }
    static data::WorkArea* brand(const QString& name) { return stored("BMED.dbf", "BMEDNAME", name); }
};

TEST_F(BrandMedTest, DropDownOffersLiveGenericsByNameAndSavesTheChosenOnesCode)
{
    // Record 1 of gmed is a deleted generic: it is neither offered nor chosen.
    deleteRecord("gmed", addGeneric(1, "Zinc"));
    addGeneric(2, "Ibuprofen");
    addGeneric(3, "Aspirin");
    addGeneric(4, "amoxicillin");
    ScopedMessages messages;
    ASSERT_TRUE(openWindow(BRANDMED, "Form_BrandMed"));
    click(QStringLiteral("Append_BrandMed"));
    EXPECT_EQ(generics(), (QStringList{"amoxicillin", "Aspirin", "Ibuprofen"})) << "by name, whatever the letter case";
    EXPECT_EQ(generic()->currentText(), QStringLiteral("amoxicillin")) << "the first live generic by name";

    retype(QStringLiteral("TxtBmedName"), QStringLiteral("Brufen"));
    generic()->setCurrentIndex(generic()->findText(QStringLiteral("Ibuprofen")));
    retype(QStringLiteral("TxtMedComp"), QStringLiteral(" Abbott "));
    ctl<QTextEdit>(QStringLiteral("TxtMedDetails"))->setPlainText(QStringLiteral("  1 tab thrice daily\nafter food  "));
    click(QStringLiteral("Bt_Save"));
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Append Successful")});
    data::WorkArea* b = brand(QStringLiteral("Brufen"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->num("GMEDCODE"), 2);
    EXPECT_EQ(fieldText(*b, QStringLiteral("MEDCOMP")), QStringLiteral("Abbott"));
    EXPECT_EQ(b->memo("DETAILS"), "1 tab thrice daily\nafter food");

    // Shown again with its generic; browsing, the boxes are read-only and
    // the drop-down is disabled.
    retype(QStringLiteral("TxtSeek"), QStringLiteral("bru"));
    EXPECT_EQ(generic()->currentText(), QStringLiteral("Ibuprofen"));
    EXPECT_EQ(ctl<QTextEdit>(QStringLiteral("TxtMedDetails"))->toPlainText(), QStringLiteral("1 tab thrice daily\nafter food"));
    EXPECT_TRUE(ctl<QLineEdit>(QStringLiteral("TxtBmedName"))->isEnabled());
    EXPECT_TRUE(ctl<QLineEdit>(QStringLiteral("TxtBmedName"))->isReadOnly());
    EXPECT_TRUE(ctl<QTextEdit>(QStringLiteral("TxtMedDetails"))->isReadOnly());
    EXPECT_FALSE(generic()->isEnabled());
}

TEST_F(BrandMedTest, SaveIsRefusedWithoutALiveGenericMedicine)
{
    ScopedMessages messages;
    ASSERT_TRUE(openWindow(BRANDMED, "Form_BrandMed"));
    const uint32_t before = area(QStringLiteral("bmed"))->lastRec();

    // No generic medicine at all: nothing to choose, nothing saved.
    click(QStringLiteral("Append_BrandMed"));
    EXPECT_EQ(generic()->currentIndex(), -1);
    retype(QStringLiteral("TxtBmedName"), QStringLiteral("Crocin"));
    click(QStringLiteral("Bt_Save"));
    ASSERT_EQ(messages->texts(), QStringList{noGenericText()});
    EXPECT_EQ(messages->last()->kind, MessageKind::Stop);
    EXPECT_TRUE(form_->entryMode());

    // The generic chosen is deleted in another window before Save.
    const uint32_t para = addGeneric(1, "Paracetamol");
    click(QStringLiteral("Bt_Cancel"));
    click(QStringLiteral("Append_BrandMed"));
    EXPECT_EQ(generic()->currentText(), QStringLiteral("Paracetamol"));
    retype(QStringLiteral("TxtBmedName"), QStringLiteral("Crocin"));
    deleteRecord("gmed", para);
    messages->clear();
    click(QStringLiteral("Bt_Save"));
    EXPECT_EQ(messages->texts(), QStringList{noGenericText()});
    EXPECT_EQ(generic()->count(), 0) << "the list is read again";
    EXPECT_EQ(area(QStringLiteral("bmed"))->lastRec(), before) << "no brand was written";
    EXPECT_EQ(FieldBindings::chosenCode(generic()), 0);
}

} // namespace
} // namespace cn::testing
