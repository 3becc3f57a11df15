// The Backup/Restore window as the doctor uses it: the archive it proposes,
// what it says, the tables closed while it works and open again after, and
// the program working on restored data at once.
#include "support/program_fixture.h"

#include "app/database.h"
#include "app/maintenance.h"
#include "setup/backup/backup.h"
#include "setup/backup_form.h"
#include "visits/pvisit_form.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace cn::testing {
namespace {

namespace fs = std::filesystem;

// Answers the file dialogs from a queue (empty: Cancel) and notes, for each,
// whether the program's tables were closed while it was up.
class WatchingDialogs final : public Dialogs {
public:
    QString openFile(QWidget*, const QString& caption, const QString& folder, const QString& filter) override
    {
        return answer(DialogCall::OpenFile, caption, folder, filter);
    }
    QString saveFile(QWidget*, const QString& caption, const QString& path, const QString& filter) override
    {
        return answer(DialogCall::SaveFile, caption, path, filter);
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont&, const QString&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&, const QString&) override { return std::nullopt; }

    std::deque<QString> files;
    std::vector<DialogCall> calls;
    std::vector<bool> tablesClosed;

private:
    QString answer(DialogCall::Kind kind, const QString& caption, const QString& path, const QString& filter)
    {
        calls.push_back({kind, caption, path, filter, {}});
        tablesClosed.push_back(area(QStringLiteral("patnt")) == nullptr && area(QStringLiteral("pvisit")) == nullptr);
        if (files.empty())
            return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

std::string readBytes(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class BackupWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = std::make_unique<ProgramFixture>(folder.path());
        auto d = std::make_unique<WatchingDialogs>();
        dialogs = d.get();
        previous = setDialogs(std::move(d));
        InputHold::pauseMs = 0;
        BACKUP();
        window = form<BackupForm>(QStringLiteral("Form_Backup"));
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        program.reset();
        setDialogs(std::move(previous));
        InputHold::pauseMs = 100;
    }
    void press(const char* button)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
    QString label() const { return window->findChild<QLabel*>(QStringLiteral("Label_1"))->text().remove(QChar(0x200B)); }
    QColor labelColour() const
    {
        return window->findChild<QLabel*>(QStringLiteral("Label_1"))->palette().color(QPalette::WindowText);
    }
    int patients() const
    {
        int n = 0;
        data::WorkArea* p = area(QStringLiteral("patnt"));
        for (p->goTop(); !p->eof(); p->skip())
            ++n;
        return n;
    }
    void addPatient()
    {
        data::WorkArea* p = area(QStringLiteral("patnt"));
        ASSERT_TRUE(p->append());
        ASSERT_TRUE(p->setNum("PATCODE", 50));
        ASSERT_TRUE(p->setStr("PATFNAME", "Added Later"));
        p->unlock();
        ASSERT_TRUE(db().commitAll());
    }

    QTemporaryDir folder, out;
    std::unique_ptr<ProgramFixture> program;
    WatchingDialogs* dialogs = nullptr;
    std::unique_ptr<Dialogs> previous;
    BackupForm* window = nullptr;
};

TEST_F(BackupWindow, BackupProposesTheMomentsNameAndSavesExactlyTheDataFiles)
{
    program->clock().date = QDate(2011, 3, 2);
    program->clock().time = QTime(9, 5, 7);
    ASSERT_TRUE(area(QStringLiteral("patnt"))->setOrder(2));
    const QString path = out.filePath(QStringLiteral("chosen.zip"));
    dialogs->files = {path};
    press("Button_1");
    ASSERT_EQ(dialogs->calls.size(), 1u);
    const DialogCall& call = dialogs->calls.front();
    EXPECT_EQ(call.kind, DialogCall::SaveFile);
    EXPECT_EQ(call.caption, QStringLiteral("Curanote 1.0 - Backup To"));
    EXPECT_EQ(call.path, QDir(folder.path()).filePath(QStringLiteral("CNP20110302090507.zip")));
    EXPECT_EQ(call.filter, QStringLiteral("Zip Files (*.ZIP)"));
    EXPECT_TRUE(dialogs->tablesClosed.front());

    EXPECT_EQ(label(), QStringLiteral("Saved to ") + path);
    EXPECT_EQ(labelColour(), QColor(0, 0, 255));
    std::vector<std::string> listed;
    if (FILE* p = ::popen(("unzip -Z1 '" + path.toStdString() + "'").c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, p))
            listed.emplace_back(line, std::strlen(line) - 1);
        ::pclose(p);
    }
    EXPECT_EQ(listed, backup::backupFiles(folder.path().toStdString()));
    EXPECT_EQ(listed.size(), 22u + 2u + 46u);
    // Open again as before: the order the register had chosen is kept.
    ASSERT_NE(area(QStringLiteral("patnt")), nullptr);
    EXPECT_EQ(area(QStringLiteral("patnt"))->indexOrd(), 2);
    EXPECT_TRUE(program->messages().shown().empty());
}

TEST_F(BackupWindow, CancellingEitherDialogStillClosesAndReopensTheTables)
{
    press("Button_1");
    press("Button_2");
    ASSERT_EQ(dialogs->calls.size(), 2u);
    EXPECT_EQ(dialogs->calls[1].kind, DialogCall::OpenFile);
    EXPECT_EQ(dialogs->calls[1].caption, QStringLiteral("Curanote 1.0 - Restore From"));
    EXPECT_EQ(dialogs->calls[1].path, folder.path());
    EXPECT_EQ(dialogs->tablesClosed, (std::vector<bool>{true, true}));
    for (const char* alias : {"patnt", "patnt01", "pvisit", "pvisit01", "chamber", "xchamber", "dict"})
        EXPECT_NE(area(QLatin1String(alias)), nullptr) << alias;
    EXPECT_TRUE(label().isEmpty());
}

TEST_F(BackupWindow, RestoreBringsTheOldDataBackAndTheProgramWorksOnItAtOnce)
{
    const QString archive = out.filePath(QStringLiteral("before.zip"));
    dialogs->files = {archive};
    press("Button_1");
    ASSERT_EQ(label(), QStringLiteral("Saved to ") + archive);
    const int before = patients();
    addPatient();
    ASSERT_EQ(patients(), before + 1);

    dialogs->files = {archive};
    press("Button_2");
    EXPECT_EQ(label(), QStringLiteral("Restored from ") + archive);
    EXPECT_EQ(labelColour(), QColor(0, 0, 255));
    EXPECT_EQ(patients(), before);
    // The folder as it was is kept, and the user is told where.
    ASSERT_EQ(program->messages().shown().size(), 1u);
    const QString told = program->messages().shown().front().text;
    EXPECT_TRUE(told.contains(folder.path() + QStringLiteral("/CNP"))) << told.toStdString();
    addPatient();
    EXPECT_EQ(patients(), before + 1);
}

TEST_F(BackupWindow, AnArchiveThatIsNoBackupChangesNothingAndSaysWhy)
{
    const QString bogus = out.filePath(QStringLiteral("letter.zip"));
    std::ofstream(bogus.toStdString()) << "Dear Doctor";
    const std::string table = readBytes(QDir(folder.path()).filePath(QStringLiteral("PATNT.dbf")));
    dialogs->files = {bogus};
    press("Button_2");
    EXPECT_EQ(label(), QStringLiteral("Unable to restore from ") + bogus);
    ASSERT_EQ(program->messages().shown().size(), 1u);
    EXPECT_EQ(program->messages().shown().front().kind, MessageKind::Exclamation);
    EXPECT_TRUE(program->messages().shown().front().text.contains(QStringLiteral("unchanged")));
    EXPECT_EQ(readBytes(QDir(folder.path()).filePath(QStringLiteral("PATNT.dbf"))), table);
    EXPECT_NE(area(QStringLiteral("patnt")), nullptr);
}

TEST_F(BackupWindow, WindowsWithTablesOfTheirOwnAreNamedAndMustBeClosedFirst)
{
    PVISIT();   // relates and scopes the shared tables
    auto* visits = findWindow(QStringLiteral("Form_PVisit"));
    ASSERT_NE(visits, nullptr);
    auto* plain = new Form(QStringLiteral("Form_Plain"));
    plain->setTitle(QStringLiteral("Works on the shared tables only"));
    plain->activate();

    press("Button_1");
    press("Button_2");
    EXPECT_TRUE(dialogs->calls.empty());
    ASSERT_EQ(program->messages().shown().size(), 2u);
    const QString said = program->messages().shown().front().text;
    EXPECT_TRUE(said.contains(QStringLiteral("Entry: Visit Details"))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("shared tables only")));
    EXPECT_NE(area(QStringLiteral("patnt")), nullptr);

    ReleaseWindow(QStringLiteral("Form_PVisit"));
    press("Button_1");
    EXPECT_EQ(dialogs->calls.size(), 1u);
    plain->release();
}

} // namespace
} // namespace cn::testing
