#include "data/setup.h"

#include "data/cleanup.h"
#include "data/codes.h"
#include "data/dbf_file.h"
#include "data/expr.h"
#include "data/index_check.h"
#include "data/ntx_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace cn::data {

using catalog::IndexDef;
using catalog::TableDef;

namespace {

// SET DELETED OFF for a scope: deleted records visible, restored on exit.
class DeletedVisible {
public:
    explicit DeletedVisible(Workspace& ws) : ws_(ws), was_(ws.deletedVisible()) { ws_.setDeletedVisible(true); }
    ~DeletedVisible() { ws_.setDeletedVisible(was_); }
    DeletedVisible(const DeletedVisible&) = delete;
    DeletedVisible& operator=(const DeletedVisible&) = delete;

private:
    Workspace& ws_;
    bool was_;
};

std::string trimRight(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

bool blank(std::string_view s)
{
    for (char c : s)
        if (c != ' ' && c != '\0')
            return false;
    return true;
}

std::function<bool(const char*)> blankTest(const DbfFile& dbf, const catalog::BlankCheck& check, bool deletedVisible);

constexpr int kObscureLow = 33, kObscureSpan = 94;   // printable characters but the space
constexpr std::string_view kInUse = "it is in use by another program";

std::string whyNotOpened(const Status& s) { return s.is(ErrorCode::InUse) ? std::string(kInUse) : s.message(); }

std::string joined(const std::vector<std::string>& lines, std::string_view between)
{
    std::string out;
    for (const auto& l : lines)
        out += (out.empty() ? "" : std::string(between)) + l;
    return out;
}

} // namespace

std::string statusText(std::string_view verb, std::string_view name, int position, int count)
{
    const long percent = count > 0 ? std::lround(position * 100.0 / count) : 0;
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3ld", percent);
    std::string text = std::string(verb) + " " + std::string(name) + " " + pct + " %";
    constexpr size_t width = 75;
    if (text.size() >= width)
        return text;
    const size_t left = (width - text.size()) / 2;
    return std::string(left, ' ') + text + std::string(width - text.size() - left, ' ');
}

std::string obscurePassword(std::string_view plain)
{
    std::string out(plain);
    for (size_t i = 0; i < out.size(); ++i) {
        const int c = static_cast<unsigned char>(out[i]);
        if (c >= kObscureLow && c < kObscureLow + kObscureSpan)
            out[i] = static_cast<char>(kObscureLow + (c - kObscureLow + 17 + 7 * static_cast<int>(i)) % kObscureSpan);
    }
    return out;
}

std::string revealPassword(std::string_view stored)
{
    std::string out = trimRight(std::string(stored));
    for (size_t i = 0; i < out.size(); ++i) {
        const int c = static_cast<unsigned char>(out[i]);
        if (c >= kObscureLow && c < kObscureLow + kObscureSpan) {
            int v = (c - kObscureLow - 17 - 7 * static_cast<int>(i)) % kObscureSpan;
            if (v < 0)
                v += kObscureSpan;
            out[i] = static_cast<char>(kObscureLow + v);
        }
    }
    return out;
}

std::string openFailureText(const std::string& file, const std::string& why)
{
    return "The table file " + file + " could not be opened and has been left as it is: " + why;
}

Setup::Setup(Workspace& ws, SetupObserver& observer) : ws_(ws), obs_(observer) {}

void Setup::say(std::string_view verb, std::string_view name, int position, int count)
{
    std::string text = statusText(verb, name, position, count);
    log_.statuses.push_back(text);
    obs_.status(text);
}

void Setup::tableStatus(std::string_view verb, int n)
{
    say(verb, catalog::table(n).upperName(), n, catalog::kTableCount);
}

void Setup::indexStatus(std::string_view verb, int n)
{
    say(verb, catalog::index(n).fileName(), n, catalog::kIndexCount);
}

void Setup::report(const std::string& file, const std::string& text) { report(std::vector<std::string>{file}, text); }

void Setup::report(const std::vector<std::string>& files, const std::string& text)
{
    bool fresh = false;
    for (const auto& f : files)
        fresh = reported_.insert(catalog::upper(f)).second || fresh;
    if (!fresh)
        return;
    if (collect_)
        failures_.push_back(text);
    else
        obs_.message(SetupBox::Exclamation, text);
}

std::string Setup::rebuildFailure(const TableDef& def, const RebuildResult& r, bool cleaning)
{
    using Outcome = RebuildResult::Outcome;
    const std::string file = def.fileName();
    const std::string why = r.status.is(ErrorCode::InUse) ? std::string(kInUse) : r.status.message();
    switch (r.outcome) {
    case Outcome::NotStarted:
        return "The table file " + file + (cleaning ? " could not be processed: " : " could not be upgraded: ") + why;
    case Outcome::PutBack:
        return "The table file " + file + " was put back unchanged: " + why;
    case Outcome::Pending:
        return "The rebuilt table file " + file + " could not be put in place; that is done at the next start: " + why;
    case Outcome::Done:
        break;
    }
    return {};
}

// --- the run ----------------------------------------------------------------

void Setup::SETUP_PROCESS(bool cleanup)
{
    obs_.setMenusEnabled(false);
    ws_.closeAll();
    MDBFCHANGE = false;
    reported_.clear();
    unusable_.clear();
    indexSound_.clear();
    blankSeen_.clear();
    tablesOpened_.clear();
    tempMayLinger_ = true;
    log_ = {};
    obs_.setRange(1, 0, catalog::kTableCount);
    obs_.setRange(2, 0, catalog::kIndexCount);
    obs_.setRange(3, 0, 100);

    // Before anything else touches the folder: a rebuild an interrupted run
    // left is finished or discarded.
    recover();

    collect_ = cleanup;
    failures_.clear();
    if (cleanup) {
        if (!CLEANUP()) {
            collect_ = false;
            obs_.message(SetupBox::Stop, "Data Cleanup aborted");
            obs_.release();
            obs_.setMenusEnabled(true);
            CN_OPENDATA();
            return;
        }
    } else {
        structurePass();
    }
    indexPass();
    CHKINITVALS();
    if (cleanup) {
        collect_ = false;
        if (failures_.empty())
            obs_.message(SetupBox::Info, "Data Cleanup Complete");
        else
            obs_.message(SetupBox::Stop, std::string(kCleanupIncomplete) + "\n\n" + joined(failures_, "\n"));
    }
    obs_.release();
    obs_.setMenusEnabled(true);
    ws_.closeAll();
    CN_OPENDATA();
}

void Setup::structurePass()
{
    for (int n = 1; n <= catalog::kTableCount; ++n) {
        tableStatus("Checking", n);
        obs_.setValue(1, n);
        if (auto s = SETCASE(false, n); !s)
            report(catalog::table(n).fileName(), s.message());
    }
}

Status Setup::SETCASE(bool /*flag*/, int n)
{
    using Routine = Status (Setup::*)();
    static constexpr std::array<Routine, catalog::kTableCount> routines = {
        &Setup::SETUP1,  &Setup::SETUP2,  &Setup::SETUP3,  &Setup::SETUP4,  &Setup::SETUP5,
        &Setup::SETUP6,  &Setup::SETUP7,  &Setup::SETUP8,  &Setup::SETUP9,  &Setup::SETUP10,
        &Setup::SETUP11, &Setup::SETUP12, &Setup::SETUP13, &Setup::SETUP14, &Setup::SETUP15,
        &Setup::SETUP16, &Setup::SETUP17, &Setup::SETUP18, &Setup::SETUP19, &Setup::SETUP20,
        &Setup::SETUP21, &Setup::SETUP22,
    };
    if (n < 1 || n > catalog::kTableCount)
        return Status::error("no table number " + std::to_string(n));
    current_ = n;
    return (this->*routines[static_cast<size_t>(n - 1)])();
}

// Each structure routine hands its table's catalogue fields to the check.
#define CN_SETUP_ROUTINE(n) \
    Status Setup::SETUP##n() { current_ = n; return CHK_DBF_STRUCT(catalog::table(n).fields); }
CN_SETUP_ROUTINE(1) CN_SETUP_ROUTINE(2) CN_SETUP_ROUTINE(3) CN_SETUP_ROUTINE(4)
CN_SETUP_ROUTINE(5) CN_SETUP_ROUTINE(6) CN_SETUP_ROUTINE(7) CN_SETUP_ROUTINE(8)
CN_SETUP_ROUTINE(9) CN_SETUP_ROUTINE(10) CN_SETUP_ROUTINE(11) CN_SETUP_ROUTINE(12)
CN_SETUP_ROUTINE(13) CN_SETUP_ROUTINE(14) CN_SETUP_ROUTINE(15) CN_SETUP_ROUTINE(16)
CN_SETUP_ROUTINE(17) CN_SETUP_ROUTINE(18) CN_SETUP_ROUTINE(19) CN_SETUP_ROUTINE(20)
CN_SETUP_ROUTINE(21) CN_SETUP_ROUTINE(22)
#undef CN_SETUP_ROUTINE

Status Setup::createTable(const TableDef& def, const Structure& fields)
{
    tableStatus("Creating", def.number);
    tempMayLinger_ = true;
    if (auto s = createTableFile(ws_, def, fields); !s)
        return s;
    log_.createdTables.insert(def.number);
    return Status::ok();
}

Status Setup::CHK_DBF_STRUCT(const Structure& wanted)
{
    const TableDef& def = catalog::table(current_);
    DeletedVisible visible(ws_);
    if (tempMayLinger_) {
        if (ws_.exists(kTempDbf))
            (void)ws_.erase(kTempDbf);
        if (ws_.exists(kTempDbt))
            (void)ws_.erase(kTempDbt);
        tempMayLinger_ = false;
    }

    // A missing table is created. A table that exists is never written over,
    // even when it cannot be opened.
    if (!ws_.exists(def.fileName()))
        return createTable(def, wanted);

    Structure stored;
    {
        auto area = ws_.use(def.fileName(), "_struct", OpenMode{false, false});
        if (!area) {
            // Held by another copy of the program: it can still be used shared,
            // so it is left as it is. Otherwise it cannot be used at all.
            auto shared = ws_.use(def.fileName(), "_struct", OpenMode{true, true});
            if (shared) {
                ws_.closeArea("_struct");
                return Status::ok();
            }
            unusable_.insert(def.number);
            return area.status().withMessage(openFailureText(def.fileName(), whyNotOpened(area.status())));
        }
        stored = (*area)->structure();
        ws_.closeArea("_struct");
    }

    bool changed = false;
    for (const auto& want : wanted) {
        const FieldDef* have = nullptr;
        for (const auto& f : stored)
            if (catalog::sameName(f.name, want.name))
                have = &f;
        if (!have) {
            changed = true;
            continue;
        }
        if (std::toupper(static_cast<unsigned char>(have->type)) !=
                std::toupper(static_cast<unsigned char>(want.type)) ||
            have->width != want.width || have->decimals != want.decimals) {
            changed = true;
            tableStatus("Checking", def.number);
        }
    }
    ws_.closeAll();
    if (!changed)
        return Status::ok();
    return upgradeTable(def);
}

Status Setup::upgradeTable(const TableDef& def)
{
    tableStatus("Changing", def.number);
    tempMayLinger_ = true;
    MDBFCHANGE = true;
    ws_.closeAll();
    RebuildPlan plan;
    plan.table = &def;
    plan.keepDeleted = true;
    plan.filling = [&](uint32_t count) {
        obs_.setRange(3, 0, static_cast<int>(count));
        obs_.setValue(3, 0);
    };
    plan.progress = [&](uint32_t recNo) {
        obs_.setValue(3, static_cast<int>(recNo));
        return true;
    };
    plan.checkpoint = checkpoint;
    const auto r = rebuildTable(ws_, plan);
    ws_.closeAll();
    if (r.outcome == RebuildResult::Outcome::Pending)
        unusable_.insert(def.number);
    if (r.outcome != RebuildResult::Outcome::Done)
        return r.status.withMessage(rebuildFailure(def, r, false));
    log_.upgradedTables.insert(def.number);
    return Status::ok();
}

// --- the index pass ---------------------------------------------------------

void Setup::indexPass()
{
    // What fails here (a full disk fails every build) is told in one message
    // at the end of the pass, or in a clean-up's closing message.
    const bool gathering = collect_;
    const size_t firstFailure = failures_.size();
    collect_ = true;
    indexes();
    collect_ = gathering;
    if (!gathering && failures_.size() > firstFailure) {
        const std::vector<std::string> lines(failures_.begin() + static_cast<std::ptrdiff_t>(firstFailure),
                                             failures_.end());
        failures_.resize(firstFailure);
        obs_.message(SetupBox::Exclamation, joined(lines, "\n"));
    }
}

void Setup::indexes()
{
    bool stopped = false;
    std::vector<int> held;   // indexes not built because another program uses their table
    for (int n = 1; n <= catalog::kIndexCount; ++n) {
        const IndexDef& ix = catalog::index(n);
        const TableDef& def = catalog::table(ix.table);
        if (!stopped && obs_.escapePressed())
            stopped = true;
        if (unusable_.count(def.number) || !ws_.exists(def.fileName()))
            continue;
        // A table rebuilt in this run has lost its index files; it cannot be
        // used without them, so they are built even after Escape.
        const bool essential = !ws_.exists(ix.fileName()) || log_.createdTables.count(def.number);
        if (stopped && !essential)
            continue;

        indexStatus("Checking", n);
        obs_.setValue(2, n);
        bool rebuild = false;
        if (essential || MDBFCHANGE) {
            indexStatus("Creating", n);
            rebuild = true;
        } else {
            rebuild = indexNeedsRebuild(ix);
            if (rebuild)
                indexStatus("Reindexing", n);
        }
        if (rebuild) {
            if (auto s = buildIndex(ix); s)
                log_.rebuiltIndexes.insert(n);
            else if (s.is(ErrorCode::InUse))
                held.push_back(n);
        }
    }
    // Another program may have let go of a table by now: those indexes once
    // more, and the ones still held are named for the next start.
    std::map<int, std::vector<std::string>> stillHeld;
    for (int n : held) {
        indexStatus("Creating", n);
        obs_.setValue(2, n);
        if (auto s = buildIndex(catalog::index(n)); s)
            log_.rebuiltIndexes.insert(n);
        else if (s.is(ErrorCode::InUse))
            stillHeld[catalog::index(n).table].push_back(catalog::index(n).fileName());
    }
    for (const auto& [table, files] : stillHeld)
        report(files, (files.size() == 1 ? "The index file " : "The index files ") + joined(files, ", ") + " of " +
                          catalog::table(table).fileName() + " could not be built now, as " + std::string(kInUse) +
                          "; " + (files.size() == 1 ? "it is" : "they are") + " built at the next start.");
}

// Whether an index holds exactly one key per record of the table, each equal
// to the key computed from its record: what a crash or another program
// writing the table without the index would break. All indexes of a table are
// checked in one pass over it, the first time one of them is asked for.
bool Setup::indexSound(const IndexDef& ix)
{
    if (auto it = indexSound_.find(ix.number); it != indexSound_.end())
        return it->second;
    const TableDef& def = catalog::table(ix.table);
    std::vector<IndexToCheck> files;
    std::vector<int> numbers;
    for (int n : def.indexes) {
        const IndexDef& other = catalog::index(n);
        if (!ws_.exists(other.fileName()))
            continue;
        files.push_back({ws_.resolve(other.fileName()), other.key});
        numbers.push_back(n);
    }
    // The table's blank check, if it has one, is answered by the same read.
    const std::string table = ws_.resolve(def.fileName());
    RecordSearch blanks;
    for (const auto& step : catalog::openSteps())
        if (step.check && catalog::sameName(step.table, def.name))
            if (auto dbf = DbfFile::open(table, false); dbf)
                blanks.test = blankTest(**dbf, *step.check, ws_.deletedVisible());
    const std::vector<Status> verdicts = checkIndexes(table, files, blanks.test ? &blanks : nullptr);
    if (blanks.done)
        blankSeen_[def.number] = {blanks.found, blanks.records};
    for (size_t i = 0; i < numbers.size(); ++i)
        indexSound_[numbers[i]] = verdicts[i].isOk();
    auto it = indexSound_.find(ix.number);
    return it != indexSound_.end() && it->second;
}

bool Setup::indexNeedsRebuild(const IndexDef& ix)
{
    const TableDef& def = catalog::table(ix.table);
    // The table opens: asked once a pass, its other indexes would ask the same.
    if (!tablesOpened_.count(def.number)) {
        auto area = ws_.use(def.fileName(), "_check", OpenMode{true, true});
        if (!area) {
            unusable_.insert(def.number);
            report(def.fileName(), openFailureText(def.fileName(), whyNotOpened(area.status())));
            return false;
        }
        ws_.closeArea("_check");
        tablesOpened_.insert(def.number);
    }
    // An index file that cannot be read, one built from another key and one
    // that does not fit its table are all found by the check against it.
    return !indexSound(ix);
}

Status Setup::buildIndex(const IndexDef& ix)
{
    const TableDef& def = catalog::table(ix.table);
    ws_.closeAll();
    auto area = ws_.use(def.fileName(), "_index", OpenMode{false, false});
    if (!area) {
        if (area.code() != ErrorCode::InUse) {
            unusable_.insert(def.number);
            report(def.fileName(), openFailureText(def.fileName(), area.message()));
        }
        return area.status();   // in use by another program: the caller tries again
    }
    if (ws_.exists(ix.fileName()))
        (void)ws_.erase(ix.fileName());
    // A build that fails (a full disk) leaves no index file behind.
    Status s = (*area)->createIndex(ix.fileName(), ix.key, false);
    ws_.closeArea("_index");
    if (!s)
        report(ix.fileName(), "The index file " + ix.fileName() + " could not be built: " + s.message());
    return s;
}

// --- the initial rows ---------------------------------------------------------

namespace {

// Opens a table shared with all its orders for the initial rows.
Result<WorkArea*> openWithOrders(Workspace& ws, const TableDef& def, const char* alias)
{
    auto area = ws.use(def.fileName(), alias, OpenMode{true, false});
    if (!area)
        return area;
    for (int n : def.indexes)
        (void)(*area)->setIndex(catalog::index(n).fileName());
    if (!def.indexes.empty())
        (void)(*area)->setOrder(1);
    return *area;
}

} // namespace

void Setup::CHKINITVALS()
{
    ws_.closeAll();
    auto fail = [&](const TableDef& def, const Status& s) {
        if (!s)
            report(def.fileName(), "The initial rows of " + def.fileName() + " could not be added: " + s.message());
        return !s;
    };
    auto withTable = [&](const char* name, auto&& body) {
        const TableDef& def = *catalog::findTable(name);
        if (unusable_.count(def.number))
            return;
        auto opened = openWithOrders(ws_, def, name);
        if (!opened) {
            report(def.fileName(), openFailureText(def.fileName(), whyNotOpened(opened.status())));
            return;
        }
        WorkArea* a = *opened;
        const uint32_t before = a->lastRec();
        body(def, *a);
        a->unlock();
        // Written to disk only when a row was added: a commit syncs the table
        // and its indexes, which costs a start-up with nothing to add dearly.
        if (a->lastRec() != before)
            (void)a->commit();
        ws_.closeArea(name);
    };

    withTable("oprtr", [&](const TableDef& def, WorkArea& a) {
        if (a.locate([](WorkArea& r) { return r.num("OPNUM") == 1; }))
            return;
        if (fail(def, a.append()))
            return;
        (void)(fail(def, a.setStr("OPNAME", "Supervisor")) || fail(def, a.setNum("OPNUM", 1)) ||
               fail(def, a.setStr("OPINIT", "Super")) ||
               fail(def, a.setStr("OPPWD", obscurePassword(kDefaultSupervisorPassword))) ||
               fail(def, a.setNum("OPCODE", 1)) || fail(def, a.setDate("OPDT", obs_.today())) ||
               fail(def, a.setNum("OPTM", static_cast<double>(obs_.secondsSinceMidnight()))));
    });

    withTable("opts", [&](const TableDef& def, WorkArea& a) {
        a.goTop();
        if (!a.eof())
            return;
        if (fail(def, a.append()))
            return;
        (void)(fail(def, a.setStr("CURRSYM", "Rs.")) || fail(def, a.setStr("CURRTXT", "Rupees")) ||
               fail(def, a.setStr("CURRTXT2", "paisa")) || fail(def, a.setNum("NUMFORM", 2)) ||
               fail(def, a.setNum("DATEFORM", 2)));
    });

    withTable("chamber", [&](const TableDef& def, WorkArea& a) {
        for (const char* name : {"Home Visit", "Telephone Consultation"}) {
            const std::string want = name;
            if (a.locate([&](WorkArea& r) { return prefixEquals(r.str("CHNAME"), want); }))
                continue;
            const long long code = nextCode(a, 1, "CHCODE");
            if (fail(def, a.append()))
                return;
            (void)(fail(def, a.setNum("CHCODE", static_cast<double>(code))) || fail(def, a.setStr("CHNAME", want)));
            a.unlock();
        }
    });

    withTable("patnt", [&](const TableDef& def, WorkArea& a) {
        if (a.locate([](WorkArea& r) {
                return prefixEquals(r.str("PATTITLE"), "Mr.") && prefixEquals(r.str("PATFNAME"), "Patient") &&
                       prefixEquals(r.str("PATLNAME"), "Dazezoz");
            }))
            return;
        const long long code = nextCode(a, 1, "PATCODE");
        if (fail(def, a.append()))
            return;
        (void)(fail(def, a.setNum("PATCODE", static_cast<double>(code))) || fail(def, a.setStr("PATTITLE", "Mr.")) ||
               fail(def, a.setStr("PATFNAME", "Patient")) || fail(def, a.setStr("PATLNAME", "Dazezoz")) ||
               fail(def, a.setStr("PATSEX", "M")) || fail(def, a.setDate("PATDOB", ws_.ctod("11/09/1988"))) ||
               fail(def, a.setStr("PATRACE", "Tamil Christian Veg M/Class")) ||
               fail(def, a.setStr("PATCELL", "9876543210")));
    });

    withTable("dict", [&](const TableDef& def, WorkArea& a) {
        for (const char* phrase : {"Macahit (500mg) daily after lunch", "Neck Exercise",
                                   "Post Menopausal Osteoporesis", "Hb, TC, DC, ESR", "T3, T4, TSH", "Headache",
                                   "headache"}) {
            const std::string want = phrase;
            if (a.locate([&](WorkArea& r) { return prefixEquals(r.str("DICTNAME"), want); }))
                continue;
            const long long code = nextCode(a, 1, "DICTCODE");
            if (fail(def, a.append()))
                return;
            (void)(fail(def, a.setNum("DICTCODE", static_cast<double>(code))) ||
                   fail(def, a.setStr("DICTNAME", want)));
            a.unlock();
        }
    });
    ws_.closeAll();
}

// --- opening ------------------------------------------------------------------

namespace {

// Zero as a code: blank, or a number that reads as 0.
bool zeroCode(std::string_view text)
{
    bool simple = true, nonZeroDigit = false;
    for (char c : text) {
        if (c >= '1' && c <= '9')
            nonZeroDigit = true;
        else if (c != ' ' && c != '0')
            simple = false;
    }
    return simple ? !nonZeroDigit : decodeNumeric(text) == 0;
}

// The blank check on a record's bytes: a visible record with a blank name or
// a zero code (or parent code). None when the table lacks one of the fields.
std::function<bool(const char*)> blankTest(const DbfFile& dbf, const catalog::BlankCheck& check, bool deletedVisible)
{
    const int name = dbf.fieldIndex(check.nameField), code = dbf.fieldIndex(check.codeField);
    const int parent = check.parentField.empty() ? -1 : dbf.fieldIndex(check.parentField);
    if (name < 0 || code < 0 || (!check.parentField.empty() && parent < 0))
        return {};
    auto field = [&dbf](int i) {
        const FieldLayout& f = dbf.fields()[static_cast<size_t>(i)];
        return std::pair<uint32_t, size_t>(f.offset, static_cast<size_t>(f.def.width));
    };
    return [name = field(name), code = field(code), parent = parent >= 0 ? field(parent) : std::pair<uint32_t, size_t>(),
            hasParent = parent >= 0, deletedVisible](const char* rec) {
        auto bytes = [rec](std::pair<uint32_t, size_t> f) { return std::string_view(rec + f.first, f.second); };
        if (rec[0] == kRecordDeleted && !deletedVisible)
            return false;
        return blank(bytes(name)) || zeroCode(bytes(code)) || (hasParent && zeroCode(bytes(parent)));
    };
}

// Whether the table has a record the blank check finds. Only whether there is
// one matters, so the table file is read in record order, a block at a time,
// rather than through the order with a descent and a lock per record.
bool faultyRecord(WorkArea& area, const catalog::BlankCheck& check, bool deletedVisible)
{
    auto viaArea = [&] {
        return area.locate([&check](WorkArea& r) {
            return blank(r.str(check.nameField)) || r.num(check.codeField) == 0 ||
                   (!check.parentField.empty() && r.num(check.parentField) == 0);
        });
    };
    auto opened = DbfFile::open(area.path(), false);
    if (!opened)
        return viaArea();
    const DbfFile& dbf = **opened;
    const auto test = blankTest(dbf, check, deletedVisible);
    if (!test)
        return viaArea();
    const uint32_t length = dbf.recordLength();
    const uint32_t chunk = std::max<uint32_t>(1, (256u * 1024) / length);
    std::string buf(static_cast<size_t>(chunk) * length, '\0');
    for (uint32_t first = 1; first <= dbf.recordCount(); first += chunk) {
        const uint32_t n = std::min(chunk, dbf.recordCount() - first + 1);
        if (!dbf.readMany(first, n, buf.data()))
            return viaArea();
        for (uint32_t i = 0; i < n; ++i)
            if (test(buf.data() + static_cast<size_t>(i) * length))
                return true;
    }
    return false;
}

} // namespace

void Setup::CN_OPENDATA()
{
    for (const auto& step : catalog::openSteps()) {
        const TableDef& def = *catalog::findTable(step.table);
        if (unusable_.count(def.number))
            continue;
        auto area = ws_.use(def.fileName(), step.alias, OpenMode{true, false});
        if (!area) {
            report(def.fileName(), openFailureText(def.fileName(), whyNotOpened(area.status())));
            continue;
        }
        WorkArea& a = **area;
        for (int n : step.orders) {
            const IndexDef& ix = catalog::index(n);
            if (auto s = a.setIndex(ix.fileName()); !s)
                report(ix.fileName(), "The index file " + ix.fileName() + " could not be used: " + s.message());
        }
        if (a.orderCount() > 0)
            (void)a.setOrder(1);
        if (const auto* check = step.check) {
            // Answered by the index check's read of the table when nothing
            // was added to it since.
            const auto seen = blankSeen_.find(def.number);
            const bool faulty = seen != blankSeen_.end() && seen->second.second == a.lastRec()
                                    ? seen->second.first
                                    : faultyRecord(a, *check, ws_.deletedVisible());
            if (faulty)
                obs_.message(SetupBox::Info, check->message);
        }
        a.goTop();
    }
    ws_.select("dict");
}

} // namespace cn::data
