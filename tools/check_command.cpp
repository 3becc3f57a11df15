// curanote-data check: is a table sound, with its memo file and indexes?
#include "tools/check.h"
#include "tools/command.h"

#include <cstdio>

namespace cn::tool {
namespace {

const char* const kUsage =
    "  curanote-data check FILE.dbf [FILE.ntx ...]\n"
    "      Checks a table, its memo file and the given index files: the header\n"
    "      against the file size, deletion flags, memo pointers, and for each\n"
    "      index its structure, exactly one key per record, key order, and each\n"
    "      key against the key computed from its record.\n"
    "      Exit status: 0 sound, 1 problems found (each one listed), 2 usage error.";

int run(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            std::printf("usage:\n%s\n", kUsage);
            return 0;
        }
        if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "curanote-data check: unknown option '%s'\nusage:\n%s\n", a.c_str(), kUsage);
            return 2;
        }
        files.push_back(a);
    }
    if (files.empty()) {
        std::fprintf(stderr, "curanote-data check: no table given\nusage:\n%s\n", kUsage);
        return 2;
    }
    const std::string table = files.front();
    files.erase(files.begin());

    const CheckResult r = checkTable(table, files);
    if (r.ok()) {
        std::printf("%s: sound (%u records, %zu index%s)\n", table.c_str(), r.records, files.size(),
                    files.size() == 1 ? "" : "es");
        return 0;
    }
    for (const auto& p : r.problems)
        std::printf("%s\n", p.c_str());
    std::printf("%s: %zu problem%s found\n", table.c_str(), r.problems.size(), r.problems.size() == 1 ? "" : "s");
    return 1;
}

const Register reg({"check", kUsage, run});

} // namespace
} // namespace cn::tool
