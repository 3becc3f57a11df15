// The pick list: an open table in one of its name orders, seek as you type,
// Select and Exit, one list at a time, and the work area left where the
// list was.
#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "app/mainwindow.h"
#include "masters/dbfmenu.h"
#include "support/program_test.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace cn::testing {
namespace {

class PickListTest : public ProgramTest {
protected:
    static DBFMenuForm* list() { return form<DBFMenuForm>(QStringLiteral("Form_DBFMenu")); }
    static void typeSeek(const QString& text)
    {
        auto* seek = list()->findChild<QLineEdit*>(QStringLiteral("TxtSeek"));
        seek->clear();
        QTest::keyClicks(seek, text);
    }
    static void press(const char* button)
    {
        QTest::mouseClick(list()->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
    static QString selectedText()
    {
        auto* g = list()->findChild<BrowseGrid*>(QStringLiteral("Grid_DBFMenu"));
        const int row = g->browseModel()->rowOfCurrent();
        return row < 0 ? QString() : g->browseModel()->rowTexts(row).value(0);
    }
    // DBFMENU, with `steps` run from the program's events while it waits.
    static std::optional<QString> choose(const PickList& request, std::function<void()> steps)
    {
        QTimer::singleShot(0, [steps] {
            ASSERT_NE(list(), nullptr);
            ASSERT_TRUE(showActive(list()));   // focus moves only within the active window
            steps();
        });
        return DBFMENU(request);
    }
};

TEST_F(PickListTest, SeeksAsTypedAndSelectReturnsTheTrimmedField)
{
    QAction* view = program_->mainWindow()->menuItem(QStringLiteral("WinDBFMenu"));
    view->setEnabled(false);
    const auto chosen = choose(dictionaryPickList(), [&] {
        EXPECT_TRUE(view->isEnabled());
        EXPECT_EQ(list()->windowTitle(), QStringLiteral("Dictionary"));
        EXPECT_EQ(list()->size(), QSize(430, 360));
        EXPECT_EQ(selectedText(), QStringLiteral("Hb, TC, DC, ESR")) << "the first entry by name";
        // Lower-case letters find the first entry beginning with them in any case.
        typeSeek(QStringLiteral("ne"));
        EXPECT_EQ(selectedText(), QStringLiteral("Neck Exercise"));
        EXPECT_EQ(QApplication::focusWidget(), list()->findChild<QLineEdit*>(QStringLiteral("TxtSeek")));
        // No entry begins so: the one where it would stand.
        typeSeek(QStringLiteral("mb"));
        EXPECT_EQ(selectedText(), QStringLiteral("Neck Exercise"));
        press("Bt_SelectItem");
    });
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, QStringLiteral("Neck Exercise"));
    EXPECT_FALSE(view->isEnabled());
    data::WorkArea* dict = area(QStringLiteral("dict"));
    EXPECT_EQ(dict->indexOrd(), 2) << "the area keeps the list's order";
    EXPECT_EQ(fieldText(*dict, QStringLiteral("DICTNAME")), QStringLiteral("Neck Exercise"));
}

TEST_F(PickListTest, ExitReturnsNothingAndLeavesTheAreaWhereTheListWas)
{
    const auto chosen = choose(queryChamberPickList(), [&] {
        typeSeek(QStringLiteral("tel"));
        press("Bt_ExitMenu");
    });
    EXPECT_FALSE(chosen);
    data::WorkArea* x = area(QStringLiteral("xchamber"));
    EXPECT_EQ(fieldText(*x, QStringLiteral("CHNAME")), QStringLiteral("Telephone Consultation"));
    EXPECT_EQ(area(QStringLiteral("chamber"))->indexOrd(), 1) << "another area on the table is not touched";
}

TEST_F(PickListTest, SecondRequestIsRefusedAndTheOpenListStaysAsItWas)
{
    const auto chosen = choose(dictionaryPickList(), [&] {
        typeSeek(QStringLiteral("t3"));
        EXPECT_FALSE(DBFMENU(chamberPickList())) << "nothing, at once";
        EXPECT_EQ(openDBFMenu(chamberPickList()), nullptr);
        EXPECT_EQ(list()->DDBFNAME, QStringLiteral("Dict"));
        EXPECT_EQ(list()->CDBFINDEX, QStringLiteral("Dict2"));
        EXPECT_EQ(list()->CFIELDNAME, QStringLiteral("Dictname"));
        EXPECT_EQ(list()->windowTitle(), QStringLiteral("Dictionary"));
        press("Bt_SelectItem");
    });
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, QStringLiteral("T3, T4, TSH")) << "a phrase, not a chamber";
}

TEST_F(PickListTest, SelectOnAnEmptyTableReturnsAnEmptyText)
{
    PickList complaints;
    complaints.alias = QStringLiteral("compl");
    complaints.fields = {QStringLiteral("Compl->Complname")};
    complaints.headers = {QStringLiteral("Complaint")};
    complaints.widths = {300};
    complaints.index = QStringLiteral("Compl2");
    complaints.field = QStringLiteral("Complname");
    const auto chosen = choose(complaints, [&] {
        EXPECT_EQ(list()->windowTitle(), QStringLiteral("Database Browser"));
        press("Bt_SelectItem");
    });
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, QString());
}

} // namespace
} // namespace cn::testing
