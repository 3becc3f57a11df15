// The start-up index check: keys written straight from record bytes are the
// expression's own keys, and the one-pass comparison of a table with its
// indexes finds what a stale or damaged index looks like.
#include "setup_fixture.h"

#include "data/bytes.h"
#include "data/index_check.h"
#include "data/ntx_file.h"

#include <cstring>

using namespace cn::data;
using namespace cn::data::testing;
namespace cat = cn::data::catalog;

namespace {

// Field texts a key term has to cope with: what the engine writes and what
// another program or a damaged file may leave.
const char* const kNumbers[] = {"         1", "        42", "   1234567", "         0", "          ", "0000000042",
                                "  0000012 ", "       -17", "      4 2 ", "12345678901", "        x9", "\x1A\x1A"};
const char* const kTexts[] = {"Anita", "anita rao", "ZOE", "Zo\xEB \xE4rzt", "  lead", "trail   ", "", "{|}~`@[",
                              "\xFF\xE0"};
const char* const kDates[] = {"20260610", "        ", "2026061 ", "abcdefgh", "19000101", "0000000x"};

// Fills a field's bytes from one of the samples above (cut or padded).
void put(char* at, size_t width, const char* text)
{
    std::memset(at, ' ', width);
    std::memcpy(at, text, std::min(width, std::strlen(text)));
}

} // namespace

TEST(KeyWriter, WritesTheExpressionsOwnKeyForEveryCatalogueIndex)
{
    TempFolder dir;
    Workspace ws(dir.str());
    uint64_t seed = 7;
    auto next = [&seed] { return (seed = seed * 6364136223846793005ull + 1442695040888963407ull) >> 33; };
    for (const auto& ix : cat::indexes()) {
        const auto& def = cat::table(ix.table);
        const std::string file = def.upperName() + ".dbf";
        ASSERT_TRUE(ws.create(file, def.fields));
        auto dbf = DbfFile::open(ws.resolve(file), false);
        ASSERT_TRUE(dbf) << dbf.message();
        auto expr = Expr::compile(ix.key, (*dbf)->fields());
        ASSERT_TRUE(expr) << expr.message();
        KeyWriter writer(*expr, (*dbf)->fields());
        EXPECT_TRUE(writer.direct()) << ix.key;   // the program's own keys never need the expression

        std::string record((*dbf)->recordLength(), ' ');
        std::string want, got(expr->keyLength(), '?');
        for (int round = 0; round < 400; ++round) {
            record[0] = next() % 3 == 0 ? '*' : ' ';
            for (const auto& f : (*dbf)->fields()) {
                char* at = record.data() + f.offset;
                const auto width = static_cast<size_t>(f.def.width);
                if (f.def.type == 'N')
                    put(at, width, kNumbers[next() % std::size(kNumbers)]);
                else if (f.def.type == 'D')
                    put(at, width, kDates[next() % std::size(kDates)]);
                else
                    put(at, width, kTexts[next() % std::size(kTexts)]);
            }
            expr->key(record.data(), want);
            writer.write(record.data(), got.data());
            ASSERT_EQ(got, want) << ix.key;
            ASSERT_EQ(writer.hash(record.data(), 9), ntxEntryHash(writer.pieces(), want.data(), 9)) << ix.key;
        }
        ws.closeAll();
        (void)ws.erase(file);
    }
}

namespace {

// A patient table of 300 records (deep enough for branch pages) with its two
// indexes, as the engine leaves it.
struct IndexCheckTest : ::testing::Test {
    TempFolder dir;
    Workspace ws{dir.str()};

    void SetUp() override
    {
        const auto& def = *cat::findTable("patnt");
        ASSERT_TRUE(ws.create("PATNT.dbf", def.fields));
        auto a = ws.use("PATNT.dbf");
        ASSERT_TRUE(a) << a.message();
        for (int i = 1; i <= 300; ++i) {
            ASSERT_TRUE((*a)->append());
            ASSERT_TRUE((*a)->setNum("PATCODE", i));
            ASSERT_TRUE((*a)->setStr("PATFNAME", "Name" + std::to_string(i * 7919 % 300)));
            if (i % 10 == 0) {
                ASSERT_TRUE((*a)->deleteRecord());
            }
        }
        for (const char* n : {"patnt1", "patnt2"})
            ASSERT_TRUE((*a)->createIndex(cat::findIndex(n)->fileName(), cat::findIndex(n)->key));
        ws.closeAll();
    }

    std::vector<Status> check()
    {
        std::vector<IndexToCheck> files;
        for (const char* n : {"patnt1", "patnt2"})
            files.push_back({ws.resolve(cat::findIndex(n)->fileName()), cat::findIndex(n)->key});
        return checkIndexes(ws.resolve("PATNT.dbf"), files);
    }

    // Rewrites one field of a record in the table file alone.
    void patch(uint32_t recNo, const char* field, const std::string& text)
    {
        auto dbf = DbfFile::open(ws.resolve("PATNT.dbf"), true);
        ASSERT_TRUE(dbf);
        std::string rec((*dbf)->recordLength(), ' ');
        ASSERT_TRUE((*dbf)->read(recNo, rec.data()));
        const auto& f = (*dbf)->fields()[static_cast<size_t>((*dbf)->fieldIndex(field))];
        put(rec.data() + f.offset, static_cast<size_t>(f.def.width), text.c_str());
        ASSERT_TRUE((*dbf)->write(recNo, rec.data()));
    }
};

} // namespace

TEST_F(IndexCheckTest, SoundIndexesPass)
{
    for (const auto& s : check())
        EXPECT_TRUE(s) << s.message();
}

// Two records trade codes: every key is still there once, only the records
// they lead to are wrong. A check that looked at keys alone would pass it.
TEST_F(IndexCheckTest, KeysTradedBetweenRecordsAreFound)
{
    patch(3, "PATCODE", "        17");
    patch(17, "PATCODE", "         3");
    const auto s = check();
    EXPECT_FALSE(s[0]);
    EXPECT_NE(s[0].message().find("a key differs"), std::string::npos) << s[0].message();
    EXPECT_TRUE(s[1]) << s[1].message();
}

TEST_F(IndexCheckTest, DeletionBehindTheIndexAndRecordsWithoutKeyAreFound)
{
    patch(5, "PATFNAME", "Name" + std::to_string(5 * 7919 % 300));   // the same text: nothing to find
    EXPECT_TRUE(check()[1]);
    auto dbf = DbfFile::open(ws.resolve("PATNT.dbf"), true);
    ASSERT_TRUE(dbf);
    std::string rec((*dbf)->recordLength(), ' ');
    ASSERT_TRUE((*dbf)->read(5, rec.data()));
    rec[0] = '*';   // deleted behind the indexes: its keys should now start with T
    ASSERT_TRUE((*dbf)->write(5, rec.data()));
    for (const auto& s : check()) {
        EXPECT_FALSE(s);
        EXPECT_NE(s.message().find("a key differs"), std::string::npos) << s.message();
    }
    ASSERT_TRUE((*dbf)->append(rec.data()));   // appended by a program that does not keep the indexes
    for (const auto& s : check()) {
        EXPECT_FALSE(s);
        EXPECT_NE(s.message().find("holds 300 keys for 301 records"), std::string::npos) << s.message();
    }
}

TEST_F(IndexCheckTest, DamagedTreeIsFoundAndNamed)
{
    // The root of PATNT1.ntx (a branch page) made to point to itself.
    const fs::path file = dir / "PATNT1.ntx";
    std::string bytes = readBytes(file);
    const uint32_t root = get32(reinterpret_cast<const unsigned char*>(bytes.data()) + 4);
    const uint16_t first = get16(reinterpret_cast<const unsigned char*>(bytes.data()) + root + 2);
    ASSERT_NE(get32(reinterpret_cast<const unsigned char*>(bytes.data()) + root + first), 0u) << "root is a leaf";
    put32(reinterpret_cast<unsigned char*>(bytes.data()) + root + first, root);
    { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
    const auto s = check();
    EXPECT_FALSE(s[0]);
    EXPECT_NE(s[0].message().find("PATNT1.ntx"), std::string::npos) << s[0].message();
    EXPECT_NE(s[0].message().find("points to itself"), std::string::npos) << s[0].message();
    EXPECT_TRUE(s[1]);
}

// The visit table's five indexes share fields, and its records hold what
// other programs may leave (numbers with leading zeros, junk, letters above
// ASCII): the one pass must agree with indexes the engine built through the
// expressions, and still find a key that changed.
TEST(IndexCheck, SharedFieldsInAnyFormAgreeWithTheEnginesIndexes)
{
    TempFolder dir;
    Workspace ws(dir.str());
    const auto& def = *cat::findTable("pvisit");
    ASSERT_TRUE(ws.create("PVISIT.dbf", def.fields));
    uint64_t seed = 11;
    auto next = [&seed] { return (seed = seed * 6364136223846793005ull + 1442695040888963407ull) >> 33; };
    {
        auto dbf = DbfFile::open(ws.resolve("PVISIT.dbf"), true);
        ASSERT_TRUE(dbf);
        std::string record((*dbf)->recordLength(), ' ');
        for (int i = 1; i <= 600; ++i) {
            record[0] = next() % 5 == 0 ? '*' : ' ';
            for (const auto& f : (*dbf)->fields()) {
                const char* const* samples = f.def.type == 'N' ? kNumbers : f.def.type == 'D' ? kDates : kTexts;
                const size_t n = f.def.type == 'N' ? std::size(kNumbers) : f.def.type == 'D' ? std::size(kDates)
                                                                                             : std::size(kTexts);
                put(record.data() + f.offset, static_cast<size_t>(f.def.width), samples[next() % n]);
            }
            if (i == 7)
                put(record.data() + (*dbf)->fields()[size_t((*dbf)->fieldIndex("VISITNO"))].offset, 10, "        42");
            ASSERT_TRUE((*dbf)->append(record.data()));
        }
    }
    std::vector<IndexToCheck> files;
    {
        auto a = ws.use("PVISIT.dbf");
        ASSERT_TRUE(a) << a.message();
        for (int n : def.indexes) {
            const auto& ix = cat::index(n);
            ASSERT_TRUE((*a)->createIndex(ix.fileName(), ix.key));
            files.push_back({ws.resolve(ix.fileName()), ix.key});
        }
        ws.closeAll();
    }
    auto check = [&] { return checkIndexes(ws.resolve("PVISIT.dbf"), files); };
    auto patchVisitNo = [&](const char* text) {
        auto dbf = DbfFile::open(ws.resolve("PVISIT.dbf"), true);
        ASSERT_TRUE(dbf);
        std::string rec((*dbf)->recordLength(), ' ');
        ASSERT_TRUE((*dbf)->read(7, rec.data()));
        put(rec.data() + (*dbf)->fields()[size_t((*dbf)->fieldIndex("VISITNO"))].offset, 10, text);
        ASSERT_TRUE((*dbf)->write(7, rec.data()));
    };
    for (const auto& s : check())
        EXPECT_TRUE(s) << s.message();
    patchVisitNo("0000000042");   // the same number: the same keys
    for (const auto& s : check())
        EXPECT_TRUE(s) << s.message();
    patchVisitNo("        43");
    const auto s = check();
    ASSERT_EQ(s.size(), 5u);
    EXPECT_FALSE(s[0]);   // str(visitno)
    EXPECT_FALSE(s[1]);   // str(patcode)+str(visitno)
    EXPECT_TRUE(s[2] && s[3] && s[4]);
}

// Each page is taken as the file is read and the tree walked afterwards:
// keys in order within every page but not across two of them are still
// found, and pages the tree does not reach (freed ones) are not judged.
TEST_F(IndexCheckTest, OrderAcrossPagesIsCheckedAndUnreachedPagesAreNot)
{
    const fs::path file = dir / "PATNT1.ntx";
    const std::string sound = readBytes(file);
    auto u = [](std::string& b) { return reinterpret_cast<unsigned char*>(b.data()); };
    std::string bytes = sound;
    const uint32_t root = get32(u(bytes) + 4);
    const uint32_t leaf = get32(u(bytes) + root + get16(u(bytes) + root + 2));
    ASSERT_NE(leaf, 0u) << "root is a leaf";
    const uint16_t count = get16(u(bytes) + leaf);
    std::memcpy(u(bytes) + leaf + get16(u(bytes) + leaf + 2 + 2 * (count - 1)) + 8, "F9999999999", 11);
    { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
    auto s = check();
    EXPECT_NE(s[0].message().find("keys out of order"), std::string::npos) << s[0].message();

    bytes = sound;   // the second leaf's first key below the one that parts it from the first leaf
    const uint32_t second = get32(u(bytes) + root + get16(u(bytes) + root + 4));
    std::memcpy(u(bytes) + second + get16(u(bytes) + second + 2) + 8, "F         0", 11);
    { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
    s = check();
    EXPECT_NE(s[0].message().find("keys out of order"), std::string::npos) << s[0].message();

    bytes = sound;
    bytes.append(1024, '\xEE');   // a page no one points to, holding anything
    { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
    s = check();
    EXPECT_TRUE(s[0]) << s[0].message();
}

// An index grown one insert at a time, its pages split all over the file
// rather than laid out in key order, checks as sound against its table.
TEST(IndexCheck, IndexGrownByInsertsInAnyOrderIsSound)
{
    TempFolder dir;
    Workspace ws(dir.str());
    const auto& def = *cat::findTable("patnt");
    ASSERT_TRUE(ws.create("PATNT.dbf", def.fields));
    std::vector<IndexToCheck> files;
    {
        auto a = ws.use("PATNT.dbf");
        ASSERT_TRUE(a) << a.message();
        for (const char* n : {"patnt1", "patnt2"}) {
            ASSERT_TRUE((*a)->createIndex(cat::findIndex(n)->fileName(), cat::findIndex(n)->key));
            files.push_back({ws.resolve(cat::findIndex(n)->fileName()), cat::findIndex(n)->key});
        }
        for (int i = 1; i <= 3000; ++i) {
            ASSERT_TRUE((*a)->append());
            ASSERT_TRUE((*a)->setNum("PATCODE", i * 7919 % 3001));
            ASSERT_TRUE((*a)->setStr("PATFNAME", "Name" + std::to_string(i * 104729 % 3001)));
        }
        ws.closeAll();
    }
    for (const auto& s : checkIndexes(ws.resolve("PATNT.dbf"), files))
        EXPECT_TRUE(s) << s.message();
}

// Within a page each key is read once, as the words it is hashed in, and put
// in order after the one before by those words: keys that part only in their
// last byte (in the last word, which overlaps the one before it) or only by
// record number are ordered as their bytes are, in a key of a few words and
// in one longer than the loops made for a fixed number of words. A page
// whose item lies outside it is told as that, though a key before that item
// is out of order.
TEST(IndexCheck, KeysInAPageAreOrderedByTheirBytesThenTheirRecords)
{
    TempFolder dir;
    auto u = [](std::string& b) { return reinterpret_cast<unsigned char*>(b.data()); };
    for (const uint16_t K : {uint16_t(19), uint16_t(90)}) {
        SCOPED_TRACE("key length " + std::to_string(K));
        const fs::path file = dir / ("K" + std::to_string(K) + ".ntx");
        NtxBuildInput input;
        input.keyLength = K;
        for (uint32_t r = 1; r <= 2000; ++r) {
            std::string key(K, 'm');
            key[K - 9] = static_cast<char>('a' + r % 3);
            key[K - 1] = static_cast<char>('a' + r % 5);
            input.add(key, r);
        }
        ASSERT_TRUE(NtxFile::build(file.string(), "KEYS", 0, false, input));
        auto verify = [&](const std::string& bytes) {
            { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
            auto f = NtxFile::open(file.string(), false);
            EXPECT_TRUE(f) << f.message();
            return f ? (*f)->verify() : f.status();
        };
        const std::string sound = readBytes(file);
        ASSERT_TRUE(verify(sound)) << verify(sound).message();

        std::string bytes = sound;
        uint32_t leaf = get32(u(bytes) + 4);   // down the first children to a leaf
        while (get32(u(bytes) + leaf + get16(u(bytes) + leaf + 2)) != 0)
            leaf = get32(u(bytes) + leaf + get16(u(bytes) + leaf + 2));
        auto item = [&](std::string& b, int i) { return u(b) + leaf + get16(u(b) + leaf + 2 + 2 * i); };
        ASSERT_GE(get16(u(bytes) + leaf), 3);
        ASSERT_EQ(std::memcmp(item(bytes, 0) + 8, item(bytes, 1) + 8, K), 0) << "the first keys are equal";

        // Equal keys with their record numbers the wrong way round.
        const uint32_t r0 = get32(item(bytes, 0) + 4);
        put32(item(bytes, 0) + 4, get32(item(bytes, 1) + 4));
        put32(item(bytes, 1) + 4, r0);
        Status s = verify(bytes);
        EXPECT_NE(s.message().find("keys out of order"), std::string::npos) << s.message();

        // The first key above the second in its last byte alone.
        bytes = sound;
        item(bytes, 0)[8 + K - 1] = static_cast<unsigned char>(item(bytes, 1)[8 + K - 1] + 1);
        s = verify(bytes);
        EXPECT_NE(s.message().find("keys out of order"), std::string::npos) << s.message();
        // ...and the page's last item (its last child) outside the page.
        put16(u(bytes) + leaf + 2 + 2 * get16(u(bytes) + leaf), 1020);
        s = verify(bytes);
        EXPECT_NE(s.message().find("lies outside the page"), std::string::npos) << s.message();
    }
}
