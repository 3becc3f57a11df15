// Work areas as the forms use them: orders, seeks, scopes, deleted records,
// counts, several areas on one file, field values and relations.
#include "engine_fixture.h"

#include "data/expr.h"
#include "data/workspace.h"

using namespace cn::data;
using namespace enginetest;

namespace {

class WorkAreaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        makePatients(dir.path(), 20);
        auto a = ws.use("patnt", {}, {.shared = true});
        ASSERT_TRUE(a) << a.message();
        p = *a;
        ASSERT_TRUE(p->setIndex("patnt1"));
        ASSERT_TRUE(p->setIndex("patnt2"));
    }
    // Deletes the record with this code (locking it as the forms do).
    void deleteCode(long code)
    {
        ASSERT_TRUE(p->setOrder(1));
        ASSERT_TRUE(p->seek(codeKey(code)));
        ASSERT_TRUE(p->rlock());
        ASSERT_TRUE(p->deleteRecord());
        p->unlock();
    }
    TempDir dir;
    Workspace ws {dir.path()};
    WorkArea* p = nullptr;
};

TEST_F(WorkAreaTest, OrdersAreNumberedInAttachOrderAndZeroIsRecordOrder)
{
    EXPECT_EQ(p->orderCount(), 2);
    EXPECT_EQ(p->indexOrd(), 1);
    EXPECT_EQ(p->indexKey(2), kNameKey);
    ASSERT_TRUE(p->setOrder(2));
    p->goTop();
    EXPECT_EQ(p->str("PATFNAME").substr(0, 4), "Anna");
    EXPECT_EQ(p->recNo(), 1u);
    p->skip();
    EXPECT_EQ(p->recNo(), 17u);   // the second Anna: "NAME17" sorts before "NAME9"
    ASSERT_TRUE(p->setOrder(0));
    p->goBottom();
    EXPECT_EQ(p->recNo(), 20u);
    EXPECT_FALSE(p->setOrder(3));
}

TEST_F(WorkAreaTest, SeekFindsExactPrefixAndSoftSeekLandsOnTheNextKey)
{
    ASSERT_TRUE(p->setOrder(2));
    EXPECT_TRUE(p->seek("FCARL"));
    EXPECT_TRUE(p->found());
    EXPECT_EQ(p->num("PATCODE"), 11);   // Carl Name11 before Name19 and Name3

    EXPECT_FALSE(p->seek("FCAT"));
    EXPECT_FALSE(p->found());
    EXPECT_TRUE(p->eof());
    EXPECT_EQ(p->recNo(), p->lastRec() + 1);

    EXPECT_FALSE(p->seek("FCAT", true));
    EXPECT_FALSE(p->eof());
    EXPECT_EQ(p->str("PATFNAME").substr(0, 4), "Dora");

    EXPECT_FALSE(p->seek("FZZZ", true));
    EXPECT_TRUE(p->eof());
}

TEST_F(WorkAreaTest, DeletedRecordDisappearsFromBrowseSeekAndCountAtOnce)
{
    p->setScope("F");
    EXPECT_EQ(p->keyCount(), 20u);
    deleteCode(5);
    EXPECT_FALSE(p->seek(codeKey(5)));
    EXPECT_EQ(p->keyCount(), 19u);
    EXPECT_EQ(p->lastRec(), 20u);   // LASTREC still counts it
    int seen = 0;
    for (p->goTop(); !p->eof(); p->skip()) {
        EXPECT_NE(p->num("PATCODE"), 5);
        ++seen;
    }
    EXPECT_EQ(seen, 19);
    // Order 0 hides it too, and a locate does not find it.
    ASSERT_TRUE(p->setOrder(0));
    EXPECT_FALSE(p->locate([](WorkArea& w) { return w.num("PATCODE") == 5; }));
    EXPECT_EQ(p->keyCount(), 19u);

    ws.setDeletedVisible(true);
    EXPECT_TRUE(p->locate([](WorkArea& w) { return w.num("PATCODE") == 5; }));
    EXPECT_TRUE(p->deleted());
    ASSERT_TRUE(p->setOrder(1));
    p->clearScope();
    EXPECT_TRUE(p->seek("T" + strNum(5, 10)));
    ws.setDeletedVisible(false);
}

TEST_F(WorkAreaTest, RecallBringsTheKeyBack)
{
    deleteCode(7);
    ws.setDeletedVisible(true);
    ASSERT_TRUE(p->seek("T" + strNum(7, 10)));
    ASSERT_TRUE(p->rlock());
    ASSERT_TRUE(p->recall());
    ws.setDeletedVisible(false);
    EXPECT_TRUE(p->seek(codeKey(7)));
    EXPECT_FALSE(p->seek("T"));
}

TEST_F(WorkAreaTest, ScopeOnCodePrefixShowsOnlyThatCodeAndKeyNoCountsWithinIt)
{
    ASSERT_TRUE(p->setOrder(2));
    p->setScope("FANNA");
    EXPECT_EQ(p->keyCount(), 3u);
    std::vector<double> codes;
    for (p->goTop(); !p->eof(); p->skip())
        codes.push_back(p->num("PATCODE"));
    EXPECT_EQ(codes, (std::vector<double> {1, 17, 9}));
    p->goBottom();
    EXPECT_EQ(p->num("PATCODE"), 9);
    EXPECT_EQ(p->keyNo(), 3u);
    p->skip(-1);
    EXPECT_EQ(p->keyNo(), 2u);
    p->skip(-5);
    EXPECT_TRUE(p->bof());
    EXPECT_EQ(p->num("PATCODE"), 1);
    EXPECT_FALSE(p->seek("FBERT"));   // outside the scope
    p->clearScope();
    EXPECT_TRUE(p->seek("FBERT"));
    EXPECT_EQ(p->keyNo(), 4u);
    EXPECT_EQ(p->keyCount(), 20u);
}

TEST_F(WorkAreaTest, TwoAreasOnOneFileKeepOwnPositionsAndSeeEachOthersChanges)
{
    auto b = ws.use("PATNT", "patnt01", {.shared = true});
    ASSERT_TRUE(b) << b.message();
    WorkArea* q = *b;
    ASSERT_TRUE(q->setIndex("PATNT1"));
    EXPECT_EQ(ws.selectNo("patnt01"), 2);
    EXPECT_EQ(ws.currentAlias(), "patnt01");

    ASSERT_TRUE(p->setOrder(2));
    p->goTop();
    q->goBottom();
    EXPECT_EQ(p->recNo(), 1u);
    EXPECT_EQ(q->recNo(), 20u);

    // q changes record 1's name: p's name order moves it at once.
    ASSERT_TRUE(q->seek(codeKey(1)));
    ASSERT_TRUE(q->rlock());
    ASSERT_TRUE(q->setStr("PATFNAME", "Zack"));
    EXPECT_EQ(p->str("PATFNAME").substr(0, 4), "Zack");
    EXPECT_TRUE(p->seek("FZACK"));
    EXPECT_EQ(p->recNo(), 1u);
    // p cannot lock what q holds, as two users could not.
    EXPECT_FALSE(p->rlock());
    q->unlock();
    EXPECT_TRUE(p->rlock());
    p->unlock();

    // An append in p shows in q's order.
    ASSERT_TRUE(p->append());
    EXPECT_TRUE(p->isLocked(21));
    ASSERT_TRUE(p->setNum("PATCODE", 21));
    ASSERT_TRUE(p->setStr("PATFNAME", "Ida"));
    p->unlock();
    EXPECT_TRUE(q->seek(codeKey(21)));
    EXPECT_EQ(q->str("PATFNAME").substr(0, 3), "Ida");
    EXPECT_TRUE(q->flock());   // p holds no lock any more
    EXPECT_FALSE(p->rlock());
    q->unlock();
}

TEST_F(WorkAreaTest, FileLockExcludesRecordLocksOfOtherAreas)
{
    auto b = ws.use("patnt", "patnt01", {.shared = true});
    ASSERT_TRUE(b);
    WorkArea* q = *b;
    p->goTop();
    q->goTop();
    ASSERT_TRUE(p->flock());
    EXPECT_FALSE(q->rlock());
    EXPECT_FALSE(q->append());
    p->unlock();
    EXPECT_TRUE(q->rlock());
    EXPECT_FALSE(p->flock());
    q->unlock();
}

TEST_F(WorkAreaTest, ChangingASharedRecordNeedsItsLock)
{
    p->goTop();
    Status st = p->setStr("PATFNAME", "X");
    EXPECT_FALSE(st);
    EXPECT_NE(st.message().find("not locked"), std::string::npos);
}

TEST_F(WorkAreaTest, NumericValuesAreRoundedAndRefusedWhenTheyDoNotFit)
{
    p->goTop();
    ASSERT_TRUE(p->rlock());
    ASSERT_TRUE(p->setNum("PATFEES", 9999999.99));
    EXPECT_EQ(p->raw("PATFEES"), "9999999.99");
    Status st = p->setNum("PATFEES", 10000000.00);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message().find("does not fit"), std::string::npos);
    EXPECT_EQ(p->raw("PATFEES"), "9999999.99");   // untouched
    ASSERT_TRUE(p->setNum("PATFEES", 1.005));
    EXPECT_EQ(p->raw("PATFEES"), "      1.01");
    ASSERT_TRUE(p->setNum("PATFEES", -0.004));
    EXPECT_EQ(p->raw("PATFEES"), "      0.00");
    ASSERT_TRUE(p->setNum("PATFEES", 12.5));
    EXPECT_EQ(p->raw("PATFEES"), "     12.50");
    EXPECT_FALSE(p->setStr("PATFNAME", std::string(21, 'x')));
    EXPECT_FALSE(p->setDate("PATDOB", Date {2023, 2, 29}));
    ASSERT_TRUE(p->setDate("PATDOB", Date {2024, 2, 29}));
    EXPECT_EQ(p->raw("PATDOB"), "20240229");
    p->unlock();
}

TEST_F(WorkAreaTest, RelationPositionsTheChildOnTheParentsKey)
{
    // A visits table related from the patients, the way the visit window uses it.
    ASSERT_TRUE(ws.create("pvisit", {{"VISITNO", 'N', 10, 0}, {"PATCODE", 'N', 10, 0}, {"PATPRES", 'M', 10, 0}}));
    auto v = ws.use("pvisit", {}, {.shared = true});
    ASSERT_TRUE(v);
    WorkArea* pv = *v;
    const int visits[][2] = {{1, 3}, {2, 5}, {3, 3}, {4, 7}};
    for (auto [no, code] : visits) {
        ASSERT_TRUE(pv->append());
        ASSERT_TRUE(pv->setNum("VISITNO", no));
        ASSERT_TRUE(pv->setNum("PATCODE", code));
    }
    pv->unlock();
    ASSERT_TRUE(pv->createIndex("pvisit4", "iif(deleted(), 'T', 'F')+str(patcode)+str(visitno)"));

    ASSERT_TRUE(p->setRelation("pvisit", "Patnt->'F'+str(patcode)"));
    ASSERT_TRUE(p->seek(codeKey(3)));
    EXPECT_TRUE(pv->found());
    EXPECT_EQ(pv->num("VISITNO"), 1);
    pv->setScope(codeKey(3));
    EXPECT_EQ(pv->keyCount(), 2u);
    pv->clearScope();
    p->skip();   // patient 4 has no visit
    EXPECT_TRUE(pv->eof());
    p->skip(3);  // patient 7
    EXPECT_EQ(pv->num("VISITNO"), 4);
    p->clearRelations();
    p->goTop();
    EXPECT_EQ(pv->num("VISITNO"), 4);

    EXPECT_FALSE(p->setRelation("pvisit", "'F'+str(nosuch)"));
    EXPECT_FALSE(p->setRelation("nosuch", "'F'+str(patcode)"));
}

TEST_F(WorkAreaTest, FilterHidesRecordsFromNavigationAndCounts)
{
    p->setFilter([](WorkArea& w) { return static_cast<long>(w.num("PATCODE")) % 2 == 0; }, "patcode % 2 == 0");
    p->setScope("F");
    EXPECT_EQ(p->keyCount(), 10u);
    p->goTop();
    EXPECT_EQ(p->num("PATCODE"), 2);
    EXPECT_FALSE(p->seek(codeKey(3)));
    int n = 0;
    p->eval([&](WorkArea&) { ++n; }, [](WorkArea& w) { return w.num("PATCODE") > 10; });
    EXPECT_EQ(n, 5);
    p->clearFilter();
    EXPECT_EQ(p->keyCount(), 20u);
}

TEST_F(WorkAreaTest, EvalCanDeleteEveryRecordOfAnOrderWithoutMissingAny)
{
    ws.closeAll();
    auto a = ws.use("patnt");
    ASSERT_TRUE(a);
    p = *a;
    ASSERT_TRUE(p->setIndex("patnt1"));
    p->setScope("F");
    int n = 0;
    p->eval([&](WorkArea& w) { ++n; ASSERT_TRUE(w.deleteRecord()); });
    EXPECT_EQ(n, 20);
    EXPECT_EQ(p->keyCount(), 0u);
}

TEST_F(WorkAreaTest, AliasesAndAreaSelection)
{
    EXPECT_EQ(ws.area("PATNT"), p);
    EXPECT_EQ(ws.selectNo("nosuch"), 0);
    auto again = ws.use("patnt", "PATNT", {.shared = true});
    EXPECT_FALSE(again);
    EXPECT_NE(again.code(), ErrorCode::InUse);   // the alias is taken, not the file
    ws.closeArea("patnt");
    EXPECT_EQ(ws.current(), nullptr);
    EXPECT_EQ(ws.area("patnt"), nullptr);
}

TEST_F(WorkAreaTest, ExclusiveOpenFailsAsInUseWhileSharedAreaIsOpen)
{
    auto ex = ws.use("patnt", "x");
    EXPECT_FALSE(ex);
    EXPECT_EQ(ex.code(), ErrorCode::InUse);
    ws.closeAll();
    auto ex2 = ws.use("patnt", "x");
    EXPECT_TRUE(ex2) << ex2.message();
    auto shared = ws.use("patnt", "y", {.shared = true});
    EXPECT_FALSE(shared);
    EXPECT_EQ(shared.code(), ErrorCode::InUse);
    EXPECT_EQ(ws.use("nosuch", "z").code(), ErrorCode::NotFound);
}

TEST_F(WorkAreaTest, StructureQueriesAndFieldTypes)
{
    EXPECT_EQ(p->fieldPos("patfees"), 5);
    EXPECT_EQ(p->fieldPos("nosuch"), 0);
    FieldDef f = p->fieldInfo(5);
    EXPECT_EQ(f.name, "PATFEES");
    EXPECT_EQ(f.type, 'N');
    EXPECT_EQ(f.width, 10);
    EXPECT_EQ(f.decimals, 2);
    p->goTop();
    EXPECT_FALSE(p->logical("ACTIVE"));
    EXPECT_TRUE(p->date("PATDOB").empty());
    EXPECT_EQ(p->num("PATFEES"), 0.0);
}

TEST(WorkspaceFiles, FilesAreFoundWithoutRegardToLetterCase)
{
    TempDir dir;
    makePatients(dir.path(), 3);
    Workspace ws(dir.path());
    EXPECT_TRUE(ws.exists("patnt.DBF"));
    EXPECT_EQ(ws.resolve("patnt.dbf"), dir.file("PATNT.dbf"));
    EXPECT_EQ(ws.resolve("new.dbf"), dir.file("new.dbf"));
    auto a = ws.use("patnt");
    ASSERT_TRUE(a) << a.message();
    EXPECT_EQ((*a)->alias(), "patnt");
    EXPECT_TRUE((*a)->setIndex("patnt2"));
    EXPECT_TRUE((*a)->setIndex("Patnt1.NTX"));
    EXPECT_EQ((*a)->lastRec(), 3u);
}

TEST(WorkspaceFiles, MemosRoundTripAndGrowWithoutLosingOtherMemos)
{
    TempDir dir;
    Workspace ws(dir.path());
    ASSERT_TRUE(ws.create("PVISIT", {{"VISITNO", 'N', 10, 0}, {"PATPRES", 'M', 10, 0}}));
    EXPECT_TRUE(ws.exists("pvisit.dbt"));
    auto a = ws.use("pvisit");
    ASSERT_TRUE(a);
    WorkArea* v = *a;
    ASSERT_TRUE(v->append());
    ASSERT_TRUE(v->setMemo("PATPRES", "first"));
    ASSERT_TRUE(v->append());
    ASSERT_TRUE(v->setMemo("PATPRES", std::string(2000, 'b')));
    v->goTo(1);
    ASSERT_TRUE(v->setMemo("PATPRES", std::string(700, 'a')));   // outgrows its block: moves
    ASSERT_TRUE(v->setMemo("PATPRES", "short"));                  // fits: reuses
    EXPECT_FALSE(v->setMemo("PATPRES", std::string("bad\x1A", 4)));
    ASSERT_TRUE(ws.commitAll());
    ws.closeAll();
    a = ws.use("pvisit", {}, {.readOnly = true});
    ASSERT_TRUE(a);
    v = *a;
    v->goTo(1);
    EXPECT_EQ(v->memo("PATPRES"), "short");
    v->goTo(2);
    EXPECT_EQ(v->memo("PATPRES"), std::string(2000, 'b'));
    EXPECT_FALSE(v->setMemo("PATPRES", "x"));   // read-only
}

TEST(WorkspaceFiles, CopyToAndAppendFromCarryFieldsByName)
{
    TempDir dir;
    makePatients(dir.path(), 6);
    Workspace ws(dir.path());
    auto a = ws.use("patnt");
    ASSERT_TRUE(a);
    WorkArea* p = *a;
    p->goTo(2);
    ASSERT_TRUE(p->deleteRecord());
    ASSERT_TRUE(p->copyTo("visible.dbf"));   // deleted one left out

    // A target with fewer, reordered fields and one of another width.
    ASSERT_TRUE(ws.create("target", {{"PATLNAME", 'C', 8, 0}, {"PATCODE", 'N', 4, 0}}));
    auto t = ws.use("target");
    ASSERT_TRUE(t);
    AppendFromOptions opt;
    opt.copyDeleted = true;
    std::vector<uint32_t> progress;
    opt.progress = [&](uint32_t r) { progress.push_back(r); return true; };
    opt.condition = [](WorkArea& src) { return src.num("PATCODE") != 4; };
    Status st = (*t)->appendFrom("PATNT", opt);
    ASSERT_TRUE(st) << st.message();
    EXPECT_EQ(progress.size(), 6u);
    EXPECT_EQ((*t)->lastRec(), 5u);
    ws.setDeletedVisible(true);
    (*t)->goTo(2);
    EXPECT_TRUE((*t)->deleted());
    EXPECT_EQ((*t)->str("PATLNAME"), "Name2   ");
    EXPECT_EQ((*t)->num("PATCODE"), 2);
    ws.setDeletedVisible(false);

    auto c = ws.use("visible");
    ASSERT_TRUE(c);
    EXPECT_EQ((*c)->lastRec(), 5u);
}

TEST(Expressions, CompileKeysOfTheCatalogueAndRejectUnknownNames)
{
    std::vector<FieldLayout> fields = {{{"PATCODE", 'N', 10, 0}, 1}, {{"PATFNAME", 'C', 5, 0}, 11},
                                       {{"VISITDT", 'D', 8, 0}, 16}, {{"VISITTM", 'C', 8, 0}, 24}};
    std::string rec = std::string(" ") + "        42" + "anna " + "20240105" + "10:00:00";
    std::string key;

    auto e = Expr::compile("iif(deleted(), 'T', 'F')+str(patcode)+upper(PATFNAME)", fields);
    ASSERT_TRUE(e) << e.message();
    EXPECT_TRUE(e->startsWithDeletedFlag());
    EXPECT_EQ(e->keyLength(), 16);
    e->key(rec.data(), key);
    EXPECT_EQ(key, "F        42ANNA ");
    rec[0] = '*';
    e->key(rec.data(), key);
    EXPECT_EQ(key, "T        42ANNA ");

    auto d = Expr::compile("IIF(DELETED(),\"T\",\"F\")+dtos(visitdt)+visittm", fields);
    ASSERT_TRUE(d) << d.message();
    d->key(rec.data(), key);
    EXPECT_EQ(key, "T2024010510:00:00");

    auto s = Expr::compile("str(patcode, 4)", fields);
    ASSERT_TRUE(s);
    s->key(rec.data(), key);
    EXPECT_EQ(key, "  42");

    for (const char* bad : {"iif(deleted(), 'T', 'F')+str(nosuch)", "soundex(patfname)", "'F'+", "str(patfname)",
                            "'unterminated", "upper(patfname", ""}) {
        auto r = Expr::compile(bad, fields);
        EXPECT_FALSE(r) << bad;
        if (*bad) {
            EXPECT_NE(r.message().find(bad), std::string::npos) << r.message();
        }
    }
}

TEST(Expressions, AliasArrowQualifiesTheFollowingTermOnly)
{
    std::vector<FieldLayout> own = {{{"PATCODE", 'N', 10, 0}, 1}};
    FieldResolver r = [&](std::string_view alias, std::string_view name) -> std::optional<FieldLayout> {
        if ((alias.empty() || alias == "other") && (name == "patcode" || name == "PATCODE"))
            return alias.empty() ? own[0] : FieldLayout {{"PATCODE", 'N', 10, 0}, 1};
        return std::nullopt;
    };
    auto e = Expr::compile("Patnt->'F'+str(patcode)", r);
    ASSERT_TRUE(e) << e.message();
    EXPECT_TRUE(e->aliases().empty());
    std::string rec = "         7";
    rec.insert(0, " ");
    std::string key;
    e->key(rec.data(), key);
    EXPECT_EQ(key, "F         7");

    auto o = Expr::compile("'F'+str(other->patcode)", r);
    ASSERT_TRUE(o) << o.message();
    ASSERT_EQ(o->aliases().size(), 1u);
    std::string otherRec = "        99";
    otherRec.insert(0, " ");
    const char* recs[] = {rec.data(), otherRec.data()};
    o->key(std::span<const char* const>(recs, 2), key);
    EXPECT_EQ(key, "F        99");
}

TEST(Dates, CtodAndDtocFollowTheDatePicture)
{
    Workspace ws("/tmp");
    EXPECT_EQ(ws.dtoc(Date {2026, 12, 8}), "12/08/2026");
    EXPECT_EQ(ws.ctod("12/08/2026"), (Date {2026, 12, 8}));
    ws.setDateFormat("dd-MM-yyyy");
    EXPECT_EQ(ws.dtoc(Date {2026, 12, 8}), "08-12-2026");
    EXPECT_EQ(ws.ctod("31-02-2026"), Date {});
    EXPECT_EQ(ws.dtoc(Date {}), "  -  -    ");
}

} // namespace
