#pragma once
// The prescription's rich text: RTF in, RTF out, and the paragraph measures
// the editor works in. A document read here is a QTextDocument whose
// paragraph lengths are pixels at layoutDpi(); fonts are in points.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QTextBlock;
class QTextBlockFormat;
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

// Resolution at which paragraph lengths are held (the screen's logical DPI,
// the same one fonts in points are laid out at; 96 without a screen).
qreal layoutDpi();
qreal twipsToPixels(double twips);
int pixelsToTwips(qreal pixels);

// Paragraph indents in twips as RTF states them: `left` is where the text's
// lines start (\li), `firstLine` is the first line's offset from there (\fi,
// negative = hanging), `right` the right indent (\ri). For a bulleted
// paragraph the bullet sits at left + firstLine and the text at left.
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
void applyIndents(QTextBlockFormat& fmt, const Indents& ind, bool bullet);

} // namespace cn::rtf
