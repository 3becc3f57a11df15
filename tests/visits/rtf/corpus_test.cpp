// Documents written by other programs read with the right text and formats.
#include "rtf_test_util.h"

#include <gtest/gtest.h>

using namespace rtftest;

namespace {

bool bold(const QTextDocument& d, const char* t) { return formatAt(d, t).fontWeight() >= QFont::DemiBold; }
bool italic(const QTextDocument& d, const char* t) { return formatAt(d, t).fontItalic(); }
bool underline(const QTextDocument& d, const char* t) { return formatAt(d, t).fontUnderline(); }
bool strike(const QTextDocument& d, const char* t) { return formatAt(d, t).fontStrikeOut(); }
Qt::Alignment align(const QTextDocument& d, const char* t)
{
    return blockWith(d, t).blockFormat().alignment() & Qt::AlignHorizontal_Mask;
}

} // namespace

TEST(RtfCorpus, WordProcessorFromOdt)
{
    const Loaded l = load(corpusFile("lo_from_odt.rtf"));
    ASSERT_FALSE(l.result.damaged);
    const QTextDocument& d = *l.doc;
    EXPECT_EQ(paragraphs(d), QStringList({"Rx", "Complaints: fever for three days, headache.",
                                          "Tab. Paracetamol 500 mg 1-0-1 after meals", "Syp. Cough 10 ml at night",
                                          "Indented advice paragraph with a hanging first line.",
                                          "Review after 5 days", "Tab. Ibuprofen stopped.",
                                          "Zażółć gęślą jaźń – Ελληνικά – Русский"}));
    EXPECT_TRUE(bold(d, "Rx"));
    EXPECT_EQ(formatAt(d, "Rx").fontPointSize(), 14.0);
    EXPECT_TRUE(align(d, "Rx") & Qt::AlignHCenter);
    EXPECT_TRUE(italic(d, "fever"));
    EXPECT_FALSE(italic(d, "headache"));
    EXPECT_EQ(listKind(blockWith(d, "Paracetamol")), "disc");
    EXPECT_EQ(blockWith(d, "Paracetamol").textList(), blockWith(d, "Cough").textList());
    EXPECT_EQ(formatAt(d, "10 ml").foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(cn::rtf::indents(blockWith(d, "Indented")), (cn::rtf::Indents{720, 0, -360}));
    EXPECT_TRUE(align(d, "Review") & Qt::AlignRight);
    EXPECT_TRUE(underline(d, "Review"));
    EXPECT_TRUE(strike(d, "Ibuprofen"));
    EXPECT_FALSE(strike(d, "stopped"));
    EXPECT_EQ(formatAt(d, "Complaints").fontFamilies().toStringList().value(0), "Liberation Serif");
}

TEST(RtfCorpus, WordProcessorFromHtml)
{
    const Loaded l = load(corpusFile("lo_from_html.rtf"));
    ASSERT_FALSE(l.result.damaged);
    const QTextDocument& d = *l.doc;
    const QStringList p = paragraphs(d);
    EXPECT_EQ(p.first(), "Rx");
    EXPECT_TRUE(p.contains("Drink plenty of water and rest."));
    EXPECT_EQ(p.last(), "Café crème, naïve – “quoted” 37.5 °C ± 0.5");
    EXPECT_TRUE(bold(d, "Rx"));
    EXPECT_TRUE(align(d, "Rx") & Qt::AlignHCenter);
    EXPECT_TRUE(italic(d, "fever"));
    EXPECT_EQ(listKind(blockWith(d, "Paracetamol")), "disc");
    EXPECT_FALSE(blockWith(d, "Paracetamol").text().contains(u'\u2022')) << "bullet shown once";
    EXPECT_EQ(formatAt(d, "10 ml").foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(underline(d, "Review"));
    EXPECT_TRUE(align(d, "Review") & Qt::AlignRight);
    EXPECT_TRUE(strike(d, "Ibuprofen"));
    EXPECT_TRUE(align(d, "Drink") & Qt::AlignJustify);
}

TEST(RtfCorpus, MarkupConverters)
{
    const Loaded pd = load(corpusFile("pandoc.rtf"));
    ASSERT_FALSE(pd.result.damaged);
    EXPECT_EQ(paragraphs(*pd.doc),
              QStringList({"Rx", "Complaints: fever for three days, headache.",
                           "\u2022\tTab. Paracetamol 500 mg 1-0-1 after meals", "\u2022\tSyp. Cough 10 ml at night",
                           "Review after 5 days: Tab. Ibuprofen stopped.",
                           "Café crème, naïve – “quoted” 37.5 °C ± 0.5"}));
    EXPECT_TRUE(bold(*pd.doc, "Rx"));
    EXPECT_TRUE(italic(*pd.doc, "fever"));
    EXPECT_EQ(cn::rtf::indents(blockWith(*pd.doc, "Paracetamol")), (cn::rtf::Indents{360, 0, -360}));

    const Loaded lx = load(corpusFile("latex2rtf.rtf"));
    ASSERT_FALSE(lx.result.damaged);
    const QTextDocument& d = *lx.doc;
    EXPECT_FALSE(d.toPlainText().contains("Original file")) << "document information is not shown";
    EXPECT_TRUE(bold(d, "Rx"));
    EXPECT_TRUE(align(d, "Rx") & Qt::AlignHCenter);
    EXPECT_TRUE(italic(d, "fever"));
    EXPECT_TRUE(underline(d, "Review"));
    EXPECT_TRUE(align(d, "Complaints") & Qt::AlignJustify);
    EXPECT_TRUE(blockWith(d, "Paracetamol").text().startsWith("\u2022\t"));
    EXPECT_TRUE(blockWith(d, "Café").text().contains("“quoted”"));

    const Loaded en = load(corpusFile("enscript.rtf"));
    ASSERT_FALSE(en.result.damaged);
    EXPECT_TRUE(en.doc->toPlainText().contains("Complaints: fever for three days, headache.\n"
                                               "  - Tab. Paracetamol 500 mg 1-0-1 after meals"));
    EXPECT_EQ(formatAt(*en.doc, "Rx").fontFamilies().toStringList().value(0), "Courier New");
}

TEST(RtfCorpus, RichEditControlWithParagraphNumbering)
{
    const Loaded l = load(corpusFile("richedit_pn.rtf"));
    ASSERT_FALSE(l.result.damaged);
    const QTextDocument& d = *l.doc;
    EXPECT_EQ(paragraphs(d), QStringList({"Rx", "Complaints: fever, headache.",
                                          "Tab. Paracetamol 500 mg 1-0-1 after meals", "Syp. Cough 10 ml at night",
                                          "Review after 5 days", "Tab. Ibuprofen stopped.",
                                          "Temperature 101°F – “quoted”", "indented twice"}));
    EXPECT_TRUE(bold(d, "Rx"));
    EXPECT_FALSE(bold(d, "Complaints"));
    EXPECT_EQ(listKind(blockWith(d, "Paracetamol")), "disc");
    EXPECT_EQ(listKind(blockWith(d, "Cough")), "disc");
    EXPECT_EQ(listKind(blockWith(d, "Review")), "none");
    EXPECT_EQ(formatAt(d, "1-0-1").foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(d, "after meals").hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(formatAt(d, "10 ml").foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(cn::rtf::indents(blockWith(d, "Review")).left, 640);
    EXPECT_EQ(cn::rtf::indents(blockWith(d, "indented twice")).left, 1280);
    EXPECT_EQ(formatAt(d, "Temperature").fontFamilies().toStringList().value(0), "Times New Roman");
    EXPECT_EQ(formatAt(d, "Temperature").fontPointSize(), 10.0);
}
