#pragma once
// Helpers shared by the rich-text tests.
#include "visits/rtf/rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>

#include <memory>

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace rtftest {

inline void ensureApp()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "test_rtf";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

inline QByteArray corpusFile(const QString& name)
{
    QFile f(QStringLiteral(CURANOTE_TEST_DATA "/rtf/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

struct Loaded {
    std::unique_ptr<QTextDocument> doc = std::make_unique<QTextDocument>();
    cn::rtf::ReadResult result;
};

inline Loaded load(QByteArrayView bytes)
{
    ensureApp();
    Loaded l;
    l.result = cn::rtf::read(bytes, l.doc.get());
    return l;
}

inline QStringList paragraphs(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

inline QTextBlock blockWith(const QTextDocument& doc, const QString& needle)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.text().contains(needle))
            return b;
    }
    return {};
}

// The character format at the first occurrence of `needle`.
inline QTextCharFormat formatAt(const QTextDocument& doc, const QString& needle)
{
    const int at = doc.toPlainText().indexOf(needle);
    if (at < 0)
        return {};
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (at < b.position() || at >= b.position() + b.length())
            continue;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (at >= f.position() && at < f.position() + f.length())
                return f.charFormat();
        }
    }
    return {};
}

inline QString listKind(const QTextBlock& b)
{
    const QTextList* l = b.textList();
    if (!l)
        return QStringLiteral("none");
    switch (l->format().style()) {
    case QTextListFormat::ListDisc: return QStringLiteral("disc");
    case QTextListFormat::ListCircle: return QStringLiteral("circle");
    case QTextListFormat::ListSquare: return QStringLiteral("square");
    case QTextListFormat::ListDecimal: return QStringLiteral("decimal");
    default: return QStringLiteral("other");
    }
}

// Text and every format the codec keeps, one line per run and paragraph, for
// comparing documents.
inline QString describe(const QTextDocument& doc)
{
    QString out = QStringLiteral("deftab=%1\n").arg(cn::rtf::defaultTab(doc));
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat bf = b.blockFormat();
        const cn::rtf::Indents ind = cn::rtf::indents(b);
        // Left is left whether stated or not.
        Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
        if (a == 0 || a == Qt::AlignLeading)
            a = Qt::AlignLeft;
        QStringList tabs;
        for (const cn::rtf::TabStop& t : cn::rtf::tabStops(b))
            tabs << QStringLiteral("%1:%2").arg(t.position).arg(int(t.type));
        const cn::rtf::LineSpacing sl = cn::rtf::lineSpacing(bf);
        out += QStringLiteral("P align=%1 li=%2 ri=%3 fi=%4 list=%5 sb=%6 sa=%7 sl=%8:%9 tabs=%10\n")
                   .arg(int(a))
                   .arg(ind.left).arg(ind.right).arg(ind.firstLine).arg(listKind(b))
                   .arg(cn::rtf::pixelsToTwips(bf.topMargin())).arg(cn::rtf::pixelsToTwips(bf.bottomMargin()))
                   .arg(int(sl.rule)).arg(sl.value)
                   .arg(tabs.join(u','));
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            const bool colored = cf.hasProperty(QTextFormat::ForegroundBrush);
            const bool highlighted = cf.hasProperty(QTextFormat::BackgroundBrush);
            out += QStringLiteral("  [%1] face=%2 pt=%3 b=%4 i=%5 u=%6 s=%7 c=%8 bg=%9 v=%10\n")
                       .arg(f.text(), cf.fontFamilies().toStringList().value(0))
                       .arg(cf.fontPointSize())
                       .arg(cf.fontWeight() >= QFont::DemiBold)
                       .arg(cf.fontItalic())
                       .arg(cf.fontUnderline())
                       .arg(cf.fontStrikeOut())
                       .arg(colored ? cf.foreground().color().name() : QStringLiteral("auto"))
                       .arg(highlighted ? cf.background().color().name() : QStringLiteral("none"))
                       .arg(int(cf.verticalAlignment()));
        }
    }
    return out;
}

// A prescription as the editor builds it: through the document's own API.
inline std::unique_ptr<QTextDocument> editorDocument()
{
    ensureApp();
    auto doc = std::make_unique<QTextDocument>();
    QTextCursor c(doc.get());
    QTextCharFormat base;
    base.setFontFamilies({"Arial"});
    base.setFontPointSize(12);
    QTextCharFormat bold = base;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(16);
    QTextCharFormat red = base;
    red.setForeground(QColor(255, 0, 0));
    QTextCharFormat green = base;
    green.setForeground(QColor(0, 128, 0));
    QTextCharFormat italic = base;
    italic.setFontItalic(true);
    QTextCharFormat under = base;
    under.setFontUnderline(true);
    QTextCharFormat strike = base;
    strike.setFontStrikeOut(true);
    QTextCharFormat marked = base;
    marked.setBackground(QColor(255, 255, 0));
    QTextCharFormat times = base;
    times.setFontFamilies({"Times New Roman"});
    times.setFontPointSize(10);

    QTextBlockFormat centre;
    centre.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(centre);
    c.insertText("Rx", bold);
    c.insertBlock(QTextBlockFormat(), base);
    c.insertText("Tab. Paracetamol 500 mg ", base);
    c.insertText("1-0-1", red);
    c.insertBlock(QTextBlockFormat(), base);
    c.insertText("Syp. Cough ", base);
    c.insertText("10 ml", green);
    {
        QTextCursor sel(doc.get());
        sel.setPosition(doc->findBlockByNumber(1).position());
        sel.setPosition(doc->findBlockByNumber(2).position(), QTextCursor::KeepAnchor);
        cn::rtf::setBullet(sel, true);
        cn::rtf::setIndents(sel, {640, 0, -320});
    }
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    c.movePosition(QTextCursor::End);
    c.insertBlock(right, base);
    c.insertText("italic", italic);
    c.insertText(" ", base);
    c.insertText("marked", marked);
    c.insertText(" ", base);
    c.insertText("under", under);
    c.insertText(" ", base);
    c.insertText("struck", strike);
    QTextBlockFormat just;
    just.setAlignment(Qt::AlignJustify);
    c.insertBlock(just, base);
    c.insertText("Café 37.5 °C – Ж \U0001F600 {braces} back\\slash\ttab", times);
    QTextBlockFormat spaced;
    cn::rtf::applyLineSpacing(spaced, {cn::rtf::LineSpacing::Multiple, 360});
    c.insertBlock(spaced, base);
    c.insertText(QString("line") + QChar::LineSeparator + "break\tdose", base);
    {
        QTextCursor here(doc->lastBlock());
        cn::rtf::setTabStops(here, {{2880, QTextOption::LeftTab}, {8000, QTextOption::RightTab}});
    }
    c.insertBlock(QTextBlockFormat(), base);
    QTextCursor last(doc->lastBlock());
    cn::rtf::setIndents(last, {1280, 640, 0});
    c.insertText("indented", base);
    return doc;
}


} // namespace rtftest
