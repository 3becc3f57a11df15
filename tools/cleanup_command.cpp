// curanote-data cleanup: the data clean-up without its questions.
#include "tools/command.h"
#include "tools/setup_run.h"

#include <cstdio>

namespace cn::tool {
namespace {

int run(Invocation& inv)
{
    if (!inv.has("--yes"))
        return inv.usageError("clean-up removes deleted records for good and cannot ask here whether everyone "
                              "else has left the data folder; give --yes to run it");
    const SetupOutcome r = runSetup(inv.folder(), true);
    std::printf("%s: %zu tables cleaned, %zu indexes built\n", inv.folder().c_str(), r.log.cleanedTables.size(),
                r.log.rebuiltIndexes.size());
    if (r.problems)
        return inv.fail(inv.folder() + ": " + std::to_string(r.problems) + " problem" +
                        (r.problems == 1 ? "" : "s") + " reported, the first: " + r.firstProblem);
    return 0;
}

const Register reg(Command("cleanup", "[DIR] --yes",
    "Removes deleted records for good: every table rebuilt, every index anew.")
    .describe("      The program's Data Cleanup without its two warnings, which --yes\n"
              "      answers: make sure no one else uses the data folder. Status lines and\n"
              "      messages go to standard output; a table that could not be processed\n"
              "      gives exit status 1.")
    .option("--yes", "", "run it (no one else uses the folder)")
    .runs(run));

} // namespace
} // namespace cn::tool
