// Workloads for the rich-text codec: reading and writing a prescription of
// the editor's full 1,500 characters and a document of about 1 MB.
#include "bench/bench.h"
#include "visits/rtf/rtf.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>

namespace {

void ensureApp()
{
    if (QCoreApplication::instance())
        return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "curanote-bench";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

// RTF as a prescription looks when the editor writes it: a centred title,
// bulleted medicines with coloured doses, advice in italics and so on,
// repeated until the text has `chars` characters.
QByteArray prescriptionRtf(int chars)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}"
                     "{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\fnil\\fcharset0 Times New Roman;}}\r\n"
                     "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
                     "\\pard\\qc\\f0\\fs28\\b Rx\\b0\\fs24\\par\r\n";
    int text = 2;
    for (int i = 0; text < chars; ++i) {
        QByteArray para;
        switch (i % 4) {
        case 0:
            para = "\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}\\fi-320\\li640 "
                   "Tab. Paracetamol 500 mg \\cf1 1-0-1\\cf0  after meals for five days\\par\r\n";
            text += 52;
            break;
        case 1:
            para = "\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}\\fi-320\\li640 "
                   "Syp. Cough \\cf2 10 ml\\cf0  at night, \\b shake well\\b0\\par\r\n";
            text += 40;
            break;
        case 2:
            para = "\\pard\\li640\\i Advice: drink plenty of water, rest; temperature 101\\'b0F \\'96 "
                   "review after 5 days.\\i0\\par\r\n";
            text += 78;
            break;
        default:
            para = "\\pard\\qj\\f2\\fs20 Complaints: fever, headache and body ache since three days; "
                   "no vomiting. \\ul Caf\\'e9\\ulnone  \\strike Ibuprofen\\strike0\\f0\\fs24\\par\r\n";
            text += 90;
            break;
        }
        rtf += para;
    }
    rtf += "}\r\n";
    return rtf;
}

void runRead(const cn::bench::Context& ctx)
{
    ensureApp();
    const QByteArray small = prescriptionRtf(1500);
    const QByteArray large = prescriptionRtf(ctx.quick ? 100000 : 470000);   // ~1 MB of RTF at full size
    QTextDocument doc;
    const int reps = ctx.quick ? 50 : 500;
    const double smallS = cn::bench::timeIt([&] {
        for (int i = 0; i < reps; ++i)
            cn::rtf::read(small, &doc);
    });
    const int chars = doc.characterCount();
    const double largeS = cn::bench::timeIt([&] { cn::rtf::read(large, &doc); });
    std::printf("rtf_read small_ms=%.3f small_chars=%d large_s=%.3f large_bytes=%lld MB_per_s=%.2f\n",
                smallS * 1000 / reps, chars - 1, largeS, static_cast<long long>(large.size()),
                large.size() / 1e6 / std::max(largeS, 1e-9));
    std::fflush(stdout);
}

void runWrite(const cn::bench::Context& ctx)
{
    ensureApp();
    QTextDocument small;
    cn::rtf::read(prescriptionRtf(1500), &small);
    QTextDocument large;
    cn::rtf::read(prescriptionRtf(ctx.quick ? 100000 : 470000), &large);
    const int reps = ctx.quick ? 50 : 500;
    qsizetype sink = 0;
    const double smallS = cn::bench::timeIt([&] {
        for (int i = 0; i < reps; ++i)
            sink += cn::rtf::write(small).size();
    });
    QByteArray out;
    const double largeS = cn::bench::timeIt([&] { out = cn::rtf::write(large); });
    std::printf("rtf_write small_ms=%.3f large_s=%.3f large_bytes=%lld MB_per_s=%.2f\n", smallS * 1000 / reps, largeS,
                static_cast<long long>(out.size()), out.size() / 1e6 / std::max(largeS, 1e-9));
    std::fflush(stdout);
    if (sink < 0)
        std::printf("%lld\n", static_cast<long long>(sink));
}

const cn::bench::Register readReg("rtf_read", runRead);
const cn::bench::Register writeReg("rtf_write", runWrite);

} // namespace
