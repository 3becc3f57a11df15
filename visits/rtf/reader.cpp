// RTF reader: the stored prescription into a QTextDocument.
//
// A single pass over the bytes with an explicit group stack. Each group
// carries its destination (where its text goes), character and paragraph
// properties; a paragraph is collected as runs and put into the document at
// its end, which is when it is known whether a bullet or number text written
// before the paragraph (\pntext, \listtext) must be shown or stands for a list
// that the document shows by itself.
//
// Damage never stops the reader: unbalanced braces, truncation, stray bytes,
// absurd parameters and nesting beyond the cap are passed over, the text read
// so far is kept and the result says the text was damaged.
#include "visits/rtf/codepage.h"
#include "visits/rtf/rtf.h"
#include "visits/rtf/rtf_internal.h"

#include <QColor>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace cn::rtf {

namespace {

constexpr int kMaxDepth = 200;          // groups nested deeper are skipped
constexpr int kMaxWordLength = 32;      // letters of a control word kept
constexpr int kMaxFontName = 255;       // characters of a face name kept

enum class Dest : std::uint8_t {
    Text,             // document text
    Skip,             // read over, nothing kept
    FontTable,
    ColorTable,
    NumberText,       // \pntext, \listtext: a list's number as text
    Pn,               // {\*\pn ...}: the paragraph's numbering
    PnTextBefore,     // \pntxtb inside \pn: the bullet character
    ListTable,
    List,
    ListLevel,
    LevelText,
    OverrideTable,
    Override,
};

enum class PnKind : std::uint8_t { None, Bullet, Numbered, Continue };

struct CharProps {
    int font = -1;               // font number; -1 the document default
    int halfPoints = 24;
    int color = 0;               // colour table index; 0 automatic
    int background = 0;          // colour table index of the highlight; 0 none
    std::int8_t vertical = 0;    // 1 superscript, -1 subscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    int align = 0;               // 0 left, 1 centre, 2 right, 3 justified
    int li = 0, ri = 0, fi = 0, sb = 0, sa = 0;
    int sl = 0;                  // \sl: 0 single, > 0 at least, < 0 exactly
    bool slMult = false;         // \slmult1: \sl is a multiple of single in 240ths
    QList<TabStop> tabs;
    QTextOption::TabType nextTabType = QTextOption::LeftTab;
    PnKind pn = PnKind::None;
    QTextListFormat::Style pnStyle = QTextListFormat::ListDisc;
    int pnFont = -1;
    char32_t pnBullet = 0;
    int ls = 0;
    int ilvl = 0;
};

struct State {
    Dest dest = Dest::Text;
    bool starred = false;        // \* seen: an unknown destination is skipped
    int uc = 1;
    int pnOwner = -1;            // stack index whose paragraph \pn words set
    CharProps chr;
    ParaProps para;
};

struct Font {
    QString name;
    int charset = -1;            // -1 when the entry gives none
    int codePage = 0;            // from \cpg, 0 when not given
    SymbolSet symbols = SymbolSet::None;
};

struct ListLevelDef {
    int nfc = 23;
    QString text;
};
struct ListDef {
    int id = 0;
    std::vector<ListLevelDef> levels;
};
struct OverrideDef {
    int id = 0;
    int ls = 0;
};

struct Run {
    QString text;
    CharProps props;
    bool plainFace = false;      // text decoded from a symbol font: no face of its own
};

enum Kw : int {
    KwUnknown,
    // destinations
    KwFontTbl, KwColorTbl, KwPnText, KwListText, KwPn, KwPnTxtB, KwPnTxtA, KwListTable, KwList,
    KwListLevel, KwLevelText, KwListOverrideTable, KwListOverride, KwSkipDest, KwFldRslt,
    // document
    KwAnsi, KwMac, KwPc, KwPca, KwAnsiCpg, KwDeff, KwDefTab, KwUc, KwU, KwBin,
    // font and colour tables
    KwF, KwFCharset, KwCpg, KwRed, KwGreen, KwBlue,
    // character
    KwPlain, KwFs, KwB, KwI, KwUl, KwUlNone, KwStrike, KwCf, KwHighlight, KwSuper, KwSub, KwNoSuperSub, KwV,
    // paragraph
    KwPard, KwPar, KwLine, KwTab, KwQl, KwQc, KwQr, KwQj, KwLi, KwRi, KwFi, KwSb, KwSa, KwSl, KwSlMult, KwTx, KwTqr,
    KwTqc, KwTqDec, KwCell, KwRow, KwPage, KwSect, KwLs, KwIlvl,
    // numbering
    KwPnLvlBlt, KwPnLvlBody, KwPnLvlCont, KwPnLvl, KwPnDec, KwPnUcRm, KwPnLcRm, KwPnUcLtr, KwPnLcLtr,
    KwPnF, KwListId, KwLevelNfc,
    // characters
    KwBullet, KwEnDash, KwEmDash, KwLQuote, KwRQuote, KwLDblQuote, KwRDblQuote, KwEmSpace, KwEnSpace,
    KwQmSpace,
};

const QHash<QByteArray, Kw>& keywords()
{
    static const QHash<QByteArray, Kw> map = [] {
        QHash<QByteArray, Kw> m;
        const struct { const char* name; Kw kw; } table[] = {
            {"fonttbl", KwFontTbl}, {"colortbl", KwColorTbl}, {"pntext", KwPnText},
            {"listtext", KwListText}, {"pn", KwPn}, {"pntxtb", KwPnTxtB}, {"pntxta", KwPnTxtA},
            {"listtable", KwListTable}, {"list", KwList}, {"listlevel", KwListLevel},
            {"leveltext", KwLevelText}, {"listoverridetable", KwListOverrideTable},
            {"listoverride", KwListOverride}, {"fldrslt", KwFldRslt},
            {"ansi", KwAnsi}, {"mac", KwMac}, {"pc", KwPc}, {"pca", KwPca}, {"ansicpg", KwAnsiCpg},
            {"deff", KwDeff}, {"deftab", KwDefTab}, {"uc", KwUc}, {"u", KwU}, {"bin", KwBin},
            {"f", KwF}, {"fcharset", KwFCharset}, {"cpg", KwCpg}, {"red", KwRed},
            {"green", KwGreen}, {"blue", KwBlue},
            {"plain", KwPlain}, {"fs", KwFs}, {"b", KwB}, {"i", KwI}, {"ulnone", KwUlNone},
            {"strike", KwStrike}, {"striked", KwStrike}, {"cf", KwCf}, {"highlight", KwHighlight},
            {"cb", KwHighlight}, {"chcbpat", KwHighlight}, {"super", KwSuper},
            {"up", KwSuper}, {"sub", KwSub}, {"dn", KwSub}, {"nosupersub", KwNoSuperSub}, {"v", KwV},
            {"pard", KwPard}, {"par", KwPar}, {"line", KwLine}, {"tab", KwTab}, {"ql", KwQl},
            {"qc", KwQc}, {"qr", KwQr}, {"qj", KwQj}, {"qd", KwQj}, {"li", KwLi}, {"lin", KwLi},
            {"ri", KwRi}, {"rin", KwRi}, {"fi", KwFi}, {"sb", KwSb}, {"sa", KwSa}, {"sl", KwSl},
            {"slmult", KwSlMult}, {"tx", KwTx},
            {"tb", KwTx}, {"tqr", KwTqr}, {"tqc", KwTqc}, {"tqdec", KwTqDec}, {"cell", KwCell},
            {"nestcell", KwCell}, {"row", KwRow}, {"nestrow", KwRow}, {"page", KwPage},
            {"sect", KwSect}, {"ls", KwLs}, {"ilvl", KwIlvl},
            {"pnlvlblt", KwPnLvlBlt}, {"pnlvlbody", KwPnLvlBody}, {"pnlvlcont", KwPnLvlCont},
            {"pnlvl", KwPnLvl}, {"pndec", KwPnDec}, {"pncard", KwPnDec}, {"pnord", KwPnDec},
            {"pnordt", KwPnDec}, {"pnucrm", KwPnUcRm}, {"pnlcrm", KwPnLcRm},
            {"pnucltr", KwPnUcLtr}, {"pnlcltr", KwPnLcLtr}, {"pnf", KwPnF},
            {"listid", KwListId}, {"levelnfc", KwLevelNfc}, {"levelnfcn", KwLevelNfc},
            {"bullet", KwBullet}, {"endash", KwEnDash}, {"emdash", KwEmDash},
            {"lquote", KwLQuote}, {"rquote", KwRQuote}, {"ldblquote", KwLDblQuote},
            {"rdblquote", KwRDblQuote}, {"emspace", KwEmSpace}, {"enspace", KwEnSpace},
            {"qmspace", KwQmSpace},
        };
        for (const auto& e : table)
            m.insert(QByteArray(e.name), e.kw);
        // Every kind of underline shows as underline.
        for (const char* u : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                              "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd",
                              "ulthldash", "ululdbwave", "ulw", "ulwave"})
            m.insert(QByteArray(u), KwUl);
        // Destinations whose content is not shown.
        for (const char* d : {"stylesheet", "info", "pict", "object", "header", "headerl", "headerr",
                              "headerf", "footer", "footerl", "footerr", "footerf", "footnote",
                              "fldinst", "xe", "tc", "txe", "bkmkstart", "bkmkend", "annotation",
                              "atnid", "atnauthor", "atrfstart", "atrfend", "atndate", "atnref",
                              "private", "rxe", "themedata", "colorschememapping", "datastore",
                              "latentstyles", "xmlnstbl", "rsidtbl", "generator", "listpicture",
                              "pgdsctbl", "revtbl", "filetbl", "userprops", "docvar", "nonshppict",
                              "shp", "shpinst", "shppict", "sp", "pnseclvl", "template", "listname",
                              "levelnumbers", "objdata", "objclass", "ftnsep", "ftnsepc", "aftnsep",
                              "aftnsepc", "fchars", "lchars", "mmathPr", "panose", "falt", "ud",
                              "protusertbl", "background", "author", "operator", "title",
                              "subject", "keywords", "comment", "doccomm", "company"})
            m.insert(QByteArray(d), KwSkipDest);
        return m;
    }();
    return map;
}

QTextListFormat::Style bulletStyleFor(char32_t c)
{
    switch (c) {
    case U'o': case 0x25CB: case 0x25E6:
        return QTextListFormat::ListCircle;
    case 0x25A0: case 0x25AA: case 0x25FB: case 0x25A1: case 0x2751: case 0x2756: case 0x25C6:
    case U'§': case 0xF0A7: case 0xF06E:
        return QTextListFormat::ListSquare;
    default:
        return QTextListFormat::ListDisc;
    }
}

QTextListFormat::Style numberStyleForNfc(int nfc)
{
    switch (nfc) {
    case 1: return QTextListFormat::ListUpperRoman;
    case 2: return QTextListFormat::ListLowerRoman;
    case 3: return QTextListFormat::ListUpperAlpha;
    case 4: return QTextListFormat::ListLowerAlpha;
    default: return QTextListFormat::ListDecimal;
    }
}

// Text as it may stand in a paragraph: control characters, paragraph
// separators and object marks have words of their own, so stray ones are
// blanks.
QString cleaned(QString text)
{
    for (QChar& ch : text) {
        if ((ch.unicode() < 0x20 && ch != u'\t') || ch == QChar::ParagraphSeparator
            || ch == QChar::ObjectReplacementCharacter)
            ch = QChar(u' ');
    }
    return text;
}

class Reader {
public:
    Reader(QByteArrayView data, QTextDocument* doc) : data_(data), doc_(doc), cursor_(doc) {}

    bool run();

private:
    // input
    void controlWord();
    void controlSymbol(char c);
    void handleWord(const QByteArray& word, bool hasParam, int param);
    void textByte(unsigned char b);
    void pushGroup();
    void popGroup();

    // text
    void flushBytes();
    void emitText(const QString& s, bool plainFace = false);
    void emitChar(char32_t c);
    void emitUnicode(int value);
    void endParagraph(bool force);
    void finishFontEntry();
    void finishColorEntry();
    void setDestination(Dest d);
    void finishDefaultTab();

    // document building
    QTextCharFormat charFormat(const CharProps& p, bool plainFace);
    QString faceOf(int font) const;
    const Font* fontOf(int number) const;
    int codePageOf(int font) const;
    SymbolSet symbolsOf(int font) const;
    QTextBlockFormat blockFormat(const ParaProps& p, bool bullet) const;
    void placeList(const ParaProps& p);

    State& st() { return stack_.back(); }

    QByteArrayView data_;
    qsizetype pos_ = 0;
    QTextDocument* doc_;
    QTextCursor cursor_;
    std::vector<State> stack_;
    int overflow_ = 0;           // groups opened beyond the depth cap, still open
    bool damaged_ = false;
    bool ended_ = false;         // the outermost group has closed
    int skipFallback_ = 0;       // characters of a \u fallback still to skip
    char16_t highSurrogate_ = 0;
    QByteArray pendingBytes_;    // text bytes awaiting decoding
    QByteArray fontBytes_;       // the font table entry's name: bytes not yet decoded
    QString fontName_;           // and what is decoded of it

    // document-wide
    int ansiCodePage_ = 1252;
    int defaultFont_ = -1;
    int defaultTab_ = kDefaultTabTwips;
    bool lateDefaultTab_ = false;   // \deftab changed after paragraphs were made
    std::map<int, Font> fonts_;
    int fontEntry_ = -1;         // font table entry being read
    QString levelText_;          // a list level's \leveltext so far
    std::vector<QColor> colors_; // invalid = automatic
    int red_ = -1, green_ = -1, blue_ = -1;
    std::vector<ListDef> lists_;
    std::vector<OverrideDef> overrides_;

    // current paragraph
    std::vector<Run> runs_;
    QString numberText_;
    QString pnBulletText_;
    bool sawNumberText_ = false;
    bool pendingCellTab_ = false;
    bool firstBlock_ = true;
    bool paraHasContent_ = false;

    // lists being continued, by (kind, key)
    std::map<std::pair<int, int>, QTextList*> openLists_;
};

bool Reader::run()
{
    stack_.reserve(64);
    stack_.push_back(State{});
    colors_.clear();
    const char* p = data_.data();
    const qsizetype n = data_.size();
    while (pos_ < n) {
        const char c = p[pos_++];
        switch (c) {
        case '{':
            flushBytes();
            skipFallback_ = 0;
            pushGroup();
            break;
        case '}':
            flushBytes();
            skipFallback_ = 0;
            popGroup();
            break;
        case '\\':
            if (pos_ >= n) {
                damaged_ = true;
                break;
            }
            if (std::isalpha(static_cast<unsigned char>(p[pos_])))
                controlWord();
            else
                controlSymbol(p[pos_++]);
            break;
        case '\r':
        case '\n':
            break;
        default:
            if (ended_) {
                // Past the document's last brace only blanks and padding belong.
                const auto b = static_cast<unsigned char>(c);
                if (b == ' ' || b == '\t' || b == 0 || b == 0x1A)
                    break;
                damaged_ = true;
                ended_ = false;
            }
            if (c == 0)
                break;
            if (skipFallback_ > 0) {
                --skipFallback_;
                break;
            }
            if (c == '\t') {
                flushBytes();
                emitChar(U'\t');
            } else {
                textByte(static_cast<unsigned char>(c));
            }
            break;
        }
    }
    flushBytes();
    if (stack_.size() > 1 || overflow_ > 0)
        damaged_ = true;   // truncated: groups left open
    endParagraph(false);
    finishDefaultTab();
    return damaged_;
}

void Reader::finishDefaultTab()
{
    QTextOption opt = doc_->defaultTextOption();
    opt.setTabStopDistance(twipsToPixels(defaultTab_));
    doc_->setDefaultTextOption(opt);
    if (!lateDefaultTab_)
        return;
    for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        const bool listItem = b.textList() != nullptr;
        storeTabStops(f, statedTabStops(f), indents(b), listItem, defaultTab_);
        QTextCursor(b).setBlockFormat(f);
    }
}

void Reader::pushGroup()
{
    if (ended_) {
        damaged_ = true;
        ended_ = false;
    }
    if (overflow_ > 0 || int(stack_.size()) > kMaxDepth) {
        ++overflow_;
        damaged_ = true;
        return;
    }
    State s = st();
    s.starred = false;
    stack_.push_back(std::move(s));
}

void Reader::popGroup()
{
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (stack_.size() <= 1) {
        damaged_ = true;    // a closing brace with no group open
        return;
    }
    const Dest d = st().dest;
    if (d == Dest::FontTable) {
        // An entry ends at its ';' or, lacking one, with its group.
        if (fontEntry_ >= 0)
            finishFontEntry();
        fontBytes_.clear();
        fontName_.clear();
    }
    if (d == Dest::PnTextBefore) {
        // The bullet character of {\pntxtb ...}.
        State& owner = stack_[std::max(0, st().pnOwner)];
        if (!pnBulletText_.isEmpty() && owner.para.pn == PnKind::Bullet)
            owner.para.pnBullet = pnBulletText_.front().unicode();
        pnBulletText_.clear();
    }
    if (d == Dest::LevelText && !lists_.empty() && !lists_.back().levels.empty()) {
        lists_.back().levels.back().text = levelText_;
        levelText_.clear();
    }
    stack_.pop_back();
    if (stack_.size() == 1)
        ended_ = true;
}

void Reader::controlSymbol(char c)
{
    const bool skipping = skipFallback_ > 0;
    if (c != '\'' && skipping) {
        --skipFallback_;
        return;
    }
    switch (c) {
    case '\'': {
        const char* p = data_.data();
        auto hex = [](char h) -> int {
            if (h >= '0' && h <= '9') return h - '0';
            if (h >= 'a' && h <= 'f') return h - 'a' + 10;
            if (h >= 'A' && h <= 'F') return h - 'A' + 10;
            return -1;
        };
        const int hi = pos_ < data_.size() ? hex(p[pos_]) : -1;
        const int lo = pos_ + 1 < data_.size() ? hex(p[pos_ + 1]) : -1;
        if (hi < 0 || lo < 0) {
            damaged_ = true;
            return;
        }
        pos_ += 2;
        if (skipping) {
            --skipFallback_;
            return;
        }
        textByte(static_cast<unsigned char>(hi * 16 + lo));
        return;
    }
    case '*':
        st().starred = true;
        return;
    case '~':
        flushBytes();
        emitChar(0x00A0);
        return;
    case '-':
        return;   // optional hyphen: shown only where a line breaks, never here
    case '_':
        flushBytes();
        emitChar(0x2011);
        return;
    case '\r':
    case '\n':
        handleWord("par", false, 0);
        return;
    case '\t':
        flushBytes();
        emitChar(U'\t');
        return;
    case '\\':
    case '{':
    case '}':
        textByte(static_cast<unsigned char>(c));
        return;
    default:
        return;   // \| \: and unknown symbols carry nothing we show
    }
}

void Reader::controlWord()
{
    const char* p = data_.data();
    const qsizetype n = data_.size();
    const qsizetype start = pos_;
    while (pos_ < n && std::isalpha(static_cast<unsigned char>(p[pos_])))
        ++pos_;
    QByteArray word(p + start, int(std::min<qsizetype>(pos_ - start, kMaxWordLength)));
    if (pos_ - start > kMaxWordLength)
        word.clear();   // no real control word is that long
    bool hasParam = false;
    bool negative = false;
    long long value = 0;
    if (pos_ < n && p[pos_] == '-' && pos_ + 1 < n && std::isdigit(static_cast<unsigned char>(p[pos_ + 1]))) {
        negative = true;
        ++pos_;
    }
    int digits = 0;
    while (pos_ < n && std::isdigit(static_cast<unsigned char>(p[pos_]))) {
        hasParam = true;
        if (value < 100000000000LL)
            value = value * 10 + (p[pos_] - '0');
        ++digits;
        ++pos_;
    }
    if (digits > 10 || value > 2147483647LL) {
        damaged_ = true;
        value = 2147483647LL;
    }
    if (pos_ < n && p[pos_] == ' ')
        ++pos_;
    const int param = negative ? -int(value) : int(value);

    if (word == "bin") {
        // Binary data: exactly N bytes follow, never more than the text has.
        if (skipFallback_ > 0)
            --skipFallback_;
        flushBytes();
        const qsizetype len = hasParam && param > 0 ? param : 0;
        if (len > n - pos_)
            damaged_ = true;
        pos_ += std::min(len, n - pos_);
        return;
    }
    if (skipFallback_ > 0) {
        --skipFallback_;
        return;
    }
    if (ended_) {
        damaged_ = true;
        ended_ = false;
    }
    handleWord(word, hasParam, param);
}

void Reader::setDestination(Dest d)
{
    st().dest = d;
    st().starred = false;
}

void Reader::handleWord(const QByteArray& word, bool hasParam, int param)
{
    State& s = st();
    const Kw kw = keywords().value(word, KwUnknown);
    const bool on = !hasParam || param != 0;

    if (s.dest == Dest::Skip)
        return;
    // A control word changes how following bytes decode; decode the earlier
    // ones first.
    flushBytes();

    switch (kw) {
    // ---- destinations
    case KwFontTbl: setDestination(Dest::FontTable); return;
    case KwColorTbl:
        setDestination(Dest::ColorTable);
        colors_.clear();
        red_ = green_ = blue_ = -1;
        return;
    case KwPnText:
    case KwListText:
        setDestination(Dest::NumberText);
        sawNumberText_ = true;
        numberText_.clear();
        return;
    case KwPn:
        if (stack_.size() >= 2 && s.dest == Dest::Text) {
            s.pnOwner = int(stack_.size()) - 2;
            setDestination(Dest::Pn);
            ParaProps& op = stack_[s.pnOwner].para;
            op.pn = PnKind::Numbered;   // until a level word says otherwise
            op.pnStyle = QTextListFormat::ListDecimal;
            op.pnBullet = 0;
        } else {
            setDestination(Dest::Skip);
        }
        return;
    case KwPnTxtB:
        if (s.dest == Dest::Pn) {
            setDestination(Dest::PnTextBefore);
            pnBulletText_.clear();
        } else {
            setDestination(Dest::Skip);
        }
        return;
    case KwPnTxtA:
        setDestination(Dest::Skip);
        return;
    case KwListTable: setDestination(Dest::ListTable); return;
    case KwList:
        if (s.dest == Dest::ListTable) {
            setDestination(Dest::List);
            lists_.push_back(ListDef{});
        }
        return;
    case KwListLevel:
        if (s.dest == Dest::List && !lists_.empty()) {
            setDestination(Dest::ListLevel);
            lists_.back().levels.push_back(ListLevelDef{});
        } else {
            setDestination(Dest::Skip);
        }
        return;
    case KwLevelText:
        if (s.dest == Dest::ListLevel) {
            setDestination(Dest::LevelText);
            levelText_.clear();
        } else {
            setDestination(Dest::Skip);
        }
        return;
    case KwListOverrideTable: setDestination(Dest::OverrideTable); return;
    case KwListOverride:
        if (s.dest == Dest::OverrideTable) {
            setDestination(Dest::Override);
            overrides_.push_back(OverrideDef{});
        }
        return;
    case KwSkipDest: setDestination(Dest::Skip); return;
    case KwFldRslt: s.starred = false; return;
    default:
        break;
    }
    if (s.starred) {
        // {\* ...} introduces a destination we do not know: not shown.
        setDestination(Dest::Skip);
        return;
    }

    switch (kw) {
    // ---- document
    case KwAnsi: ansiCodePage_ = 1252; return;
    case KwMac: ansiCodePage_ = 10000; return;
    case KwPc: ansiCodePage_ = 437; return;
    case KwPca: ansiCodePage_ = 850; return;
    case KwAnsiCpg: if (hasParam && param > 0) ansiCodePage_ = param; return;
    case KwDeff: if (hasParam) defaultFont_ = param; return;
    case KwDefTab:
        // Stated in the header; paragraphs before it are laid out again at
        // the end.
        if (hasParam && param > 0 && usableDefaultTab(param) != defaultTab_) {
            defaultTab_ = usableDefaultTab(param);
            lateDefaultTab_ = !firstBlock_;
        }
        return;
    case KwUc: if (hasParam && param >= 0 && param < 16) s.uc = param; return;
    case KwU: emitUnicode(param); skipFallback_ = s.uc; return;

    // ---- tables
    case KwF:
        if (!hasParam)
            return;
        if (s.dest == Dest::FontTable) {
            if (fontEntry_ >= 0 && (!fontBytes_.isEmpty() || !fontName_.isEmpty()))
                finishFontEntry();
            fontEntry_ = param;
            fonts_[param] = Font{};
            fontBytes_.clear();
            fontName_.clear();
        } else {
            s.chr.font = param;
        }
        return;
    case KwFCharset:
        if (s.dest == Dest::FontTable && fontEntry_ >= 0)
            fonts_[fontEntry_].charset = param;
        return;
    case KwCpg:
        if (s.dest == Dest::FontTable && fontEntry_ >= 0)
            fonts_[fontEntry_].codePage = param;
        return;
    case KwRed: if (s.dest == Dest::ColorTable) red_ = std::clamp(param, 0, 255); return;
    case KwGreen: if (s.dest == Dest::ColorTable) green_ = std::clamp(param, 0, 255); return;
    case KwBlue: if (s.dest == Dest::ColorTable) blue_ = std::clamp(param, 0, 255); return;

    // ---- character
    case KwPlain: s.chr = CharProps{}; return;
    case KwFs: if (hasParam && param > 0) s.chr.halfPoints = std::min(param, 3276); return;
    case KwB: s.chr.bold = on; return;
    case KwI: s.chr.italic = on; return;
    case KwUl: s.chr.underline = on; return;
    case KwUlNone: s.chr.underline = false; return;
    case KwStrike: s.chr.strike = on; return;
    case KwCf: s.chr.color = hasParam ? std::max(param, 0) : 0; return;
    case KwHighlight: s.chr.background = hasParam ? std::max(param, 0) : 0; return;
    case KwSuper: s.chr.vertical = on ? 1 : 0; return;
    case KwSub: s.chr.vertical = on ? -1 : 0; return;
    case KwNoSuperSub: s.chr.vertical = 0; return;
    case KwV: s.chr.hidden = on; return;

    // ---- paragraph
    case KwPard: s.para = ParaProps{}; return;
    case KwPar:
        if (s.dest == Dest::Text)
            endParagraph(true);
        return;
    case KwPage:
    case KwSect:
        if (s.dest == Dest::Text && paraHasContent_)
            endParagraph(true);
        return;
    case KwRow:
        if (s.dest == Dest::Text) {
            pendingCellTab_ = false;
            endParagraph(true);
        }
        return;
    case KwCell:
        if (s.dest == Dest::Text) {
            if (pendingCellTab_)
                emitChar(U'\t');
            pendingCellTab_ = true;
        }
        return;
    case KwLine: emitChar(QChar::LineSeparator); return;
    case KwTab: emitChar(U'\t'); return;
    case KwQl: s.para.align = 0; return;
    case KwQc: s.para.align = 1; return;
    case KwQr: s.para.align = 2; return;
    case KwQj: s.para.align = 3; return;
    case KwLi: s.para.li = std::clamp(param, -31680, 31680); return;
    case KwRi: s.para.ri = std::clamp(param, -31680, 31680); return;
    case KwFi: s.para.fi = std::clamp(param, -31680, 31680); return;
    case KwSb: s.para.sb = std::clamp(param, 0, 31680); return;
    case KwSa: s.para.sa = std::clamp(param, 0, 31680); return;
    case KwSl: s.para.sl = std::clamp(param, -31680, 31680); return;
    case KwSlMult: s.para.slMult = on; return;
    case KwTqr: s.para.nextTabType = QTextOption::RightTab; return;
    case KwTqc: s.para.nextTabType = QTextOption::CenterTab; return;
    case KwTqDec: s.para.nextTabType = QTextOption::DelimiterTab; return;
    case KwTx:
        if (hasParam && param >= 0 && param <= 31680 && s.para.tabs.size() < 64)
            s.para.tabs.append({param, s.para.nextTabType});
        s.para.nextTabType = QTextOption::LeftTab;
        return;
    case KwLs:
        if (s.dest == Dest::Override && !overrides_.empty())
            overrides_.back().ls = param;
        else
            s.para.ls = hasParam ? param : 0;
        return;
    case KwIlvl: s.para.ilvl = std::clamp(param, 0, 8); return;

    // ---- numbering
    case KwPnLvlBlt:
    case KwPnLvlBody:
    case KwPnLvlCont:
    case KwPnLvl:
    case KwPnDec:
    case KwPnUcRm:
    case KwPnLcRm:
    case KwPnUcLtr:
    case KwPnLcLtr:
    case KwPnF: {
        if (s.dest != Dest::Pn || s.pnOwner < 0)
            return;
        ParaProps& op = stack_[s.pnOwner].para;
        switch (kw) {
        case KwPnLvlBlt: op.pn = PnKind::Bullet; op.pnStyle = QTextListFormat::ListDisc; break;
        case KwPnLvlBody: op.pn = PnKind::Numbered; break;
        case KwPnLvl: op.pn = PnKind::Numbered; break;
        case KwPnLvlCont: op.pn = PnKind::Continue; break;
        case KwPnDec: if (op.pn != PnKind::Bullet) op.pnStyle = QTextListFormat::ListDecimal; break;
        case KwPnUcRm: if (op.pn != PnKind::Bullet) op.pnStyle = QTextListFormat::ListUpperRoman; break;
        case KwPnLcRm: if (op.pn != PnKind::Bullet) op.pnStyle = QTextListFormat::ListLowerRoman; break;
        case KwPnUcLtr: if (op.pn != PnKind::Bullet) op.pnStyle = QTextListFormat::ListUpperAlpha; break;
        case KwPnLcLtr: if (op.pn != PnKind::Bullet) op.pnStyle = QTextListFormat::ListLowerAlpha; break;
        case KwPnF: op.pnFont = param; s.chr.font = param; break;
        default: break;
        }
        return;
    }
    case KwListId:
        if (s.dest == Dest::List && !lists_.empty())
            lists_.back().id = param;
        else if (s.dest == Dest::Override && !overrides_.empty())
            overrides_.back().id = param;
        return;
    case KwLevelNfc:
        if (s.dest == Dest::ListLevel && !lists_.empty() && !lists_.back().levels.empty())
            lists_.back().levels.back().nfc = param;
        return;

    // ---- characters
    case KwBullet: emitChar(0x2022); return;
    case KwEnDash: emitChar(0x2013); return;
    case KwEmDash: emitChar(0x2014); return;
    case KwLQuote: emitChar(0x2018); return;
    case KwRQuote: emitChar(0x2019); return;
    case KwLDblQuote: emitChar(0x201C); return;
    case KwRDblQuote: emitChar(0x201D); return;
    case KwEmSpace: emitChar(0x2003); return;
    case KwEnSpace: emitChar(0x2002); return;
    case KwQmSpace: emitChar(0x2005); return;
    default:
        return;   // unknown words are passed over
    }
}

void Reader::textByte(unsigned char b)
{
    State& s = st();
    switch (s.dest) {
    case Dest::Skip:
        return;
    case Dest::ColorTable:
        if (b == ';')
            finishColorEntry();
        return;
    case Dest::FontTable:
        if (b == ';')
            finishFontEntry();
        else if (fontEntry_ >= 0 && fontBytes_.size() < kMaxFontName * 4)
            fontBytes_.append(char(b));
        return;
    case Dest::ListTable:
    case Dest::List:
    case Dest::ListLevel:
    case Dest::OverrideTable:
    case Dest::Override:
    case Dest::Pn:
        return;
    default:
        if (pendingBytes_.size() > (1 << 16))
            flushBytes();
        pendingBytes_.append(char(b));
        return;
    }
}

const Font* Reader::fontOf(int number) const
{
    const int n = number < 0 ? defaultFont_ : number;
    const auto it = fonts_.find(n);
    return it == fonts_.end() ? nullptr : &it->second;
}

int Reader::codePageOf(int font) const
{
    const Font* f = fontOf(font);
    if (!f)
        return ansiCodePage_;
    if (f->codePage > 0)
        return f->codePage;
    return codePageForCharset(f->charset, ansiCodePage_);
}

SymbolSet Reader::symbolsOf(int font) const
{
    const Font* f = fontOf(font);
    return f ? f->symbols : SymbolSet::None;
}

QString Reader::faceOf(int font) const
{
    const Font* f = fontOf(font);
    return f ? f->name : QString();
}

void Reader::flushBytes()
{
    if (pendingBytes_.isEmpty())
        return;
    const State& s = st();
    const QByteArray bytes = std::exchange(pendingBytes_, QByteArray());
    const SymbolSet sym = symbolsOf(s.chr.font);
    if (sym == SymbolSet::Symbol || sym == SymbolSet::Wingdings) {
        QString out;
        for (char ch : bytes) {
            const char32_t u = symbolToUnicode(sym, static_cast<unsigned char>(ch));
            if (u)
                out.append(QChar(char16_t(u)));
        }
        emitText(out, true);
        return;
    }
    emitText(decodeBytes(bytes, codePageOf(s.chr.font)));
}

void Reader::emitUnicode(int value)
{
    if (value > 0xFFFF && value <= 0x10FFFF) {
        emitChar(char32_t(value));   // written whole by some writers
        return;
    }
    char32_t u = char32_t(value < 0 ? value + 65536 : value) & 0xFFFF;
    if (u >= 0xD800 && u <= 0xDBFF) {
        highSurrogate_ = char16_t(u);
        return;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
        if (highSurrogate_) {
            const char32_t full = 0x10000 + ((char32_t(highSurrogate_) - 0xD800) << 10) + (u - 0xDC00);
            highSurrogate_ = 0;
            emitChar(full);
        }
        return;   // a lone low surrogate shows nothing
    }
    highSurrogate_ = 0;
    // Characters of a symbol font written as Unicode use the private range.
    const SymbolSet sym = symbolsOf(st().chr.font);
    if ((sym == SymbolSet::Symbol || sym == SymbolSet::Wingdings) && ((u >= 0xF020 && u <= 0xF0FF) || u < 0x100)) {
        const char32_t m = symbolToUnicode(sym, static_cast<unsigned char>(u & 0xFF));
        if (m) {
            emitText(QString(QChar(char16_t(m))), true);
        }
        return;
    }
    if (u == 0)
        return;
    if (sym == SymbolSet::Symbol || sym == SymbolSet::Wingdings) {
        // Already a real character: it needs a text face, not the symbol one.
        flushBytes();
        emitText(QString(QChar(char16_t(u))), true);
        return;
    }
    emitChar(u);
}

void Reader::emitChar(char32_t c)
{
    flushBytes();
    QString s;
    if (c > 0xFFFF) {
        const char32_t v = c - 0x10000;
        s.append(QChar(char16_t(0xD800 + (v >> 10))));
        s.append(QChar(char16_t(0xDC00 + (v & 0x3FF))));
    } else {
        s.append(QChar(char16_t(c)));
    }
    emitText(s);
}

void Reader::emitText(const QString& text, bool plainFace)
{
    if (text.isEmpty())
        return;
    State& s = st();
    switch (s.dest) {
    case Dest::Text: {
        if (s.chr.hidden)
            return;
        if (pendingCellTab_) {
            pendingCellTab_ = false;
            emitText(QStringLiteral("\t"));
        }
        const QString clean = cleaned(text);
        if (runs_.empty() || !(runs_.back().props == s.chr) || runs_.back().plainFace != plainFace)
            runs_.push_back(Run{QString(), s.chr, plainFace});
        runs_.back().text += clean;
        paraHasContent_ = true;
        return;
    }
    case Dest::NumberText:
        if (numberText_.size() < 64)
            numberText_ += cleaned(text);
        return;
    case Dest::PnTextBefore:
        if (pnBulletText_.size() < 8)
            pnBulletText_ += text;
        return;
    case Dest::LevelText:
        if (levelText_.size() < 64)
            levelText_ += text;
        return;
    case Dest::FontTable:
        // A character given as \uN inside a font name.
        if (fontEntry_ >= 0 && fontName_.size() < kMaxFontName * 4) {
            const Font& f = fonts_[fontEntry_];
            fontName_ += decodeBytes(fontBytes_, f.codePage > 0 ? f.codePage : codePageForCharset(f.charset, ansiCodePage_));
            fontBytes_.clear();
            fontName_ += text;
        }
        return;
    default:
        return;
    }
}

void Reader::finishFontEntry()
{
    if (fontEntry_ < 0) {
        fontBytes_.clear();
        fontName_.clear();
        return;
    }
    Font& f = fonts_[fontEntry_];
    const int cp = f.codePage > 0 ? f.codePage : codePageForCharset(f.charset, ansiCodePage_);
    // A name holds no control characters, and ';' only ends it.
    QString name = fontName_ + decodeBytes(fontBytes_, cp);
    fontName_.clear();
    name.removeIf([](QChar c) { return c.unicode() < 0x20 || c == u';'; });
    name = name.trimmed().left(kMaxFontName);
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    f.name = name.trimmed();
    f.symbols = symbolSetFor(f.charset, f.name);
    fontBytes_.clear();
    fontEntry_ = -1;
}

void Reader::finishColorEntry()
{
    if (colors_.size() < 4096) {
        if (red_ < 0 && green_ < 0 && blue_ < 0)
            colors_.push_back(QColor());
        else
            colors_.push_back(QColor(std::max(red_, 0), std::max(green_, 0), std::max(blue_, 0)));
    }
    red_ = green_ = blue_ = -1;
}

QTextCharFormat Reader::charFormat(const CharProps& p, bool plainFace)
{
    QTextCharFormat f;
    const int font = plainFace ? defaultFont_ : p.font;
    QString face = faceOf(font);
    if (plainFace && symbolsOf(font) != SymbolSet::None)
        face.clear();
    if (!face.isEmpty())
        f.setFontFamilies(QStringList{face});
    f.setFontPointSize(p.halfPoints / 2.0);
    f.setFontWeight(p.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(p.italic);
    f.setFontUnderline(p.underline);
    f.setFontStrikeOut(p.strike);
    if (p.color > 0 && p.color < int(colors_.size()) && colors_[p.color].isValid())
        f.setForeground(colors_[p.color]);
    if (p.background > 0 && p.background < int(colors_.size()) && colors_[p.background].isValid())
        f.setBackground(colors_[p.background]);
    if (p.vertical > 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (p.vertical < 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return f;
}

QTextBlockFormat Reader::blockFormat(const ParaProps& p, bool bullet) const
{
    QTextBlockFormat f;
    static const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
    f.setAlignment(aligns[std::clamp(p.align, 0, 3)] | Qt::AlignAbsolute);
    const Indents ind{p.li, p.ri, p.fi};
    applyIndents(f, ind, bullet);
    if (p.sb)
        f.setTopMargin(twipsToPixels(p.sb));
    if (p.sa)
        f.setBottomMargin(twipsToPixels(p.sa));
    if (p.sl < 0)
        applyLineSpacing(f, {LineSpacing::Exactly, -p.sl});
    else if (p.sl > 0)
        applyLineSpacing(f, {p.slMult ? LineSpacing::Multiple : LineSpacing::AtLeast, p.sl});
    storeTabStops(f, p.tabs, ind, bullet, defaultTab_);
    return f;
}

void Reader::endParagraph(bool force)
{
    flushBytes();
    if (!force && runs_.empty() && !sawNumberText_)
        return;
    // The innermost group holding text: at the end of a truncated document
    // the reader may still be inside a destination.
    size_t at = stack_.size() - 1;
    while (at > 0 && stack_[at].dest != Dest::Text)
        --at;
    const ParaProps& p = stack_[at].para;

    // Which list, if any, the paragraph belongs to.
    int listKind = 0;        // 0 none, 1 bullet, 2 numbered
    QTextListFormat::Style style = QTextListFormat::ListDisc;
    std::pair<int, int> key{0, 0};
    bool numberTextIsList = false;
    if (p.pn == PnKind::Bullet) {
        listKind = 1;
        style = bulletStyleFor(p.pnBullet);
        key = {1, int(style)};
        numberTextIsList = true;
    } else if (p.pn == PnKind::Numbered) {
        listKind = 2;
        style = p.pnStyle;
        key = {2, int(style)};
        numberTextIsList = true;
    } else if (p.pn == PnKind::Continue) {
        numberTextIsList = true;
    } else if (p.ls > 0) {
        numberTextIsList = true;
        int nfc = 23;
        char32_t bulletChar = 0;
        for (const OverrideDef& o : overrides_) {
            if (o.ls != p.ls)
                continue;
            for (const ListDef& l : lists_) {
                if (l.id != o.id || l.levels.empty())
                    continue;
                const ListLevelDef& lv = l.levels[std::min<size_t>(p.ilvl, l.levels.size() - 1)];
                nfc = lv.nfc;
                if (lv.text.size() >= 2)
                    bulletChar = lv.text.at(1).unicode();
                break;
            }
            break;
        }
        if (nfc == 23) {
            listKind = 1;
            style = bulletStyleFor(bulletChar);
        } else if (nfc != 255) {
            listKind = 2;
            style = numberStyleForNfc(nfc);
        }
        key = {3 + p.ilvl, p.ls};
    }

    const bool inList = listKind != 0;
    QTextBlockFormat bf = blockFormat(p, inList);
    const CharProps& cp = runs_.empty() ? st().chr : runs_.front().props;
    const QTextCharFormat cf = charFormat(cp, false);
    if (firstBlock_) {
        cursor_.setBlockFormat(bf);
        cursor_.setBlockCharFormat(cf);
        firstBlock_ = false;
    } else {
        cursor_.insertBlock(bf, cf);
    }

    if (inList) {
        auto it = openLists_.find(key);
        if (it != openLists_.end()) {
            it->second->add(cursor_.block());
        } else {
            QTextListFormat lf;
            lf.setStyle(style);
            lf.setIndent(0);
            openLists_[key] = cursor_.createList(lf);
        }
    } else {
        openLists_.clear();
    }

    if (!numberTextIsList && !numberText_.isEmpty()) {
        // A number or bullet written as text with no list behind it: it is
        // the paragraph's only bullet, so it is shown as text.
        const CharProps& np = runs_.empty() ? st().chr : runs_.front().props;
        cursor_.insertText(numberText_, charFormat(np, false));
    }
    for (const Run& r : runs_)
        cursor_.insertText(r.text, charFormat(r.props, r.plainFace));

    runs_.clear();
    numberText_.clear();
    sawNumberText_ = false;
    pendingCellTab_ = false;
    paraHasContent_ = false;
}

void setPlain(QTextDocument* doc, QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    // Control characters (memo padding, stray bytes) are not text.
    text.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\n' && c != u'\t'; });
    doc->setPlainText(text);
}

} // namespace

bool hasRtfHeader(QByteArrayView stored)
{
    qsizetype i = 0;
    while (i < stored.size() && (stored[i] == ' ' || stored[i] == '\t' || stored[i] == '\r' || stored[i] == '\n'))
        ++i;
    return stored.sliced(i).startsWith("{\\rtf");
}

ReadResult read(QByteArrayView stored, QTextDocument* doc)
{
    ReadResult result;
    if (!doc)
        return result;
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    doc->clear();
    // RTF's default tab stops unless the document states its own.
    setDefaultTab(doc, kDefaultTabTwips);
    if (hasRtfHeader(stored)) {
        result.rtf = true;
        // One edit for the whole document: the layout follows once, not
        // after every run of text.
        QTextCursor batch(doc);
        batch.beginEditBlock();
        Reader reader(stored, doc);
        result.damaged = reader.run();
        batch.endEditBlock();
    } else {
        // Plain text as stored before: Windows-1252, lines as paragraphs.
        setPlain(doc, decodeBytes(stored, 1252));
    }
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
    return result;
}

ReadResult read(const QString& stored, QTextDocument* doc)
{
    // Back to the stored bytes; a character with no Windows-1252 byte can
    // only have come from outside the memo, and is kept as an RTF escape
    // (or, in plain text, decoded back unchanged below).
    QByteArray bytes;
    bytes.reserve(stored.size());
    bool outside = false;
    for (QChar ch : stored) {
        const int b = cp1252Byte(ch.unicode());
        if (b >= 0) {
            bytes.append(char(b));
        } else {
            outside = true;
            bytes.append("\\u").append(QByteArray::number(qint16(ch.unicode()))).append('?');
        }
    }
    if (outside && !hasRtfHeader(bytes)) {
        ReadResult r;
        if (doc) {
            setDefaultTab(doc, kDefaultTabTwips);
            setPlain(doc, stored);
        }
        return r;
    }
    return read(QByteArrayView(bytes), doc);
}

} // namespace cn::rtf
