#pragma once
// What the maintenance windows (Backup/Restore, Renumbering) share: the
// progress bar and the result label they both declare, and a hold on the
// user's input for as long as they work.
#include "app/controls.h"

#include <QColor>
#include <QObject>

#include <utility>

class QEventLoop;
class QLabel;
class QProgressBar;

namespace cn {

// ProgressBar_1 (green bar, range 0 to 10) and Label_1 (Arial 10 bold,
// centred, transparent, empty) at their common places.
QList<ControlDecl> progressControls();
// The bar in its declared colour (0, 130, 0).
void colourProgressBar(QProgressBar* bar);

class Form;
// A maintenance window as both are declared: 400 x 215 at 0, 0, not
// resizable, with a minimise box but no maximise box, the program icon,
// Arial 9; the bar and label of progressControls() and then the buttons
// built, the bar coloured. Returns the bar and the label.
std::pair<QProgressBar*, QLabel*> shapeMaintenanceWindow(Form* w, const QString& title,
                                                         const QList<ControlDecl>& buttons);

inline const QColor kResultBlue(0, 0, 255);

// While a maintenance run works with every table closed or locked, the
// user's clicks and keys go nowhere (but to a message box the run shows), so
// that nothing starts a second run or reaches a table meanwhile, and no
// window closes; the windows still paint. pause() waits up to the given
// time, ended early by a key press.
class InputHold : public QObject {
public:
    InputHold();
    ~InputHold() override;
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

    // Lets the windows paint.
    void pump();
    void pause(int ms);

    // The length of a PROGRESSUPDATE pause, 100 ms; tests set 0.
    static inline int pauseMs = 100;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QEventLoop* pausing_ = nullptr;
};

} // namespace cn
