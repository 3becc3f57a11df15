#pragma once
// One print job: every printout draws its pages through this object, in
// millimetres, row downwards from the top edge of the sheet and column
// rightwards from its left edge. A job either prints as it goes or collects
// its pages for the preview window, which prints or saves them on request.
//
// Typical use:
//     PrintJob job;
//     if (!job.SelectPrinter({}, preview)) return;   // cancelled: stop silently
//     job.DefineFont("f0", "arial", 12);
//     job.SelectFont("f0");
//     job.StartDoc("Print"); job.StartPage();
//     job.Say(20, 10, "Received from ...");
//     job.EndPage(); job.EndDoc(); job.End();
#include "app/settings.h"
#include "print/printdialogs.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPageSize>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QPrinter>
#include <QRectF>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class QWidget;

namespace cn {

class PrintedPages;

// The drawing surface of the current page, for painting that the job does not
// do itself (rich text). The painter works in device units with its origin at
// the top-left corner of the sheet; a user may scale or clip it but must
// leave its state as found (save/restore), and must combine transforms with
// the current one rather than replace it.
struct PageSurface {
    QPainter* painter = nullptr;   // null when no page is open
    int dpi = 0;                   // device dots per inch
    double dotsPerMm = 0;
    QPointF originMm;              // the job's origin: x = column, y = row

    bool isValid() const { return painter != nullptr; }
    // Device point of a position (row, col) in mm relative to the origin.
    QPointF toDevice(double row, double col) const;
    // Device rectangle of a box in mm relative to the origin.
    QRectF toDevice(double top, double left, double bottom, double right) const;
};

// What ModifyFont changes; an empty field leaves that property as it is.
struct FontChange {
    std::optional<QString> face;
    std::optional<double> size;     // points
    std::optional<double> width;    // average character width in points, 0 natural
    std::optional<double> angle;    // degrees, 90 = text running upwards
    std::optional<bool> bold, italic, underline, strikeOut;
};

class PrintJob {
public:
    enum Orientation { Portrait = 1, Landscape = 2 };
    enum TextAlign { AlignLeft = 0, AlignRight = 2, AlignCenter = 6 };
    enum PrintError {
        NoError = 0,
        Cancelled = 1,        // the printer dialog was cancelled
        NoSuchPrinter = 2,    // a printer asked for by name is not installed
        CannotOpen = 3,       // the printer or output file could not be opened
    };

    PrintJob();
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // --- choosing the printer --------------------------------------------
    // An empty name opens the printer dialog (installed printers and PDF
    // file); otherwise the installed printer of that name. `preview` collects
    // the pages for the preview window instead of printing them. Returns
    // false, with Error() non-zero, when no printer was obtained.
    bool SelectPrinter(const QString& printer = {}, bool preview = false,
                       QWidget* parent = nullptr);
    // Sends the job straight to a PDF file, without a dialog.
    bool SelectPdf(const QString& path, bool preview = false);
    int Error() const { return error_; }
    // The page range chosen in the printer dialog: 1 and 0 when none
    // (0 = no upper bound).
    int nFromPage() const { return fromPage_; }
    int nToPage() const { return toPage_; }
    bool IsPreview() const { return preview_; }
    QPrinter& printer() { return *printer_; }

    // --- page set-up -------------------------------------------------------
    void SetPage(Orientation orientation, QPageSize::PageSizeId paper = QPageSize::A4,
                 QPrinter::PaperSource slot = QPrinter::Auto);
    // 1 = millimetres, the only unit the job works in; anything else is
    // refused.
    bool SetUnits(int units);
    // Later positions are relative to (row, col) mm from the sheet's corner.
    void SetViewPortOrg(double row, double col);
    double ViewPortRow() const { return origin_.y(); }
    double ViewPortCol() const { return origin_.x(); }
    // Printable height and width in mm less 1; printouts may reduce them.
    double MaxRow() const { return maxRow_; }
    double MaxCol() const { return maxCol_; }
    void SetMaxRow(double mm) { maxRow_ = mm; }
    void SetMaxCol(double mm) { maxCol_ = mm; }
    void SetPreviewThumbnails(bool on) { previewOptions_.thumbnails = on; }
    void SetPreviewGeometry(const QRect& r) { previewOptions_.geometry = r; }

    // --- document and pages ----------------------------------------------
    bool StartDoc(const QString& title);
    bool StartPage();
    bool EndPage();
    // Finishes the document: prints it, or in preview mode opens the preview
    // with the pages collected (none collected: no preview).
    bool EndDoc();
    // Releases the job; an unfinished document is finished first (printed or
    // previewed). A job destroyed without End only closes its output.
    void End();
    int PageCount() const { return pageCount_; }
    bool PageOpen() const { return pageOpen_; }

    // --- fonts, pens, colours --------------------------------------------
    bool DefineFont(const QString& slot, const QString& face, double size, double width = 0,
                    double angle = 0, bool bold = false, bool italic = false,
                    bool underline = false, bool strikeOut = false);
    // Changes a slot in place; a selected slot stays selected.
    bool ModifyFont(const QString& slot, const FontChange& change);
    // Face, size, bold, italic and underline of a font record, strike-out off
    // (the colour is the caller's: see colourOf).
    bool ModifyFont(const QString& slot, const FontRecord& record);
    bool SelectFont(const QString& slot);
    // Width in mm; 0 draws one device unit wide.
    bool DefinePen(const QString& slot, Qt::PenStyle style, double width, const QColor& colour);
    bool ModifyPen(const QString& slot, std::optional<Qt::PenStyle> style,
                   std::optional<double> width, std::optional<QColor> colour);
    bool SelectPen(const QString& slot);
    void SetTextColor(const QColor& colour) { textColour_ = colour; }
    QColor TextColor() const { return textColour_; }
    // 0 left, 2 right end at the point, 6 centred on the point.
    void SetTextAlign(int align);
    static QColor colourOf(const FontRecord& record);
    // The font a slot stands for (the current font for an empty or unknown
    // name), sized for the printer.
    QFont slotFont(const QString& slot = {}) const;

    // --- drawing ---------------------------------------------------------
    // Text from the point (row, col): its baseline lies one ascent of the
    // job's default font (Arial 12) below the point, in the text's own
    // direction; each line break starts a new line one line spacing further.
    // An empty slot or colour means the current one.
    bool Say(double row, double col, const QString& text, const QString& slot = {},
             std::optional<QColor> colour = {}, std::optional<int> align = {});
    // size[0] = height, size[1] = width of the text in mm in that slot's font
    // (along the text for a rotated font).
    void GetTextExtent_mm(const QString& text, std::array<double, 2>& size,
                          const QString& slot = {}) const;
    // Outlines in the current pen; a line whose ends coincide draws nothing.
    bool Line(double row1, double col1, double row2, double col2);
    // w x h is the corner ellipse in mm.
    bool RoundRect(double row1, double col1, double row2, double col2, double w, double h);
    // The current page's drawing surface (invalid when no page is open).
    PageSurface hDC();

    // The pages collected in preview mode (for the preview window and tests).
    std::shared_ptr<const PrintedPages> collectedPages() const;
    // Device dots per mm of the chosen printer.
    double dotsPerMm() const;

private:
    struct FontSlot {
        QString face;
        double size = 12, width = 0, angle = 0;
        bool bold = false, italic = false, underline = false, strikeOut = false;
    };
    struct PenSlot {
        Qt::PenStyle style = Qt::SolidLine;
        double width = 0;
        QColor colour = Qt::black;
    };

    void resetPrinter();
    void takePrinterSettings();
    QFont makeFont(const FontSlot& f) const;
    const FontSlot& fontFor(const QString& slot) const;
    QPen penFor(const PenSlot& p) const;
    QPointF toDevice(double row, double col) const;
    QPaintDevice* pageDevice() const;

    std::unique_ptr<QPrinter> printer_;
    int error_ = NoError;
    int fromPage_ = 1, toPage_ = 0;
    bool preview_ = false;
    bool selected_ = false;
    PreviewOptions previewOptions_;

    QPointF origin_;          // x = col, y = row
    double maxRow_ = 0, maxCol_ = 0;

    QHash<QString, FontSlot> fonts_;
    QHash<QString, PenSlot> pens_;
    QString currentFont_;      // empty: the default font
    QString currentPen_ = QStringLiteral("p0");
    FontSlot defaultFont_;
    QColor textColour_ = Qt::black;
    int align_ = AlignLeft;

    QString title_;
    bool docStarted_ = false;
    bool pageOpen_ = false;
    int pageCount_ = 0;
    QPainter painter_;
    std::shared_ptr<PrintedPages> pages_;
};

} // namespace cn
