#pragma once
// The platform dialogs the print layer needs, behind one replaceable object so
// that tests can choose a printer (or a PDF file), cancel, or capture the
// preview without any window blocking them.
#include <QRect>
#include <QString>

#include <memory>

class QPrinter;
class QWidget;

namespace cn {

class PrintedPages;

struct PreviewOptions {
    bool thumbnails = false;   // show a strip of page thumbnails
    QRect geometry;            // window rectangle in pixels (empty: the default)
    QString printerName;       // printer chosen for the job, offered when printing
    QString outputFileName;    // PDF file chosen for the job, if any
};

class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;
    // Lets the user pick a printer (installed ones or a PDF file) and the page
    // range for `printer`; false when cancelled.
    virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
    // Asks for the name of a PDF file to save into; empty when cancelled.
    virtual QString pdfFileName(QWidget* parent, const QString& suggested) = 0;
    // Shows the collected pages in the preview window; returns when it closes.
    virtual void showPreview(std::shared_ptr<const PrintedPages> pages,
                             const PreviewOptions& options) = 0;
};

// The dialogs used by the program; tests install their own.
PrintDialogs& printDialogs();
void setPrintDialogs(std::unique_ptr<PrintDialogs> d);   // nullptr restores the real ones

// The preview's default rectangle: 20 pixels in from the left and right of the
// desktop, from 60 pixels below its top to 160 pixels above its bottom.
QRect defaultPreviewGeometry();

} // namespace cn
