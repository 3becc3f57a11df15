#include "visits/rx_format.h"

#include "visits/rtf/rtf.h"

#include <QFontDatabase>
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

// One character format as it shows, the document's default font filling in
// what the format leaves unsaid.
struct Shown {
    QString face;
    qreal points = 0;
    QColor colour;
    bool bold = false, italic = false, underline = false, strikeOut = false;
};

Shown shown(const QTextCharFormat& f, const QFont& base)
{
    Shown s;
    const QStringList families = f.hasProperty(QTextFormat::FontFamilies) ? f.fontFamilies().toStringList()
                                                                           : QStringList();
    s.face = !families.isEmpty() ? families.front() : base.family();
    if (f.hasProperty(QTextFormat::FontPointSize))
        s.points = f.fontPointSize();
    else if (f.hasProperty(QTextFormat::FontPixelSize))
        s.points = f.intProperty(QTextFormat::FontPixelSize) * 72.0 / rtf::layoutDpi();
    else
        s.points = base.pointSizeF();
    s.bold = f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold : base.bold();
    s.italic = f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : base.italic();
    s.underline = f.hasProperty(QTextFormat::TextUnderlineStyle) || f.hasProperty(QTextFormat::FontUnderline)
        ? f.fontUnderline()
        : base.underline();
    s.strikeOut = f.hasProperty(QTextFormat::FontStrikeOut) ? f.fontStrikeOut() : base.strikeOut();
    const bool coloured = f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush;
    s.colour = coloured ? f.foreground().color().toRgb() : QColor(Qt::black);
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

void setMeasures(const QTextBlock& b, const Measures& m)
{
    QTextCursor c(b);
    rtf::setIndents(c, rtf::Indents{.left = m.start + m.offset, .right = m.right, .firstLine = -m.offset});
}

} // namespace

// ---------------------------------------------------------------- font lists

QString RR_GETFONTS(const QStringList& families)
{
    QStringList names;
    names.reserve(families.size());
    for (const QString& f : families)
        names << f.left(kFaceNameRoom);
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
    std::optional<Shown> first;
    bool face = true, points = true, colour = true;
    bool bold = true, italic = true, underline = true, strike = true;
    auto take = [&](const QTextCharFormat& f) {
        const Shown s = shown(f, base);
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
    std::vector<std::pair<QTextBlock, Measures>> changes;
    forEachBlock(cursor, [&](const QTextBlock& b) {
        const int step = on ? kBulletStepTwips : 0;
        changes.emplace_back(b, Measures{.start = step, .offset = step, .right = measures(b).right});
    });
    cursor.beginEditBlock();
    rtf::setBullet(cursor, on);
    for (const auto& [b, m] : changes)
        setMeasures(b, m);
    cursor.endEditBlock();
    return true;
}

bool stepIndent(QTextCursor& cursor, bool in)
{
    if (!cursor.document())
        return false;
    // Every paragraph is checked before any is changed.
    std::vector<std::pair<QTextBlock, Measures>> changes;
    bool fits = true;
    forEachBlock(cursor, [&](const QTextBlock& b) {
        Measures m = measures(b);
        m.start = std::max(0, m.start + (in ? kIndentStepTwips : -kIndentStepTwips));
        fits = fits && m.start <= kMaxIndentTwips;
        changes.emplace_back(b, m);
    });
    if (!fits)
        return false;
    cursor.beginEditBlock();
    for (const auto& [b, m] : changes)
        setMeasures(b, m);
    cursor.endEditBlock();
    return true;
}

} // namespace cn::rx
