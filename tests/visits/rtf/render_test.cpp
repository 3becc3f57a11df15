// Page-by-page rendering: every line on exactly one page, true sizes on any
// device, and progress even when nothing fits.
#include "rtf_test_util.h"

#include "visits/rtf/render.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rtftest;

namespace {

// Paragraph n holds the words wNNNNa, wNNNNb ... so that each word on the
// page can be traced to exactly one place in the document.
QString word(int para, int k)
{
    return QStringLiteral("w%1%2").arg(para, 4, 10, QChar(u'0')).arg(QChar(u'a' + k));
}

std::unique_ptr<QTextDocument> longDocument(int paragraphs)
{
    ensureApp();
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}";
    for (int i = 0; i < paragraphs; ++i) {
        rtf += "\\pard";
        if (i % 7 == 3)
            rtf += "{\\pntext\\'95\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'95}}\\fi-320\\li640";
        if (i % 11 == 5)
            rtf += "\\li1280\\ri640";
        rtf += i % 5 == 0 ? "\\f1\\fs36 " : "\\f0\\fs24 ";
        const int words = 3 + (i * 7) % 23;
        for (int k = 0; k < words; ++k)
            rtf += word(i, k).toLatin1() + (k % 4 == 1 ? " {\\b bold} " : " ");
        rtf += "\\par\r\n";
    }
    rtf += "}";
    auto doc = std::make_unique<QTextDocument>();
    cn::rtf::read(rtf, doc.get());
    return doc;
}

std::vector<int> breaks(cn::rtf::PageRenderer& r, const QRectF& rectMm, qreal dpi, QPainter* painter,
                        const std::function<void()>& newPage = {})
{
    std::vector<int> out;
    int s = 0;
    while (s < r.length() && out.size() < 10000) {
        if (!out.empty() && newPage)
            newPage();
        s = r.renderMm(s, rectMm, dpi, painter);
        out.push_back(s);
    }
    return out;
}

} // namespace

TEST(RtfRender, LongDocumentToPdfShowsEveryWordOnceInOrder)
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
    const int count = 220;
    const auto doc = longDocument(count);
    QTemporaryDir dir;
    const QString pdfPath = dir.filePath("long.pdf");
    cn::rtf::PageRenderer renderer(*doc);
    const QRectF body(20, 40, 170, 200);   // millimetres on an A4 sheet
    std::vector<int> pages;
    {
        QPdfWriter pdf(pdfPath);
        pdf.setResolution(1200);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        pages = breaks(renderer, body, pdf.resolution(), &painter, [&] { pdf.newPage(); });
    }
    ASSERT_GT(pages.size(), 5u);
    EXPECT_EQ(pages.back(), renderer.length());

    QProcess p;
    p.start(pdftotext, {pdfPath, "-"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    const QStringList pageTexts = text.split(u'\f', Qt::SkipEmptyParts);
    EXPECT_EQ(qsizetype(pages.size()), pageTexts.size());

    qsizetype from = 0;
    for (int i = 0; i < count; ++i) {
        const int words = 3 + (i * 7) % 23;
        for (int k = 0; k < words; ++k) {
            const QString w = word(i, k);
            const qsizetype at = text.indexOf(w, from);
            ASSERT_GE(at, 0) << "missing or out of order: " << w.toStdString();
            ASSERT_EQ(text.indexOf(w, at + 1), -1) << "twice: " << w.toStdString();
            from = at + w.size();
        }
    }
}

TEST(RtfRender, MeasuringBreaksWhereDrawingDoesAtAnyResolution)
{
    const auto doc = longDocument(60);
    const QRectF body(10, 10, 120, 90);
    cn::rtf::PageRenderer measure(*doc);
    const std::vector<int> measured = breaks(measure, body, 1200, nullptr);
    ASSERT_GT(measured.size(), 2u);
    for (size_t i = 1; i < measured.size(); ++i)
        EXPECT_GT(measured[i], measured[i - 1]);

    // Drawn on a coarser device: the same millimetres hold the same lines.
    QImage img(QSize(1500, 1200), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    cn::rtf::PageRenderer draw(*doc);
    EXPECT_EQ(breaks(draw, body, 300, &painter), measured);
    painter.end();
    EXPECT_EQ(cn::rtf::renderPage(*doc, 0, QRectF(0, 0, 120 * 300 / 25.4, 90 * 300 / 25.4), 300, nullptr),
              measured.front());
}

TEST(RtfRender, ContentTallerThanTheRectangleStillProgresses)
{
    ensureApp();
    QTextDocument doc;
    cn::rtf::read(QByteArray("{\\rtf1\\fs1000 A B\\par\\fs24 small\\par\\fs1000 C}"), &doc);
    cn::rtf::PageRenderer r(doc);
    const std::vector<int> passes = breaks(r, QRectF(0, 0, 50, 20), 600, nullptr);
    ASSERT_LE(passes.size(), 6u) << "each pass places at least one line";
    EXPECT_EQ(passes.back(), r.length());
    for (size_t i = 1; i < passes.size(); ++i)
        EXPECT_GT(passes[i], passes[i - 1]);

    // Degenerate input ends at once rather than looping.
    EXPECT_EQ(r.render(0, QRectF(0, 0, 0, 0), 600, nullptr), r.length());
    EXPECT_EQ(r.render(r.length(), QRectF(0, 0, 100, 100), 600, nullptr), r.length());
    QTextDocument empty;
    cn::rtf::PageRenderer e(empty);
    EXPECT_EQ(e.length(), 0);
    EXPECT_EQ(e.render(0, QRectF(0, 0, 100, 100), 600, nullptr), 0);
}

TEST(RtfRender, IndentsAndFontSizesAreTrueOnThePage)
{
    ensureApp();
    // One inch of indent and a 72-point capital, drawn at 300 dots per inch.
    QTextDocument doc;
    cn::rtf::read(QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\pard\\li1440\\f0\\fs144 H\\par}"), &doc);
    QImage img(QSize(1500, 800), QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter painter(&img);
        cn::rtf::PageRenderer r(doc);
        EXPECT_EQ(r.render(0, QRectF(100, 50, 1300, 700), 300, &painter), r.length());
    }
    int left = img.width(), top = img.height(), bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) < 128) {
                left = std::min(left, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    ASSERT_GE(bottom, 0) << "nothing drawn";
    EXPECT_NEAR(left, 100 + 300, 30) << "the indent is one inch of the page";
    // A capital of a 72-point sans face stands about 0.72 inch tall.
    EXPECT_NEAR(bottom - top + 1, 0.72 * 300, 25);
}

TEST(RtfRender, HighlightIsDrawnBehindItsTextOnly)
{
    ensureApp();
    QTextDocument doc;
    cn::rtf::read(QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green255\\blue0;}"
                             "\\f0\\fs48 plain {\\highlight1 marked} plain\\par}"),
                  &doc);
    QImage img(QSize(1500, 300), QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter painter(&img);
        cn::rtf::PageRenderer r(doc);
        r.render(0, QRectF(50, 50, 1400, 200), 300, &painter);
    }
    int yellow = 0, left = img.width(), right = -1, inkLeft = img.width(), inkRight = -1;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() < 60) {
                ++yellow;
                left = std::min(left, x);
                right = std::max(right, x);
            }
            if (qGray(c.rgb()) < 100) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
            }
        }
    }
    ASSERT_GT(yellow, 2000) << "the highlight is drawn";
    EXPECT_GT(left, inkLeft + 100) << "not behind the first word";
    EXPECT_LT(right, inkRight - 100) << "not behind the last word";
}
