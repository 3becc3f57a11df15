// curanote-data verify: is the whole data folder sound?
#include "tools/check.h"
#include "tools/command.h"

#include "data/catalog.h"

#include <cstdio>

namespace cn::tool {
namespace {

int run(Invocation& inv)
{
    const CheckResult r = checkFolder(inv.folder());
    if (r.ok()) {
        std::printf("%s: sound (%d tables, %d indexes, %u records)\n", inv.folder().c_str(),
                    cn::data::catalog::kTableCount, cn::data::catalog::kIndexCount, r.records);
        return 0;
    }
    return inv.fail(printProblems(r, inv.folder()));
}

const Register reg(Command("verify", "[DIR]",
    "Checks every table, memo file and index of the data folder.")
    .describe("      Each table against its definition (fields, types, widths, decimals),\n"
              "      each index's key text, and then as check does: the header, memo\n"
              "      pointers and memo ends, one key per record, key order, each key\n"
              "      against its record. Read only; each problem is listed on standard\n"
              "      output, naming its file.")
    .runs(run));

} // namespace
} // namespace cn::tool
