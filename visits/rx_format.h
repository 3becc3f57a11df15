#pragma once
// What the prescription editor does to its document, without widgets: the
// font and size lists, the character format a selection has in common, and
// the paragraph changes of the toolbar (alignment, bullets, indent steps).
// The editor's toolbar (visits/rx_editor.h) calls these; tests and the
// benchmark call them directly.
//
// Paragraph measures are twips. A paragraph's "start indent" is where its
// first line (or its bullet) starts, its "offset" how much further in the
// following lines start; in rtf::Indents terms start = left + firstLine and
// offset = -firstLine.
#include <QColor>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>

#include <optional>

class QTextBlock;
class QTextCursor;

namespace cn::rx {

// The bullet indent step and the indent step.
constexpr int kBulletStepTwips = 320;
constexpr int kIndentStepTwips = 640;
// The largest start indent a paragraph takes (22 inches, the widest measure
// an RTF paragraph is given by word processors); a step past it is refused.
constexpr int kMaxIndentTwips = 31680;
// Room for one face name in the joined list.
constexpr int kFaceNameRoom = 127;

// RR_GETFONTS: the face names joined with "," between them, each cut to the
// room a name has.
QString RR_GETFONTS(const QStringList& families);
// READ_FONT: the joined names split at the commas and sorted ascending,
// duplicates kept (a face whose name holds a comma gives two entries).
QStringList READ_FONT(const QString& joined);
// The font list of the installed families for Western text.
QStringList installedFontList();
// The size list, in points: "8" ... "72".
const QStringList& fontSizes();

// What a selection has in common; an attribute that differs across it is
// empty (a style that differs reads as off). Without a selection: the format
// the caret types with.
struct SelectionFormat {
    std::optional<QString> face;
    std::optional<qreal> points;
    std::optional<QColor> colour;   // the automatic colour reads as black
    bool bold = false, italic = false, underline = false, strikeOut = false;
};
SelectionFormat selectionFormat(const QTextCursor& cursor);

// The character styles of the toolbar, each a format that carries that one
// attribute only, for merging into a selection or the caret's format.
enum class Style { Bold, Italic, Underline, StrikeOut };
QTextCharFormat styleFormat(Style style, bool on);

// What the paragraphs touched by a selection have in common: the alignment
// (empty when they differ) and whether every one has a bullet.
struct ParagraphFormat {
    std::optional<Qt::Alignment> alignment;
    bool bullet = false;
};
ParagraphFormat paragraphFormat(const QTextCursor& cursor);

struct Measures {
    int start = 0, offset = 0, right = 0;
    bool operator==(const Measures&) const = default;
};
Measures measures(const QTextBlock& block);

// The paragraph changes, each one undo step over the paragraphs the
// selection touches. Alignment sets the start indent, right indent and
// offset to 0 and keeps bullets and tab stops. Bullets on: start indent and
// offset 320; off: both 0; alignment, right indent and tab stops stay. An
// indent step moves the start indent 640 in or out, never below 0, and
// keeps the rest. Each is false, with nothing changed, when the document
// would not take the format: a paragraph going past kMaxIndentTwips, or no
// document.
bool setAlignment(QTextCursor& cursor, Qt::Alignment alignment);
bool setBullets(QTextCursor& cursor, bool on);
bool stepIndent(QTextCursor& cursor, bool in);

} // namespace cn::rx
