#pragma once
// The main window's status bar: the data folder, the NumLock, CapsLock and
// Insert lamps, today's date and a ticking clock.
#include "app/keyboard.h"

#include <QStatusBar>
#include <QTime>

class QLabel;
class QTimer;
class QToolButton;

namespace cn {

// The clock's 12-hour text: "12:mm:ss am" for hour 0, "hh:mm:ss am" for 1 to
// 11, "12:mm:ss pm" at noon, the hour less 12 (two digits) with " pm" after.
QString clockText(const QTime& t);

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // Re-reads the lock states and the time (the timers call these).
    void refreshLamps();
    void refreshClock();

    QLabel* folderItem() const { return folder_; }
    QLabel* dateItem() const { return date_; }
    QLabel* clockItem() const { return clock_; }
    QToolButton* lamp(LockKey key) const { return lamps_[static_cast<int>(key)]; }
    bool lampOn(LockKey key) const;

private:
    QLabel* folder_;
    QToolButton* lamps_[3];
    QLabel* date_;
    QLabel* clock_;
    QTimer* lampTimer_;
    QTimer* clockTimer_;
};

} // namespace cn
