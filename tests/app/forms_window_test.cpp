// Windows by name: definition and release, initialisation and release
// handlers, the close question of a window's own close control, access to
// controls and methods by (form, control).
#include "app/forms.h"
#include "support/testing.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace cn {
namespace {

using testing::ScopedMessages;

class FormsWindowTest : public ::testing::Test {
protected:
    void SetUp() override { testing::app(); }
    void TearDown() override
    {
        releaseAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(FormsWindowTest, NameIsDefinedFromDefinitionUntilRelease)
{
    ScopedMessages msgs;
    int inits = 0, releases = 0;
    auto* f = new Form(QStringLiteral("Form_Test"));
    f->onInit = [&] { ++inits; };
    f->onRelease = [&] {
        ++releases;
        EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Test")));   // no longer defined while releasing
    };
    EXPECT_TRUE(IsWindowDefined(QStringLiteral("form_test")));        // any letter case
    EXPECT_EQ(findWindow(QStringLiteral("FORM_TEST")), f);

    f->activate();
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(inits, 1);
    f->hide();
    f->activate();   // initialisation runs once only
    EXPECT_EQ(inits, 1);

    QPointer<Form> guard(f);
    EXPECT_TRUE(ReleaseWindow(QStringLiteral("Form_Test")));
    EXPECT_EQ(releases, 1);
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Test")));
    EXPECT_TRUE(msgs->shown().empty());   // a release by the program asks nothing
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_FALSE(ReleaseWindow(QStringLiteral("Form_Test")));
}

TEST_F(FormsWindowTest, ShowingWithoutActivateStillInitialisesOnce)
{
    auto* f = new Form(QStringLiteral("Form_Shown"));
    int inits = 0;
    f->onInit = [&] { ++inits; };
    f->show();
    CN_TRY_COMPARE(inits, 1);
    f->hide();
    f->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(inits, 1);
}

TEST_F(FormsWindowTest, CloseControlAsksAndClosesOnlyOnYes)
{
    ScopedMessages msgs;
    auto* f = new Form(QStringLiteral("Form_Close"));
    int releases = 0;
    f->onRelease = [&] { ++releases; };
    f->activate();

    msgs->answerNo();
    f->close();   // as the title bar's close button does
    ASSERT_EQ(msgs->shown().size(), 1u);
    EXPECT_EQ(msgs->last()->kind, MessageKind::YesNo);
    EXPECT_EQ(msgs->last()->text, QStringLiteral("Are you sure ?"));
    EXPECT_EQ(msgs->last()->title, QStringLiteral("Close Window"));
    EXPECT_TRUE(IsWindowDefined(QStringLiteral("Form_Close")));
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(releases, 0);

    msgs->answerYes();
    f->close();
    EXPECT_EQ(msgs->shown().size(), 2u);
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Close")));
    EXPECT_EQ(releases, 1);
}

TEST_F(FormsWindowTest, OwnCloseQuestionComesFirstAndMayRefuse)
{
    ScopedMessages msgs;
    auto* f = new Form(QStringLiteral("Form_Own"));
    f->onCloseQuery = [] { return MESGYESNO(QStringLiteral("Exit ?")) == 6; };
    f->activate();

    msgs->answerNo();
    f->close();
    EXPECT_EQ(msgs->texts(), QStringList{QStringLiteral("Exit ?")});   // refused before the general question
    EXPECT_TRUE(IsWindowDefined(QStringLiteral("Form_Own")));

    msgs->answerYes();
    msgs->answerYes();
    f->close();
    EXPECT_EQ(msgs->texts(), (QStringList{"Exit ?", "Exit ?", "Are you sure ?"}));
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Own")));
}

TEST_F(FormsWindowTest, ChildWindowsBelongToTheMainWindow)
{
    QWidget main;
    main.setObjectName(QStringLiteral("Form_0"));
    setMainWindow(&main);
    EXPECT_TRUE(IsWindowDefined(QStringLiteral("Form_0")));

    auto* child = new Form(QStringLiteral("Form_Child"));
    EXPECT_EQ(child->parentWidget(), &main);
    EXPECT_TRUE(child->isWindow());

    auto* splash = new Form(QStringLiteral("Form_Splash"), WindowType::Plain);
    splash->place(0, 0, 400, 300);
    EXPECT_EQ(splash->parentWidget(), nullptr);
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(splash->minimumSize(), splash->maximumSize());   // not resizable

    // Releasing everything leaves the main window defined.
    releaseAllWindows();
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Child")));
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Splash")));
    EXPECT_TRUE(IsWindowDefined(QStringLiteral("Form_0")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setMainWindow(nullptr);
    unregisterWindow(QStringLiteral("Form_0"), &main);
}

TEST_F(FormsWindowTest, ModalActivateWaitsForRelease)
{
    auto* f = new Form(QStringLiteral("Form_Modal"), WindowType::Modal);
    bool initRan = false;
    f->onInit = [&] {
        initRan = true;
        QTimer::singleShot(0, f, [f] { f->release(); });
    };
    f->activate();   // returns only once released
    EXPECT_TRUE(initRan);
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Modal")));
}

TEST_F(FormsWindowTest, ControlsAndMethodsByName)
{
    auto* f = new Form(QStringLiteral("Form_Names"));
    f->place(50, 110, 400, 300);
    f->setTitle(QStringLiteral("Entry: Names"));
    f->build({
        {"TxtName", ControlKind::Text, 10, 20, 150, 25, "", "Enter a name", 20},
        {"Bt_Save", ControlKind::Button, 10, 60, 100, 28, "&Save"},
    });
    f->activate();
    ASSERT_TRUE(testing::showActive(f));

    EXPECT_EQ(control(QStringLiteral("Form_Names"), QStringLiteral("TxtName")), f->control(QStringLiteral("TxtName")));
    EXPECT_EQ(control(QStringLiteral("Form_Names"), QStringLiteral("Nothing")), nullptr);
    EXPECT_EQ(control(QStringLiteral("Form_None"), QStringLiteral("TxtName")), nullptr);

    EXPECT_TRUE(SetProperty("Form_Names", "TxtName", "Value", QStringLiteral("Rora")));
    EXPECT_EQ(GetProperty("Form_Names", "TxtName", "Value").toString(), QStringLiteral("Rora"));
    EXPECT_EQ(GetProperty("Form_Names", "", "Title").toString(), QStringLiteral("Entry: Names"));
    EXPECT_TRUE(SetProperty("Form_Names", "Bt_Save", "Enabled", false));
    EXPECT_FALSE(f->control(QStringLiteral("Bt_Save"))->isEnabled());
    EXPECT_EQ(GetProperty("Form_Names", "Bt_Save", "Caption").toString(), QStringLiteral("&Save"));

    EXPECT_TRUE(DoMethod("Form_Names", "TxtName", "SetFocus"));
    CN_TRY_VERIFY(f->control(QStringLiteral("TxtName"))->hasFocus());
    EXPECT_TRUE(SetProperty("Form_Names", "TxtName", "CaretPos", 2));
    EXPECT_EQ(GetProperty("Form_Names", "TxtName", "CaretPos").toInt(), 2);

    f->hide();
    EXPECT_TRUE(DoMethod(QStringLiteral("Form_Names"), QStringLiteral("SetFocus")));
    EXPECT_TRUE(f->isVisible());
    EXPECT_FALSE(DoMethod(QStringLiteral("Form_Names"), QStringLiteral("NoSuchMethod")));
    EXPECT_TRUE(DoMethod(QStringLiteral("Form_Names"), QStringLiteral("Release")));
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Form_Names")));
}

TEST_F(FormsWindowTest, KeyboardBufferAndEscape)
{
    auto* f = new Form(QStringLiteral("Form_Keys"));
    f->build({{"TxtSeek", ControlKind::Text, 10, 10, 100, 24}});
    f->activate();
    auto* box = f->control<QLineEdit>(QStringLiteral("TxtSeek"));
    box->setFocus();

    // Keys still waiting in the queue are thrown away.
    QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
    clearKeyboardBuffer();
    QCoreApplication::processEvents();
    EXPECT_EQ(box->text(), QString());

    EscapeWatch watch;
    EXPECT_FALSE(watch.pressed());
    QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b")));
    EXPECT_FALSE(watch.pressed());
    QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    EXPECT_TRUE(watch.pressed());
    EXPECT_EQ(box->text(), QString());   // keys typed during the task do not land in the window
}

} // namespace
} // namespace cn
