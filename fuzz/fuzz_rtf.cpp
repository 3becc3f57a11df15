// The RTF reader fed arbitrary bytes, then the writer on what it read, and
// the reader again on what was written: no crash, no hang, and the written
// RTF must read back to the same text and formats.
#include "visits/rtf/rtf.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Text and the formats the codec keeps; a run without a face or size of its
// own shows in the document's default font.
QString signature(const QTextDocument& doc)
{
    QString out = QString::number(cn::rtf::defaultTab(doc));
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const cn::rtf::Indents ind = cn::rtf::indents(b);
        const QTextList* list = b.textList();
        Qt::Alignment a = b.blockFormat().alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
        if (a == 0 || a == Qt::AlignLeading)
            a = Qt::AlignLeft;
        const cn::rtf::LineSpacing sl = cn::rtf::lineSpacing(b.blockFormat());
        QString tabs;
        for (const cn::rtf::TabStop& t : cn::rtf::tabStops(b))
            tabs += QStringLiteral("%1:%2,").arg(t.position).arg(int(t.type));
        out += QStringLiteral("\nP%1 %2 %3 %4 %5 %6:%7 %8|").arg(int(a)).arg(ind.left).arg(ind.right).arg(ind.firstLine)
                   .arg(list ? int(list->format().style()) : 0).arg(int(sl.rule)).arg(sl.value).arg(tabs);
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            QString face = cf.fontFamilies().toStringList().value(0);
            if (face.isEmpty())
                face = doc.defaultFont().family();
            const qreal size = cf.fontPointSize() > 0 ? cf.fontPointSize() : doc.defaultFont().pointSizeF();
            out += QStringLiteral("[%1|%2|%3|%4%5%6%7|%8|%9|%10]")
                       .arg(f.text(), face)
                       .arg(size)
                       .arg(cf.fontWeight() >= QFont::DemiBold)
                       .arg(cf.fontItalic())
                       .arg(cf.fontUnderline())
                       .arg(cf.fontStrikeOut())
                       .arg(cf.hasProperty(QTextFormat::ForegroundBrush) ? cf.foreground().color().name() : "auto")
                       .arg(cf.hasProperty(QTextFormat::BackgroundBrush) ? cf.background().color().name() : "none")
                       .arg(int(cf.verticalAlignment()));
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    QTextDocument doc;
    cn::rtf::read(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), &doc);
    const QByteArray rtf = cn::rtf::write(doc);
    QTextDocument back;
    const cn::rtf::ReadResult r = cn::rtf::read(rtf, &back);
    const QString before = signature(doc);
    const QString after = signature(back);
    if (!r.rtf || r.damaged || before != after) {
        std::fprintf(stderr, "rtf=%d damaged=%d\nread:%s\n\nread back:%s\n\nwritten:\n%s\n", r.rtf, r.damaged, qPrintable(before), qPrintable(after),
                     rtf.constData());
        std::abort();
    }
    return 0;
}
