#include "data/cleanup.h"

#include "data/os_file.h"
#include "data/setup.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
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

struct Journal {
    std::string table;   // upper-case base name
    bool memo = false;   // the original had a memo file
    bool done = false;   // the new table is complete
};

Status writeJournal(Workspace& ws, const Journal& j)
{
    auto file = OsFile::create(ws.resolve(kPackTempJob));
    if (!file)
        return file.status();
    const std::string text = "TABLE=" + j.table + "\nMEMO=" + (j.memo ? "1" : "0") + "\n";
    if (auto s = file->writeAt(0, text.data(), text.size()); !s)
        return s;
    if (auto s = file->sync(); !s)
        return s;
    file->close();
    syncFolder(ws);
    return Status::ok();
}

// Appends the "done" line: a torn write leaves no complete line, which reads
// as not done, and the original is put back; nothing is lost either way.
Status markJournalDone(Workspace& ws)
{
    auto file = OsFile::open(ws.resolve(kPackTempJob), true);
    if (!file)
        return file.status();
    auto size = file->size();
    if (!size)
        return size.status();
    const std::string line = "STATE=DONE\n";
    if (auto s = file->writeAt(*size, line.data(), line.size()); !s)
        return s;
    return file->sync();
}

std::optional<Journal> readJournal(const Workspace& ws)
{
    std::ifstream in(ws.resolve(kPackTempJob));
    if (!in)
        return std::nullopt;
    Journal j;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (lines.eof() && !text.empty() && text.back() != '\n')
            break;   // an incomplete last line was never written in full
        if (line.rfind("TABLE=", 0) == 0)
            j.table = line.substr(6);
        else if (line.rfind("MEMO=", 0) == 0)
            j.memo = line.substr(5) == "1";
        else if (line == "STATE=DONE")
            j.done = true;
    }
    if (!catalog::findTable(j.table))
        return std::nullopt;
    return j;
}

// Puts the original back from packtemp after an unfinished rebuild.
Status restoreFromPackTemp(Workspace& ws, const TableDef& def, bool hadMemo)
{
    if (!ws.exists(kPackTempDbf))
        return Status::ok();   // the rename never happened: the table is the original
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
    for (int n : def.indexes)
        if (auto s = eraseIfExists(ws, catalog::index(n).fileName()); !s)
            return s;
    if (auto s = ws.rename(kPackTempDbf, def.fileName()); !s)
        return s;
    syncFolder(ws);
    return Status::ok();
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

} // namespace

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
    const TableDef& def = *plan.table;
    auto hit = [&](std::string_view step) {
        if (plan.checkpoint)
            plan.checkpoint(std::string(step) + " " + def.upperName());
    };
    RebuildResult result;

    // A spent copy of an earlier run is of no use: recovery has run before.
    (void)eraseIfExists(ws, kPackTempDbt);
    (void)eraseIfExists(ws, kPackTempDbf);

    const bool hadMemo = ws.exists(def.memoFileName());
    if (auto s = writeJournal(ws, {def.upperName(), hadMemo}); !s) {
        result.status = s;
        return result;
    }
    hit("journal");
    if (auto s = ws.rename(def.fileName(), kPackTempDbf); !s) {
        (void)ws.erase(kPackTempJob);
        result.status = s;
        return result;
    }
    result.moved = true;
    hit("table-moved");
    auto rollBack = [&](Status why) {
        ws.closeAll();
        if (restoreFromPackTemp(ws, def, hadMemo))
            (void)ws.erase(kPackTempJob);
        result.status = std::move(why);
        return result;
    };
    if (hadMemo) {
        if (auto s = ws.rename(def.memoFileName(), kPackTempDbt); !s)
            return rollBack(s);
        hit("memo-moved");
    }
    syncFolder(ws);
    for (int n : def.indexes)
        if (auto s = eraseIfExists(ws, catalog::index(n).fileName()); !s)
            return rollBack(s);
    hit("indexes-erased");

    if (plan.creating)
        plan.creating();
    if (auto s = createTableFile(ws, def, plan.structure); !s)
        return rollBack(s);
    hit("created");

    auto area = ws.use(def.fileName(), "_rebuild", OpenMode{false, false});
    if (!area)
        return rollBack(area.status());
    if (plan.filling) {
        auto copy = shapeOf(ws, kPackTempDbf);
        plan.filling(copy ? copy->records : 0);
    }
    AppendFromOptions options;
    options.copyDeleted = plan.keepDeleted;
    uint32_t copied = 0;
    options.progress = [&](uint32_t recNo) {
        if (++copied == 2)
            hit("filling");
        return plan.progress ? plan.progress(recNo) : true;
    };
    if (auto s = (*area)->appendFrom(std::string(kPackTempDbf), options); !s)
        return rollBack(s);
    if (auto s = (*area)->commit(); !s)
        return rollBack(s);
    ws.closeArea("_rebuild");
    hit("filled");

    // The new table is complete and on disk: from here on the copy is spent.
    if (auto s = markJournalDone(ws); !s)
        return rollBack(s);
    hit("committed");
    (void)eraseIfExists(ws, kPackTempDbt);
    hit("copy-memo-erased");
    (void)eraseIfExists(ws, kPackTempDbf);
    syncFolder(ws);
    hit("copy-erased");
    (void)ws.erase(kPackTempJob);
    return result;
}

Recovery recoverLeftovers(Workspace& ws)
{
    Recovery r;
    const std::string copyName(kPackTempDbf);
    if (auto j = readJournal(ws)) {
        const TableDef& def = *catalog::findTable(j->table);
        if (j->done) {
            (void)eraseIfExists(ws, kPackTempDbt);
            (void)eraseIfExists(ws, kPackTempDbf);
            (void)ws.erase(kPackTempJob);
            r.done.push_back("finished the rebuild of " + def.fileName());
            return r;
        }
        if (auto s = restoreFromPackTemp(ws, def, j->memo); !s) {
            r.done.push_back("could not restore " + def.fileName() + ": " + s.message());
            r.notices.push_back("The table file " + def.fileName() + " could not be put back from " + copyName +
                                " after an interrupted rebuild: " + s.message());
            return r;   // every file stays as it is for the user
        }
        (void)ws.erase(kPackTempJob);
        r.done.push_back("restored " + def.fileName() + " from " + copyName);
        return r;
    }
    if (ws.exists(kPackTempJob))
        (void)ws.erase(kPackTempJob);   // names no table: it guards nothing

    if (!ws.exists(kPackTempDbf)) {
        // A memo copy alone is what a finished rebuild leaves when stopped
        // between its last two erasures.
        if (ws.exists(kPackTempDbt) && ws.erase(kPackTempDbt))
            r.done.push_back("erased a spent " + std::string(kPackTempDbt));
        return r;
    }

    // A copy without journal, left by some other program.
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
        return r;
    }
    const bool present = ws.exists(owner->fileName());
    auto current = present ? shapeOf(ws, owner->fileName()) : std::nullopt;
    if (current && current->records >= copy->records) {
        (void)eraseIfExists(ws, kPackTempDbt);
        (void)ws.erase(kPackTempDbf);
        r.done.push_back("erased a spent " + copyName + " of " + owner->fileName());
        return r;
    }
    if (present) {
        // Short or unreadable: most likely a rebuild that never finished, but
        // it is kept rather than erased.
        const std::string kept = setAside(owner->fileName(), owner->memoFileName());
        if (kept.empty()) {
            r.notices.push_back("The table file " + owner->fileName() + " could not be put back from " + copyName + ".");
            return r;
        }
        r.notices.push_back("The table file " + owner->fileName() + " was put back from " + copyName +
                            "; the table found in its place was kept as " + kept + ".");
    }
    const bool copyHasMemo = ws.exists(kPackTempDbt);
    if (auto s = restoreFromPackTemp(ws, *owner, copyHasMemo); s)
        r.done.push_back("restored " + owner->fileName() + " from " + copyName);
    else
        r.notices.push_back("The table file " + owner->fileName() + " could not be put back from " + copyName +
                            ": " + s.message());
    return r;
}

// --- the clean-up run -------------------------------------------------------

std::vector<std::string> Setup::recover()
{
    ws_.closeAll();
    auto r = recoverLeftovers(ws_);
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

    // Recovery has run at the start of this run, so a copy left now is spent.
    (void)eraseIfExists(ws_, kPackTempDbf);
    (void)eraseIfExists(ws_, kPackTempDbt);

    for (const auto& def : catalog::tables()) {
        const int n = def.number;
        current_ = n;
        tableStatus("Cleaning", n);
        obs_.setValue(1, n);

        ws_.closeAll();
        Structure stored;
        if (ws_.exists(def.fileName())) {
            // Exclusive: nobody else may have the table open while it is rebuilt.
            auto area = ws_.use(def.fileName(), "_clean", OpenMode{false, false});
            if (!area) {
                obs_.message(SetupBox::Stop, "Could not process file " + def.fileName());
                continue;
            }
            stored = (*area)->structure();
            ws_.closeArea("_clean");

            RebuildPlan plan;
            plan.table = &def;
            plan.structure = keptStructure(def, stored);
            plan.keepDeleted = false;
            plan.creating = [&] { tableStatus("Creating", n); };
            plan.filling = [&](uint32_t count) {
                obs_.setRange(3, 0, static_cast<int>(count));
                obs_.setValue(3, 0);
            };
            plan.progress = [&](uint32_t recNo) { return APPTEMP(recNo); };
            plan.checkpoint = checkpoint;
            auto r = rebuildTable(ws_, plan);
            if (!r.moved) {
                obs_.message(SetupBox::Stop, "Could not process file " + def.fileName());
            } else if (!r.status) {
                reportOnce(def.fileName(), r.status.message());
            } else {
                log_.cleanedTables.insert(n);
            }
        } else if (auto s = SETCASE(true, n); !s) {
            // A table missing altogether is simply created.
            reportOnce(def.fileName(), s.message());
        }
        ws_.closeAll();
        if (obs_.escapePressed())
            break;
    }
    ws_.closeAll();
    return true;
}

} // namespace cn::data
