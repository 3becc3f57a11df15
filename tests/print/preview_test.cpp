// The preview window over collected pages: navigation, thumbnails, printing
// and saving as PDF.
#include "app/messages.h"
#include "fakedialogs.h"
#include "pdfprobe.h"
#include "print/previewwindow.h"
#include "print/printedpages.h"
#include "print/printjob.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest/QTest>

namespace {

using cn::test::ScopedFakeDialogs;

void ensureApp()
{
    static int argc = 1;
    static char name[] = "test_print";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QApplication(argc, argv);
}

// Three pages, each saying its number.
std::shared_ptr<const cn::PrintedPages> threePages(cn::test::FakePrintDialogs& dialogs)
{
    cn::PrintJob job;
    EXPECT_TRUE(job.SelectPdf(QString(), true));
    job.SetPreviewThumbnails(true);
    job.StartDoc("Report1");
    for (int p = 1; p <= 3; ++p) {
        job.StartPage();
        job.Say(20, 20, QString("Sheet%1").arg(p));
        job.EndPage();
    }
    job.EndDoc();
    EXPECT_EQ(dialogs.previews.size(), 1u);
    return dialogs.previews.empty() ? nullptr : dialogs.previews.back();
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        ASSERT_TRUE(dir.isValid());
    }
    QTemporaryDir dir;
    ScopedFakeDialogs dialogs;
};

TEST_F(PreviewTest, OpensAtTheDesktopRectangleWithThumbnailsAndNavigates)
{
    auto pages = threePages(*dialogs.fake);
    ASSERT_TRUE(pages);
    cn::PreviewOptions options = dialogs->previewOptions.back();
    EXPECT_TRUE(options.thumbnails);
    cn::PreviewWindow w(pages, options);
    w.show();

    const QRect desk = QGuiApplication::primaryScreen()->geometry();
    const QRect expected(QPoint(20, 60), QPoint(desk.width() - 21, desk.height() - 161));
    EXPECT_EQ(cn::defaultPreviewGeometry(), expected);
    EXPECT_EQ(w.geometry(), expected);
    EXPECT_EQ(w.windowTitle(), "Print Preview - Report1");

    EXPECT_EQ(w.pageCount(), 3);
    EXPECT_EQ(w.currentPage(), 1);
    auto* thumbs = w.findChild<QListWidget*>("PreviewThumbnails");
    ASSERT_TRUE(thumbs);
    EXPECT_EQ(thumbs->count(), 3);
    auto* pageNo = w.findChild<QSpinBox*>("PreviewPageNo");
    ASSERT_TRUE(pageNo);
    EXPECT_EQ(pageNo->maximum(), 3);

    w.findChild<QAction*>("PreviewNext")->trigger();
    EXPECT_EQ(w.currentPage(), 2);
    EXPECT_EQ(pageNo->value(), 2);
    EXPECT_EQ(thumbs->currentRow(), 1);
    w.findChild<QAction*>("PreviewLast")->trigger();
    EXPECT_EQ(w.currentPage(), 3);
    w.findChild<QAction*>("PreviewNext")->trigger();   // stays on the last page
    EXPECT_EQ(w.currentPage(), 3);
    thumbs->setCurrentRow(0);
    EXPECT_EQ(w.currentPage(), 1);
    pageNo->setValue(2);
    EXPECT_EQ(w.currentPage(), 2);

    const qreal zoom = w.view()->zoomFactor();
    w.findChild<QAction*>("PreviewZoomIn")->trigger();
    EXPECT_GT(w.view()->zoomFactor(), zoom);
}

TEST_F(PreviewTest, WithoutThumbnailsThereIsNoStrip)
{
    auto pages = threePages(*dialogs.fake);
    ASSERT_TRUE(pages);
    cn::PreviewWindow w(pages, cn::PreviewOptions{});
    EXPECT_EQ(w.findChild<QListWidget*>("PreviewThumbnails"), nullptr);
    EXPECT_EQ(w.pageCount(), 3);
}

TEST_F(PreviewTest, SavesAsPdfAndPrintsTheChosenRange)
{
    auto pages = threePages(*dialogs.fake);
    ASSERT_TRUE(pages);
    cn::PreviewWindow w(pages, cn::PreviewOptions{});

    // Cancelling the file dialog writes nothing.
    EXPECT_FALSE(w.saveAsPdf());
    EXPECT_EQ(dialogs->fileDialogs, 1);

    dialogs->saveName = dir.filePath("saved");   // ".pdf" is added
    w.findChild<QAction*>("PreviewSavePdf")->trigger();
    const QString saved = dir.filePath("saved.pdf");
    ASSERT_TRUE(QFileInfo::exists(saved));
    const auto text = cn::test::readPdfText(saved);
    EXPECT_EQ(text.pageSizes.size(), 3);
    for (int p = 1; p <= 3; ++p)
        EXPECT_TRUE(text.find(QString("Sheet%1").arg(p), p));

    dialogs->pdfPath = dir.filePath("printed.pdf");
    dialogs->fromPage = 2;
    dialogs->toPage = 3;
    ASSERT_TRUE(w.printPages());
    const auto printed = cn::test::readPdfText(dialogs->pdfPath);
    ASSERT_EQ(printed.pageSizes.size(), 2);
    EXPECT_TRUE(printed.find("Sheet2", 1));
    EXPECT_TRUE(printed.find("Sheet3", 2));
    EXPECT_FALSE(printed.find("Sheet1"));

    dialogs->cancel = true;
    EXPECT_FALSE(w.printPages());
}

} // namespace
