// Append-from writes a number field's text as encoding its value would,
// whatever the source file holds: a text already in that form is taken as
// it is, any other (leading zeros, a minus zero, too few decimals, blanks
// on the right, digits past what a double keeps) is read and written again.
#include "engine_fixture.h"

#include "data/dbf_file.h"

#include <string>
#include <vector>

namespace {

using namespace cn::data;
using enginetest::TempDir;

TEST(AppendFrom, NumbersLandAsTheirValueIsWritten)
{
    TempDir dir;
    const Structure fields = {{"AMT", 'N', 8, 2}, {"QTY", 'N', 18, 0}};
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"    1.50", "                 7"}, {"   01.50", "              0007"}, {"   -0.00", "                -0"},
        {"     1.5", "                  "}, {"1.50    ", "123456789012345678"}, {"  -12.05", "   999999999999999"},
        {"        ", "                 0"}, {"   -0.01", "  -100000000000000"},
    };
    ASSERT_TRUE(DbfFile::create(dir.file("SRC.dbf"), fields));
    {
        auto src = DbfFile::open(dir.file("SRC.dbf"), true);
        ASSERT_TRUE(src) << src.message();
        for (const auto& [amt, qty] : texts)
            ASSERT_TRUE((*src)->append((" " + amt + qty).c_str()));
    }
    {
        Workspace ws(dir.path());
        ASSERT_TRUE(ws.create("DST.dbf", fields));
        auto a = ws.use("DST.dbf", "d");
        ASSERT_TRUE(a) << a.message();
        ASSERT_TRUE((*a)->appendFrom("SRC.dbf", {}));
    }
    auto dst = DbfFile::open(dir.file("DST.dbf"), false);
    ASSERT_TRUE(dst) << dst.message();
    ASSERT_EQ((*dst)->recordCount(), texts.size());
    auto written = [](const std::string& text, int width, int decimals) {
        if (text.find_first_not_of(' ') == std::string::npos)
            return text;
        std::string out(static_cast<size_t>(width), '#');
        EXPECT_TRUE(encodeNumeric(decodeNumeric(text), width, decimals, out.data()));
        return out;
    };
    std::string rec((*dst)->recordLength(), ' ');
    for (uint32_t r = 1; r <= texts.size(); ++r) {
        ASSERT_TRUE((*dst)->read(r, rec.data()));
        const auto& [amt, qty] = texts[r - 1];
        EXPECT_EQ(rec.substr(1, 8), written(amt, 8, 2)) << "record " << r;
        EXPECT_EQ(rec.substr(9, 18), written(qty, 18, 0)) << "record " << r;
    }
}

} // namespace
