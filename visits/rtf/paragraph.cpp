// Paragraph measures: twips as stored, pixels as laid out.
#include "visits/rtf/rtf.h"
#include "visits/rtf/rtf_internal.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <cmath>

namespace cn::rtf {

qreal layoutDpi()
{
    // Fonts given in points are laid out at the primary screen's logical DPI
    // when a document has no paint device; lengths use the same scale so
    // that an indent keeps its size relative to the text.
    static const qreal dpi = [] {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            if (const QScreen* s = QGuiApplication::primaryScreen()) {
                const qreal d = s->logicalDotsPerInchY();
                if (d > 0)
                    return qreal(qRound(d));
            }
        }
        return qreal(96);
    }();
    return dpi;
}

qreal twipsToPixels(double twips)
{
    return twips * layoutDpi() / 1440.0;
}

int pixelsToTwips(qreal pixels)
{
    const double tw = std::round(pixels * 1440.0 / layoutDpi());
    return int(std::clamp(tw, -2.0e9, 2.0e9));
}

void applyIndents(QTextBlockFormat& fmt, const Indents& ind, bool bullet)
{
    fmt.setRightMargin(twipsToPixels(ind.right));
    if (!bullet) {
        fmt.setLeftMargin(twipsToPixels(ind.left));
        fmt.setTextIndent(twipsToPixels(ind.firstLine));
        fmt.clearProperty(kBulletFirstLineProperty);
        return;
    }
    // The layout draws a list's bullet just before the first line's text, so
    // every line starts at the same place: where the text of a hanging
    // paragraph starts, or past the bullet when the first line is not hanging.
    // The first-line offset is kept for writing the paragraph back.
    const double textStart = ind.firstLine < 0 ? ind.left : double(ind.left) + ind.firstLine + kBulletGapTwips;
    fmt.setLeftMargin(twipsToPixels(textStart));
    fmt.setTextIndent(0);
    fmt.setProperty(kBulletFirstLineProperty, ind.firstLine);
}

Indents indentsOf(const QTextBlockFormat& fmt, const QTextList* list, const QTextDocument* doc)
{
    Indents ind;
    ind.right = pixelsToTwips(fmt.rightMargin());
    if (!list) {
        ind.left = pixelsToTwips(fmt.leftMargin());
        ind.firstLine = pixelsToTwips(fmt.textIndent());
        return ind;
    }
    qreal leftPx = fmt.leftMargin();
    if (doc)
        leftPx += (list->format().indent() + fmt.indent()) * doc->indentWidth();
    const int textStart = pixelsToTwips(leftPx);
    if (fmt.hasProperty(kBulletFirstLineProperty)) {
        ind.firstLine = fmt.intProperty(kBulletFirstLineProperty);
        ind.left = ind.firstLine < 0 ? textStart : textStart - ind.firstLine - kBulletGapTwips;
    } else {
        // A list made elsewhere (pasted, for instance): hang the bullet in
        // front of the text.
        ind.left = textStart;
        ind.firstLine = -std::min(textStart, kBulletGapTwips);
    }
    return ind;
}

Indents indents(const QTextBlock& block)
{
    return indentsOf(block.blockFormat(), block.textList(), block.document());
}

namespace {
template <class F>
void forEachBlock(QTextCursor& cursor, F f)
{
    QTextDocument* doc = cursor.document();
    if (!doc)
        return;
    QTextBlock b = doc->findBlock(cursor.selectionStart());
    const QTextBlock last = doc->findBlock(cursor.selectionEnd());
    while (b.isValid()) {
        f(b);
        if (b == last)
            break;
        b = b.next();
    }
}
} // namespace

void setIndents(QTextCursor& cursor, const Indents& ind)
{
    cursor.beginEditBlock();
    forEachBlock(cursor, [&](const QTextBlock& b) {
        QTextCursor c(b);
        QTextBlockFormat f = b.blockFormat();
        applyIndents(f, ind, b.textList() != nullptr);
        c.setBlockFormat(f);
    });
    cursor.endEditBlock();
}

bool hasBullet(const QTextBlock& block)
{
    const QTextList* l = block.textList();
    return l && isBulletStyle(l->format().style());
}

void setBullet(QTextCursor& cursor, bool on)
{
    QTextDocument* doc = cursor.document();
    if (!doc)
        return;
    cursor.beginEditBlock();
    QTextList* list = nullptr;
    forEachBlock(cursor, [&](const QTextBlock& b) {
        const Indents ind = indents(b);
        if (QTextList* old = b.textList())
            old->remove(b);
        QTextCursor c(b);
        QTextBlockFormat f = c.blockFormat();
        f.setIndent(0);
        applyIndents(f, ind, on);
        c.setBlockFormat(f);
        if (!on)
            return;
        // Join a bullet list just before, so that neighbours form one list.
        if (!list) {
            const QTextBlock prev = b.previous();
            if (prev.isValid() && hasBullet(prev))
                list = prev.textList();
        }
        if (list) {
            list->add(c.block());
        } else {
            QTextListFormat lf;
            lf.setStyle(QTextListFormat::ListDisc);
            lf.setIndent(0);
            list = c.createList(lf);
        }
    });
    cursor.endEditBlock();
}

} // namespace cn::rtf
