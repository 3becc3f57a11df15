#include "app/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace cn {

namespace {

// The real boxes: a modal QMessageBox owned by the active window, so that it
// stays above the window the user is working in.
class BoxMessages final : public Messages {
public:
    int show(MessageKind kind, const QString& text, const QString& title) override
    {
        QWidget* owner = QApplication::activeWindow();
        QMessageBox box(owner);
        box.setWindowTitle(title);
        box.setText(text);
        switch (kind) {
        case MessageKind::Info:
            box.setIcon(QMessageBox::Information);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageKind::Exclamation:
            box.setIcon(QMessageBox::Warning);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageKind::Stop:
            box.setIcon(QMessageBox::Critical);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageKind::YesNo:
            box.setIcon(QMessageBox::Question);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case MessageKind::OkCancel:
            box.setIcon(QMessageBox::Warning);
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        }
        const int answer = box.exec();
        switch (kind) {
        case MessageKind::YesNo:
            return answer == QMessageBox::Yes ? kYes : kNo;
        case MessageKind::OkCancel:
            return answer == QMessageBox::Ok ? kOk : kCancel;
        default:
            return 1;
        }
    }
};

std::unique_ptr<Messages>& current()
{
    static std::unique_ptr<Messages> instance = std::make_unique<BoxMessages>();
    return instance;
}

QString titleOrDefault(const QString& title) { return title.isEmpty() ? defaultTitle() : title; }

} // namespace

Messages& messages() { return *current(); }

std::unique_ptr<Messages> setMessages(std::unique_ptr<Messages> m)
{
    std::unique_ptr<Messages> previous = std::move(current());
    current() = m ? std::move(m) : std::make_unique<BoxMessages>();
    return previous;
}

bool MESGINFO(const QString& text, const QString& title)
{
    messages().show(MessageKind::Info, text, titleOrDefault(title));
    return true;
}

bool MESGEXCLAMATION(const QString& text, const QString& title)
{
    messages().show(MessageKind::Exclamation, text, titleOrDefault(title));
    return true;
}

bool MESGSTOP(const QString& text, const QString& title)
{
    messages().show(MessageKind::Stop, text, titleOrDefault(title));
    return true;
}

int MESGYESNO(const QString& text, const QString& title)
{
    // Anything but an explicit Yes counts as No.
    return messages().show(MessageKind::YesNo, text, titleOrDefault(title)) == kYes ? kYes : kNo;
}

int MESGOKCANCEL(const QString& text, const QString& title)
{
    return messages().show(MessageKind::OkCancel, text, titleOrDefault(title)) == kOk ? kOk : kCancel;
}

bool askYes(const QString& text, const QString& title) { return MESGYESNO(text, title) == kYes; }

bool askOk(const QString& text, const QString& title) { return MESGOKCANCEL(text, title) == kOk; }

} // namespace cn
