// Table files: the table layer, a work area walking the records, and the data
// tool's check, each fed arbitrary bytes as a .dbf (with a small fixed memo
// file beside it).
#include "fuzz/fuzz_util.h"

#include "data/dbf_file.h"
#include "data/workspace.h"
#include "tools/check.h"

#include <vector>

using namespace cn::data;

namespace {

void prepareMemo()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    std::vector<uint8_t> memo(1024, 0);
    memo[0] = 2;            // next free block
    memo[16] = 3;
    const char text[] = "memo text\x1a\x1a";
    std::copy(text, text + sizeof text - 1, memo.begin() + 512);
    cn::fuzz::writeFile("F.dbt", memo.data(), memo.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    prepareMemo();
    const std::string path = cn::fuzz::writeFile("F.dbf", data, size);

    if (auto t = DbfFile::open(path, false)) {
        DbfFile& dbf = *t.value();
        std::vector<char> rec(dbf.recordLength());
        const uint32_t n = std::min<uint32_t>(dbf.recordCount(), 2000);
        for (uint32_t r = 1; r <= n; ++r) {
            if (!dbf.read(r, rec.data()))
                break;
            for (const auto& f : dbf.fields()) {
                const std::string_view v(rec.data() + f.offset, size_t(f.def.width));
                switch (f.def.type) {
                case 'N': (void)decodeNumeric(v); break;
                case 'L': (void)decodeLogical(v.empty() ? ' ' : v[0]); break;
                case 'M': (void)decodeMemoBlock(v); break;
                case 'D': (void)Date::fromDtos(v); break;
                default: break;
                }
            }
        }
    }

    {
        Workspace ws(cn::fuzz::folder());
        if (auto a = ws.use("F.dbf", "f", OpenMode{true, true})) {
            WorkArea& area = *a.value();
            int steps = 0;
            for (area.goTop(); !area.eof() && steps < 2000; area.skip(1), ++steps) {
                for (const auto& f : area.structure()) {
                    (void)area.raw(f.name);
                    if (f.type == 'M')
                        (void)area.readMemo(f.name);
                    else if (f.type == 'N')
                        (void)area.num(f.name);
                    else if (f.type == 'D')
                        (void)area.date(f.name);
                }
            }
        }
    }

    (void)cn::tool::checkTable(path, {});
    return 0;
}
