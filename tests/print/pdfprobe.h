#pragma once
// Reading printed PDF files back for tests: the words with their boxes in
// millimetres (pdftotext -bbox), the page count, the fonts, and a page
// rendered to grey pixels at 10 pixels per millimetre (pdftoppm).
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace cn::test {

struct PdfWord {
    int page = 0;           // 1-based
    QString text;
    double left = 0, top = 0, right = 0, bottom = 0;   // mm from the sheet's top-left
};

struct PdfText {
    QVector<QSizeF> pageSizes;   // mm
    QVector<PdfWord> words;
    // The first word with this text (on any page when page is 0).
    std::optional<PdfWord> find(const QString& text, int page = 0) const;
};

PdfText readPdfText(const QString& path);
QStringList pdfFonts(const QString& path);

// A page as grey levels (0 black .. 255 white), 10 pixels per millimetre.
struct PdfRaster {
    int width = 0, height = 0;
    QByteArray grey;
    bool isNull() const { return width == 0; }
    int at(int x, int y) const;                 // 255 outside the page
    // True when a pixel within `slack` of (row, col) mm is darker than 128.
    bool darkNear(double rowMm, double colMm, int slack = 1) const;
    // Number of dark pixels in the box (row, col mm; inclusive pixels).
    int darkIn(double top, double left, double bottom, double right) const;
};
constexpr double kRasterPxPerMm = 10.0;
PdfRaster rasterPage(const QString& path, int page = 1);

} // namespace cn::test
