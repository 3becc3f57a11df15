#include "data/cleanup.h"

#include "data/os_file.h"
#include "data/restore_staging.h"
#include "data/setup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace cn::data {

namespace {

using catalog::TableDef;

// Makes renames and erasures in the folder durable before the next step
// relies on them.
void syncFolder(const Workspace& ws)
{
    const int fd = ::open(ws.folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

Status eraseIfExists(Workspace& ws, std::string_view name)
{
    return ws.exists(name) ? ws.erase(name) : Status::ok();
}

Status eraseIndexFiles(Workspace& ws, const TableDef& def)
{
    for (int n : def.indexes)
        if (auto s = eraseIfExists(ws, catalog::index(n).fileName()); !s)
            return s;
    return Status::ok();
}

// --- the journal ------------------------------------------------------------

constexpr uint64_t kJournalLock = 0;   // the byte of packtemp.job locked by its holder

// packtemp.job, held locked by the process whose rebuild or recovery it guards.
class JobFile {
public:
    // Takes the journal, creating it empty when there is none; InUse while
    // another copy of the program holds it.
    static Result<JobFile> take(Workspace& ws)
    {
        const std::string path = ws.resolve(kPackTempJob);
        for (int attempt = 0; attempt < 3; ++attempt) {
            auto f = OsFile::openOrCreate(path);
            if (!f)
                return f.status();
            if (!f->tryLock(kJournalLock, 1, true))
                return Status::error(ErrorCode::InUse, "another copy of the program is rebuilding a table in " +
                                                           ws.folder());
            // Its last holder may have erased it between our open and our lock.
            struct stat held {}, named {};
            if (::fstat(f->fd(), &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
                held.st_dev == named.st_dev)
                return JobFile(ws, std::move(*f));
        }
        return Status::error(ErrorCode::InUse, "another copy of the program is rebuilding a table in " + ws.folder());
    }

    std::string text() const
    {
        auto size = file_.size();
        std::string t(size ? static_cast<size_t>(*size) : 0, '\0');
        if (!t.empty() && !file_.readAt(0, t.data(), t.size()))
            t.clear();
        return t;
    }
    Status write(const std::string& text)
    {
        if (auto s = file_.truncate(0); !s)
            return s;
        if (auto s = file_.writeAt(0, text.data(), text.size()); !s)
            return s;
        if (auto s = file_.sync(); !s)
            return s;
        syncFolder(*ws_);
        return Status::ok();
    }
    // A torn append leaves no complete line, which reads as not written.
    Status append(const std::string& line)
    {
        auto size = file_.size();
        if (!size)
            return size.status();
        if (auto s = file_.writeAt(*size, line.data(), line.size()); !s)
            return s;
        return file_.sync();
    }
    // Erases the journal and lets go of it.
    void erase()
    {
        (void)ws_->erase(kPackTempJob);
        file_.close();
        syncFolder(*ws_);
    }
    // Lets go of it and leaves it for the next start.
    void release() { file_.close(); }

private:
    JobFile(Workspace& ws, OsFile f) : ws_(&ws), file_(std::move(f)) {}
    Workspace* ws_;
    OsFile file_;
};

struct Journal {
    int version = 1;       // 1: written by an older program, packtemp is the original
    std::string table;     // upper-case base name
    bool memo = false;     // 1: the original had a memo file; 2: the new table has one
    bool filled = false;   // 2: the new table is complete and on disk
    bool done = false;     // 1: the new table is complete; 2: it is in place
};

std::optional<Journal> parseJournal(const std::string& text)
{
    Journal j;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (lines.eof() && !text.empty() && text.back() != '\n')
            break;   // an incomplete last line was never written in full
        if (line.rfind("VERSION=", 0) == 0)
            j.version = std::atoi(line.c_str() + 8);
        else if (line.rfind("TABLE=", 0) == 0)
            j.table = line.substr(6);
        else if (line.rfind("MEMO=", 0) == 0)
            j.memo = line.substr(5) == "1";
        else if (line == "STATE=FILLED")
            j.filled = true;
        else if (line == "STATE=DONE")
            j.done = true;
    }
    if (!catalog::findTable(j.table))
        return std::nullopt;
    return j;
}

// --- rebuilding ---------------------------------------------------------------

// Puts a complete packtemp in place of the table; each rename replaces the
// old file under its name in one step.
Status putInPlace(Workspace& ws, const TableDef& def, bool newHasMemo, const std::function<void(std::string_view)>& hit)
{
    if (ws.exists(kPackTempDbt)) {
        if (auto s = ws.rename(kPackTempDbt, def.memoFileName()); !s)
            return s;
        hit("memo-moved");
    }
    if (ws.exists(kPackTempDbf)) {
        if (auto s = ws.rename(kPackTempDbf, def.fileName()); !s)
            return s;
        hit("table-moved");
    }
    if (!newHasMemo)
        if (auto s = eraseIfExists(ws, def.memoFileName()); !s)   // the old table's, now of no table
            return s;
    syncFolder(ws);
    // They describe the table that was replaced; the index pass builds them anew.
    if (auto s = eraseIndexFiles(ws, def); !s)
        return s;
    hit("indexes-erased");
    return Status::ok();
}

} // namespace

bool rebuildRunningElsewhere(const Workspace& ws)
{
    if (!ws.exists(kPackTempJob))
        return false;
    auto f = OsFile::open(ws.resolve(kPackTempJob), false);
    return f && !f->tryLock(kJournalLock, 1, false);
}

Structure keptStructure(const TableDef& def, const Structure& stored)
{
    Structure s = def.fields;
    for (const auto& f : stored)
        if (!def.field(f.name))
            s.push_back(f);
    return s;
}

Status createTableFile(Workspace& ws, const TableDef& def, const Structure& fields)
{
    if (auto s = eraseIfExists(ws, kTempDbf); !s)
        return s;
    if (auto s = eraseIfExists(ws, kTempDbt); !s)
        return s;
    if (auto s = ws.create(kTempDbf, fields); !s)
        return s;
    // The memo file first: a table file never appears without its memo file.
    if (ws.exists(kTempDbt))
        if (auto s = ws.rename(kTempDbt, def.memoFileName()); !s)
            return s;
    if (auto s = ws.rename(kTempDbf, def.fileName()); !s)
        return s;
    syncFolder(ws);
    return Status::ok();
}

RebuildResult rebuildTable(Workspace& ws, const RebuildPlan& plan)
{
    using Outcome = RebuildResult::Outcome;
    const TableDef& def = *plan.table;
    auto hit = [&](std::string_view step) {
        if (plan.checkpoint)
            plan.checkpoint(std::string(step) + " " + def.upperName());
    };
    const std::string source = def.fileName();
    constexpr const char* kSource = "_rebuild_from";
    constexpr const char* kTarget = "_rebuild";

    auto job = JobFile::take(ws);
    if (!job)
        return {Outcome::NotStarted, job.status()};
    // Held from here until the new table is in place: another copy is refused.
    auto from = ws.use(source, kSource, OpenMode{false, true});
    if (!from) {
        job->erase();
        return {Outcome::NotStarted, from.status()};
    }
    const Structure structure = keptStructure(def, (*from)->structure());
    const uint32_t records = (*from)->lastRec();
    const bool newHasMemo =
        std::any_of(structure.begin(), structure.end(), [](const FieldDef& f) { return f.type == 'M'; });

    auto giveUp = [&](Status why) -> RebuildResult {
        // Nothing but this process could open packtemp: it is erased, the
        // original was never touched.
        ws.closeArea(kTarget);
        (void)eraseIfExists(ws, kPackTempDbt);
        (void)eraseIfExists(ws, kPackTempDbf);
        ws.closeArea(kSource);
        job->erase();
        return {Outcome::PutBack, std::move(why)};
    };

    // A spent copy of an earlier run is of no use: recovery has run before.
    (void)eraseIfExists(ws, kPackTempDbt);
    (void)eraseIfExists(ws, kPackTempDbf);
    if (auto s = job->write("VERSION=2\nTABLE=" + def.upperName() + "\nMEMO=" + (newHasMemo ? "1" : "0") + "\n"); !s)
        return giveUp(s);
    hit("journal");

    if (plan.creating)
        plan.creating();
    if (auto s = ws.create(kPackTempDbf, structure); !s)
        return giveUp(s);
    auto to = ws.use(kPackTempDbf, kTarget, OpenMode{false, false});
    if (!to)
        return giveUp(to.status());
    hit("created");
    if (plan.filling)
        plan.filling(records);
    AppendFromOptions options;
    options.copyDeleted = plan.keepDeleted;
    uint32_t copied = 0;
    options.progress = [&](uint32_t recNo) {
        if (++copied == 2)
            hit("filling");
        return plan.progress ? plan.progress(recNo) : true;
    };
    if (auto s = (*to)->appendFrom(source, options); !s)
        return giveUp(s);
    if (auto s = (*to)->commit(); !s)
        return giveUp(s);
    hit("filled");

    // The new table is complete and on disk: from here on the rebuild is
    // finished, if not now then at the next start.
    if (auto s = job->append("STATE=FILLED\n"); !s)
        return giveUp(s);
    hit("committed");
    if (auto s = putInPlace(ws, def, newHasMemo, hit); !s) {
        ws.closeArea(kTarget);
        ws.closeArea(kSource);
        job->release();
        return {Outcome::Pending, s};
    }
    (void)job->append("STATE=DONE\n");
    hit("done");
    ws.closeArea(kTarget);
    ws.closeArea(kSource);
    job->erase();
    return {Outcome::Done, Status::ok()};
}

// --- recovery -------------------------------------------------------------------

namespace {

// Puts the original back from packtemp after an unfinished rebuild of an
// older program, which moved the original aside. Says whether there was
// anything to put back.
Result<bool> restoreFromPackTemp(Workspace& ws, const TableDef& def, bool hadMemo)
{
    if (!ws.exists(kPackTempDbf))
        return false;   // the rename never happened: the table is the original
    if (auto s = eraseIfExists(ws, def.fileName()); !s)
        return s;
    if (ws.exists(kPackTempDbt)) {
        if (auto s = eraseIfExists(ws, def.memoFileName()); !s)
            return s;
        if (auto s = ws.rename(kPackTempDbt, def.memoFileName()); !s)
            return s;
    } else if (!hadMemo) {
        // The original had no memo file, so any beside the table is the new one's.
        if (auto s = eraseIfExists(ws, def.memoFileName()); !s)
            return s;
    }
    // Its index files may describe the discarded table; they are built anew.
    if (auto s = eraseIndexFiles(ws, def); !s)
        return s;
    if (auto s = ws.rename(kPackTempDbf, def.fileName()); !s)
        return s;
    syncFolder(ws);
    return true;
}

struct Shape {
    Structure fields;
    uint32_t records = 0;
};

std::optional<Shape> shapeOf(Workspace& ws, std::string_view file)
{
    auto area = ws.use(file, "_recover", OpenMode{false, true});
    if (!area)
        return std::nullopt;
    Shape s{(*area)->structure(), (*area)->lastRec()};
    ws.closeArea("_recover");
    return s;
}

// The catalogue table a copy without journal belongs to: the one sharing
// most field names with it; nullptr when none or when two tie.
const TableDef* ownerOf(const Structure& fields)
{
    const TableDef* best = nullptr;
    size_t bestScore = 0;
    bool tie = false;
    for (const auto& t : catalog::tables()) {
        size_t score = 0;
        for (const auto& f : fields)
            if (t.field(f.name))
                ++score;
        if (score > bestScore) {
            best = &t, bestScore = score, tie = false;
        } else if (score == bestScore && score > 0) {
            tie = true;
        }
    }
    return tie ? nullptr : best;
}

// Finishes or discards the rebuild a journal describes. False when the
// journal must stay for the next start.
bool followJournal(Workspace& ws, const Journal& j, Recovery& r)
{
    const TableDef& def = *catalog::findTable(j.table);
    const std::string copyName(kPackTempDbf);
    if (j.version >= 2) {
        if (j.done) {
            r.done.push_back("finished the rebuild of " + def.fileName());
        } else if (j.filled) {
            if (auto s = putInPlace(ws, def, j.memo, [](std::string_view) {}); !s) {
                r.notices.push_back("The rebuilt table " + def.fileName() + " could not be put in place: " +
                                    s.message());
                return false;
            }
            r.done.push_back("put the rebuilt " + def.fileName() + " in place");
        } else {
            (void)eraseIfExists(ws, kPackTempDbt);
            (void)eraseIfExists(ws, kPackTempDbf);
            r.done.push_back("discarded an unfinished rebuild of " + def.fileName() + ", which was not changed");
        }
        return true;
    }
    if (j.done) {
        (void)eraseIfExists(ws, kPackTempDbt);
        (void)eraseIfExists(ws, kPackTempDbf);
        r.done.push_back("finished the rebuild of " + def.fileName());
        return true;
    }
    auto restored = restoreFromPackTemp(ws, def, j.memo);
    if (!restored) {
        r.done.push_back("could not restore " + def.fileName() + ": " + restored.message());
        r.notices.push_back("The table file " + def.fileName() + " could not be put back from " + copyName +
                            " after an interrupted rebuild: " + restored.message());
        return false;   // every file stays as it is for the user
    }
    r.done.push_back(*restored ? "restored " + def.fileName() + " from " + copyName
                               : "found " + def.fileName() + " not yet moved by an interrupted rebuild");
    return true;
}

// A copy without journal, left by some other program.
void adoptStrayCopy(Workspace& ws, Recovery& r)
{
    const std::string copyName(kPackTempDbf);
    auto setAside = [&](const std::string& dbf, const std::string& dbt) -> std::string {
        for (int n = 1; n < 1000; ++n) {
            const std::string base = std::string(kPackSave) + std::to_string(n);
            if (ws.exists(base + ".dbf") || ws.exists(base + ".dbt"))
                continue;
            if (ws.exists(dbt) && !ws.rename(dbt, base + ".dbt"))
                return {};
            if (!ws.rename(dbf, base + ".dbf"))
                return {};
            return base + ".dbf";
        }
        return {};
    };
    auto copy = shapeOf(ws, kPackTempDbf);
    const TableDef* owner = copy ? ownerOf(copy->fields) : nullptr;
    if (!owner) {
        const std::string kept = setAside(copyName, std::string(kPackTempDbt));
        r.done.push_back("kept an unidentified " + copyName + " as " + kept);
        r.notices.push_back("A left-over table copy " + copyName + " that belongs to no table was kept as " + kept + ".");
        return;
    }
    const bool present = ws.exists(owner->fileName());
    auto current = present ? shapeOf(ws, owner->fileName()) : std::nullopt;
    if (current && current->records >= copy->records) {
        (void)eraseIfExists(ws, kPackTempDbt);
        (void)ws.erase(kPackTempDbf);
        r.done.push_back("erased a spent " + copyName + " of " + owner->fileName());
        return;
    }
    std::string kept;
    if (present) {
        // Short or unreadable: most likely a rebuild that never finished, but
        // it is kept rather than erased.
        kept = setAside(owner->fileName(), owner->memoFileName());
        if (kept.empty()) {
            r.notices.push_back("The table file " + owner->fileName() + " could not be put back from " + copyName + ".");
            return;
        }
    }
    const bool copyHasMemo = ws.exists(kPackTempDbt);
    auto restored = restoreFromPackTemp(ws, *owner, copyHasMemo);
    if (!restored) {
        r.notices.push_back("The table file " + owner->fileName() + " could not be put back from " + copyName +
                            ": " + restored.message() + (kept.empty() ? "" : "; the table found in its place was kept as " + kept) +
                            ".");
        return;
    }
    r.done.push_back("restored " + owner->fileName() + " from " + copyName);
    if (!kept.empty())
        r.notices.push_back("The table file " + owner->fileName() + " was put back from " + copyName +
                            "; the table found in its place was kept as " + kept + ".");
}

} // namespace

Recovery recoverLeftovers(Workspace& ws)
{
    Recovery r;
    auto job = JobFile::take(ws);
    if (!job) {
        if (job.code() == ErrorCode::InUse)
            r.done.push_back("left alone a rebuild running in another copy of the program");
        else if (ws.exists(kPackTempJob) || ws.exists(kPackTempDbf))
            r.notices.push_back("The left-overs of a table rebuild in " + ws.folder() +
                                " cannot be dealt with: " + job.message());
        return r;   // a folder that cannot be written has nothing to recover
    }
    if (auto j = parseJournal(job->text())) {
        if (followJournal(ws, *j, r))
            job->erase();
        else
            job->release();
        return r;
    }
    if (ws.exists(kPackTempDbf)) {
        adoptStrayCopy(ws, r);
    } else if (ws.exists(kPackTempDbt) && ws.erase(kPackTempDbt)) {
        // A memo copy alone is what a finished rebuild leaves when stopped
        // between its last two erasures.
        r.done.push_back("erased a spent " + std::string(kPackTempDbt));
    }
    job->erase();   // names no table (or was made just now): it guards nothing
    return r;
}

// --- the clean-up run -------------------------------------------------------

std::vector<std::string> Setup::recover()
{
    ws_.closeAll();
    // A restore that was interrupted first, so that a rebuild left over is
    // looked at in the folder as the restore leaves it.
    auto restored = recoverRestores(ws_.folder());
    auto r = recoverLeftovers(ws_);
    r.done.insert(r.done.begin(), restored.done.begin(), restored.done.end());
    r.notices.insert(r.notices.begin(), restored.notices.begin(), restored.notices.end());
    for (const auto& line : r.done)
        log_.recovered.push_back(line);
    for (const auto& text : r.notices)
        obs_.message(SetupBox::Exclamation, text);
    return r.done;
}

bool Setup::APPTEMP(uint32_t recNo)
{
    obs_.setValue(3, static_cast<int>(recNo));
    return true;
}

bool Setup::CLEANUP()
{
    if (obs_.message(SetupBox::OkCancel,
                     "WARNING #1\n\nPlease ensure that all other users are logged out.\n"
                     "Otherwise, data corruption may occur!") != 1)
        return false;
    if (obs_.message(SetupBox::OkCancel,
                     "FINAL WARNING\n\nPlease ensure that all other users are logged out") != 1)
        return false;

    // Recovery has run at the start of this run, so a copy left now is spent
    // (unless another copy of the program is rebuilding a table right now).
    if (!rebuildRunningElsewhere(ws_)) {
        (void)eraseIfExists(ws_, kPackTempDbf);
        (void)eraseIfExists(ws_, kPackTempDbt);
    }

    for (const auto& def : catalog::tables()) {
        const int n = def.number;
        current_ = n;
        tableStatus("Cleaning", n);
        obs_.setValue(1, n);

        ws_.closeAll();
        if (ws_.exists(def.fileName())) {
            RebuildPlan plan;
            plan.table = &def;
            plan.keepDeleted = false;
            plan.creating = [&] { tableStatus("Creating", n); };
            plan.filling = [&](uint32_t count) {
                obs_.setRange(3, 0, static_cast<int>(count));
                obs_.setValue(3, 0);
            };
            plan.progress = [&](uint32_t recNo) { return APPTEMP(recNo); };
            plan.checkpoint = checkpoint;
            const auto r = rebuildTable(ws_, plan);
            if (r.outcome == RebuildResult::Outcome::NotStarted)
                obs_.message(SetupBox::Stop, "Could not process file " + def.fileName());
            if (r.outcome == RebuildResult::Outcome::Pending)
                unusable_.insert(n);
            if (r.outcome == RebuildResult::Outcome::Done)
                log_.cleanedTables.insert(n);
            else
                report(def.fileName(), rebuildFailure(def, r, true));
        } else if (auto s = SETCASE(true, n); !s) {
            // A table missing altogether is simply created.
            report(def.fileName(), s.message());
        }
        ws_.closeAll();
        if (obs_.escapePressed())
            break;
    }
    ws_.closeAll();
    return true;
}

} // namespace cn::data
