// The progress window over a set-up run: its controls, the popups it holds
// off, the clean-up's questions, and Escape from the keyboard.
#include "app/database.h"
#include "app/mainwindow.h"
#include "app/setupform.h"
#include "support/testing.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace cn {
namespace {

using testing::ScopedClock;
using testing::ScopedMessages;

class SetupFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        ASSERT_TRUE(folder_.isValid());
        openDb(folder_.path());
        window_ = new MainWindow;
    }
    void TearDown() override
    {
        db().closeAll();
        if (window_)
            window_->release();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    bool popupsEnabled() const
    {
        bool all = true;
        for (const char* p : {"Main_Entry", "Main_Reports", "Main_Setup"})
            all = all && window_->popup(QLatin1String(p))->menuAction()->isEnabled();
        return all;
    }
    // Runs `during` once, inside the run, at the first status text that contains `when`.
    void whileRunning(const QString& when, std::function<void(Form_Setup&)> during)
    {
        QTimer::singleShot(0, [=] {
            Form_Setup* f = setupWindow();
            ASSERT_NE(f, nullptr);
            auto done = std::make_shared<bool>(false);
            QObject::connect(f, &Form_Setup::statusShown, f, [=](const QString& text) {
                if (!*done && text.contains(when)) {
                    *done = true;
                    during(*f);
                }
            });
        });
    }

    QTemporaryDir folder_;
    QPointer<MainWindow> window_;
    ScopedClock clock_;
};

TEST_F(SetupFormTest, StartUpRunShowsProgressAndEndsWithTablesOpen)
{
    ScopedMessages messages;
    bool checked = false;
    whileRunning(QStringLiteral("Creating PATNT"), [&](Form_Setup& f) {
        checked = true;
        EXPECT_EQ(f.objectName(), QStringLiteral("Form_Setup"));
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Database Check"));
        EXPECT_EQ(f.size(), QSize(365, 125));
        EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
        const struct { const char* name; int row; int max; const char* tip; } bars[] = {
            {"Progress_1", 0, 22, "Database Progress"},
            {"Progress_2", 30, 46, "Index Progress"},
            {"Progress_3", 60, 100, "Table Progress"},
        };
        for (const auto& b : bars) {
            auto* bar = f.findChild<QProgressBar*>(QLatin1String(b.name));
            ASSERT_NE(bar, nullptr) << b.name;
            EXPECT_EQ(bar->geometry(), QRect(31, b.row, 300, 26)) << b.name;
            EXPECT_EQ(bar->maximum(), b.max);
            EXPECT_EQ(bar->toolTip(), QLatin1String(b.tip));
        }
        auto* text = f.findChild<QLineEdit*>(QStringLiteral("TextBox_1"));
        ASSERT_NE(text, nullptr);
        EXPECT_FALSE(text->isEnabled());
        EXPECT_EQ(text->pos(), QPoint(31, 90));
        EXPECT_EQ(text->width(), 300);
        EXPECT_EQ(text->text().size(), 75);
        EXPECT_EQ(text->text().trimmed(), QStringLiteral("Creating PATNT   5 %"));
        EXPECT_EQ(f.progress(1)->value(), 1);
        EXPECT_FALSE(popupsEnabled());
    });
    SET_UP(false);
    EXPECT_TRUE(checked);
    EXPECT_EQ(setupWindow(), nullptr);
    EXPECT_TRUE(popupsEnabled());
    EXPECT_TRUE(messages->shown().empty());
    EXPECT_NE(area(QStringLiteral("patnt01")), nullptr);
    EXPECT_EQ(QString::fromStdString(db().currentAlias()), QStringLiteral("dict"));
    EXPECT_TRUE(QDir(folder_.path()).exists(QStringLiteral("PVISIT5.ntx")));
}

TEST_F(SetupFormTest, CleanupAsksTwiceAndReportsCompletion)
{
    {
        ScopedMessages first;
        SET_UP(false);
    }
    ScopedMessages messages;
    messages->answerOk();
    messages->answerOk();
    SET_UP(true);
    const QStringList texts = messages->texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(messages->shown()[0].kind, MessageKind::OkCancel);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("WARNING #1\n\n")));
    EXPECT_TRUE(texts[1].startsWith(QStringLiteral("FINAL WARNING")));
    EXPECT_EQ(texts[2], QStringLiteral("Data Cleanup Complete"));
    EXPECT_EQ(messages->shown()[2].kind, MessageKind::Info);
    EXPECT_EQ(messages->shown()[2].title, QStringLiteral("Curanote 1.0"));
    EXPECT_NE(area(QStringLiteral("chamber")), nullptr);
    EXPECT_TRUE(popupsEnabled());
}

TEST_F(SetupFormTest, CleanupRefusedIsAborted)
{
    {
        ScopedMessages first;
        SET_UP(false);
    }
    ScopedMessages messages;
    messages->answerCancel();
    SET_UP(true);
    ASSERT_EQ(messages->texts().size(), 2);
    EXPECT_EQ(messages->texts().back(), QStringLiteral("Data Cleanup aborted"));
    EXPECT_EQ(messages->shown().back().kind, MessageKind::Stop);
    EXPECT_NE(area(QStringLiteral("dict")), nullptr);
    EXPECT_TRUE(popupsEnabled());
}

TEST_F(SetupFormTest, EscapeKeyStopsTheCleanupAfterTheCurrentTable)
{
    {
        ScopedMessages first;
        SET_UP(false);
    }
    ScopedMessages messages;
    messages->answerOk();
    messages->answerOk();
    QStringList statuses;
    whileRunning(QStringLiteral("Cleaning SDIS"), [&](Form_Setup& f) {
        QTest::keyClick(&f, Qt::Key_Escape);
        QObject::connect(&f, &Form_Setup::statusShown, &f, [&](const QString& t) { statuses << t.trimmed(); });
    });
    SET_UP(true);
    EXPECT_TRUE(statuses.filter(QStringLiteral("Cleaning COMPL")).isEmpty());
    EXPECT_FALSE(statuses.filter(QStringLiteral("Checking DICT2.ntx")).isEmpty());
    EXPECT_EQ(messages->texts().back(), QStringLiteral("Data Cleanup Complete"));
}

TEST_F(SetupFormTest, MenuItemRunsTheCleanup)
{
    {
        ScopedMessages first;
        SET_UP(false);
    }
    ScopedMessages messages;
    messages->answerCancel();
    const WindowEntry windows[] = {{"Form_Setup", "Set_Cleanup", nullptr, DATA_CLEANUP}};
    setWindowList(windows);
    window_->runItem(QStringLiteral("Set_Cleanup"));
    setWindowList({});
    EXPECT_EQ(messages->texts().back(), QStringLiteral("Data Cleanup aborted"));
}

} // namespace
} // namespace cn
