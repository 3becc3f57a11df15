// Page rendering for the prescription printout.
#include "visits/rtf/render.h"

#include "visits/rtf/rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>

#include <cmath>

namespace cn::rtf {

struct PageRenderer::Impl {
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

namespace {

// The bullet or number in front of a list item's first line, as the
// document layout would draw it; sizes in layout pixels like the text.
void drawListMarker(QPainter* painter, const QTextBlock& block)
{
    const QTextList* list = block.textList();
    const QTextLayout* tl = block.layout();
    if (!list || !tl || tl->lineCount() == 0)
        return;
    const QTextLine first = tl->lineAt(0);
    QFont font = block.charFormat().font();
    // Sized for the layout resolution, whatever the painter's device.
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
    font.setPixelSize(std::max(1, qRound(points * layoutDpi() / 72.0)));
    const QFontMetricsF fm(font);
    const qreal gap = fm.horizontalAdvance(u' ');
    const qreal textX = tl->position().x() + first.x();
    const qreal baseline = tl->position().y() + first.y() + first.ascent();
    const QTextListFormat::Style style = list->format().style();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor color = block.charFormat().hasProperty(QTextFormat::ForegroundBrush)
        ? block.charFormat().foreground().color()
        : QColor(Qt::black);
    if (style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
        || style == QTextListFormat::ListSquare) {
        const qreal size = std::max<qreal>(1, fm.ascent() / 3);
        const QRectF r(textX - gap - size, baseline - fm.xHeight() / 2 - size / 2, size, size);
        painter->setPen(QPen(color, std::max<qreal>(0.5, size / 8)));
        painter->setBrush(style == QTextListFormat::ListCircle ? QBrush(Qt::NoBrush) : QBrush(color));
        if (style == QTextListFormat::ListSquare)
            painter->drawRect(r);
        else
            painter->drawEllipse(r);
    } else {
        const QString text = list->itemText(block);
        painter->setFont(font);
        painter->setPen(color);
        painter->drawText(QPointF(textX - gap - fm.horizontalAdvance(text), baseline), text);
    }
    painter->restore();
}

} // namespace

PageRenderer::PageRenderer(const QTextDocument& doc) : d(std::make_unique<Impl>())
{
    d->doc.reset(doc.clone());
    d->doc->setDocumentMargin(0);
    d->doc->setUndoRedoEnabled(false);
    // Unhinted advances: the same line breaks at every resolution.
    QTextOption opt = d->doc->defaultTextOption();
    opt.setUseDesignMetrics(true);
    d->doc->setDefaultTextOption(opt);
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
    if (dpi <= 0 || rect.width() <= 0 || rect.height() <= 0)
        return end;   // nowhere to put anything: give up rather than loop

    const qreal scale = dpi / layoutDpi();
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
        bool full = false;
        for (; lineNo < tl->lineCount(); ++lineNo) {
            const QTextLine line = tl->lineAt(lineNo);
            const qreal lineTop = tl->position().y() + line.y();
            const qreal lineBottom = lineTop + line.height();
            if (placed.empty())
                top = lineTop;
            else if (lineBottom - top > height + 1e-6) {
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
