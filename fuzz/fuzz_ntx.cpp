// Index files: opening, verifying, walking, seeking, and updating a damaged
// index must give errors, never crash or loop.
#include "fuzz/fuzz_util.h"

#include "data/ntx_file.h"

using namespace cn::data;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = cn::fuzz::writeFile("F.ntx", data, size);
    if (auto r = NtxFile::open(path, false)) {
        NtxFile& ntx = *r.value();
        (void)ntx.verify();
        size_t n = 0;
        (void)ntx.walk({}, [&](std::string_view, uint32_t) { return ++n < 100000; });
        NtxEntry e;
        (void)ntx.first(e);
        (void)ntx.last(e);
        (void)ntx.seekGE("F", e);
        (void)ntx.seekGT("F", e);
        (void)ntx.seekLE("T", e);
        (void)ntx.next(std::string(ntx.keyLength(), ' '), 1, e);
        (void)ntx.prev(std::string(ntx.keyLength(), 'z'), 1, e);
        (void)ntx.contains("F", 1);
        (void)ntx.readPage(ntx.header().root);
    }
    if (auto r = NtxFile::open(path, true)) {
        NtxFile& ntx = *r.value();
        for (uint32_t i = 1; i <= 40; ++i) {
            const std::string key = "F" + std::to_string(i * 7919 % 101);
            if (!ntx.insert(key, i))
                break;
        }
        (void)ntx.remove("F7", 1);
        (void)ntx.replace("F14", "T14", 2);
        (void)ntx.flush();
    }
    return 0;
}
