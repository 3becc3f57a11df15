// curanote-data check: is a table sound, with its memo file and indexes?
#include "tools/check.h"
#include "tools/command.h"

#include <cstdio>

namespace cn::tool {
namespace {

int run(Invocation& inv)
{
    std::vector<std::string> indexes = inv.files();
    const std::string table = indexes.front();
    indexes.erase(indexes.begin());

    const CheckResult r = checkTable(table, indexes);
    if (r.ok()) {
        std::printf("%s: sound (%u records, %zu index%s)\n", table.c_str(), r.records, indexes.size(),
                    indexes.size() == 1 ? "" : "es");
        return 0;
    }
    return inv.fail(printProblems(r, table));
}

const Register reg(Command("check", "FILE.dbf [FILE.ntx ...]",
    "Checks a table with its memo file and the given index files.")
    .describe("      The header against the file size, deletion flags, memo pointers and\n"
              "      memos (each ends before the next begins and before the end of the\n"
              "      file), and for each index its structure, exactly one key per record,\n"
              "      key order, and each key against the key computed from its record.\n"
              "      Each problem is listed on standard output.")
    .takesFiles(1, -1, "table (FILE.dbf)")
    .runs(run));

} // namespace
} // namespace cn::tool
