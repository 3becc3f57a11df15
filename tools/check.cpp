#include "tools/check.h"

#include "data/catalog.h"
#include "data/cleanup.h"
#include "data/cp1252.h"
#include "data/dbf_file.h"
#include "data/expr.h"
#include "data/memo_file.h"
#include "data/ntx_file.h"
#include "data/os_file.h"
#include "data/workspace.h"

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

namespace cn::tool {

using namespace cn::data;
namespace fs = std::filesystem;

namespace {

// Collects problems, keeping at most kProblemsPerKind lines of one kind per
// file and counting the rest.
class Reporter {
public:
    explicit Reporter(CheckResult& out) : out_(out) {}
    void add(const std::string& file, const std::string& kind, const std::string& text)
    {
        auto& n = counts_[{file, kind}];
        if (n++ < kProblemsPerKind)
            out_.problems.push_back(file + ": " + text);
    }
    void finish()
    {
        for (const auto& [what, n] : counts_) {
            if (n > kProblemsPerKind)
                out_.problems.push_back(what.first + ": " + std::to_string(n - kProblemsPerKind) + " more " +
                                        what.second);
        }
    }
private:
    CheckResult& out_;
    std::map<std::pair<std::string, std::string>, size_t> counts_;
};

std::string shown(std::string_view bytes)
{
    return "\"" + cp1252ToUtf8(bytes) + "\"";
}

std::string lower(std::string s)
{
    for (auto& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The file beside `path` with the same base name and extension ext, matched
// without regard to letter case; nullopt when there is none.
std::optional<std::string> sibling(const std::string& path, const std::string& ext)
{
    const fs::path p(path);
    const std::string want = lower(p.stem().string() + ext);
    std::error_code ec;
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (lower(e.path().filename().string()) == want)
            return e.path().string();
    }
    return std::nullopt;
}

struct IndexUnderCheck {
    std::string path;
    std::unique_ptr<NtxFile> file;
    std::optional<Expr> expr;         // set when the key expression compiled and fits the file
    uint16_t keyLength = 0;
    std::string computed;             // keyLength bytes per record, record 1 first
};

struct MemoUnderCheck {
    std::string path;
    std::unique_ptr<MemoFile> file;
    OsFile raw;
    uint64_t size = 0;
    uint32_t nextFree = 0;
    // Every memo pointer met: first block, record, field (an index into fields).
    struct Start {
        uint32_t block;
        uint32_t recNo;
        uint32_t field;
        bool operator<(const Start& o) const { return block != o.block ? block < o.block : recNo < o.recNo; }
    };
    std::vector<Start> starts;
    std::vector<std::string> fields;
    std::string owner(const Start& s) const { return "record " + std::to_string(s.recNo) + " " + fields[s.field]; }
};

void checkHeaderAgainstSize(DbfFile& dbf, Reporter& rep, const std::string& path)
{
    if (!dbf.damage().empty())
        rep.add(path, "header problems", dbf.damage());
    auto size = dbf.file().size();
    if (!size) {
        rep.add(path, "header problems", size.message());
        return;
    }
    const uint64_t expected = uint64_t(dbf.headerLength()) + uint64_t(dbf.recordCount()) * dbf.recordLength();
    if (*size < expected)
        return;   // reported as damage by the table layer
    const uint64_t extra = *size - expected;
    if (extra == 0)
        return;
    char last = 0;
    if (extra == 1 && dbf.file().readAt(expected, &last, 1) && last == 0x1A)
        return;
    if (extra >= dbf.recordLength())
        rep.add(path, "header problems",
                "the header counts " + std::to_string(dbf.recordCount()) + " records but the file holds " +
                    std::to_string(dbf.recordCount() + (extra - 1) / dbf.recordLength()) + " or more");
    else
        rep.add(path, "header problems",
                std::to_string(extra) + " stray bytes after the last of " + std::to_string(dbf.recordCount()) +
                    " records");
}

std::optional<MemoUnderCheck> openMemo(const std::string& dbfPath, Reporter& rep)
{
    const auto path = sibling(dbfPath, ".dbt");
    if (!path) {
        rep.add(dbfPath, "memo problems", "the table has memo fields but no memo file (.dbt) beside it");
        return std::nullopt;
    }
    MemoUnderCheck m;
    m.path = *path;
    auto opened = MemoFile::open(m.path, false);
    if (!opened) {
        rep.add(m.path, "memo problems", opened.message());
        return std::nullopt;
    }
    m.file = std::move(opened.value());
    auto raw = OsFile::open(m.path, false);
    unsigned char head[4] = {};
    if (!raw || !raw->readAt(0, head, 4)) {
        rep.add(m.path, "memo problems", "the memo file's header cannot be read");
        return std::nullopt;
    }
    m.size = raw->size() ? *raw->size() : 0;
    m.raw = std::move(*raw);
    m.nextFree = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 | uint32_t(head[3]) << 24;
    const uint64_t blocksInFile = (m.size + kMemoBlockSize - 1) / kMemoBlockSize;
    if (m.nextFree < blocksInFile)
        rep.add(m.path, "memo problems",
                "next free block " + std::to_string(m.nextFree) + " lies inside the file (" +
                    std::to_string(blocksInFile) + " blocks): new memos would overwrite old ones");
    else if (m.nextFree > blocksInFile)
        rep.add(m.path, "memo problems",
                "next free block " + std::to_string(m.nextFree) + " lies beyond the end of the file (" +
                    std::to_string(blocksInFile) + " blocks)");
    return m;
}

void checkMemoField(MemoUnderCheck& memo, std::string_view field, uint32_t fieldNo, uint32_t recNo, Reporter& rep)
{
    const std::string& name = memo.fields[fieldNo];
    if (field.find_first_not_of(' ') == std::string_view::npos)
        return;
    if (field.find_first_not_of("0123456789 ") != std::string_view::npos) {
        rep.add(memo.path, "bad memo pointers",
                "record " + std::to_string(recNo) + " " + name + ": memo pointer " + shown(field) + " is not a number");
        return;
    }
    const auto block = decodeMemoBlock(field);
    if (!block || *block == 0)
        return;
    const std::string where = "record " + std::to_string(recNo) + " " + name + ": memo block " + std::to_string(*block);
    if (uint64_t(*block) * kMemoBlockSize >= memo.size) {
        rep.add(memo.path, "bad memo pointers", where + " lies beyond the end of the memo file");
        return;
    }
    if (*block >= memo.nextFree)
        rep.add(memo.path, "bad memo pointers", where + " lies at or past the next free block " +
                                                    std::to_string(memo.nextFree));
    memo.starts.push_back({*block, recNo, fieldNo});
}

// Reads a memo file front to back through one window, for finding where
// memos end.
class MemoScanner {
public:
    explicit MemoScanner(const OsFile& file) : file_(file), buf_(1 << 20) {}
    // The offset of the first terminator (0x1A) in [from, to), or to when there
    // is none; nullopt when the file cannot be read.
    std::optional<uint64_t> terminator(uint64_t from, uint64_t to)
    {
        for (uint64_t pos = from; pos < to;) {
            if (pos < at_ || pos >= at_ + len_) {
                auto got = file_.readSome(pos, buf_.data(), buf_.size());
                if (!got)
                    return std::nullopt;
                at_ = pos;
                len_ = *got;
                if (len_ == 0)
                    return to;
            }
            const size_t offset = static_cast<size_t>(pos - at_);
            const size_t n = static_cast<size_t>(std::min<uint64_t>(to - pos, len_ - offset));
            if (const void* hit = std::memchr(buf_.data() + offset, 0x1A, n))
                return pos + static_cast<uint64_t>(static_cast<const char*>(hit) - (buf_.data() + offset));
            pos += n;
        }
        return to;
    }

private:
    const OsFile& file_;
    std::vector<char> buf_;
    uint64_t at_ = 0;
    size_t len_ = 0;
};

// Each memo must end (0x1A) before the next one begins and before the end of
// the file; otherwise reading it runs on into the next memo or to the end.
void checkMemoEnds(MemoUnderCheck& memo, Reporter& rep)
{
    std::sort(memo.starts.begin(), memo.starts.end());
    MemoScanner scan(memo.raw);
    for (size_t i = 0; i < memo.starts.size(); ++i) {
        const auto& here = memo.starts[i];
        const std::string where = memo.owner(here) + ": the memo at block " + std::to_string(here.block);
        if (i > 0 && memo.starts[i - 1].block == here.block) {
            rep.add(memo.path, "overlapping memos",
                    where + " is also used by " + memo.owner(memo.starts[i - 1]) + ": the two memos overlap");
            continue;
        }
        const uint64_t from = uint64_t(here.block) * kMemoBlockSize;
        if (from >= memo.size)
            continue;   // reported with the pointer
        size_t n = i + 1;
        while (n < memo.starts.size() && memo.starts[n].block == here.block)
            ++n;
        const bool last = n == memo.starts.size();
        const uint64_t to = last ? memo.size : std::min(memo.size, uint64_t(memo.starts[n].block) * kMemoBlockSize);
        const auto end = scan.terminator(from, to);
        if (!end)
            rep.add(memo.path, "memo problems", where + " cannot be read");
        else if (*end < to)
            continue;
        else if (last || to == memo.size)
            rep.add(memo.path, "memos without an end", where + " has no terminator before the end of the file");
        else
            rep.add(memo.path, "memos without an end",
                    where + " has no terminator before block " + std::to_string(memo.starts[n].block) +
                        ", where the memo of " + memo.owner(memo.starts[n]) +
                        " begins: reading it runs on into that memo");
    }
}

void openIndexes(const DbfFile& dbf, const std::vector<std::string>& paths, std::vector<IndexUnderCheck>& out,
                 Reporter& rep)
{
    for (const auto& path : paths) {
        IndexUnderCheck ix;
        ix.path = path;
        auto opened = NtxFile::open(path, false);
        if (!opened) {
            rep.add(path, "index problems", opened.message());
            continue;
        }
        ix.file = std::move(opened.value());
        ix.keyLength = ix.file->keyLength();
        auto expr = Expr::compile(ix.file->keyText(), dbf.fields());
        if (!expr) {
            rep.add(path, "index problems",
                    "key expression " + shown(ix.file->keyText()) + " does not fit the table: " + expr.message());
        } else if (expr->keyLength() != ix.keyLength) {
            rep.add(path, "index problems",
                    "key length " + std::to_string(ix.keyLength) + " differs from the " +
                        std::to_string(expr->keyLength()) + " bytes its expression gives");
        } else {
            ix.expr = std::move(expr.value());
            ix.computed.reserve(size_t(dbf.recordCount()) * ix.keyLength);
        }
        out.push_back(std::move(ix));
    }
}

// One pass over the records: flags, memo pointers, and the keys each index
// should hold.
void scanRecords(DbfFile& dbf, std::optional<MemoUnderCheck>& memo, std::vector<IndexUnderCheck>& indexes,
                 Reporter& rep)
{
    std::vector<const FieldLayout*> memoFields;
    for (const auto& f : dbf.fields())
        if (f.def.type == 'M') {
            memoFields.push_back(&f);
            if (memo)
                memo->fields.push_back(f.def.name);
        }

    const uint32_t count = dbf.recordCount();
    const uint32_t len = dbf.recordLength();
    const uint32_t chunk = std::max<uint32_t>(1, (1u << 20) / std::max<uint32_t>(len, 1));
    std::vector<char> buf(size_t(chunk) * len);
    std::string key;
    for (uint32_t first = 1; first <= count; first += chunk) {
        const uint32_t n = std::min(chunk, count - first + 1);
        if (auto s = dbf.readMany(first, n, buf.data()); !s) {
            rep.add(dbf.path(), "header problems", s.message());
            return;
        }
        for (uint32_t i = 0; i < n; ++i) {
            const char* rec = buf.data() + size_t(i) * len;
            const uint32_t recNo = first + i;
            if (rec[0] != kRecordLive && rec[0] != kRecordDeleted)
                rep.add(dbf.path(), "bad deletion flags",
                        "record " + std::to_string(recNo) + " has deletion flag " + shown(std::string_view(rec, 1)) +
                            " (neither live nor deleted)");
            if (memo) {
                for (uint32_t m = 0; m < memoFields.size(); ++m) {
                    const FieldLayout* f = memoFields[m];
                    checkMemoField(*memo, std::string_view(rec + f->offset, size_t(f->def.width)), m, recNo, rep);
                }
            }
            for (auto& ix : indexes) {
                if (!ix.expr)
                    continue;
                ix.expr->key(rec, key);
                ix.computed.append(key);
            }
        }
    }
}

void walkIndex(IndexUnderCheck& ix, uint32_t recordCount, Reporter& rep)
{
    if (auto s = ix.file->verify(); !s)
        rep.add(ix.path, "index problems", s.message());

    const size_t keyLen = ix.keyLength;
    std::vector<uint8_t> seen(size_t(recordCount) + 1, 0);
    std::string prevKey;
    uint32_t prevRec = 0;
    uint64_t entries = 0;
    auto visit = [&](std::string_view key, uint32_t recNo) {
        if (entries > 0) {
            const int c = key.compare(prevKey);
            if (c < 0 || (c == 0 && recNo <= prevRec))
                rep.add(ix.path, "keys out of order",
                        "key " + shown(key) + " of record " + std::to_string(recNo) + " comes after " +
                            shown(prevKey) + " of record " + std::to_string(prevRec));
        }
        ++entries;
        prevKey.assign(key);
        prevRec = recNo;
        if (recNo == 0 || recNo > recordCount) {
            rep.add(ix.path, "keys of missing records",
                    "key " + shown(key) + " names record " + std::to_string(recNo) + " but the table has " +
                        std::to_string(recordCount));
            return true;
        }
        if (seen[recNo]++ == 1)
            rep.add(ix.path, "records with more than one key", "record " + std::to_string(recNo) + " has more than one key");
        if (ix.expr && size_t(recNo) * keyLen <= ix.computed.size()) {
            const std::string_view want(ix.computed.data() + size_t(recNo - 1) * keyLen, keyLen);
            if (key != want)
                rep.add(ix.path, "keys that differ from their records",
                        "record " + std::to_string(recNo) + ": key " + shown(key) + " in the index, " + shown(want) +
                            " computed from the record");
        }
        return true;
    };
    if (auto s = ix.file->walk({}, visit); !s)
        rep.add(ix.path, "index problems", "walking the index stopped: " + s.message());

    for (uint32_t r = 1; r <= recordCount; ++r)
        if (!seen[r])
            rep.add(ix.path, "records without a key", "record " + std::to_string(r) + " has no key");
}

} // namespace

CheckResult checkTable(const std::string& dbfPath, const std::vector<std::string>& indexPaths)
{
    CheckResult result;
    Reporter rep(result);

    auto opened = DbfFile::open(dbfPath, false);
    if (!opened) {
        rep.add(dbfPath, "header problems", opened.message());
        rep.finish();
        return result;
    }
    DbfFile& dbf = *opened.value();
    result.records = dbf.recordCount();
    checkHeaderAgainstSize(dbf, rep, dbfPath);

    std::optional<MemoUnderCheck> memo;
    if (dbf.hasMemoField())
        memo = openMemo(dbfPath, rep);

    std::vector<IndexUnderCheck> indexes;
    openIndexes(dbf, indexPaths, indexes, rep);
    scanRecords(dbf, memo, indexes, rep);
    if (memo)
        checkMemoEnds(*memo, rep);
    for (auto& ix : indexes)
        walkIndex(ix, dbf.recordCount(), rep);

    rep.finish();
    return result;
}

namespace {

std::string fieldText(const FieldDef& f)
{
    return std::string(1, f.type) + " " + std::to_string(f.width) + "," + std::to_string(f.decimals);
}

// The table's stored fields against the catalogue's, as set-up compares them.
void checkStructure(const DbfFile& dbf, const catalog::TableDef& def, CheckResult& out)
{
    for (const auto& want : def.fields) {
        const FieldDef* have = nullptr;
        for (const auto& f : dbf.structure())
            if (catalog::sameName(f.name, want.name))
                have = &f;
        if (!have)
            out.problems.push_back(dbf.path() + ": the field " + want.name + " (" + fieldText(want) + ") is missing");
        else if (std::toupper(static_cast<unsigned char>(have->type)) != want.type || have->width != want.width ||
                 have->decimals != want.decimals)
            out.problems.push_back(dbf.path() + ": the field " + want.name + " is " + fieldText(*have) +
                                   ", not " + fieldText(want));
    }
}

} // namespace

CheckResult checkFolder(const std::string& folder)
{
    CheckResult result;
    Workspace ws(folder);
    for (std::string_view left : {kPackTempJob, kPackTempDbf, kPackTempDbt, kTempDbf, kTempDbt})
        if (ws.exists(left))
            result.problems.push_back(ws.resolve(left) +
                                      ": left by a set-up or clean-up that did not finish (the next set-up deals "
                                      "with it)");
    // Copies a recovery could not put back are kept aside for the user.
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(ws.folder(), ec)) {
        const std::string name = lower(e.path().filename().string());
        if (name.starts_with(kPackSave) && name.ends_with(".dbf"))
            result.problems.push_back(e.path().string() +
                                      ": a copy of a table set aside by a recovery that could not put it back");
    }
    for (const auto& def : catalog::tables()) {
        const std::string path = ws.resolve(def.fileName());
        if (!ws.exists(def.fileName())) {
            result.problems.push_back(path + ": the table is missing");
            continue;
        }
        {
            auto dbf = DbfFile::open(path, false);
            if (!dbf) {
                result.problems.push_back(dbf.message());
                continue;
            }
            checkStructure(**dbf, def, result);
        }
        std::vector<std::string> indexes;
        for (int n : def.indexes) {
            const catalog::IndexDef& ix = catalog::index(n);
            const std::string ixPath = ws.resolve(ix.fileName());
            if (!ws.exists(ix.fileName())) {
                result.problems.push_back(ixPath + ": the index is missing");
                continue;
            }
            auto ntx = NtxFile::open(ixPath, false);
            if (!ntx) {
                result.problems.push_back(ntx.message());
                continue;
            }
            if (!catalog::sameName((*ntx)->keyText(), ix.key)) {
                result.problems.push_back(ixPath + ": built from the key \"" + (*ntx)->keyText() +
                                          "\", not \"" + ix.key + "\"");
                continue;
            }
            indexes.push_back(ixPath);
        }
        CheckResult table = checkTable(path, indexes);
        result.records += table.records;
        result.problems.insert(result.problems.end(), table.problems.begin(), table.problems.end());
    }
    return result;
}

std::string printProblems(const CheckResult& r, const std::string& what)
{
    for (const auto& p : r.problems)
        std::printf("%s\n", p.c_str());
    const std::string found = std::to_string(r.problems.size()) + " problem" + (r.problems.size() == 1 ? "" : "s") +
                              " found";
    std::printf("%s: %s\n", what.c_str(), found.c_str());
    return what + ": " + found + (r.problems.empty() ? "" : ", the first: " + r.problems.front());
}

} // namespace cn::tool
