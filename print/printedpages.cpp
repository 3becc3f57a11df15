#include "print/printedpages.h"

#include <QPainter>
#include <QPrinter>

#include <cmath>

namespace cn {

namespace {
constexpr double kMmPerInch = 25.4;
}

PagePicture::PagePicture(int dpi, QSizeF pageSizeMm) : dpi_(dpi), sizeMm_(pageSizeMm) {}

int PagePicture::metric(PaintDeviceMetric m) const
{
    switch (m) {
    case PdmWidth:
        return int(std::lround(sizeMm_.width() * dpi_ / kMmPerInch));
    case PdmHeight:
        return int(std::lround(sizeMm_.height() * dpi_ / kMmPerInch));
    case PdmWidthMM:
        return int(std::lround(sizeMm_.width()));
    case PdmHeightMM:
        return int(std::lround(sizeMm_.height()));
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return dpi_;
    default:
        return QPicture::metric(m);
    }
}

PrintedPages::PrintedPages(QString title, QPageLayout layout, int dpi)
    : title_(std::move(title)), layout_(std::move(layout)), dpi_(dpi)
{
}

PagePicture& PrintedPages::addPage()
{
    const QSizeF size = layout_.fullRect(QPageLayout::Millimeter).size();
    pages_.push_back(std::make_unique<PagePicture>(dpi_, size));
    return *pages_.back();
}

void PrintedPages::dropLastPage()
{
    if (!pages_.empty())
        pages_.pop_back();
}

void PrintedPages::playPage(int index, QPainter& painter, double targetDpi) const
{
    if (index < 0 || index >= pageCount())
        return;
    painter.save();
    // Playing a recording scales it by the device's resolution over the
    // toolkit's default one (what a plain QPicture reports); undo that, so
    // that only the resolution change we ask for applies.
    double scale = targetDpi / dpi_;
    const QPaintDevice* device = painter.device();
    if (device && device->logicalDpiX() > 0)
        scale *= double(QPicture().logicalDpiX()) / device->logicalDpiX();
    painter.scale(scale, scale);
    pages_[size_t(index)]->play(&painter);
    painter.restore();
}

bool PrintedPages::printTo(QPrinter& printer, int fromPage, int toPage) const
{
    printer.setFullPage(true);
    printer.setPageSize(layout_.pageSize());
    printer.setPageOrientation(layout_.orientation());
    printer.setDocName(title_);
    return paintInto(printer, fromPage, toPage);
}

bool PrintedPages::paintInto(QPrinter& printer, int fromPage, int toPage) const
{
    const int first = std::max(fromPage, 1);
    const int last = toPage <= 0 ? pageCount() : std::min(toPage, pageCount());
    if (first > last)
        return true;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    for (int i = first; i <= last; ++i) {
        if (i > first)
            printer.newPage();
        playPage(i - 1, painter, printer.resolution());
    }
    return painter.end();
}

} // namespace cn
