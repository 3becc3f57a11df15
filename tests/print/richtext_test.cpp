// Rich text on paper: a prescription body printed through the print job's
// drawing surface keeps its font sizes, line spacing, space between
// paragraphs, tab stops, highlight and bullet positions, and lands where the
// word processor that wrote it puts the same text.
#include "support/testing.h"
#include "fakedialogs.h"
#include "pdfprobe.h"
#include "print/printjob.h"
#include "visits/rtf/render.h"
#include "visits/rtf/rtf.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

#include <functional>

namespace {

using cn::PrintJob;
using cn::test::PdfText;
using cn::test::PdfWord;
using cn::test::ScopedFakeDialogs;

constexpr double kMmPerTwip = 25.4 / 1440;
constexpr double kMmPerPoint = 25.4 / 72;

QByteArray corpusFile(const QString& name)
{
    QFile f(QStringLiteral(CURANOTE_TEST_DATA "/rtf/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool havePdfTools()
{
    return !QStandardPaths::findExecutable("pdftotext").isEmpty();
}

// The body rectangle of the test prints, in mm from the sheet's corner: the
// text area of an A4 sheet with 20 mm margins, as the word processor's page
// style in the corpus has it.
const QRectF kBody(20, 20, 170, 257);

// Prints a document's body page by page into `body` through a print job to
// PDF (through the preview's recorded pages when `preview`), runs `more` on
// the last page, and reads the words back.
PdfText printBody(const QString& pdf, const QTextDocument& doc, bool preview = false, int dpi = 1200,
                  const std::function<void(PrintJob&)>& more = {})
{
    ScopedFakeDialogs dialogs;
    PrintJob job;
    EXPECT_TRUE(job.SelectPdf(pdf, preview));
    job.printer().setResolution(dpi);
    job.SetUnits(1);
    EXPECT_TRUE(job.StartDoc("Body"));
    EXPECT_TRUE(job.StartPage());
    cn::rtf::PageRenderer renderer(doc);
    int s = 0;
    for (int pass = 0; s < renderer.length() && pass < 100; ++pass) {
        if (pass > 0) {
            job.EndPage();
            job.StartPage();
        }
        const cn::PageSurface surface = job.hDC();
        const QRectF rect = surface.toDevice(kBody.top(), kBody.left(), kBody.bottom(), kBody.right());
        s = renderer.render(s, rect, surface.dpi, surface.painter);
    }
    if (more)
        more(job);
    EXPECT_TRUE(job.EndDoc());
    job.End();
    if (preview) {
        EXPECT_EQ(dialogs->previews.size(), 1u);
        if (dialogs->previews.empty())
            return {};
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(dpi);
        EXPECT_TRUE(dialogs->previews[0]->printTo(printer));
    }
    return cn::test::readPdfText(pdf);
}

std::unique_ptr<QTextDocument> readRtf(const QByteArray& rtf)
{
    cn::testing::app();
    auto doc = std::make_unique<QTextDocument>();
    cn::rtf::read(rtf, doc.get());
    return doc;
}

[[maybe_unused]] QByteArray rtfDoc(const QByteArray& body)
{
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}"
           "{\\colortbl ;\\red255\\green255\\blue0;\\red0\\green0\\blue255;}"
           + body + "}";
}

class RichTextOnPaper : public ::testing::Test {
protected:
    void SetUp() override
    {
        cn::testing::app();
        if (!havePdfTools())
            GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
        ASSERT_TRUE(dir.isValid());
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

// Every word the word processor prints lands at the same place when we print
// its RTF: tab stops (default ones every 12.5 mm, and left, centre and right
// ones), line spacing of every kind, space before and after, hanging indents,
// bullets and font sizes, line breaks included.
TEST_F(RichTextOnPaper, WordProcessorsDocumentLandsWhereItPutsIt)
{
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed (Debian package libreoffice-writer-nogui)";
    const QByteArray rtf = corpusFile("lo_layout.rtf");
    ASSERT_FALSE(rtf.isEmpty());
    QFile in(path("lo_layout.rtf"));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(rtf);
    in.close();
    QProcess p;
    p.start(soffice, {"-env:UserInstallation=file://" + path("profile"), "--headless", "--convert-to", "pdf",
                      "--outdir", path("lo"), path("lo_layout.rtf")});
    ASSERT_TRUE(p.waitForFinished(300000));
    const PdfText theirs = cn::test::readPdfText(path("lo/lo_layout.pdf"));
    ASSERT_GT(theirs.words.size(), 100);

    const auto doc = readRtf(rtf);
    const PdfText ours = printBody(path("ours.pdf"), *doc);
    ASSERT_EQ(ours.words.size(), theirs.words.size());
    // The two files embed the face with different ascents, so word boxes
    // compare by their heights relative to the first word (11 pt like most),
    // and vertically only among words of that size.
    const PdfWord& a0 = ours.words[0];
    const PdfWord& b0 = theirs.words[0];
    const double ah0 = a0.bottom - a0.top, bh0 = b0.bottom - b0.top;
    for (qsizetype i = 0; i < ours.words.size(); ++i) {
        const PdfWord& a = ours.words[i];
        const PdfWord& b = theirs.words[i];
        ASSERT_EQ(a.text, b.text) << i;
        const double ah = (a.bottom - a.top) / ah0, bh = (b.bottom - b.top) / bh0;
        EXPECT_NEAR(a.left, b.left, 0.2) << a.text.toStdString();
        EXPECT_NEAR(ah, bh, 0.005) << a.text.toStdString();
        if (std::abs(bh - 1) < 0.01) {
            EXPECT_NEAR(a.top - a0.top, b.top - b0.top, 0.4) << a.text.toStdString();
        }
    }
}

// Sizes in points print at that size, directly and through the preview's
// recorded pages, whatever the printer's resolution: word heights are the
// size times the face's height (Liberation Sans, which prints for Arial:
// 1854 + 434 units of 2048), and widths grow in proportion to the size.
TEST_F(RichTextOnPaper, FontSizesPrintAtTheirSize)
{
    const double sizes[] = {8, 9, 10, 10.5, 11, 12, 14, 20};
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}";
    for (double pt : sizes)
        rtf += "\\pard\\fs" + QByteArray::number(int(pt * 2)) + " Ibuprofen\\par";
    rtf += "}";
    const auto doc = readRtf(rtf);
    for (const auto& [preview, dpi] : {std::pair{false, 1200}, std::pair{true, 600}, std::pair{false, 300}}) {
        SCOPED_TRACE(QString("preview %1, %2 dpi").arg(preview).arg(dpi).toStdString());
        const PdfText text = printBody(path("sizes.pdf"), *doc, preview, dpi);
        QList<PdfWord> words;
        for (const PdfWord& w : text.words)
            if (w.text == "Ibuprofen")
                words << w;
        ASSERT_EQ(words.size(), qsizetype(std::size(sizes)));
        const double widthPerPoint = (words[5].right - words[5].left) / 12;
        for (qsizetype i = 0; i < words.size(); ++i) {
            const double pt = sizes[i];
            EXPECT_NEAR(words[i].bottom - words[i].top, pt * kMmPerPoint * 2288 / 2048, 0.001 * pt) << pt << " pt";
            EXPECT_NEAR((words[i].right - words[i].left) / pt, widthPerPoint, 0.002 * widthPerPoint) << pt << " pt";
        }
    }
}

// Line spacing as stated: single is the face's own line height, then one
// and a half and double lines, exactly 20 pt, at least 30 pt, and an at-least
// height below the natural one; space after and before add up. The document
// written back and read again prints the same.
TEST_F(RichTextOnPaper, LineSpacingAndParagraphSpaceSetThePitch)
{
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\fs24"
                           "\\pard a1\\line b1\\line c1\\par"
                           "\\pard\\sl360\\slmult1 a2\\line b2\\line c2\\par"
                           "\\pard\\sl480\\slmult1 a3\\line b3\\line c3\\par"
                           "\\pard\\sl-400\\slmult0 a4\\line b4\\line c4\\par"
                           "\\pard\\sl600\\slmult0 a5\\line b5\\line c5\\par"
                           "\\pard\\sl100\\slmult0 a6\\line b6\\line c6\\sa240\\par"
                           "\\pard\\sb360 a7\\par}";
    // Liberation Sans, which prints for Arial: 1854 + 434 + 67 units of 2048
    // from line to line.
    const double single = 12 * kMmPerPoint * (1854 + 434 + 67) / 2048.0;
    const double pitch[] = {single, 1.5 * single, 2 * single, 400 * kMmPerTwip, 600 * kMmPerTwip, single};

    const auto doc = readRtf(rtf);
    const QByteArray written = cn::rtf::write(*doc);
    for (const char* w : {"\\sl360\\slmult1", "\\sl480\\slmult1", "\\sl-400\\slmult0", "\\sl600\\slmult0",
                          "\\sl100\\slmult0"})
        EXPECT_TRUE(written.contains(w)) << w;
    const auto back = readRtf(written);

    const PdfText first = printBody(path("spacing.pdf"), *doc);
    const PdfText second = printBody(path("spacing-back.pdf"), *back);
    for (const PdfText* text : {&first, &second}) {
        auto top = [&](const QString& w) {
            const auto word = text->find(w);
            EXPECT_TRUE(word) << w.toStdString();
            return word ? word->top : 0.0;
        };
        for (int k = 1; k <= 6; ++k) {
            SCOPED_TRACE(k);
            EXPECT_NEAR(top(QString("b%1").arg(k)) - top(QString("a%1").arg(k)), pitch[k - 1], 0.03);
            EXPECT_NEAR(top(QString("c%1").arg(k)) - top(QString("b%1").arg(k)), pitch[k - 1], 0.03);
        }
        // 12 pt after plus 18 pt before.
        EXPECT_NEAR(top("a7") - top("c6"), single + 600 * kMmPerTwip, 0.03);
    }
}

// Tabs land on the stops the writer set: the word processor's default stops
// every 12.5 mm, its left, centre and right stops, and the hanging indent of
// a hanging first line; in an indented paragraph the default stops still
// count from the left edge. Written back, the stops are stated again.
TEST_F(RichTextOnPaper, TabsLandOnTheWritersStops)
{
    const auto doc = readRtf(corpusFile("lo_layout.rtf"));
    const QByteArray written = cn::rtf::write(*doc);
    EXPECT_TRUE(written.contains("\\deftab709"));
    EXPECT_TRUE(written.contains("\\tx2268\\tqc\\tx5102\\tqr\\tx8504"));
    const auto own = readRtf("{\\rtf1\\ansi\\deftab720{\\fonttbl{\\f0\\fswiss Arial;}}\\fs24"
                             "\\pard\\li640 in\\tab default\\par"
                             "\\pard\\li720\\fi-720\\tx2880 first\\tab explicit\\tab next\\par}");
    const double left = kBody.left();
    for (const QTextDocument* d : {doc.get(), readRtf(written).release()}) {
        const PdfText text = printBody(path("tabs.pdf"), *d);
        auto word = [&](const char* w) {
            const auto found = text.find(w);
            EXPECT_TRUE(found) << w;
            return found.value_or(PdfWord{});
        };
        EXPECT_NEAR(word("default").left, left + 709 * kMmPerTwip, 0.05);
        EXPECT_NEAR(word("tabs").left, left + 2 * 709 * kMmPerTwip, 0.05);
        EXPECT_NEAR(word("here").left, left + 3 * 709 * kMmPerTwip, 0.05);
        EXPECT_NEAR(word("500").left, left + 2268 * kMmPerTwip, 0.05);
        const PdfWord centred = word("1-0-1");
        EXPECT_NEAR((centred.left + centred.right) / 2, left + 5102 * kMmPerTwip, 0.05);
        EXPECT_NEAR(word("days").right, left + 8504 * kMmPerTwip, 0.05);
        EXPECT_NEAR(word("Hanging").left, left + 720 * kMmPerTwip, 0.05);
        if (d != doc.get())
            delete d;
    }
    const PdfText text = printBody(path("own.pdf"), *own);
    // "in" ends past 720 twips: the next default stop is at 1440, not at
    // 720 past the indent.
    EXPECT_NEAR(text.find("default")->left, left + 1440 * kMmPerTwip, 0.05);
    EXPECT_NEAR(text.find("explicit")->left, left + 720 * kMmPerTwip, 0.05) << "the hanging indent comes first";
    EXPECT_NEAR(text.find("next")->left, left + 2880 * kMmPerTwip, 0.05);
}

// A bullet or number stands at the first-line indent and its text at the
// hanging indent, for every way RTF states a list; a bullet of a first line
// that does not hang stands at its indent with the text a little after.
TEST_F(RichTextOnPaper, BulletsStandAtTheFirstLineIndent)
{
    const auto doc = readRtf(rtfDoc("\\fs24"
        "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-320\\li640 Pn\\par"
        "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi0\\li1440 Flat\\par"
        "\\pard{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}\\fi-360\\li1080 Numbered\\par"));
    const auto lo = readRtf(corpusFile("lo_layout.rtf"));
    const PdfText text = printBody(path("bullets.pdf"), *doc);
    const PdfText loText = printBody(path("lo-bullets.pdf"), *lo);
    const double left = kBody.left();
    auto startsAt = [&](const PdfText& t, const char* w, double twips, int nth = 0) {
        for (const PdfWord& word : t.words) {
            if (word.text == w && nth-- == 0) {
                EXPECT_NEAR(word.left, left + twips * kMmPerTwip, 0.05) << w;
                return word;
            }
        }
        ADD_FAILURE() << "no " << w;
        return PdfWord{};
    };
    const PdfWord b1 = startsAt(text, "\u2022", 320);
    EXPECT_NEAR(startsAt(text, "Pn", 640).top, b1.top, 0.05);
    startsAt(text, "\u2022", 1440, 1);
    startsAt(text, "Flat", 1440 + 360);
    startsAt(text, "1.", 720);
    startsAt(text, "Numbered", 1080);
    startsAt(loText, "\u2022", 360);
    startsAt(loText, "Tab.", 720);
}
