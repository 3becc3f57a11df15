#pragma once
// The pages of a finished print job, kept for the preview: each page is a
// recording of the painting done on it, made at the resolution of the printer
// the job was set up for, so that it can be played again onto that printer,
// onto another one or into a PDF file with the same millimetre positions.
#include <QPageLayout>
#include <QPicture>
#include <QString>

#include <memory>
#include <vector>

class QPainter;
class QPrinter;

namespace cn {

// A page recording that reports the printer's resolution to whoever paints
// on it, so that fonts are sized and text is laid out exactly as on the
// printer itself.
class PagePicture : public QPicture {
public:
    PagePicture(int dpi, QSizeF pageSizeMm);
    int dpi() const { return dpi_; }

protected:
    int metric(PaintDeviceMetric m) const override;

private:
    int dpi_;
    QSizeF sizeMm_;
};

class PrintedPages {
public:
    PrintedPages(QString title, QPageLayout layout, int dpi);

    const QString& title() const { return title_; }
    const QPageLayout& layout() const { return layout_; }
    int dpi() const { return dpi_; }
    int pageCount() const { return int(pages_.size()); }

    // Starts a new page and returns the device to paint it on.
    PagePicture& addPage();
    // Removes the last page (used when a page was started but never drawn).
    void dropLastPage();

    // Plays page `index` (0-based) onto a painter whose device has `targetDpi`
    // dots per inch and whose origin is the top-left corner of the sheet.
    void playPage(int index, QPainter& painter, double targetDpi) const;
    // Prints pages from..to (1-based, to 0 = up to the last) onto a printer,
    // setting the printer's paper, orientation and document name first.
    // Returns false when the printer could not be opened.
    bool printTo(QPrinter& printer, int fromPage = 1, int toPage = 0) const;
    // Paints every page onto a printer already set up (the preview's own
    // printer, which asks for its pages this way).
    bool paintInto(QPrinter& printer, int fromPage = 1, int toPage = 0) const;

private:
    QString title_;
    QPageLayout layout_;
    int dpi_;
    std::vector<std::unique_ptr<PagePicture>> pages_;
};

} // namespace cn
