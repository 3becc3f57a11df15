#pragma once
// One open table file shared by every work area of a Workspace that has it
// open: the table, its memo file and the index files attached by any of those
// areas, and the table's record buffer.
//
// The record buffer holds each record an area is changing, whole, until the
// change ends (the area commits, unlocks, moves to another record or closes).
// Then the record goes to the file in one write, after the memo blocks it
// points to and before its index entries, so a program stopped at any moment
// leaves each record either as it was or wholly as changed. Every area of
// this process reads a record being changed from the buffer, so they all see
// a change at once; and before any of them reads an index, a change that
// moved a key is ended, so that the index order they see is the one the
// records have.
//
// A shared table writes nothing else ahead: index and memo updates go to the
// files as they are made, so other processes see a change when it ends. An
// exclusive table keeps changed index pages, the memo header and the record
// count in memory until flush() (commit, unlock, close).
#include "data/dbf_file.h"
#include "data/expr.h"
#include "data/memo_file.h"
#include "data/ntx_file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

struct IndexObj {
    std::string path;              // canonical
    std::unique_ptr<NtxFile> file;
    Expr expr;
    int users = 0;
};

class Table {
public:
    std::string path;              // canonical
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MemoFile> memo;
    std::vector<std::shared_ptr<IndexObj>> indexes;
    bool shared = false;
    int users = 0;
    // Moves whenever a record or index entry may have changed.
    uint64_t gen = 1;

    ~Table();

    uint32_t count() const { return dbf->recordCount(); }
    // Re-reads the record count in a shared table.
    Status refreshCount();
    // A record as it stands (a change in the buffer included).
    Status read(uint32_t recNo, char* out);
    // The same for a walk in record order: records are read a block at a
    // time and served from memory while the block is current. The block is
    // dropped by any change made through this table (gen moves), by
    // dropReadAhead(), and in a shared table once it is older than
    // kReadAheadMaxAgeMs, so another process's change is never hidden for
    // longer than that from an unlocked walk (a locked record or a new
    // position always reads the file).
    Status readAhead(uint32_t recNo, char* out);
    void dropReadAhead()
    {
        raCount_ = 0;
        if (memo)
            memo->dropReadAhead();
    }
    // A memo of a record met on such a walk, read ahead likewise.
    Result<std::string> readMemoAhead(uint32_t block) const
    {
        return memo->readAhead(block, shared ? kReadAheadMaxAgeMs : -1);
    }
    static constexpr size_t kReadAheadBytes = 64 * 1024;
    static constexpr int64_t kReadAheadMaxAgeMs = 20;

    // --- the record buffer ---------------------------------------------------
    // Replaces record recNo in the buffer; the file follows when the change ends.
    Status change(uint32_t recNo, const char* bytes);
    // Stores a memo text for the change of recNo and returns its first block
    // (0 for empty text). A block the record on file points to is never
    // written over, so that the record as it was keeps its text; blocks
    // written earlier in the same change are reused when the text fits.
    Result<uint32_t> writeMemo(uint32_t recNo, std::string_view text, uint32_t oldBlock);
    // Appends a record, to be completed as a change of the new record. A
    // shared table writes it at once (blank, as other processes may see it),
    // an exclusive one when the change ends.
    Result<uint32_t> append(const char* bytes);
    bool changing(uint32_t recNo) const { return find(recNo) != nullptr; }
    bool hasChanges() const { return !changes_.empty(); }
    // Ends the change of recNo: the record in one write, then its index
    // entries. A record that cannot be written stays in the buffer.
    Status endChange(uint32_t recNo);
    // Every change, or only those that moved a key.
    Status endChanges(bool movedKeysOnly = false);
    // Before an index read: ends every change that moved one of its keys.
    Status syncKeys() { return changes_.empty() ? Status() : endChanges(true); }

    // Ends every change and writes what an exclusive table keeps in memory.
    Status flush();
    // Writes what an exclusive table keeps in memory; a shared table's
    // changes in the buffer stay there (they belong to their areas).
    Status flushFiles();
    // flush() / flushFiles(), then on disk.
    Status sync();
    Status syncFiles();
    Status attach(const std::shared_ptr<IndexObj>& index);
    Status detach(IndexObj* index);

private:
    struct Change {
        uint32_t recNo = 0;
        std::string bytes;                 // the record as changed
        bool isNew = false;                // appended: its index entries are still to be inserted
        std::vector<std::string> oldKeys;  // per index: the key the index holds for the record
        std::vector<uint32_t> memoBlocks;  // memo blocks written for this change only
    };
    const Change* find(uint32_t recNo) const;
    Change* find(uint32_t recNo);
    Result<Change*> begin(uint32_t recNo);
    bool keysMoved(const Change& c);
    Status write(size_t i);                // ends changes_[i]
    Status syncDisk();
    // Writes the memo file's and the table file's queues of new blocks and
    // records, in that order.
    Status flushQueues();
    static constexpr size_t kWriteBehindBytes = 1 << 20;

    std::vector<Change> changes_;
    std::string keyBuf_;
    std::string ra_;               // records raFirst_ .. raFirst_ + raCount_ - 1
    uint32_t raFirst_ = 0;
    uint32_t raCount_ = 0;
    uint64_t raGen_ = 0;
    int64_t raAtMs_ = 0;           // when the block was read (steady clock)
};

} // namespace cn::data
