// The RTF reader fed arbitrary bytes, then the writer on what it read, and
// the reader again on what was written: no crash, no hang, and the written
// RTF must read back to the same paragraphs.
#include "visits/rtf/rtf.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

namespace {

QStringList paragraphs(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        out << b.text();
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
    if (!r.rtf || r.damaged || paragraphs(back) != paragraphs(doc))
        std::abort();
    return 0;
}
