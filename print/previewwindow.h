#pragma once
// The print preview: the collected pages of a job, with navigation, zoom,
// optional page thumbnails, printing and saving as PDF.
#include "print/printdialogs.h"

#include <QDialog>

#include <memory>

class QAction;
class QLabel;
class QListWidget;
class QPrintPreviewWidget;
class QPrinter;
class QSpinBox;

namespace cn {

class PrintedPages;

class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    PreviewWindow(std::shared_ptr<const PrintedPages> pages, const PreviewOptions& options,
                  QWidget* parent = nullptr);
    ~PreviewWindow() override;

    int pageCount() const;
    int currentPage() const;   // 1-based
    QPrintPreviewWidget* view() const { return view_; }

public slots:
    void goToPage(int page);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void zoomIn();
    void zoomOut();
    void fitWidth();
    void fitPage();
    // Asks for a printer (offering the one the job was set up for) and prints
    // the pages in the range chosen; false when cancelled or failed.
    bool printPages();
    // Asks for a file name and writes the pages to it as PDF.
    bool saveAsPdf();

private:
    QAction* addCommand(const QString& name, const QString& text, const QKeySequence& key);
    void buildThumbnails();
    void refreshPageInfo();

    std::shared_ptr<const PrintedPages> pages_;
    PreviewOptions options_;
    std::unique_ptr<QPrinter> previewPrinter_;
    QPrintPreviewWidget* view_ = nullptr;
    QListWidget* thumbnails_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QLabel* pageTotal_ = nullptr;
};

} // namespace cn
