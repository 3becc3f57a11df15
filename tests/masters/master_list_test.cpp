// The four master lists on the list-and-edit base, one table of cases: an
// empty table, the first code, trimmed names and refused blank ones, the
// duplicate rules, the in-use rules on delete, the seek text after a save or
// a delete, and an appended record left unlocked for another copy of the
// program. The grid windows also: the 30 names the seek lists and the box
// about faulty records.
#include "masters_fixture.h"

#include "app/mainwindow.h"
#include "masters/brandmed_form.h"
#include "masters/chamber_form.h"
#include "masters/dictionary_form.h"
#include "masters/genmed_form.h"

#include <QAction>
#include <QCheckBox>

namespace cn::testing {
namespace {

std::pair<const char*, uint32_t> visitInChamber(long long code)
{
    return {"pvisit", MastersTest::addRecord("pvisit", {{"VISITNO", 1}, {"PVNO", 1}, {"PATCODE", 1}, {"CHCODE", double(code)}})};
}
std::pair<const char*, uint32_t> brandOfGeneric(long long code)
{
    return {"bmed", MastersTest::addRecord("bmed", {{"BMEDCODE", 1}, {"GMEDCODE", double(code)}}, {{"BMEDNAME", "Calpol"}})};
}
std::pair<const char*, uint32_t> visitLineOfBrand(long long code)
{
    return {"pvsmed", MastersTest::addRecord("pvsmed", {{"VISITNO", 1}, {"BMEDCODE", double(code)}})};
}

const MasterCase kChambers{"Form_Chambers", CHAMBERS, "Setup: Chambers", "Chambers", "chamber", "CHAMBER.dbf",
                           "CHCODE", "CHNAME", "TxtChName", "Chamber Name blank !!", "Duplicate Chamber Name !!",
                           "Cannot delete. Patients exist.", true, visitInChamber};
const MasterCase kDictionary{"Form_Dictionary", DICT, "Setup: Dictionary", "Dictionary", "dict", "DICT.dbf",
                             "DICTCODE", "DICTNAME", "TxtDictName", "Entry blank !!", nullptr, nullptr, false, nullptr};
const MasterCase kGenerics{"Form_GenMed", GENMED, "Setup: Medicine (Gen)", "GenMed", "gmed", "GMED.dbf",
                           "GMEDCODE", "GMEDNAME", "TxtGmedName", "Medicine Name blank !!", "Duplicate Medicine Name !!",
                           "Cannot delete. Brand Medicine exists.", true, brandOfGeneric};
const MasterCase kBrands{"Form_BrandMed", BRANDMED, "Setup: Medicine (Brand)", "BrandMed", "bmed", "BMED.dbf",
                         "BMEDCODE", "BMEDNAME", "TxtBmedName", "Medicine Name blank !!",
                         "Duplicate Brand Medicine Name !!", "Cannot delete. Patient exists.", true, visitLineOfBrand};

class MasterListTest : public MastersTest, public ::testing::WithParamInterface<MasterCase> {
protected:
    void SetUp() override
    {
        MastersTest::SetUp();
        // A brand is saved only under a live generic medicine.
        if (std::string_view(GetParam().form) == kBrands.form)
            addRecord("gmed", {{"GMEDCODE", 1}}, {{"GMEDNAME", "Paracetamol"}});
    }
    const MasterCase& c() const { return GetParam(); }
    ListEditForm* open() { return openWindow(c().open, c().form); }
    QString button(const char* verb) const { return QStringLiteral("%1_%2").arg(QLatin1String(verb), QLatin1String(c().suffix)); }
    QString grid() const { return QStringLiteral("Grid_") + QLatin1String(c().suffix); }
    QStringList listed() const { return MastersTest::listed(grid()); }
    void add(const QString& name)
    {
        click(button("Append"));
        retype(QLatin1String(c().nameBox), name);
        click(QStringLiteral("Bt_Save"));
    }
    data::WorkArea* stored(const QString& name) const { return MastersTest::stored(c().tableFile, c().nameField, name); }
};

TEST_P(MasterListTest, EmptyTableRefusesModifyAndDeleteAndItsFirstRecordGetsCodeOne)
{
    deleteAll(c().alias);
    ScopedMessages messages;
    ASSERT_TRUE(open());
    EXPECT_EQ(form_->windowTitle(), QLatin1String(c().title));
    EXPECT_EQ(listed(), QStringList());
    click(button("Modify"));
    click(button("Delete"));
    EXPECT_EQ(messages->texts(), (QStringList{"No data to process !!", "No data to process !!"}));
    EXPECT_EQ(messages->last()->kind, MessageKind::Exclamation);

    // An all-blank name is refused and the entry state stays.
    messages->clear();
    click(button("Append"));
    retype(QLatin1String(c().nameBox), QStringLiteral("    "));
    click(QStringLiteral("Bt_Save"));
    ASSERT_EQ(messages->texts(), QStringList{QLatin1String(c().blankName)});
    EXPECT_EQ(messages->last()->kind, MessageKind::Info);
    EXPECT_EQ(messages->last()->title, QStringLiteral("Invalid Operation"));
    EXPECT_TRUE(form_->entryMode());

    messages->clear();
    retype(QLatin1String(c().nameBox), QStringLiteral("  Alpha One  "));
    click(QStringLiteral("Bt_Save"));
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Append Successful")});
    data::WorkArea* rec = stored(QStringLiteral("Alpha One"));
    ASSERT_NE(rec, nullptr) << "stored trimmed";
    EXPECT_EQ(rec->num(c().codeField), 1);
    // Back to browsing, the seek box holding one blank and the list from the first name.
    EXPECT_FALSE(form_->entryMode());
    EXPECT_EQ(text(QStringLiteral("TxtSeek")), QStringLiteral(" "));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("Alpha One")});
}

// Another copy of the program can change a record this window has just
// added: the append's lock goes with the write.
TEST_P(MasterListTest, AppendedRecordIsNotLeftLockedForAnotherCopy)
{
    ScopedMessages messages;
    ASSERT_TRUE(open());
    add(QStringLiteral("Lockable"));
    ASSERT_EQ(messages->texts(), QStringList{QStringLiteral("Append Successful")});
    auto other = db().use(c().tableFile, "other_copy", data::OpenMode{true, false});
    ASSERT_TRUE(other);
    data::WorkArea* rec = stored(QStringLiteral("Lockable"));
    ASSERT_NE(rec, nullptr);
    other.value()->goTo(rec->recNo());
    EXPECT_TRUE(other.value()->rlock()) << "the new record is still locked by the window";
    other.value()->unlock();
}

TEST_P(MasterListTest, DuplicateNamesFollowTheWindowsRule)
{
    ScopedMessages messages;
    ASSERT_TRUE(open());
    add(QStringLiteral("City Clinic"));
    messages->clear();
    add(QStringLiteral("CITY"));
    if (!c().duplicate) {
        add(QStringLiteral("City Clinic"));
        EXPECT_EQ(messages->texts(), (QStringList{"Append Successful", "Append Successful"})) << "duplicates are accepted";
        return;
    }
    ASSERT_EQ(messages->texts(), QStringList{QLatin1String(c().duplicate)});
    EXPECT_EQ(messages->last()->kind, MessageKind::Info);
    EXPECT_EQ(messages->last()->title, QStringLiteral("Invalid Operation"));
    EXPECT_TRUE(form_->entryMode());
    EXPECT_EQ(stored(QStringLiteral("CITY")), nullptr);

    // The longer name beside the shorter one is no duplicate; renaming it
    // to the beginning of the other is.
    click(QStringLiteral("Bt_Cancel"));
    messages->clear();
    add(QStringLiteral("City Clinic East"));
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Append Successful")});
    retype(QStringLiteral("TxtSeek"), QStringLiteral("city clinic e"));
    click(button("Modify"));
    retype(QLatin1String(c().nameBox), QStringLiteral("City"));
    messages->clear();
    click(QStringLiteral("Bt_Save"));
    EXPECT_EQ(messages->texts(), QStringList{QLatin1String(c().duplicate)});
    EXPECT_NE(stored(QStringLiteral("City Clinic East")), nullptr);
}

TEST_P(MasterListTest, RecordInUseElsewhereIsKeptUntilTheUseGoes)
{
    ScopedMessages messages;
    ASSERT_TRUE(open());
    add(QStringLiteral("Zeta One"));
    data::WorkArea* rec = stored(QStringLiteral("Zeta One"));
    ASSERT_NE(rec, nullptr);
    const auto code = static_cast<long long>(rec->num(c().codeField));
    retype(QStringLiteral("TxtSeek"), QStringLiteral("zeta o"));
    messages->clear();
    if (c().refer) {
        const auto [alias, use] = c().refer(code);
        click(button("Delete"));
        EXPECT_EQ(messages->texts(), QStringList{QLatin1String(c().inUse)}) << "nothing is asked";
        EXPECT_EQ(messages->last()->kind, MessageKind::Exclamation);
        EXPECT_NE(stored(QStringLiteral("Zeta One")), nullptr);
        deleteRecord(alias, use);
        messages->clear();
    }
    messages->answerYes();
    click(button("Delete"));
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Delete Zeta One ??")});
    EXPECT_EQ(stored(QStringLiteral("Zeta One")), nullptr);
    EXPECT_FALSE(listed().contains(QStringLiteral("Zeta One")));
    EXPECT_EQ(text(QStringLiteral("TxtSeek")), QStringLiteral("ZETA O")) << "the seek text comes back upper-cased";
}

INSTANTIATE_TEST_SUITE_P(Masters, MasterListTest, ::testing::Values(kChambers, kDictionary, kGenerics, kBrands),
                         [](const auto& info) { return std::string(info.param.suffix); });

// ---------------------------------------------------------------- the grid windows

class GridListTest : public MasterListTest {
protected:
    void addNamed(const char* name, double code)
    {
        addRecord(c().alias, {{c().codeField, code}}, {{c().nameField, name}});
    }
};

TEST_P(GridListTest, SeekListsAtMostThirtyNamesThatBeginWithTheLettersInAnyCase)
{
    deleteAll(c().alias);
    QStringList expected;
    for (int i = 0; i < 32; ++i) {
        // Alternating letter case; name order is upper-case order.
        const QString name = QString(i % 2 ? "AB %1" : "ab %1").arg(i, 2, 10, QLatin1Char('0'));
        addNamed(name.toLatin1().constData(), i + 1);
        expected << name;
    }
    addNamed("Aa first", 40);
    addNamed("Ac after", 41);
    ScopedMessages messages;
    ASSERT_TRUE(open());
    EXPECT_EQ(listed().value(0), QStringLiteral("Aa first"));
    retype(QStringLiteral("TxtSeek"), QStringLiteral("ab"));
    EXPECT_EQ(listed(), expected.mid(0, 30));
    retype(QStringLiteral("TxtSeek"), QStringLiteral("aB 3"));
    EXPECT_EQ(listed(), (QStringList{"ab 30", "AB 31"}));
    retype(QStringLiteral("TxtSeek"), QStringLiteral("qq"));
    EXPECT_EQ(listed(), QStringList());
    EXPECT_EQ(messages->shown().size(), 0u);
}

TEST_P(GridListTest, EveryRebuildTellsOfEachFaultyRecordOnceAndStillShowsIt)
{
    deleteAll(c().alias);
    addNamed("Good", 1);
    addNamed("", 2);          // no name
    addNamed("Zero Code", 0); // no code
    ScopedMessages messages;
    ASSERT_TRUE(open());
    const QString faulty = QStringLiteral("Blank names and/or codes exist in this database, Please check !!");
    EXPECT_EQ(messages->texts(), (QStringList{faulty, faulty})) << "once per faulty record, nothing else";
    EXPECT_EQ(messages->last()->kind, MessageKind::Info);
    EXPECT_EQ(listed(), (QStringList{"", "Good", "Zero Code"}));
    messages->clear();
    retype(QStringLiteral("TxtSeek"), QStringLiteral("z"));
    EXPECT_EQ(messages->texts(), QStringList{faulty});
    EXPECT_EQ(text(QLatin1String(c().nameBox)), QStringLiteral("Zero Code"));
    messages->clear();
    retype(QStringLiteral("TxtSeek"), QStringLiteral("g"));
    EXPECT_EQ(messages->texts(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Masters, GridListTest, ::testing::Values(kChambers, kGenerics, kBrands),
                         [](const auto& info) { return std::string(info.param.suffix); });

// ---------------------------------------------------------------- chambers and the menu

TEST_F(MastersTest, SetupMenuOpensChambersAndDictionaryAndTheirViewItemsFollow)
{
    MainWindow* main = program_->mainWindow();
    main->disableViewItems();
    for (const auto& [item, view, formName] : {std::tuple{"Set_Chamber", "WinChambers", "Form_Chambers"},
                                               std::tuple{"Set_Dict", "WinDict", "Form_Dictionary"}}) {
        SCOPED_TRACE(formName);
        ScopedMessages messages;
        EXPECT_FALSE(main->menuItem(QLatin1String(view))->isEnabled());
        main->runItem(QLatin1String(item));
        QWidget* w = findWindow(QLatin1String(formName));
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(main->menuItem(QLatin1String(view))->isEnabled());
        main->runItem(QLatin1String(item));
        EXPECT_EQ(findWindow(QLatin1String(formName)), w) << "opened once";
        ReleaseWindow(QLatin1String(formName));
        EXPECT_FALSE(main->menuItem(QLatin1String(view))->isEnabled());
        EXPECT_EQ(messages->shown().size(), 0u);
    }
}

TEST_F(MastersTest, ChangedChamberIsStoredTrimmedAndKeepsItsHiddenLetterheadFlag)
{
    const uint32_t rec = addRecord("chamber", {{"CHCODE", 3}}, {{"CHNAME", "Lake Road"}});
    data::WorkArea* ch = area(QStringLiteral("chamber"));
    ch->goTo(rec);
    ASSERT_TRUE(ch->rlock());
    ASSERT_TRUE(ch->setLogical("LTRHD", true));
    ch->unlock();
    ScopedMessages messages;
    ASSERT_TRUE(openWindow(CHAMBERS, "Form_Chambers"));
    EXPECT_FALSE(ctl<QCheckBox>(QStringLiteral("ChkLtrHd"))->isVisible());
    retype(QStringLiteral("TxtSeek"), QStringLiteral("lake"));
    click(QStringLiteral("Modify_Chambers"));
    retype(QStringLiteral("TxtChCity"), QStringLiteral("  Pune "));
    retype(QStringLiteral("TxtChTime2"), QStringLiteral(" Sat 9-11am"));
    click(QStringLiteral("Bt_Save"));
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Modification Successful !!")});
    data::WorkArea* saved = stored("CHAMBER.dbf", "CHNAME", QStringLiteral("Lake Road"));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->str("CHCITY"), std::string("Pune").append(16, ' '));
    EXPECT_EQ(fieldText(*saved, QStringLiteral("CHTIME2")), QStringLiteral("Sat 9-11am"));
    EXPECT_TRUE(saved->logical("LTRHD"));
}

} // namespace
} // namespace cn::testing
