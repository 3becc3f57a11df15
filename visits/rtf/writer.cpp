// RTF writer: a QTextDocument as the RTF stored in the prescription field.
//
// The output keeps to the oldest common form so that old rich-text controls
// read it as well as current word processors: Windows-1252 text with \'hh
// escapes and \uN? for the rest, bullets as \pntext plus {\*\pn ...}, and
// only 7-bit bytes.
#include "visits/rtf/codepage.h"
#include "visits/rtf/rtf.h"
#include "visits/rtf/rtf_internal.h"

#include <QColor>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <cmath>
#include <vector>

namespace cn::rtf {

CharLook charLook(const QTextCharFormat& f, const QFont& base)
{
    CharLook look;
    const QStringList families = f.fontFamilies().toStringList();
    look.face = families.isEmpty() ? QString() : families.front();
    if (f.hasProperty(QTextFormat::FontPointSize))
        look.points = f.fontPointSize();
    else if (f.hasProperty(QTextFormat::FontPixelSize))
        look.points = f.intProperty(QTextFormat::FontPixelSize) * 72.0 / layoutDpi();
    else
        look.points = base.pointSizeF();
    look.bold = f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold : base.bold();
    look.italic = f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : base.italic();
    look.underline = f.hasProperty(QTextFormat::TextUnderlineStyle) || f.hasProperty(QTextFormat::FontUnderline)
        ? f.fontUnderline()
        : base.underline();
    look.strikeOut = f.hasProperty(QTextFormat::FontStrikeOut) ? f.fontStrikeOut() : base.strikeOut();
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        look.colour = f.foreground().color();
    return look;
}

namespace {

struct RunProps {
    int font = 0;
    int halfPoints = 24;
    int color = 0;
    int highlight = 0;
    int vertical = 0;
    bool bold = false, italic = false, underline = false, strike = false;
    bool operator==(const RunProps&) const = default;
};

class Writer {
public:
    explicit Writer(const QTextDocument& doc) : doc_(doc)
    {
        defaultFont_ = doc.defaultFont();
        defaultTab_ = usableDefaultTab(defaultTab(doc));
        QString face = defaultFont_.families().value(0, defaultFont_.family());
        if (face.isEmpty())
            face = QStringLiteral("Arial");
        fonts_.push_back({face, false});
        colors_.push_back(QColor());
    }

    QByteArray run();

private:
    // Entries are text fonts, or symbol fonts for bullet glyphs; a symbol
    // face used for text gets a text entry, since its characters are text.
    int fontIndex(const QString& face, bool symbolic = false);
    int colorIndex(const QColor& c);
    RunProps propsOf(const QTextCharFormat& f);
    void paragraph(const QTextBlock& b);
    void bulletPrefix(const QTextBlock& b, const QTextList* list);
    void switchTo(const RunProps& p);
    void word(const char* w);
    void word(const char* w, int param);
    void text(const QString& s);

    const QTextDocument& doc_;
    QFont defaultFont_;
    int defaultTab_ = kDefaultTabTwips;
    struct FontEntry {
        QString name;
        bool symbolic;
    };
    std::vector<FontEntry> fonts_;
    std::vector<QColor> colors_;
    QByteArray body_;
    RunProps cur_;
    bool wordOpen_ = false;      // a control word needs its delimiter before text
};

int Writer::fontIndex(const QString& face, bool symbolic)
{
    // ';' ends a name in the font table and cannot be escaped there.
    QString f = face;
    f.removeIf([](QChar c) { return c.unicode() < 0x20 || c == u';'; });
    f = f.trimmed();
    if (f.isEmpty())
        return 0;
    for (size_t i = 0; i < fonts_.size(); ++i) {
        if (fonts_[i].symbolic == symbolic && fonts_[i].name == f)
            return int(i);
    }
    fonts_.push_back({f, symbolic});
    return int(fonts_.size()) - 1;
}

int Writer::colorIndex(const QColor& c)
{
    const QRgb rgb = c.rgb() & 0xFFFFFF;
    for (size_t i = 1; i < colors_.size(); ++i) {
        if ((colors_[i].rgb() & 0xFFFFFF) == rgb)
            return int(i);
    }
    colors_.push_back(QColor(rgb));
    return int(colors_.size()) - 1;
}

RunProps Writer::propsOf(const QTextCharFormat& f)
{
    RunProps p;
    const CharLook look = charLook(f, defaultFont_);
    p.font = look.face.isEmpty() ? 0 : fontIndex(look.face);
    const double points = look.points > 0 ? look.points : 12;
    p.halfPoints = std::clamp(int(std::lround(points * 2)), 1, 3276);
    p.bold = look.bold;
    p.italic = look.italic;
    p.underline = look.underline;
    p.strike = look.strikeOut;
    if (look.colour.isValid())
        p.color = colorIndex(look.colour);
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush
        && f.background().color().alpha() > 0)
        p.highlight = colorIndex(f.background().color());
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        p.vertical = 1;
    else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        p.vertical = -1;
    return p;
}

void Writer::word(const char* w)
{
    body_.append('\\').append(w);
    wordOpen_ = true;
}

void Writer::word(const char* w, int param)
{
    body_.append('\\').append(w).append(QByteArray::number(param));
    wordOpen_ = true;
}

void Writer::switchTo(const RunProps& p)
{
    if (p.font != cur_.font)
        word("f", p.font);
    if (p.halfPoints != cur_.halfPoints)
        word("fs", p.halfPoints);
    if (p.bold != cur_.bold)
        p.bold ? word("b") : word("b", 0);
    if (p.italic != cur_.italic)
        p.italic ? word("i") : word("i", 0);
    if (p.underline != cur_.underline)
        p.underline ? word("ul") : word("ulnone");
    if (p.strike != cur_.strike)
        p.strike ? word("strike") : word("strike", 0);
    if (p.color != cur_.color)
        word("cf", p.color);
    if (p.highlight != cur_.highlight) {
        // Highlight for rich-text controls and word processors, character
        // shading for those that keep only that (and 0 for none in both).
        word("chcbpat", p.highlight);
        word("highlight", p.highlight);
    }
    if (p.vertical != cur_.vertical)
        word(p.vertical > 0 ? "super" : p.vertical < 0 ? "sub" : "nosupersub");
    cur_ = p;
}

void Writer::text(const QString& s)
{
    auto literal = [this](char c) {
        if (wordOpen_) {
            body_.append(' ');
            wordOpen_ = false;
        }
        body_.append(c);
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        switch (c) {
        case u'\\': case u'{': case u'}':
            body_.append('\\').append(char(c));
            wordOpen_ = false;
            continue;
        case u'\t': word("tab"); continue;
        case 0x2028: word("line"); continue;
        case 0x00A0: body_.append("\\~"); wordOpen_ = false; continue;
        case 0x2011: body_.append("\\_"); wordOpen_ = false; continue;
        case 0xFFFC: continue;     // embedded objects are not kept
        default: break;
        }
        if (c >= 0x20 && c < 0x7F) {
            literal(char(c));
            continue;
        }
        if (c < 0x20)
            continue;
        const int b = cp1252Byte(c);
        if (b >= 0x80) {
            static const char hex[] = "0123456789abcdef";
            body_.append("\\'").append(hex[b >> 4]).append(hex[b & 15]);
            wordOpen_ = false;
            continue;
        }
        // Everything else as \uN with '?' for readers that do not know it;
        // a character beyond the 16-bit range goes as its surrogate pair.
        body_.append("\\u").append(QByteArray::number(int(qint16(c)))).append('?');
        wordOpen_ = false;
    }
}

void Writer::bulletPrefix(const QTextBlock& b, const QTextList* list)
{
    const QTextListFormat::Style style = list->format().style();
    if (isBulletStyle(style)) {
        // The bullet as text for readers without lists, then the list itself.
        QByteArray face = "Symbol";
        QByteArray glyph = "\\'b7";
        if (style == QTextListFormat::ListCircle) {
            face = "Courier New";
            glyph = "o";
        } else if (style == QTextListFormat::ListSquare) {
            face = "Wingdings";
            glyph = "\\'a7";
        }
        const int f = fontIndex(QString::fromLatin1(face), style != QTextListFormat::ListCircle);
        body_.append("{\\pntext\\f").append(QByteArray::number(f)).append(' ').append(glyph).append("\\tab}");
        body_.append("{\\*\\pn\\pnlvlblt\\pnf").append(QByteArray::number(f)).append("\\pnindent0{\\pntxtb ")
            .append(glyph).append("}}");
        wordOpen_ = false;
        return;
    }
    const char* kind = "pndec";
    switch (style) {
    case QTextListFormat::ListLowerAlpha: kind = "pnlcltr"; break;
    case QTextListFormat::ListUpperAlpha: kind = "pnucltr"; break;
    case QTextListFormat::ListLowerRoman: kind = "pnlcrm"; break;
    case QTextListFormat::ListUpperRoman: kind = "pnucrm"; break;
    default: break;
    }
    body_.append("{\\pntext\\f0 ");
    wordOpen_ = false;
    text(list->itemText(b));
    body_.append("\\tab}{\\*\\pn\\pnlvlbody\\").append(kind).append("\\pnstart")
        .append(QByteArray::number(list->itemNumber(b) + 1)).append("\\pnindent0{\\pntxta .}}");
    wordOpen_ = false;
}

void Writer::paragraph(const QTextBlock& b)
{
    const QTextBlockFormat f = b.blockFormat();
    const QTextList* list = b.textList();
    body_.append("\\pard");
    wordOpen_ = true;
    if (list)
        bulletPrefix(b, list);
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        word("qc");
    else if (a & Qt::AlignJustify)
        word("qj");
    else if ((a & Qt::AlignRight) || ((a & Qt::AlignTrailing) && !(a & Qt::AlignAbsolute)))
        word("qr");
    const Indents ind = indentsOf(f, list, &doc_);
    if (ind.firstLine)
        word("fi", ind.firstLine);
    if (ind.left)
        word("li", ind.left);
    if (ind.right)
        word("ri", ind.right);
    if (const int sb = pixelsToTwips(f.topMargin()); sb > 0)
        word("sb", sb);
    if (const int sa = pixelsToTwips(f.bottomMargin()); sa > 0)
        word("sa", sa);
    const LineSpacing spacing = lineSpacing(f);
    if (spacing.rule == LineSpacing::Exactly)
        word("sl", -spacing.value);
    else if (spacing.rule != LineSpacing::Single)
        word("sl", spacing.value);
    if (spacing.rule != LineSpacing::Single)
        word("slmult", spacing.rule == LineSpacing::Multiple ? 1 : 0);
    for (const TabStop& t : tabStopsOf(f, ind, list != nullptr, defaultTab_)) {
        if (t.type == QTextOption::RightTab)
            word("tqr");
        else if (t.type == QTextOption::CenterTab)
            word("tqc");
        else if (t.type == QTextOption::DelimiterTab)
            word("tqdec");
        word("tx", std::clamp(t.position, 0, 31680));
    }

    bool any = false;
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        if (!frag.isValid() || frag.text().isEmpty())
            continue;
        switchTo(propsOf(frag.charFormat()));
        text(frag.text());
        any = true;
    }
    if (!any)
        switchTo(propsOf(b.charFormat()));   // an empty line keeps its height
    body_.append("\\par\r\n");
    wordOpen_ = false;
}

QByteArray Writer::run()
{
    // The body first: it decides which fonts and colours the tables hold.
    body_.reserve(doc_.characterCount() * 2 + 256);
    cur_ = RunProps{};
    word("fs", cur_.halfPoints);
    for (QTextBlock b = doc_.begin(); b.isValid(); b = b.next())
        paragraph(b);

    QByteArray out;
    out.reserve(body_.size() + 512);
    out.append("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n{\\fonttbl");
    for (size_t i = 0; i < fonts_.size(); ++i) {
        const bool symbol = fonts_[i].symbolic;
        out.append("{\\f").append(QByteArray::number(qulonglong(i)))
            .append(symbol ? "\\fnil\\fcharset2 " : "\\fnil\\fcharset0 ");
        // Face names in the same escapes as text.
        QByteArray saved = std::exchange(body_, QByteArray());
        wordOpen_ = false;
        text(fonts_[i].name);
        out.append(body_).append(";}");
        body_ = std::move(saved);
    }
    out.append("}\r\n{\\colortbl ;");
    for (size_t i = 1; i < colors_.size(); ++i) {
        const QColor& c = colors_[i];
        out.append("\\red").append(QByteArray::number(c.red()))
            .append("\\green").append(QByteArray::number(c.green()))
            .append("\\blue").append(QByteArray::number(c.blue())).append(';');
    }
    out.append("}\r\n\\deftab").append(QByteArray::number(defaultTab_)).append("\r\n");
    out.append(body_);
    out.append("}\r\n");
    return out;
}

} // namespace

QByteArray write(const QTextDocument& doc)
{
    return Writer(doc).run();
}

} // namespace cn::rtf
