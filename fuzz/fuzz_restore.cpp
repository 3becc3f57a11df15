// Restoring an arbitrary archive into a scratch data folder: it must never
// crash or hang, and nothing may be written outside the data folder,
// whatever names, sizes or data the archive holds.
#include "fuzz/fuzz_util.h"

#include "setup/backup/backup.h"

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class Quiet final : public cn::data::SetupObserver {
public:
    void status(const std::string&) override {}
    void setRange(int, int, int) override {}
    void setValue(int, int) override {}
    int message(cn::data::SetupBox, const std::string&) override { return 1; }
    bool escapePressed() override { return false; }
    cn::data::Date today() override { return {2026, 6, 10}; }
    long secondsSinceMidnight() override { return 36000; }
};

// Every path under root, so that anything new outside the data folder shows.
void expectOnlyUnder(const fs::path& root, const fs::path& allowed, const fs::path& input)
{
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path p = it->path();
        // The data folder, its ancestors below root and the input itself are expected.
        if (p == allowed || p == input || allowed.native().starts_with(p.native() + "/"))
            continue;
        const auto rel = p.lexically_relative(allowed);
        if (rel.empty() || rel.native().starts_with(".."))
            __builtin_trap();   // written outside the data folder
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fs::path root = fs::path(cn::fuzz::folder()) / "root";
    const fs::path folder = root / "a" / "data";
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(folder, ec);
    // A folder with something in it, so that a restore that gets far saves it first.
    std::ofstream(folder / "OLD.dbf") << "an old table";
    const fs::path input = root / "input.zip";
    {
        std::ofstream out(input, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Quiet quiet;
    const auto r = cn::backup::restoreFolder(folder.string(), input.string(), quiet);
    if (!r.restoredOk() && !fs::exists(folder / "OLD.dbf"))
        __builtin_trap();   // a refused restore changed the folder
    expectOnlyUnder(root, folder, input);
    return 0;
}
