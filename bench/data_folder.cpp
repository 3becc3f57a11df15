#include "bench/data_folder.h"

#include "data/catalog.h"

#include <optional>

namespace cn::bench {

using namespace cn::data;

int QuietSetup::message(SetupBox kind, const std::string& text)
{
    if (cleanup_ && (kind == SetupBox::OkCancel || text == "Data Cleanup Complete"))
        return 1;
    fail("set-up: " + text);
}

Setup::Log runSetup(const std::string& folder, bool cleanup)
{
    Workspace ws(folder);
    QuietSetup observer(cleanup);
    Setup setup(ws, observer);
    setup.SETUP_PROCESS(cleanup);
    ws.closeAll();
    return setup.log();
}

namespace {

std::string letters(Rng& rng, int lo, int hi)
{
    std::string s(size_t(rng.range(lo, hi)), ' ');
    for (auto& c : s)
        c = char('a' + rng.next() % 26);
    s[0] = char(s[0] - 'a' + 'A');
    return s;
}

struct Patient {
    long code = 0;
    std::string title, first, last, sex, cell;
    Date dob;
    bool deleted = false;
};

Patient patient(Rng& rng, long code, int deletedEvery)
{
    Patient p;
    p.code = code;
    p.title = code % 2 ? "Mrs." : "Mr.";
    p.first = letters(rng, 4, 12);
    p.last = letters(rng, 4, 14);
    p.sex = code % 2 ? "F" : "M";
    p.dob = {1940 + int(code % 80), 1 + int(code % 12), 1 + int(code % 28)};
    p.cell = std::to_string(9000000000 + code);
    p.deleted = deletedEvery > 0 && code % deletedEvery == 0;
    return p;
}

constexpr const char* kAddress = "12 Park Street";
constexpr const char* kCity = "Kolkata";

} // namespace

void makeFolder(const std::string& folder, const FolderShape& shape, Sql* mirror)
{
    runSetup(folder);
    if (mirror) {
        mirror->exec("CREATE TABLE patnt (deleted INTEGER NOT NULL, patcode INTEGER, pattitle TEXT, patfname TEXT, "
                     "patlname TEXT, patsex TEXT, patdob TEXT, pataddr1 TEXT, patcity TEXT, patcell TEXT)");
        createSqlVisitTable(*mirror, true);
        mirror->exec("CREATE INDEX patnt1 ON patnt(deleted, patcode)");
        mirror->exec("CREATE INDEX patnt2 ON patnt(deleted, patfname, patlname)");
        mirror->exec("BEGIN");
    }
    {
        Workspace ws(folder);
        for (const char* ix : {"patnt1", "patnt2", "pvisit1", "pvisit2", "pvisit3", "pvisit4", "pvisit5"})
            must(ws.erase(catalog::findIndex(ix)->fileName()), "erase index");
        auto opened = ws.use("PATNT.dbf", "patnt");
        if (!opened)
            fail("open PATNT.dbf: " + opened.message());
        WorkArea& a = *opened.value();
        std::optional<Stmt> ins;
        if (mirror)
            ins.emplace(*mirror, "INSERT INTO patnt VALUES (?,?,?,?,?,?,?,?,?,?)");
        Rng rng(17);
        // Set-up added the sample patient as code 1.
        for (long code = 2; code <= shape.patients; ++code) {
            const Patient p = patient(rng, code, shape.patientDeletedEvery);
            must(a.append(), "append patient");
            must(a.setNum("PATCODE", double(p.code)), "PATCODE");
            must(a.setStr("PATTITLE", p.title), "PATTITLE");
            must(a.setStr("PATFNAME", p.first), "PATFNAME");
            must(a.setStr("PATLNAME", p.last), "PATLNAME");
            must(a.setStr("PATSEX", p.sex), "PATSEX");
            must(a.setDate("PATDOB", p.dob), "PATDOB");
            must(a.setStr("PATADDR1", kAddress), "PATADDR1");
            must(a.setStr("PATCITY", kCity), "PATCITY");
            must(a.setStr("PATCELL", p.cell), "PATCELL");
            if (p.deleted)
                must(a.deleteRecord(), "delete patient");
            if (ins) {
                const std::string dob = p.dob.dtos(), address = kAddress, city = kCity;
                int i = 1;
                ins->bind(i++, (long long)(p.deleted ? 1 : 0));
                ins->bind(i++, (long long)p.code);
                for (const std::string* s : {&p.title, &p.first, &p.last, &p.sex, &dob, &address, &city, &p.cell})
                    ins->bind(i++, *s);
                ins->step();
                ins->reset();
            }
        }
        must(ws.commitAll(), "commit patients");
    }
    {
        VisitTable table(folder, false);
        VisitGenerator gen(3, int(shape.patients), 500);
        std::optional<SqlVisitInserter> ins;
        if (mirror)
            ins.emplace(*mirror);
        for (long i = 0; i < shape.visits; ++i) {
            const Visit v = gen.next();
            const bool deleted = shape.visitDeletedEvery > 0 && i % shape.visitDeletedEvery == shape.visitDeletedEvery - 1;
            table.add(v, deleted);
            if (ins)
                ins->insert(v, deleted);
        }
        table.commit();
    }
    if (mirror)
        mirror->exec("COMMIT");
    const Setup::Log built = runSetup(folder);
    if (built.rebuiltIndexes.size() != 7)
        fail("set-up built " + std::to_string(built.rebuiltIndexes.size()) + " indexes, not 7");
}

} // namespace cn::bench
