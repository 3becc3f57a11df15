#pragma once
// Page-by-page rendering of a rich-text document: format from a character
// into a rectangle on a page, draw or only measure, and say where the next
// page must begin. Font sizes, indents, tab stops, line spacing and space
// between paragraphs keep their real sizes on any device: the document is
// laid out at a resolution of its own (one dot per twip) and drawn scaled to
// the device's, so that lines also break the same way on every device.
// Bullets and numbers stand at the first-line indent, their text at the
// hanging indent.
#include <QRectF>

#include <memory>

class QPainter;
class QTextDocument;

namespace cn::rtf {

class PageRenderer {
public:
    // Works on a copy of the document taken now.
    explicit PageRenderer(const QTextDocument& doc);
    ~PageRenderer();
    PageRenderer(const PageRenderer&) = delete;
    PageRenderer& operator=(const PageRenderer&) = delete;

    // The end position: the number of characters of the document's text.
    int length() const;

    // Formats the text from character `start` into `rect`, given in device
    // units of a device with `dpi` dots per inch; draws it when `painter` is
    // given (on that device), else only measures. Returns the position of the
    // first character that did not fit, length() when everything did. Whole
    // lines only: a line is drawn on exactly one page. A line taller than the
    // rectangle is placed alone (cut off), so every pass makes progress:
    // the result is greater than `start` whenever `start` < length().
    int render(int start, const QRectF& rect, qreal dpi, QPainter* painter);

    // The same with the rectangle in millimetres from the device's origin.
    int renderMm(int start, const QRectF& rectMm, qreal dpi, QPainter* painter);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// One pass without keeping the layout; PageRenderer is cheaper for several.
int renderPage(const QTextDocument& doc, int start, const QRectF& rect, qreal dpi, QPainter* painter);

} // namespace cn::rtf
