// curanote-data keys: an index file's keys in order, with their records.
#include "tools/command.h"

#include "data/cp1252.h"
#include "data/dbf_file.h"
#include "data/ntx_file.h"

#include <cstdio>

namespace cn::tool {
namespace {

const char* const kUsage =
    "  curanote-data keys FILE.ntx --table FILE.dbf\n"
    "      Lists the index's keys in index order, one a line: the record number,\n"
    "      a tab, the key (trailing spaces kept, shown as UTF-8). Entries naming\n"
    "      a record the table does not have are reported and give exit status 1.";

int usageError(const char* why)
{
    std::fprintf(stderr, "curanote-data keys: %s\nusage:\n%s\n", why, kUsage);
    return 2;
}

int run(const std::vector<std::string>& args)
{
    std::string index, table;
    for (size_t i = 0; i < args.size(); ++i) {
        const auto& a = args[i];
        if (a == "--help" || a == "-h") {
            std::printf("usage:\n%s\n", kUsage);
            return 0;
        }
        if (a == "--table") {
            if (i + 1 >= args.size())
                return usageError("--table needs a file");
            table = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError(("unknown option " + a).c_str());
        } else if (index.empty()) {
            index = a;
        } else {
            return usageError("more than one index file given");
        }
    }
    if (index.empty())
        return usageError("no index file given");
    if (table.empty())
        return usageError("no table given (--table FILE.dbf)");

    auto dbf = cn::data::DbfFile::open(table, false);
    if (!dbf) {
        std::fprintf(stderr, "curanote-data keys: %s\n", dbf.message().c_str());
        return 1;
    }
    auto ntx = cn::data::NtxFile::open(index, false);
    if (!ntx) {
        std::fprintf(stderr, "curanote-data keys: %s\n", ntx.message().c_str());
        return 1;
    }
    const uint32_t records = dbf.value()->recordCount();
    unsigned long strays = 0;
    auto s = ntx.value()->walk({}, [&](std::string_view key, uint32_t recNo) {
        std::printf("%u\t%s\n", recNo, cn::data::cp1252ToUtf8(key).c_str());
        if (recNo == 0 || recNo > records)
            ++strays;
        return true;
    });
    if (!s) {
        std::fprintf(stderr, "curanote-data keys: %s\n", s.message().c_str());
        return 1;
    }
    if (strays) {
        std::fprintf(stderr, "curanote-data keys: %lu key%s name records the table (%u records) does not have\n",
                     strays, strays == 1 ? "" : "s", records);
        return 1;
    }
    return 0;
}

const Register reg({"keys", kUsage, run});

} // namespace
} // namespace cn::tool
