// Reading RTF: what a prescription shows after loading.
#include "rtf_test_util.h"

#include <gtest/gtest.h>

using namespace rtftest;

namespace {

QByteArray doc(const char* body)
{
    return QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil\\fcharset2 Symbol;}"
                      "{\\f2\\froman Times New Roman;}}{\\colortbl ;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}")
        + body + "}";
}

} // namespace

TEST(RtfReader, CharacterFormatsFaceSizeStylesAndColour)
{
    const Loaded l = load(doc("\\f2\\fs36 big {\\b bold}{\\i italic}{\\uldb double}{\\ulwave wave}"
                              "{\\strike struck}{\\cf2 red}{\\cf1 black}{\\cf0 auto}{\\cf9 missing}"
                              "{\\b\\b0 notbold}{\\ul\\ulnone plain}{\\super up}\\plain reset\\par"));
    ASSERT_FALSE(l.result.damaged);
    const QTextDocument& d = *l.doc;
    EXPECT_EQ(formatAt(d, "big").fontFamilies().toStringList().value(0), "Times New Roman");
    EXPECT_EQ(formatAt(d, "big").fontPointSize(), 18.0);
    EXPECT_EQ(formatAt(d, "bold").fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(d, "italic").fontItalic());
    EXPECT_TRUE(formatAt(d, "double").fontUnderline()) << "every underline kind shows as underline";
    EXPECT_TRUE(formatAt(d, "wave").fontUnderline());
    EXPECT_TRUE(formatAt(d, "struck").fontStrikeOut());
    EXPECT_EQ(formatAt(d, "red").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(d, "black").foreground().color(), QColor(0, 0, 0));
    EXPECT_FALSE(formatAt(d, "auto").hasProperty(QTextFormat::ForegroundBrush)) << "\\cf0 is automatic";
    EXPECT_FALSE(formatAt(d, "missing").hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_NE(formatAt(d, "notbold").fontWeight(), QFont::Bold);
    EXPECT_FALSE(formatAt(d, "plain").fontUnderline());
    EXPECT_EQ(formatAt(d, "up").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    const QTextCharFormat reset = formatAt(d, "reset");
    EXPECT_EQ(reset.fontFamilies().toStringList().value(0), "Arial") << "\\plain returns to the default font";
    EXPECT_EQ(reset.fontPointSize(), 12.0);
    // Groups restore what they changed.
    EXPECT_EQ(formatAt(d, "black").fontPointSize(), 18.0);
}

TEST(RtfReader, ParagraphAlignmentAndIndents)
{
    const Loaded l = load(doc("\\pard\\qc centre\\par\\pard\\qr right\\par\\pard\\qj just\\par"
                              "\\pard\\li1440\\ri720\\fi-360 hanging\\par next keeps\\par\\pard reset\\par"
                              "{\\pard\\qc grouped\\par}after group\\par"));
    const QTextDocument& d = *l.doc;
    EXPECT_EQ(paragraphs(d), QStringList({"centre", "right", "just", "hanging", "next keeps", "reset",
                                          "grouped", "after group"}));
    auto align = [&](const char* t) { return blockWith(d, t).blockFormat().alignment() & Qt::AlignHorizontal_Mask; };
    EXPECT_TRUE(align("centre") & Qt::AlignHCenter);
    EXPECT_TRUE(align("right") & Qt::AlignRight);
    EXPECT_TRUE(align("just") & Qt::AlignJustify);
    EXPECT_EQ(cn::rtf::indents(blockWith(d, "hanging")), (cn::rtf::Indents{1440, 720, -360}));
    EXPECT_EQ(cn::rtf::indents(blockWith(d, "next keeps")), (cn::rtf::Indents{1440, 720, -360}))
        << "paragraph properties last until \\pard";
    EXPECT_EQ(cn::rtf::indents(blockWith(d, "reset")), cn::rtf::Indents{});
    EXPECT_FALSE(align("after group") & Qt::AlignHCenter) << "a group's paragraph properties end with it";
    // Pixels at the layout resolution: 1440 twips is one inch.
    EXPECT_NEAR(blockWith(d, "hanging").blockFormat().leftMargin(), cn::rtf::layoutDpi(), 0.01);
}

TEST(RtfReader, OldStyleBulletsShowOnceAndLastUntilPard)
{
    const Loaded l = load(doc("\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
                              "\\fi-320\\li640 one\\par{\\pntext\\f1\\'B7\\tab}two\\par\\pard three\\par"
                              "{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}first\\par"
                              "\\pard{\\pntext\\f1\\'B7\\tab}no list behind\\par"));
    const QTextDocument& d = *l.doc;
    EXPECT_EQ(paragraphs(d), QStringList({"one", "two", "three", "first", "\u2022\tno list behind"}));
    EXPECT_EQ(listKind(blockWith(d, "one")), "disc");
    EXPECT_EQ(blockWith(d, "one").textList(), blockWith(d, "two").textList()) << "one list, not two";
    EXPECT_EQ(listKind(blockWith(d, "three")), "none");
    EXPECT_EQ(listKind(blockWith(d, "first")), "decimal");
    EXPECT_EQ(listKind(blockWith(d, "no list")), "none");
    // The bullet hangs at 320 twips; the text starts at 640.
    EXPECT_EQ(cn::rtf::indents(blockWith(d, "one")), (cn::rtf::Indents{640, 0, -320}));
}

TEST(RtfReader, ListTableBulletsAndNumbers)
{
    const Loaded l = load(corpusFile("listtable.rtf"));
    ASSERT_FALSE(l.result.damaged);
    const QTextDocument& d = *l.doc;
    EXPECT_EQ(paragraphs(d), QStringList({"Advice:", "Rest", "Fluids", "Water", "First", "Second", "Done."}))
        << "\\listtext is not shown: the list shows its own bullet";
    EXPECT_EQ(listKind(blockWith(d, "Rest")), "disc");
    EXPECT_EQ(listKind(blockWith(d, "Water")), "circle");
    EXPECT_EQ(listKind(blockWith(d, "First")), "decimal");
    EXPECT_EQ(blockWith(d, "Second").textList()->itemText(blockWith(d, "Second")), "2.");
    EXPECT_EQ(listKind(blockWith(d, "Done.")), "none");
}

TEST(RtfReader, CharactersInCodePagesUnicodeAndSymbolFonts)
{
    const Loaded cp = load(corpusFile("codepages.rtf"));
    ASSERT_FALSE(cp.result.damaged);
    const QStringList p = paragraphs(*cp.doc);
    ASSERT_GE(p.size(), 8);
    EXPECT_EQ(p[0], "Zażółć gęślą") << "font charset 238: code page 1250";
    EXPECT_EQ(p[1], "Русский");
    EXPECT_EQ(p[2], "Ελληνικά");
    EXPECT_EQ(p[3], "café") << "charset 0 is 1252 whatever \\ansicpg says";
    EXPECT_EQ(p[4], "ą") << "charset 1 follows \\ansicpg";
    EXPECT_EQ(p[5], "ą") << "charset 186: code page 1257";
    EXPECT_EQ(p[6], "smile \U0001F60A end") << "surrogate pair with a two-character fallback under \\uc2";
    EXPECT_TRUE(p[7].startsWith("euro \u20AC and"));

    const Loaded sym = load(corpusFile("symbol_bullets.rtf"));
    EXPECT_EQ(paragraphs(*sym.doc),
              QStringList({"\u2022\tMorning dose", "\u2022\tEvening dose", "\u25AA\tNight dose",
                           "\u03B1 \u03B2= alpha beta, \u2265 5"}));
    // Mapped symbols take the document's face, not the symbol font's.
    EXPECT_EQ(formatAt(*sym.doc, "\u03B1").fontFamilies().toStringList().value(0), "Arial");

    const Loaded esc = load(doc("\\{\\}\\\\ \\'e9\\'80 \\u-3913? \\u1234?x \\uc0\\u8364 y\\~z\\bullet\\endash\\emdash"
                                "\\lquote\\rquote\\ldblquote\\rdblquote a\\-b\\_c\\par"));
    EXPECT_EQ(paragraphs(*esc.doc).value(0),
              QString::fromUtf8("{}\\ é€ \uF0B7 \u04D2x \u20ACy\u00A0z\u2022\u2013\u2014\u2018\u2019\u201C\u201D"
                                "ab\u2011c"));
}

TEST(RtfReader, SkipsWhatIsNotShown)
{
    const Loaded l = load(corpusFile("features.rtf"));
    ASSERT_FALSE(l.result.damaged);
    EXPECT_EQ(paragraphs(*l.doc),
              QStringList({"Before  after", "Picture", "Object", "Binary", "link text", "hidden:visible", "A\tB",
                           "Escapes: { } \\ x\u00A0y\u2013\u2014\u2018\u2019\u201C\u201D\u2022",
                           "unknown control words", "line\u2028break\ttab"}));
    const QString all = l.doc->toPlainText();
    for (const char* hidden : {"Secret", "Someone", "Normal style", "Header", "Footer", "hidden stuff", "Result",
                               "HYPERLINK", "secret"})
        EXPECT_FALSE(all.contains(hidden)) << hidden;
}

TEST(RtfReader, BinDataIsExactlyItsLengthAndClampedAtTheEnd)
{
    // The six bytes may hold braces and backslashes: they are data.
    const Loaded ok = load(doc("a{\\pict\\bin6 }}{\\x\\}b\\par"));
    EXPECT_FALSE(ok.result.damaged);
    EXPECT_EQ(paragraphs(*ok.doc), QStringList({"ab"}));
    const Loaded cut = load("{\\rtf1 text{\\pict\\bin999999 abc");
    EXPECT_TRUE(cut.result.damaged);
    EXPECT_EQ(paragraphs(*cut.doc), QStringList({"text"}));
}

TEST(RtfReader, StoredTextWithoutHeaderIsPlainText)
{
    const Loaded l = load(QByteArray("Tab. Paracetamol {500} mg\\b\r\nCaf\xe9 \x80\r\n"));
    EXPECT_FALSE(l.result.rtf);
    EXPECT_FALSE(l.result.damaged);
    EXPECT_EQ(paragraphs(*l.doc), QStringList({"Tab. Paracetamol {500} mg\\b", "Caf\u00E9 \u20AC", ""}));
    EXPECT_FALSE(cn::rtf::hasRtfHeader("{\\rt"));
    EXPECT_FALSE(cn::rtf::hasRtfHeader("x{\\rtf1}"));
    EXPECT_TRUE(cn::rtf::hasRtfHeader("\r\n {\\rtf1}"));

    // The same from text already converted to Unicode.
    ensureApp();
    QTextDocument d;
    EXPECT_TRUE(cn::rtf::read(QStringLiteral("{\\rtf1 Caf\u00E9 \\'e9 \u0416}"), &d).rtf);
    EXPECT_EQ(d.toPlainText(), QStringLiteral("Caf\u00E9 \u00E9 \u0416"));
    EXPECT_FALSE(cn::rtf::read(QStringLiteral("\u0416 plain"), &d).rtf);
    EXPECT_EQ(d.toPlainText(), QStringLiteral("\u0416 plain"));
}

TEST(RtfReader, EditorMeasuresAndBulletHelpers)
{
    ensureApp();
    QTextDocument d;
    d.setPlainText("one\ntwo");
    QTextCursor c(&d);
    c.select(QTextCursor::Document);
    cn::rtf::setBullet(c, true);
    cn::rtf::setIndents(c, {640, 0, -320});
    EXPECT_TRUE(cn::rtf::hasBullet(d.begin()));
    EXPECT_EQ(d.begin().textList(), d.begin().next().textList());
    EXPECT_EQ(cn::rtf::indents(d.begin().next()), (cn::rtf::Indents{640, 0, -320}));
    cn::rtf::setIndents(c, {1280, 0, 0});
    EXPECT_EQ(cn::rtf::indents(d.begin()), (cn::rtf::Indents{1280, 0, 0})) << "a bullet that does not hang";
    cn::rtf::setBullet(c, false);
    EXPECT_FALSE(cn::rtf::hasBullet(d.begin()));
    EXPECT_EQ(cn::rtf::indents(d.begin()), (cn::rtf::Indents{1280, 0, 0}));
}

TEST(RtfReader, LineSpacingTabStopsAndHighlight)
{
    const Loaded lo = load(corpusFile("lo_layout.rtf"));
    ASSERT_FALSE(lo.result.damaged);
    const QTextDocument& d = *lo.doc;
    using cn::rtf::LineSpacing;
    auto spacing = [&](const char* t) { return cn::rtf::lineSpacing(blockWith(d, t).blockFormat()); };
    EXPECT_EQ(cn::rtf::defaultTab(d), 709) << "12.5 mm";
    EXPECT_EQ(spacing("Body text"), (LineSpacing{LineSpacing::Multiple, 276}));
    EXPECT_EQ(spacing("Double"), (LineSpacing{LineSpacing::Multiple, 480}));
    EXPECT_EQ(spacing("At least"), (LineSpacing{LineSpacing::AtLeast, 510}));
    EXPECT_EQ(spacing("Exact"), (LineSpacing{LineSpacing::Exactly, 283}));
    EXPECT_EQ(spacing("Space after"), LineSpacing{});
    EXPECT_EQ(cn::rtf::tabStops(blockWith(d, "Paracetamol")),
              (QList<cn::rtf::TabStop>{{2268, QTextOption::LeftTab}, {5102, QTextOption::CenterTab},
                                       {8504, QTextOption::RightTab}}));
    EXPECT_TRUE(cn::rtf::tabStops(blockWith(d, "Rx")).isEmpty());
    EXPECT_EQ(formatAt(d, "allergic").background().color(), QColor(255, 255, 0));
    EXPECT_EQ(formatAt(d, "green").background().color(), QColor(0, 255, 0));
    EXPECT_FALSE(formatAt(d, "Note").hasProperty(QTextFormat::BackgroundBrush));

    // The other ways of stating them; \pard and \plain end them.
    const Loaded l = load(doc("\\pard\\sl-300\\tqdec\\tx1000 {\\highlight2 hl}{\\cb2 cb}{\\highlight2\\highlight0 off}"
                              "{\\highlight2\\plain plain}\\par\\pard\\sl0 single\\par\\pard\\sl360\\slmult0 least\\par"
                              "\\pard after pard\\par"));
    const QTextDocument& e = *l.doc;
    EXPECT_EQ(cn::rtf::defaultTab(e), cn::rtf::kDefaultTabTwips) << "none stated";
    EXPECT_EQ(cn::rtf::lineSpacing(blockWith(e, "hl").blockFormat()), (LineSpacing{LineSpacing::Exactly, 300}));
    EXPECT_EQ(cn::rtf::tabStops(blockWith(e, "hl")), (QList<cn::rtf::TabStop>{{1000, QTextOption::DelimiterTab}}));
    EXPECT_EQ(cn::rtf::lineSpacing(blockWith(e, "single").blockFormat()), LineSpacing{});
    EXPECT_EQ(cn::rtf::lineSpacing(blockWith(e, "least").blockFormat()), (LineSpacing{LineSpacing::AtLeast, 360}));
    EXPECT_EQ(cn::rtf::lineSpacing(blockWith(e, "after pard").blockFormat()), LineSpacing{});
    EXPECT_TRUE(cn::rtf::tabStops(blockWith(e, "after pard")).isEmpty());
    EXPECT_EQ(formatAt(e, "hl").background().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(e, "cb").background().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(e, "off").hasProperty(QTextFormat::BackgroundBrush));
    EXPECT_FALSE(formatAt(e, "plain").hasProperty(QTextFormat::BackgroundBrush));

    // A default stated after the text still applies to all of it.
    const Loaded late = load(doc("\\pard\\li100 a\\tab b\\par\\deftab500 c\\par"));
    EXPECT_EQ(cn::rtf::defaultTab(*late.doc), 500);
    EXPECT_EQ(describe(*late.doc), describe(*load(cn::rtf::write(*late.doc)).doc));
    // The first paragraph's line starts at 100 twips: its first default
    // stop is 400 twips on.
    EXPECT_NEAR(late.doc->begin().blockFormat().tabPositions().value(0).position, cn::rtf::twipsToPixels(400), 1e-9);
}

// What the editor shows: tabs at the stops as stated, measured from the left
// edge, however the paragraph is indented or bulleted.
TEST(RtfReader, TabStopsStayPutWhenIndentsChange)
{
    const Loaded l = load("{\\rtf1\\deftab720\\pard\\tx2880 a\\tab b\\tab c\\par}");
    QTextDocument& d = *l.doc;
    d.setDocumentMargin(0);
    d.setTextWidth(2000);
    auto xOf = [&](QChar ch) {
        d.documentLayout()->documentSize();
        const QTextBlock b = d.begin();
        const int at = int(b.text().indexOf(ch));
        return cn::rtf::pixelsToTwips(b.layout()->lineForTextPosition(at).cursorToX(at));
    };
    const QList<cn::rtf::TabStop> stated{{2880, QTextOption::LeftTab}};
    EXPECT_NEAR(xOf('b'), 2880, 1);
    EXPECT_NEAR(xOf('c'), 3600, 1) << "the next default stop from the left edge";
    QTextCursor c(&d);
    c.select(QTextCursor::Document);
    cn::rtf::setIndents(c, {640, 0, 0});
    EXPECT_EQ(cn::rtf::tabStops(d.begin()), stated);
    EXPECT_NEAR(xOf('b'), 2880, 1);
    EXPECT_NEAR(xOf('c'), 3600, 1);
    cn::rtf::setBullet(c, true);
    cn::rtf::setIndents(c, {1000, 0, -300});
    EXPECT_EQ(cn::rtf::tabStops(d.begin()), stated);
    EXPECT_NEAR(xOf('b'), 2880, 1);
    EXPECT_NEAR(xOf('c'), 3600, 1);
    cn::rtf::setDefaultTab(&d, 500);
    EXPECT_EQ(cn::rtf::tabStops(d.begin()), stated);
    EXPECT_NEAR(xOf('c'), 3500, 1);
    // A first line hanging into its indent tabs to the indent first.
    cn::rtf::setBullet(c, false);
    cn::rtf::setIndents(c, {2000, 0, -2000});
    EXPECT_NEAR(xOf('b'), 2000, 1);
    EXPECT_NEAR(xOf('c'), 2880, 1);
    cn::rtf::setTabStops(c, {});
    EXPECT_TRUE(cn::rtf::tabStops(d.begin()).isEmpty());
    EXPECT_NEAR(xOf('c'), 2500, 1);
}
