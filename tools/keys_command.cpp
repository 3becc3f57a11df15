// curanote-data keys: an index file's keys in order, with their records.
#include "tools/command.h"

#include "data/cp1252.h"
#include "data/dbf_file.h"
#include "data/ntx_file.h"

#include <cstdio>

namespace cn::tool {
namespace {

int run(Invocation& inv)
{
    const std::string index = inv.files().front();
    const std::string table = inv.value("--table");
    if (table.empty())
        return inv.usageError("no table given (--table FILE.dbf)");

    auto dbf = cn::data::DbfFile::open(table, false);
    if (!dbf)
        return inv.fail(dbf.message());
    auto ntx = cn::data::NtxFile::open(index, false);
    if (!ntx)
        return inv.fail(ntx.message());
    const uint32_t records = dbf.value()->recordCount();
    unsigned long strays = 0;
    auto s = ntx.value()->walk({}, [&](std::string_view key, uint32_t recNo) {
        std::printf("%u\t%s\n", recNo, cn::data::cp1252ToUtf8(key).c_str());
        if (recNo == 0 || recNo > records)
            ++strays;
        return true;
    });
    if (!s)
        return inv.fail(s.message());
    if (strays)
        return inv.fail(index + ": " + std::to_string(strays) + " key" + (strays == 1 ? "" : "s") +
                        " name records the table (" + std::to_string(records) + " records) does not have");
    return 0;
}

const Register reg(Command("keys", "FILE.ntx --table FILE.dbf",
    "Lists an index's keys in index order with their record numbers.")
    .describe("      One a line: the record number, a tab, the key (trailing spaces kept,\n"
              "      shown as UTF-8). Entries naming a record the table does not have are\n"
              "      reported.")
    .option("--table", "FILE.dbf", "the table the index belongs to (required)")
    .takesFiles(1, 1, "index file (FILE.ntx)")
    .runs(run));

} // namespace
} // namespace cn::tool
