#pragma once
// Data set-up: makes a data folder fit for the program and opens it.
//
// At every start the set-up run recovers a table left half-rebuilt by an
// interrupted earlier run, creates missing tables, upgrades tables whose
// stored structure differs from the catalogue (keeping every record), creates
// missing indexes and rebuilds stale ones, adds the initial rows and opens
// every table under its aliases. With the clean-up flag the same run removes
// deleted records for good instead of checking structures (data/cleanup.h).
//
// The logic talks to the outside only through SetupObserver, so it runs the
// same under the progress window and in a headless test.
#include "data/catalog.h"
#include "data/workspace.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

enum class SetupBox { Info, Exclamation, Stop, OkCancel };
struct RebuildResult;   // data/cleanup.h

// What set-up needs of its surroundings.
class SetupObserver {
public:
    virtual ~SetupObserver() = default;
    virtual void status(const std::string& text) = 0;            // TextBox_1
    virtual void setRange(int bar, int minimum, int maximum) = 0; // Progress_1..3
    virtual void setValue(int bar, int value) = 0;
    // A message box; Info, Exclamation and Stop answer 1, OkCancel 1 (OK) or 2 (Cancel).
    virtual int message(SetupBox kind, const std::string& text) = 0;
    virtual bool escapePressed() = 0;                             // since the last call (a press counts once)
    virtual Date today() = 0;
    virtual long secondsSinceMidnight() = 0;
    virtual void setMenusEnabled(bool) {}                         // MAINMENUABLE
    virtual void release() {}                                     // the progress window closes
};

// The status text: verb, name and the position as a whole percentage
// right-aligned in three characters, centred in 75 characters.
std::string statusText(std::string_view verb, std::string_view name, int position, int count);

// The supervisor's password as stored in OPPWD (obscured) and back.
inline constexpr std::string_view kDefaultSupervisorPassword = "supervisor";
std::string obscurePassword(std::string_view plain);
std::string revealPassword(std::string_view stored);

class Setup {
public:
    Setup(Workspace& ws, SetupObserver& observer);

    // The whole run: recovery, clean-up or structure pass, index pass,
    // initial rows, opening. Ends with every table open.
    void SETUP_PROCESS(bool cleanup);

    // Structure routines: SETUPn builds table n from its catalogue fields.
    // SETCASE(flag, n) calls routine n; the flag has no effect.
    Status SETCASE(bool flag, int n);
    Status SETUP1();  Status SETUP2();  Status SETUP3();  Status SETUP4();
    Status SETUP5();  Status SETUP6();  Status SETUP7();  Status SETUP8();
    Status SETUP9();  Status SETUP10(); Status SETUP11(); Status SETUP12();
    Status SETUP13(); Status SETUP14(); Status SETUP15(); Status SETUP16();
    Status SETUP17(); Status SETUP18(); Status SETUP19(); Status SETUP20();
    Status SETUP21(); Status SETUP22();

    // Creates or upgrades the current table of the loop (the one SETCASE
    // chose) from the wanted field list.
    Status CHK_DBF_STRUCT(const Structure& wanted);

    // The index pass over the 46 indexes.
    void indexPass();
    // The initial rows: supervisor, options record, chambers, sample patient,
    // dictionary phrases.
    void CHKINITVALS();
    // Opens every table shared under its aliases with its orders and reports
    // faulty master records. Also used after backup and restore.
    void CN_OPENDATA();

    // Data clean-up (implemented in data/cleanup.cpp): false when a warning
    // was refused. APPTEMP is the refill's progress. A table or index it
    // could not finish (other than by Escape) is named with the reason in the
    // run's closing message, which then is not "Data Cleanup Complete".
    bool CLEANUP();
    bool APPTEMP(uint32_t recNo);

    // A table left half-rebuilt by an interrupted run is put back before
    // anything else touches the folder. Returns what it did, for the log of
    // the run (empty when nothing was left over).
    std::vector<std::string> recover();

    // Run flag: a table was upgraded in this run, so every index is rebuilt.
    bool MDBFCHANGE = false;

    // Test hook: called at each step of a table rebuild with the step's name
    // and the table ("filling PVISIT"), so that a test can stop the process
    // there or act as another copy of the program at that moment.
    std::function<void(std::string_view)> checkpoint;

    // What the run did, for tests and the data tool.
    struct Log {
        std::vector<std::string> statuses;      // every status text shown
        std::set<int> createdTables, upgradedTables, cleanedTables;
        std::set<int> createdIndexes, rebuiltIndexes;
        std::vector<std::string> recovered;
    };
    const Log& log() const { return log_; }

private:
    void say(std::string_view verb, std::string_view name, int position, int count);
    void tableStatus(std::string_view verb, int n);
    void indexStatus(std::string_view verb, int n);
    // Tells the user about a problem with a file (or files) once per run; in
    // a clean-up run the problems are gathered for its closing message.
    void report(const std::string& file, const std::string& text);
    void report(const std::vector<std::string>& files, const std::string& text);
    // What the user is told about a rebuild that did not finish.
    std::string rebuildFailure(const catalog::TableDef& def, const RebuildResult& r, bool cleaning);
    void structurePass();
    void indexes();   // the index pass proper
    Status createTable(const catalog::TableDef& def, const Structure& fields);
    Status upgradeTable(const catalog::TableDef& def);
    bool indexNeedsRebuild(const catalog::IndexDef& ix);
    bool indexSound(const catalog::IndexDef& ix);
    Status buildIndex(const catalog::IndexDef& ix);
    void hit(std::string_view step) { if (checkpoint) checkpoint(step); }

    Workspace& ws_;
    SetupObserver& obs_;
    int current_ = 0;                        // the table of the loop
    std::set<std::string> reported_;         // files already reported in this run
    std::set<int> unusable_;                 // tables that could not be opened
    std::set<int> tablesOpened_;             // tables the index pass has opened
    bool collect_ = false;                   // a clean-up run gathers its problems
    std::vector<std::string> failures_;      // ... here
    std::map<int, bool> indexSound_;         // index number -> checked against its table in this run
    // table number -> (its blank check found a record, over how many
    // records), from the index check's read of the table in this run
    std::map<int, std::pair<bool, uint32_t>> blankSeen_;
    // Whether a table made through "_temp" may have left its files behind
    // (from an earlier run, or a creation or change in this one that failed);
    // looking for them costs a listing of the folder each.
    bool tempMayLinger_ = true;
    Log log_;

    friend class Cleanup;
};

// Text of a failure to open a table file, naming the file and the reason.
std::string openFailureText(const std::string& file, const std::string& why);
// The heading of a clean-up's closing message when something did not finish;
// one line per problem follows it.
inline constexpr std::string_view kCleanupIncomplete = "Data Cleanup did not complete !!";

} // namespace cn::data
