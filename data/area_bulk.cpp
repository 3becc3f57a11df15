// The bulk operations of a work area: DBEVAL over the visible records,
// __DBAPP (append from another table file, field by field by name) and
// __DBCOPY (the visible records to a new table file).
#include "data/area.h"

#include <algorithm>
#include <cstring>

namespace cn::data {

using namespace detail;

void Area::eval(const Action& action, const Condition& cond)
{
    if (!prepareMove()) {
        setEof();
        return;
    }
    bool have = edge(Dir::Forward);
    std::string before;
    while (have) {
        moved();
        // Remember where we are in the order before the action may change the key.
        if (index())
            currentKey(before);
        const uint32_t here = rec_;
        if (!cond || cond(*this))
            action(*this);
        if (!prepareMove()) {
            have = false;
            break;
        }
        if (index()) {
            NtxEntry e;
            auto r = index()->file->next(before, here, e);
            if (!r) {
                fail(r.status());
                have = false;
            } else {
                have = scan(Dir::Forward, *r, e);
            }
        } else {
            rec_ = here;
            eof_ = false;
            have = step(Dir::Forward);
        }
    }
    setEof();
    moved();
}

namespace {
// Whether a number field's text is as encodeNumeric writes it: right-aligned,
// a minus only before a number other than zero, no leading zeros, exactly
// `decimals` decimals; and no more than fifteen digits, which a double
// always gives back as they were.
bool canonicalNumber(std::string_view s, int decimals)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i == s.size())
        return false;
    const bool minus = s[i] == '-';
    if (minus)
        ++i;
    const size_t intFrom = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    const size_t intLen = i - intFrom;
    if (intLen == 0 || (intLen > 1 && s[intFrom] == '0'))
        return false;
    bool zero = intLen == 1 && s[intFrom] == '0';
    if (decimals > 0) {
        if (i == s.size() || s[i] != '.')
            return false;
        ++i;
        for (int k = 0; k < decimals; ++k, ++i) {
            if (i == s.size() || s[i] < '0' || s[i] > '9')
                return false;
            zero = zero && s[i] == '0';
        }
    }
    return i == s.size() && !(minus && zero) && intLen + static_cast<size_t>(decimals) <= 15;
}

// Converts one field's stored bytes to another field's type and width.
Status convertField(const FieldLayout& from, const char* src, const FieldLayout& to, char* dst,
                    const std::string& memoText, std::string& memoOut)
{
    const size_t w = static_cast<size_t>(to.def.width);
    std::string_view s(src + from.offset, static_cast<size_t>(from.def.width));
    char* d = dst + to.offset;
    std::memset(d, ' ', w);
    const char ft = from.def.type, tt = to.def.type;
    if (tt == 'M') {
        memoOut = ft == 'M' ? memoText : std::string(s);
        return {};
    }
    if (tt == 'N') {
        if (ft != 'N' && ft != 'C')
            return {};
        std::string_view t = s;
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ')
            t.remove_suffix(1);
        if (t.empty())
            return {};
        if (ft == 'N' && from.def.width == to.def.width && from.def.decimals == to.def.decimals &&
            canonicalNumber(s, to.def.decimals)) {
            std::memcpy(d, s.data(), w);   // what encoding it again would write
            return {};
        }
        return encodeNumeric(decodeNumeric(s), to.def.width, to.def.decimals, d);
    }
    if (tt == 'L') {
        if (ft == 'L')
            *d = decodeLogical(s[0]) ? 'T' : (s[0] == ' ' || s[0] == '?' ? s[0] : 'F');
        return {};
    }
    if (tt == 'D') {
        if (ft == 'D' || ft == 'C')
            std::memcpy(d, s.data(), std::min<size_t>(8, s.size()));
        return {};
    }
    // C: text as stored, cut to the target width
    std::string_view t = s;
    if (ft == 'M')
        t = memoText;
    if (ft == 'N')
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
    std::memcpy(d, t.data(), std::min(w, t.size()));
    return {};
}
} // namespace

Status Area::appendFrom(const std::string& file, const AppendFromOptions& options)
{
    const std::string p = ws_->resolve(withExtension(file, ".dbf"));
    if (auto it = ws_->tables.find(canonical(p)); it != ws_->tables.end())
        if (auto st = it->second->flush(); !st)   // read what the areas on it have written
            return st;
    auto src = DbfFile::open(p, false);
    if (!src)
        return src.status();
    std::unique_ptr<MemoFile> srcMemo;
    if ((*src)->hasMemoField()) {
        auto m = MemoFile::open(memoPathFor(*ws_, p), false);
        if (!m)
            return Status::error("The memo file of " + p + " cannot be opened: " + m.message());
        srcMemo = std::move(*m);
    }
    // A temporary area over the source so that the condition can read it by name.
    const DbfFile& sd = **src;
    struct Map {
        const FieldLayout* from;
        const FieldLayout* to;
    };
    std::vector<Map> maps;
    for (const auto& to : t_->dbf->fields()) {
        int i = sd.fieldIndex(to.def.name);
        if (i >= 0)
            maps.push_back({&sd.fields()[static_cast<size_t>(i)], &to});
    }
    Area* srcArea = nullptr;
    if (options.condition) {
        std::string tmpAlias = "__dbapp" + std::to_string(number_);
        Workspace::Impl* ws = ws_;
        Area* saveCurrent = ws->current;
        OpenMode m;
        m.shared = true;
        m.readOnly = true;
        auto a = openArea(ws, p, tmpAlias, m, true);
        ws->current = saveCurrent;
        if (!a)
            return a.status();
        srcArea = static_cast<Area*>(*a);
    }
    Status result;
    // The source is read a batch of records at a time, its memos through one
    // read ahead of the blocks, as they mostly follow in record order.
    const size_t recLen = sd.recordLength();
    const uint32_t n = sd.recordCount();
    const uint32_t batch = static_cast<uint32_t>(std::max<size_t>(1, (256 * 1024) / recLen));
    std::string batchBuf;
    uint32_t batchFirst = 0, batchCount = 0;
    std::string out(t_->dbf->recordLength(), ' ');
    std::vector<std::pair<const FieldLayout*, std::string>> memos;
    std::string memoText, memoOut;
    for (uint32_t r = 1; r <= n; ++r) {
        if (options.progress && !options.progress(r))
            break;
        if (r >= batchFirst + batchCount) {
            batchFirst = r;
            batchCount = std::min(batch, n - r + 1);
            batchBuf.resize(static_cast<size_t>(batchCount) * recLen);
            if (auto st = sd.readMany(batchFirst, batchCount, batchBuf.data()); !st) {
                result = st;
                break;
            }
        }
        const char* rec = batchBuf.data() + static_cast<size_t>(r - batchFirst) * recLen;
        const bool del = rec[0] == kRecordDeleted;
        if (del && !options.copyDeleted)
            continue;
        if (srcArea) {
            srcArea->goTo(r);
            if (!options.condition(*srcArea))
                continue;
        }
        if (auto st = append(); !st) {
            result = st;
            break;
        }
        ensure();
        out = buf_;
        memos.clear();
        for (const auto& m : maps) {
            memoText.clear();
            memoOut.clear();
            if (m.from->def.type == 'M' && srcMemo) {
                auto b = decodeMemoBlock(std::string_view(rec + m.from->offset, 10));
                if (b) {
                    // A text that cannot be read stops the copy: a rebuild
                    // must never replace it with nothing.
                    auto t = srcMemo->readAhead(*b, Table::kReadAheadMaxAgeMs);
                    if (!t) {
                        result = Status::error(t.code(), "Record " + std::to_string(r) + " of " + p +
                                                                       ", field " + m.from->def.name +
                                                                       ": its memo cannot be read: " + t.message());
                        break;
                    }
                    memoText = std::move(*t);
                }
            }
            if (auto st = convertField(*m.from, rec, *m.to, out.data(), memoText, memoOut); !st) {
                result = Status::error("Record " + std::to_string(r) + " of " + p + ", field " + m.to->def.name +
                                       ": " + st.message());
                break;
            }
            if (m.to->def.type == 'M' && !memoOut.empty())
                memos.emplace_back(m.to, std::move(memoOut));
        }
        if (!result)
            break;
        if (del)
            out[0] = kRecordDeleted;
        if (auto st = writeRecord(std::move(out)); !st) {
            result = st;
            break;
        }
        for (auto& [f, text] : memos)
            if (auto st = setMemo(f->def.name, text); !st) {
                result = st;
                break;
            }
        if (!result)
            break;
    }
    if (srcArea)
        (void)ws_->closeArea(srcArea);
    if (auto st = t_->flush(); !st && result)
        result = st;
    return result;
}

Status Area::copyTo(const std::string& file)
{
    const std::string p = ws_->resolve(withExtension(file, ".dbf"));
    if (canonical(p) == t_->path)
        return Status::error("Cannot copy " + alias_ + " onto itself");
    if (auto st = DbfFile::create(p, structure()); !st)
        return st;
    std::unique_ptr<MemoFile> memo;
    if (t_->dbf->hasMemoField()) {
        const std::string mp = p.substr(0, p.size() - 4) + (p.substr(p.size() - 4) == ".DBF" ? ".DBT" : ".dbt");
        if (auto st = MemoFile::create(mp); !st)
            return st;
        auto m = MemoFile::open(mp, true);
        if (!m)
            return m.status();
        memo = std::move(*m);
    }
    auto dst = DbfFile::open(p, true);
    if (!dst)
        return dst.status();
    const bool saveEof = eof_;
    const uint32_t saveRec = rec_;
    Status result;
    for (goTop(); !eof_; skip(1)) {
        std::string out = buf_;
        out[0] = buf_[0];
        if (memo) {
            for (const auto& f : t_->dbf->fields()) {
                if (f.def.type != 'M')
                    continue;
                auto text = readMemo(f.def.name);
                uint32_t block = 0;
                if (text && !text->empty()) {
                    auto b = memo->write(*text, 0, false);
                    if (!b) {
                        result = b.status();
                        break;
                    }
                    block = *b;
                }
                encodeMemoBlock(block, out.data() + f.offset);
            }
            if (!result)
                break;
        }
        if (auto r = (*dst)->append(out.data()); !r) {
            result = r.status();
            break;
        }
    }
    if (result) {
        if (auto st = (*dst)->sync(); !st)
            result = st;
        if (memo)
            if (auto st = memo->sync(); !st && result)
                result = st;
    }
    if (saveEof)
        setEof();
    else
        goTo(saveRec);
    return result;
}

} // namespace cn::data
