// Files our engine writes are read the same way by independent dBASE readers:
// the Python modules dbfread and dbf, and the Perl XBase module's dbf_dump and
// index_dump. Each test skips only when its reader is not installed.
#include "tests/data/interop_util.h"

#include "data/cp1252.h"
#include "data/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <sstream>

using namespace cn::data;
using namespace cn::interop;

namespace {

struct Row {
    std::string name;       // Windows-1252
    double code, fee, temp;
    Date dt;
    bool flag;
    std::string memo;       // Windows-1252
    bool deleted;
};

const Structure kStructure = {
    {"NAME", 'C', 20, 0}, {"CODE", 'N', 10, 0}, {"FEE", 'N', 10, 2}, {"TEMP", 'N', 5, 1},
    {"DT", 'D', 8, 0},    {"FLAG", 'L', 1, 0},  {"NOTE", 'M', 10, 0},
};

std::vector<Row> rows()
{
    std::string longMemo;
    for (int i = 0; longMemo.size() < 1500; ++i)
        longMemo += "Line " + std::to_string(i) + ": Tab. Amoxicillin 500 mg thrice daily\r\n";
    return {
        {"Zo\xEB \xC4rzt", 1, 1234.5, 98.6, {2026, 1, 5}, true, "Tab. Paracetamol 500 mg\r\ntwice daily \x80 5", false},
        {"Bob", 2, 0, 0, {}, false, "", true},
        {"Al", 3, 9999999.99, 104.0, {2000, 2, 29}, true, longMemo, false},
        {"\xDCnal", 4, 10, 97.2, {1999, 12, 31}, false, std::string(700, 'r'), false},
        {"Last", 5, -12.25, 96.0, {2026, 12, 8}, false, "", false},
    };
}

// Writes rows() as VISITS.dbf with its memo file. Record 4's memo is first
// written short and then rewritten longer, so that the memo file holds a dead
// block as a real data folder does.
void writeTable(const std::string& folder)
{
    Workspace ws(folder);
    ASSERT_TRUE(ws.create("VISITS.dbf", kStructure));
    auto a = ws.use("VISITS.dbf", "visits");
    ASSERT_TRUE(a) << a.message();
    WorkArea& w = *a.value();
    for (const auto& r : rows()) {
        ASSERT_TRUE(w.append());
        ASSERT_TRUE(w.setStr("NAME", r.name));
        ASSERT_TRUE(w.setNum("CODE", r.code));
        ASSERT_TRUE(w.setNum("FEE", r.fee));
        ASSERT_TRUE(w.setNum("TEMP", r.temp));
        ASSERT_TRUE(w.setDate("DT", r.dt));
        ASSERT_TRUE(w.setLogical("FLAG", r.flag));
        if (r.code == 4) {
            ASSERT_TRUE(w.setMemo("NOTE", "short"));
            ASSERT_TRUE(w.commit());
        }
        if (!r.memo.empty()) {
            ASSERT_TRUE(w.setMemo("NOTE", r.memo));
        }
        if (r.deleted) {
            ASSERT_TRUE(w.deleteRecord());
        }
    }
    ASSERT_TRUE(ws.commitAll());
    ws.closeAll();
}

std::string num(double v)
{
    // As Python's str() of a float (shortest text that reads back), with whole
    // numbers shown as integers.
    if (v == double((long long)v))
        return std::to_string((long long)v);
    char b[64];
    const auto res = std::to_chars(b, b + sizeof b, v);
    return std::string(b, res.ptr);
}

std::string iso(const Date& d)
{
    if (d.empty())
        return "null";
    char b[16];
    std::snprintf(b, sizeof b, "\"%04d-%02d-%02d\"", d.year, d.month, d.day);
    return b;
}

// One line per record as the reader scripts below print it.
std::string pyLine(const Row& r)
{
    return std::string("[") + (r.deleted ? "true" : "false") + ", " + js(cp1252ToUtf8(r.name)) + ", " +
           js(num(r.code)) + ", " + js(num(r.fee)) + ", " + js(num(r.temp)) + ", " + iso(r.dt) + ", " +
           (r.flag ? "true" : "false") + ", " + js(cp1252ToUtf8(r.memo)) + "]";
}

std::string expectedPyLines(bool withDeleted)
{
    std::string out;
    for (const auto& r : rows())
        if (withDeleted || !r.deleted)
            out += pyLine(r) + "\n";
    return out;
}

const char* const kNormalise = R"(
import json, sys
def norm(v):
    if v is None or isinstance(v, bool):
        return v
    if isinstance(v, str):
        return v.rstrip(' ')
    if hasattr(v, 'isoformat'):
        return v.isoformat()
    if isinstance(v, float) and v.is_integer():
        return str(int(v))
    return str(v)
def emit(deleted, values):
    print(json.dumps([deleted] + [norm(v) for v in values], ensure_ascii=False))
)";

class InteropWrite : public ::testing::Test {
protected:
    void SetUp() override { writeTable(dir.str()); }
    TempDir dir;
};

TEST_F(InteropWrite, DbfreadReadsFieldsMemosAndDeletedFlags)
{
    const std::string py = pythonWith("dbfread");
    if (py.empty())
        GTEST_SKIP() << "python3-dbfread is not installed";
    const std::string script = std::string(kNormalise) + R"(
import dbfread
t = dbfread.DBF(sys.argv[1], encoding='cp1252', load=True)
recs = [(False, r) for r in t.records] + [(True, r) for r in t.deleted]
recs.sort(key=lambda x: int(x[1]['CODE']))
for d, r in recs:
    values = list(r.values())
    values[-1] = values[-1] or ''   # a blank memo pointer reads as None here
    emit(d, values)
)";
    const Outcome r = runScript(py, dir.str(), script, {dir.file("VISITS.dbf")});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, expectedPyLines(true));
}

TEST_F(InteropWrite, PythonDbfReadsFieldsMemosAndDeletedFlags)
{
    const std::string py = pythonWith("dbf");
    if (py.empty())
        GTEST_SKIP() << "python3-dbf is not installed";
    const std::string script = std::string(kNormalise) + R"(
import dbf
t = dbf.Table(sys.argv[1], codepage='cp1252')
t.open(dbf.READ_ONLY)
for r in t:
    emit(dbf.is_deleted(r), [r[i] for i in range(len(t.field_names))])
t.close()
)";
    const Outcome r = runScript(py, dir.str(), script, {dir.file("VISITS.dbf")});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, expectedPyLines(true));
}

TEST_F(InteropWrite, PerlDbfDumpReadsLiveRecordsAndMemos)
{
    if (!haveCommand("dbf_dump"))
        GTEST_SKIP() << "dbf_dump (libdbd-xbase-perl) is not installed";
    const Outcome r = run("dbf_dump --fs '|' --rs '~~\n' " + sh(dir.file("VISITS.dbf")) + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    // dbf_dump trims the text, prints numbers as numbers (no trailing zeros),
    // logicals as 1 and 0, dates as stored, and leaves deleted records out.
    // Bytes stay Windows-1252.
    std::string want;
    for (const auto& row : rows()) {
        if (row.deleted)
            continue;
        want += row.name + "|" + num(row.code) + "|" + num(row.fee) + "|" + num(row.temp) + "|" + row.dt.dtos() + "|" +
                (row.flag ? "1" : "0") + "|" + row.memo + "~~\n";
    }
    EXPECT_EQ(r.out, want);
}

// A table of patients with a name index kept up to date through appends,
// changes and deletions (so pages split and keys move from F to T), and a code
// index built afterwards by sorting.
class InteropIndex : public ::testing::Test {
protected:
    void SetUp() override
    {
        Workspace ws(dir.str());
        ASSERT_TRUE(ws.create("PATNT.dbf", {{"PATCODE", 'N', 10, 0}, {"PATFNAME", 'C', 20, 0}, {"PATLNAME", 'C', 20, 0}}));
        auto a = ws.use("PATNT.dbf", "patnt");
        ASSERT_TRUE(a) << a.message();
        WorkArea& w = *a.value();
        ASSERT_TRUE(w.createIndex(dir.file("PATNT2.ntx"), "iif(deleted(), 'T', 'F')+upper(patfname)+upper(patlname)"));
        uint64_t seed = 7;
        auto rnd = [&] { seed = seed * 6364136223846793005ull + 1442695040888963407ull; return uint32_t(seed >> 33); };
        const char* const first[] = {"Anil", "Bela", "Chitra", "Dev", "Esha", "Farid", "Gita", "Hari", "\xC9lise", "Zo\xEB"};
        for (int i = 1; i <= kRecords; ++i) {
            ASSERT_TRUE(w.append());
            ASSERT_TRUE(w.setNum("PATCODE", i));
            ASSERT_TRUE(w.setStr("PATFNAME", first[rnd() % 10]));
            std::string last(size_t(4 + rnd() % 10), 'a');
            for (auto& c : last)
                c = char('a' + rnd() % 26);
            ASSERT_TRUE(w.setStr("PATLNAME", last));
        }
        for (uint32_t r = 1; r <= uint32_t(kRecords); r += 7) {
            w.goTo(r);
            ASSERT_TRUE(w.setStr("PATLNAME", "Renamed" + std::to_string(r)));
        }
        for (uint32_t r = 3; r <= uint32_t(kRecords); r += 11) {
            w.goTo(r);
            ASSERT_TRUE(w.deleteRecord());
        }
        ASSERT_TRUE(w.createIndex(dir.file("PATNT1.ntx"), "iif(deleted(), 'T', 'F')+str(patcode)"));
        ASSERT_TRUE(ws.commitAll());
    }

    // The engine's own order: record numbers and keys as the work area walks
    // the order with deleted records shown.
    std::vector<std::string> engineOrder(const std::string& index, const std::string& keyOf)
    {
        Workspace ws(dir.str());
        ws.setDeletedVisible(true);
        auto a = ws.use("PATNT.dbf", "patnt", OpenMode{true, true});
        EXPECT_TRUE(a) << a.message();
        if (!a)
            return {};
        WorkArea& w = *a.value();
        EXPECT_TRUE(w.setIndex(dir.file(index)));
        EXPECT_TRUE(w.setOrder(1));
        std::vector<std::string> out;
        for (w.goTop(); !w.eof(); w.skip(1)) {
            std::string key = w.deleted() ? "T" : "F";
            if (keyOf == "name")
                key += upperCp1252(w.str("PATFNAME")) + upperCp1252(w.str("PATLNAME"));
            else
                key += strNum(w.num("PATCODE"), 10);
            out.push_back(key + " " + std::to_string(w.recNo()));
        }
        return out;
    }

    static std::vector<std::string> lines(const std::string& text)
    {
        std::vector<std::string> out;
        std::istringstream s(text);
        for (std::string l; std::getline(s, l);)
            out.push_back(l);
        return out;
    }

    static constexpr int kRecords = 3000;
    TempDir dir;
};

TEST_F(InteropIndex, PerlIndexDumpListsMaintainedIndexInEngineOrder)
{
    if (!haveCommand("index_dump"))
        GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
    const auto ours = engineOrder("PATNT2.ntx", "name");
    ASSERT_EQ(ours.size(), size_t(kRecords));
    // The engine's order itself is by key bytes, then record number.
    auto split = [](const std::string& l) {
        const size_t sp = l.rfind(' ');
        return std::pair(l.substr(0, sp), std::stoul(l.substr(sp + 1)));
    };
    for (size_t i = 1; i < ours.size(); ++i)
        ASSERT_LT(split(ours[i - 1]), split(ours[i])) << "at " << i;
    const Outcome r = run("index_dump --type=char " + sh(dir.file("PATNT2.ntx")) + " X 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lines(r.out), ours);
}

TEST_F(InteropIndex, PerlIndexDumpListsSortBuiltIndexInEngineOrder)
{
    if (!haveCommand("index_dump"))
        GTEST_SKIP() << "index_dump (libdbd-xbase-perl) is not installed";
    const auto ours = engineOrder("PATNT1.ntx", "code");
    ASSERT_EQ(ours.size(), size_t(kRecords));
    const Outcome r = run("index_dump --type=char " + sh(dir.file("PATNT1.ntx")) + " X 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lines(r.out), ours);
}

} // namespace
