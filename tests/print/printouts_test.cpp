// The prescription, the receipt and the letterhead page printed to PDF and
// read back: every text where the doctor expects it in millimetres, the body
// continuing over pages without a line lost or printed twice, and the amount
// in words and figures.
#include "support/testing.h"
#include "fakedialogs.h"
#include "pdfprobe.h"
#include "print/printjob.h"
#include "print/printouts.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <set>

namespace cn {
namespace {

using test::PdfText;
using test::PdfWord;

constexpr double kMmPerPoint = 25.4 / 72;
// The ascent of the sans face as a share of its size (Liberation Sans, the
// face that stands in for Arial).
constexpr double kAscent = 0.905;

// The top of a word's box printed at `row` in `points`: texts hang from the
// default 12-point font's ascent, so a smaller type stands lower.
double topAt(double row, double points) { return row + (12 - points) * kAscent * kMmPerPoint; }

FontRecord font(const char* face, int size, bool bold = false, bool italic = false, int blue = 0)
{
    FontRecord r;
    r.face = QLatin1String(face);
    r.size = size;
    r.bold = bold;
    r.italic = italic;
    r.blue = blue;
    return r;
}

// A practice with margins T 40, L 20, R 15, B 20 and a two-line letterhead.
struct Practice {
    Settings s;
    PrintOptions o;
    VisitPrintView v;
    Practice()
    {
        s.NTOPMARGIN = 40;
        s.NLEFTMARGIN = 20;
        s.NRIGHTMARGIN = 15;
        s.NBOTTOMMARGIN = 20;
        s.MCOMPANY = QStringLiteral("Dr. Asha Rao").leftJustified(40);
        s.ADEFFONT = font("Arial", 12);
        s.NLINE[0] = {46, 5, 46, 200};
        s.setNumFormat(2);
        o.currencySymbol = QStringLiteral("Rs.");
        o.currencyText = QStringLiteral("Rupees");
        o.hundredthText = QStringLiteral("paisa");
        Letterhead& lh = o.letterhead;
        lh.doctorFont = font("Arial", 16, true, false, 255);
        lh.doctorRow = 10;
        lh.doctorCol = 5;
        lh.lines[1] = {QStringLiteral("MBBS, MD"), font("Arial", 9, true), 14, 5};
        lh.lines[9] = {QStringLiteral("Res: Demo Street"), font("Arial", 8, false, true), 10, 125};
        v.PATTITLE = QStringLiteral("Ms.");
        v.TxtPatFName = QStringLiteral("Lata");
        v.TxtPatLName = QStringLiteral("Devi");
        v.TxtPatCode = 17;
        v.TxtPatSex = 1;
        v.TxtPatAgeDays = 12;
        v.Lb_PVNo = pvNoCaption(3);
        v.TxtVisitDt = QDate(2026, 12, 8);
        v.TxtPatHeightFeet = 5;
        v.TxtPatHeightInch = 4;
        v.TxtPatHeightMtrs = 1;
        v.TxtPatHeightCm = 63;
        v.TxtPatWeightLbs = 120;
        v.TxtPatWeightKgs = 54;
        v.TxtPatTemp = 99.5;
        v.TxtPatPulse = 72;
        v.TxtPatSys = 120;
        v.TxtPatDias = 80;
        v.TxtPatFees = 1234.56;
        v.TxtPatNote = QStringLiteral("Consultation");
        v.TxtPatPres = QByteArrayLiteral("Tab. Paracetamol 500 mg");
    }
    // The reduced printable width of an A4 PDF page.
    double maxCol() const { return 210 - 1 - s.NRIGHTMARGIN - s.NLEFTMARGIN; }
};

// The width of a space in the 12-point default font.
constexpr double kSpace = 0.2778 * 12 * kMmPerPoint;

// The words of one printed text from its first word on: those on the same
// line (top within 0.5 mm) that follow each other with no gap wider than a
// few spaces, from left to right.
QStringList lineAt(const PdfText& text, const PdfWord& first)
{
    std::vector<PdfWord> words;
    for (const PdfWord& w : text.words)
        if (w.page == first.page && std::abs(w.top - first.top) < 0.5 && w.left >= first.left - 0.01)
            words.push_back(w);
    std::sort(words.begin(), words.end(), [](const PdfWord& a, const PdfWord& b) { return a.left < b.left; });
    QStringList out;
    double right = first.left;
    for (const PdfWord& w : words) {
        if (w.left - right > 8 * kSpace)
            break;
        out << w.text;
        right = w.right;
    }
    return out;
}

// The first word with that text whose box lies below `row`.
std::optional<PdfWord> findBelow(const PdfText& text, const QString& word, double row)
{
    for (const PdfWord& w : text.words)
        if (w.text == word && w.top > row)
            return w;
    return std::nullopt;
}

// The number of a body line's first word ("L042"), 0 for any other word.
int bodyLine(const PdfWord& w)
{
    static const QRegularExpression re(QStringLiteral("^L(\\d{3})$"));
    const auto m = re.match(w.text);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

class Printouts : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
        ASSERT_TRUE(dir.isValid());
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    PdfText prescription(const QString& name, bool letterhead = true)
    {
        PrintJob job;
        EXPECT_TRUE(job.SelectPdf(path(name)));
        EXPECT_TRUE(printPrescription(job, p.v, p.o, p.s, letterhead));
        return test::readPdfText(path(name));
    }

    QTemporaryDir dir;
    Practice p;
};

void expectAt(const PdfText& text, const QString& word, double top, double left, int page = 1)
{
    const auto w = text.find(word, page);
    ASSERT_TRUE(w) << word.toStdString() << " is not on page " << page;
    EXPECT_NEAR(w->top, top, 0.35) << word.toStdString();
    EXPECT_NEAR(w->left, left, 0.35) << word.toStdString();
}

// Header, vital signs and letterhead at their millimetres, in the default
// font; the right panel ends 5 mm in from the reduced right edge and the
// vital signs on the right stand off it.
TEST_F(Printouts, PrescriptionTextsLandAtTheirMillimetres)
{
    // A default font other than the job's own, so that its use shows.
    p.s.ADEFFONT = font("Arial", 11);
    const PdfText t = prescription("pres.pdf");
    ASSERT_EQ(t.pageSizes.size(), 1);
    const double T = 40, L = 20;
    auto top = [](double row) { return topAt(row, 11); };
    expectAt(t, "Ms.", top(T + 5), L + 5);
    EXPECT_EQ(lineAt(t, *t.find("Ms.")), QStringList({"Ms.", "Lata", "Devi", "[", "Code:", "17", "]"}));
    expectAt(t, "Female,", top(T + 10), L + 5);
    EXPECT_EQ(lineAt(t, *t.find("Female,")), QStringList({"Female,", "12", "Days"}));
    // Header texts in the 11-point default font, the body in its own 12 points.
    const auto ms = t.find("Ms."), tab = t.find("Tab.");
    ASSERT_TRUE(ms && tab);
    EXPECT_NEAR((ms->bottom - ms->top) / (tab->bottom - tab->top), 11.0 / 12, 0.02);

    const auto pv = t.find("Patient");
    const auto date = t.find("Date");
    ASSERT_TRUE(pv && date);
    EXPECT_NEAR(pv->top, top(T + 5), 0.35);
    EXPECT_NEAR(date->top, top(T + 10), 0.35);
    EXPECT_NEAR(pv->left, date->left, 0.05);
    EXPECT_EQ(lineAt(t, *date), QStringList({"Date", ":", "8", "Dec", "2026"}));
    double rightEdge = 0;
    for (const PdfWord& w : t.words)
        if (std::abs(w.top - pv->top) < 0.5 || std::abs(w.top - date->top) < 0.5)
            if (w.left >= pv->left - 0.05)
                rightEdge = std::max(rightEdge, w.right);
    EXPECT_NEAR(rightEdge, L + p.maxCol() - 5, 0.4);
    const double R = pv->left - L;

    expectAt(t, "Height:", top(T + 20), L + 10);
    EXPECT_EQ(lineAt(t, *t.find("Height:")).mid(0, 11),
              QStringList({"Height:", "5", "ft.", "4", "in.", "(", "1", "m.", "63", "cm.", ")"}));
    expectAt(t, "Weight:", top(T + 25), L + 10);
    EXPECT_EQ(lineAt(t, *t.find("Weight:")), QStringList({"Weight:", "120", "lbs", "(", "54", "kgs", ")"}));
    expectAt(t, "Temperature:", top(T + 20), L + R - 50);
    EXPECT_TRUE(t.find(QStringLiteral("99.5\u00B0F")));
    expectAt(t, "Pulse:", top(T + 20), L + R - 5);
    EXPECT_TRUE(t.find("72/min"));
    expectAt(t, "B.P.", top(T + 25), L + R - 50);
    EXPECT_EQ(lineAt(t, *t.find("B.P.")), QStringList({"B.P.", ":", "120", "/", "80", "mmHg"}));

    // Letterhead at sheet positions, each line in its own size.
    expectAt(t, "Dr.", topAt(10, 16), 5);
    expectAt(t, "MBBS,", topAt(14, 9), 5);
    expectAt(t, "Res:", topAt(10, 8), 125);
    // The ruled line, and the product tag running upwards just beside the
    // left margin, ending 40 mm below the top margin.
    const test::PdfRaster page = test::rasterPage(path("pres.pdf"));
    EXPECT_TRUE(page.darkNear(46, 100));
    EXPECT_TRUE(page.darkIn(T + 41, L - 3, T + 60, L + 2) > 0);
    EXPECT_EQ(page.darkIn(T + 30, L - 3, T + 39, L + 2), 0);

    // The body under the header.
    expectAt(t, "Tab.", T + 30 + 200 / 56.7, L + 200 / 56.7);
}

// Without the letterhead: no doctor's name and no letterhead lines, but the
// ruled line, the header and the body are there. Hidden vital signs: height
// with 0 feet, temperature 0.0, no pulse, no pressure, no weight.
TEST_F(Printouts, WithoutLetterheadOrVitalsOnlyTheirTextsGo)
{
    p.v.TxtPatHeightFeet = 0;
    p.v.TxtPatTemp = 0;
    p.v.TxtPatPulse = 0;
    p.v.TxtPatSys = 0;
    p.v.TxtPatWeightLbs = 0;
    const PdfText t = prescription("bare.pdf", false);
    for (const char* gone : {"Dr.", "MBBS,", "Res:", "Height:", "Weight:", "Temperature:", "Pulse:", "B.P."})
        EXPECT_FALSE(t.find(gone)) << gone;
    EXPECT_TRUE(t.find("Ms.") && t.find("Tab."));
    EXPECT_TRUE(test::rasterPage(path("bare.pdf")).darkNear(46, 100));
}

// The default font the Options window stores for a blank one is Arial 14
// bold: the vital signs on the right then start after the texts before them
// rather than over them.
TEST_F(Printouts, LargeDefaultFontNeverOverlapsTheVitalSigns)
{
    p.s.ADEFFONT = font("Arial", 14, true);
    const PdfText t = prescription("large.pdf");
    auto rightOf = [&](const char* first, const char* last) {
        const auto from = t.find(first);
        EXPECT_TRUE(from) << first;
        double right = 0;
        for (const PdfWord& w : t.words)
            if (from && std::abs(w.top - from->top) < 0.5 && w.left >= from->left && w.text == QString::fromUtf8(last)) {
                right = w.right;
                break;
            }
        return right;
    };
    const auto temperature = t.find("Temperature:"), pulse = t.find("Pulse:"), bp = t.find("B.P.");
    ASSERT_TRUE(temperature && pulse && bp);
    EXPECT_GE(temperature->left, rightOf("Height:", ")") + 2.5);
    EXPECT_GE(pulse->left, rightOf("Temperature:", "99.5\u00B0F") + 2.5);
    EXPECT_GE(bp->left, rightOf("Weight:", ")") + 2.5);
}

TEST(AgeText, FollowsTheFourRules)
{
    EXPECT_EQ(ageText(0, 0, 12), QStringLiteral("12 Days"));
    EXPECT_EQ(ageText(0, 3, 5), QStringLiteral("3 Months 5 Days"));
    EXPECT_EQ(ageText(1, 2, 9), QStringLiteral("1 Yrs 2 Months"));
    EXPECT_EQ(ageText(45, 7, 3), QStringLiteral("45 Yrs"));
}

// A body of many pages with a 10 mm bottom margin: every line printed once,
// none below the margin, and every page with the header. A page range from
// page 2 prints that page's body under the header.
TEST_F(Printouts, LongBodyContinuesToTheBottomMarginWithNoLineLostOrTwice)
{
    p.s.NBOTTOMMARGIN = 10;
    QByteArray body;
    const int lines = 120;
    for (int i = 1; i <= lines; ++i)
        body += QStringLiteral("L%1 take one tablet after food\n").arg(i, 3, 10, QLatin1Char('0')).toLatin1();
    p.v.TxtPatPres = body;
    const PdfText t = prescription("long.pdf");
    const int pages = int(t.pageSizes.size());
    ASSERT_GE(pages, 3);
    std::map<int, int> seen;
    std::map<int, int> pageOf;
    for (const PdfWord& w : t.words) {
        const int n = bodyLine(w);
        if (n == 0)
            continue;
        ++seen[n];
        pageOf[n] = w.page;
        EXPECT_LE(w.bottom, 297 - 10 + 0.01) << w.text.toStdString();
        EXPECT_GE(w.top, 40 + 30) << w.text.toStdString();
    }
    for (int i = 1; i <= lines; ++i)
        EXPECT_EQ(seen[i], 1) << "line " << i;
    for (int page = 1; page <= pages; ++page) {
        expectAt(t, "Ms.", 45, 25, page);
        expectAt(t, "MBBS,", topAt(14, 9), 5, page);
    }
    // The last line of a full page sits near the margin: the rectangle was used.
    const auto lastOfPage1 = std::max_element(pageOf.begin(), pageOf.end(), [](auto a, auto b) {
        return (a.second == 1 ? a.first : 0) < (b.second == 1 ? b.first : 0);
    });
    EXPECT_GT(t.find(QStringLiteral("L%1").arg(lastOfPage1->first, 3, 10, QLatin1Char('0')))->bottom, 297 - 10 - 8);

    test::ScopedFakeDialogs dialogs;
    dialogs->pdfPath = path("page2.pdf");
    dialogs->fromPage = 2;
    dialogs->toPage = 2;
    PrintJob job;
    ASSERT_TRUE(job.SelectPrinter());
    ASSERT_TRUE(printPrescription(job, p.v, p.o, p.s, true));
    const PdfText two = test::readPdfText(path("page2.pdf"));
    ASSERT_EQ(two.pageSizes.size(), 1);
    expectAt(two, "Ms.", 45, 25);
    std::set<int> printed, expected;
    for (const PdfWord& w : two.words)
        if (const int n = bodyLine(w))
            printed.insert(n);
    for (const auto& [n, page] : pageOf)
        if (page == 2)
            expected.insert(n);
    EXPECT_EQ(printed, expected);
}

// The receipt: who paid, the sum in words, what for, the amount in a box
// drawn around its figure, the doctor's name; the right panel 20 mm in.
TEST_F(Printouts, ReceiptSaysTheSumInWordsAndFigures)
{
    PrintJob job;
    ASSERT_TRUE(job.SelectPdf(path("receipt.pdf")));
    ASSERT_TRUE(printReceipt(job, p.v, p.o, p.s, true));
    const PdfText t = test::readPdfText(path("receipt.pdf"));
    const double T = 40, L = 20;
    expectAt(t, "Received", T + 20, L + 10);
    EXPECT_EQ(lineAt(t, *t.find("Received")).join(' '),
              QStringLiteral("Received from Ms. Lata Devi [ Code: 17 ], Female, 12 Days"));
    const auto sum = t.find("the");
    ASSERT_TRUE(sum);
    EXPECT_NEAR(sum->top, T + 30, 0.35);
    EXPECT_EQ(lineAt(t, *sum).join(' '),
              QStringLiteral("the sum of Rupees One Thousand Two Hundred Thirty-four and fifty-six paisa only ***"));
    expectAt(t, "against", T + 40, L + 10 + kSpace);
    EXPECT_EQ(lineAt(t, *t.find("against")).join(' '), QStringLiteral("against Consultation"));
    expectAt(t, "Rs.", T + 52, L + 12);
    EXPECT_EQ(lineAt(t, *t.find("Rs.")), QStringList({"Rs.", "1,234.56"}));
    const auto figure = t.find("1,234.56");
    ASSERT_TRUE(figure);
    // The box: from (50, 10) around the figure, 2 mm taller and 4 mm wider.
    const test::PdfRaster page = test::rasterPage(path("receipt.pdf"));
    EXPECT_TRUE(page.darkNear(T + 50, L + 15));
    EXPECT_TRUE(page.darkNear(T + 51, L + 10));
    EXPECT_GT(page.darkIn(T + 51, figure->right + 1.2, T + 53, figure->right + 2.8), 0);
    EXPECT_EQ(page.darkIn(T + 51, figure->right + 3.2, T + 53, figure->right + 6), 0);
    const auto doctor = findBelow(t, "Dr.", T);
    ASSERT_TRUE(doctor);
    EXPECT_NEAR(doctor->top, T + 60, 0.35);
    EXPECT_NEAR(doctor->left, L + 100, 0.35);

    const auto pv = t.find("Patient");
    ASSERT_TRUE(pv);
    double rightEdge = 0;
    for (const PdfWord& w : t.words)
        if ((std::abs(w.top - (T + 5)) < 0.5 || std::abs(w.top - (T + 10)) < 0.5) && w.left >= pv->left - 0.05)
            rightEdge = std::max(rightEdge, w.right);
    EXPECT_NEAR(rightEdge, L + p.maxCol() - 20, 0.4);
}

TEST_F(Printouts, ZeroFeeReadsOnlyAndTheBoxShowsNoughts)
{
    p.v.TxtPatFees = 0;
    p.v.TxtPatNote.clear();
    PrintJob job;
    ASSERT_TRUE(job.SelectPdf(path("zero.pdf")));
    ASSERT_TRUE(printReceipt(job, p.v, p.o, p.s, false));
    const PdfText t = test::readPdfText(path("zero.pdf"));
    ASSERT_TRUE(t.find("the"));
    EXPECT_EQ(lineAt(t, *t.find("the")).join(' '), QStringLiteral("the sum of Rupees only ***"));
    ASSERT_TRUE(t.find("Rs."));
    EXPECT_EQ(lineAt(t, *t.find("Rs.")).join(' '), QStringLiteral("Rs. 0.00"));
    EXPECT_EQ(lineAt(t, *t.find("against")).join(' '), QStringLiteral("against"));
}

// A page that cannot be written is a failure, not an empty success.
TEST_F(Printouts, UnwritableFileFails)
{
    PrintJob job;
    ASSERT_TRUE(job.SelectPdf(path("no/such/folder/x.pdf")));
    EXPECT_FALSE(printPrescription(job, p.v, p.o, p.s, true));
}

} // namespace
} // namespace cn
