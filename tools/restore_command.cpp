// curanote-data restore: the Restore button without the window.
#include "tools/command.h"
#include "tools/setup_run.h"

#include "setup/backup/backup.h"

#include <cstdio>
#include <filesystem>

namespace cn::tool {
namespace {

namespace fs = std::filesystem;

// Set-up's messages as the setup command prints them; of its status lines
// only those that say a table or index is being rebuilt.
class RestoreObserver final : public cn::data::SetupObserver {
public:
    void status(const std::string& text) override
    {
        const size_t b = text.find_first_not_of(' ');
        if (b != std::string::npos && (text.compare(b, 8, "Creating") == 0 || text.compare(b, 10, "Reindexing") == 0 ||
                                       text.compare(b, 8, "Changing") == 0))
            printing.status(text);
    }
    void setRange(int, int, int) override {}
    void setValue(int, int) override {}
    int message(cn::data::SetupBox kind, const std::string& text) override { return printing.message(kind, text); }
    bool escapePressed() override { return false; }
    cn::data::Date today() override { return printing.today(); }
    long secondsSinceMidnight() override { return printing.secondsSinceMidnight(); }

    PrintingObserver printing;
};

int run(Invocation& inv)
{
    std::error_code ec;
    const std::string archive = fs::absolute(inv.files().front(), ec).lexically_normal().string();
    if (!inv.has("--yes"))
        return inv.usageError("a restore replaces the tables, memo and index files of " + inv.folder() +
                              " with those of the archive and cannot ask here whether that is meant; give --yes "
                              "to run it");
    RestoreObserver observer;
    const backup::RestoreResult r = backup::restoreFolder(inv.folder(), archive, observer);
    std::fflush(stdout);
    if (!r.restoredOk())
        return inv.fail(std::string(backup::kUnableToRestore) + archive + ": " + r.message);
    std::printf("%s%s\n", backup::kRestoredFrom.data(), archive.c_str());
    if (!r.safetyCopy.empty())
        std::printf("the data the folder held before is saved in %s\n", r.safetyCopy.c_str());
    for (const auto& name : r.leftOut)
        std::printf("left out (not a table, memo or index file): %s\n", name.c_str());
    if (observer.printing.outcome.problems)
        return inv.fail(inv.folder() + ": restored, but " + std::to_string(observer.printing.outcome.problems) +
                        " problem" + (observer.printing.outcome.problems == 1 ? "" : "s") +
                        " reported afterwards, the first: " + observer.printing.outcome.firstProblem);
    return 0;
}

const Register reg(Command("restore", "ZIP [DIR] --yes",
    "Restores the data folder from a backup archive, as the Restore button does.")
    .describe("      The archive is unpacked into a staging folder inside the data folder\n"
              "      and checked there (every table of the program, the memo files, sound\n"
              "      table headers); entry names lose any folders, and only table, memo\n"
              "      and index files are restored. Then the folder as it is is saved as a\n"
              "      backup archive of its own (named like one, in the folder), the files\n"
              "      are moved into place, and indexes the archive did not bring or that\n"
              "      do not match their tables are rebuilt. An archive that is no backup\n"
              "      changes nothing. Refused while another copy of the program has the\n"
              "      folder open; runs only with --yes.")
    .option("--yes", "", "run it (the folder's files are replaced)")
    .takesFileThenFolder("archive (ZIP)")
    .runs(run));

} // namespace
} // namespace cn::tool
