// Loading the stored options into the settings, and the font string format.
#include "app/database.h"
#include "app/options.h"
#include "app/settings.h"
#include "data/catalog.h"
#include "data/workspace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace cn {
namespace {

TEST(FontString, ParsingDropsStrikeOutAndCharacterSetAndWritingEndsInFZero)
{
    const FontRecord r = FONTSTR2ARRAY(QStringLiteral("Arial/12/T/F/255/0/0/T/T/1"));
    EXPECT_EQ(r.face, QStringLiteral("Arial"));
    EXPECT_EQ(r.size, 12);
    EXPECT_TRUE(r.bold);
    EXPECT_FALSE(r.italic);
    EXPECT_EQ(r.red, 255);
    EXPECT_EQ(r.green, 0);
    EXPECT_TRUE(r.underline);
    EXPECT_FALSE(r.strikeOut);
    EXPECT_EQ(r.charSet, 0);
    EXPECT_EQ(FONTARRAY2STR(r), QStringLiteral("Arial/12/T/F/255/0/0/T/F/0"));

    FontRecord struck = r;
    struck.strikeOut = true;
    struck.charSet = 2;
    EXPECT_TRUE(FONTARRAY2STR(struck).endsWith(QStringLiteral("/F/0")));
}

TEST(FontString, OddFieldsReadAsZeroOrFalse)
{
    // Only an exact "T" is true; numbers are read as far as they are numbers.
    const FontRecord r = FONTSTR2ARRAY(QStringLiteral("Times New Roman/x/t/TRUE/12abc/ 7/-/T"));
    EXPECT_EQ(r.face, QStringLiteral("Times New Roman"));
    EXPECT_EQ(r.size, 0);
    EXPECT_FALSE(r.bold);
    EXPECT_FALSE(r.italic);
    EXPECT_EQ(r.red, 12);
    EXPECT_EQ(r.green, 7);
    EXPECT_EQ(r.blue, 0);
    EXPECT_TRUE(r.underline);

    // A blank string (a fresh options record) is an empty face of size 0.
    const FontRecord blank = FONTSTR2ARRAY(QString());
    EXPECT_EQ(blank.face, QString());
    EXPECT_EQ(blank.size, 0);
    EXPECT_EQ(FONTARRAY2STR(blank), QStringLiteral("/0/F/F/0/0/0/F/F/0"));
}

TEST(SettingsBeforeOptions, HoldTheInitialValues)
{
    const Settings s;
    EXPECT_DOUBLE_EQ(s.NTOPMARGIN, 63.50);
    EXPECT_DOUBLE_EQ(s.NLEFTMARGIN, 25.40);
    EXPECT_DOUBLE_EQ(s.NRIGHTMARGIN, 25.40);
    EXPECT_DOUBLE_EQ(s.NBOTTOMMARGIN, 38.10);
    EXPECT_EQ(s.MCOMPANY, QString(40, QLatin1Char(' ')));
    EXPECT_EQ(s.CDEFFONT, QStringLiteral("Arial/12/F/F/0/0/0/F/F/0"));
    EXPECT_EQ(FONTSTR2ARRAY(s.CDEFFONT), s.ADEFFONT);
    EXPECT_EQ(s.numPicture(10, 0), QStringLiteral("999,99,99,999"));
    EXPECT_EQ(s.CDATEFORMAT, QStringLiteral("dd-MM-yyyy"));
}

// A data folder holding only the options table, with the catalogue's
// structure (or a given one).
class OptionsTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        openDb(dir_.path());
        db().setDeletedVisible(false);
        db().setDateFormat("MM/dd/yyyy");
    }
    void TearDown() override { db().closeAll(); }

    void createOpts(data::Structure fields = data::catalog::findTable("opts")->fields)
    {
        ASSERT_TRUE(db().create("opts", fields).isOk());
    }
    data::WorkArea& openOpts()
    {
        auto r = db().use("opts", "opts", data::OpenMode{true, false});
        EXPECT_TRUE(r.isOk()) << r.message();
        return *r.value();
    }
    int liveRecords()
    {
        data::WorkArea& a = openOpts();
        int n = 0;
        for (a.goTop(); !a.eof(); a.skip(1))
            ++n;
        db().closeArea("opts");
        return n;
    }

    QTemporaryDir dir_;
};

TEST_F(OptionsTable, FreshFolderGetsADefaultRecordWithZeroMarginsAndBlankFont)
{
    createOpts();
    Settings s;
    EXPECT_TRUE(SET_OPTIONS(db(), s));

    EXPECT_EQ(s.MCURRENCYSYMBOL, QStringLiteral("Rs."));
    EXPECT_EQ(s.MCURRENCYTEXT, QStringLiteral("Rupees"));
    EXPECT_EQ(s.MCURRENCY2TEXT, QStringLiteral("paisa"));
    EXPECT_EQ(s.MNUMFORMAT, 2);
    EXPECT_EQ(s.MDATEFORMAT, 2);
    EXPECT_DOUBLE_EQ(s.NTOPMARGIN, 0);
    EXPECT_DOUBLE_EQ(s.NBOTTOMMARGIN, 0);
    EXPECT_EQ(s.ADEFFONT.face, QString());
    EXPECT_EQ(s.ADEFFONT.size, 0);
    EXPECT_EQ(s.CDATEFORMAT, QStringLiteral("dd-MM-yyyy"));
    EXPECT_EQ(db().dateFormat(), "dd-MM-yyyy");
    EXPECT_EQ(s.MCOMPANY, QString(40, QLatin1Char(' ')));
    // The table is closed afterwards, and a second run adds no second record.
    EXPECT_EQ(db().area("opts"), nullptr);
    EXPECT_TRUE(SET_OPTIONS(db(), s));
    EXPECT_EQ(liveRecords(), 1);
}

TEST_F(OptionsTable, StoredRecordReplacesEverySetting)
{
    createOpts();
    data::WorkArea& a = openOpts();
    // A deleted record ahead of the live one must be passed over.
    ASSERT_TRUE(a.append().isOk());
    ASSERT_TRUE(a.setStr("CURRSYM", "XX").isOk());
    ASSERT_TRUE(a.deleteRecord().isOk());
    a.unlock();
    ASSERT_TRUE(a.append().isOk());
    ASSERT_TRUE(a.setStr("CURRSYM", "$").isOk());
    ASSERT_TRUE(a.setStr("CURRTXT", "Dollars").isOk());
    ASSERT_TRUE(a.setStr("CURRTXT2", "cents").isOk());
    ASSERT_TRUE(a.setNum("NUMFORM", 1).isOk());
    ASSERT_TRUE(a.setNum("DATEFORM", 1).isOk());
    ASSERT_TRUE(a.setNum("TOPMARG", 50).isOk());
    ASSERT_TRUE(a.setNum("LFTMARG", 20.5).isOk());
    ASSERT_TRUE(a.setNum("RTMARG", 0).isOk());
    ASSERT_TRUE(a.setNum("BOTMARG", 12.3).isOk());
    ASSERT_TRUE(a.setStr("DEFFONT", "Verdana/9/F/T/0/0/255/F/F/0").isOk());
    ASSERT_TRUE(a.setNum("LINE2ROW1", 46).isOk());
    ASSERT_TRUE(a.setNum("LINE2COL2", 200).isOk());
    ASSERT_TRUE(a.setNum("LINE4COL1", 7).isOk());
    ASSERT_TRUE(a.setStr("DOCNAME", "Dr. A. Rao").isOk());
    ASSERT_TRUE(a.commit().isOk());
    db().closeArea("opts");

    Settings s;
    ASSERT_TRUE(SET_OPTIONS(db(), s));
    EXPECT_EQ(s.MCURRENCYSYMBOL, QStringLiteral("$"));
    EXPECT_EQ(s.MCURRENCYTEXT, QStringLiteral("Dollars"));
    EXPECT_EQ(s.MCURRENCY2TEXT, QStringLiteral("cents"));
    EXPECT_DOUBLE_EQ(s.NTOPMARGIN, 50);
    EXPECT_DOUBLE_EQ(s.NLEFTMARGIN, 20.5);
    EXPECT_DOUBLE_EQ(s.NRIGHTMARGIN, 0);
    EXPECT_DOUBLE_EQ(s.NBOTTOMMARGIN, 12.3);
    EXPECT_EQ(s.CDEFFONT, QStringLiteral("Verdana/9/F/T/0/0/255/F/F/0"));
    EXPECT_EQ(s.ADEFFONT.face, QStringLiteral("Verdana"));
    EXPECT_TRUE(s.ADEFFONT.italic);
    EXPECT_EQ(s.ADEFFONT.blue, 255);
    EXPECT_DOUBLE_EQ(s.NLINE[1].row1, 46);
    EXPECT_DOUBLE_EQ(s.NLINE[1].col2, 200);
    EXPECT_DOUBLE_EQ(s.NLINE[3].col1, 7);
    EXPECT_DOUBLE_EQ(s.NLINE[0].row1, 0);
    EXPECT_EQ(s.MCOMPANY.trimmed(), QStringLiteral("Dr. A. Rao"));
    EXPECT_EQ(s.MCOMPANY.size(), 40);

    // Number format 1 changes every picture at once; date format 1 is month first.
    EXPECT_EQ(s.numPicture(7, 2), QStringLiteral("9,999,999.99"));
    EXPECT_EQ(s.numPicture(10, 3), QStringLiteral("9,999,999,999.999"));
    EXPECT_EQ(s.numPicture(6, 0), QStringLiteral("999,999"));
    EXPECT_EQ(s.CDATEFORMAT, QStringLiteral("MM/dd/yyyy"));
    EXPECT_EQ(db().dateFormat(), "MM/dd/yyyy");
    EXPECT_EQ(liveRecords(), 1);
}

TEST_F(OptionsTable, OldTableWithoutDoctorsNameKeepsTheName)
{
    data::Structure fields = data::catalog::findTable("opts")->fields;
    ASSERT_EQ(fields.back().name, "DOCNAME");
    fields.pop_back();
    createOpts(fields);
    Settings s;
    s.MCOMPANY = QStringLiteral("Dr. Kept").leftJustified(40);
    EXPECT_TRUE(SET_OPTIONS(db(), s));
    EXPECT_EQ(s.MCOMPANY.trimmed(), QStringLiteral("Dr. Kept"));
    EXPECT_EQ(s.MCURRENCY2TEXT, QStringLiteral("paisa"));
}

TEST_F(OptionsTable, MissingTableLeavesTheValuesButSetsThePictures)
{
    Settings s;
    s.MNUMFORMAT = 1;
    s.MDATEFORMAT = 1;
    EXPECT_FALSE(SET_OPTIONS(db(), s));
    EXPECT_DOUBLE_EQ(s.NTOPMARGIN, 63.50);
    EXPECT_EQ(s.numPicture(8, 2), QStringLiteral("99,999,999.99"));
    EXPECT_EQ(s.CDATEFORMAT, QStringLiteral("MM/dd/yyyy"));
}

} // namespace
} // namespace cn
