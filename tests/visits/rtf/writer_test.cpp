// Writing RTF: the stored form, and reading back what was written.
#include "rtf_test_util.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace rtftest;

TEST(RtfWriter, StoredFormIsSevenBitRtfWithTablesAndOldStyleBullets)
{
    const auto doc = editorDocument();
    const QByteArray rtf = cn::rtf::write(*doc);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    EXPECT_TRUE(rtf.contains("{\\fonttbl{\\f0"));
    EXPECT_TRUE(rtf.contains("Times New Roman;}"));
    EXPECT_TRUE(rtf.contains("\\fcharset2 Symbol;}"));
    EXPECT_TRUE(rtf.contains("{\\pntext\\f")) << "bullet as text for readers without lists";
    EXPECT_TRUE(rtf.contains("{\\*\\pn\\pnlvlblt\\pnf"));
    EXPECT_TRUE(rtf.contains("\\fi-320\\li640"));
    EXPECT_TRUE(rtf.contains("\\li1280\\ri640"));
    EXPECT_TRUE(rtf.contains("Caf\\'e9 37.5 \\'b0C \\'96 \\u1046? \\u-10179?\\u-8704? \\{braces\\} back\\\\slash\\tab"));
    EXPECT_TRUE(rtf.contains("line\\line break\\tab dose"));
    EXPECT_TRUE(rtf.contains("\\sl360\\slmult1\\tx2880\\tqr\\tx8000"));
    EXPECT_TRUE(rtf.contains("\\chcbpat3\\highlight3 marked\\chcbpat0\\highlight0"));
    EXPECT_TRUE(rtf.contains("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red255\\green255\\blue0;}"));
    EXPECT_TRUE(rtf.endsWith("}\r\n"));
    for (char ch : rtf)
        ASSERT_TRUE(static_cast<unsigned char>(ch) < 0x80) << "only 7-bit bytes";
    EXPECT_TRUE(cn::rtf::hasRtfHeader(rtf));
}

TEST(RtfWriter, EditorDocumentRoundTrips)
{
    const auto doc = editorDocument();
    const QByteArray rtf = cn::rtf::write(*doc);
    const Loaded back = load(rtf);
    ASSERT_FALSE(back.result.damaged);
    EXPECT_EQ(describe(*back.doc), describe(*doc));
    EXPECT_EQ(cn::rtf::write(*back.doc), rtf) << "writing what was read gives the same RTF";
}

TEST(RtfWriter, CorpusRoundTripsKeepTextAndFormats)
{
    const QStringList files = QDir(QStringLiteral(CURANOTE_TEST_DATA "/rtf")).entryList({"*.rtf"}, QDir::Files);
    ASSERT_GE(files.size(), 8);
    for (const QString& f : files) {
        const Loaded first = load(corpusFile(f));
        const QByteArray rtf = cn::rtf::write(*first.doc);
        const Loaded second = load(rtf);
        EXPECT_FALSE(second.result.damaged) << f.toStdString();
        EXPECT_EQ(describe(*second.doc), describe(*first.doc)) << f.toStdString();
        EXPECT_EQ(cn::rtf::write(*second.doc), rtf) << f.toStdString();
    }
}

TEST(RtfWriter, EmptyAndBlankParagraphsSurvive)
{
    ensureApp();
    for (const QString& text : {QString(), QStringLiteral("\n"), QStringLiteral("a\n\nb\n"), QStringLiteral("  ")}) {
        QTextDocument d;
        d.setPlainText(text);
        const Loaded back = load(cn::rtf::write(d));
        EXPECT_EQ(paragraphs(*back.doc), paragraphs(d)) << text.toStdString();
    }
}
