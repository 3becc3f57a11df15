#pragma once
// Loading the stored options into the application-wide settings, and the
// font string <-> font record conversions the options and printouts share.
#include "app/settings.h"

#include <QString>

namespace cn::data { class Workspace; class WorkArea; }

namespace cn {

// "Arial/12/F/F/0/0/0/F/F/0" -> font record. Size and colours are read as
// decimals (anything else gives 0), a flag is true only when it is exactly
// "T"; strike-out and character set are never taken from the string.
FontRecord FONTSTR2ARRAY(const QString& text);
// Font record -> font string; strike-out and character set are always
// written as "F" and "0".
QString FONTARRAY2STR(const FontRecord& font);

// The date picture for a date-format choice: 1 month first, else day first.
QString datePicture(int dateFormat);

// The options record at the area's current record into the settings, with
// the number pictures and the date picture derived from it: what SET_OPTIONS
// copies, without opening, changing or closing the table.
void applyOptionsRecord(const data::WorkArea& opts, Settings& s);

// The first record of the table not marked deleted, whatever the engine's
// rule on showing deleted records; false when there is none.
bool gotoFirstLive(data::WorkArea& a);

// Copies the options record (the first live record of `opts`, created with
// defaults when there is none) into the settings, derives the number pictures
// and the date format, makes that the engine's date format and closes `opts`.
// False when the table could not be opened or the record not be made; the
// settings other than the pictures and date format are then unchanged.
bool SET_OPTIONS(data::Workspace& ws, Settings& s);
// The same on the program's workspace and settings.
bool SET_OPTIONS();

} // namespace cn
