#include "visits/rx_format.h"

#include "visits/rtf/rtf.h"

#include <QFontDatabase>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <functional>
#include <vector>

namespace cn::rx {

namespace {

// Every paragraph the cursor's selection (or its caret) touches, in order.
void forEachBlock(const QTextCursor& cursor, const std::function<void(const QTextBlock&)>& f)
{
    const QTextDocument* doc = cursor.document();
    if (!doc)
        return;
    const QTextBlock last = doc->findBlock(cursor.selectionEnd());
    for (QTextBlock b = doc->findBlock(cursor.selectionStart()); b.isValid(); b = b.next()) {
        f(b);
        if (b == last)
            break;
    }
}

// One run as it shows: the default face named, the automatic colour black.
rtf::CharLook shown(const QTextCharFormat& f, const QFont& base)
{
    rtf::CharLook s = rtf::charLook(f, base);
    if (s.face.isEmpty())
        s.face = base.family();
    s.colour = s.colour.isValid() ? s.colour.toRgb() : QColor(Qt::black);
    s.colour.setAlpha(255);
    return s;
}

Qt::Alignment horizontal(Qt::Alignment a)
{
    a &= Qt::AlignHorizontal_Mask;
    a &= ~Qt::Alignment(Qt::AlignAbsolute);
    if (a == 0 || a == Qt::AlignLeading)
        return Qt::AlignLeft;
    if (a == Qt::AlignTrailing)
        return Qt::AlignRight;
    return a;
}

using Changes = std::vector<std::pair<QTextBlock, Measures>>;

// The paragraphs' new measures, with `also` done first, in one undo step.
void applyMeasures(QTextCursor& cursor, const Changes& changes, const std::function<void()>& also = {})
{
    cursor.beginEditBlock();
    if (also)
        also();
    for (const auto& [b, m] : changes) {
        QTextCursor c(b);
        rtf::setIndents(c, rtf::Indents{.left = m.start + m.offset, .right = m.right, .firstLine = -m.offset});
    }
    cursor.endEditBlock();
}

} // namespace

// ---------------------------------------------------------------- font lists

QString RR_GETFONTS(const QStringList& families)
{
    QStringList names;
    names.reserve(families.size());
    // A family that several foundries offer comes as "Name [foundry]": the
    // face is stored in the prescription by its name alone, which other
    // readers of the file know.
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    for (QString f : families)
        names << f.remove(foundry).left(kFaceNameRoom);
    return names.join(QLatin1Char(','));
}

QStringList READ_FONT(const QString& joined)
{
    if (joined.isEmpty())
        return {};
    QStringList list = joined.split(QLatin1Char(','));
    std::sort(list.begin(), list.end());
    return list;
}

QStringList installedFontList() { return READ_FONT(RR_GETFONTS(QFontDatabase::families(QFontDatabase::Latin))); }

const QStringList& fontSizes()
{
    static const QStringList sizes = {"8",  "9",  "10", "11", "12", "14", "16", "18",
                                      "20", "22", "24", "26", "28", "36", "48", "72"};
    return sizes;
}

// ---------------------------------------------------------------- characters

SelectionFormat selectionFormat(const QTextCursor& cursor)
{
    SelectionFormat out;
    const QTextDocument* doc = cursor.document();
    if (!doc)
        return out;
    const QFont base = doc->defaultFont();
    std::optional<rtf::CharLook> first;
    bool face = true, points = true, colour = true;
    bool bold = true, italic = true, underline = true, strike = true;
    auto take = [&](const QTextCharFormat& f) {
        const rtf::CharLook s = shown(f, base);
        if (!first) {
            first = s;
        } else {
            face = face && s.face == first->face;
            points = points && s.points == first->points;
            colour = colour && s.colour == first->colour;
        }
        bold = bold && s.bold;
        italic = italic && s.italic;
        underline = underline && s.underline;
        strike = strike && s.strikeOut;
    };
    if (cursor.hasSelection()) {
        const int start = cursor.selectionStart(), end = cursor.selectionEnd();
        forEachBlock(cursor, [&](const QTextBlock& b) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment fr = it.fragment();
                if (fr.position() < end && fr.position() + fr.length() > start)
                    take(fr.charFormat());
            }
        });
    }
    if (!first)   // the caret, or a selection of paragraph breaks alone
        take(cursor.charFormat());
    if (face)
        out.face = first->face;
    if (points)
        out.points = first->points;
    if (colour)
        out.colour = first->colour;
    out.bold = bold;
    out.italic = italic;
    out.underline = underline;
    out.strikeOut = strike;
    return out;
}

QTextCharFormat styleFormat(Style style, bool on)
{
    QTextCharFormat f;
    switch (style) {
    case Style::Bold: f.setFontWeight(on ? QFont::Bold : QFont::Normal); break;
    case Style::Italic: f.setFontItalic(on); break;
    case Style::Underline: f.setFontUnderline(on); break;
    case Style::StrikeOut: f.setFontStrikeOut(on); break;
    }
    return f;
}

// ---------------------------------------------------------------- paragraphs

ParagraphFormat paragraphFormat(const QTextCursor& cursor)
{
    ParagraphFormat out;
    bool first = true, same = true, bullets = true;
    Qt::Alignment alignment;
    forEachBlock(cursor, [&](const QTextBlock& b) {
        const Qt::Alignment a = horizontal(b.blockFormat().alignment());
        if (first)
            alignment = a;
        else
            same = same && a == alignment;
        first = false;
        bullets = bullets && rtf::hasBullet(b);
    });
    if (first)
        return out;
    if (same)
        out.alignment = alignment;
    out.bullet = bullets;
    return out;
}

Measures measures(const QTextBlock& block)
{
    const rtf::Indents ind = rtf::indents(block);
    return {.start = ind.left + ind.firstLine, .offset = -ind.firstLine, .right = ind.right};
}

bool setAlignment(QTextCursor& cursor, Qt::Alignment alignment)
{
    if (!cursor.document())
        return false;
    cursor.beginEditBlock();
    QTextBlockFormat f;
    f.setAlignment(alignment);
    cursor.mergeBlockFormat(f);
    rtf::setIndents(cursor, rtf::Indents{});
    cursor.endEditBlock();
    return true;
}

bool setBullets(QTextCursor& cursor, bool on)
{
    if (!cursor.document())
        return false;
    Changes changes;
    const int step = on ? kBulletStepTwips : 0;
    forEachBlock(cursor, [&](const QTextBlock& b) {
        changes.emplace_back(b, Measures{.start = step, .offset = step, .right = measures(b).right});
    });
    applyMeasures(cursor, changes, [&] { rtf::setBullet(cursor, on); });
    return true;
}

bool stepIndent(QTextCursor& cursor, bool in)
{
    if (!cursor.document())
        return false;
    // Every paragraph is checked before any is changed.
    Changes changes;
    bool fits = true;
    forEachBlock(cursor, [&](const QTextBlock& b) {
        Measures m = measures(b);
        m.start = std::max(0, m.start + (in ? kIndentStepTwips : -kIndentStepTwips));
        fits = fits && m.start <= kMaxIndentTwips;
        changes.emplace_back(b, m);
    });
    if (!fits)
        return false;
    applyMeasures(cursor, changes);
    return true;
}

} // namespace cn::rx
