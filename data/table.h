#pragma once
// One open table file shared by every work area of a Workspace that has it
// open: the table, its memo file and the index files attached by any of those
// areas. Keeps the one record being changed in memory and brings every
// attached index up to date with it, so all areas see a change at once.
//
// In a shared table every change goes to the files before the operation
// returns, so other processes see it on their next read; in an exclusive
// table the changed record and index pages are written at the latest on
// flush() (commit, unlock, close).
#include "data/dbf_file.h"
#include "data/expr.h"
#include "data/memo_file.h"
#include "data/ntx_file.h"

#include <cstdint>
#include <memory>
#include <string>
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
    // A record as it stands (the pending change included).
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
    // Replaces a record; the index entries follow before the next index read.
    Status write(uint32_t recNo, const char* bytes);
    // Appends a record; its index entries follow like a change.
    Result<uint32_t> append(const char* bytes);
    // Brings every attached index up to date with the pending change.
    Status syncKeys();
    Status flush();
    Status sync();
    Status attach(const std::shared_ptr<IndexObj>& index);
    Status detach(IndexObj* index);

private:
    Status flushSlot();
    uint32_t slotRec_ = 0;
    std::string slot_;
    bool slotDirty_ = false;
    uint32_t pendingRec_ = 0;
    bool pendingNew_ = false;
    std::vector<std::string> pendingOld_;
    std::string keyBuf_;
    std::string tmp_;
    std::string ra_;               // records raFirst_ .. raFirst_ + raCount_ - 1
    uint32_t raFirst_ = 0;
    uint32_t raCount_ = 0;
    uint64_t raGen_ = 0;
    int64_t raAtMs_ = 0;           // when the block was read (steady clock)
};

} // namespace cn::data
