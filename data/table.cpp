#include "data/table.h"

#include <algorithm>
#include <ctime>
#include <cstring>

namespace cn::data {

Table::~Table() { (void)flush(); }

Status Table::refreshCount()
{
    if (!shared)
        return {};
    return dbf->refresh();
}

Status Table::read(uint32_t recNo, char* out)
{
    if (recNo == slotRec_ && !slot_.empty() && (slotDirty_ || !shared)) {
        std::copy(slot_.begin(), slot_.end(), out);
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
    if (slotDirty_ && recNo == slotRec_)
        return read(recNo, out);
    if (raCount_ > 0 && raGen_ == gen && recNo >= raFirst_ && recNo - raFirst_ < raCount_ &&
        (!shared || coarseNowMs() - raAtMs_ <= kReadAheadMaxAgeMs)) {
        std::memcpy(out, ra_.data() + static_cast<size_t>(recNo - raFirst_) * len, len);
        return {};
    }
    raCount_ = 0;
    if (auto st = flushSlot(); !st)   // the block is read from the file
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

Status Table::flushSlot()
{
    if (!slotDirty_)
        return {};
    slotDirty_ = false;
    return dbf->write(slotRec_, slot_.data());
}

Status Table::write(uint32_t recNo, const char* bytes)
{
    if (!dbf->damage().empty())
        return Status::error(ErrorCode::Damaged, dbf->damage() + "; it is not written to");
    if (pendingRec_ != recNo) {
        if (auto st = syncKeys(); !st)
            return st;
        tmp_.resize(dbf->recordLength());
        if (auto st = read(recNo, tmp_.data()); !st)
            return st;
        pendingOld_.resize(indexes.size());
        for (size_t i = 0; i < indexes.size(); ++i)
            indexes[i]->expr.key(tmp_.data(), pendingOld_[i]);
        pendingRec_ = recNo;
        pendingNew_ = false;
    }
    if (slotRec_ != recNo)
        if (auto st = flushSlot(); !st)
            return st;
    slotRec_ = recNo;
    slot_.assign(bytes, dbf->recordLength());
    slotDirty_ = true;
    ++gen;
    if (shared) {
        if (auto st = flushSlot(); !st)
            return st;
        return syncKeys();
    }
    return {};
}

Result<uint32_t> Table::append(const char* bytes)
{
    if (auto st = syncKeys(); !st)
        return st;
    if (auto st = flushSlot(); !st)
        return st;
    // An exclusive table writes the new record with its slot and the count on
    // flush; a shared one at once, for other processes to see.
    auto r = shared ? dbf->append(bytes) : dbf->appendLater();
    if (!r)
        return r;
    slotRec_ = *r;
    slot_.assign(bytes, dbf->recordLength());
    slotDirty_ = !shared;
    pendingRec_ = *r;
    pendingNew_ = true;
    ++gen;
    if (shared)
        if (auto st = syncKeys(); !st)
            return st;
    return r;
}

Status Table::syncKeys()
{
    if (pendingRec_ == 0)
        return {};
    const uint32_t rec = pendingRec_;
    const bool isNew = pendingNew_;
    pendingRec_ = 0;
    tmp_.resize(dbf->recordLength());
    if (auto st = read(rec, tmp_.data()); !st)
        return st;
    Status result;
    for (size_t i = 0; i < indexes.size(); ++i) {
        indexes[i]->expr.key(tmp_.data(), keyBuf_);
        Status st;
        if (isNew)
            st = indexes[i]->file->insert(keyBuf_, rec);
        else if (i < pendingOld_.size() && pendingOld_[i] != keyBuf_)
            st = indexes[i]->file->replace(pendingOld_[i], keyBuf_, rec);
        if (!st && result)
            result = st;
    }
    ++gen;
    return result;
}

Status Table::flush()
{
    Status result = syncKeys();
    if (auto st = flushSlot(); !st && result)
        result = st;
    // The count only after the records it covers.
    if (auto st = dbf->flushCount(); !st && result)
        result = st;
    if (memo)
        if (auto st = memo->flush(); !st && result)
            result = st;
    for (auto& ix : indexes)
        if (auto st = ix->file->flush(); !st && result)
            result = st;
    return result;
}

Status Table::sync()
{
    if (auto st = flush(); !st)
        return st;
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

Status Table::attach(const std::shared_ptr<IndexObj>& index)
{
    if (auto st = syncKeys(); !st)
        return st;
    index->file->setShared(shared);
    indexes.push_back(index);
    return {};
}

Status Table::detach(IndexObj* index)
{
    auto st = syncKeys();
    auto it = std::find_if(indexes.begin(), indexes.end(), [&](const auto& p) { return p.get() == index; });
    if (it != indexes.end()) {
        if (auto fs = (*it)->file->flush(); !fs && st)
            st = fs;
        indexes.erase(it);
    }
    return st;
}

} // namespace cn::data
