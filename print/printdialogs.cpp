#include "print/printdialogs.h"

#include "print/previewwindow.h"

#include <QFileDialog>
#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>

namespace cn {

namespace {

// The platform's own dialogs.
class PlatformPrintDialogs : public PrintDialogs {
public:
    bool choosePrinter(QPrinter& printer, QWidget* parent) override
    {
        QPrintDialog dialog(&printer, parent);
        // Installed printers and "print to a PDF file"; a page range may be
        // given, which printouts that run over several pages honour.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile |
                          QAbstractPrintDialog::PrintPageRange |
                          QAbstractPrintDialog::PrintShowPageSize |
                          QAbstractPrintDialog::PrintCollateCopies);
        dialog.setMinMax(1, 9999);
        return dialog.exec() == QDialog::Accepted;
    }

    QString pdfFileName(QWidget* parent, const QString& suggested) override
    {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Save as PDF"), suggested,
                                            QStringLiteral("PDF files (*.pdf)"));
    }

    void showPreview(std::shared_ptr<const PrintedPages> pages,
                     const PreviewOptions& options) override
    {
        PreviewWindow window(std::move(pages), options, QApplication::activeWindow());
        window.exec();
    }
};

std::unique_ptr<PrintDialogs>& current()
{
    static std::unique_ptr<PrintDialogs> d = std::make_unique<PlatformPrintDialogs>();
    return d;
}

} // namespace

PrintDialogs& printDialogs() { return *current(); }

void setPrintDialogs(std::unique_ptr<PrintDialogs> d)
{
    current() = d ? std::move(d) : std::make_unique<PlatformPrintDialogs>();
}

QRect defaultPreviewGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desk = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    // Left 20, top 60, right desktop width - 20, bottom desktop height - 160.
    return QRect(QPoint(desk.left() + 20, desk.top() + 60),
                 QPoint(desk.left() + desk.width() - 20 - 1,
                        desk.top() + desk.height() - 160 - 1));
}

} // namespace cn
