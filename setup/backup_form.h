#pragma once
// The Backup/Restore window Form_Backup: Backup packs every table, memo and
// index file of the data folder into one zip archive, Restore brings the
// folder back from one, Exit closes the window. Both close every table first
// and open them again at the end as start-up does. The work itself is
// setup/backup/backup.h's; the window asks for the archive, shows the
// progress and tells the result.
#include "app/forms.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace cn {

class InputHold;

class BackupForm : public Form {
    Q_OBJECT
public:
    explicit BackupForm(QWidget* owner = nullptr);

    void CREATEZIP();   // Backup
    void UNZIP();       // Restore
    // The bar to value and the label to text; with wait, a pause of up to a
    // tenth of a second that a key press ends.
    void PROGRESSUPDATE(int value, const QString& text, bool wait = false);

private:
    // Refuses (and says why) while windows that hold tables of their own are open.
    bool tablesMayClose();
    void showResult(const QString& text);
    void setBusy(bool busy);

    QProgressBar* bar_ = nullptr;
    QLabel* label_ = nullptr;
    QPushButton* buttons_[3] = {};
    InputHold* hold_ = nullptr;
};

// BACKUP: opens the window, or brings it forward when it is open.
void BACKUP();

} // namespace cn
