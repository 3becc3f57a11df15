// Positions and counts in an order (ORDKEYNO, ORDKEYCOUNT) come from key
// counts the index keeps per page in memory. These tests change the index in
// every way it can change — inserts, deletes, recalls, key changes, by this
// area, another area, another open of the files — and compare every answer
// with a plain walk.
#include "engine_fixture.h"

#include "data/ntx_file.h"
#include "data/workspace.h"

#include <algorithm>
#include <cctype>
#include <random>
#include <set>

using namespace cn::data;
using namespace enginetest;

namespace {

using Entry = std::pair<std::string, uint32_t>;

std::string padded(std::string s, size_t n)
{
    s.resize(n, ' ');
    return s;
}

// Every rank the index answers, against the sorted set of its entries.
void expectRanksMatch(NtxFile& ix, const std::set<Entry>& all, std::mt19937& rng)
{
    auto total = ix.countAll();
    ASSERT_TRUE(total) << total.message();
    ASSERT_EQ(*total, all.size());
    const std::vector<Entry> v(all.begin(), all.end());
    auto countWhere = [&](auto pred) { return static_cast<uint64_t>(std::count_if(v.begin(), v.end(), pred)); };
    for (int probe = 0; probe < 25; ++probe) {
        // Prefixes of every length, some matching keys, some between them.
        std::string prefix = v.empty() ? "k" : v[rng() % v.size()].first.substr(0, 1 + rng() % 6);
        if (rng() % 3 == 0)
            prefix.back() = static_cast<char>(prefix.back() + 1);
        auto ge = ix.rankGE(prefix);
        auto gt = ix.rankGT(prefix);
        ASSERT_TRUE(ge && gt);
        EXPECT_EQ(ge->before, countWhere([&](const Entry& e) { return e.first.compare(0, prefix.size(), prefix) < 0; }))
            << prefix;
        EXPECT_EQ(gt->before, countWhere([&](const Entry& e) { return e.first.compare(0, prefix.size(), prefix) <= 0; }))
            << prefix;
        EXPECT_EQ(ge->have, ge->before < v.size());
        if (ge->have) {
            EXPECT_EQ(Entry(ge->at.key, ge->at.recNo), v[ge->before]);
        }

        // The entry at a rank, and none past the last.
        const uint64_t rank = rng() % (v.size() + 2);
        auto at = ix.entryAt(rank);
        ASSERT_TRUE(at);
        EXPECT_EQ(at->have, rank < v.size()) << rank;
        if (at->have) {
            EXPECT_EQ(Entry(at->at.key, at->at.recNo), v[rank]) << rank;
        }

        if (v.empty())
            continue;
        const Entry& e = v[rng() % v.size()];
        auto of = ix.rankOf(e.first, e.second);
        ASSERT_TRUE(of);
        EXPECT_EQ(of->before, static_cast<uint64_t>(std::lower_bound(v.begin(), v.end(), e) - v.begin()));
        EXPECT_TRUE(of->have && of->at.key == e.first && of->at.recNo == e.second);
        auto missing = ix.rankOf(e.first, e.second + 100000);   // not in the index: where it would go
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->before,
                  static_cast<uint64_t>(std::lower_bound(v.begin(), v.end(), Entry(e.first, e.second + 100000)) -
                                        v.begin()));
    }
}

TEST(IndexPositions, RanksFollowInsertsAndDeletesHereAndThroughAnotherOpen)
{
    TempDir dir;
    const std::string path = dir.file("R.ntx");
    NtxBuildInput input;
    input.keyLength = 40;   // 18 entries a page: a deep tree from few keys
    std::mt19937 rng(7);
    auto randomKey = [&] { return padded("k" + std::to_string(rng() % 700), 40); };
    std::set<Entry> all;
    for (uint32_t r = 1; r <= 1500; ++r) {
        const std::string k = randomKey();
        input.add(k, r);
        all.emplace(k, r);
    }
    ASSERT_TRUE(NtxFile::build(path, "key", 0, false, input));
    auto a = NtxFile::open(path, true);
    auto b = NtxFile::open(path, true);
    ASSERT_TRUE(a && b);
    (*a)->setShared(true);
    (*b)->setShared(true);
    expectRanksMatch(**a, all, rng);

    uint32_t nextRec = 1501;
    for (int round = 0; round < 40; ++round) {
        // Alternately this handle (its counts adjusted as it goes) and the
        // other one (seen here only through the header's change counter).
        NtxFile& writer = round % 2 ? **b : **a;
        for (int i = 0; i < 60; ++i) {
            // Shrink the index for a while in the middle rounds, so that
            // pages merge and the tree loses levels, then grow it again.
            const bool shrink = round >= 10 && round < 25;
            if (!all.empty() && (rng() % 3 == 0 || (shrink && rng() % 4 != 0))) {
                auto it = all.begin();
                std::advance(it, rng() % all.size());
                ASSERT_TRUE(writer.remove(it->first, it->second));
                all.erase(it);
            } else {
                const std::string k = randomKey();
                ASSERT_TRUE(writer.insert(k, nextRec));
                all.emplace(k, nextRec++);
            }
        }
        expectRanksMatch(**a, all, rng);
    }
    EXPECT_TRUE((*a)->verify());
}

// A plain walk of what the area shows: the records in navigation order.
std::vector<uint32_t> visibleRecords(WorkArea& p)
{
    std::vector<uint32_t> recs;
    for (p.goTop(); !p.eof(); p.skip(1))
        recs.push_back(p.recNo());
    return recs;
}

// ORDKEYCOUNT and ORDKEYNO of every shown record against the walk, and of a
// few other records against the same area counting record by record (which
// it does under a filter that hides nothing).
void expectPositionsMatch(Workspace& ws, WorkArea& p, std::mt19937& rng, const std::string& what)
{
    const std::vector<uint32_t> shown = visibleRecords(p);
    ASSERT_TRUE(p.lastError().empty()) << p.lastError();
    EXPECT_EQ(p.keyCount(), shown.size()) << what;
    for (size_t i = 0; i < shown.size(); i += 1 + rng() % 7) {
        p.goTo(shown[i]);
        EXPECT_EQ(p.keyNo(), i + 1) << what << ", record " << shown[i];
        // And back: the i-th position leads to the same record.
        p.goTop();
        ASSERT_TRUE(p.goToKeyNo(static_cast<uint32_t>(i) + 1)) << what;
        EXPECT_EQ(p.recNo(), shown[i]) << what << ", position " << i + 1;
    }
    for (uint32_t past : {0u, static_cast<uint32_t>(shown.size()) + 1}) {
        p.goTop();
        EXPECT_TRUE(p.goToKeyNo(past) && p.eof()) << what << ", position " << past;
    }
    for (int i = 0; i < 10; ++i) {
        p.goTo(1 + rng() % p.lastRec());   // perhaps deleted or out of scope
        const uint32_t byKeys = p.keyNo();
        p.setFilter([](WorkArea&) { return true; }, ".T.");
        const uint32_t byRecords = p.keyNo();
        p.clearFilter();
        EXPECT_EQ(byKeys, byRecords) << what << ", record " << p.recNo() << (p.deleted() ? " (deleted)" : "")
                                     << (ws.deletedVisible() ? ", deleted shown" : "");
    }
    p.goBottom();
    EXPECT_EQ(p.keyNo(), shown.size()) << what;
}

TEST(OrderPositions, KeyNoAndKeyCountMatchAWalkThroughChangesScopesAndOtherWriters)
{
    TempDir dir;
    makePatients(dir.path(), 0);
    Workspace ws(dir.path());
    Workspace other(dir.path());   // another program on the same folder
    const OpenMode shared{.shared = true};
    auto pa = ws.use("patnt", "p", shared);
    auto qa = ws.use("patnt", "q", shared);
    auto ra = other.use("patnt", "r", shared);
    ASSERT_TRUE(pa && qa && ra);
    WorkArea& p = **pa;
    for (WorkArea* w : {*pa, *qa, *ra}) {
        ASSERT_TRUE(w->setIndex("patnt1"));
        ASSERT_TRUE(w->setIndex("patnt2"));
        ASSERT_TRUE(w->setOrder(2));
    }
    std::mt19937 rng(2024);
    static const char* first[] = {"Anna", "Bert", "Carl", "Dora", "Emil", "Fay", "Gus", "Hilde"};
    auto name = [&] { return std::string(first[rng() % 8]); };
    // Keys must be flagged for counting by key: the name order is, so both
    // paths are covered with deleted records hidden and shown.
    int code = 0;
    for (int round = 0; round < 24; ++round) {
        WorkArea& w = round % 3 == 2 ? **ra : round % 3 == 1 ? **qa : p;
        for (int i = 0; i < 60; ++i) {
            const uint32_t n = w.lastRec();
            const int op = n < 50 ? 0 : static_cast<int>(rng() % 5);
            if (op == 0) {
                ASSERT_TRUE(w.append());
                ASSERT_TRUE(w.setNum("PATCODE", ++code));
                ASSERT_TRUE(w.setStr("PATFNAME", name()));
                ASSERT_TRUE(w.setStr("PATLNAME", "L" + std::to_string(rng() % 40)));
            } else {
                w.goTo(1 + rng() % n);
                ASSERT_TRUE(w.rlock());
                if (op == 1)
                    ASSERT_TRUE(w.deleteRecord());
                else if (op == 2)
                    ASSERT_TRUE(w.recall());
                else
                    ASSERT_TRUE(w.setStr("PATFNAME", name()));   // the key moves
            }
            w.unlock();
        }
        ws.setDeletedVisible(round % 4 == 3);
        switch (round % 4) {
        case 0: p.clearScope(); break;
        case 1: p.setScope(std::string("F") + static_cast<char>(std::toupper(first[rng() % 8][0]))); break;
        case 2:
            p.setScopeTop("FC");
            p.setScopeBottom("FF");
            break;
        default: p.setScopeTop("FE"); p.setScopeBottom(std::nullopt); break;
        }
        expectPositionsMatch(ws, p, rng, "round " + std::to_string(round));
        // Another order (codes) of the same area, unscoped.
        ASSERT_TRUE(p.setOrder(1));
        expectPositionsMatch(ws, p, rng, "code order, round " + std::to_string(round));
        ASSERT_TRUE(p.setOrder(2));
    }
    // A scope whose top lies after its bottom shows nothing.
    p.setScopeTop("FH");
    p.setScopeBottom("FB");
    EXPECT_EQ(p.keyCount(), 0u);
    p.goTop();
    EXPECT_EQ(p.keyNo(), 0u);
}

} // namespace
