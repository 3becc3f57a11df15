// curanote-data rtf: show a stored prescription as text, RTF or HTML.
#include "tools/command.h"
#include "visits/rtf/rtf.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// Plain text with list markers, which QTextDocument::toPlainText leaves out.
QString plainWithBullets(const QTextDocument& doc)
{
    QString out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b != doc.begin())
            out += u'\n';
        if (const QTextList* l = b.textList())
            out += cn::rtf::hasBullet(b) ? QStringLiteral("\u2022 ") : l->itemText(b) + u' ';
        QString t = b.text();
        t.replace(QChar::LineSeparator, u'\n');
        t.replace(QChar::Nbsp, u' ');
        out += t;
    }
    return out;
}

int runRtf(const std::vector<std::string>& args)
{
    std::string file;
    std::string mode = "--text";
    for (const std::string& a : args) {
        if (a == "--text" || a == "--rtf" || a == "--html")
            mode = a;
        else if (file.empty() && !a.starts_with("--"))
            file = a;
        else {
            std::fprintf(stderr, "curanote-data rtf: unexpected argument '%s'\n", a.c_str());
            return 2;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: curanote-data rtf FILE [--text | --rtf | --html]\n");
        return 2;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "curanote-data rtf: cannot open '%s'\n", file.c_str());
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    // Fonts need a GUI application; no display is needed for that.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "curanote-data";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    QTextDocument doc;
    // The prescription editor's own font, for text that names none.
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 12));
    const cn::rtf::ReadResult r = cn::rtf::read(QByteArrayView(bytes.data(), qsizetype(bytes.size())), &doc);
    if (r.damaged)
        std::fprintf(stderr, "curanote-data rtf: '%s' is damaged; showing what could be read\n", file.c_str());

    QByteArray out;
    if (mode == "--rtf")
        out = cn::rtf::write(doc);
    else if (mode == "--html")
        out = doc.toHtml().toUtf8();
    else
        out = plainWithBullets(doc).toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    return 0;
}

const cn::tool::Register reg({"rtf", "  curanote-data rtf FILE [--text | --rtf | --html]", runRtf});

} // namespace
