#pragma once
// Shared between the reader, the writer, the paragraph helpers and the
// renderer.
#include "visits/rtf/rtf.h"

#include <QTextFormat>
#include <QTextListFormat>

class QTextList;

namespace cn::rtf {

// Block property holding a bulleted paragraph's first-line offset in twips
// (the layout itself places the bullet, so the offset is not in the margins).
constexpr int kBulletFirstLineProperty = QTextFormat::UserProperty + 0x5201;
// Block property holding the tab stops as stated (TabStop), as a list of
// ints: position, type, position, type ...
constexpr int kTabStopsProperty = QTextFormat::UserProperty + 0x5202;
// Gap between bullet and text when a bulleted first line does not hang.
constexpr int kBulletGapTwips = 360;

inline bool isBulletStyle(QTextListFormat::Style s)
{
    return s == QTextListFormat::ListDisc || s == QTextListFormat::ListCircle || s == QTextListFormat::ListSquare;
}

Indents indentsOf(const QTextBlockFormat& fmt, const QTextList* list, const QTextDocument* doc);

// Where the first line of text starts, in twips from the left edge, for a
// paragraph with these indents (a list item's bullet or number is not text).
int firstLineStart(const Indents& ind, bool listItem);
// How far a list item's bullet or number stands left of where its text
// starts: at left + firstLine, as word processors put it.
int markerOffset(const Indents& ind);

// The default tab distance as the layout can use it (at least 1/40 inch).
int usableDefaultTab(int twips);
// Stores the stated stops in the format and the layout's tab positions for
// them (see TabStop).
void storeTabStops(QTextBlockFormat& fmt, const QList<TabStop>& stops, const Indents& ind, bool listItem,
                   int defaultTab);
// The stops stored in a format, whatever its tab positions.
QList<TabStop> statedTabStops(const QTextBlockFormat& fmt);
// The stated stops of a format: as stored when its tab positions still match
// them, else read back from its tab positions.
QList<TabStop> tabStopsOf(const QTextBlockFormat& fmt, const Indents& ind, bool listItem, int defaultTab);

} // namespace cn::rtf
