// curanote-data query and print stats: the query window's search from the
// command line, its listing, JSON and statistics report, and one-line
// errors with exit status 2 for criteria that will not do.
#include "data/workspace.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

namespace fs = std::filesystem;
using cn::interop::sh;
using cn::test::Split;
using cn::test::toolIn;

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

bool totalOf(const std::string& text, int n)
{
    return std::regex_search(text, std::regex("Total Records: +" + std::to_string(n) + "\\b"));
}

size_t count(const std::string& hay, const std::string& needle)
{
    size_t n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1))
        ++n;
    return n;
}

class QueryTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = tmp.str();
        base = root / "data";
        fs::create_directories(base);
        ASSERT_EQ(toolIn(root, "setup data").status, 0);
        // 36 visits of the sample patient in June 2026 (fees 101 .. 136), the
        // even ones prescribing paracetamol for fever, and one in May.
        cn::data::Workspace ws(base.string());
        auto pv = ws.use("PVISIT.dbf");
        ASSERT_TRUE(pv);
        cn::data::WorkArea& v = *pv.value();
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(v.setIndex(ws.resolve("PVISIT" + std::to_string(i) + ".ntx")));
        for (int i = 1; i <= 37; ++i) {
            ASSERT_TRUE(v.append());
            ASSERT_TRUE(v.setNum("VISITNO", i));
            ASSERT_TRUE(v.setNum("PVNO", i));
            ASSERT_TRUE(v.setNum("PATCODE", 1));
            ASSERT_TRUE(v.setNum("PATFEES", 100 + i));
            ASSERT_TRUE(v.setNum("PVSTATUS", 1));
            ASSERT_TRUE(v.setDate("VISITDT", i == 37 ? cn::data::Date{2026, 5, 31}
                                                      : cn::data::Date{2026, 6, 1 + (i - 1) % 30}));
            ASSERT_TRUE(v.setStr("VISITTM", i <= 30 ? "09:00:00" : "18:00:00"));
            ASSERT_TRUE(v.setMemo("PATPRES", i % 2 == 0 ? "{\\rtf1 Tab. Paracetamol for FEVERISH cold}" : "Rest"));
            ASSERT_TRUE(v.commit());
        }
        ws.closeAll();
    }
    Split query(const std::string& args) { return toolIn(root, "query data " + args); }
    std::string pdfText(const fs::path& pdf)
    {
        return cn::interop::run("pdftotext -layout " + sh(pdf.string()) + " - 2>/dev/null").out;
    }

    cn::interop::TempDir tmp;
    fs::path root, base;
};

TEST_F(QueryTool, ListsTheMatchingVisitsWithTheirCountAndFeeTotal)
{
    Split r = query("--from 2026-06-01 --to 2026-06-30");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "\n"), 38u) << r.out;
    EXPECT_TRUE(contains(r.out, "Total Records: 36\nTotal Fees: 4266.00\n")) << r.out;
    // In date and time order: 1 June's morning visit, then its evening one.
    EXPECT_LT(r.out.find("         1  2026-06-01"), r.out.find("        31  2026-06-01")) << r.out;
    EXPECT_TRUE(contains(r.out, "Mr. Patient Dazezoz") || contains(r.out, "Patient Dazezoz")) << r.out;

    r = query("--from 2026-06-01 --to 2026-06-30 --words \"fever  PARACET\" --fee-from 110 --fee-to 120");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Total Records: 6\nTotal Fees: 690.00\n")) << r.out;   // 110 112 ... 120

    r = query("--from 2026-06-01 --to 2026-06-30 --words fever --status 1 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_EQ(count(r.out, "\"visitNo\""), 18u) << r.out;
    EXPECT_TRUE(contains(r.out, "\"date\": \"2026-06-02\"")) << r.out;

    r = query("--from 2026-06-30 --to 2026-06-01");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Total Records: 0\nTotal Fees: 0.00\n") << "From after To finds nothing; no full list here";
}

TEST_F(QueryTool, BadCriteriaAreOneLineErrorsWithStatusTwo)
{
    for (const char* args : {"--from 2026-02-30", "--to 10/06/2026", "--fee-from abc", "--fee-to 1e", "--status 9",
                             "--chamber \"No Such Place\""}) {
        const Split r = query(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(count(r.err, "\n"), 1u) << args << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << args;
    }
    EXPECT_EQ(query("--from 2026-05-31 --to 2026-05-31 --chamber \"home visit\"").status, 0);
    // A value that does not parse is told before the folder is looked at.
    fs::create_directories(root / "empty");
    const Split r = toolIn(root, "query empty --from 2026-02-30");
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("--from"), std::string::npos) << r.err;
}

TEST_F(QueryTool, StatisticsReportPutsTheSummaryOnANewPageWhenPageOneIsFull)
{
    if (!cn::interop::haveCommand("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
    // 35 visits (2 to 36) fill page 1; the summary goes to page 2.
    Split r = toolIn(root, "print stats data --pdf full.pdf --from 2026-06-01 --to 2026-06-30 --fee-from 102");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "full.pdf: statistics of 35 visits, 2 pages\n");
    std::string text = pdfText(root / "full.pdf");
    const size_t pageBreak = text.find('\f');
    ASSERT_NE(pageBreak, std::string::npos);
    const std::string one = text.substr(0, pageBreak), two = text.substr(pageBreak);
    EXPECT_TRUE(contains(one, "35.")) << one;
    EXPECT_TRUE(contains(one, "Page. No: 1 ...End.")) << "closed for the summary only, after the last visit";
    EXPECT_TRUE(totalOf(two, 35)) << two;
    EXPECT_TRUE(contains(two, "4,165.00")) << two;
    EXPECT_TRUE(contains(two, "Page. No: 2 ...End.")) << two;
    EXPECT_TRUE(contains(two, "Sl No.")) << "the header on every page";

    // 30 visits and the summary fit on page 1.
    r = toolIn(root, "print stats data --pdf thirty.pdf --from 2026-06-01 --to 2026-06-30 --fee-to 130");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "thirty.pdf: statistics of 30 visits, 1 page\n");
    text = pdfText(root / "thirty.pdf");
    EXPECT_TRUE(totalOf(text, 30)) << text;
    EXPECT_TRUE(contains(text, "Page. No: 1 ...End.")) << text;

    // 36: page 1 goes on, page 2 holds the last visit and the summary.
    r = toolIn(root, "print stats data --pdf more.pdf --from 2026-06-01 --to 2026-06-30");
    ASSERT_EQ(r.status, 0) << r.err;
    text = pdfText(root / "more.pdf");
    EXPECT_TRUE(contains(text.substr(0, text.find('\f')), "Page. No: 1 ...Contd...")) << text;
}

TEST_F(QueryTool, StatisticsReportOfNoVisitsSaysNoFileWasWrittenAndLeavesAnEarlierOne)
{
    const char* none = "--from 2026-06-01 --to 2026-06-30 --fee-from 500";
    Split r = toolIn(root, std::string("print stats data --pdf none.pdf ") + none);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "none.pdf: no visits matched; no file written\n");
    EXPECT_FALSE(fs::exists(root / "none.pdf"));

    ASSERT_EQ(toolIn(root, "print stats data --pdf old.pdf --from 2026-06-01 --to 2026-06-30").status, 0);
    auto bytes = [&] {
        std::ifstream in(root / "old.pdf", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    r = toolIn(root, std::string("print stats data --pdf old.pdf ") + none);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "old.pdf: no visits matched; not written, the file there is from before and left as it was\n");
    EXPECT_EQ(bytes(), before);
}

} // namespace
