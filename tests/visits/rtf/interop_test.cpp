// What we write opens in other programs with the same text and formats: a
// word processor (headless conversion to HTML) and an RTF-to-HTML converter.
// Their HTML is read back through Qt's HTML import to check the formats.
#include "rtf_test_util.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rtftest;

namespace {

// Lines of text as a reader sees them: bullets, blank lines and runs of
// blanks left out, since each program lays those out its own way.
QStringList normalisedLines(QString text)
{
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QChar::Nbsp, u' ');
    text.remove(QChar(0x2022));
    QStringList out;
    for (QString line : text.split(u'\n')) {
        line = line.simplified();
        if (!line.isEmpty())
            out << line;
    }
    return out;
}

QString fromHtmlFile(const QString& path, QTextDocument* doc)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // Qt's HTML import knows strike-out only by its short tag, and lets an
    // inner "text-decoration: none" cancel an outer strike-out, which in a
    // browser it cannot: both differences are taken out here.
    QString html = QString::fromUtf8(f.readAll());
    html.replace(QRegularExpression("<(/?)strike>", QRegularExpression::CaseInsensitiveOption), "<\\1s>");
    html.remove(QRegularExpression("text-decoration:\\s*none;?"));
    doc->setHtml(html);
    return doc->toPlainText();
}

void checkEditorFormats(const QTextDocument& d, const std::string& who)
{
    auto alignOf = [&](const char* t) { return blockWith(d, t).blockFormat().alignment() & Qt::AlignHorizontal_Mask; };
    EXPECT_GE(formatAt(d, "Rx").fontWeight(), QFont::DemiBold) << who;
    EXPECT_TRUE(alignOf("Rx") & Qt::AlignHCenter) << who;
    EXPECT_EQ(formatAt(d, "1-0-1").foreground().color(), QColor(255, 0, 0)) << who;
    EXPECT_EQ(formatAt(d, "10 ml").foreground().color(), QColor(0, 128, 0)) << who;
    EXPECT_TRUE(formatAt(d, "italic").fontItalic()) << who;
    EXPECT_FALSE(formatAt(d, "under").fontItalic()) << who;
    EXPECT_TRUE(formatAt(d, "under").fontUnderline()) << who;
    EXPECT_TRUE(formatAt(d, "struck").fontStrikeOut()) << who;
    EXPECT_EQ(formatAt(d, "marked").background().color(), QColor(255, 255, 0)) << who;
    EXPECT_FALSE(formatAt(d, "italic").hasProperty(QTextFormat::BackgroundBrush)) << who;
    EXPECT_TRUE(alignOf("italic") & Qt::AlignRight) << who;
    EXPECT_TRUE(alignOf("Café") & Qt::AlignJustify) << who;
    EXPECT_LT(formatAt(d, "Paracetamol").fontWeight(), QFont::DemiBold) << who;
}

} // namespace

TEST(RtfInterop, WordProcessorOpensWhatWeWrite)
{
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed (Debian package libreoffice-writer-nogui)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir("in");

    // The editor's document and every corpus document, as we write them,
    // converted in one run of the word processor.
    std::map<QString, QStringList> expected;
    auto store = [&](const QString& name, const QTextDocument& doc) {
        QFile f(dir.filePath("in/" + name + ".rtf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(cn::rtf::write(doc));
        expected[name] = normalisedLines(doc.toPlainText());
    };
    const auto editor = editorDocument();
    store("editor", *editor);
    for (const QString& f : QDir(QStringLiteral(CURANOTE_TEST_DATA "/rtf")).entryList({"*.rtf"}, QDir::Files)) {
        const Loaded l = load(corpusFile(f));
        store("corpus_" + QFileInfo(f).completeBaseName(), *l.doc);
    }
    QStringList args{"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless", "--convert-to",
                     "html", "--outdir", dir.filePath("out")};
    for (const auto& [name, lines] : expected)
        args << dir.filePath("in/" + name + ".rtf");
    QProcess p;
    p.start(soffice, args);
    ASSERT_TRUE(p.waitForFinished(300000)) << "word processor did not finish";

    for (const auto& [name, lines] : expected) {
        QTextDocument html;
        const QString text = fromHtmlFile(dir.filePath("out/" + name + ".html"), &html);
        EXPECT_EQ(normalisedLines(text), lines) << name.toStdString();
    }
    QTextDocument d;
    fromHtmlFile(dir.filePath("out/editor.html"), &d);
    checkEditorFormats(d, "word processor");
    // Bullets come back as a list, shown once.
    const QTextBlock item = blockWith(d, "Paracetamol");
    ASSERT_TRUE(item.isValid());
    EXPECT_NE(item.textList(), nullptr);
    EXPECT_EQ(item.textList(), blockWith(d, "Cough").textList());
    EXPECT_FALSE(item.text().contains(QChar(0x2022)));
    EXPECT_EQ(blockWith(d, "italic").textList(), nullptr);
}

TEST(RtfInterop, ConverterReadsWhatWeWrite)
{
    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf is not installed (Debian package unrtf)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto editor = editorDocument();
    QFile f(dir.filePath("editor.rtf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cn::rtf::write(*editor));
    f.close();
    QProcess p;
    p.setStandardOutputFile(dir.filePath("editor.html"));
    p.start(unrtf, {"--html", dir.filePath("editor.rtf")});
    ASSERT_TRUE(p.waitForFinished(60000));
    QTextDocument d;
    const QString text = fromHtmlFile(dir.filePath("editor.html"), &d);
    EXPECT_EQ(normalisedLines(text), normalisedLines(editor->toPlainText()));
    checkEditorFormats(d, "converter");
    // This converter shows bullets as text: exactly one before each item.
    const QStringList lines = text.split(u'\n');
    for (const char* item : {"Paracetamol", "Cough"}) {
        const auto at = std::find_if(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(item); });
        ASSERT_NE(at, lines.end()) << item;
        EXPECT_TRUE(at->trimmed().startsWith(QChar(0x2022))) << item;
        EXPECT_EQ(at->count(QChar(0x2022)), 1) << item;
    }
    EXPECT_EQ(text.count(QChar(0x2022)), 2);
}
