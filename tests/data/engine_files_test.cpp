// The files as bytes: layout written, files of other tools read, damaged
// files refused with a message naming them and never written over, and the
// index B-tree kept exact through many changes.
#include "engine_fixture.h"

#include "data/dbf_file.h"
#include "data/expr.h"
#include "data/memo_file.h"
#include "data/ntx_file.h"
#include "data/workspace.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <random>
#include <set>

using namespace cn::data;
using namespace enginetest;

namespace {

void put16(std::string& s, size_t at, uint32_t v) { s[at] = char(v & 0xFF); s[at + 1] = char((v >> 8) & 0xFF); }
void put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = char((v >> (8 * i)) & 0xFF);
}
uint32_t get32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

// A table written byte by byte the way another tool might write it.
std::string rawTable(const std::vector<FieldDef>& fields, const std::vector<std::string>& records, uint8_t version,
                     bool extraZeroAfterTerminator, int claimedCount = -1)
{
    uint32_t recLen = 1;
    for (const auto& f : fields)
        recLen += f.width;
    const uint32_t hdrLen = 32 + 32 * fields.size() + 1 + (extraZeroAfterTerminator ? 1 : 0);
    std::string s(hdrLen, '\0');
    s[0] = char(version);
    s[1] = char(126), s[2] = 1, s[3] = 2;
    put32(s, 4, claimedCount < 0 ? records.size() : claimedCount);
    put16(s, 8, hdrLen);
    put16(s, 10, recLen);
    for (size_t i = 0; i < fields.size(); ++i) {
        std::copy(fields[i].name.begin(), fields[i].name.end(), s.begin() + 32 + 32 * i);
        s[32 + 32 * i + 11] = fields[i].type;
        s[32 + 32 * i + 16] = char(fields[i].width);
        s[32 + 32 * i + 17] = char(fields[i].decimals);
    }
    s[32 + 32 * fields.size()] = 0x0D;
    for (const auto& r : records)
        s += r;
    s += '\x1A';
    return s;
}

TEST(FileLayout, TablesMemosAndIndexesAreWrittenAsTheFormatsSay)
{
    TempDir dir;
    Workspace ws(dir.path());
    ASSERT_TRUE(ws.create("PLAIN", {{"NAME", 'C', 5, 0}}));
    ASSERT_TRUE(ws.create("WITHMEMO", {{"NAME", 'C', 5, 0}, {"NOTE", 'M', 10, 0}}));
    EXPECT_EQ(readFile(dir.file("PLAIN.dbf"))[0], '\x03');
    EXPECT_EQ(uint8_t(readFile(dir.file("WITHMEMO.dbf"))[0]), 0x83);
    EXPECT_FALSE(ws.exists("PLAIN.dbt"));

    auto a = ws.use("withmemo");
    ASSERT_TRUE(a);
    ASSERT_TRUE((*a)->append());
    ASSERT_TRUE((*a)->setStr("NAME", "ab"));
    ASSERT_TRUE((*a)->setMemo("NOTE", "hello"));
    ASSERT_TRUE((*a)->createIndex("WNAME", "iif(deleted(), 'T', 'F')+upper(name)"));
    ASSERT_TRUE(ws.commitAll());
    ws.closeAll();

    const std::string t = readFile(dir.file("WITHMEMO.dbf"));
    std::time_t now = std::time(nullptr);
    std::tm tm {};
    localtime_r(&now, &tm);
    EXPECT_EQ(uint8_t(t[1]), tm.tm_year);   // year - 1900
    EXPECT_EQ(get32(t, 4), 1u);
    const uint32_t hdr = uint8_t(t[8]) | uint8_t(t[9]) << 8;
    EXPECT_EQ(t[hdr - 1], '\x0D');
    EXPECT_EQ(t.substr(hdr, 6), " ab   ");
    EXPECT_EQ(t.substr(hdr + 6, 10), "         1");
    EXPECT_EQ(t.back(), '\x1A');
    EXPECT_EQ(t.size(), hdr + 16 + 1);

    const std::string m = readFile(dir.file("WITHMEMO.dbt"));
    EXPECT_EQ(get32(m, 0), 2u);
    EXPECT_EQ(m[16], '\x03');
    EXPECT_EQ(m.substr(512, 7), "hello\x1A\x1A");
    EXPECT_EQ(m.size() % 512, 0u);

    const std::string x = readFile(dir.file("WNAME.ntx"));
    EXPECT_EQ(x[0], 6);
    EXPECT_EQ(uint8_t(x[14]), 6);                     // key length: flag + 5
    EXPECT_EQ(uint8_t(x[12]), 14);                    // item size
    EXPECT_EQ(uint8_t(x[18]), ntxMaxItems(6));
    EXPECT_EQ(ntxMaxItems(6), 62);
    EXPECT_EQ(ntxMaxItems(41), 18);
    EXPECT_EQ(x.substr(22, 36), "iif(deleted(), 'T', 'F')+upper(name)");
    EXPECT_EQ(x.size() % 1024, 0u);
}

TEST(ForeignFiles, ReadsHeaderEndingWithZeroZeroPaddedMemoPointersAndAllLogicalLetters)
{
    TempDir dir;
    const std::vector<FieldDef> f = {{"FLAG", 'L', 1, 0}, {"NOTE", 'M', 10, 0}};
    std::vector<std::string> recs;
    const std::string letters = "TtYyFfNn? ";
    for (char c : letters)
        recs.push_back(std::string(" ") + c + (c == 'T' ? "0000000001" : c == 't' ? "1         " : "          "));
    writeFile(dir.file("OLD.DBF"), rawTable(f, recs, 0x83, true));
    std::string memo(1024, '\0');
    put32(memo, 0, 2);
    memo.replace(512, 6, "old\x1A\x1A");
    writeFile(dir.file("OLD.DBT"), memo);

    Workspace ws(dir.path());
    auto a = ws.use("old", {}, {.readOnly = true});
    ASSERT_TRUE(a) << a.message();
    WorkArea* o = *a;
    EXPECT_TRUE(o->openWarning().empty());
    std::string got;
    for (o->goTop(); !o->eof(); o->skip())
        got += o->logical("FLAG") ? '1' : '0';
    EXPECT_EQ(got, "1111000000");
    o->goTo(1);
    EXPECT_EQ(o->memo("NOTE"), "old");
    o->goTo(2);
    EXPECT_EQ(o->memo("NOTE"), "old");
    o->goTo(3);
    EXPECT_EQ(o->memo("NOTE"), "");
}

class DamagedFiles : public ::testing::Test {
protected:
    void SetUp() override { makePatients(dir.path(), 30); }
    // The message names the file, and the file is left byte for byte as it was.
    void expectRefused(const Status& st, const std::string& file, const std::string& before)
    {
        EXPECT_FALSE(st);
        EXPECT_NE(st.message().find(file), std::string::npos) << st.message();
        EXPECT_EQ(readFile(dir.file(file)), before);
    }
    TempDir dir;
};

TEST_F(DamagedFiles, TruncatedOrInconsistentTableHeaderIsRefused)
{
    const std::string good = readFile(dir.file("PATNT.dbf"));
    for (auto damage : {std::string(good.substr(0, 20)), [&] { auto s = good; put16(s, 8, 60000); return s; }(),
                        [&] { auto s = good; put16(s, 10, 3); return s; }(),
                        [&] { auto s = good; s[0] = 'x'; return s; }(), std::string()}) {
        writeFile(dir.file("PATNT.dbf"), damage);
        Workspace ws(dir.path());
        auto a = ws.use("patnt");
        expectRefused(a ? Status::ok() : a.status(), "PATNT.dbf", damage);
    }
}

TEST_F(DamagedFiles, RecordCountBeyondTheFileReadsWholeRecordsAndRefusesWrites)
{
    std::string s = readFile(dir.file("PATNT.dbf"));
    put32(s, 4, 1000);
    s.resize(s.size() - 1 - 30);   // also tear the last record
    writeFile(dir.file("PATNT.dbf"), s);
    Workspace ws(dir.path());
    auto a = ws.use("patnt");
    ASSERT_TRUE(a) << a.message();
    WorkArea* p = *a;
    EXPECT_NE(p->openWarning().find("PATNT.dbf"), std::string::npos);
    EXPECT_NE(p->openWarning().find("1000"), std::string::npos);
    EXPECT_EQ(p->lastRec(), 29u);
    p->goBottom();
    EXPECT_EQ(p->num("PATCODE"), 29);
    expectRefused(p->append(), "PATNT.dbf", s);
    p->goTop();
    expectRefused(p->setStr("PATFNAME", "x"), "PATNT.dbf", s);
}

TEST_F(DamagedFiles, MemoPointerBeyondTheMemoFileIsAnErrorNamingIt)
{
    Workspace ws(dir.path());
    ASSERT_TRUE(ws.create("VISITS", {{"PATPRES", 'M', 10, 0}}));
    auto a = ws.use("visits");
    ASSERT_TRUE(a);
    ASSERT_TRUE((*a)->append());
    ASSERT_TRUE((*a)->setMemo("PATPRES", "text"));
    ws.closeAll();
    std::string t = readFile(dir.file("VISITS.dbf"));
    const uint32_t hdr = uint8_t(t[8]) | uint8_t(t[9]) << 8;
    t.replace(hdr + 1, 10, "    999999");
    writeFile(dir.file("VISITS.dbf"), t);
    a = ws.use("visits");
    ASSERT_TRUE(a);
    (*a)->goTop();
    auto r = (*a)->readMemo("PATPRES");
    EXPECT_FALSE(r);
    EXPECT_NE(r.message().find("VISITS.dbt"), std::string::npos) << r.message();
    EXPECT_EQ((*a)->memo("PATPRES"), "");

    // Copying the table (as a rebuild does) stops at that record rather
    // than carrying an empty text over in place of the lost one.
    ASSERT_TRUE(ws.create("COPY", {{"PATPRES", 'M', 10, 0}}));
    auto c = ws.use("copy");
    ASSERT_TRUE(c);
    const Status copied = (*c)->appendFrom("VISITS.dbf");
    EXPECT_FALSE(copied);
    EXPECT_NE(copied.message().find("Record 1"), std::string::npos) << copied.message();
    EXPECT_NE(copied.message().find("PATPRES"), std::string::npos) << copied.message();
}

TEST_F(DamagedFiles, BrokenIndexPagesAreReportedNotFollowed)
{
    const std::string good = readFile(dir.file("PATNT1.ntx"));
    ASSERT_EQ(good.size(), 2048u);   // 30 keys fit in the root page
    const uint32_t root = get32(good, 4);
    std::vector<std::pair<std::string, std::string>> cases;
    {
        auto s = good;
        put32(s, 4, 1024 * 50);   // root outside the file
        cases.emplace_back(s, "outside the file");
    }
    {
        auto s = good;
        put16(s, root, 500);      // more keys than fit
        cases.emplace_back(s, "more than");
    }
    {
        auto s = good;            // first item's child points back at the root: a cycle
        const uint32_t off0 = uint8_t(s[root + 2]) | uint8_t(s[root + 3]) << 8;
        for (uint32_t i = 0; i <= 30; ++i) {
            const uint32_t off = uint8_t(s[root + 2 + 2 * i]) | uint8_t(s[root + 3 + 2 * i]) << 8;
            put32(s, root + off, root);
        }
        (void)off0;
        cases.emplace_back(s, "page");
    }
    {
        auto s = good;
        std::string text = "iif(deleted(), 'T', 'F')+soundex(patcode)";
        std::fill(s.begin() + 22, s.begin() + 278, '\0');
        std::copy(text.begin(), text.end(), s.begin() + 22);
        cases.emplace_back(s, "soundex");
    }
    for (const auto& [bytes, what] : cases) {
        writeFile(dir.file("PATNT1.ntx"), bytes);
        Workspace ws(dir.path());
        auto a = ws.use("patnt", {}, {.shared = true});
        ASSERT_TRUE(a);
        WorkArea* p = *a;
        Status st = p->setIndex("patnt1");
        if (st) {
            // Opened: the damage shows on the first move, which ends at eof.
            EXPECT_FALSE(p->seek(codeKey(3)));
            EXPECT_TRUE(p->eof());
            st = Status::error(p->lastError());
            p->goTop();
            EXPECT_TRUE(p->eof());
            EXPECT_FALSE(p->lastError().empty());
        }
        EXPECT_NE(st.message().find(what), std::string::npos) << st.message();
        expectRefused(st, "PATNT1.ntx", bytes);
    }
}

// The index after many inserts, deletions and key changes holds exactly the
// keys of the records, in order, and its pages pass the structure check.
TEST(IndexTree, StaysExactThroughSplitsMergesAndKeyChanges)
{
    TempDir dir;
    Workspace ws(dir.path());
    ASSERT_TRUE(ws.create("T", {{"CODE", 'N', 10, 0}, {"NAME", 'C', 30, 0}}));
    auto a = ws.use("t");
    ASSERT_TRUE(a);
    WorkArea* t = *a;
    const char* keyText = "iif(deleted(), 'T', 'F')+upper(name)+str(code)";   // 41 bytes: 18 per page
    ASSERT_TRUE(t->createIndex("T1", keyText));
    std::mt19937 rng(42);
    auto name = [&] { return "n" + std::to_string(rng() % 500); };
    for (int i = 1; i <= 3000; ++i) {
        ASSERT_TRUE(t->append());
        ASSERT_TRUE(t->setNum("CODE", i));
        ASSERT_TRUE(t->setStr("NAME", name()));
    }
    for (int i = 0; i < 4000; ++i) {
        t->goTo(1 + rng() % 3000);
        switch (rng() % 3) {
        case 0: ASSERT_TRUE(t->setStr("NAME", name())); break;
        case 1: ASSERT_TRUE(t->deleteRecord()); break;
        default: ASSERT_TRUE(t->recall()); break;
        }
    }
    ASSERT_TRUE(t->commit());

    // Expected keys straight from the records.
    auto dbf = DbfFile::open(dir.file("T.dbf"), false);
    ASSERT_TRUE(dbf);
    auto expr = Expr::compile(keyText, (*dbf)->fields());
    ASSERT_TRUE(expr);
    std::vector<std::pair<std::string, uint32_t>> expected;
    std::string rec((*dbf)->recordLength(), ' '), key;
    for (uint32_t r = 1; r <= (*dbf)->recordCount(); ++r) {
        ASSERT_TRUE((*dbf)->read(r, rec.data()));
        expr->key(rec.data(), key);
        expected.emplace_back(key, r);
    }
    std::sort(expected.begin(), expected.end());

    auto checkIndex = [&](const std::string& file) {
        auto ix = NtxFile::open(dir.file(file), false);
        ASSERT_TRUE(ix) << ix.message();
        Status v = (*ix)->verify();
        EXPECT_TRUE(v) << v.message();
        std::vector<std::pair<std::string, uint32_t>> got;
        ASSERT_TRUE((*ix)->walk("", [&](std::string_view k, uint32_t r) {
            got.emplace_back(std::string(k), r);
            return true;
        }));
        EXPECT_TRUE(got == expected) << file << ": " << got.size() << " keys, expected " << expected.size();
    };
    checkIndex("T1.ntx");
    // The same keys built by sorting give the same order.
    ASSERT_TRUE(t->createIndex("T2", keyText));
    checkIndex("T2.ntx");

    // Counting the live keys agrees with a plain scan.
    ASSERT_TRUE(t->setOrder(1));
    t->setScope("F");
    const size_t live = std::count_if(expected.begin(), expected.end(), [](auto& e) { return e.first[0] == 'F'; });
    EXPECT_EQ(t->keyCount(), live);
}

} // namespace

namespace {

// Random damage to an index or a table: every call returns (an error or a
// result), nothing crashes and no loop runs on for ever.
TEST(RandomDamage, NeverCrashesOrHangs)
{
    TempDir dir;
    makePatients(dir.path(), 400);
    const std::string table = readFile(dir.file("PATNT.dbf"));
    const std::string index = readFile(dir.file("PATNT2.ntx"));
    std::mt19937 rng(2024);
    for (int round = 0; round < 120; ++round) {
        const bool hitIndex = round % 3 != 0;
        std::string bytes = hitIndex ? index : table;
        const int n = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < n; ++i) {
            // Mostly the structural bytes: headers and page counts/offsets.
            size_t at = rng() % 2 == 0 ? rng() % std::min<size_t>(bytes.size(), 64)
                                       : (hitIndex ? 1024 * (1 + rng() % (bytes.size() / 1024 - 1)) + rng() % 48
                                                   : rng() % bytes.size());
            bytes[at] = static_cast<char>(rng());
        }
        writeFile(dir.file(hitIndex ? "PATNT2.ntx" : "PATNT.dbf"), bytes);
        writeFile(dir.file(hitIndex ? "PATNT.dbf" : "PATNT2.ntx"), hitIndex ? table : index);
        Workspace ws(dir.path());
        auto a = ws.use("patnt");
        if (!a)
            continue;
        WorkArea* p = *a;
        if (!p->setIndex("patnt2"))
            continue;
        int steps = 0;
        for (p->goTop(); !p->eof() && steps < 5000; p->skip())
            ++steps;
        EXPECT_LT(steps, 5000);
        p->goBottom();
        for (steps = 0; !p->bof() && !p->eof() && steps < 5000; p->skip(-1))
            ++steps;
        EXPECT_LT(steps, 5000);
        (void)p->seek("FCARL", true);
        (void)p->keyCount();
        p->setScope("FB");
        (void)p->keyCount();
        (void)p->keyNo();
    }
}

} // namespace
