#pragma once
// The memo file (.dbt, dBASE III): 512-byte blocks; block 0 is the header
// holding the next free block; a memo starts on a block boundary and ends with
// 0x1A 0x1A. Block numbers and lengths are checked against the file size.
#include "data/os_file.h"
#include "data/status.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace cn::data {

constexpr uint32_t kMemoBlockSize = 512;

class MemoFile {
public:
    ~MemoFile() { (void)flush(); }
    static Result<std::unique_ptr<MemoFile>> open(const std::string& path, bool writable);
    static Status create(const std::string& path);

    const std::string& path() const { return file_.path(); }

    // The memo at block (>= 1), up to its terminator or the end of the file.
    // A block beyond the file is an error naming the file.
    Result<std::string> read(uint32_t block) const;
    // The same for a walk in record order, where the memos follow one another
    // in the file: they are served from one read of kReadAheadBytes while the
    // block is current. Any write through this file drops the block; so does
    // an age above maxAgeMs (negative: no limit, for a file no one else writes).
    Result<std::string> readAhead(uint32_t block, int64_t maxAgeMs) const;
    void dropReadAhead() const { raLen_ = 0; }
    static constexpr size_t kReadAheadBytes = 64 * 1024;

    // Stores text and returns its first block. When oldBlock names a memo whose
    // blocks can hold the new text with its terminator, they are reused;
    // otherwise the text goes at the end of the file. Text containing 0x1A is
    // refused (readers stop at it). Empty text returns 0 (no memo).
    // shared: take the memo update lock while choosing the new blocks.
    Result<uint32_t> write(std::string_view text, uint32_t oldBlock, bool shared);

    // An exclusive writer queues the blocks it adds at the end of the file
    // (reads see them there) and writes them together: when the queue holds
    // kWriteBehindBytes, at flushPending() and at flush().
    static constexpr size_t kWriteBehindBytes = 1 << 20;
    Status flushPending();
    // Writes the queued blocks and the next-free-block header an exclusive
    // writer keeps in memory.
    Status flush();
    Status sync();

    // Offset of the update lock held while allocating blocks in a shared file.
    static constexpr uint64_t updateLockOffset() { return kLockBase; }

private:
    MemoFile() = default;
    Result<uint32_t> nextFreeBlock() const;
    Result<uint32_t> blocksUsed(uint32_t block) const;   // whole blocks of the memo, terminator included

    OsFile file_;
    // Exclusive writes: the next free block once known, and whether the
    // header still has to be told. A stale header is harmless (the file size
    // bounds it), so a crash before flush loses nothing committed.
    uint32_t nextFree_ = 0;
    bool headerBehind_ = false;
    // Blocks pendingBlock_ onwards, not yet on file (exclusive writes).
    std::string pending_;
    uint32_t pendingBlock_ = 0;
    // The queued bytes from block on, or nullptr when it is not queued.
    std::string_view queued(uint32_t block) const
    {
        if (pending_.empty() || block < pendingBlock_)
            return {};
        const uint64_t at = static_cast<uint64_t>(block - pendingBlock_) * kMemoBlockSize;
        return at < pending_.size() ? std::string_view(pending_).substr(at) : std::string_view();
    }
    mutable std::string ra_;       // the file's bytes raPos_ .. raPos_ + raLen_ - 1
    mutable uint64_t raPos_ = 0;
    mutable size_t raLen_ = 0;
    mutable int64_t raAtMs_ = 0;   // when they were read (steady clock)
};

} // namespace cn::data
