// Memo files: reading memos at every block a table could name, and writing a
// memo into a damaged file (reusing an old block or appending).
#include "fuzz/fuzz_util.h"

#include "data/memo_file.h"

#include <cstring>

using namespace cn::data;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first two bytes choose the block the write reuses; the rest is the file.
    uint32_t reuse = 0;
    if (size >= 2) {
        reuse = uint32_t(data[0]) | uint32_t(data[1]) << 8;
        data += 2;
        size -= 2;
    }
    const std::string path = cn::fuzz::writeFile("F.dbt", data, size);
    if (auto m = MemoFile::open(path, false)) {
        const uint32_t blocks = uint32_t(std::min<size_t>(size / kMemoBlockSize + 2, 64));
        for (uint32_t b = 0; b <= blocks; ++b)
            (void)m.value()->read(b);
        (void)m.value()->read(0xFFFFFFFFu);
    }
    if (auto m = MemoFile::open(path, true)) {
        const std::string text(size_t(reuse % 1500), 'x');
        auto block = m.value()->write(text, reuse, false);
        if (block && *block != 0) {
            auto back = m.value()->read(*block);
            if (!back || back->substr(0, text.size()) != text)
                __builtin_trap();     // a memo just written must read back
        }
    }
    return 0;
}
