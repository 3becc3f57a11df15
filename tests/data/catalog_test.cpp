// The catalogue as the data folder must hold it, and the texts set-up shows.
#include "setup_fixture.h"

#include "data/dbf_file.h"

#include <algorithm>
#include <set>

using namespace cn::data;
namespace cat = cn::data::catalog;

TEST(Catalogue, TablesAndIndexesInSetUpOrder)
{
    std::string names;
    for (const auto& t : cat::tables())
        names += t.name + " ";
    EXPECT_EQ(names, "patnt dis sdis compl exam test gmed bmed oprtr velfa chamber greet opts printers "
                     "pvisit pathist pvcompl pvexam pvsdis pvsmed pvtest dict ");

    std::string idx;
    for (const auto& i : cat::indexes())
        idx += i.name + " ";
    EXPECT_EQ(idx, "patnt1 patnt2 dis1 dis2 sdis1 sdis2 sdis3 compl1 compl2 exam1 exam2 test1 test2 gmed1 gmed2 "
                   "bmed1 bmed2 bmed3 bmed4 oprtr1 oprtr2 velfa1 velfa2 chamber1 chamber2 greet1 printer1 "
                   "pvisit1 pvisit2 pvisit3 pvisit4 pvisit5 pathist1 pathist2 pvcompl1 pvcompl2 pvexam1 pvexam2 "
                   "pvsdis1 pvsdis2 pvsmed1 pvsmed2 pvtest1 pvtest2 dict1 dict2 ");
    ASSERT_EQ(cat::indexes().size(), 46u);
    for (const auto& i : cat::indexes()) {
        EXPECT_EQ(i.key.rfind("iif(deleted(), 'T', 'F')+", 0), 0u) << i.name;
        EXPECT_EQ(cat::index(i.number).name, i.name);
        // Each index belongs to the table its number names, in that table's order.
        const auto& owner = cat::table(i.table).indexes;
        EXPECT_NE(std::find(owner.begin(), owner.end(), i.number), owner.end()) << i.name;
    }
    EXPECT_EQ(cat::findIndex("PVISIT3")->key, "iif(deleted(), 'T', 'F')+dtos(visitdt)+visittm");
    EXPECT_EQ(cat::findIndex("printer1")->fileName(), "PRINTER1.ntx");
    EXPECT_EQ(cat::findTable("Patnt")->fileName(), "PATNT.dbf");
}

TEST(Catalogue, FieldsAsStored)
{
    std::set<std::string> memo;
    for (const auto& t : cat::tables()) {
        const Status valid = DbfFile::validateStructure(t.fields);
        EXPECT_TRUE(valid) << t.name << ": " << valid.message();
        if (t.hasMemo())
            memo.insert(t.name);
        std::set<std::string> seen;
        for (const auto& f : t.fields) {
            EXPECT_LE(f.name.size(), 10u) << f.name;
            EXPECT_TRUE(seen.insert(f.name).second) << t.name << " repeats " << f.name;
        }
    }
    EXPECT_EQ(memo, (std::set<std::string>{"bmed", "pvisit"}));

    const auto& patnt = *cat::findTable("patnt");
    ASSERT_EQ(patnt.fields.size(), 21u);
    EXPECT_EQ(patnt.fields.back().name, "DOCPREF");
    EXPECT_EQ(patnt.fields[5].name, "PATDOB");
    EXPECT_EQ(patnt.fields[5].type, 'D');

    // The options record: 103 fields of the letterhead and settings, then the
    // doctor's name.
    const auto& opts = *cat::findTable("opts");
    ASSERT_EQ(opts.fields.size(), 104u);
    EXPECT_EQ(opts.fields[15].name, "LHD11");
    EXPECT_EQ(opts.fields[16].name, "LHD11ATTR");
    EXPECT_EQ(opts.fields[16].width, 80);
    EXPECT_EQ(opts.fields[15 + 36].name, "LHD21");
    EXPECT_EQ(opts.fields[86].name, "LHD29COL");
    EXPECT_EQ(opts.fields[87].name, "LINE1ROW1");
    EXPECT_EQ(opts.fields[102].name, "LINE4COL2");
    EXPECT_EQ(opts.fields[103].name, "DOCNAME");
    EXPECT_EQ(opts.fields[103].width, 40);
    EXPECT_EQ(opts.field("topmarg")->decimals, 1);
    EXPECT_TRUE(opts.indexes.empty());

    const auto& pvisit = *cat::findTable("pvisit");
    EXPECT_EQ(pvisit.field("PATFEES")->width, 10);
    EXPECT_EQ(pvisit.field("PATFEES")->decimals, 2);
    EXPECT_EQ(pvisit.fields.back().name, "NEXTVISIT");
}

TEST(Catalogue, OpeningStepsAndAliases)
{
    const auto& steps = cat::openSteps();
    ASSERT_EQ(steps.size(), 25u);
    EXPECT_EQ(steps.front().alias, "chamber");
    EXPECT_EQ(steps.back().alias, "dict");
    EXPECT_EQ(cat::aliasesOf("patnt"), (std::vector<std::string>{"patnt", "patnt01"}));
    EXPECT_EQ(cat::aliasesOf("chamber"), (std::vector<std::string>{"chamber", "xchamber"}));
    EXPECT_EQ(cat::aliasesOf("pvisit"), (std::vector<std::string>{"pvisit", "pvisit01"}));
    const auto& pvisit01 = steps[12];
    EXPECT_EQ(pvisit01.alias, "pvisit01");
    EXPECT_EQ(pvisit01.orders.size(), 3u);
    EXPECT_EQ(steps[11].orders.size(), 5u);
    EXPECT_TRUE(steps[16].orders.empty());   // opts

    std::string letters;
    for (const auto& s : steps)
        if (s.check)
            letters += s.check->letter;
    EXPECT_EQ(letters, "ABCDEFGHI");
    EXPECT_EQ(steps[5].check->parentField, "DISCODE");
    EXPECT_EQ(steps[5].check->message,
              "Blank names and/or codes exist in Specific Diseases database, Please rectify to avoid future errors !!");
    // Every table is opened at least once.
    for (const auto& t : cat::tables())
        EXPECT_FALSE(cat::aliasesOf(t.name).empty()) << t.name;
}

TEST(SetupTexts, StatusIsCentredWithThreeDigitPercentage)
{
    const std::string first = statusText("Checking", "PATNT", 1, 22);
    ASSERT_EQ(first.size(), 75u);
    EXPECT_EQ(first.find("Checking PATNT   5 %"), (75 - 20) / 2);
    EXPECT_NE(statusText("Checking", "DICT", 22, 22).find("Checking DICT 100 %"), std::string::npos);
    EXPECT_NE(statusText("Reindexing", "DIS2.ntx", 4, 46).find("Reindexing DIS2.ntx   9 %"), std::string::npos);
    // 0.5 rounds up: index 1 of 46 is 2.17 -> 2; table 11 of 22 is exactly 50.
    EXPECT_NE(statusText("Creating", "CHAMBER", 11, 22).find("Creating CHAMBER  50 %"), std::string::npos);
}

TEST(SetupTexts, SupervisorPasswordIsObscuredAndRecoverable)
{
    const std::string stored = obscurePassword(kDefaultSupervisorPassword);
    EXPECT_EQ(stored.size(), 10u);
    EXPECT_NE(stored, std::string(kDefaultSupervisorPassword));
    EXPECT_EQ(stored.find(' '), std::string::npos);
    EXPECT_EQ(revealPassword(stored + "  "), kDefaultSupervisorPassword);
    EXPECT_EQ(revealPassword(obscurePassword("A~z!0")), "A~z!0");
}
