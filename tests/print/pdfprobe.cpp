#include "pdfprobe.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

namespace cn::test {

namespace {
constexpr double kMmPerPoint = 25.4 / 72.0;

QByteArray run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}
} // namespace

std::optional<PdfWord> PdfText::find(const QString& text, int page) const
{
    for (const PdfWord& w : words)
        if (w.text == text && (page == 0 || w.page == page))
            return w;
    return std::nullopt;
}

PdfText readPdfText(const QString& path)
{
    PdfText out;
    const QString html = QString::fromUtf8(run("pdftotext", {"-bbox", path, "-"}));
    static const QRegularExpression pageRe(
        QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">"));
    static const QRegularExpression wordRe(QStringLiteral(
        "<word xMin=\"([0-9.-]+)\" yMin=\"([0-9.-]+)\" xMax=\"([0-9.-]+)\" yMax=\"([0-9.-]+)\">([^<]*)</word>"));
    // Walk pages and words in document order.
    static const QRegularExpression anyRe(pageRe.pattern() + "|" + wordRe.pattern());
    auto it = anyRe.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        if (!m.captured(1).isEmpty()) {
            out.pageSizes.append(QSizeF(m.captured(1).toDouble() * kMmPerPoint,
                                        m.captured(2).toDouble() * kMmPerPoint));
        } else {
            PdfWord w;
            w.page = int(out.pageSizes.size());
            w.left = m.captured(3).toDouble() * kMmPerPoint;
            w.top = m.captured(4).toDouble() * kMmPerPoint;
            w.right = m.captured(5).toDouble() * kMmPerPoint;
            w.bottom = m.captured(6).toDouble() * kMmPerPoint;
            w.text = QTextDocumentFragment::fromHtml(m.captured(7)).toPlainText();
            out.words.append(w);
        }
    }
    return out;
}

QStringList pdfFonts(const QString& path)
{
    QStringList names;
    const QStringList lines = QString::fromUtf8(run("pdffonts", {path})).split('\n');
    for (int i = 2; i < lines.size(); ++i) {
        const QString name = lines[i].section(' ', 0, 0, QString::SectionSkipEmpty);
        if (!name.isEmpty())
            names << name.section('+', -1);   // drop the subset tag
    }
    return names;
}

int PdfRaster::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 255;
    return static_cast<unsigned char>(grey[y * width + x]);
}

bool PdfRaster::darkNear(double rowMm, double colMm, int slack) const
{
    const int x = int(colMm * kRasterPxPerMm + 0.5), y = int(rowMm * kRasterPxPerMm + 0.5);
    for (int dy = -slack; dy <= slack; ++dy)
        for (int dx = -slack; dx <= slack; ++dx)
            if (at(x + dx, y + dy) < 128)
                return true;
    return false;
}

int PdfRaster::darkIn(double top, double left, double bottom, double right) const
{
    int n = 0;
    for (int y = int(top * kRasterPxPerMm + 0.5); y <= int(bottom * kRasterPxPerMm + 0.5); ++y)
        for (int x = int(left * kRasterPxPerMm + 0.5); x <= int(right * kRasterPxPerMm + 0.5); ++x)
            n += at(x, y) < 128;
    return n;
}

PdfRaster rasterPage(const QString& path, int page)
{
    PdfRaster r;
    QTemporaryDir dir;
    const QString prefix = dir.filePath("page");
    // 254 dpi = 10 pixels per millimetre; thin lines are drawn at least one
    // pixel wide.
    run("pdftoppm", {"-r", "254", "-gray", "-aaVector", "no", "-thinlinemode", "solid",
                     "-f", QString::number(page), "-l", QString::number(page), "-singlefile",
                     path, prefix});
    QFile f(prefix + ".pgm");
    if (!f.open(QIODevice::ReadOnly))
        return r;
    const QByteArray data = f.readAll();
    // Binary PGM: "P5", width, height, maximum value, one whitespace, pixels.
    static const QRegularExpression header(QStringLiteral("^P5\\s+(\\d+)\\s+(\\d+)\\s+(\\d+)\\s"));
    const auto m = header.match(QString::fromLatin1(data.left(64)));
    if (!m.hasMatch())
        return r;
    r.width = m.captured(1).toInt();
    r.height = m.captured(2).toInt();
    r.grey = data.mid(m.capturedLength(), qsizetype(r.width) * r.height);
    if (r.grey.size() != qsizetype(r.width) * r.height)
        r = PdfRaster{};
    return r;
}

} // namespace cn::test
