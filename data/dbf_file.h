#pragma once
// The table file (.dbf, dBASE III+): header, field descriptors and fixed-length
// records. This layer knows bytes only; work areas, indexes and locks sit above.
//
// Every length and offset from the header is checked against the real file
// size. A header record count larger than the whole records present is not
// trusted: the table opens with the whole records and damage() says so; such a
// table is refused for writing so that the damaged file is never written over.
#include "data/os_file.h"
#include "data/status.h"
#include "data/types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

// A field with its place in the record. offset counts from the start of the
// record, so the first field is at 1 (byte 0 is the deletion flag).
struct FieldLayout {
    FieldDef def;
    uint32_t offset = 0;
};

constexpr uint8_t kDbfVersionPlain = 0x03;
constexpr uint8_t kDbfVersionMemo = 0x83;
constexpr char kRecordLive = ' ';
constexpr char kRecordDeleted = '*';

class DbfFile {
public:
    // Opens and validates an existing table. writable opens for writing too.
    static Result<std::unique_ptr<DbfFile>> open(const std::string& path, bool writable);
    // Writes an empty table with this structure (0x83 when a memo field is present).
    // Validates the structure: names, types, widths and decimals.
    static Status create(const std::string& path, const Structure& fields);
    static Status validateStructure(const Structure& fields);

    const std::string& path() const { return file_.path(); }
    bool writable() const { return file_.writable(); }
    uint8_t version() const { return version_; }
    bool hasMemoField() const { return hasMemoField_; }
    uint32_t headerLength() const { return headerLength_; }
    uint32_t recordLength() const { return recordLength_; }
    const std::vector<FieldLayout>& fields() const { return fields_; }
    const Structure& structure() const { return structure_; }
    int fieldIndex(std::string_view name) const;   // 0-based, case-insensitive; -1 when absent

    // The number of records that can be read (whole records only).
    uint32_t recordCount() const { return count_; }
    // Non-empty when the header promised more records than the file holds.
    const std::string& damage() const { return damage_; }
    // Re-reads the header's record count (another process may have appended).
    Status refresh();

    // buf holds recordLength() bytes.
    Status read(uint32_t recNo, char* buf) const;
    // Reads records first .. first+count-1 into buf (count * recordLength bytes).
    Status readMany(uint32_t first, uint32_t count, char* buf) const;
    Status write(uint32_t recNo, const char* buf);
    // Appends a record: writes the record and the end-of-file byte, then raises
    // the header's count, so a crash never leaves a count beyond whole records.
    // In a shared table the caller holds the append lock (see appendLockOffset).
    Result<uint32_t> append(const char* buf);
    // For an exclusive table: counts one more record without writing; the
    // caller writes it with write() and then flushCount() raises the header's
    // count. Such new records, written whole in order, are queued and go to
    // the file together, with the end-of-file byte after the last one, at
    // flushPending() or flushCount(); reads see them in the queue.
    Result<uint32_t> appendLater();
    Status flushCount();
    size_t pendingBytes() const { return pending_.size(); }
    Status flushPending();
    Status sync();

    // A blank record: live flag and spaces throughout, which every field type
    // reads as its empty value (blank text, 0, empty date, false, no memo).
    void blankRecord(char* buf) const;

    // The descriptor used for data; locks are taken on separate opens per work area.
    OsFile& file() { return file_; }

    // Offset of the lock held while appending in a shared table. It lies in the
    // file lock's range, so an FLOCK of another user also holds off appends.
    static constexpr uint64_t appendLockOffset() { return kLockBase; }

private:
    DbfFile() = default;
    Status writeHeaderCount(uint32_t count);

    OsFile file_;
    uint8_t version_ = 0;
    bool hasMemoField_ = false;
    uint32_t headerLength_ = 0;
    uint32_t recordLength_ = 0;
    uint32_t count_ = 0;
    bool countBehind_ = false;     // the header counts fewer records than count_
    // New records not yet on file: pendingFirst_ onwards, whole, in order.
    std::string pending_;
    uint32_t pendingFirst_ = 0;
    uint32_t pendingCount() const { return static_cast<uint32_t>(pending_.size() / recordLength_); }
    bool isPending(uint32_t recNo) const
    {
        return !pending_.empty() && recNo >= pendingFirst_ && recNo - pendingFirst_ < pendingCount();
    }
    std::vector<FieldLayout> fields_;
    Structure structure_;
    std::string damage_;
    // fieldIndex() is asked on every field read and write: an open-addressed
    // table of field numbers (-1 empty) by hash of the upper-case name.
    std::vector<int> byName_;
    void buildNameTable();
};

// --- field encodings --------------------------------------------------------
// N: right-aligned decimal text rounded to `decimals`; fails (naming the value
// and width) when it does not fit, never truncates.
Status encodeNumeric(double value, int width, int decimals, char* out);
// All spaces (or junk) reads as 0.
double decodeNumeric(std::string_view text);
// L: T t Y y are true; F f N n ? and space are false.
bool decodeLogical(char c);
// M: the block number in a memo field (10 digits padded with spaces or zeros);
// nullopt when the field names no memo.
std::optional<uint32_t> decodeMemoBlock(std::string_view field);
void encodeMemoBlock(uint32_t block, char* out10);   // block 0 writes blanks

} // namespace cn::data
