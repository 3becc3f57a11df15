// Record and file locks of a work area (RLOCK, FLOCK, DBUNLOCK). Each area
// locks through its own open of the table file, so two areas of this process
// exclude each other exactly as two programs would.
#include "data/area.h"

namespace cn::data {

void Area::releaseRecordLocks(uint32_t keep)
{
    for (auto it = locks_.begin(); it != locks_.end();) {
        if (*it != keep) {
            lockFile_.unlock(kLockBase + *it, 1);
            it = locks_.erase(it);
        } else {
            ++it;
        }
    }
}

bool Area::rlock()
{
    if (eof_)
        return false;
    if (!mode_.shared)
        return true;
    // The change of a record this area is about to let go of is written
    // while its lock is still held.
    if (auto st = finishChange(); !st) {
        fail(st);
        return false;
    }
    t_->dropReadAhead();
    releaseRecordLocks(rec_);
    if (!fileLocked_ && !locks_.count(rec_)) {
        if (!lockFile_.tryLock(kLockBase + rec_, 1, true))
            return false;
        locks_.insert(rec_);
    }
    load(rec_);   // what the last holder wrote
    return true;
}

bool Area::flock()
{
    if (!mode_.shared)
        return true;
    if (!fileLocked_) {
        if (!lockFile_.tryLock(kLockBase, kFileLockLength, true))
            return false;
        fileLocked_ = true;
    }
    t_->dropReadAhead();
    if (!eof_)
        load(rec_);
    return true;
}

void Area::unlock()
{
    // A change that cannot be written keeps its lock, so that nobody else
    // changes the record before it is written.
    if (auto st = finishChange(); !st) {
        fail(st);
        return;
    }
    if (!mode_.shared) {
        fail(t_->flush());
        return;
    }
    if (fileLocked_ || !locks_.empty())
        lockFile_.unlock(kLockBase, kFileLockLength);
    locks_.clear();
    fileLocked_ = false;
}

} // namespace cn::data
