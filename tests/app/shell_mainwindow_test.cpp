// The main window: its menu, the popups and View items switched by the
// shared routines, the menu openers, and the questions on closing.
#include "app/forms.h"
#include "app/mainwindow.h"
#include "support/testing.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace cn {
namespace {

using testing::ScopedMessages;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        w_ = new MainWindow;
    }
    void TearDown() override
    {
        if (w_)
            w_->release();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QAction* item(const char* name) const
    {
        QAction* a = w_->menuItem(QLatin1String(name));
        EXPECT_NE(a, nullptr) << name;
        return a;
    }

    QPointer<MainWindow> w_;
};

TEST_F(MainWindowTest, WindowAndMenuAsDeclared)
{
    EXPECT_EQ(w_->objectName(), QStringLiteral("Form_0"));
    EXPECT_EQ(w_->windowTitle(), QStringLiteral("Curanote 1.0"));
    EXPECT_EQ(w_->size(), QSize(640, 480));
    EXPECT_EQ(w_->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(w_->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_FALSE(w_->windowIcon().isNull());
    EXPECT_EQ(mainForm(), w_.data());
    EXPECT_EQ(mainWindow(), w_.data());
    EXPECT_EQ(findWindow(QStringLiteral("Form_0")), w_.data());

    // Popups in order with their captions, and each one's items (separators as "-").
    const struct { const char* popup; const char* caption; QStringList items; } expected[] = {
        {"Main_Entry", "&Entry", {"Set_Patient=&Patient Details", "Ent_PatVisit=&Visit Details", "-", "Ent_Exit=E&xit"}},
        {"Main_Reports", "&Reports", {"Rep_Stats=&Query/Stats"}},
        {"Main_Windows", "&View", {"WinDBFMenu= -> Data Browser", "WinPatnt=Entry: Patient Details",
                                   "WinPVisit=Entry: Visit Details", "WinPVHist= -> Patient History",
                                   "WinStats=Report: Query/Stats", "WinPVShow= -> Patient Visit Details",
                                   "WinChambers=Setup: Chambers", "WinDict=Setup: Dictionary"}},
        {"Main_Setup", "&Setup", {"Set_Chamber=&Chambers", "Set_Dict=&Dictionary", "-", "Set_Options=O&ptions", "-",
                                  "Set_Renum=&Renumber Patient Visits", "Set_Cleanup=Data &Cleanup",
                                  "Set_Backup=&Backup/Restore"}},
        {"Main_Help", "&Help", {"Help_About=&About"}},
    };
    const QList<QAction*> top = w_->menuBar()->actions();
    ASSERT_EQ(top.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const auto& e = expected[i];
        QMenu* m = top[i]->menu();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->objectName(), QLatin1String(e.popup));
        EXPECT_EQ(m->title(), QLatin1String(e.caption));
        QStringList got;
        for (QAction* a : m->actions()) {
            EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
            got << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + QLatin1Char('=') + a->text());
        }
        EXPECT_EQ(got, e.items) << e.popup;
    }
}

TEST_F(MainWindowTest, MenuAbleSwitchesOnlyTheDataPopups)
{
    MAINMENUABLE(false);
    for (const char* name : {"Main_Entry", "Main_Reports", "Main_Setup"})
        EXPECT_FALSE(w_->popup(QLatin1String(name))->menuAction()->isEnabled()) << name;
    for (const char* name : {"Main_Windows", "Main_Help"})
        EXPECT_TRUE(w_->popup(QLatin1String(name))->menuAction()->isEnabled()) << name;
    MAINMENUABLE(true);
    for (const char* name : {"Main_Entry", "Main_Reports", "Main_Setup"})
        EXPECT_TRUE(w_->popup(QLatin1String(name))->menuAction()->isEnabled()) << name;
}

TEST_F(MainWindowTest, ViewItemFollowsItsWindowAndBringsItForward)
{
    const WindowEntry windows[] = {{"Form_Patient", "Set_Patient", "WinPatnt", nullptr}};
    setWindowList(windows);
    CHKWINVIEWS(QStringLiteral("Form_0"), QStringLiteral("WinPatnt"), false);
    EXPECT_FALSE(item("WinPatnt")->isEnabled());
    EXPECT_TRUE(item("WinPVisit")->isEnabled());
    // Another form name is not the main window: nothing changes.
    CHKWINVIEWS(QStringLiteral("Form_Other"), QStringLiteral("WinPVisit"), false);
    EXPECT_TRUE(item("WinPVisit")->isEnabled());

    // A registered window switches its View item itself, on opening and on release.
    auto* patient = new Form(QStringLiteral("Form_Patient"));
    EXPECT_EQ(patient->parentWidget(), w_.data());
    patient->activate();
    EXPECT_TRUE(item("WinPatnt")->isEnabled());
    patient->showMinimized();
    ScopedMessages msgs;
    item("WinPatnt")->trigger();
    EXPECT_FALSE(patient->isMinimized());
    EXPECT_TRUE(msgs->shown().empty());
    patient->release();
    EXPECT_FALSE(item("WinPatnt")->isEnabled());
    setWindowList({});
}

int dictionaryOpened = 0;
void openDictionary() { ++dictionaryOpened; }

TEST_F(MainWindowTest, ItemsRunTheirRegisteredOpenerOrSayNotAvailable)
{
    ScopedMessages msgs;
    item("Set_Dict")->trigger();
    ASSERT_EQ(msgs->shown().size(), 1u);
    EXPECT_EQ(msgs->last()->kind, MessageKind::Info);
    EXPECT_EQ(msgs->last()->text, QStringLiteral("Dictionary is not available yet"));

    const WindowEntry windows[] = {{"Form_Dictionary", "Set_Dict", "WinDict", openDictionary}};
    setWindowList(windows);
    dictionaryOpened = 0;
    item("Set_Dict")->trigger();
    item("Set_Dict")->trigger();
    EXPECT_EQ(dictionaryOpened, 2);
    EXPECT_EQ(msgs->shown().size(), 1u);
    setWindowList({});
}

TEST_F(MainWindowTest, CloseControlAsksTwiceAndANoToEitherKeepsTheProgram)
{
    ScopedMessages msgs;
    w_->show();
    msgs->answerNo();
    EXPECT_FALSE(w_->close());
    msgs->answerYes();
    msgs->answerNo();
    EXPECT_FALSE(w_->close());
    ASSERT_EQ(msgs->shown().size(), 3u);
    EXPECT_EQ(msgs->shown()[0].text, QStringLiteral("Exit Curanote?"));
    EXPECT_EQ(msgs->shown()[0].title, QStringLiteral("Curanote 1.0"));
    EXPECT_EQ(msgs->shown()[0].kind, MessageKind::YesNo);
    EXPECT_EQ(msgs->shown()[2].text, QStringLiteral("Are you sure ?"));
    EXPECT_EQ(msgs->shown()[2].title, QStringLiteral("Close Window"));
    EXPECT_TRUE(w_->isVisible());

    // Two Yes answers: the window and its child windows go, without asking the child.
    auto* child = new Form(QStringLiteral("Form_Child"));
    bool childReleased = false;
    child->onRelease = [&childReleased] { childReleased = true; };
    child->show();
    QPointer<QWidget> childGuard(child);
    msgs->clear();
    msgs->answerYes();
    msgs->answerYes();
    EXPECT_TRUE(w_->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w_.isNull());
    EXPECT_TRUE(childGuard.isNull());
    EXPECT_TRUE(childReleased);
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(mainWindow(), nullptr);
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_0")));
    EXPECT_EQ(msgs->shown().size(), 2u);
    EXPECT_EQ(msgs->unscripted(), 0);
}

TEST_F(MainWindowTest, MenuExitAsksOnlyOnce)
{
    ScopedMessages msgs;
    w_->show();
    msgs->answerNo();
    item("Ent_Exit")->trigger();
    ASSERT_EQ(msgs->shown().size(), 1u);
    EXPECT_EQ(msgs->shown()[0].text, QStringLiteral("Exit Curanote 1.0 ?"));
    EXPECT_EQ(msgs->shown()[0].kind, MessageKind::YesNo);
    EXPECT_TRUE(w_->isVisible());

    msgs->clear();
    msgs->answerYes();
    item("Ent_Exit")->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w_.isNull());
    EXPECT_EQ(msgs->shown().size(), 1u);
}

} // namespace
} // namespace cn
