// curanote-data print: a stored visit printed to PDF from the command line
// as the program prints it, with one-line errors for a visit, folder or file
// that will not do, and the data folder left exactly as it was.
#include "data/workspace.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;
using cn::interop::sh;
using cn::test::Split;
using cn::test::toolIn;

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

std::string pdfText(const fs::path& pdf)
{
    return cn::interop::run("pdftotext -layout " + sh(pdf.string()) + " - 2>/dev/null").out;
}

// Every file of the folder with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::ifstream f(e.path(), std::ios::binary);
        out[e.path().filename().string()] = std::string(std::istreambuf_iterator<char>(f), {});
    }
    return out;
}

class PrintTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!cn::interop::haveCommand("pdftotext"))
            GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
        root = tmp.str();
        base = root / "data";
        fs::create_directories(base);
        ASSERT_EQ(toolIn(root, "setup data").status, 0);
        // The doctor's name on the letterhead, and one visit of the sample
        // patient (Mr. Patient Dazezoz, born 9 Nov 1988) on 10 June 2026.
        cn::data::Workspace ws(base.string());
        auto opts = ws.use("OPTS.dbf");
        ASSERT_TRUE(opts);
        cn::data::WorkArea& o = *opts.value();
        o.goTop();
        ASSERT_TRUE(o.rlock());
        ASSERT_TRUE(o.setStr("DOCNAME", "Dr. Asha Rao"));
        ASSERT_TRUE(o.setStr("DOCNMATTR", "Arial/16/T/F/0/0/255/F/F/0"));
        ASSERT_TRUE(o.setNum("DOCNMROW", 10));
        ASSERT_TRUE(o.setNum("DOCNMCOL", 5));
        ASSERT_TRUE(o.setNum("TOPMARG", 40));
        ASSERT_TRUE(o.setNum("LFTMARG", 20));
        ASSERT_TRUE(o.commit());
        auto pv = ws.use("PVISIT.dbf");
        ASSERT_TRUE(pv);
        cn::data::WorkArea& v = *pv.value();
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(v.setIndex(ws.resolve("PVISIT" + std::to_string(i) + ".ntx")));
        ASSERT_TRUE(v.append());
        const std::pair<const char*, double> numbers[] = {
            {"VISITNO", 7}, {"PVNO", 1}, {"CHCODE", 1}, {"VISITTYPE", 1}, {"PATCODE", 1}, {"PATHTFT", 5},
            {"PATHTIN", 7}, {"PATWTLBS", 150}, {"PATSYS", 120}, {"PATDIAS", 80}, {"PATPULSE", 72},
            {"PATTEMP", 98.6}, {"PATFEES", 500}};
        for (const auto& [field, value] : numbers)
            ASSERT_TRUE(v.setNum(field, value)) << field;
        ASSERT_TRUE(v.setDate("VISITDT", cn::data::Date{2026, 6, 10}));
        ASSERT_TRUE(v.setStr("VISITTM", "10:30:00"));
        ASSERT_TRUE(v.setStr("PATNOTE", "Consultation"));
        ASSERT_TRUE(v.setMemo("PATPRES", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Tab. Paracetamol 500 mg\\par}"));
        ASSERT_TRUE(v.commit());
        ws.closeAll();
    }

    cn::interop::TempDir tmp;
    fs::path root, base;
};

TEST_F(PrintTool, PrintsAStoredVisitAsTheProgramDoesAndChangesNothing)
{
    const auto before = snapshot(base);
    Split r = toolIn(root, "print prescription --visit 7 --pdf pres.pdf data");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pres.pdf: prescription of visit 7, 1 page\n");
    std::string text = pdfText(root / "pres.pdf");
    for (const char* seen : {"Dr. Asha Rao", "Mr. Patient Dazezoz", "[ Code: 1 ]", "Male, 37 Yrs",
                             "Patient Visit (PV) No.: 1", "Date : 10 Jun 2026", "Height: 5 ft. 7 in. ( 1 m. 70 cm. )",
                             "Weight: 150 lbs ( 68 kgs )", "Pulse: 72/min", "B.P. : 120 / 80 mmHg",
                             "Tab. Paracetamol 500 mg"})
        EXPECT_TRUE(contains(text, seen)) << seen << "\n" << text;

    r = toolIn(root, "print prescription data --no-letterhead --pdf=bare.pdf --visit 7");
    ASSERT_EQ(r.status, 0) << r.err;
    text = pdfText(root / "bare.pdf");
    // The name stays in the product tag beside the margin only.
    text.erase(text.find("CNPres1/Dr. Asha Rao"), 20);
    EXPECT_FALSE(contains(text, "Asha")) << text;
    EXPECT_TRUE(contains(text, "Dazezoz")) << text;

    r = toolIn(root, "print receipt --visit 7 --pdf receipt.pdf data");
    ASSERT_EQ(r.status, 0) << r.err;
    text = pdfText(root / "receipt.pdf");
    for (const char* seen : {"Received from Mr. Patient Dazezoz", "the sum of Rupees Five Hundred only ***",
                             "against Consultation", "Rs. 500.00", "Dr. Asha Rao"})
        EXPECT_TRUE(contains(text, seen)) << seen << "\n" << text;

    r = toolIn(base, "print letterhead --pdf ../lh.pdf");   // the folder defaults to the current one
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(pdfText(root / "lh.pdf"), "Dr. Asha Rao"));
    EXPECT_EQ(snapshot(base), before);
}

TEST_F(PrintTool, RefusesWhatWillNotDoInOneLine)
{
    fs::create_directories(root / "empty");
    const auto before = snapshot(base);
    const struct {
        const char* args;
        const char* says;
    } failures[] = {
        {"print prescription --visit 99 --pdf x.pdf data", "visit 99: no such visit in"},
        {"print receipt --visit 8 --pdf x.pdf data", "visit 8: no such visit"},
        {"print prescription --visit 7 --pdf x.pdf empty", "not a data folder set up by the program"},
        {"print letterhead --pdf x.pdf empty", "not a data folder set up by the program"},
        {"print prescription --visit 7 --pdf no/such/folder/x.pdf data", "no/such/folder/x.pdf: cannot be written"},
    };
    for (const auto& f : failures) {
        const Split r = toolIn(root, f.args);
        EXPECT_EQ(r.status, 1) << f.args << "\n" << r.err;
        EXPECT_TRUE(contains(r.err, f.says)) << f.args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << f.args << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << f.args;
    }
    EXPECT_FALSE(fs::exists(root / "x.pdf"));
    EXPECT_EQ(snapshot(base), before);

    for (const char* usage : {"print", "print nosuch", "print prescription --pdf x.pdf data",
                              "print prescription --visit abc --pdf x.pdf data",
                              "print prescription --visit 0 --pdf x.pdf data", "print receipt --visit 7 data",
                              "print letterhead --visit 7 --pdf x.pdf data", "print letterhead --pdf x.pdf data data"}) {
        const Split r = toolIn(root, usage);
        EXPECT_EQ(r.status, 2) << usage << "\n" << r.err;
        EXPECT_TRUE(contains(r.err, "usage")) << usage << "\n" << r.err;
    }
    const Split help = toolIn(root, "help print");
    EXPECT_EQ(help.status, 0);
    for (const char* sub : {"print prescription --visit N --pdf FILE [--no-letterhead] [DIR]",
                            "print receipt --visit N --pdf FILE [DIR]", "print letterhead --pdf FILE [DIR]"})
        EXPECT_TRUE(contains(help.out, sub)) << sub << "\n" << help.out;
}

} // namespace
