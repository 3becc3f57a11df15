// curanote-data setup: the start-up set-up of a data folder, without windows.
#include "tools/command.h"
#include "tools/setup_run.h"

#include <cstdio>

namespace cn::tool {
namespace {

int run(Invocation& inv)
{
    const SetupOutcome r = runSetup(inv.folder(), false);
    const auto& log = r.log;
    std::printf("%s: %zu tables created, %zu upgraded, %zu indexes built or rebuilt\n", inv.folder().c_str(),
                log.createdTables.size(), log.upgradedTables.size(), log.rebuiltIndexes.size());
    if (r.problems)
        return inv.fail(inv.folder() + ": " + std::to_string(r.problems) + " problem" +
                        (r.problems == 1 ? "" : "s") + " reported, the first: " + r.firstProblem);
    std::printf("%s: fit for use\n", inv.folder().c_str());
    return 0;
}

const Register reg(Command("setup", "[DIR]",
    "Runs the start-up set-up on the data folder, as the program does.")
    .describe("      Creates missing tables and indexes, upgrades tables whose structure\n"
              "      differs, rebuilds stale indexes, adds the initial rows and opens every\n"
              "      table, through the same code as the program's start. Status lines and\n"
              "      messages go to standard output; a message that reports a problem (a\n"
              "      table or index that cannot be used, faulty master records) gives\n"
              "      exit status 1.")
    .runs(run));

} // namespace
} // namespace cn::tool
