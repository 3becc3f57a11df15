// An index built over a full table lists its keys in byte order, equal keys
// by record number, whatever the keys share: places equal in every key,
// keys that agree on their first sixteen differing places, duplicates.
#include "engine_fixture.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

using enginetest::TempDir;

TEST(IndexBuild, OrdersKeysByEveryByteAndEqualKeysByRecord)
{
    TempDir dir;
    cn::data::Workspace ws(dir.path());
    ASSERT_TRUE(ws.create("T.dbf", {{"CODE", 'C', 40, 0}}));
    auto a = ws.use("T.dbf", "t");
    ASSERT_TRUE(a) << a.message();
    cn::data::WorkArea* t = *a;

    // Every other place is a dash in every key; the other twenty are 'a' or
    // 'b', so that keys often agree on the first sixteen that differ and
    // part only later, and now and then repeat a key already written.
    uint64_t s = 3;
    auto next = [&] {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>(s >> 33);
    };
    std::vector<std::pair<std::string, uint32_t>> want;
    for (uint32_t r = 1; r <= 3000; ++r) {
        std::string key;
        if (r > 1 && next() % 5 == 0) {
            key = want[next() % want.size()].first;
        } else {
            for (int i = 0; i < 20; ++i)
                key += std::string(1, i < 14 ? 'a' : "ab"[next() % 2]) + "-";
            key[2 * (next() % 14)] = 'b';   // the first sixteen places still often tie
        }
        ASSERT_TRUE(t->append());
        ASSERT_TRUE(t->setStr("CODE", key));
        want.emplace_back(key, r);
    }
    ASSERT_TRUE(t->createIndex(dir.file("T.ntx"), "code"));
    ASSERT_TRUE(t->setOrder(1));
    std::sort(want.begin(), want.end());

    std::vector<std::pair<std::string, uint32_t>> got;
    for (t->goTop(); !t->eof(); t->skip(1))
        got.emplace_back(t->str("CODE"), t->recNo());
    EXPECT_EQ(got, want);
}

} // namespace
