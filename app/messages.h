#pragma once
// Every message box of the program goes through one replaceable object, so
// that tests can script the answers and read back what was shown.
#include <QString>
#include <memory>

namespace cn {

enum class MessageKind { Info, Exclamation, Stop, YesNo, OkCancel };

class Messages {
public:
    virtual ~Messages() = default;
    // Shows a box of the given kind and returns the answer code:
    // Info, Exclamation, Stop: 1; YesNo: 6 Yes, 7 No; OkCancel: 1 OK, 2 Cancel.
    virtual int show(MessageKind kind, const QString& text, const QString& title) = 0;
};

// The box shown by the program; tests install their own.
Messages& messages();
// Returns the one it replaces, so that a scoped replacement can put it back.
std::unique_ptr<Messages> setMessages(std::unique_ptr<Messages> m);   // nullptr restores the real boxes

// The title used when none is given.
inline QString defaultTitle() { return QStringLiteral("Curanote 1.0"); }

// The answer codes of the two questions.
inline constexpr int kYes = 6, kNo = 7, kOk = 1, kCancel = 2;

bool MESGINFO(const QString& text, const QString& title = defaultTitle());
bool MESGEXCLAMATION(const QString& text, const QString& title = defaultTitle());
bool MESGSTOP(const QString& text, const QString& title = defaultTitle());
int MESGYESNO(const QString& text, const QString& title = defaultTitle());      // 6 Yes, 7 No
int MESGOKCANCEL(const QString& text, const QString& title = defaultTitle());   // 1 OK, 2 Cancel
// The questions as the program's code asks them: true for Yes, for OK.
bool askYes(const QString& text, const QString& title = defaultTitle());
bool askOk(const QString& text, const QString& title = defaultTitle());

} // namespace cn
