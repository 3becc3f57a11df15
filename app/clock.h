#pragma once
// Today's date and the time of day, read through one replaceable object so
// that tests can fix "today" (ages, default visit dates, the status bar).
#include <QDate>
#include <QDateTime>
#include <QTime>
#include <memory>

namespace cn {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    virtual QTime now() const = 0;
};

Clock& clock();
// Returns the one it replaces, so that a scoped replacement can put it back.
std::unique_ptr<Clock> setClock(std::unique_ptr<Clock> c);   // nullptr restores the system clock

inline QDate today() { return clock().today(); }
inline QTime timeNow() { return clock().now(); }
inline QDateTime dateTimeNow() { return QDateTime(today(), timeNow()); }

} // namespace cn
