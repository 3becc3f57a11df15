// The current record of a work area: its buffer, field reads and writes, and
// the change the area makes to it, which the table's record buffer holds until
// the change ends.
#include "data/area.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace cn::data {

namespace {

Status fieldError(const std::string& alias, std::string_view field, const std::string& what,
                  ErrorCode code = ErrorCode::Other)
{
    return Status::error(code, "Field " + std::string(field) + " of " + alias + ": " + what);
}

// Waits a little for a short-held lock, never forever: the holder may be
// another area of this very thread.
bool lockWithRetry(OsFile& f, uint64_t offset, uint64_t length)
{
    for (int i = 0; i < 200; ++i) {
        if (f.tryLock(offset, length, true))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

Area::Area(Workspace::Impl* ws, std::string alias, std::string path, OpenMode mode, std::shared_ptr<Table> t,
           OsFile lockFile, int number)
    : ws_(ws), alias_(std::move(alias)), path_(std::move(path)), mode_(mode), t_(std::move(t)),
      lockFile_(std::move(lockFile)), number_(number)
{
    buf_.assign(t_->dbf->recordLength(), ' ');
    scopes_.resize(1);
    setEof();
}

FieldDef Area::fieldInfo(int pos) const
{
    const auto& f = t_->dbf->fields();
    if (pos < 1 || static_cast<size_t>(pos) > f.size())
        return {};
    return f[static_cast<size_t>(pos) - 1].def;
}

// --- the buffer ------------------------------------------------------------------

bool Area::load(uint32_t r, bool ahead)
{
    buf_.resize(t_->dbf->recordLength());
    Status st = ahead ? t_->readAhead(r, buf_.data()) : t_->read(r, buf_.data());
    bufAhead_ = ahead;
    if (!st) {
        fail(st);
        std::fill(buf_.begin(), buf_.end(), ' ');
        bufRec_ = 0;
        return false;
    }
    bufRec_ = r;
    bufGen_ = t_->gen;
    return true;
}

void Area::setEof()
{
    eof_ = true;
    rec_ = 0;
    bufRec_ = 0;
    std::fill(buf_.begin(), buf_.end(), ' ');
}

// --- reading fields ------------------------------------------------------------------

bool Area::deleted() const
{
    const_cast<Area*>(this)->ensure();
    return !eof_ && buf_[0] == kRecordDeleted;
}

std::string Area::raw(std::string_view field) const
{
    const FieldLayout* f = layout(field);
    if (!f)
        return {};
    const_cast<Area*>(this)->ensure();
    return std::string(buf_.data() + f->offset, static_cast<size_t>(f->def.width));
}

double Area::num(std::string_view field) const
{
    const FieldLayout* f = layout(field);
    if (!f)
        return 0.0;
    const_cast<Area*>(this)->ensure();
    return decodeNumeric(std::string_view(buf_.data() + f->offset, static_cast<size_t>(f->def.width)));
}

bool Area::logical(std::string_view field) const
{
    std::string r = raw(field);
    return !r.empty() && decodeLogical(r[0]);
}

std::string Area::memo(std::string_view field) const
{
    auto r = readMemo(field);
    return r ? std::move(*r) : std::string();
}

Result<std::string> Area::readMemo(std::string_view field) const
{
    const FieldLayout* f = layout(field);
    if (!f || f->def.type != 'M')
        return Status::error("Field " + std::string(field) + " of " + alias_ + " is not a memo field");
    const_cast<Area*>(this)->ensure();
    if (eof_)
        return std::string();
    auto block = decodeMemoBlock(std::string_view(buf_.data() + f->offset, 10));
    if (!block)
        return std::string();
    if (!t_->memo)
        return Status::error("The table " + path_ + " has no memo file");
    return bufAhead_ ? t_->readMemoAhead(*block) : t_->memo->read(*block);
}

// --- changing the record ----------------------------------------------------------------

Status Area::finishChange()
{
    if (changed_ == 0)
        return {};
    Status st = t_->endChange(changed_);
    if (!t_->changing(changed_))
        changed_ = 0;   // written, even when an index entry failed
    return st;
}

Status Area::checkWritable(const char* what)
{
    if (mode_.readOnly)
        return Status::error("Cannot " + std::string(what) + ": " + alias_ + " is open read-only");
    if (!t_->dbf->writable())
        return Status::error("Cannot " + std::string(what) + ": " + path_ + " cannot be written");
    if (!t_->dbf->damage().empty())
        return Status::error(ErrorCode::Damaged, t_->dbf->damage() + "; it is not written to");
    if (eof_)
        return Status::error("Cannot " + std::string(what) + ": " + alias_ + " has no current record");
    if (!isLocked(rec_))
        return Status::error("Cannot " + std::string(what) + ": record " + std::to_string(rec_) + " of " + alias_ +
                             " is not locked");
    return {};
}

Status Area::writeRecord(std::string&& bytes)
{
    ensure();
    buf_ = std::move(bytes);
    return changeBuffer();
}

Status Area::changeBuffer()
{
    if (changed_ != 0 && changed_ != rec_)
        if (auto st = finishChange(); !st) {
            bufRec_ = 0;   // read again: the buffer holds what was refused
            return st;
        }
    if (auto st = t_->change(rec_, buf_.data()); !st) {
        bufRec_ = 0;
        return st;
    }
    changed_ = rec_;
    bufRec_ = rec_;
    bufGen_ = t_->gen;
    return {};
}

Status Area::writeField(const FieldLayout& f, const char* bytes)
{
    ensure();
    std::memcpy(buf_.data() + f.offset, bytes, static_cast<size_t>(f.def.width));
    return changeBuffer();
}

Status Area::setFlag(char flag)
{
    if (auto st = checkWritable(flag == kRecordDeleted ? "delete" : "recall"); !st)
        return st;
    ensure();
    if (buf_[0] == flag)
        return {};
    buf_[0] = flag;
    return changeBuffer();
}

Result<const FieldLayout*> Area::fieldToChange(const FieldLayout* f, std::string_view field, char type,
                                               const char* kind)
{
    if (!f)
        return fieldError(alias_, field, "no such field");
    if (f->def.type != type)
        return fieldError(alias_, field, std::string("not a ") + kind + " field");
    if (auto st = checkWritable(type == 'M' ? "change a memo" : "change a field"); !st)
        return st;
    return f;
}

Status Area::setStr(std::string_view field, std::string_view value)
{
    const FieldLayout* layoutOf = layout(field);
    if (layoutOf && layoutOf->def.type == 'M')
        return setMemo(field, value);
    auto f = fieldToChange(layoutOf, field, 'C', "character");
    if (!f)
        return f.status();
    const int width = (*f)->def.width;
    if (value.size() > static_cast<size_t>(width))
        return fieldError(alias_, field, "the text is longer than the field's " + std::to_string(width) + " characters",
                          ErrorCode::TooLong);
    ensure();
    char* at = buf_.data() + (*f)->offset;
    std::memcpy(at, value.data(), value.size());
    std::memset(at + value.size(), ' ', static_cast<size_t>(width) - value.size());
    return changeBuffer();
}

Status Area::setNum(std::string_view field, double value)
{
    auto f = fieldToChange(layout(field), field, 'N', "numeric");
    if (!f)
        return f.status();
    std::string bytes(static_cast<size_t>((*f)->def.width), ' ');
    if (auto st = encodeNumeric(value, (*f)->def.width, (*f)->def.decimals, bytes.data()); !st)
        return fieldError(alias_, field, st.message(), st.code());
    return writeField(**f, bytes.data());
}

Status Area::setDate(std::string_view field, Date value)
{
    auto f = fieldToChange(layout(field), field, 'D', "date");
    if (!f)
        return f.status();
    if (!value.empty() && !value.valid())
        return fieldError(alias_, field, "not a valid date");
    const std::string bytes = value.dtos();
    return writeField(**f, bytes.data());
}

Status Area::setLogical(std::string_view field, bool value)
{
    auto f = fieldToChange(layout(field), field, 'L', "logical");
    if (!f)
        return f.status();
    const char c = value ? 'T' : 'F';
    return writeField(**f, &c);
}

Status Area::setMemo(std::string_view field, std::string_view text)
{
    auto f = fieldToChange(layout(field), field, 'M', "memo");
    if (!f)
        return f.status();
    if (!t_->memo)
        return Status::error("The table " + path_ + " has no memo file");
    if (changed_ != 0 && changed_ != rec_)
        if (auto st = finishChange(); !st)
            return st;
    ensure();
    // The text goes to the memo file now, where nothing points to it until
    // the record itself is written.
    const uint32_t old = decodeMemoBlock(std::string_view(buf_.data() + (*f)->offset, 10)).value_or(0);
    changed_ = rec_;
    auto block = t_->writeMemo(rec_, text, old);
    if (!block)
        return block.status();
    char bytes[10];
    encodeMemoBlock(*block, bytes);
    return writeField(**f, bytes);
}

Status Area::append()
{
    error_.clear();
    if (mode_.readOnly)
        return Status::error("Cannot append: " + alias_ + " is open read-only");
    if (!t_->dbf->writable())
        return Status::error("Cannot append: " + path_ + " cannot be written");
    if (auto st = finishChange(); !st)
        return st;
    std::string blank(t_->dbf->recordLength(), ' ');
    t_->dbf->blankRecord(blank.data());
    ScopedLock appendLock;
    if (mode_.shared) {
        releaseRecordLocks(0);
        if (!fileLocked_) {
            if (!lockWithRetry(lockFile_, DbfFile::appendLockOffset(), 1))
                return Status::error(ErrorCode::InUse, "Cannot append to " + path_ + ": the table is locked by another user");
            appendLock.adopt(&lockFile_, DbfFile::appendLockOffset(), 1);
        }
    }
    auto r = t_->append(blank.data());
    if (!r)
        return r.status();
    if (mode_.shared && !fileLocked_) {
        // A new record nobody else can know yet: its lock is free.
        if (lockFile_.tryLock(kLockBase + *r, 1, true))
            locks_.insert(*r);
    }
    appendLock.release();
    changed_ = *r;
    bof_ = false;
    eof_ = false;
    rec_ = *r;
    buf_ = blank;
    bufRec_ = rec_;
    bufGen_ = t_->gen;
    moved();
    return {};
}

Status Area::commit()
{
    Status st = finishChange();
    if (auto fs = t_->syncFiles(); !fs && st)
        st = fs;
    return st;
}

Status Area::close()
{
    Status result = finishChange();
    if (!mode_.shared)
        if (auto st = t_->flush(); !st && result)
            result = st;
    for (auto& o : orders_) {
        if (--o->users == 0)
            if (auto st = t_->detach(o.get()); !st && result)
                result = st;
    }
    orders_.clear();
    relations_.clear();
    locks_.clear();
    fileLocked_ = false;
    lockFile_.close();
    return result;
}

} // namespace cn::data
