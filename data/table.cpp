#include "data/table.h"

#include <algorithm>
#include <cstring>

namespace cn::data {

Table::~Table() { (void)flush(); }

Status Table::refreshCount()
{
    if (!shared)
        return {};
    return dbf->refresh();
}

const Table::Change* Table::find(uint32_t recNo) const
{
    for (const auto& c : changes_)
        if (c.recNo == recNo)
            return &c;
    return nullptr;
}

Table::Change* Table::find(uint32_t recNo)
{
    return const_cast<Change*>(static_cast<const Table*>(this)->find(recNo));
}

Status Table::read(uint32_t recNo, char* out)
{
    if (const Change* c = find(recNo)) {
        std::copy(c->bytes.begin(), c->bytes.end(), out);
        return {};
    }
    if (recNo > dbf->recordCount())
        if (auto st = dbf->refresh(); !st)
            return st;
    return dbf->read(recNo, out);
}

Status Table::readAhead(uint32_t recNo, char* out)
{
    const uint32_t len = dbf->recordLength();
    if (find(recNo))
        return read(recNo, out);
    if (raCount_ > 0 && raGen_ == gen && recNo >= raFirst_ && recNo - raFirst_ < raCount_ &&
        (!shared || coarseNowMs() - raAtMs_ <= kReadAheadMaxAgeMs)) {
        std::memcpy(out, ra_.data() + static_cast<size_t>(recNo - raFirst_) * len, len);
        return {};
    }
    raCount_ = 0;
    // The block is read from the file, where an exclusive table's new
    // records are not yet.
    if (!shared)
        if (auto st = endChanges(); !st)
            return st;
    if (recNo > dbf->recordCount())
        if (auto st = dbf->refresh(); !st)
            return st;
    if (recNo < 1 || recNo > dbf->recordCount())
        return dbf->read(recNo, out);   // the error naming the record
    const uint32_t want = static_cast<uint32_t>(std::max<size_t>(1, kReadAheadBytes / len));
    const uint32_t n = std::min(want, dbf->recordCount() - recNo + 1);
    ra_.resize(static_cast<size_t>(n) * len);
    if (auto st = dbf->readMany(recNo, n, ra_.data()); !st)
        return st;
    raFirst_ = recNo;
    raCount_ = n;
    raGen_ = gen;
    raAtMs_ = shared ? coarseNowMs() : 0;
    std::memcpy(out, ra_.data(), len);
    return {};
}

// --- the record buffer -------------------------------------------------------

Result<Table::Change*> Table::begin(uint32_t recNo)
{
    if (Change* c = find(recNo))
        return c;
    if (!dbf->damage().empty())
        return Status::error(ErrorCode::Damaged, dbf->damage() + "; it is not written to");
    Change c;
    c.recNo = recNo;
    c.bytes.resize(dbf->recordLength());
    if (auto st = read(recNo, c.bytes.data()); !st)
        return st;
    c.oldKeys.resize(indexes.size());
    for (size_t i = 0; i < indexes.size(); ++i)
        indexes[i]->expr.key(c.bytes.data(), c.oldKeys[i]);
    changes_.push_back(std::move(c));
    return &changes_.back();
}

Status Table::change(uint32_t recNo, const char* bytes)
{
    auto c = begin(recNo);
    if (!c)
        return c.status();
    (*c)->bytes.assign(bytes, dbf->recordLength());
    ++gen;
    return {};
}

Result<uint32_t> Table::writeMemo(uint32_t recNo, std::string_view text, uint32_t oldBlock)
{
    if (!memo)
        return Status::error("The table " + dbf->path() + " has no memo file");
    auto c = begin(recNo);
    if (!c)
        return c.status();
    auto& fresh = (*c)->memoBlocks;
    const bool ours = oldBlock != 0 && std::find(fresh.begin(), fresh.end(), oldBlock) != fresh.end();
    auto block = memo->write(text, ours ? oldBlock : 0, shared);
    if (block && *block != 0 && *block != oldBlock)
        fresh.push_back(*block);
    return block;
}

Result<uint32_t> Table::append(const char* bytes)
{
    // An exclusive table's records reach the file in order.
    if (!shared)
        if (auto st = endChanges(); !st)
            return st;
    auto r = shared ? dbf->append(bytes) : dbf->appendLater();
    if (!r)
        return r;
    Change c;
    c.recNo = *r;
    c.bytes.assign(bytes, dbf->recordLength());
    c.isNew = true;
    changes_.push_back(std::move(c));
    ++gen;
    return r;
}

bool Table::keysMoved(const Change& c)
{
    if (c.isNew)
        return !indexes.empty();
    for (size_t i = 0; i < indexes.size(); ++i) {
        indexes[i]->expr.key(c.bytes.data(), keyBuf_);
        if (i >= c.oldKeys.size() || keyBuf_ != c.oldKeys[i])
            return true;
    }
    return false;
}

Status Table::write(size_t i)
{
    Change& c = changes_[i];
    if (auto st = dbf->write(c.recNo, c.bytes.data()); !st)
        return st;
    // An exclusive table's new records wait in the table file's queue; when
    // it is full it goes to the file, after the memo blocks they point to.
    if (dbf->pendingBytes() >= kWriteBehindBytes)
        if (auto st = flushQueues(); !st)
            return st;
    // The record is on file: from here on its index entries follow it.
    const Change done = std::move(c);
    changes_.erase(changes_.begin() + static_cast<std::ptrdiff_t>(i));
    ++gen;
    Status result;
    for (size_t k = 0; k < indexes.size(); ++k) {
        indexes[k]->expr.key(done.bytes.data(), keyBuf_);
        Status st;
        if (done.isNew)
            st = indexes[k]->file->insert(keyBuf_, done.recNo);
        else if (k < done.oldKeys.size() && done.oldKeys[k] != keyBuf_)
            st = indexes[k]->file->replace(done.oldKeys[k], keyBuf_, done.recNo);
        if (!st && result)
            result = st;
    }
    return result;
}

Status Table::endChange(uint32_t recNo)
{
    for (size_t i = 0; i < changes_.size(); ++i)
        if (changes_[i].recNo == recNo)
            return write(i);
    return {};
}

Status Table::endChanges(bool movedKeysOnly)
{
    Status result;
    // A change that cannot be written stays; the others are still written.
    for (size_t i = 0; i < changes_.size();) {
        if (movedKeysOnly && !keysMoved(changes_[i])) {
            ++i;
            continue;
        }
        const size_t before = changes_.size();
        Status st = write(i);
        if (!st && result)
            result = st;
        if (changes_.size() == before)
            ++i;
    }
    return result;
}

Status Table::flush()
{
    Status result = endChanges();
    if (auto st = flushFiles(); !st && result)
        result = st;
    return result;
}

Status Table::flushFiles()
{
    Status result;
    // The count only after the records it covers, and the records only after
    // the memo blocks they point to.
    if (!shared)
        result = endChanges();
    Status memoWritten;
    if (memo)
        memoWritten = memo->flush();
    if (!memoWritten && result)
        result = memoWritten;
    if (memoWritten)
        if (auto st = dbf->flushCount(); !st && result)
            result = st;
    for (auto& ix : indexes)
        if (auto st = ix->file->flush(); !st && result)
            result = st;
    return result;
}

Status Table::flushQueues()
{
    if (memo)
        if (auto st = memo->flushPending(); !st)
            return st;
    return dbf->flushPending();
}

Status Table::syncDisk()
{
    if (dbf->writable())
        if (auto st = dbf->sync(); !st)
            return st;
    if (memo)
        if (auto st = memo->sync(); !st)
            return st;
    for (auto& ix : indexes)
        if (auto st = ix->file->sync(); !st)
            return st;
    return {};
}

Status Table::sync()
{
    if (auto st = flush(); !st)
        return st;
    return syncDisk();
}

Status Table::syncFiles()
{
    if (auto st = flushFiles(); !st)
        return st;
    return syncDisk();
}

Status Table::attach(const std::shared_ptr<IndexObj>& index)
{
    // Each change remembers the keys of the indexes it began with.
    if (auto st = endChanges(); !st)
        return st;
    index->file->setShared(shared);
    indexes.push_back(index);
    return {};
}

Status Table::detach(IndexObj* index)
{
    auto st = endChanges();
    auto it = std::find_if(indexes.begin(), indexes.end(), [&](const auto& p) { return p.get() == index; });
    if (it != indexes.end()) {
        if (auto fs = (*it)->file->flush(); !fs && st)
            st = fs;
        indexes.erase(it);
    }
    return st;
}

} // namespace cn::data
