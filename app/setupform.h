#pragma once
// Data set-up as the program runs it: Form_Setup, a small progress window
// over the set-up logic of the data layer (data/setup.h), and SET_UP, which
// shows it and runs set-up (or, with cleanup, the data clean-up) under it.
#include "app/forms.h"
#include "data/setup.h"

#include <string>
#include <utility>

class QLineEdit;
class QProgressBar;

namespace cn {

class Form_Setup : public Form {
    Q_OBJECT
public:
    explicit Form_Setup(QWidget* owner = nullptr);
    ~Form_Setup() override;

    QProgressBar* progress(int n) const;   // Progress_1 .. Progress_3
    QLineEdit* textBox() const { return text_; }

    // Escape pressed anywhere in the program since the last call; a press
    // counts once.
    bool takeEscape() { return std::exchange(escape_, false); }

signals:
    // A new status text is shown (lets a caller follow the run).
    void statusShown(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class SetupView;
    QProgressBar* bars_[3] = {};
    QLineEdit* text_ = nullptr;
    bool escape_ = false;
};

// A message of set-up shown in the program's box of its kind; the answer
// as set-up takes it (MESGOKCANCEL's for OK/Cancel, else 1).
int showSetupMessage(data::SetupBox kind, const std::string& text);

// The progress window while a set-up run shows it, else nullptr.
Form_Setup* setupWindow();

// SET_UP(cleanup): runs set-up at start-up (false) or the data clean-up from
// the menu (true) with its progress window; returns when the window has
// closed, with every table open.
void SET_UP(bool cleanup);
// The menu's Data Cleanup: SET_UP(true).
void DATA_CLEANUP();

} // namespace cn
