// The register beside other windows and other copies of the program on the
// same folder: a change made elsewhere while a patient is being changed here
// is never silently overwritten, and a damaged index is told, not hidden.
#include "patient_fixture.h"

#include "app/listedit.h"
#include "data/workspace.h"

#include "support/process.h"

#include <QFile>

namespace cn::testing {
namespace {

// Changes a patient as another copy of the program would: its own process
// and workspace, the record locked, a field written, committed, unlocked.
int changeInAnotherProgram(const QString& folder, uint32_t rec, const char* field, const char* value)
{
    return inAnotherProcess([&] {
        data::Workspace other(folder.toStdString());
        auto a = other.use("PATNT.dbf", "patnt", data::OpenMode{true, false});
        if (!a)
            return 1;
        data::WorkArea& p = **a;
        p.goTo(rec);
        const int rc = p.rlock() && p.setStr(field, value) && p.commit() ? 0 : 2;
        p.unlock();
        return rc;
    });
}

class ChangedElsewhereTest : public PatientRegisterTest {
protected:
    // Patient 2 in the register, being changed here: `box` retyped, not saved.
    uint32_t startChanging(const char* first, const char* box, const QString& typed)
    {
        const uint32_t rec = addPatient(2, first, "Elsewhere");
        open();
        seek(QString::fromLatin1(first));
        click("Modify_Patient");
        retype(box, typed);
        return rec;
    }
};

TEST_F(ChangedElsewhereTest, ChangeMadeInAnotherWindowMeanwhileIsNotOverwritten)
{
    ScopedMessages messages;
    const uint32_t rec = startChanging("Lena", "TxtPatFName", QStringLiteral("Mine"));

    // Another window's work area on the same table changes the patient.
    data::WorkArea* other = area(QStringLiteral("patnt01"));
    other->goTo(rec);
    ASSERT_TRUE(other->rlock());
    ASSERT_TRUE(setFieldText(*other, QStringLiteral("PATCITY"), QStringLiteral("Pune")));
    other->unlock();
    ASSERT_TRUE(db().commitAll());

    click("Bt_Save");
    EXPECT_EQ(messages->texts(), QStringList{changedElsewhereText()});
    EXPECT_EQ(messages->last()->kind, MessageKind::Exclamation);
    ASSERT_TRUE(findByCode(2));
    EXPECT_EQ(field("PATFNAME"), QStringLiteral("Lena")) << "nothing written";
    EXPECT_EQ(field("PATCITY"), QStringLiteral("Pune"));
    // The stored values are shown, still in the entry state, to be changed again.
    EXPECT_TRUE(form<PatientForm>(QStringLiteral("Form_Patient"))->entryMode());
    EXPECT_EQ(text("TxtPatFName"), QStringLiteral("Lena"));
    EXPECT_EQ(text("TxtPatCity"), QStringLiteral("Pune"));
    EXPECT_FALSE(area(QStringLiteral("patnt"))->isLocked(rec));

    messages->clear();
    retype("TxtPatFName", QStringLiteral("Mine"));
    click("Bt_Save");
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Modification Successful !!")});
    ASSERT_TRUE(findByCode(2));
    EXPECT_EQ(field("PATFNAME"), QStringLiteral("Mine"));
    EXPECT_EQ(field("PATCITY"), QStringLiteral("Pune")) << "the other change is kept";
}

TEST_F(ChangedElsewhereTest, ChangeMadeByAnotherCopyOfTheProgramIsNotOverwritten)
{
    ScopedMessages messages;
    const uint32_t rec = startChanging("Omar", "TxtPatPh1", QStringLiteral("111"));

    ASSERT_EQ(changeInAnotherProgram(folder_.path(), rec, "PATCITY", "Delhi"), 0);
    click("Bt_Save");
    EXPECT_EQ(messages->texts(), QStringList{changedElsewhereText()});
    EXPECT_EQ(text("TxtPatCity"), QStringLiteral("Delhi"));
    EXPECT_EQ(text("TxtPatPh1"), QString());
    ASSERT_TRUE(findByCode(2));
    EXPECT_EQ(field("PATPH1"), QString()) << "nothing written";

    // Unchanged elsewhere since it was shown: saved.
    messages->clear();
    retype("TxtPatPh1", QStringLiteral("111"));
    click("Bt_Save");
    EXPECT_EQ(messages->texts(), QStringList{QStringLiteral("Modification Successful !!")});
    ASSERT_TRUE(findByCode(2));
    EXPECT_EQ(field("PATPH1"), QStringLiteral("111"));
    EXPECT_EQ(field("PATCITY"), QStringLiteral("Delhi"));
}

TEST_F(PatientRegisterTest, DamagedNameIndexIsToldOnceWithItsFile)
{
    ScopedMessages messages;
    addPatient(2, "Dora", "Damage");
    open();
    // Another program spoils the index: its root points past the end of the
    // file, and its change counter moved so that cached pages are dropped.
    QFile ntx(QDir(folder_.path()).filePath(QStringLiteral("PATNT2.ntx")));
    ASSERT_TRUE(ntx.open(QIODevice::ReadWrite));
    const char spoilt[] = {0x06, 0x00, 0x7F, 0x7F, 0x00, 0x00, 0x00, 0x7F};
    ASSERT_EQ(ntx.write(spoilt, sizeof spoilt), qint64(sizeof spoilt));
    ntx.close();

    seek(QStringLiteral("do"));
    ASSERT_EQ(messages->shown().size(), 1u) << messages->texts().join(QLatin1String(" | ")).toStdString();
    EXPECT_EQ(messages->last()->kind, MessageKind::Stop);
    EXPECT_TRUE(messages->last()->text.startsWith(QStringLiteral("The patient list could not be read !!")));
    EXPECT_TRUE(messages->last()->text.contains(QStringLiteral("PATNT2"), Qt::CaseInsensitive)) << messages->last()->text.toStdString();
    QTest::keyClicks(box("TxtSeek"), QStringLiteral("r"));
    EXPECT_EQ(messages->shown().size(), 1u) << "the same damage is not told on every keystroke";
}

} // namespace
} // namespace cn::testing
