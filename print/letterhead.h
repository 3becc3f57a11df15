#pragma once
// The practice's letterhead as the printouts draw it: the doctor's name and
// eighteen text lines, each with its own font and place, and four ruled
// lines, all in millimetres from the sheet's top-left corner. The
// prescription and the receipt take it from the options record; the
// letterhead test print takes it from the Options window as it stands.
#include "app/settings.h"
#include "data/status.h"

#include <QString>
#include <array>

namespace cn::data { class Workspace; class WorkArea; }

namespace cn {

class PrintJob;

struct LetterheadLine {
    QString text;          // as stored or shown, not trimmed
    FontRecord font;
    double row = 0, col = 0;
};

struct Letterhead {
    static constexpr int kLines = 18;
    // The line numbers in printing order: 11..19 (left block), 21..29 (right).
    static int lineNumber(int index) { return index < 9 ? 11 + index : 12 + index; }

    FontRecord doctorFont;
    double doctorRow = 0, doctorCol = 0;
    std::array<LetterheadLine, kLines> lines{};
    std::array<Settings::Rule, 4> rules{};
};

// What the prescription and the receipt read from the options record when
// their print dialog opens: the letterhead (its ruled lines come from the
// settings, not from here) and the three money texts, trimmed.
struct PrintOptions {
    Letterhead letterhead;
    QString currencySymbol;   // CURRSYM
    QString currencyText;     // CURRTXT
    QString hundredthText;    // CURRTXT2
};

// The options record at the area's current record; the ruled lines are the
// record's LINE fields.
PrintOptions printOptionsFrom(const data::WorkArea& opts);
// The first live record of `opts`, read through an area of its own (the
// table is opened shared and read-only for the call and closed again; an
// area the program has open on it keeps its position). NotFound when the
// table holds no options record.
data::Result<PrintOptions> loadPrintOptions(data::Workspace& ws);

// Draws at sheet positions: the doctor's name (trimmed) and the eighteen lines
// in their fonts and colours through slot "f0" (when withTexts), then the four
// ruled lines in the pen "p0". The origin is moved to the sheet's corner.
void drawLetterhead(PrintJob& job, const Letterhead& lh, const QString& doctor, bool withTexts = true);

// Slot "f0" set to a font record: face and size from the record, falling
// back to Arial 12 where the record has none (a blank font string), so a
// blank font never leaves the previous text's font in place.
void useFontRecord(PrintJob& job, const FontRecord& font);

} // namespace cn
