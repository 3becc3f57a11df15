#include "print/printjob.h"

#include "print/printedpages.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPrinterInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace cn {

namespace {
constexpr double kMmPerInch = 25.4;
constexpr double kPointsPerInch = 72.0;

QStringList splitLines(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return text.split(breaks);
}
} // namespace

// --- PageSurface -----------------------------------------------------------

QPointF PageSurface::toDevice(double row, double col) const
{
    return QPointF((originMm.x() + col) * dotsPerMm, (originMm.y() + row) * dotsPerMm);
}

QRectF PageSurface::toDevice(double top, double left, double bottom, double right) const
{
    return QRectF(toDevice(top, left), toDevice(bottom, right)).normalized();
}

// --- set-up ------------------------------------------------------------------

PrintJob::PrintJob()
{
    defaultFont_.face = QStringLiteral("Arial");
    defaultFont_.size = 12;
    pens_.insert(QStringLiteral("p0"), PenSlot{});
    resetPrinter();
}

// A job dropped without End closes its output but opens no preview.
PrintJob::~PrintJob()
{
    if (painter_.isActive())
        painter_.end();
}

void PrintJob::resetPrinter()
{
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setFullPage(true);
    printer_->setPageSize(QPageSize(QPageSize::A4));
    printer_->setPageOrientation(QPageLayout::Portrait);
}

// The printable extent and page range of the printer just chosen.
void PrintJob::takePrinterSettings()
{
    printer_->setFullPage(true);
    // The printable area: the sheet less the printer's unprintable edges.
    QPageLayout layout = printer_->pageLayout();
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(layout.minimumMargins());
    const QSizeF printable = layout.paintRect(QPageLayout::Millimeter).size();
    maxRow_ = printable.height() - 1;
    maxCol_ = printable.width() - 1;
    if (printer_->printRange() == QPrinter::PageRange && printer_->fromPage() > 0) {
        fromPage_ = printer_->fromPage();
        toPage_ = printer_->toPage();
    } else {
        fromPage_ = 1;
        toPage_ = 0;
    }
}

bool PrintJob::SelectPrinter(const QString& printer, bool preview, QWidget* parent)
{
    End();
    selected_ = false;
    preview_ = preview;
    fromPage_ = 1;
    toPage_ = 0;
    resetPrinter();
    if (printer.isEmpty()) {
        printer_->setFromTo(0, 0);
        if (!printDialogs().choosePrinter(*printer_, parent)) {
            error_ = Cancelled;
            return false;
        }
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
        if (info.isNull()) {
            error_ = NoSuchPrinter;
            return false;
        }
        printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    error_ = NoError;
    selected_ = true;
    takePrinterSettings();
    return true;
}

bool PrintJob::SelectPdf(const QString& path, bool preview)
{
    End();
    preview_ = preview;
    resetPrinter();
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(path);
    error_ = NoError;
    selected_ = true;
    takePrinterSettings();
    return true;
}

void PrintJob::SetPage(Orientation orientation, QPageSize::PageSizeId paper,
                       QPrinter::PaperSource slot)
{
    if (docStarted_)
        return;   // the paper of a started document stays as it is
    printer_->setPageSize(QPageSize(paper));
    printer_->setPageOrientation(orientation == Landscape ? QPageLayout::Landscape
                                                          : QPageLayout::Portrait);
    if (slot != QPrinter::Auto)
        printer_->setPaperSource(slot);
    const int from = fromPage_, to = toPage_;
    takePrinterSettings();
    fromPage_ = from;
    toPage_ = to;
}

bool PrintJob::SetUnits(int units) { return units == 1; }

void PrintJob::SetViewPortOrg(double row, double col) { origin_ = QPointF(col, row); }

double PrintJob::dotsPerMm() const { return printer_->resolution() / kMmPerInch; }

QPointF PrintJob::toDevice(double row, double col) const
{
    const double d = dotsPerMm();
    return QPointF((origin_.x() + col) * d, (origin_.y() + row) * d);
}

// --- document and pages -----------------------------------------------------

bool PrintJob::StartDoc(const QString& title)
{
    if (!selected_ || error_ != NoError || docStarted_)
        return false;
    title_ = title;
    printer_->setDocName(title);
    docStarted_ = true;
    pageCount_ = 0;
    if (preview_) {
        previewOptions_.printerName =
            printer_->outputFormat() == QPrinter::NativeFormat ? printer_->printerName()
                                                               : QString();
        previewOptions_.outputFileName = printer_->outputFileName();
        pages_ = std::make_shared<PrintedPages>(title, printer_->pageLayout(),
                                                printer_->resolution());
    }
    return true;
}

bool PrintJob::StartPage()
{
    if (!docStarted_)
        return false;
    if (pageOpen_)
        EndPage();
    if (preview_) {
        if (!painter_.begin(&pages_->addPage())) {
            pages_->dropLastPage();
            error_ = CannotOpen;
            return false;
        }
    } else if (!painter_.isActive()) {
        // The printer is opened at the first page, so that a document without
        // pages prints nothing at all.
        if (!painter_.begin(printer_.get())) {
            error_ = CannotOpen;
            return false;
        }
    } else if (!printer_->newPage()) {
        error_ = CannotOpen;
        return false;
    }
    pageOpen_ = true;
    ++pageCount_;
    return true;
}

bool PrintJob::EndPage()
{
    if (!pageOpen_)
        return false;
    pageOpen_ = false;
    if (preview_)
        painter_.end();
    return true;
}

bool PrintJob::EndDoc()
{
    if (!docStarted_)
        return false;
    if (pageOpen_)
        EndPage();
    docStarted_ = false;
    bool ok = true;
    if (preview_) {
        if (pages_ && pages_->pageCount() > 0)
            printDialogs().showPreview(pages_, previewOptions_);
    } else if (painter_.isActive()) {
        ok = painter_.end();
        if (!ok)
            error_ = CannotOpen;
    }
    return ok;
}

void PrintJob::End()
{
    if (docStarted_)
        EndDoc();
    if (painter_.isActive())
        painter_.end();
    pageOpen_ = false;
    docStarted_ = false;
}

std::shared_ptr<const PrintedPages> PrintJob::collectedPages() const { return pages_; }

// --- fonts, pens, colours ---------------------------------------------------

bool PrintJob::DefineFont(const QString& slot, const QString& face, double size, double width,
                          double angle, bool bold, bool italic, bool underline, bool strikeOut)
{
    if (slot.isEmpty())
        return false;
    FontSlot f;
    f.face = face;
    f.size = size > 0 ? size : 12;
    f.width = std::max(width, 0.0);
    f.angle = angle;
    f.bold = bold;
    f.italic = italic;
    f.underline = underline;
    f.strikeOut = strikeOut;
    fonts_.insert(slot, f);
    return true;
}

bool PrintJob::ModifyFont(const QString& slot, const FontChange& c)
{
    auto it = fonts_.find(slot);
    if (it == fonts_.end())
        return false;
    FontSlot& f = *it;
    if (c.face && !c.face->trimmed().isEmpty())
        f.face = c.face->trimmed();
    if (c.size && *c.size > 0)
        f.size = *c.size;
    if (c.width && *c.width >= 0)
        f.width = *c.width;
    if (c.angle)
        f.angle = *c.angle;
    if (c.bold)
        f.bold = *c.bold;
    if (c.italic)
        f.italic = *c.italic;
    if (c.underline)
        f.underline = *c.underline;
    if (c.strikeOut)
        f.strikeOut = *c.strikeOut;
    return true;
}

bool PrintJob::ModifyFont(const QString& slot, const FontRecord& r)
{
    FontChange c;
    c.face = r.face;
    c.size = double(r.size);
    c.bold = r.bold;
    c.italic = r.italic;
    c.underline = r.underline;
    c.strikeOut = false;
    return ModifyFont(slot, c);
}

bool PrintJob::SelectFont(const QString& slot)
{
    if (!fonts_.contains(slot))
        return false;
    currentFont_ = slot;
    return true;
}

bool PrintJob::DefinePen(const QString& slot, Qt::PenStyle style, double width,
                         const QColor& colour)
{
    if (slot.isEmpty())
        return false;
    pens_.insert(slot, PenSlot{style, std::max(width, 0.0), colour});
    return true;
}

bool PrintJob::ModifyPen(const QString& slot, std::optional<Qt::PenStyle> style,
                         std::optional<double> width, std::optional<QColor> colour)
{
    auto it = pens_.find(slot);
    if (it == pens_.end())
        return false;
    if (style)
        it->style = *style;
    if (width)
        it->width = std::max(*width, 0.0);
    if (colour)
        it->colour = *colour;
    return true;
}

bool PrintJob::SelectPen(const QString& slot)
{
    if (!pens_.contains(slot))
        return false;
    currentPen_ = slot;
    return true;
}

void PrintJob::SetTextAlign(int align)
{
    if (align == AlignLeft || align == AlignRight || align == AlignCenter)
        align_ = align;
}

QColor PrintJob::colourOf(const FontRecord& r)
{
    return QColor(std::clamp(r.red, 0, 255), std::clamp(r.green, 0, 255),
                  std::clamp(r.blue, 0, 255));
}

const PrintJob::FontSlot& PrintJob::fontFor(const QString& slot) const
{
    const QString& name = slot.isEmpty() ? currentFont_ : slot;
    auto it = fonts_.constFind(name);
    if (it != fonts_.constEnd())
        return *it;
    it = fonts_.constFind(currentFont_);
    return it != fonts_.constEnd() ? *it : defaultFont_;
}

QFont PrintJob::makeFont(const FontSlot& f) const
{
    QFont font(f.face.isEmpty() ? QStringLiteral("Arial") : f.face);
    font.setPointSizeF(f.size);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    font.setKerning(true);
    if (f.width > 0) {
        // A width asks for an average character width in points: stretch the
        // face to it.
        const QFontMetricsF fm(font, printer_.get());
        const double natural = fm.averageCharWidth() * kPointsPerInch / printer_->resolution();
        if (natural > 0)
            font.setStretch(std::clamp(int(std::lround(100.0 * f.width / natural)), 1, 4000));
    }
    return font;
}

QFont PrintJob::slotFont(const QString& slot) const
{
    return QFont(makeFont(fontFor(slot)), printer_.get());
}

QPen PrintJob::penFor(const PenSlot& p) const
{
    QPen pen(p.colour);
    pen.setStyle(p.style);
    pen.setWidthF(p.width > 0 ? p.width * dotsPerMm() : 0.0);
    pen.setCosmetic(p.width <= 0);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// --- drawing ------------------------------------------------------------------

bool PrintJob::Say(double row, double col, const QString& text, const QString& slot,
                   std::optional<QColor> colour, std::optional<int> align)
{
    if (!pageOpen_)
        return false;
    const FontSlot& f = fontFor(slot);
    const int a = align.value_or(align_);
    painter_.save();
    painter_.resetTransform();
    painter_.setClipping(false);
    painter_.setFont(makeFont(f));
    painter_.setPen(colour.value_or(textColour_));
    const QFontMetricsF fm(painter_.font(), painter_.device());
    const QFontMetricsF defaultFm(makeFont(defaultFont_), painter_.device());
    painter_.translate(toDevice(row, col));
    painter_.rotate(-f.angle);
    double y = defaultFm.ascent();
    for (const QString& line : splitLines(text)) {
        const double w = fm.horizontalAdvance(line);
        const double x = a == AlignRight ? -w : a == AlignCenter ? -w / 2 : 0.0;
        if (!line.isEmpty())
            painter_.drawText(QPointF(x, y), line);
        y += fm.lineSpacing();
    }
    painter_.restore();
    return true;
}

void PrintJob::GetTextExtent_mm(const QString& text, std::array<double, 2>& size,
                                const QString& slot) const
{
    const QFontMetricsF fm(makeFont(fontFor(slot)), printer_.get());
    const QStringList lines = splitLines(text);
    double width = 0;
    for (const QString& line : lines)
        width = std::max(width, fm.horizontalAdvance(line));
    const double height = fm.height() + (lines.size() - 1) * fm.lineSpacing();
    const double d = dotsPerMm();
    size[0] = height / d;
    size[1] = width / d;
}

bool PrintJob::Line(double row1, double col1, double row2, double col2)
{
    if (!pageOpen_)
        return false;
    if (row1 == row2 && col1 == col2)
        return true;   // a line without length leaves no mark
    painter_.save();
    painter_.resetTransform();
    painter_.setClipping(false);
    painter_.setPen(penFor(pens_.value(currentPen_)));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawLine(toDevice(row1, col1), toDevice(row2, col2));
    painter_.restore();
    return true;
}

bool PrintJob::RoundRect(double row1, double col1, double row2, double col2, double w, double h)
{
    if (!pageOpen_)
        return false;
    const double d = dotsPerMm();
    const QRectF rect = QRectF(toDevice(row1, col1), toDevice(row2, col2)).normalized();
    painter_.save();
    painter_.resetTransform();
    painter_.setClipping(false);
    QPen pen = penFor(pens_.value(currentPen_));
    pen.setCapStyle(Qt::SquareCap);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRoundedRect(rect, std::max(w, 0.0) * d / 2, std::max(h, 0.0) * d / 2,
                             Qt::AbsoluteSize);
    painter_.restore();
    return true;
}

PageSurface PrintJob::hDC()
{
    PageSurface s;
    if (!pageOpen_)
        return s;
    s.painter = &painter_;
    s.dpi = printer_->resolution();
    s.dotsPerMm = dotsPerMm();
    s.originMm = origin_;
    return s;
}

} // namespace cn
