// The dictionary's own part: a live list of every entry in text order (not
// 30), the selected entry's place under it, and an entry state in which only
// the text can be typed.
#include "masters_fixture.h"

#include "app/text.h"
#include "masters/dictionary_form.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>

namespace cn::testing {
namespace {

TEST_F(MastersTest, DictionaryListsEveryEntryAndTellsTheSelectedOnesPlace)
{
    QStringList names;
    for (int i = 1; i <= 30; ++i) {
        const QString name = QStringLiteral("Phrase %1").arg(i, 2, 10, QLatin1Char('0'));
        addRecord("dict", {{"DICTCODE", 100.0 + i}}, {{"DICTNAME", name.toLatin1().constData()}});
    }
    deleteRecord("dict", addRecord("dict", {{"DICTCODE", 200}}, {{"DICTNAME", "Gone"}}));
    ScopedMessages messages;
    ASSERT_TRUE(openWindow(DICT, "Form_Dictionary"));
    const QStringList shown = listed(QStringLiteral("Grid_Dictionary"));
    EXPECT_EQ(shown.size(), 37) << "the seven seeded phrases and thirty more, the deleted one left out";
    EXPECT_FALSE(shown.contains(QStringLiteral("Gone")));
    QStringList byText = shown;
    std::stable_sort(byText.begin(), byText.end(), [](const QString& a, const QString& b) { return keyUpper(a) < keyUpper(b); });
    EXPECT_EQ(shown, byText) << "in text order, whatever the letter case";

    auto* place = ctl<QLabel>(QStringLiteral("Label_RecNo"));
    EXPECT_EQ(place->text(), QStringLiteral("Record: 1 of 37"));
    retype(QStringLiteral("TxtSeek"), QStringLiteral("phrase 1"));
    EXPECT_EQ(text(QStringLiteral("TxtDictName")), QStringLiteral("Phrase 10"));
    EXPECT_EQ(place->text(), QStringLiteral("Record: %1 of 37").arg(shown.indexOf(QStringLiteral("Phrase 10")) + 1));

    click(QStringLiteral("Modify_Dictionary"));
    EXPECT_TRUE(ctl<QLineEdit>(QStringLiteral("TxtDictName"))->isEnabled());
    EXPECT_FALSE(ctl<QLineEdit>(QStringLiteral("TxtDictCode"))->isEnabled());
    EXPECT_TRUE(ctl<QPlainTextEdit>(QStringLiteral("TxtDictionary"))->isReadOnly());
    retype(QStringLiteral("TxtDictName"), QStringLiteral("Phrase ten"));
    click(QStringLiteral("Bt_Save"));
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Modification Successful !!")});
    data::WorkArea* changed = stored("DICT.dbf", "DICTNAME", QStringLiteral("Phrase ten"));
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->num("DICTCODE"), 110) << "changed in place, the code kept";
}

} // namespace
} // namespace cn::testing
