#include "data/memo_file.h"
#include "data/bytes.h"

#include <algorithm>
#include <ctime>
#include <cstring>

namespace cn::data {

namespace {
// Memos longer than this are refused as damage rather than read into memory.
constexpr uint64_t kMaxMemo = 64ull * 1024 * 1024;
} // namespace

Status MemoFile::create(const std::string& path)
{
    auto f = OsFile::create(path);
    if (!f)
        return f.status();
    unsigned char h[kMemoBlockSize] = {};
    put32(h, 1);
    h[16] = 0x03;
    if (auto st = f->writeAt(0, h, sizeof h); !st)
        return st;
    return f->sync();
}

Result<std::unique_ptr<MemoFile>> MemoFile::open(const std::string& path, bool writable)
{
    auto f = OsFile::open(path, writable);
    if (!f)
        return f.status();
    std::unique_ptr<MemoFile> m(new MemoFile);
    m->file_ = std::move(*f);
    auto size = m->file_.size();
    if (!size)
        return size.status();
    if (*size < 4)
        return Status::error(ErrorCode::Damaged, "The memo file " + path + " is damaged: it is shorter than its header");
    return m;
}

Result<std::string> MemoFile::read(uint32_t block) const
{
    // Reads are bounded by what the file returns, so the file size is not
    // asked for on every memo (a table scan reads one memo per record). The
    // first read covers two blocks, which holds most memos whole; longer ones
    // continue in larger steps.
    auto beyond = [&] {
        return Status::error(ErrorCode::Damaged, "The memo file " + path() + " is damaged: a record points to block " +
                             std::to_string(block) + ", beyond the end of the file");
    };
    if (block == 0)
        return beyond();
    if (const std::string_view q = queued(block); !q.empty()) {
        const size_t end = q.find('\x1A');
        return std::string(q.substr(0, end));
    }
    std::string out;
    char buf[8192];
    uint64_t pos = static_cast<uint64_t>(block) * kMemoBlockSize;
    size_t want = 2 * kMemoBlockSize;
    for (bool first = true;; first = false) {
        auto got = file_.readSome(pos, buf, want);
        if (!got)
            return got.status();
        if (*got == 0) {
            if (first)
                return beyond();
            break;
        }
        const char* end = static_cast<const char*>(std::memchr(buf, 0x1A, *got));
        if (end) {
            out.append(buf, static_cast<size_t>(end - buf));
            return out;
        }
        out.append(buf, *got);
        pos += *got;
        want = sizeof buf;
        if (out.size() > kMaxMemo)
            return Status::error(ErrorCode::Damaged, "The memo file " + path() + " is damaged: the memo at block " +
                                 std::to_string(block) + " has no end");
    }
    return out;   // no terminator before the end of the file: take what is there
}

Result<std::string> MemoFile::readAhead(uint32_t block, int64_t maxAgeMs) const
{
    const uint64_t pos = static_cast<uint64_t>(block) * kMemoBlockSize;
    auto fromBlock = [&]() -> const char* {
        if (block == 0 || pos < raPos_ || pos >= raPos_ + raLen_)
            return nullptr;
        const char* at = ra_.data() + (pos - raPos_);
        return static_cast<const char*>(std::memchr(at, 0x1A, raLen_ - (pos - raPos_)));
    };
    const bool current = raLen_ > 0 && (maxAgeMs < 0 || coarseNowMs() - raAtMs_ <= maxAgeMs);
    if (const char* end = current ? fromBlock() : nullptr)
        return std::string(static_cast<const char*>(ra_.data()) + (pos - raPos_), end);
    raLen_ = 0;
    if (block == 0 || !queued(block).empty())
        return read(block);
    ra_.resize(kReadAheadBytes);
    auto got = file_.readSome(pos, ra_.data(), ra_.size());
    if (!got)
        return got.status();
    raPos_ = pos;
    raLen_ = *got;
    raAtMs_ = maxAgeMs < 0 ? 0 : coarseNowMs();
    if (const char* end = fromBlock())
        return std::string(static_cast<const char*>(ra_.data()), end);
    return read(block);   // longer than the block, or running to the end of the file
}

Result<uint32_t> MemoFile::nextFreeBlock() const
{
    unsigned char h[4];
    if (auto st = file_.readAt(0, h, 4); !st)
        return st;
    auto size = file_.size();
    if (!size)
        return size.status();
    const uint64_t bySize = (*size + kMemoBlockSize - 1) / kMemoBlockSize;
    // Never trust a header pointing inside the used blocks; never leave a gap past a sane end.
    uint64_t next = std::max<uint64_t>(bySize, 1);
    if (uint64_t h32 = get32(h); h32 > next && h32 <= bySize + 1)
        next = h32;
    if (next > UINT32_MAX)
        return Status::error("The memo file " + path() + " is full");
    return static_cast<uint32_t>(next);
}

Result<uint32_t> MemoFile::blocksUsed(uint32_t block) const
{
    auto text = read(block);
    if (!text)
        return text.status();
    return static_cast<uint32_t>((text->size() + 2 + kMemoBlockSize - 1) / kMemoBlockSize);
}

Result<uint32_t> MemoFile::write(std::string_view text, uint32_t oldBlock, bool shared)
{
    if (text.find('\x1A') != std::string_view::npos)
        return Status::error("A memo for " + path() + " may not contain the character 0x1A");
    dropReadAhead();
    if (text.empty())
        return 0u;
    const uint64_t need = (text.size() + 2 + kMemoBlockSize - 1) / kMemoBlockSize;
    std::string buf(need * kMemoBlockSize, '\0');
    std::memcpy(buf.data(), text.data(), text.size());
    buf[text.size()] = 0x1A;
    buf[text.size() + 1] = 0x1A;
    if (oldBlock != 0) {
        // Reuse the old blocks when the new text fits in them. Only the owner
        // of the (locked) record writes its memo, so no other writer is here.
        auto used = blocksUsed(oldBlock);
        if (used && *used >= need) {
            if (queued(oldBlock).size() >= text.size() + 2) {
                std::memcpy(pending_.data() + static_cast<size_t>(oldBlock - pendingBlock_) * kMemoBlockSize,
                            buf.data(), text.size() + 2);
                return oldBlock;
            }
            if (auto st = file_.writeAt(static_cast<uint64_t>(oldBlock) * kMemoBlockSize, buf.data(),
                                        text.size() + 2);
                !st)
                return st;
            return oldBlock;
        }
    }
    ScopedLock lock;
    if (shared) {
        nextFree_ = 0;
        if (auto st = file_.lockWait(updateLockOffset(), 1, true); !st)
            return st;
        lock.adopt(&file_, updateLockOffset(), 1);
    }
    const uint32_t queueEnd =
        pending_.empty() ? 0 : pendingBlock_ + static_cast<uint32_t>(pending_.size() / kMemoBlockSize);
    uint32_t block = nextFree_;
    if (block == 0 && queueEnd != 0) {
        block = queueEnd;
    } else if (block == 0) {
        auto next = nextFreeBlock();
        if (!next)
            return next.status();
        block = *next;
    }
    if (static_cast<uint64_t>(block) + need > UINT32_MAX)
        return Status::error("The memo file " + path() + " is full");
    if (!shared) {
        // Queued behind the blocks before it (which go first when it does not follow them).
        if (queueEnd != 0 && block != queueEnd)
            if (auto st = flushPending(); !st)
                return st;
        if (pending_.empty())
            pendingBlock_ = block;
        pending_ += buf;
        nextFree_ = static_cast<uint32_t>(block + need);
        headerBehind_ = true;
        if (pending_.size() >= kWriteBehindBytes)
            if (auto st = flushPending(); !st)
                return st;
        return block;
    }
    if (auto st = file_.writeAt(static_cast<uint64_t>(block) * kMemoBlockSize, buf.data(), buf.size()); !st) {
        nextFree_ = 0;
        return st;
    }
    unsigned char h[4];
    put32(h, static_cast<uint32_t>(block + need));
    if (auto st = file_.writeAt(0, h, 4); !st)
        return st;
    return block;
}

Status MemoFile::flushPending()
{
    if (pending_.empty())
        return {};
    if (auto st = file_.writeAt(static_cast<uint64_t>(pendingBlock_) * kMemoBlockSize, pending_.data(),
                                pending_.size());
        !st)
        return st;
    pending_.clear();
    return {};
}

Status MemoFile::flush()
{
    if (auto st = flushPending(); !st)
        return st;
    if (!headerBehind_)
        return {};
    unsigned char h[4];
    put32(h, nextFree_);
    if (auto st = file_.writeAt(0, h, 4); !st)
        return st;
    headerBehind_ = false;
    return {};
}

Status MemoFile::sync()
{
    if (auto st = flush(); !st)
        return st;
    return file_.sync();
}

} // namespace cn::data
