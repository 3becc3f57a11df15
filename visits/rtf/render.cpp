// Page rendering for the prescription printout.
#include "visits/rtf/render.h"

#include "visits/rtf/rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

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

    qreal top = 0;
    qreal bottom = 0;
    bool placed = false;
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
            if (!placed) {
                top = lineTop;
            } else if (lineBottom - top > height + 1e-6) {
                next = block.position() + line.textStart();
                full = true;
                break;
            }
            bottom = lineBottom;
            placed = true;
        }
        if (full)
            break;
    }
    if (next <= start)
        next = std::min(end, start + 1);   // never stand still

    if (painter && placed) {
        painter->save();
        // Vertically exactly the page's rectangle; sideways some room for
        // bullets hanging left of the text and italic overhang.
        const qreal slack = dpi / 2;
        painter->setClipRect(rect.adjusted(-slack, 0, slack, 0), Qt::IntersectClip);
        painter->translate(rect.topLeft());
        painter->scale(scale, scale);
        painter->translate(0, -top);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.palette.setColor(QPalette::Text, Qt::black);
        // The layout draws every line that touches its clip; inset it so the
        // neighbours above and below, which belong to other pages, stay out.
        const qreal inset = std::min<qreal>(0.5, (bottom - top) / 4);
        ctx.clip = QRectF(-width, top + inset, 3 * width, bottom - top - 2 * inset);
        doc->documentLayout()->draw(painter, ctx);
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
