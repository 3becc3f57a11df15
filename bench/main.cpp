#include "bench/bench.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace cn::bench {

std::vector<Workload>& registry()
{
    static std::vector<Workload> list;
    return list;
}

double timeIt(const std::function<void()>& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void report(const std::string& name, double ours, double sqlite)
{
    std::printf("%s ratio=%.3f ours_s=%.4f sqlite_s=%.4f\n", name.c_str(),
                sqlite > 0 ? ours / sqlite : 0.0, ours, sqlite);
    std::fflush(stdout);
}

} // namespace cn::bench

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    cn::bench::Context ctx;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            ctx.quick = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else {
            std::fprintf(stderr, "usage: curanote-bench [--quick] [--only NAME]\n");
            return 2;
        }
    }
    const fs::path base = fs::temp_directory_path() / ("curanote-bench-" + std::to_string(::getpid()));
    for (const auto& w : cn::bench::registry()) {
        if (!only.empty() && w.name != only)
            continue;
        fs::remove_all(base);
        fs::create_directories(base);
        ctx.folder = base.string();
        w.run(ctx);
    }
    fs::remove_all(base);
    return 0;
}
