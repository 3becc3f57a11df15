#include "support/testing.h"

#include "app/database.h"

#include <QApplication>
#include <QDir>
#include <QtCore/qtestsupport_core.h>
#include <QtWidgets/qtestsupport_widgets.h>
#include <QWidget>

namespace cn::testing {

QApplication& app()
{
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    static int argc = 1;
    static char name[] = "curanote-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);   // lives until the process ends
    return *instance;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

bool showActive(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

int ScriptedMessages::show(MessageKind kind, const QString& text, const QString& title)
{
    shown_.push_back({kind, text, title});
    if (onShow)
        onShow(shown_.back());
    if (kind != MessageKind::YesNo && kind != MessageKind::OkCancel)
        return 1;   // boxes with OK only take no scripted answer
    if (!answers_.empty()) {
        const int code = answers_.front();
        answers_.pop_front();
        return code;
    }
    ++unscripted_;
    return kind == MessageKind::YesNo ? 7 : 2;
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const auto& m : shown_)
        out << m.text;
    return out;
}

ScopedMessages::ScopedMessages()
{
    auto owned = std::make_unique<ScriptedMessages>();
    m_ = owned.get();
    previous_ = setMessages(std::move(owned));
}

ScopedMessages::~ScopedMessages() { setMessages(std::move(previous_)); }

ScopedClock::ScopedClock(QDate date, QTime time)
{
    auto owned = std::make_unique<FixedClock>();
    owned->date = date;
    owned->time = time;
    c_ = owned.get();
    previous_ = setClock(std::move(owned));
}

ScopedClock::~ScopedClock() { setClock(std::move(previous_)); }

namespace {
template <class T>
T popOr(std::deque<T>& queue, T fallback)
{
    if (queue.empty())
        return fallback;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}
} // namespace

QString ScriptedDialogs::openFile(QWidget*, const QString& caption, const QString& folder, const QString& filter)
{
    calls.push_back({DialogCall::OpenFile, caption, folder, filter, {}});
    return popOr(files, QString());
}

QString ScriptedDialogs::saveFile(QWidget*, const QString& caption, const QString& path, const QString& filter)
{
    calls.push_back({DialogCall::SaveFile, caption, path, filter, {}});
    return popOr(files, QString());
}

std::optional<QFont> ScriptedDialogs::chooseFont(QWidget*, const QFont&, const QString& caption)
{
    calls.push_back({DialogCall::Font, caption, {}, {}, {}});
    return popOr(fonts, std::optional<QFont>());
}

std::optional<QColor> ScriptedDialogs::chooseColor(QWidget*, const QColor& initial, const QString& caption)
{
    calls.push_back({DialogCall::Colour, caption, {}, {}, initial});
    return popOr(colours, std::optional<QColor>());
}

ScopedDialogs::ScopedDialogs()
{
    auto owned = std::make_unique<ScriptedDialogs>();
    d_ = owned.get();
    previous_ = setDialogs(std::move(owned));
}

ScopedDialogs::~ScopedDialogs() { setDialogs(std::move(previous_)); }

ScopedDataFolder::ScopedDataFolder() : dir_(std::make_unique<QTemporaryDir>())
{
    openDb(dir_->path());
}

ScopedDataFolder::~ScopedDataFolder()
{
    db().closeAll();
    openDb(QDir::currentPath());
}

QString ScopedDataFolder::path() const { return dir_->path(); }

bool ScopedDataFolder::isValid() const { return dir_->isValid(); }

} // namespace cn::testing
