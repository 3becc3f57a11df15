// backup: the program's backup of a data folder of 100,000 patients and
// 1,000,000 visits (a twentieth with --quick) against `zip -r -6` of the same
// files, in the same run. Ours includes what zip does not do: holding the
// tables and reading the whole archive back to check every entry.
//
// The line gives the ratio of the times (best of each, taken in turns), the
// spread of the per-round ratios, and both archives' sizes. Both archives are
// then checked by unzip, and ours must hold exactly the folder's files: a
// fast backup that leaves files out measures nothing.
#include "bench/common.h"
#include "bench/data_folder.h"
#include "bench/workloads.h"

#include "setup/backup/backup.h"
#include "setup/backup/zip_archive.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace cn::bench {

namespace {

namespace fs = std::filesystem;

void readEverything(const std::string& folder)
{
    std::vector<char> buf(1 << 20);
    for (const auto& e : fs::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0) {
        }
    }
}

void shell(const std::string& command, const char* what)
{
    if (std::system(command.c_str()) != 0)
        fail(std::string("backup: ") + what + " failed: " + command);
}

// The entry names of an archive as unzip lists them.
std::vector<std::string> entriesOf(const std::string& archive)
{
    std::vector<std::string> out;
    FILE* p = ::popen(("unzip -Z1 '" + archive + "'").c_str(), "r");
    if (!p)
        fail("backup: cannot run unzip");
    char line[4096];
    while (std::fgets(line, sizeof line, p)) {
        std::string name(line);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        out.push_back(name);
    }
    ::pclose(p);
    return out;
}

} // namespace

void runBackup(const Context& ctx)
{
    const long patients = sized(100000, ctx.quick);
    const long visits = sized(1000000, ctx.quick);
    const std::string data = ctx.folder + "/data";
    fs::create_directories(data);
    makeFolder(data, FolderShape{patients, visits});
    const std::vector<std::string> files = backup::backupFiles(data);
    std::string list;
    uint64_t bytes = 0;
    for (const auto& f : files) {
        list += " " + f;
        bytes += fs::file_size(data + "/" + f);
    }
    const std::string ours = ctx.folder + "/ours.zip", theirs = ctx.folder + "/zip.zip";
    readEverything(data);   // both start from the same warm cache

    double best = 1e9, bestZip = 1e9, lowRatio = 1e9, highRatio = 0;
    for (int round = 0; round < 3; ++round) {
        fs::remove(ours);
        fs::remove(theirs);
        backup::BackupResult r;
        const double t = timeIt([&] { r = backup::backupFolder(data, ours); });
        if (!r.saved())
            fail("backup: " + r.message);
        const double z = timeIt([&] { shell("cd '" + data + "' && zip -q -r -6 '" + theirs + "'" + list, "zip"); });
        best = std::min(best, t);
        bestZip = std::min(bestZip, z);
        lowRatio = std::min(lowRatio, t / z);
        highRatio = std::max(highRatio, t / z);
    }
    shell("unzip -tqq '" + ours + "'", "unzip -t of our archive");
    shell("unzip -tqq '" + theirs + "'", "unzip -t of zip's archive");
    if (entriesOf(ours) != files)
        fail("backup: our archive does not hold exactly the folder's files, in order");
    const double oursBytes = double(fs::file_size(ours)), zipBytes = double(fs::file_size(theirs));
    std::printf("backup ratio=%.3f ours_s=%.3f zip_s=%.3f round_ratios=%.3f..%.3f ours_mb=%.1f zip_mb=%.1f "
                "size_ratio=%.4f data_mb=%.1f files=%zu threads=%d\n",
                best / bestZip, best, bestZip, lowRatio, highRatio, oursBytes / 1e6, zipBytes / 1e6,
                oursBytes / zipBytes, double(bytes) / 1e6, files.size(), backup::archiveThreads());
    std::fflush(stdout);
}

} // namespace cn::bench
