// The list-and-edit base as the master lists use it: rows of names filled
// from the seek (at most a set number), a duplicate being any live name that
// begins with the one entered and refused, an in-use rule for delete, and a
// hidden check box kept like the other fields.
#include "app/controls.h"
#include "app/database.h"
#include "app/listedit.h"
#include "support/program_fixture.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace cn::testing {
namespace {

using K = ControlKind;

const FieldBinding kChamberFields[] = {
    {"TxtChName", "CHNAME"}, {"TxtChCity", "CHCITY"}, {"ChkLtrHd", "LTRHD", Bind::Check}};

ListEditSpec chamberSpec()
{
    ListEditSpec s;
    s.alias = QStringLiteral("chamber");
    s.codeField = "CHCODE";
    s.nameFields = {"CHNAME"};
    s.duplicates = DuplicateRule::Prefix;
    s.list = ListKind::Rows;
    s.maxRows = 3;
    s.fields = kChamberFields;
    s.inUse = [](data::Workspace&, long long code) { return data::Result<bool>(code == 1); };
    s.grid = QStringLiteral("Grid_Chambers");
    s.seek = QStringLiteral("TxtSeek");
    s.codeBox = QStringLiteral("TxtChCode");
    s.firstBox = QStringLiteral("TxtChName");
    s.appendButton = QStringLiteral("Append_Chambers");
    s.modifyButton = QStringLiteral("Modify_Chambers");
    s.deleteButton = QStringLiteral("Delete_Chambers");
    s.exitButton = QStringLiteral("Bt_Exit_Chambers");
    s.texts.blankName = QStringLiteral("Chamber Name blank !!");
    s.texts.blankNameTitle = s.texts.duplicateTitle = QStringLiteral("Invalid Operation");
    s.texts.duplicate = QStringLiteral("Duplicate Chamber Name !!");
    s.texts.inUse = QStringLiteral("Cannot delete. Patients exist.");
    return s;
}

class ChamberWindow : public ListEditForm {
public:
    ChamberWindow() : ListEditForm(QStringLiteral("Form_Chambers"), chamberSpec())
    {
        place(5, 5, 910, 525);
        build({
            ControlDecl{"Grid_Chambers", K::Grid, 15, 25, 400, 329}.withItems({"Chamber Name"}).withWidths({350}),
            {"TxtSeek", K::Text, 90, 368, 326, 24, "", "", 40},
            {"Append_Chambers", K::Button, 16, 412, 100, 28, "&Append"},
            {"Modify_Chambers", K::Button, 116, 412, 100, 28, "&Modify"},
            {"Delete_Chambers", K::Button, 216, 412, 100, 28, "&Delete"},
            {"Bt_Exit_Chambers", K::Button, 316, 412, 100, 28, "E&xit"},
            ControlDecl{"TxtChCode", K::Numeric, 520, 20, 60, 25}.off(),
            {"TxtChName", K::Text, 520, 50, 300, 25},
            {"TxtChCity", K::Text, 520, 160, 150, 25},
            {"ChkLtrHd", K::CheckBox, 520, 365, 140, 25, "Include in Letterhead ? "},
            {"Bt_Save", K::Button, 480, 405, 100, 30, "&Save"},
            {"Bt_Cancel", K::Button, 730, 405, 100, 30, "&Cancel"},
        });
        control(QStringLiteral("ChkLtrHd"))->hide();
        attach();
    }
};

class RowsListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        program_ = std::make_unique<ProgramFixture>(folder_.path());
        w_ = new ChamberWindow;
        ASSERT_EQ(w_->faults(), QStringList());
        ListEditForm::present(w_);
    }
    void TearDown() override { program_.reset(); }

    void click(const char* name) { QTest::mouseClick(w_->control<QPushButton>(QLatin1String(name)), Qt::LeftButton); }
    void type(const char* name, const QString& text)
    {
        auto* box = w_->control<QLineEdit>(QLatin1String(name));
        box->clear();
        QTest::keyClicks(box, text);
    }
    void add(const QString& name)
    {
        click("Append_Chambers");
        type("TxtChName", name);
        click("Bt_Save");
    }
    QStringList rows() const
    {
        QStringList out;
        auto* grid = w_->control<ArrayGrid>(QStringLiteral("Grid_Chambers"));
        for (int r = 1; r <= grid->itemCount(); ++r)
            out << grid->item(r).value(0);
        return out;
    }

    QTemporaryDir folder_;
    std::unique_ptr<ProgramFixture> program_;
    ChamberWindow* w_ = nullptr;
};

TEST_F(RowsListTest, NamesThatBeginAnotherAreRefusedAndTheListFollowsTheSeek)
{
    ScopedMessages messages;
    const uint32_t before = area(QStringLiteral("chamber"))->lastRec();
    add(QStringLiteral("City Clinic"));
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Append Successful")});

    messages->clear();
    add(QStringLiteral("city"));
    ASSERT_EQ(messages->texts(), QStringList{QStringLiteral("Duplicate Chamber Name !!")});
    EXPECT_EQ(messages->last()->kind, MessageKind::Info);
    EXPECT_EQ(messages->last()->title, QStringLiteral("Invalid Operation"));
    EXPECT_TRUE(w_->entryMode());
    click("Bt_Cancel");

    messages->clear();
    add(QStringLiteral("City Clinic East"));   // longer than the stored name: not a duplicate
    add(QStringLiteral("Citadel"));
    add(QStringLiteral("Civic Centre"));
    EXPECT_EQ(messages->texts().count(QStringLiteral("Append Successful")), 3);

    type("TxtSeek", QStringLiteral("ci"));
    EXPECT_EQ(rows(), (QStringList{"Citadel", "City Clinic", "City Clinic East"})) << "at most three rows";
    type("TxtSeek", QStringLiteral("city c"));
    EXPECT_EQ(rows(), (QStringList{"City Clinic", "City Clinic East"}));
    EXPECT_EQ(w_->control<QLineEdit>(QStringLiteral("TxtChName"))->text(), QStringLiteral("City Clinic"));
    type("TxtSeek", QStringLiteral("zz"));
    EXPECT_EQ(rows(), QStringList());

    // New chambers store the hidden flag false; a change keeps what is stored.
    data::WorkArea* ch = area(QStringLiteral("chamber"));
    ASSERT_TRUE(ch->setOrder(2));
    ASSERT_TRUE(ch->seek("FCITADEL"));
    EXPECT_FALSE(ch->logical("LTRHD"));
    EXPECT_EQ(ch->lastRec(), before + 4) << "the refused duplicate was not written";
}

TEST_F(RowsListTest, DeleteAsksByNameAndTheInUseRuleHoldsTheRecord)
{
    ScopedMessages messages;
    add(QStringLiteral("Zeta House"));
    type("TxtSeek", QStringLiteral("zeta"));
    messages->clear();
    messages->answerYes();
    click("Delete_Chambers");
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Delete Zeta House ??")});
    EXPECT_EQ(rows(), QStringList());
    EXPECT_EQ(w_->control<QLineEdit>(QStringLiteral("TxtSeek"))->text(), QStringLiteral("ZETA"));

    // Code 1 is in use for this window's rule.
    type("TxtSeek", QString());
    ASSERT_FALSE(rows().isEmpty());
    data::WorkArea* ch = area(QStringLiteral("chamber"));
    ASSERT_TRUE(ch->setOrder(1));
    ASSERT_TRUE(ch->seek("F" + data::strNum(1, 10)));
    type("TxtSeek", fieldText(*ch, QStringLiteral("CHNAME")));
    messages->clear();
    click("Delete_Chambers");
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Cannot delete. Patients exist.")});
}

} // namespace
} // namespace cn::testing
