#pragma once
// Helpers for the headless GUI tests of every folder (and the benchmark):
// the one QApplication, scripted message boxes and dialogs, a fixed clock
// and a throw-away data folder. Each Scoped* object installs its replacement
// for its own lifetime and puts back the one it replaced, so they nest. This
// is a test-support library; the program itself never links it.
#include "app/clock.h"
#include "app/dialogs.h"
#include "app/messages.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <deque>
#include <ostream>
#include <functional>
#include <optional>
#include <vector>

class QApplication;
class QWidget;

// Lets gtest print QStrings readably in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace cn::testing {

// Creates the QApplication on first use (tests run under gtest's own main).
QApplication& app();

// Runs the event loop until the condition holds; false when it still does
// not after timeoutMs. (QTest's QTRY_ macros report to QTest's own log and
// do not fail a gtest test; use these instead.)
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
// Shows a window, makes it the active one and waits until it is.
bool showActive(QWidget* window);

#define CN_TRY_VERIFY(expr) EXPECT_TRUE(::cn::testing::waitFor([&] { return static_cast<bool>(expr); })) << #expr
#define CN_TRY_COMPARE(actual, expected)                                                    \
    do {                                                                                     \
        ::cn::testing::waitFor([&] { return (actual) == (expected); });                     \
        EXPECT_EQ(actual, expected);                                                         \
    } while (0)

// ---------------------------------------------------------------- messages

struct ShownMessage {
    MessageKind kind;
    QString text;
    QString title;
};

// Answers the questions (Yes/No, OK/Cancel) from a queue and records every
// box shown; boxes with only OK take no answer from the queue. An unscripted
// question gets the negative answer (No, Cancel) and is counted.
class ScriptedMessages final : public Messages {
public:
    int show(MessageKind kind, const QString& text, const QString& title) override;

    void answer(int code) { answers_.push_back(code); }
    void answerYes() { answer(6); }
    void answerNo() { answer(7); }
    void answerOk() { answer(1); }
    void answerCancel() { answer(2); }
    // Runs before each box is answered (for example to change what a retry will find).
    std::function<void(const ShownMessage&)> onShow;

    const std::vector<ShownMessage>& shown() const { return shown_; }
    QStringList texts() const;
    const ShownMessage* last() const { return shown_.empty() ? nullptr : &shown_.back(); }
    int unscripted() const { return unscripted_; }
    int pendingAnswers() const { return static_cast<int>(answers_.size()); }
    void clear() { shown_.clear(); answers_.clear(); unscripted_ = 0; }

private:
    std::deque<int> answers_;
    std::vector<ShownMessage> shown_;
    int unscripted_ = 0;
};

class ScopedMessages {
public:
    ScopedMessages();
    ~ScopedMessages();
    ScopedMessages(const ScopedMessages&) = delete;
    ScopedMessages& operator=(const ScopedMessages&) = delete;
    ScriptedMessages* operator->() const { return m_; }
    ScriptedMessages& operator*() const { return *m_; }

private:
    ScriptedMessages* m_;
    std::unique_ptr<Messages> previous_;
};

// ------------------------------------------------------------------- clock

class FixedClock final : public Clock {
public:
    QDate date{2026, 6, 10};
    QTime time{10, 30, 0};
    QDate today() const override { return date; }
    QTime now() const override { return time; }
};

class ScopedClock {
public:
    explicit ScopedClock(QDate date = QDate(2026, 6, 10), QTime time = QTime(10, 30, 0));
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
    FixedClock* operator->() const { return c_; }

private:
    FixedClock* c_;
    std::unique_ptr<Clock> previous_;
};

// ----------------------------------------------------------------- dialogs

struct DialogCall {
    enum Kind { OpenFile, SaveFile, Font, Colour } kind;
    QString caption;
    QString path;     // folder or suggested path for the file dialogs
    QString filter;
    QColor colour;    // the colour the colour dialog was preset to
};

// Answers the common dialogs from queues; an empty queue means Cancel.
class ScriptedDialogs final : public Dialogs {
public:
    QString openFile(QWidget*, const QString& caption, const QString& folder, const QString& filter) override;
    QString saveFile(QWidget*, const QString& caption, const QString& path, const QString& filter) override;
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial, const QString& caption) override;
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial, const QString& caption) override;

    std::deque<QString> files;                  // answers of open and save, in turn
    std::deque<std::optional<QFont>> fonts;
    std::deque<std::optional<QColor>> colours;
    std::vector<DialogCall> calls;
};

class ScopedDialogs {
public:
    ScopedDialogs();
    ~ScopedDialogs();
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;
    ScriptedDialogs* operator->() const { return d_; }

private:
    ScriptedDialogs* d_;
    std::unique_ptr<Dialogs> previous_;
};

// ------------------------------------------------------------- data folder

// A fresh empty data folder for the program's workspace (cn::db()); every
// area is closed and the folder removed at the end.
class ScopedDataFolder {
public:
    ScopedDataFolder();
    ~ScopedDataFolder();
    ScopedDataFolder(const ScopedDataFolder&) = delete;
    ScopedDataFolder& operator=(const ScopedDataFolder&) = delete;
    QString path() const;
    bool isValid() const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

} // namespace cn::testing
