// Start-up: the desktop-folder refusal, and a full start on a fresh folder
// ending with the stored options in force and the View items disabled.
#include "app/database.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/splash.h"
#include "app/startup.h"
#include "support/testing.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace cn {
namespace {

// Runs a test body with the working folder set to a sub-folder of a
// temporary folder, and puts the old one back afterwards.
class InFolder {
public:
    explicit InFolder(const QString& name)
    {
        path_ = dir_.path() + QLatin1Char('/') + name;
        QDir().mkpath(path_);
        old_ = QDir::currentPath();
        QDir::setCurrent(path_);
    }
    ~InFolder() { QDir::setCurrent(old_); }
    const QString& path() const { return path_; }

private:
    QTemporaryDir dir_;
    QString path_;
    QString old_;
};

TEST(DesktopFolder, PathsEndingInDesktopInAnyCaseAreRefused)
{
    for (const char* p : {"/home/a/Desktop", "/home/a/MyDesktop", "/home/a/desktop", "/x/DESKTOP", "Desktop"})
        EXPECT_TRUE(isDesktopFolder(QLatin1String(p))) << p;
    for (const char* p : {"/home/a/Desktop2", "/home/a/Desktop/Curanote", "/home/a/Desk", "/", ""})
        EXPECT_FALSE(isDesktopFolder(QLatin1String(p))) << p;
}

TEST(DesktopFolder, StartUpShowsTheRefusalAndEndsBeforeAnyWindowOrTable)
{
    testing::app();
    InFolder folder(QStringLiteral("MyDesktop"));
    testing::ScopedMessages msgs;
    EXPECT_FALSE(startUp());
    EXPECT_EQ(MAIN(), 0);
    ASSERT_EQ(msgs->shown().size(), 2u);
    EXPECT_EQ(msgs->shown()[0].kind, MessageKind::Info);
    EXPECT_EQ(msgs->shown()[0].title, QStringLiteral("Curanote 1.0"));
    EXPECT_EQ(msgs->shown()[0].text,
              QStringLiteral("Can't continue in Desktop\r\nPlease install in & run from a sub-folder\r\n\r\n"
                             "Example: C:\\...\\My Documents\\Curanote\\..."));
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(splashWindow(), nullptr);
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(settings().MCURDIR, QDir::currentPath());
}

TEST(StartUp, FreshFolderEndsWithOptionsLoadedAndViewItemsDisabled)
{
    testing::app();
    InFolder folder(QStringLiteral("Desktop2"));
    testing::ScopedMessages msgs;
    ASSERT_TRUE(startUp());

    MainWindow* w = mainForm();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(splashWindow(), nullptr);
    EXPECT_EQ(settings().MCURDIR, folder.path());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Curanote 1.0 - ") + QString(40, QLatin1Char(' ')));

    // Every View item is off; the data popups are on again after set-up.
    const QList<QAction*> view = w->popup(QStringLiteral("Main_Windows"))->actions();
    EXPECT_EQ(view.size(), 8);
    for (QAction* a : view)
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (const char* p : {"Main_Entry", "Main_Reports", "Main_Setup", "Main_Help"})
        EXPECT_TRUE(w->popup(QLatin1String(p))->menuAction()->isEnabled()) << p;

    // The freshly created options record is in force.
    EXPECT_EQ(settings().MCURRENCY2TEXT, QStringLiteral("paisa"));
    EXPECT_DOUBLE_EQ(settings().NTOPMARGIN, 0);
    EXPECT_EQ(settings().CDATEFORMAT, QStringLiteral("dd-MM-yyyy"));
    EXPECT_EQ(db().dateFormat(), "dd-MM-yyyy");
    EXPECT_FALSE(db().deletedVisible());
    EXPECT_NE(db().area("patnt"), nullptr);
    EXPECT_EQ(db().area("opts"), nullptr);
    EXPECT_EQ(msgs->unscripted(), 0);

    w->release();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(db().area("patnt"), nullptr);
    resetSettings();
}

} // namespace
} // namespace cn
