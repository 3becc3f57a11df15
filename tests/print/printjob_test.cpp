// The print job: what lands on paper, where, in which font, and how the
// printer dialog, page range and preview are honoured.
#include "app/messages.h"
#include "support/testing.h"
#include "fakedialogs.h"
#include "pdfprobe.h"
#include "print/previewwindow.h"
#include "print/printedpages.h"
#include "print/printjob.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPrintDialog>
#include <QTimer>
#include <QtTest/QTest>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

namespace {

using cn::PrintJob;
using cn::test::FakePrintDialogs;
using cn::test::PdfRaster;
using cn::test::PdfText;
using cn::test::ScopedFakeDialogs;

QApplication& app()
{
    static int argc = 1;
    static char name[] = "test_print";
    static char* argv[] = {name, nullptr};
    static QApplication* a = qobject_cast<QApplication*>(QCoreApplication::instance())
                                 ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                 : new QApplication(argc, argv);
    return *a;
}

// Records every message box, so that tests can see none was shown.
struct RecordingMessages : cn::Messages {
    int shown = 0;
    int show(cn::MessageKind, const QString&, const QString&) override
    {
        ++shown;
        return 1;
    }
};

class PrintJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(dir.isValid());
        auto m = std::make_unique<RecordingMessages>();
        messages = m.get();
        cn::setMessages(std::move(m));
    }
    void TearDown() override { cn::setMessages(nullptr); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    RecordingMessages* messages = nullptr;
};

// The test page: texts, lines and a rounded box at known places.
void drawTestPage(PrintJob& job)
{
    ASSERT_TRUE(job.SetUnits(1));
    job.SetPage(PrintJob::Portrait);
    job.DefineFont("f0", "arial", 12);
    job.DefineFont("f1", "Arial", 20, 0, 0, true);
    job.DefineFont("f4", "arial", 8, 0, 90);
    job.SelectFont("f0");
    job.SelectPen("p0");
    ASSERT_TRUE(job.StartDoc("Test page"));
    ASSERT_TRUE(job.StartPage());
    job.Say(20, 10, "Alpha");
    job.SetTextAlign(PrintJob::AlignRight);
    job.Say(30, 150, "Rightward");
    job.SetTextAlign(PrintJob::AlignLeft);
    job.Say(40, 105, "Centred", {}, {}, PrintJob::AlignCenter);
    job.Say(50, 10, "First line\nSecond line");
    job.Say(70, 10, "Bolder", "f1", QColor(200, 0, 0));
    job.Say(130, 20, "Upwards", "f4");
    job.Line(10, 10, 10, 200);
    job.Line(80, 30, 120, 30);
    job.Line(1, 1, 1, 1);
    job.RoundRect(200, 20, 230, 120, 5, 5);
    job.SetViewPortOrg(240, 20);
    job.Say(10, 10, "Shifted");
    job.DefinePen("thick", Qt::SolidLine, 0.5, Qt::black);
    job.SelectPen("thick");
    job.Line(20, 0, 20, 50);   // row 260, cols 20..70 on the sheet
    ASSERT_TRUE(job.EndPage());
}

// Checks the test page's marks in a PDF, whatever way it was produced.
void checkTestPage(const QString& pdf, const PrintJob& measuring)
{
    const PdfText text = cn::test::readPdfText(pdf);
    ASSERT_EQ(text.pageSizes.size(), 1);
    EXPECT_NEAR(text.pageSizes[0].width(), 210.0, 0.2);
    EXPECT_NEAR(text.pageSizes[0].height(), 297.0, 0.2);

    // Text in the job's default size starts at its point: its box's top
    // (one ascent above the baseline) is the row.
    const auto alpha = text.find("Alpha");
    ASSERT_TRUE(alpha);
    EXPECT_NEAR(alpha->left, 10.0, 0.3);
    EXPECT_NEAR(alpha->top, 20.0, 0.3);

    std::array<double, 2> size{};
    measuring.GetTextExtent_mm("Rightward", size, "f0");
    const auto right = text.find("Rightward");
    ASSERT_TRUE(right);
    EXPECT_NEAR(right->right, 150.0, 0.3);
    EXPECT_NEAR(right->right - right->left, size[1], 0.3);
    EXPECT_NEAR(right->bottom - right->top, size[0], 0.3);

    const auto centred = text.find("Centred");
    ASSERT_TRUE(centred);
    EXPECT_NEAR((centred->left + centred->right) / 2, 105.0, 0.3);

    const auto first = text.find("First");
    const auto second = text.find("Second");
    ASSERT_TRUE(first && second);
    EXPECT_NEAR(second->left, 10.0, 0.3);
    EXPECT_GT(second->top - first->top, 4.0);    // one line lower (12 pt ~ 4.9 mm)
    EXPECT_LT(second->top - first->top, 6.0);

    // A bigger font keeps its baseline one default-font ascent below the
    // point, so it reaches above the row.
    const auto bold = text.find("Bolder");
    ASSERT_TRUE(bold);
    EXPECT_NEAR(bold->left, 10.0, 0.5);
    EXPECT_NEAR(alpha->bottom - alpha->top, (bold->bottom - bold->top) * 12 / 20, 0.3);
    // Liberation Sans rises 0.905 em above the baseline: 8 pt more at 20 pt.
    EXPECT_NEAR(bold->top, 70.0 - 8 * 0.905 * 25.4 / 72, 0.3);

    // Upwards text starts at the point and runs up the page.
    const auto up = text.find("Upwards");
    ASSERT_TRUE(up);
    measuring.GetTextExtent_mm("Upwards", size, "f4");
    EXPECT_NEAR(up->bottom, 130.0, 0.5);
    EXPECT_NEAR(up->bottom - up->top, size[1], 0.5);
    EXPECT_GT(up->left, 20.0);
    EXPECT_LT(up->right, 20.0 + 6.0);

    const auto shifted = text.find("Shifted");
    ASSERT_TRUE(shifted);
    EXPECT_NEAR(shifted->left, 30.0, 0.3);
    EXPECT_NEAR(shifted->top, 250.0, 0.3);

    // "Arial" prints in its metric-compatible face, bold where asked.
    const QStringList fonts = cn::test::pdfFonts(pdf);
    EXPECT_TRUE(fonts.contains("LiberationSans")) << fonts.join(",").toStdString();
    EXPECT_TRUE(fonts.contains("LiberationSans-Bold")) << fonts.join(",").toStdString();

    const PdfRaster r = cn::test::rasterPage(pdf);
    ASSERT_FALSE(r.isNull());
    // Horizontal rule at row 10 from col 10 to col 200, and nowhere else.
    for (double col : {10.5, 50.0, 105.0, 199.5})
        EXPECT_TRUE(r.darkNear(10, col)) << col;
    EXPECT_FALSE(r.darkNear(10, 9.5, 0));
    EXPECT_FALSE(r.darkNear(10, 200.5, 0));
    EXPECT_FALSE(r.darkNear(9.5, 105, 0));
    EXPECT_FALSE(r.darkNear(10.5, 105, 0));
    // Vertical rule at col 30 from row 80 to row 120.
    for (double row : {80.5, 100.0, 119.5})
        EXPECT_TRUE(r.darkNear(row, 30)) << row;
    EXPECT_FALSE(r.darkNear(79.5, 30, 0));
    EXPECT_FALSE(r.darkNear(120.5, 30, 0));
    // A line without length leaves no mark.
    EXPECT_EQ(r.darkIn(0.5, 0.5, 1.5, 1.5), 0);
    // The rounded box: straight edges on all four sides, corners cut.
    EXPECT_TRUE(r.darkNear(200, 70));
    EXPECT_TRUE(r.darkNear(230, 70));
    EXPECT_TRUE(r.darkNear(215, 20));
    EXPECT_TRUE(r.darkNear(215, 120));
    EXPECT_FALSE(r.darkNear(200, 20, 1));
    EXPECT_FALSE(r.darkNear(230, 120, 1));
    EXPECT_EQ(r.darkIn(202, 22, 228, 118), 0);   // outline only
    // Pen of 0.5 mm: about 5 pixels across.
    const int across = r.darkIn(258, 40, 262, 40);
    EXPECT_GE(across, 4);
    EXPECT_LE(across, 7);
}

TEST_F(PrintJobTest, TestPageLandsAtItsMillimetresInEveryResolution)
{
    for (int dpi : {1200, 300, 600}) {
        SCOPED_TRACE(dpi);
        const QString pdf = path(QString("direct%1.pdf").arg(dpi));
        PrintJob job;
        ASSERT_TRUE(job.SelectPdf(pdf));
        job.printer().setResolution(dpi);
        drawTestPage(job);
        ASSERT_TRUE(job.EndDoc());
        job.End();
        EXPECT_EQ(job.Error(), 0);
        checkTestPage(pdf, job);
    }
}

TEST_F(PrintJobTest, PreviewedPagesPrintAtTheSamePlaces)
{
    ScopedFakeDialogs dialogs;
    dialogs->pdfPath = path("chosen.pdf");
    dialogs->resolution = 600;
    PrintJob job;
    ASSERT_TRUE(job.SelectPrinter({}, true));
    job.SetPreviewThumbnails(true);
    drawTestPage(job);
    EXPECT_FALSE(QFileInfo::exists(dialogs->pdfPath));   // nothing printed yet
    ASSERT_TRUE(job.EndDoc());
    job.End();

    ASSERT_EQ(dialogs->previews.size(), 1u);
    const auto& pages = dialogs->previews[0];
    EXPECT_EQ(pages->pageCount(), 1);
    EXPECT_EQ(pages->title(), "Test page");
    EXPECT_TRUE(dialogs->previewOptions[0].thumbnails);
    EXPECT_EQ(dialogs->previewOptions[0].outputFileName, dialogs->pdfPath);
    EXPECT_FALSE(QFileInfo::exists(dialogs->pdfPath));

    // Printed from the preview onto printers of other resolutions.
    for (int dpi : {1200, 300}) {
        SCOPED_TRACE(dpi);
        const QString pdf = path(QString("replay%1.pdf").arg(dpi));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(dpi);
        ASSERT_TRUE(pages->printTo(printer));
        checkTestPage(pdf, job);
    }
}

TEST_F(PrintJobTest, CancelledDialogPrintsNothingAndSaysNothing)
{
    ScopedFakeDialogs dialogs;
    dialogs->cancel = true;
    dialogs->pdfPath = path("never.pdf");
    for (bool preview : {false, true}) {
        PrintJob job;
        EXPECT_FALSE(job.SelectPrinter({}, preview));
        EXPECT_NE(job.Error(), 0);
        // A printout that carries on regardless draws nothing and fails softly.
        EXPECT_FALSE(job.StartDoc("Print"));
        EXPECT_FALSE(job.StartPage());
        EXPECT_FALSE(job.Say(10, 10, "x"));
        EXPECT_FALSE(job.Line(10, 10, 20, 20));
        EXPECT_FALSE(job.hDC().isValid());
        EXPECT_FALSE(job.EndDoc());
        job.End();
    }
    EXPECT_EQ(dialogs->printerDialogs, 2);
    EXPECT_TRUE(dialogs->previews.empty());
    EXPECT_FALSE(QFileInfo::exists(dialogs->pdfPath));
    EXPECT_EQ(messages->shown, 0);
}

// The platform's printer dialog offers a PDF file besides the installed
// printers; closing it with Cancel stops the job without a word.
TEST_F(PrintJobTest, PlatformDialogOffersPdfAndCancelsQuietly)
{
    cn::setPrintDialogs(nullptr);
    QStringList offered;
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = nullptr;
        if (!cn::testing::waitFor([&] { return (dialog = QApplication::activeModalWidget()) != nullptr; })) {
            ADD_FAILURE() << "the printer dialog never opened";
            return;
        }
        sawDialog = qobject_cast<QPrintDialog*>(dialog) != nullptr;
        for (QComboBox* combo : dialog->findChildren<QComboBox*>())
            for (int i = 0; i < combo->count(); ++i)
                offered << combo->itemText(i);
        static_cast<QDialog*>(dialog)->reject();
    });
    PrintJob job;
    EXPECT_FALSE(job.SelectPrinter({}, true));
    EXPECT_EQ(job.Error(), PrintJob::Cancelled);
    EXPECT_TRUE(sawDialog);
    EXPECT_TRUE(offered.filter("PDF").size() > 0) << offered.join(" | ").toStdString();
    EXPECT_EQ(messages->shown, 0);
}

// Without a replacement, ending a previewed document opens the preview
// window over the collected pages; nothing is printed until asked.
TEST_F(PrintJobTest, EndDocOpensThePreviewWindow)
{
    cn::setPrintDialogs(nullptr);
    int shownPages = 0;
    QRect shownAt;
    QTimer::singleShot(0, [&] {
        cn::PreviewWindow* w = nullptr;
        if (!cn::testing::waitFor([&] {
                return (w = qobject_cast<cn::PreviewWindow*>(QApplication::activeModalWidget())) != nullptr;
            })) {
            ADD_FAILURE() << "the preview window never opened";
            return;
        }
        shownPages = w->pageCount();
        shownAt = w->geometry();
        w->findChild<QAction*>("PreviewClose")->trigger();
    });
    const QString pdf = path("previewed.pdf");
    PrintJob job;
    ASSERT_TRUE(job.SelectPdf(pdf, true));
    job.StartDoc("Print");
    job.StartPage();
    job.Say(10, 10, "One");
    job.StartPage();
    job.Say(10, 10, "Two");
    job.EndDoc();
    job.End();
    EXPECT_EQ(shownPages, 2);
    EXPECT_EQ(shownAt, cn::defaultPreviewGeometry());
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST_F(PrintJobTest, UnknownPrinterNameIsAnError)
{
    PrintJob job;
    EXPECT_FALSE(job.SelectPrinter("No Such Printer 4711"));
    EXPECT_NE(job.Error(), 0);
    EXPECT_FALSE(job.StartDoc("Print"));
}

TEST_F(PrintJobTest, PageRangeAndPrintableExtent)
{
    ScopedFakeDialogs dialogs;
    dialogs->pdfPath = path("range.pdf");
    PrintJob job;
    ASSERT_TRUE(job.SelectPrinter());
    EXPECT_EQ(job.nFromPage(), 1);
    EXPECT_EQ(job.nToPage(), 0);
    EXPECT_NEAR(job.MaxRow(), 296.0, 0.01);
    EXPECT_NEAR(job.MaxCol(), 209.0, 0.01);
    job.SetPage(PrintJob::Landscape);
    EXPECT_NEAR(job.MaxRow(), 209.0, 0.01);
    EXPECT_NEAR(job.MaxCol(), 296.0, 0.01);
    job.SetMaxCol(job.MaxCol() - 50);
    EXPECT_NEAR(job.MaxCol(), 246.0, 0.01);

    dialogs->fromPage = 2;
    dialogs->toPage = 3;
    ASSERT_TRUE(job.SelectPrinter());
    EXPECT_EQ(job.nFromPage(), 2);
    EXPECT_EQ(job.nToPage(), 3);
    EXPECT_FALSE(job.SetUnits(0));
}

TEST_F(PrintJobTest, DocumentWithoutPagesPrintsNothing)
{
    ScopedFakeDialogs dialogs;
    {
        PrintJob job;
        ASSERT_TRUE(job.SelectPdf(path("empty.pdf")));
        ASSERT_TRUE(job.StartDoc("Report1"));
        EXPECT_TRUE(job.EndDoc());
        job.End();
    }
    EXPECT_FALSE(QFileInfo::exists(path("empty.pdf")));
    {
        PrintJob job;
        ASSERT_TRUE(job.SelectPdf(path("empty2.pdf"), true));
        ASSERT_TRUE(job.StartDoc("Report1"));
        EXPECT_TRUE(job.EndDoc());
    }
    EXPECT_TRUE(dialogs->previews.empty());   // no preview for no pages
}

TEST_F(PrintJobTest, PagesCollectInOrderAndModifiedSlotStaysSelected)
{
    const QString pdf = path("pages.pdf");
    PrintJob job;
    ASSERT_TRUE(job.SelectPdf(pdf));
    job.DefineFont("f0", "arial", 12);
    job.SelectFont("f0");
    ASSERT_TRUE(job.StartDoc("Pages"));
    for (int p = 1; p <= 3; ++p) {
        ASSERT_TRUE(job.StartPage());
        if (p == 2) {
            cn::FontChange bigger;
            bigger.size = 24;
            bigger.bold = true;
            ASSERT_TRUE(job.ModifyFont("f0", bigger));
        }
        job.Say(100, 50, QString("Page%1").arg(p));
        // A page left open is closed by the next StartPage or EndDoc.
        if (p == 1)
            job.EndPage();
    }
    ASSERT_TRUE(job.EndDoc());
    EXPECT_EQ(job.PageCount(), 3);
    job.End();

    const PdfText text = cn::test::readPdfText(pdf);
    ASSERT_EQ(text.pageSizes.size(), 3);
    for (int p = 1; p <= 3; ++p)
        EXPECT_TRUE(text.find(QString("Page%1").arg(p), p)) << p;
    const auto one = text.find("Page1"), two = text.find("Page2");
    ASSERT_TRUE(one && two);
    EXPECT_NEAR((two->bottom - two->top) / (one->bottom - one->top), 2.0, 0.05);
    EXPECT_TRUE(cn::test::pdfFonts(pdf).contains("LiberationSans-Bold"));
}

TEST_F(PrintJobTest, FontRecordSetsFaceSizeAndStyleButNoStrikeOut)
{
    PrintJob job;
    ASSERT_TRUE(job.SelectPdf(path("record.pdf")));
    job.DefineFont("f0", "arial", 12, 0, 0, false, false, false, true);
    cn::FontRecord record;
    record.face = "Times New Roman";
    record.size = 24;
    record.italic = true;
    record.red = 300;   // out of range: clamped
    ASSERT_TRUE(job.ModifyFont("f0", record));
    const QFont f = job.slotFont("f0");
    EXPECT_EQ(QFontInfo(f).family(), "Liberation Serif");
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 24.0);
    EXPECT_TRUE(f.italic());
    EXPECT_FALSE(f.strikeOut());
    EXPECT_EQ(PrintJob::colourOf(record), QColor(255, 0, 0));
    EXPECT_FALSE(job.ModifyFont("nope", record));
}

// The surface handed to a rich-text renderer maps millimetres (relative to
// the origin) to the page's device units.
TEST_F(PrintJobTest, DrawingSurfaceMapsMillimetres)
{
    for (bool preview : {false, true}) {
        SCOPED_TRACE(preview);
        ScopedFakeDialogs dialogs;
        const QString pdf = path(preview ? "surface-preview.pdf" : "surface.pdf");
        PrintJob job;
        ASSERT_TRUE(job.SelectPdf(pdf, preview));
        job.printer().setResolution(600);
        ASSERT_TRUE(job.StartDoc("Surface"));
        EXPECT_FALSE(job.hDC().isValid());
        ASSERT_TRUE(job.StartPage());
        job.SetViewPortOrg(93.5, 25.4);
        const cn::PageSurface s = job.hDC();
        ASSERT_TRUE(s.isValid());
        EXPECT_EQ(s.dpi, 600);
        EXPECT_NEAR(s.dotsPerMm, 600 / 25.4, 1e-9);
        s.painter->save();
        s.painter->setPen(QPen(Qt::black, 0));
        s.painter->drawRect(s.toDevice(10, 10, 40, 60));   // sheet rows 103.5..133.5
        QFont font("Arial");
        font.setPointSizeF(10);
        s.painter->setFont(font);
        s.painter->drawText(s.toDevice(50, 10, 60, 100), Qt::AlignLeft | Qt::AlignTop, "Body");
        s.painter->restore();
        job.Say(0, 0, "Origin");
        ASSERT_TRUE(job.EndDoc());
        job.End();
        if (preview) {
            ASSERT_EQ(dialogs->previews.size(), 1u);
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            ASSERT_TRUE(dialogs->previews[0]->printTo(printer));
        }
        const PdfRaster r = cn::test::rasterPage(pdf);
        ASSERT_FALSE(r.isNull());
        EXPECT_TRUE(r.darkNear(103.5, 60.0));
        EXPECT_TRUE(r.darkNear(133.5, 85.4));
        EXPECT_FALSE(r.darkNear(102.5, 60.0, 2));
        const PdfText text = cn::test::readPdfText(pdf);
        const auto body = text.find("Body");
        ASSERT_TRUE(body);
        EXPECT_NEAR(body->left, 35.4, 0.3);
        EXPECT_NEAR(body->top, 143.5, 0.5);
        const auto origin = text.find("Origin");
        ASSERT_TRUE(origin);
        EXPECT_NEAR(origin->left, 25.4, 0.3);
        EXPECT_NEAR(origin->top, 93.5, 0.3);
    }
}

} // namespace
