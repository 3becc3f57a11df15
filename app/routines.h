#pragma once
// Small routines shared by the windows.
#include <QDate>
#include <QString>

namespace cn {

// DDMONYY: the day without leading zero, the first three letters of the
// English month name and the four-digit year, e.g. "8 Dec 2026"; empty for
// an invalid date.
QString DDMONYY(const QDate& date);

} // namespace cn
