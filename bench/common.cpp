#include "bench/common.h"

#include "data/catalog.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace cn::bench {

using cn::data::Date;
using cn::data::FieldDef;

void fail(const std::string& what)
{
    std::fprintf(stderr, "curanote-bench: %s\n", what.c_str());
    std::exit(1);
}

void must(const cn::data::Status& s, const char* what)
{
    if (!s)
        fail(std::string(what) + ": " + s.message());
}

namespace {

const char* const kWords[] = {
    "tab", "cap", "syrup", "once", "twice", "daily", "after", "before", "meals", "night",
    "morning", "water", "rest", "days", "weeks", "review", "fever", "cough", "cold", "pain",
    "headache", "nausea", "vomiting", "diarrhoea", "rash", "itching", "infection", "throat",
    "chest", "abdomen", "back", "knee", "joint", "swelling", "blood", "sugar", "pressure",
    "test", "urine", "stool", "xray", "scan", "report", "normal", "mild", "moderate", "severe",
    "amoxicillin", "azithromycin", "paracetamol", "ibuprofen", "cetirizine", "omeprazole",
    "pantoprazole", "metformin", "amlodipine", "atenolol", "salbutamol", "nebulisation",
    "vitamin", "calcium", "iron", "zinc", "ointment", "drops", "eye", "ear", "nose", "gargle",
    "steam", "inhalation", "diet", "avoid", "oily", "spicy", "food", "fluids", "plenty",
    "continue", "stop", "reduce", "increase", "dose", "half", "one", "two", "three", "ml",
    "mg", "sos", "if", "needed", "for", "with", "and", "the", "of", "in", "to", "on",
    "follow", "up", "after", "week", "month", "visit", "again", "call", "emergency",
};
constexpr int kWordCount = int(sizeof kWords / sizeof kWords[0]);

const char* const kRaces[] = {"Service", "Business", "Farming", "Student", "Retired", "Household"};
const char* const kNotes[] = {"", "", "Paid in cash", "Referred by Dr. Rao", "Follow-up advised", "Report awaited"};

} // namespace

std::string memoText(Rng& rng, int n)
{
    std::string out;
    out.reserve(size_t(n) + 16);
    while (int(out.size()) < n) {
        std::string w = kWords[rng.next() % kWordCount];
        switch (rng.next() % 4) {
        case 0: w[0] = char(std::toupper(static_cast<unsigned char>(w[0]))); break;
        case 1: for (auto& c : w) c = char(std::toupper(static_cast<unsigned char>(c))); break;
        default: break;
        }
        if (!out.empty())
            out += (rng.next() % 12 == 0) ? "\r\n" : " ";
        out += w;
    }
    out.resize(size_t(n));
    return out;
}

VisitGenerator::VisitGenerator(uint64_t seed, int patients, int memoBytes)
    : rng_(seed), memoBytes_(memoBytes), perPatient_(size_t(patients) + 1, 0)
{
}

Visit VisitGenerator::next()
{
    Visit v;
    v.visitno = ++visitno_;
    v.patcode = rng_.range(1, int(perPatient_.size()) - 1);
    v.pvno = ++perPatient_[size_t(v.patcode)];
    v.chcode = rng_.range(1, 5);
    v.visitdt = Date{rng_.range(2000, 2026), rng_.range(1, 12), rng_.range(1, 28)};
    char tm[16];
    std::snprintf(tm, sizeof tm, "%02d:%02d:%02d", rng_.range(8, 20), rng_.range(0, 59), rng_.range(0, 59));
    v.visittm = tm;
    v.visittype = v.pvno == 1 ? 1 : 2;
    v.patsex = rng_.next() % 2 ? "F" : "M";
    v.patrace = kRaces[rng_.next() % 6];
    v.patyrs = rng_.range(0, 95);
    v.patmnths = rng_.range(0, 11);
    v.patdays = rng_.range(0, 30);
    v.pathtft = rng_.range(2, 6);
    v.pathtin = rng_.range(0, 11);
    v.patwtlbs = rng_.range(10, 250);
    v.patsys = rng_.range(90, 180);
    v.patdias = rng_.range(60, 110);
    v.patpulse = rng_.range(55, 120);
    v.pattemp = rng_.range(960, 1040) / 10.0;
    v.patnote = kNotes[rng_.next() % 6];
    v.patfees = rng_.range(100, 200000) / 100.0;
    v.pvstatus = rng_.range(1, 4);
    v.lnextvisit = rng_.next() % 3 == 0;
    if (v.lnextvisit)
        v.nextvisit = Date{rng_.range(2000, 2027), rng_.range(1, 12), rng_.range(1, 28)};
    if (memoBytes_ > 0)
        v.patpres = memoText(rng_, memoBytes_);
    return v;
}

// The visit table as the program defines it, so the benchmark measures the
// real record and key layout.
const cn::data::Structure& visitStructure()
{
    return cn::data::catalog::findTable("pvisit")->fields;
}

const std::vector<std::string>& visitKeys()
{
    static const std::vector<std::string> k = [] {
        std::vector<std::string> out;
        for (int i : cn::data::catalog::findTable("pvisit")->indexes)
            out.push_back(cn::data::catalog::index(i).key);
        return out;
    }();
    return k;
}

const std::vector<std::string>& visitSqlIndexes()
{
    static const std::vector<std::string> k = {
        "deleted, visitno",
        "deleted, patcode, visitno",
        "deleted, visitdt, visittm",
        "deleted, patcode, pvno",
        "deleted, nextvisit",
    };
    return k;
}

// --- SQLite ------------------------------------------------------------------

Sql::Sql(const std::string& path)
{
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK)
        fail("sqlite open " + path + ": " + sqlite3_errmsg(db_));
}

Sql::~Sql()
{
    sqlite3_close_v2(db_);
}

void Sql::exec(const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string m = err ? err : "?";
        sqlite3_free(err);
        fail("sqlite: " + sql + ": " + m);
    }
}

sqlite3_stmt* Sql::prepare(const std::string& sql)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &s, nullptr) != SQLITE_OK)
        fail("sqlite prepare: " + sql + ": " + sqlite3_errmsg(db_));
    return s;
}

bool Stmt::step()
{
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(std::string("sqlite step: ") + sqlite3_errmsg(sqlite3_db_handle(s_)));
}

void createSqlVisitTable(Sql& sql, bool withIndexes)
{
    sql.exec("CREATE TABLE pvisit (deleted INTEGER NOT NULL, visitno INTEGER, pvno INTEGER, "
             "chcode INTEGER, visitdt TEXT, visittm TEXT, visittype INTEGER, patcode INTEGER, "
             "patsex TEXT, patrace TEXT, patyrs INTEGER, patmnths INTEGER, patdays INTEGER, "
             "pathtft INTEGER, pathtin INTEGER, patwtlbs INTEGER, patsys INTEGER, patdias INTEGER, "
             "patpulse INTEGER, pattemp REAL, patpres TEXT, patnote TEXT, patfees REAL, "
             "pvstatus INTEGER, patnote1 TEXT, lnextvisit INTEGER, nextvisit TEXT)");
    if (withIndexes)
        createSqlVisitIndexes(sql);
}

void createSqlVisitIndexes(Sql& sql)
{
    int n = 1;
    for (const auto& cols : visitSqlIndexes())
        sql.exec("CREATE INDEX pvisit" + std::to_string(n++) + " ON pvisit(" + cols + ")");
}

SqlVisitInserter::SqlVisitInserter(Sql& sql)
    : stmt_(sql, "INSERT INTO pvisit VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
{
}

void SqlVisitInserter::insert(const Visit& v, bool deleted)
{
    // Text columns hold what the table file holds, so both sides store the
    // same bytes: dates as YYYYMMDD (blank when empty).
    const std::string dt = v.visitdt.dtos(), next = v.nextvisit.dtos();
    int i = 1;
    stmt_.bind(i++, (long long)(deleted ? 1 : 0));
    stmt_.bind(i++, (long long)v.visitno);
    stmt_.bind(i++, (long long)v.pvno);
    stmt_.bind(i++, (long long)v.chcode);
    stmt_.bind(i++, dt);
    stmt_.bind(i++, v.visittm);
    stmt_.bind(i++, (long long)v.visittype);
    stmt_.bind(i++, (long long)v.patcode);
    stmt_.bind(i++, v.patsex);
    stmt_.bind(i++, v.patrace);
    for (int x : {v.patyrs, v.patmnths, v.patdays, v.pathtft, v.pathtin, v.patwtlbs, v.patsys, v.patdias, v.patpulse})
        stmt_.bind(i++, (long long)x);
    stmt_.bind(i++, v.pattemp);
    stmt_.bind(i++, v.patpres);
    stmt_.bind(i++, v.patnote);
    stmt_.bind(i++, v.patfees);
    stmt_.bind(i++, (long long)v.pvstatus);
    i++;                                   // patnote1: NULL, as the engine leaves the memo empty
    stmt_.bind(i++, (long long)(v.lnextvisit ? 1 : 0));
    stmt_.bind(i++, next);
    stmt_.step();
    stmt_.reset();
}

// --- the engine ---------------------------------------------------------------

VisitTable::VisitTable(const std::string& folder, bool create) : ws_(folder)
{
    if (create)
        must(ws_.create("PVISIT.dbf", visitStructure()), "create PVISIT.dbf");
    auto r = ws_.use("PVISIT.dbf", "pvisit", cn::data::OpenMode{false, false});
    if (!r)
        fail("open PVISIT.dbf: " + r.message());
    area_ = r.value();
}

void VisitTable::createIndexes()
{
    int n = 1;
    for (const auto& key : visitKeys())
        must(area_->createIndex(ws_.resolve("PVISIT" + std::to_string(n++) + ".ntx"), key), "create index");
    must(area_->setOrder(0), "set order 0");
}

void VisitTable::attachIndexes()
{
    for (size_t n = 1; n <= visitKeys().size(); ++n)
        must(area_->setIndex(ws_.resolve("PVISIT" + std::to_string(n) + ".ntx")), "attach index");
}

std::string VisitTable::tablePath() const
{
    return area_->path();
}

std::vector<std::string> VisitTable::indexPaths() const
{
    std::vector<std::string> out;
    for (size_t n = 1; n <= visitKeys().size(); ++n)
        out.push_back(ws_.resolve("PVISIT" + std::to_string(n) + ".ntx"));
    return out;
}

void VisitTable::add(const Visit& v, bool deleted)
{
    auto& a = *area_;
    must(a.append(), "append");
    must(a.setNum("VISITNO", double(v.visitno)), "VISITNO");
    must(a.setNum("PVNO", double(v.pvno)), "PVNO");
    must(a.setNum("CHCODE", double(v.chcode)), "CHCODE");
    must(a.setDate("VISITDT", v.visitdt), "VISITDT");
    must(a.setStr("VISITTM", v.visittm), "VISITTM");
    must(a.setNum("VISITTYPE", v.visittype), "VISITTYPE");
    must(a.setNum("PATCODE", double(v.patcode)), "PATCODE");
    must(a.setStr("PATSEX", v.patsex), "PATSEX");
    must(a.setStr("PATRACE", v.patrace), "PATRACE");
    must(a.setNum("PATYRS", v.patyrs), "PATYRS");
    must(a.setNum("PATMNTHS", v.patmnths), "PATMNTHS");
    must(a.setNum("PATDAYS", v.patdays), "PATDAYS");
    must(a.setNum("PATHTFT", v.pathtft), "PATHTFT");
    must(a.setNum("PATHTIN", v.pathtin), "PATHTIN");
    must(a.setNum("PATWTLBS", v.patwtlbs), "PATWTLBS");
    must(a.setNum("PATSYS", v.patsys), "PATSYS");
    must(a.setNum("PATDIAS", v.patdias), "PATDIAS");
    must(a.setNum("PATPULSE", v.patpulse), "PATPULSE");
    must(a.setNum("PATTEMP", v.pattemp), "PATTEMP");
    if (!v.patpres.empty())
        must(a.setMemo("PATPRES", v.patpres), "PATPRES");
    must(a.setStr("PATNOTE", v.patnote), "PATNOTE");
    must(a.setNum("PATFEES", v.patfees), "PATFEES");
    must(a.setNum("PVSTATUS", v.pvstatus), "PVSTATUS");
    must(a.setLogical("LNEXTVISIT", v.lnextvisit), "LNEXTVISIT");
    must(a.setDate("NEXTVISIT", v.nextvisit), "NEXTVISIT");
    if (deleted)
        must(a.deleteRecord(), "delete");
}

void VisitTable::commit()
{
    must(ws_.commitAll(), "commit");
}

void addVisitsToBoth(VisitTable& table, SqlVisitInserter& ins, VisitGenerator& gen, long n, long deletedEvery)
{
    for (long i = 0; i < n; ++i) {
        const Visit v = gen.next();
        const bool deleted = i % deletedEvery == deletedEvery - 1;
        table.add(v, deleted);
        ins.insert(v, deleted);
    }
}

} // namespace cn::bench
