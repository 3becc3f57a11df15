// Page rendering for the prescription printout.
//
// The document is laid out on a device of 1440 dots per inch, one dot per
// twip: font sizes in points become whole dots for every half point (so
// nothing is rounded to a screen's pixels), and lines break the same way
// whatever the printer's resolution. The painter is scaled from there to the
// device it draws on.
#include "visits/rtf/render.h"

#include "visits/rtf/rtf.h"
#include "visits/rtf/rtf_internal.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>

#include <cmath>

namespace cn::rtf {

namespace {

constexpr int kLayoutDpi = 1440;
// Block property of the laid-out copy: how far a list item's bullet stands
// left of its text, in twips (taken before the margins are scaled).
constexpr int kMarkerOffsetProperty = QTextFormat::UserProperty + 0x5210;

// How much longer a length of the document is on the layout device.
qreal layoutScale()
{
    return kLayoutDpi / layoutDpi();
}

// The document's paragraph lengths for the layout device. The layout scales
// space before and after, tab positions and line heights to its device by
// itself; margins and the first-line indent it takes as they are.
// Space after and space before add up between paragraphs, as in word
// processors, where the layout would take only the larger of the two.
void toLayoutDevice(QTextDocument* doc)
{
    const qreal k = layoutScale();
    QTextCursor batch(doc);
    batch.beginEditBlock();
    qreal previousAfter = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        if (b.textList())
            f.setProperty(kMarkerOffsetProperty, markerOffset(indents(b)));
        const qreal after = f.bottomMargin();
        f.setLeftMargin(f.leftMargin() * k);
        f.setRightMargin(f.rightMargin() * k);
        f.setTextIndent(f.textIndent() * k);
        f.setTopMargin(f.topMargin() + previousAfter);
        if (b.next().isValid())
            f.setBottomMargin(0);
        previousAfter = after;
        QTextCursor(b).setBlockFormat(f);
    }
    batch.endEditBlock();
}

// The band a line takes in its paragraph, from the top of its line spacing
// to the bottom, in layout coordinates. The layout puts a line of exact
// height with its baseline four fifths down, and a line of at-least height
// at the bottom of its band.
struct Band {
    qreal top = 0, bottom = 0;
};

Band bandOf(const QTextLayout* tl, const QTextLine& line, const QTextBlockFormat& fmt)
{
    const qreal y = tl->position().y() + line.y();
    const qreal h = line.height();
    const qreal stated = fmt.lineHeight() * layoutScale();
    switch (fmt.hasProperty(QTextFormat::LineHeightType) ? fmt.lineHeightType() : QTextBlockFormat::SingleHeight) {
    case QTextBlockFormat::ProportionalHeight:
        return {y, y + h * fmt.lineHeight() / 100.0};
    case QTextBlockFormat::FixedHeight: {
        const qreal top = y + line.ascent() + std::max<qreal>(line.leading(), 0) - stated * 4 / 5;
        return {top, top + stated};
    }
    case QTextBlockFormat::MinimumHeight: {
        const qreal band = std::max(h, stated);
        return {y + h - band, y + h};
    }
    case QTextBlockFormat::LineDistanceHeight:
        return {y, y + h + stated};
    default:
        return {y, y + h};
    }
}

// The bullet or number in front of a list item's first line, where word
// processors put it: at the paragraph's first-line indent, with the text at
// its hanging indent. A number too wide for that room moves left.
void drawListMarker(QPainter* painter, const QTextBlock& block)
{
    const QTextList* list = block.textList();
    const QTextLayout* tl = block.layout();
    if (!list || !tl || tl->lineCount() == 0)
        return;
    const QTextLine first = tl->lineAt(0);
    QFont font = block.charFormat().font().resolve(block.document()->defaultFont());
    // A pixel size, so that the painter's device does not size it again.
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
    font.setPixelSize(std::max(1, qRound(points * kLayoutDpi / 72.0)));
    const QFontMetricsF fm(font);
    const qreal textX = tl->position().x() + first.x();
    const qreal baseline = tl->position().y() + first.y() + first.ascent();
    const qreal markerX = textX - block.blockFormat().intProperty(kMarkerOffsetProperty) * kLayoutDpi / 1440.0;
    QString text;
    switch (list->format().style()) {
    case QTextListFormat::ListDisc: text = QStringLiteral("\u2022"); break;
    case QTextListFormat::ListCircle: text = QStringLiteral("\u25E6"); break;
    case QTextListFormat::ListSquare: text = QStringLiteral("\u25AA"); break;
    default: text = list->itemText(block); break;
    }
    const qreal width = fm.horizontalAdvance(text);
    const qreal x = std::min(markerX, textX - width - fm.horizontalAdvance(u' ') / 2);
    painter->save();
    painter->setFont(font);
    painter->setPen(block.charFormat().hasProperty(QTextFormat::ForegroundBrush)
                        ? block.charFormat().foreground().color()
                        : QColor(Qt::black));
    painter->drawText(QPointF(x, baseline), text);
    painter->restore();
}

} // namespace

struct PageRenderer::Impl {
    QImage device{1, 1, QImage::Format_Mono};   // reports kLayoutDpi to the layout
    std::unique_ptr<QTextDocument> doc;
    qreal width = -1;

    void layoutFor(qreal w)
    {
        if (width >= 0 && std::abs(width - w) < 1e-6)
            return;
        width = w;
        doc->setTextWidth(w);
        // Layout is lazy: without this every line count reads 0.
        doc->documentLayout()->documentSize();
    }
};

PageRenderer::PageRenderer(const QTextDocument& source) : d(std::make_unique<Impl>())
{
    const int dotsPerMeter = qRound(kLayoutDpi / 0.0254);
    d->device.setDotsPerMeterX(dotsPerMeter);
    d->device.setDotsPerMeterY(dotsPerMeter);
    d->doc.reset(source.clone());
    QTextDocument* doc = d->doc.get();
    doc->setDocumentMargin(0);
    doc->setUndoRedoEnabled(false);
    // Unhinted advances: widths in proportion to the font size.
    QTextOption opt = doc->defaultTextOption();
    opt.setUseDesignMetrics(true);
    doc->setDefaultTextOption(opt);
    doc->documentLayout()->setPaintDevice(&d->device);
    toLayoutDevice(doc);
    // Fonts are resolved for the device when a paragraph is laid out again.
    doc->markContentsDirty(0, doc->characterCount());
}

PageRenderer::~PageRenderer() = default;

int PageRenderer::length() const
{
    return std::max(0, d->doc->characterCount() - 1);
}

int PageRenderer::render(int start, const QRectF& rect, qreal dpi, QPainter* painter)
{
    const int end = length();
    if (start >= end)
        return end;
    start = std::max(start, 0);
    if (!(dpi > 0) || !(rect.width() > 0) || !(rect.height() > 0))
        return end;   // nowhere to put anything: give up rather than loop

    const qreal scale = dpi / kLayoutDpi;
    const qreal width = rect.width() / scale;
    const qreal height = rect.height() / scale;
    d->layoutFor(width);
    QTextDocument* doc = d->doc.get();

    // First line: the one holding `start`.
    QTextBlock block = doc->findBlock(start);
    int lineNo = 0;
    if (QTextLayout* tl = block.layout()) {
        const QTextLine l = tl->lineForTextPosition(start - block.position());
        if (l.isValid())
            lineNo = l.lineNumber();
    }

    // Collect the lines that fit, whole lines only.
    struct Placed {
        QTextBlock block;
        int line;
    };
    std::vector<Placed> placed;
    qreal top = 0;
    int next = end;
    for (; block.isValid(); block = block.next(), lineNo = 0) {
        QTextLayout* tl = block.layout();
        if (!tl || !block.isVisible())
            continue;
        const QTextBlockFormat fmt = block.blockFormat();
        bool full = false;
        for (; lineNo < tl->lineCount(); ++lineNo) {
            const QTextLine line = tl->lineAt(lineNo);
            const Band band = bandOf(tl, line, fmt);
            if (placed.empty())
                top = band.top;
            else if (band.bottom - top > height + 1e-6) {
                next = block.position() + line.textStart();
                full = true;
                break;
            }
            // A first line taller than the rectangle is placed all the same
            // (and cut off), so that the next pass starts after it.
            placed.push_back({block, lineNo});
        }
        if (full)
            break;
    }
    if (next <= start)
        next = std::min(end, start + 1);   // never stand still

    if (painter && !placed.empty()) {
        painter->save();
        // Vertically exactly the page's rectangle; sideways some room for
        // bullets hanging left of the text and italic overhang.
        const qreal slack = dpi / 2;
        painter->setClipRect(rect.adjusted(-slack, 0, slack, 0), Qt::IntersectClip);
        painter->translate(rect.topLeft());
        painter->scale(scale, scale);
        painter->translate(0, -top);
        painter->setPen(Qt::black);
        // Line by line: the document layout's own drawing also paints lines
        // that merely touch its clip, and a PDF keeps clipped text, so a line
        // at a page boundary would be on two pages.
        for (const Placed& pl : placed) {
            QTextLayout* tl = pl.block.layout();
            if (pl.line == 0)
                drawListMarker(painter, pl.block);
            tl->lineAt(pl.line).draw(painter, tl->position());
        }
        painter->restore();
    }
    return next;
}

int PageRenderer::renderMm(int start, const QRectF& rectMm, qreal dpi, QPainter* painter)
{
    const qreal k = dpi / 25.4;
    const QRectF device(rectMm.left() * k, rectMm.top() * k, rectMm.width() * k, rectMm.height() * k);
    return render(start, device, dpi, painter);
}

int renderPage(const QTextDocument& doc, int start, const QRectF& rect, qreal dpi, QPainter* painter)
{
    PageRenderer r(doc);
    return r.render(start, rect, dpi, painter);
}

} // namespace cn::rtf
