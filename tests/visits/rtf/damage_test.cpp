// Damaged RTF: shown as far as it goes, reported, never a crash or a hang.
#include "rtf_test_util.h"

#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace rtftest;

TEST(RtfDamage, UnbalancedBracesAndTrailingText)
{
    const Loaded open = load("{\\rtf1\\ansi {\\b bold text\\par more");
    EXPECT_TRUE(open.result.damaged);
    EXPECT_EQ(paragraphs(*open.doc), QStringList({"bold text", "more"}));

    const Loaded extra = load("{\\rtf1 one}} two}");
    EXPECT_TRUE(extra.result.damaged);
    EXPECT_TRUE(extra.doc->toPlainText().contains("one"));

    const Loaded after = load("{\\rtf1 one\\par} tail");
    EXPECT_TRUE(after.result.damaged);
    EXPECT_EQ(paragraphs(*after.doc), QStringList({"one", "tail"}));

    // Blanks and memo padding after the last brace are no damage.
    const Loaded padded = load(QByteArray("{\\rtf1 one\\par}\r\n\x1a\0\0", 20));
    EXPECT_FALSE(padded.result.damaged);
}

TEST(RtfDamage, TruncatedEscapesHugeParametersAndUnknownWords)
{
    EXPECT_TRUE(load("{\\rtf1 ab\\'4").result.damaged);
    EXPECT_TRUE(load("{\\rtf1 ab\\").result.damaged);
    const Loaded huge = load("{\\rtf1\\fs99999999999999999999 x\\li-99999999999 y\\u99999999999 z\\uc2147483647 w}");
    EXPECT_TRUE(huge.result.damaged);
    EXPECT_TRUE(huge.doc->toPlainText().contains("x"));
    const Loaded unknown = load("{\\rtf1 a\\zzzunknown12 b\\averyveryveryveryveryveryverylongcontrolword c}");
    EXPECT_FALSE(unknown.result.damaged) << "unknown words are normal";
    EXPECT_EQ(unknown.doc->toPlainText(), "abc") << "the blank after a word belongs to it";
}

TEST(RtfDamage, DeepNestingIsCappedWithoutRecursion)
{
    QByteArray deep = "{\\rtf1 start";
    deep += QByteArray(200000, '{');
    deep += "inner";
    deep += QByteArray(200000, '}');
    deep += " end}";
    QElapsedTimer t;
    t.start();
    const Loaded l = load(deep);
    EXPECT_TRUE(l.result.damaged);
    EXPECT_TRUE(l.doc->toPlainText().startsWith("start"));
    EXPECT_TRUE(l.doc->toPlainText().endsWith("end"));
    EXPECT_LT(t.elapsed(), 5000);

    // Nesting deep but within the cap is read normally.
    QByteArray moderate = "{\\rtf1 " + QByteArray(50, '{') + "x" + QByteArray(50, '}') + "}";
    EXPECT_FALSE(load(moderate).result.damaged);
}

TEST(RtfDamage, EveryTruncationOfTheCorpusIsSurvived)
{
    // Cutting a document anywhere must leave a readable, shorter text.
    const QStringList files = QDir(QStringLiteral(CURANOTE_TEST_DATA "/rtf")).entryList({"*.rtf"}, QDir::Files);
    ASSERT_GE(files.size(), 8);
    for (const QString& f : files) {
        const QByteArray full = corpusFile(f);
        const Loaded whole = load(full);
        EXPECT_FALSE(whole.result.damaged) << f.toStdString();
        const QString wholeText = whole.doc->toPlainText();
        const int step = std::max<qsizetype>(1, full.size() / 400);
        for (qsizetype n = 6; n < full.size() - 3; n += step) {
            const Loaded cut = load(full.left(n));
            ASSERT_TRUE(cut.result.rtf);
            EXPECT_TRUE(cut.result.damaged) << f.toStdString() << " cut at " << n;
            EXPECT_LE(cut.doc->toPlainText().size(), wholeText.size() + 8) << f.toStdString() << " cut at " << n;
        }
    }
}

TEST(RtfDamage, ScrambledCorpusBytesNeverHang)
{
    // A fixed pseudo-random walk of byte changes over each corpus document.
    const QStringList files = QDir(QStringLiteral(CURANOTE_TEST_DATA "/rtf")).entryList({"*.rtf"}, QDir::Files);
    quint32 seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    const char alphabet[] = "{}\\'*0123456789-abuxfpnl \x80\xff";
    for (const QString& f : files) {
        QByteArray bytes = corpusFile(f);
        for (int round = 0; round < 40; ++round) {
            for (int k = 0; k < 8; ++k)
                bytes[int(next() % bytes.size())] = alphabet[next() % (sizeof(alphabet) - 1)];
            const Loaded l = load(bytes);
            EXPECT_GE(l.doc->blockCount(), 1);
        }
    }
}

TEST(RtfDamage, DamagedCorpusDocumentsShowWhatTheyCan)
{
    const Loaded cut = load(corpusFile("damaged/truncated_richedit.rtf"));
    EXPECT_TRUE(cut.result.damaged);
    const QStringList p = paragraphs(*cut.doc);
    ASSERT_EQ(p.size(), 8);
    EXPECT_EQ(p.last(), "indented twi");
    EXPECT_EQ(listKind(blockWith(*cut.doc, "Cough")), "disc");
    EXPECT_EQ(formatAt(*cut.doc, "1-0-1").foreground().color(), QColor(255, 0, 0));

    const Loaded braces = load(corpusFile("damaged/braces_lo.rtf"));
    EXPECT_TRUE(braces.result.damaged);
    EXPECT_EQ(paragraphs(*braces.doc).size(), 9);
    EXPECT_TRUE(formatAt(*braces.doc, "fever").fontItalic());
    EXPECT_TRUE(formatAt(*braces.doc, "headache").fontItalic()) << "the unclosed group goes on";
    EXPECT_EQ(paragraphs(*braces.doc).last(), "trailing garbage ");
}
