#include "print/previewwindow.h"

#include "app/messages.h"
#include "print/printedpages.h"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QPrinter>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

namespace cn {

namespace {
constexpr int kThumbnailWidth = 120;   // pixels
constexpr double kZoomStep = 1.25;
} // namespace

PreviewWindow::PreviewWindow(std::shared_ptr<const PrintedPages> pages,
                             const PreviewOptions& options, QWidget* parent)
    : QDialog(parent), pages_(std::move(pages)), options_(options)
{
    setObjectName(QStringLiteral("PrintPreview"));
    const QString title = pages_ ? pages_->title() : QString();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Print Preview")
                                   : QStringLiteral("Print Preview - ") + title);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setGeometry(options_.geometry.isValid() ? options_.geometry : defaultPreviewGeometry());

    // The preview draws on a printer of its own, shaped like the job's pages.
    previewPrinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    previewPrinter_->setOutputFormat(QPrinter::PdfFormat);
    previewPrinter_->setFullPage(true);
    if (pages_) {
        previewPrinter_->setPageSize(pages_->layout().pageSize());
        previewPrinter_->setPageOrientation(pages_->layout().orientation());
        previewPrinter_->setDocName(title);
    }

    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("PreviewToolbar"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    auto* body = new QHBoxLayout;
    layout->addLayout(body, 1);

    if (options_.thumbnails) {
        thumbnails_ = new QListWidget(this);
        thumbnails_->setObjectName(QStringLiteral("PreviewThumbnails"));
        thumbnails_->setViewMode(QListView::IconMode);
        thumbnails_->setFlow(QListView::TopToBottom);
        thumbnails_->setWrapping(false);
        thumbnails_->setMovement(QListView::Static);
        thumbnails_->setFixedWidth(kThumbnailWidth + 40);
        body->addWidget(thumbnails_);
    }
    view_ = new QPrintPreviewWidget(previewPrinter_.get(), this);
    view_->setObjectName(QStringLiteral("PreviewPages"));
    body->addWidget(view_, 1);
    connect(view_, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* printer) {
                if (pages_)
                    pages_->paintInto(*printer);
            });

    toolbar->addAction(addCommand(QStringLiteral("PreviewFirst"), tr("First page"),
                                  QKeySequence(Qt::CTRL | Qt::Key_Home)));
    toolbar->addAction(addCommand(QStringLiteral("PreviewPrevious"), tr("Previous page"),
                                  QKeySequence(Qt::Key_PageUp)));
    pageBox_ = new QSpinBox(this);
    pageBox_->setObjectName(QStringLiteral("PreviewPageNo"));
    pageBox_->setMinimum(1);
    toolbar->addWidget(pageBox_);
    pageTotal_ = new QLabel(this);
    pageTotal_->setObjectName(QStringLiteral("PreviewPageCount"));
    toolbar->addWidget(pageTotal_);
    toolbar->addAction(addCommand(QStringLiteral("PreviewNext"), tr("Next page"),
                                  QKeySequence(Qt::Key_PageDown)));
    toolbar->addAction(addCommand(QStringLiteral("PreviewLast"), tr("Last page"),
                                  QKeySequence(Qt::CTRL | Qt::Key_End)));
    toolbar->addSeparator();
    toolbar->addAction(addCommand(QStringLiteral("PreviewZoomIn"), tr("Zoom in"),
                                  QKeySequence::ZoomIn));
    toolbar->addAction(addCommand(QStringLiteral("PreviewZoomOut"), tr("Zoom out"),
                                  QKeySequence::ZoomOut));
    toolbar->addAction(addCommand(QStringLiteral("PreviewFitWidth"), tr("Fit width"), {}));
    toolbar->addAction(addCommand(QStringLiteral("PreviewFitPage"), tr("Whole page"), {}));
    toolbar->addSeparator();
    toolbar->addAction(addCommand(QStringLiteral("PreviewPrint"), tr("&Print..."),
                                  QKeySequence::Print));
    toolbar->addAction(addCommand(QStringLiteral("PreviewSavePdf"), tr("Save as PD&F..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_S)));
    toolbar->addSeparator();
    toolbar->addAction(addCommand(QStringLiteral("PreviewClose"), tr("&Close"), {}));

    connect(findChild<QAction*>(QStringLiteral("PreviewFirst")), &QAction::triggered, this,
            &PreviewWindow::firstPage);
    connect(findChild<QAction*>(QStringLiteral("PreviewPrevious")), &QAction::triggered, this,
            &PreviewWindow::previousPage);
    connect(findChild<QAction*>(QStringLiteral("PreviewNext")), &QAction::triggered, this,
            &PreviewWindow::nextPage);
    connect(findChild<QAction*>(QStringLiteral("PreviewLast")), &QAction::triggered, this,
            &PreviewWindow::lastPage);
    connect(findChild<QAction*>(QStringLiteral("PreviewZoomIn")), &QAction::triggered, this,
            &PreviewWindow::zoomIn);
    connect(findChild<QAction*>(QStringLiteral("PreviewZoomOut")), &QAction::triggered, this,
            &PreviewWindow::zoomOut);
    connect(findChild<QAction*>(QStringLiteral("PreviewFitWidth")), &QAction::triggered, this,
            &PreviewWindow::fitWidth);
    connect(findChild<QAction*>(QStringLiteral("PreviewFitPage")), &QAction::triggered, this,
            &PreviewWindow::fitPage);
    connect(findChild<QAction*>(QStringLiteral("PreviewPrint")), &QAction::triggered, this,
            [this] { printPages(); });
    connect(findChild<QAction*>(QStringLiteral("PreviewSavePdf")), &QAction::triggered, this,
            [this] { saveAsPdf(); });
    connect(findChild<QAction*>(QStringLiteral("PreviewClose")), &QAction::triggered, this,
            &QDialog::accept);
    connect(pageBox_, &QSpinBox::valueChanged, this, &PreviewWindow::goToPage);
    connect(view_, &QPrintPreviewWidget::previewChanged, this, &PreviewWindow::refreshPageInfo);

    // Lay the pages out now, so that page count and navigation work before
    // the window is first painted.
    view_->updatePreview();
    view_->fitToWidth();
    if (thumbnails_) {
        buildThumbnails();
        connect(thumbnails_, &QListWidget::currentRowChanged, this,
                [this](int row) {
                    if (row >= 0)
                        goToPage(row + 1);
                });
    }
    refreshPageInfo();
}

PreviewWindow::~PreviewWindow() = default;

QAction* PreviewWindow::addCommand(const QString& name, const QString& text,
                                   const QKeySequence& key)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    if (!key.isEmpty())
        action->setShortcut(key);
    addAction(action);
    return action;
}

void PreviewWindow::buildThumbnails()
{
    if (!pages_)
        return;
    const QSizeF sizeMm = pages_->layout().fullRect(QPageLayout::Millimeter).size();
    if (sizeMm.width() <= 0)
        return;
    const double dpi = kThumbnailWidth * 25.4 / sizeMm.width();
    const QSize pixels(kThumbnailWidth, int(sizeMm.height() * dpi / 25.4 + 0.5));
    thumbnails_->setIconSize(pixels);
    for (int i = 0; i < pages_->pageCount(); ++i) {
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            pages_->playPage(i, painter, dpi);
            painter.setPen(Qt::gray);
            painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
        }
        auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(image)), QString::number(i + 1));
        item->setTextAlignment(Qt::AlignHCenter);
        thumbnails_->addItem(item);
    }
}

void PreviewWindow::refreshPageInfo()
{
    const int count = pageCount();
    const int current = currentPage();
    const QSignalBlocker block(pageBox_);
    pageBox_->setMaximum(std::max(count, 1));
    pageBox_->setValue(std::max(current, 1));
    pageTotal_->setText(QStringLiteral(" of %1 ").arg(count));
    if (thumbnails_ && current >= 1 && thumbnails_->currentRow() != current - 1) {
        const QSignalBlocker blockList(thumbnails_);
        thumbnails_->setCurrentRow(current - 1);
    }
}

int PreviewWindow::pageCount() const { return view_->pageCount(); }

int PreviewWindow::currentPage() const { return view_->currentPage(); }

void PreviewWindow::goToPage(int page)
{
    if (page < 1 || page > pageCount())
        return;
    view_->setCurrentPage(page);
    refreshPageInfo();
}

void PreviewWindow::firstPage() { goToPage(1); }
void PreviewWindow::previousPage() { goToPage(currentPage() - 1); }
void PreviewWindow::nextPage() { goToPage(currentPage() + 1); }
void PreviewWindow::lastPage() { goToPage(pageCount()); }
void PreviewWindow::zoomIn() { view_->zoomIn(kZoomStep); }
void PreviewWindow::zoomOut() { view_->zoomOut(kZoomStep); }
void PreviewWindow::fitWidth() { view_->fitToWidth(); }
void PreviewWindow::fitPage() { view_->fitInView(); }

bool PreviewWindow::printPages()
{
    if (!pages_)
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setDocName(pages_->title());
    printer.setPageSize(pages_->layout().pageSize());
    printer.setPageOrientation(pages_->layout().orientation());
    if (!options_.printerName.isEmpty()) {
        printer.setPrinterName(options_.printerName);
    } else if (!options_.outputFileName.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(options_.outputFileName);
    }
    printer.setFromTo(0, 0);
    if (!printDialogs().choosePrinter(printer, this))
        return false;
    int from = 1, to = 0;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = printer.fromPage();
        to = printer.toPage();
    }
    if (!pages_->printTo(printer, from, to)) {
        MESGSTOP(QStringLiteral("Printing failed !!"));
        return false;
    }
    return true;
}

bool PreviewWindow::saveAsPdf()
{
    if (!pages_)
        return false;
    QString suggested = pages_->title().trimmed();
    suggested.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9 ._-]")),
                      QStringLiteral("_"));
    if (suggested.isEmpty())
        suggested = QStringLiteral("print");
    QString name = printDialogs().pdfFileName(this, QDir::home().filePath(suggested + ".pdf"));
    if (name.isEmpty())
        return false;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name += QLatin1String(".pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(name);
    if (!pages_->printTo(printer)) {
        MESGSTOP(QStringLiteral("Can't write the file ") + QDir::toNativeSeparators(name) +
                 QStringLiteral(" !!"));
        return false;
    }
    return true;
}

} // namespace cn
