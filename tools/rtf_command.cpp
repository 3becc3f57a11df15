// curanote-data rtf: show a stored prescription as text, RTF or HTML.
#include "tools/command.h"
#include "tools/gui_app.h"
#include "visits/rtf/rtf.h"

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

int run(cn::tool::Invocation& inv)
{
    const std::string file = inv.files().front();
    if (int(inv.has("--text")) + int(inv.has("--rtf")) + int(inv.has("--html")) > 1)
        return inv.usageError("--text, --rtf and --html choose one form; give one of them");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return inv.fail("cannot open '" + file + "'");
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    cn::tool::ensureGuiApplication();

    QTextDocument doc;
    // The prescription editor's own font, for text that names none.
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 12));
    const cn::rtf::ReadResult r = cn::rtf::read(QByteArrayView(bytes.data(), qsizetype(bytes.size())), &doc);

    QByteArray out;
    if (inv.has("--rtf"))
        out = cn::rtf::write(doc);
    else if (inv.has("--html"))
        out = doc.toHtml().toUtf8();
    else
        out = plainWithBullets(doc).toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    if (r.damaged)
        return inv.fail("'" + file + "' is damaged; what could be read is shown above");
    return 0;
}

const cn::tool::Register reg(cn::tool::Command("rtf", "FILE [--text | --rtf | --html]",
    "Shows a stored prescription (RTF or plain text) as text, RTF or HTML.")
    .describe("      --text (the default) gives the text with list markers; --rtf the RTF\n"
              "      the program would write for it; --html the document as HTML.")
    .option("--text", "", "plain text (the default)")
    .option("--rtf", "", "RTF as the program writes it")
    .option("--html", "", "HTML")
    .takesFiles(1, 1, "file")
    .runs(run));

} // namespace
