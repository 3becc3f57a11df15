#include "data/restore_staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace cn::data {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kJob = "restore.job";
constexpr std::string_view kNew = "new";
constexpr std::string_view kOld = "old";
constexpr std::string_view kJobHeader = "CURANOTE RESTORE\n";
constexpr std::string_view kReady = "READY\n";

void syncDir(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

std::string join(const std::string& folder, std::string_view name) { return folder + "/" + std::string(name); }

Status renameFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return Status::error(ErrorCode::Io, "Cannot move " + from + " to " + to + ": " + std::strerror(errno));
    return Status::ok();
}

// The plain files of a folder, sorted so that a recovery repeats a move in
// the same order.
std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            out.push_back(it->path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

void removeTree(const std::string& path)
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string jobText(const OsFile& job)
{
    auto size = job.size();
    std::string text(size ? static_cast<size_t>(std::min<uint64_t>(*size, 4096)) : 0, '\0');
    if (!text.empty() && !job.readAt(0, text.data(), text.size()))
        text.clear();
    return text;
}

// Moves every file still staged into the data folder (a READY restore that
// was interrupted).
Status rollForward(const std::string& dataFolder, const std::string& staging)
{
    const std::string from = join(staging, kNew);
    for (const auto& name : filesIn(from))
        if (auto s = renameFile(join(from, name), join(dataFolder, name)); !s)
            return s;
    syncDir(dataFolder);
    return Status::ok();
}

} // namespace

Result<RestoreStaging> RestoreStaging::create(const std::string& dataFolder)
{
    RestoreStaging st;
    st.dataFolder_ = dataFolder;
    std::string pattern = join(dataFolder, std::string(kRestoreStagingPrefix) + "XXXXXX");
    if (!::mkdtemp(pattern.data()))
        return Status::error(ErrorCode::Io, "Cannot make a staging folder in " + dataFolder + ": " + std::strerror(errno));
    st.folder_ = pattern;
    for (std::string_view sub : {kNew, kOld}) {
        if (::mkdir(join(st.folder_, sub).c_str(), 0700) != 0) {
            const Status s = Status::error(ErrorCode::Io, "Cannot make " + join(st.folder_, sub) + ": " + std::strerror(errno));
            removeTree(st.folder_);
            return s;
        }
    }
    auto job = OsFile::create(join(st.folder_, kJob));
    if (!job || !job->tryLock(0, 1, true)) {
        removeTree(st.folder_);
        return job ? Status::error(ErrorCode::Io, "Cannot lock the journal of " + st.folder_) : job.status();
    }
    st.job_ = std::move(*job);
    if (auto s = st.job_.writeAt(0, kJobHeader.data(), kJobHeader.size()); !s) {
        st.discard();
        return s;
    }
    return st;
}

RestoreStaging::RestoreStaging(RestoreStaging&& other) noexcept
    : dataFolder_(std::move(other.dataFolder_)), folder_(std::move(other.folder_)), job_(std::move(other.job_)),
      ready_(other.ready_), keep_(other.keep_), moved_(std::move(other.moved_))
{
    other.folder_.clear();
}

RestoreStaging::~RestoreStaging()
{
    // A move that could not be undone leaves the journal READY and the
    // staging folder for the next start to finish.
    if (!folder_.empty() && !keep_)
        discard();
}

void RestoreStaging::discard()
{
    job_.close();
    removeTree(folder_);
    syncDir(dataFolder_);
    folder_.clear();
}

std::string RestoreStaging::stagedPath(std::string_view name) const { return join(join(folder_, kNew), name); }

std::string RestoreStaging::targetName(std::string_view name) const
{
    for (const auto& existing : filesIn(dataFolder_))
        if (sameNameIgnoringCase(existing, name))
            return existing;
    return std::string(name);
}

Status RestoreStaging::ready()
{
    const std::string staged = join(folder_, kNew);
    for (const auto& name : filesIn(staged)) {
        auto f = OsFile::open(join(staged, name), false);
        if (!f)
            return f.status();
        if (auto s = f->sync(); !s)
            return s;
    }
    syncDir(staged);
    if (auto s = job_.writeAt(kJobHeader.size(), kReady.data(), kReady.size()); !s)
        return s;
    if (auto s = job_.sync(); !s)
        return s;
    syncDir(folder_);
    ready_ = true;
    return Status::ok();
}

Status RestoreStaging::moveIntoPlace()
{
    if (!ready_)
        return Status::error("The restore's files are not all staged yet");
    const std::string staged = join(folder_, kNew), aside = join(folder_, kOld);
    struct Step {
        std::string name;
        bool replaced = false;
    };
    std::vector<Step> steps;
    Status failure;
    for (const auto& name : filesIn(staged)) {
        const std::string target = join(dataFolder_, name);
        Step step{name};
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0) {
            if (Status s = renameFile(target, join(aside, name)); !s) {
                failure = s;
                break;
            }
            step.replaced = true;
        }
        steps.push_back(step);
        if (Status s = renameFile(join(staged, name), target); !s) {
            failure = s;
            break;
        }
    }
    if (failure.isOk()) {
        syncDir(dataFolder_);
        for (const auto& s : steps)
            moved_.push_back(s.name);
        return Status::ok();
    }
    // Undone newest first. The journal still says READY meanwhile, so a crash
    // here leaves a restore the next start finishes rather than half of one.
    bool undone = true;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        const std::string target = join(dataFolder_, it->name);
        struct stat st {};
        if (::lstat(join(staged, it->name).c_str(), &st) != 0)
            undone = renameFile(target, join(staged, it->name)).isOk() && undone;
        if (it->replaced)
            undone = renameFile(join(aside, it->name), target).isOk() && undone;
    }
    syncDir(dataFolder_);
    if (!undone) {
        keep_ = true;
        return failure.withMessage(failure.message() +
                                   "; the files already moved could not all be put back, so the restore is "
                                   "finished at the next start");
    }
    ready_ = false;
    return failure;
}

RestoreRecovery recoverRestores(const std::string& dataFolder)
{
    RestoreRecovery r;
    std::error_code ec;
    std::vector<std::string> stagings;
    for (fs::directory_iterator it(dataFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kRestoreStagingPrefix, 0) == 0 && it->is_directory(ec) && !it->is_symlink(ec))
            stagings.push_back(join(dataFolder, name));
    }
    for (const auto& staging : stagings) {
        const std::string jobPath = join(staging, kJob);
        auto job = OsFile::open(jobPath, true);
        if (job && !job->tryLock(0, 1, true))
            continue;   // that restore is running now
        const bool ready = job && jobText(*job).find(kReady) != std::string::npos;
        if (ready) {
            if (auto s = rollForward(dataFolder, staging); !s) {
                r.notices.push_back("A restore that was interrupted could not be finished: " + s.message());
                continue;
            }
            r.done.push_back("finished the interrupted restore staged in " + staging);
            r.notices.push_back("A restore that was interrupted has been finished: every file of its archive is "
                                "now in place.");
        } else {
            r.done.push_back("removed the staging folder " + staging + " of a restore that had not begun to replace a file");
        }
        if (job)
            job->close();
        removeTree(staging);
        syncDir(dataFolder);
    }
    return r;
}

} // namespace cn::data
