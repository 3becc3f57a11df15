#pragma once
// Helpers for the fuzz targets: the readers work on files, so each input is
// written to a file in a private folder (in memory when /dev/shm exists).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace cn::fuzz {

inline const std::string& folder()
{
    static const std::string dir = [] {
        namespace fs = std::filesystem;
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        const fs::path d = base / ("curanote-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d.string();
    }();
    return dir;
}

// Writes the bytes to name in the folder and returns the full path.
inline std::string writeFile(const std::string& name, const uint8_t* data, size_t size)
{
    const std::string path = folder() + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size)
            std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

} // namespace cn::fuzz
