#include "print/printouts.h"

#include "app/routines.h"
#include "app/text.h"
#include "print/figword.h"
#include "print/printdialogs.h"
#include "print/printjob.h"
#include "visits/rtf/render.h"
#include "visits/rtf/rtf.h"

#include <QTextDocument>

#include <algorithm>

namespace cn {

namespace {

const QString kF0 = QStringLiteral("f0");
const QString kF4 = QStringLiteral("f4");
constexpr double kTwipsPerMm = 56.7;
// The body starts this far below the top margin, under the patient header.
constexpr double kBodyDrop = 30;

QString num(long long n) { return QString::number(n); }

double widthOf(const PrintJob& job, const QString& text)
{
    std::array<double, 2> size{};
    job.GetTextExtent_mm(text, size, kF0);
    return size[1];
}

// The print-job set-up every printout shares: preview with thumbnails in the
// standard rectangle, millimetres, slot "f0" (Arial 12) and, when asked for,
// the upward slot "f4", the pen "p0"; then the document.
void beginDocument(PrintJob& job, const QString& title, bool withTag)
{
    job.SetPreviewThumbnails(true);
    job.SetPreviewGeometry(defaultPreviewGeometry());
    job.SetUnits(1);
    job.DefineFont(kF0, QStringLiteral("arial"), 12);
    if (withTag)
        job.DefineFont(kF4, QStringLiteral("arial"), 8, 0, 90);
    job.SelectFont(kF0);
    job.SelectPen(QStringLiteral("p0"));
    job.StartDoc(title);
}

// Ends the page and the document (printing it, or showing the preview) and
// releases the job; true when everything was printed.
bool finishDocument(PrintJob& job)
{
    if (job.PageOpen())
        job.EndPage();
    const bool ended = job.EndDoc();
    const bool ok = ended && job.Error() == PrintJob::NoError;
    job.End();
    return ok;
}

// A page could not be started: what was drawn is released, nothing more is
// tried.
bool failDocument(PrintJob& job)
{
    finishDocument(job);
    return false;
}

// What the prescription and the receipt put on every page before their own
// texts: the letterhead, the ruled lines, the product tag beside the left
// margin, and the default font with its colour. The origin is left at the
// margin origin.
class LetterheadPage {
public:
    LetterheadPage(PrintJob& job, const PrintOptions& options, const Settings& s, bool letterhead)
        : job_(job), s_(s), letterhead_(letterhead), lh_(options.letterhead)
    {
        lh_.rules = s.NLINE;
        beginDocument(job_, QStringLiteral("Print"), true);
        // The printable extent less the margins, once for the whole document.
        job_.SetMaxCol(job_.MaxCol() - s.NRIGHTMARGIN - s.NLEFTMARGIN);
        job_.SetMaxRow(job_.MaxRow() - s.NBOTTOMMARGIN - s.NTOPMARGIN);
    }

    // Starts a page and draws the common part on it; false when the page
    // could not be started (the printer or file cannot be written).
    bool start()
    {
        if (!job_.StartPage())
            return false;
        drawLetterhead(job_, lh_, s_.MCOMPANY, letterhead_);
        job_.SetViewPortOrg(s_.NTOPMARGIN, s_.NLEFTMARGIN);
        const QString tag = QStringLiteral(" CNPres1/") + s_.MCOMPANY.trimmed() + QLatin1Char(' ');
        std::array<double, 2> size{};
        job_.GetTextExtent_mm(tag, size, kF4);
        job_.Say(size[1] + 40, size[0] - 5, tag, kF4, QColor(Qt::black));
        useFontRecord(job_, s_.ADEFFONT);
        job_.SetTextColor(PrintJob::colourOf(s_.ADEFFONT));
        return true;
    }

    // The right panel: the visit number and date, starting at the column R
    // that keeps the wider of them `inset` mm in from the reduced right edge.
    // Returns R.
    double rightPanel(const VisitPrintView& v, double inset)
    {
        const QString date = QStringLiteral("Date : ") + DDMONYY(v.TxtVisitDt);
        const QString pvNo = v.Lb_PVNo.trimmed();
        const double r = job_.MaxCol() - std::max(widthOf(job_, pvNo), widthOf(job_, date)) - inset;
        job_.Say(5, r, pvNo);
        job_.Say(10, r, date);
        return r;
    }

    PrintJob& job() { return job_; }

private:
    PrintJob& job_;
    const Settings& s_;
    bool letterhead_;
    Letterhead lh_;
};

QString patientName(const VisitPrintView& v)
{
    return v.PATTITLE.trimmed() + QLatin1Char(' ') + v.TxtPatFName.trimmed() + QLatin1Char(' ') +
           v.TxtPatLName.trimmed() + QStringLiteral("     [ Code: ") + num(v.TxtPatCode) + QStringLiteral(" ]");
}

QString sexText(const VisitPrintView& v)
{
    return v.TxtPatSex == 1 ? QStringLiteral("Female") : QStringLiteral("Male");
}

// One row of vital signs, printed left to right: each text at its column,
// or, where a large default font would make it run into the text before
// it, a small gap after that text instead, so that no two overlap.
class VitalsRow {
public:
    VitalsRow(PrintJob& job, double row) : job_(job), row_(row) {}
    void say(double col, const QString& text)
    {
        const double at = std::max(col, end_ + kGap);
        job_.Say(row_, at, text);
        end_ = at + widthOf(job_, text);
    }

private:
    static constexpr double kGap = 3;
    PrintJob& job_;
    double row_;
    double end_ = -1e9;
};

// The patient header of the prescription, with the vital signs that were
// taken.
void prescriptionHeader(LetterheadPage& page, const VisitPrintView& v)
{
    PrintJob& job = page.job();
    job.Say(5, 5, patientName(v));
    job.Say(10, 5, sexText(v) + QStringLiteral(", ") + ageText(v.TxtPatAgeYrs, v.TxtPatAgeMnths, v.TxtPatAgeDays));
    const double r = page.rightPanel(v, 5);
    VitalsRow first(job, 20), second(job, 25);
    if (v.TxtPatHeightFeet > 0)
        first.say(10, QStringLiteral("Height: %1 ft. %2 in. ( %3 m. %4 cm. )")
                          .arg(v.TxtPatHeightFeet).arg(v.TxtPatHeightInch).arg(v.TxtPatHeightMtrs).arg(v.TxtPatHeightCm));
    if (v.TxtPatTemp > 0)
        first.say(r - 50, QStringLiteral("Temperature: ") + QString::number(v.TxtPatTemp, 'f', 1) + QStringLiteral("\u00B0F"));
    if (v.TxtPatPulse > 0)
        first.say(r - 5, QStringLiteral("Pulse: %1/min").arg(v.TxtPatPulse));
    if (v.TxtPatWeightLbs > 0)
        second.say(10, QStringLiteral("Weight: %1 lbs ( %2 kgs )").arg(v.TxtPatWeightLbs).arg(v.TxtPatWeightKgs));
    if (v.TxtPatSys > 0)
        second.say(r - 50, QStringLiteral("B.P. : %1 / %2 mmHg").arg(v.TxtPatSys).arg(v.TxtPatDias));
}

} // namespace

QString ageText(int years, int months, int days)
{
    if (years >= 2)
        return num(years) + QStringLiteral(" Yrs");
    if (years >= 1)
        return num(years) + QStringLiteral(" Yrs ") + num(months) + QStringLiteral(" Months");
    if (months >= 1)
        return num(months) + QStringLiteral(" Months ") + num(days) + QStringLiteral(" Days");
    return num(days) + QStringLiteral(" Days");
}

QString receiptFigure(double amount, const QString& currencySymbol, const Settings& s)
{
    return currencySymbol.trimmed() + QLatin1Char(' ') + formatPicture(amount, s.numPicture(10, 2)).trimmed();
}

bool printPrescription(PrintJob& job, const VisitPrintView& v, const PrintOptions& options, const Settings& s,
                       bool letterhead)
{
    LetterheadPage page(job, options, s, letterhead);

    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 12));
    rtf::read(v.TxtPatPres, &doc);
    rtf::PageRenderer body(doc);

    // The body rectangle on the sheet: 200 twips in from the left of the
    // margin origin and below a point 30 mm under the top margin, as wide as
    // the reduced extent, down to the bottom margin.
    const double inset = 200 / kTwipsPerMm;
    const double top = s.NTOPMARGIN + kBodyDrop;
    const QRectF rect(QPointF(s.NLEFTMARGIN + inset, top + inset),
                      QPointF(s.NLEFTMARGIN + job.MaxCol() + 1, top + job.MaxRow() + 1 - kBodyDrop));

    const int from = job.nFromPage(), to = job.nToPage();
    auto inRange = [&](int n) { return n >= from && (to == 0 || n <= to); };
    auto newPage = [&] {
        if (!page.start())
            return false;
        prescriptionHeader(page, v);
        return true;
    };

    // Page 1 always has the header, even with an empty body.
    if (inRange(1) && !newPage())
        return failDocument(job);
    const qreal dpi = job.printer().resolution();
    for (int s0 = 0, n = 1; s0 < body.length() && (to == 0 || n <= to); ++n) {
        const bool draw = inRange(n);
        if (draw && n > 1) {
            job.EndPage();
            if (!newPage())
                return failDocument(job);
        }
        const PageSurface surface = job.hDC();
        const int next = body.renderMm(s0, rect, dpi, draw ? surface.painter : nullptr);
        if (next <= s0)
            break;   // nothing placed: never loop
        s0 = next;
    }
    return finishDocument(job);
}

bool printReceipt(PrintJob& job, const VisitPrintView& v, const PrintOptions& options, const Settings& s,
                  bool letterhead)
{
    LetterheadPage page(job, options, s, letterhead);
    if (!page.start())
        return failDocument(job);
    const QString sexAge = sexText(v) + QStringLiteral(", ") + ageText(v.TxtPatAgeYrs, v.TxtPatAgeMnths, v.TxtPatAgeDays);
    page.rightPanel(v, 20);
    job.Say(20, 10, QStringLiteral("Received from ") + patientName(v) + QStringLiteral(", ") + sexAge);
    job.Say(30, 10, QStringLiteral(" the sum of ") + options.currencyText.trimmed() + QLatin1Char(' ') +
                        amountInWords(v.TxtPatFees, s.MNUMFORMAT, options.hundredthText) + QStringLiteral(" *** "));
    job.Say(40, 10, QStringLiteral(" against ") + v.TxtPatNote.trimmed());

    // The amount in figures in a box measured around its text.
    const QString figure = receiptFigure(v.TxtPatFees, options.currencySymbol, s);
    std::array<double, 2> size{};
    job.GetTextExtent_mm(figure, size, kF0);
    job.SelectPen(QStringLiteral("p0"));
    job.RoundRect(50, 10, 50 + size[0] + 2, 10 + size[1] + 4, 1, 1);
    job.Say(52, 12, figure, kF0);
    job.Say(60, 100, s.MCOMPANY.trimmed());
    return finishDocument(job);
}

bool printLetterheadPage(PrintJob& job, const Letterhead& lh, const QString& doctor)
{
    beginDocument(job, QStringLiteral("Curanote 1.0 - Letterhead"), false);
    if (!job.StartPage())
        return failDocument(job);
    job.SetTextAlign(PrintJob::AlignLeft);
    drawLetterhead(job, lh, doctor, true);
    return finishDocument(job);
}

} // namespace cn
