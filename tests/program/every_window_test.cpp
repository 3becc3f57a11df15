// Every window of the program's list, built as the menu builds it: every
// name its declaration and binding tables use exists, every caption fits its
// control at the program's fonts, Tab visits only visible, enabled controls
// in the order declared, and the window lies inside the screen.
#include "app/forms.h"
#include "masters/dbfmenu.h"
#include "program/windows.h"
#include "support/program_test.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <gtest/gtest.h>

#include <functional>

namespace cn::testing {
namespace {

// What a caption needs at its control's font, measured here and not taken
// from the form layer, so that a fitting rule that is wrong shows.
QSize textSize(const QFont& font, const QString& text, int flags = 0)
{
    return QFontMetrics(font).size(flags, text);
}

// The captions that do not fit their control, as "name: what".
QStringList clippedCaptions(QWidget* window)
{
    QStringList out;
    auto report = [&](QWidget* w, const QString& caption, QSize need, QSize room) {
        if (need.width() > room.width() || need.height() > room.height())
            out << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                       .arg(w->objectName(), caption)
                       .arg(need.width()).arg(need.height()).arg(room.width()).arg(room.height());
    };
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (l->text().isEmpty() || !l->pixmap().isNull())
            continue;
        const QString text = l->textFormat() == Qt::PlainText ? l->text()
                                                               : QTextDocumentFragment::fromHtml(l->text()).toPlainText();
        report(l, text, textSize(l->font(), text), l->size());
    }
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        if (b->text().isEmpty())
            continue;
        const QSize need = textSize(b->font(), b->text(), Qt::TextShowMnemonic) + QSize(6, 2);
        report(b, b->text(), need, b->size());
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!qobject_cast<QCheckBox*>(b) && !qobject_cast<QRadioButton*>(b))
            continue;
        // Indicator, spacing and text, as the style lays them out; an option
        // also has to lie inside its group.
        report(b, b->text(), b->sizeHint(), b->size());
        if (QWidget* group = b->parentWidget(); qobject_cast<QRadioButton*>(b) && !group->rect().contains(b->geometry()))
            out << b->objectName() + QStringLiteral(" \"") + b->text() + QStringLiteral("\" lies outside its group");
    }
    for (QGroupBox* g : window->findChildren<QGroupBox*>()) {
        if (!g->title().isEmpty())
            report(g, g->title(), textSize(g->font(), g->title()) + QSize(16, 0), g->size());
    }
    return out;
}

// Inside the screen's available area; a window larger than the area starts
// at its top or left edge, so that its title and first controls are there.
bool onScreen(QWidget* w)
{
    const QRect area = w->screen()->availableGeometry();
    const QRect r = w->frameGeometry();
    auto fits = [](int start, int size, int areaStart, int areaSize) {
        return size <= areaSize ? start >= areaStart && start + size <= areaStart + areaSize : start == areaStart;
    };
    return fits(r.x(), r.width(), area.x(), area.width()) && fits(r.y(), r.height(), area.y(), area.height());
}

QString placeOf(QWidget* w)
{
    const QRect r = w->frameGeometry();
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// How a window is opened: its opener, or for a window that only another
// window's request opens (the pick list), that request.
std::function<void()> openerOf(const WindowEntry& e)
{
    if (e.open)
        return e.open;
    if (QLatin1String(e.form) == QLatin1String("Form_DBFMenu"))
        return [] { openDBFMenu(chamberPickList()); };
    return {};
}

class EveryWindowTest : public ProgramTest {
protected:

    // Opens every window of the list through its opener and runs `check` on
    // it while it is open. A window that goes when its opener returns (the
    // clean-up's progress window) is checked while its first question is up;
    // the questions are answered No and Cancel.
    void forEveryWindow(const std::function<void(const WindowEntry&, QWidget*)>& check)
    {
        ASSERT_FALSE(program::windows().empty());
        for (const WindowEntry& e : program::windows()) {
            SCOPED_TRACE(e.form);
            bool checked = false;
            ScopedMessages messages;
            messages->onShow = [&](const ShownMessage&) {
                if (QWidget* w = findWindow(QLatin1String(e.form)); w && !checked) {
                    checked = true;
                    check(e, w);
                }
            };
            const std::function<void()> open = openerOf(e);
            ASSERT_TRUE(open) << e.form << " has no opener";
            open();
            if (QWidget* w = findWindow(QLatin1String(e.form)); w && !checked) {
                checked = true;
                check(e, w);
            }
            EXPECT_TRUE(checked) << e.form << ": its opener did not build it";
            ReleaseWindow(QLatin1String(e.form));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
};

TEST_F(EveryWindowTest, DeclaredNamesExistCaptionsFitAndTheWindowIsOnTheScreen)
{
    forEveryWindow([](const WindowEntry& e, QWidget* w) {
        auto* f = qobject_cast<Form*>(w);
        ASSERT_NE(f, nullptr) << e.form << " is not built on Form";
        EXPECT_EQ(f->faults(), QStringList()) << e.form;
        EXPECT_FALSE(f->declared().isEmpty()) << e.form << " builds no control from a declaration table";
        for (const QString& name : f->declared())
            EXPECT_NE(f->findChild<QWidget*>(name), nullptr) << name.toStdString();
        EXPECT_EQ(clippedCaptions(w), QStringList()) << e.form;
        EXPECT_TRUE(onScreen(w)) << e.form << " at " << placeOf(w).toStdString();
    });
}

// A small main window near the screen's corner: a child centred on it would
// hang over the edge, so it is moved inside.
TEST_F(EveryWindowTest, ChildCentredOnASmallMainWindowStaysOnTheScreen)
{
    QWidget* main = program_->mainWindow();
    const QRect screen = main->screen()->availableGeometry();
    main->showNormal();
    main->setGeometry(screen.left() + 10, screen.top() + 10, 300, 200);
    forEveryWindow([&](const WindowEntry& e, QWidget* w) {
        auto* f = qobject_cast<Form*>(w);
        ASSERT_NE(f, nullptr);
        f->center();
        EXPECT_TRUE(onScreen(w)) << e.form << " at " << placeOf(w).toStdString();
    });
}

// Tab from the first control that takes the focus, once round: every stop is
// a visible, enabled control (or a part of one), in the order declared.
TEST_F(EveryWindowTest, TabVisitsVisibleEnabledControlsInDeclaredOrder)
{
    forEveryWindow([](const WindowEntry& e, QWidget* w) {
        auto* f = qobject_cast<Form*>(w);
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(showActive(w)) << e.form;
        // Everything that can be typed into is enabled for this walk (the
        // window's states decide what is, not the Tab order).
        for (const QString& name : f->declared())
            if (QWidget* c = f->findChild<QWidget*>(name); c && c->isVisible())
                c->setEnabled(true);
        QWidget* start = nullptr;
        for (const QString& name : f->declared())
            if (QWidget* c = f->findChild<QWidget*>(name); c && c->isVisible() && (c->focusPolicy() & Qt::TabFocus)) {
                start = c;
                break;
            }
        if (!start)
            return;   // nothing to Tab to
        start->setFocus(Qt::TabFocusReason);
        QWidget* first = QApplication::focusWidget();
        QStringList stops;
        for (int step = 0; step < 100; ++step) {
            QWidget* now = QApplication::focusWidget();
            ASSERT_NE(now, nullptr) << e.form;
            if (step > 0 && now == first)
                break;   // round once
            QWidget* owner = now;
            while (owner && owner != w && !f->declared().contains(owner->objectName()))
                owner = owner->parentWidget();
            ASSERT_TRUE(owner && owner != w) << e.form << ": Tab stops at " << now->metaObject()->className()
                                             << " \"" << now->objectName().toStdString() << "\", not a declared control";
            EXPECT_TRUE(now->isVisible() && now->isEnabled() && now->width() > 0) << owner->objectName().toStdString();
            EXPECT_TRUE(stops.isEmpty() || stops.back() != owner->objectName())
                << e.form << ": a second Tab stop inside " << owner->objectName().toStdString() << " ("
                << now->metaObject()->className() << ")";
            stops << owner->objectName();
            QTest::keyClick(now, Qt::Key_Tab);
        }
        // Every control that takes the focus, once, in the order declared.
        QStringList expected;
        for (const QString& name : f->declared())
            if (QWidget* c = f->findChild<QWidget*>(name); c && c->isVisible() && (c->focusPolicy() & Qt::TabFocus))
                expected << name;
        stops.removeDuplicates();
        EXPECT_EQ(stops, expected) << e.form;
    });
}

} // namespace
} // namespace cn::testing
