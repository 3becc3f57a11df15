#pragma once
// The prescription's rich text: RTF in, RTF out, and the paragraph measures
// the editor works in. A document read here is a QTextDocument whose
// paragraph lengths are pixels at layoutDpi(); fonts are in points.
//
// What a document carries, so that the editor shows it and the printout
// prints it as its writer laid it out:
// - character formats: face, size, bold, italic, underline, strike-out,
//   colour, highlight (the format's background), super- and subscript;
// - paragraph formats: alignment, indents (see Indents), space before and
//   after, line spacing (see LineSpacing), tab stops (see TabStop) and the
//   document's default tab stop distance, bullets and numbers (a QTextList).
#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QList>
#include <QString>
#include <QTextOption>

class QTextBlock;
class QFont;
class QTextBlockFormat;
class QTextCharFormat;
class QTextCursor;
class QTextDocument;

namespace cn::rtf {

struct ReadResult {
    bool rtf = false;       // the text began with an RTF header
    bool damaged = false;   // the RTF was damaged; what could be read is shown
};

// True when the stored text begins with an RTF header ("{\rtf", leading blanks
// allowed).
bool hasRtfHeader(QByteArrayView stored);

// Replaces the document's content with the stored text: RTF when it has an RTF
// header, otherwise plain Windows-1252 text, one paragraph per line. Never
// fails: damaged RTF shows what could be read and sets `damaged`.
ReadResult read(QByteArrayView stored, QTextDocument* doc);
inline ReadResult read(const QByteArray& stored, QTextDocument* doc)
{
    return read(QByteArrayView(stored), doc);
}
// The same for a stored text already converted to Unicode (characters outside
// Windows-1252 are taken as they are).
ReadResult read(const QString& stored, QTextDocument* doc);

// The document as RTF: \ansi\ansicpg1252, font and colour tables, character
// runs, paragraphs with alignment, indents and tab stops, bullets in the
// paragraph-numbering form. Plain 7-bit text, safe to store in a memo field.
QByteArray write(const QTextDocument& doc);

// A run's character format as it shows, what the format leaves unsaid taken
// from the document's default font `base`: `face` is empty where the format
// names none (the default face), `colour` invalid for the automatic colour.
// The writer and the editor's toolbar read runs through this.
struct CharLook {
    QString face;
    qreal points = 0;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    QColor colour;
};
CharLook charLook(const QTextCharFormat& f, const QFont& base);

// Resolution at which paragraph lengths are held (the screen's logical DPI,
// the same one fonts in points are laid out at; 96 without a screen).
qreal layoutDpi();
qreal twipsToPixels(double twips);
int pixelsToTwips(qreal pixels);

// Paragraph indents in twips as RTF states them: `left` is where the text's
// lines start (\li), `firstLine` is the first line's offset from there (\fi,
// negative = hanging), `right` the right indent (\ri). For a bulleted or
// numbered paragraph the bullet or number stands at left + firstLine, where
// word processors put it, and the text at left (a first line that does not
// hang starts its text 360 twips after the bullet). The layout itself would
// draw the bullet just before the text; the renderer draws it in its place.
// The editor's "start indent" is left + firstLine and its "offset" -firstLine.
struct Indents {
    int left = 0;
    int right = 0;
    int firstLine = 0;
    bool operator==(const Indents&) const = default;
};

Indents indents(const QTextBlock& block);
// Sets the indents of every paragraph the cursor's selection touches.
void setIndents(QTextCursor& cursor, const Indents& ind);
// Bullets as the editor switches them: a disc bullet before each paragraph
// touched by the selection, or none; the indents are left to the caller.
bool hasBullet(const QTextBlock& block);
void setBullet(QTextCursor& cursor, bool on);

// Lower-level form of the indent rule, for code that builds block formats:
// the format's margins for the given indents, with or without a bullet.
// Tab stops are not laid out again here; setIndents does both.
void applyIndents(QTextBlockFormat& fmt, const Indents& ind, bool bullet);

// Line spacing as RTF states it (\sl, \slmult): single (the font's own line
// height), at least or exactly a height in twips, or a multiple of single in
// 240ths (360 = one and a half lines). Held in the block format's line height:
// minimum or fixed height in pixels at layoutDpi(), or a proportional height
// in percent.
struct LineSpacing {
    enum Rule { Single, AtLeast, Exactly, Multiple };
    Rule rule = Single;
    int value = 0;
    bool operator==(const LineSpacing&) const = default;
};
LineSpacing lineSpacing(const QTextBlockFormat& fmt);
void applyLineSpacing(QTextBlockFormat& fmt, const LineSpacing& spacing);

// A tab stop as RTF states it: its position in twips from the left edge of
// the text (the paragraph's box, not its indent), and its kind (left, right,
// centre, or decimal at the '.').
//
// The layout measures tab positions from where each line starts, so a block
// format holds two forms: the stops as stated, and, in its tab positions, the
// stops the layout needs for the first line to land on them: the stated
// ones, the hanging indent of a hanging first line (which word processors
// treat as a stop) and the default stops every defaultTab() twips from the
// left edge. setIndents and setTabStops keep the two together; a block whose
// tab positions were changed by other means is taken at its tab positions.
struct TabStop {
    int position = 0;
    QTextOption::TabType type = QTextOption::LeftTab;
    bool operator==(const TabStop&) const = default;
};
// RTF's default tab stop distance when a document states none: half an inch.
constexpr int kDefaultTabTwips = 720;
// The document's default tab stop distance in twips (its default text
// option's tab stop distance).
int defaultTab(const QTextDocument& doc);
// Sets it; the tab stops of every paragraph are laid out again for it.
void setDefaultTab(QTextDocument* doc, int twips);
QList<TabStop> tabStops(const QTextBlock& block);
// Sets the tab stops of every paragraph the cursor's selection touches.
void setTabStops(QTextCursor& cursor, const QList<TabStop>& stops);

} // namespace cn::rtf
