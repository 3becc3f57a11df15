// curanote-data backup: the Backup button without the window, for a
// scheduled job.
#include "tools/command.h"

#include "setup/backup/backup.h"

#include <cstdio>
#include <filesystem>

namespace cn::tool {
namespace {

namespace fs = std::filesystem;

int run(Invocation& inv)
{
    // As the window proposes: the default name in the data folder; --to may
    // name the archive or the folder it goes into.
    std::string archive = inv.folder() + "/" + backup::archiveName(backup::now());
    if (inv.has("--to")) {
        const std::string to = inv.value("--to");
        if (to.empty())
            return inv.usageError("--to needs the archive's path");
        std::error_code ec;
        fs::path p = fs::absolute(to, ec);
        if (fs::is_directory(p, ec))
            p /= backup::archiveName(backup::now());
        archive = p.lexically_normal().string();
    }
    const backup::BackupResult r = backup::backupFolder(inv.folder(), archive);
    using Outcome = backup::BackupResult::Outcome;
    switch (r.outcome) {
    case Outcome::Saved:
        std::printf("%s\n", r.archive.c_str());
        return 0;
    case Outcome::Inconsistent:
        return inv.fail(std::string(backup::kInconsistent) + r.archive + ": " + r.message);
    case Outcome::NoFiles:
    case Outcome::Refused:
        return inv.fail(r.message);
    case Outcome::Failed:
        break;
    }
    return inv.fail(r.archive + " not written: " + r.message);
}

const Register reg(Command("backup", "[DIR] [--to ZIP]",
    "Backs the data folder up into one zip archive, as the Backup button does.")
    .describe("      Every table, memo and index file of the folder, each table locked\n"
              "      while its files are read so that they are of one moment, even while\n"
              "      the program runs. The archive is read back and checked entry by\n"
              "      entry; its path is printed. By default it is CNPyyyymmddhhmmss.zip in\n"
              "      the data folder; --to names the archive, or a folder to put it in. An\n"
              "      archive of that name is replaced once the new one is complete; one\n"
              "      that could not be written whole is not left behind. Refused while\n"
              "      the program holds the tables exclusively (set-up, clean-up).")
    .option("--to", "ZIP", "the archive to write (or a folder for it)")
    .runs(run));

} // namespace
} // namespace cn::tool
