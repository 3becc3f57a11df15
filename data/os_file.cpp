#include "data/os_file.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <thread>
#include <unistd.h>

namespace cn::data {

namespace {
std::string sysError(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

std::atomic<int64_t> spaceLeft{-1};

// How many of the n bytes at offset the pretend disk takes; sets errno when
// it cannot take them all.
size_t roomFor(int fd, uint64_t offset, size_t n)
{
    int64_t left = spaceLeft.load(std::memory_order_relaxed);
    if (left < 0)
        return n;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return n;
    const uint64_t size = static_cast<uint64_t>(st.st_size), end = offset + n;
    const uint64_t growth = end > size ? end - std::max(size, offset) : 0;
    if (growth <= static_cast<uint64_t>(left)) {
        spaceLeft.store(left - static_cast<int64_t>(growth), std::memory_order_relaxed);
        return n;
    }
    spaceLeft.store(0, std::memory_order_relaxed);
    errno = ENOSPC;
    return n - static_cast<size_t>(growth - static_cast<uint64_t>(left));
}
} // namespace

void setSpaceLeftForTesting(int64_t bytes) { spaceLeft.store(bytes, std::memory_order_relaxed); }

OsFile::~OsFile() { close(); }

OsFile::OsFile(OsFile&& o) noexcept : fd_(o.fd_), writable_(o.writable_), path_(std::move(o.path_)) { o.fd_ = -1; }

OsFile& OsFile::operator=(OsFile&& o) noexcept
{
    if (this != &o) {
        close();
        fd_ = o.fd_;
        writable_ = o.writable_;
        path_ = std::move(o.path_);
        o.fd_ = -1;
    }
    return *this;
}

void OsFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

Result<OsFile> OsFile::open(const std::string& path, bool writable)
{
    OsFile f;
    f.fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (f.fd_ < 0)
        return Status::error(errno == ENOENT ? ErrorCode::NotFound : ErrorCode::Io, sysError("Cannot open", path));
    struct stat st {};
    if (::fstat(f.fd_, &st) == 0 && !S_ISREG(st.st_mode))
        return Status::error("Cannot open " + path + ": not a regular file");
    f.writable_ = writable;
    f.path_ = path;
    return f;
}

Result<OsFile> OsFile::create(const std::string& path)
{
    OsFile f;
    f.fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (f.fd_ < 0)
        return Status::error(ErrorCode::Io, sysError("Cannot create", path));
    f.writable_ = true;
    f.path_ = path;
    return f;
}

Result<OsFile> OsFile::openOrCreate(const std::string& path)
{
    OsFile f;
    f.fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (f.fd_ < 0)
        return Status::error(ErrorCode::Io, sysError("Cannot create", path));
    f.writable_ = true;
    f.path_ = path;
    return f;
}

Result<uint64_t> OsFile::size() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return Status::error(ErrorCode::Io, sysError("Cannot read the size of", path_));
    return static_cast<uint64_t>(st.st_size);
}

Result<size_t> OsFile::readSome(uint64_t offset, void* buf, size_t n) const
{
    size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
        ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return Status::error(ErrorCode::Io, sysError("Cannot read", path_));
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    return done;
}

Status OsFile::readAt(uint64_t offset, void* buf, size_t n) const
{
    auto r = readSome(offset, buf, n);
    if (!r)
        return r.status();
    if (*r != n)
        return Status::error(ErrorCode::Damaged, "Unexpected end of file in " + path_ + " at offset " + std::to_string(offset + *r));
    return {};
}

Status OsFile::writeAt(uint64_t offset, const void* buf, size_t n)
{
    const size_t room = roomFor(fd_, offset, n);
    const int roomErrno = errno;
    size_t done = 0;
    const auto* p = static_cast<const char*>(buf);
    while (done < room) {
        ssize_t r = ::pwrite(fd_, p + done, room - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return Status::error(ErrorCode::Io, sysError("Cannot write", path_));
        }
        done += static_cast<size_t>(r);
    }
    if (room < n) {
        errno = roomErrno;
        return Status::error(ErrorCode::Io, sysError("Cannot write", path_));
    }
    return {};
}

Status OsFile::truncate(uint64_t size)
{
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return Status::error(ErrorCode::Io, sysError("Cannot truncate", path_));
    return {};
}

Status OsFile::sync()
{
    if (fd_ >= 0 && writable_ && ::fdatasync(fd_) != 0)
        return Status::error(ErrorCode::Io, sysError("Cannot write to disk", path_));
    return {};
}

namespace {
struct flock makeLock(short type, uint64_t offset, uint64_t length)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;
    return fl;
}
} // namespace

bool OsFile::tryLock(uint64_t offset, uint64_t length, bool exclusive)
{
    auto fl = makeLock(exclusive ? F_WRLCK : F_RDLCK, offset, length);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

Status OsFile::lockWait(uint64_t offset, uint64_t length, bool exclusive)
{
    auto fl = makeLock(exclusive ? F_WRLCK : F_RDLCK, offset, length);
    while (::fcntl(fd_, F_OFD_SETLKW, &fl) != 0) {
        if (errno == EINTR)
            continue;
        return Status::error(ErrorCode::Io, sysError("Cannot lock", path_));
    }
    return {};
}

void OsFile::unlock(uint64_t offset, uint64_t length)
{
    if (fd_ < 0)
        return;
    auto fl = makeLock(F_UNLCK, offset, length);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
    }
}

int64_t coarseNowMs()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace cn::data
