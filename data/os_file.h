#pragma once
// A file descriptor owned by RAII, with whole-buffer positioned reads and
// writes, and the byte-range locks the engine shares with other programs.
//
// Locks are open-file-description locks (F_OFD_SETLK, l_pid = 0): they belong
// to this open of the file, not to the process, so closing another descriptor
// of the same file never drops them and two opens in one process exclude each
// other exactly as two processes would.
#include "data/status.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace cn::data {

// Conventional lock offsets, beyond any real data so that readers are not hindered.
constexpr uint64_t kLockBase = 1000000000ULL;          // record n is locked at kLockBase + n
constexpr uint64_t kFileLockLength = 1000000000ULL;    // the file lock covers [kLockBase, 2*kLockBase)
// Held (shared by shared opens, exclusively by an exclusive open) for as long
// as a work area has the table open; past the file lock range so that it never
// meets a record or file lock.
constexpr uint64_t kOpenLockOffset = 2100000000ULL;

class OsFile {
public:
    OsFile() = default;
    ~OsFile();
    OsFile(OsFile&& other) noexcept;
    OsFile& operator=(OsFile&& other) noexcept;
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;

    // Opens an existing file; writable asks for read and write access.
    static Result<OsFile> open(const std::string& path, bool writable);
    // Creates (or truncates) a file for writing.
    static Result<OsFile> create(const std::string& path);
    // Opens a file for writing, creating it empty when it does not exist;
    // what it holds is kept (so that it can be locked before it is changed).
    static Result<OsFile> openOrCreate(const std::string& path);

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool writable() const { return writable_; }
    const std::string& path() const { return path_; }
    void close();

    Result<uint64_t> size() const;
    // Reads exactly n bytes at offset; fails at end of file.
    Status readAt(uint64_t offset, void* buf, size_t n) const;
    // Reads up to n bytes at offset; returns how many were read.
    Result<size_t> readSome(uint64_t offset, void* buf, size_t n) const;
    Status writeAt(uint64_t offset, const void* buf, size_t n);
    Status truncate(uint64_t size);
    Status sync();

    // Byte-range locks on this open file description. tryLock does not wait;
    // lockWait waits (use only for short-held locks such as the update locks).
    bool tryLock(uint64_t offset, uint64_t length, bool exclusive);
    Status lockWait(uint64_t offset, uint64_t length, bool exclusive);
    void unlock(uint64_t offset, uint64_t length);

private:
    int fd_ = -1;
    bool writable_ = false;
    std::string path_;
};

// A short-held exclusive lock released on scope exit.
class ScopedLock {
public:
    ScopedLock() = default;
    ScopedLock(OsFile* file, uint64_t offset, uint64_t length) : file_(file), offset_(offset), length_(length) {}
    ~ScopedLock() { release(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;
    void adopt(OsFile* file, uint64_t offset, uint64_t length)
    {
        release();
        file_ = file;
        offset_ = offset;
        length_ = length;
    }
    void release()
    {
        if (file_)
            file_->unlock(offset_, length_);
        file_ = nullptr;
    }

private:
    OsFile* file_ = nullptr;
    uint64_t offset_ = 0, length_ = 0;
};

// Test seam for a full disk. With n >= 0, files of this process may grow by
// n bytes more in all; a write that would grow one further writes what fits
// and fails as the system does on a full disk ("No space left on device").
// -1 (the default) turns it off. Writes within a file's size always succeed.
void setSpaceLeftForTesting(int64_t bytes);

// A coarse monotonic clock in milliseconds: a few milliseconds of resolution
// is plenty for cache age limits, and it is cheap enough to read per record.
int64_t coarseNowMs();

} // namespace cn::data
