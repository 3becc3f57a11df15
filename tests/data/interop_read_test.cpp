// Our engine reads tables and memos written by another writer (the Python dbf
// module), and the variants other writers produce: a header ending in 0x0D
// 0x00, and memo pointers padded with zeros instead of spaces.
#include "tests/data/interop_util.h"

#include "data/cp1252.h"
#include "data/expr.h"
#include "data/workspace.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace cn::data;
using namespace cn::interop;

namespace {

const char* const kWriter = R"(
import dbf, datetime, sys
t = dbf.Table(sys.argv[1], 'NAME C(20); CODE N(10,0); FEE N(10,2); DT D; FLAG L; NOTE M',
              dbf_type='db3', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('Zo\u00eb \u00c4rzt', 1, 1234.5, datetime.date(2026, 1, 5), True, 'Tab. Paracetamol\r\ntwice daily'))
t.append(('Bob', 2, 0, None, False, ''))
t.append(('Al', 3, 9999999.99, datetime.date(2000, 2, 29), False, 'x' * 1500))
t.append(('Last', 4, 7.25, datetime.date(1999, 12, 31), True, 'end'))
dbf.delete(t[1])
t.close()
)";

struct Expected {
    std::string name;     // Windows-1252
    double code, fee;
    Date dt;
    bool flag;
    std::string memo;
    bool deleted;
};

const std::vector<Expected> kExpected = {
    {"Zo\xEB \xC4rzt", 1, 1234.5, {2026, 1, 5}, true, "Tab. Paracetamol\r\ntwice daily", false},
    {"Bob", 2, 0, {}, false, "", true},
    {"Al", 3, 9999999.99, {2000, 2, 29}, false, std::string(1500, 'x'), false},
    {"Last", 4, 7.25, {1999, 12, 31}, true, "end", false},
};

std::string padded(const std::string& s, size_t n)
{
    std::string out = s;
    out.resize(n, ' ');
    return out;
}

class InteropRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        py = pythonWith("dbf");
        if (py.empty())
            GTEST_SKIP() << "python3-dbf is not installed";
        const Outcome r = runScript(py, dir.str(), kWriter, {dir.file("PV.dbf")});
        ASSERT_EQ(r.status, 0) << r.out;
    }

    // Every record, deleted ones included, as our engine reads it.
    void expectReadsBack()
    {
        Workspace ws(dir.str());
        ws.setDeletedVisible(true);
        auto a = ws.use("PV.dbf", "pv", OpenMode{true, true});
        ASSERT_TRUE(a) << a.message();
        WorkArea& w = *a.value();
        ASSERT_EQ(w.lastRec(), kExpected.size());
        size_t i = 0;
        for (w.goTop(); !w.eof(); w.skip(1), ++i) {
            ASSERT_LT(i, kExpected.size());
            const Expected& e = kExpected[i];
            SCOPED_TRACE("record " + std::to_string(i + 1));
            EXPECT_EQ(w.recNo(), i + 1);
            EXPECT_EQ(w.str("NAME"), padded(e.name, 20));
            EXPECT_EQ(w.num("CODE"), e.code);
            EXPECT_DOUBLE_EQ(w.num("FEE"), e.fee);
            EXPECT_EQ(w.date("DT"), e.dt);
            EXPECT_EQ(w.logical("FLAG"), e.flag);
            auto memo = w.readMemo("NOTE");
            ASSERT_TRUE(memo) << memo.message();
            EXPECT_EQ(*memo, e.memo);
            EXPECT_EQ(w.deleted(), e.deleted);
        }
        EXPECT_EQ(i, kExpected.size());
    }

    uint16_t headerLength(const std::string& bytes) const
    {
        return uint16_t(static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8);
    }
    uint16_t recordLength(const std::string& bytes) const
    {
        return uint16_t(static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8);
    }

    std::string py;
    TempDir dir;
};

TEST_F(InteropRead, TableAndMemosWrittenByPythonDbf)
{
    expectReadsBack();
}

TEST_F(InteropRead, HeaderEndingInTerminatorAndZeroByte)
{
    std::string bytes = readFile(dir.file("PV.dbf"));
    const uint16_t h = headerLength(bytes);
    ASSERT_EQ(bytes[h - 1], '\x0D');
    bytes.insert(bytes.begin() + h, '\0');
    bytes[8] = char((h + 1) & 0xFF);
    bytes[9] = char((h + 1) >> 8);
    writeFile(dir.file("PV.dbf"), bytes);
    expectReadsBack();
}

TEST_F(InteropRead, MemoPointersPaddedWithZerosOrSpaces)
{
    std::string bytes = readFile(dir.file("PV.dbf"));
    const uint16_t h = headerLength(bytes), len = recordLength(bytes);
    const size_t memoOffset = 1 + 20 + 10 + 10 + 8 + 1;   // NOTE is the last field
    ASSERT_EQ(memoOffset + 10, len);
    int rewritten = 0;
    for (size_t r = 0; r < kExpected.size(); ++r) {
        char* field = bytes.data() + h + r * len + memoOffset;
        std::string text(field, 10);
        const size_t digits = text.find_first_not_of(' ');
        if (digits == std::string::npos)
            continue;
        // Zeros for the first and third memo, spaces (as written) for the others.
        if (rewritten++ % 2 == 0)
            for (size_t k = 0; k < digits; ++k)
                field[k] = '0';
    }
    ASSERT_GE(rewritten, 3);
    writeFile(dir.file("PV.dbf"), bytes);
    expectReadsBack();
}

} // namespace

namespace {

// A foreign table whose memo, date or logical field is not the format's width
// is refused when opened, rather than read past the end of its records.
TEST_F(InteropRead, FieldNarrowerThanItsTypeIsRefused)
{
    const std::string original = readFile(dir.file("PV.dbf"));
    // Descriptors start at 32; NOTE (M) is the sixth field, DT (D) the fourth.
    for (const auto& [field, width] : {std::pair{5, 3}, std::pair{3, 4}}) {
        std::string bytes = original;
        bytes[size_t(32 + 32 * field + 16)] = char(width);
        writeFile(dir.file("PV.dbf"), bytes);
        Workspace ws(dir.str());
        auto a = ws.use("PV.dbf", "pv", OpenMode{true, true});
        ASSERT_FALSE(a) << "field " << field;
        EXPECT_NE(a.message().find("wide instead of"), std::string::npos) << a.message();
    }
}

} // namespace

namespace {

// A key expression is read from an index file's header, so any text may come
// in: deep nesting is refused with an error instead of exhausting the stack.
TEST(InteropExpression, NestingBeyondReasonIsRefused)
{
    const std::vector<FieldLayout> fields = {{{"CODE", 'N', 10, 0}, 1}};
    auto ok = Expr::compile("iif(deleted(), 'T', 'F')+((str(code)))", fields);
    ASSERT_TRUE(ok) << ok.message();
    EXPECT_EQ(ok->keyLength(), 11);
    for (const size_t depth : {size_t(100), size_t(200000)}) {
        const std::string text = std::string(depth, '(') + "str(code)" + std::string(depth, ')');
        auto deep = Expr::compile(text, fields);
        ASSERT_FALSE(deep) << depth;
        EXPECT_NE(deep.message().find("nested too deeply"), std::string::npos) << deep.message();
    }
}

} // namespace
