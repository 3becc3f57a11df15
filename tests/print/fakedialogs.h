#pragma once
// Scripted printer dialog, PDF file name and preview for print tests.
#include "print/printdialogs.h"
#include "print/printedpages.h"

#include <QPrinter>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace cn::test {

struct FakePrintDialogs : PrintDialogs {
    // What the printer dialog does: cancel, or choose a PDF file (and maybe
    // a page range and resolution).
    bool cancel = false;
    QString pdfPath;
    int fromPage = 0, toPage = 0;
    int resolution = 0;
    QString saveName;              // answer of the file dialog (empty: cancel)

    int printerDialogs = 0;
    int fileDialogs = 0;
    std::vector<std::shared_ptr<const PrintedPages>> previews;
    std::vector<PreviewOptions> previewOptions;
    std::function<void()> duringPreview;   // runs while the "preview" is open

    bool choosePrinter(QPrinter& printer, QWidget*) override
    {
        ++printerDialogs;
        if (cancel)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        if (resolution > 0)
            printer.setResolution(resolution);
        if (fromPage > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(fromPage, toPage);
        }
        return true;
    }
    QString pdfFileName(QWidget*, const QString&) override
    {
        ++fileDialogs;
        return saveName;
    }
    void showPreview(std::shared_ptr<const PrintedPages> pages,
                     const PreviewOptions& options) override
    {
        previews.push_back(std::move(pages));
        previewOptions.push_back(options);
        if (duringPreview)
            duringPreview();
    }
};

// Installs a fake for the life of a test and restores the real dialogs.
struct ScopedFakeDialogs {
    FakePrintDialogs* fake;
    ScopedFakeDialogs()
    {
        auto f = std::make_unique<FakePrintDialogs>();
        fake = f.get();
        setPrintDialogs(std::move(f));
    }
    ~ScopedFakeDialogs() { setPrintDialogs(nullptr); }
    FakePrintDialogs* operator->() { return fake; }
};

} // namespace cn::test
