#include "data/dbf_file.h"
#include "data/bytes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

namespace cn::data {

namespace {


std::string upperAscii(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return r;
}

void todayBytes(unsigned char* p)
{
    std::time_t t = std::time(nullptr);
    std::tm tm {};
    localtime_r(&t, &tm);
    p[0] = static_cast<unsigned char>(std::clamp(tm.tm_year, 0, 255));
    p[1] = static_cast<unsigned char>(tm.tm_mon + 1);
    p[2] = static_cast<unsigned char>(tm.tm_mday);
}

} // namespace

namespace {
constexpr size_t kMaxFieldName = 11;   // the descriptor's name bytes

// Upper-cases an ASCII name into out; false when too long to be a field name.
bool upperName(std::string_view name, char* out)
{
    if (name.size() > kMaxFieldName)
        return false;
    for (size_t k = 0; k < name.size(); ++k) {
        char c = name[k];
        out[k] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    return true;
}

size_t nameHash(const char* p, size_t n)
{
    uint32_t h = 2166136261u;
    for (size_t k = 0; k < n; ++k)
        h = (h ^ static_cast<unsigned char>(p[k])) * 16777619u;
    return h;
}
} // namespace

void DbfFile::buildNameTable()
{
    size_t cap = 16;
    while (cap < fields_.size() * 2)
        cap *= 2;
    byName_.assign(cap, -1);
    for (size_t i = 0; i < fields_.size(); ++i) {
        const std::string& n = fields_[i].def.name;
        if (fieldIndex(n) >= 0)
            continue;   // a repeated name: the first one answers, as a scan would
        for (size_t s = nameHash(n.data(), n.size()) & (cap - 1);; s = (s + 1) & (cap - 1)) {
            if (byName_[s] < 0) {
                byName_[s] = static_cast<int>(i);
                break;
            }
        }
    }
}

int DbfFile::fieldIndex(std::string_view name) const
{
    char up[kMaxFieldName];
    if (byName_.empty() || !upperName(name, up))
        return -1;
    const size_t mask = byName_.size() - 1;
    for (size_t s = nameHash(up, name.size()) & mask;; s = (s + 1) & mask) {
        const int i = byName_[s];
        if (i < 0)
            return -1;
        const std::string& n = fields_[static_cast<size_t>(i)].def.name;
        if (n.size() == name.size() && std::memcmp(n.data(), up, n.size()) == 0)
            return i;
    }
}

Status DbfFile::validateStructure(const Structure& fields)
{
    if (fields.empty())
        return Status::error("A table needs at least one field");
    if (fields.size() > 1000)
        return Status::error("Too many fields for a table");
    uint32_t total = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        std::string name = upperAscii(f.name);
        if (name.empty() || name.size() > 10)
            return Status::error("Field name \"" + f.name + "\" must have 1 to 10 characters");
        for (char c : name)
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
                return Status::error("Field name \"" + f.name + "\" has a character other than letters, digits and _");
        for (size_t k = 0; k < i; ++k)
            if (upperAscii(fields[k].name) == name)
                return Status::error("Field name \"" + f.name + "\" is used twice");
        switch (f.type) {
        case 'C':
            if (f.width < 1 || f.width > 254)
                return Status::error("Field " + name + ": a character field is 1 to 254 wide");
            break;
        case 'N':
            if (f.width < 1 || f.width > 19 || f.decimals < 0 || (f.decimals > 0 && f.decimals > f.width - 2))
                return Status::error("Field " + name + ": a numeric field is 1 to 19 wide with room for its decimals");
            break;
        case 'D':
            if (f.width != 8)
                return Status::error("Field " + name + ": a date field is 8 wide");
            break;
        case 'L':
            if (f.width != 1)
                return Status::error("Field " + name + ": a logical field is 1 wide");
            break;
        case 'M':
            if (f.width != 10)
                return Status::error("Field " + name + ": a memo field is 10 wide");
            break;
        default:
            return Status::error("Field " + name + ": unknown type '" + std::string(1, f.type) + "'");
        }
        total += static_cast<uint32_t>(f.width);
    }
    if (total > 65535)
        return Status::error("The record of this structure is too long");
    return {};
}

Status DbfFile::create(const std::string& path, const Structure& fields)
{
    if (auto st = validateStructure(fields); !st)
        return Status::error(st.message() + " (" + path + ")");
    bool memo = std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; });
    const uint32_t headerLen = 32 + 32 * static_cast<uint32_t>(fields.size()) + 1;
    uint32_t recLen = 1;
    for (const auto& f : fields)
        recLen += static_cast<uint32_t>(f.width);
    std::string buf(headerLen + 1, '\0');
    auto* p = reinterpret_cast<unsigned char*>(buf.data());
    p[0] = memo ? kDbfVersionMemo : kDbfVersionPlain;
    todayBytes(p + 1);
    put32(p + 4, 0);
    put16(p + 8, headerLen);
    put16(p + 10, recLen);
    for (size_t i = 0; i < fields.size(); ++i) {
        unsigned char* d = p + 32 + 32 * i;
        std::string name = upperAscii(fields[i].name);
        std::memcpy(d, name.data(), name.size());
        d[11] = static_cast<unsigned char>(fields[i].type);
        d[16] = static_cast<unsigned char>(fields[i].width);
        d[17] = static_cast<unsigned char>(fields[i].decimals);
    }
    p[headerLen - 1] = 0x0D;
    p[headerLen] = 0x1A;
    auto f = OsFile::create(path);
    if (!f)
        return f.status();
    if (auto st = f->writeAt(0, buf.data(), buf.size()); !st)
        return st;
    return f->sync();
}

Result<std::unique_ptr<DbfFile>> DbfFile::open(const std::string& path, bool writable)
{
    auto f = OsFile::open(path, writable);
    if (!f)
        return f.status();
    std::unique_ptr<DbfFile> t(new DbfFile);
    t->file_ = std::move(*f);
    auto size = t->file_.size();
    if (!size)
        return size.status();
    auto bad = [&](const std::string& why) { return Status::error(ErrorCode::Damaged, "The table " + path + " is damaged: " + why); };
    if (*size < 32)
        return bad("the file is shorter than a table header");
    unsigned char h[32];
    if (auto st = t->file_.readAt(0, h, 32); !st)
        return st;
    t->version_ = h[0];
    if ((h[0] & 0x07) != 0x03)
        return bad("it does not start with a dBASE table signature");
    t->headerLength_ = get16(h + 8);
    t->recordLength_ = get16(h + 10);
    const uint32_t headerCount = get32(h + 4);
    if (t->headerLength_ < 32 + 32 + 1)
        return bad("the header length " + std::to_string(t->headerLength_) + " is too small");
    if (t->headerLength_ > *size)
        return bad("the header length " + std::to_string(t->headerLength_) + " is beyond the end of the file");
    if (t->recordLength_ < 2)
        return bad("the record length " + std::to_string(t->recordLength_) + " is too small");
    std::string hdr(t->headerLength_, '\0');
    if (auto st = t->file_.readAt(0, hdr.data(), hdr.size()); !st)
        return st;
    const auto* hp = reinterpret_cast<const unsigned char*>(hdr.data());
    uint32_t offset = 1;
    bool terminated = false;
    for (uint32_t pos = 32; pos < t->headerLength_; pos += 32) {
        if (hp[pos] == 0x0D) {
            terminated = true;
            break;
        }
        if (pos + 32 > t->headerLength_)
            return bad("a field descriptor runs past the end of the header");
        const unsigned char* d = hp + pos;
        FieldDef def;
        size_t n = 0;
        while (n < 11 && d[n] != 0)
            ++n;
        def.name = upperAscii(std::string_view(reinterpret_cast<const char*>(d), std::min<size_t>(n, 11)));
        while (!def.name.empty() && def.name.back() == ' ')
            def.name.pop_back();
        def.type = static_cast<char>(d[11]);
        if (def.type >= 'a' && def.type <= 'z')
            def.type = static_cast<char>(def.type - 32);
        def.width = d[16];
        def.decimals = d[17];
        if (def.type == 'F')
            def.type = 'N';
        if (def.type == 'C' && def.decimals != 0) {   // wide character fields keep the high byte in decimals
            def.width += def.decimals * 256;
            def.decimals = 0;
        }
        if (def.name.empty())
            return bad("field " + std::to_string(t->fields_.size() + 1) + " has no name");
        if (std::string("CNDLM").find(def.type) == std::string::npos)
            return bad("field " + def.name + " has the unknown type '" + std::string(1, def.type) + "'");
        if (def.width < 1)
            return bad("field " + def.name + " has width 0");
        if (def.type == 'N' && def.decimals >= def.width)
            def.decimals = std::max(0, def.width - 1);
        // Dates, logicals and memo pointers have one width in this format, and
        // the layers above read them at that width.
        const int fixedWidth = def.type == 'D' ? 8 : def.type == 'L' ? 1 : def.type == 'M' ? 10 : 0;
        if (fixedWidth && def.width != fixedWidth)
            return bad("field " + def.name + " of type " + std::string(1, def.type) + " is " +
                       std::to_string(def.width) + " wide instead of " + std::to_string(fixedWidth));
        t->fields_.push_back({def, offset});
        t->structure_.push_back(def);
        if (def.type == 'M')
            t->hasMemoField_ = true;
        offset += static_cast<uint32_t>(def.width);
    }
    if (!terminated && t->headerLength_ % 32 != 0 && t->headerLength_ % 32 != 1 && t->headerLength_ % 32 != 2)
        return bad("the field list has no terminator");
    if (t->fields_.empty())
        return bad("it has no fields");
    if (offset > t->recordLength_)
        return bad("the fields need " + std::to_string(offset) + " bytes but a record has " +
                   std::to_string(t->recordLength_));
    t->buildNameTable();
    const uint64_t whole = (*size - t->headerLength_) / t->recordLength_;
    if (headerCount > whole) {
        t->count_ = static_cast<uint32_t>(whole);
        t->damage_ = "The table " + path + " is damaged: its header counts " + std::to_string(headerCount) +
                     " records but the file holds " + std::to_string(whole) + " whole records";
    } else {
        t->count_ = headerCount;
    }
    return t;
}

Status DbfFile::refresh()
{
    if (countBehind_)
        return {};   // exclusive, and ahead of the header it has yet to write
    unsigned char h[8];
    if (auto st = file_.readAt(0, h, 8); !st)
        return st;
    const uint32_t headerCount = get32(h + 4);
    if (headerCount == count_ && damage_.empty())
        return {};
    auto size = file_.size();
    if (!size)
        return size.status();
    const uint64_t whole = *size >= headerLength_ ? (*size - headerLength_) / recordLength_ : 0;
    if (headerCount > whole) {
        count_ = static_cast<uint32_t>(whole);
        damage_ = "The table " + path() + " is damaged: its header counts " + std::to_string(headerCount) +
                  " records but the file holds " + std::to_string(whole) + " whole records";
    } else {
        count_ = headerCount;
        damage_.clear();
    }
    return {};
}

Status DbfFile::read(uint32_t recNo, char* buf) const
{
    if (recNo < 1 || recNo > count_)
        return Status::error(ErrorCode::NotFound, "Record " + std::to_string(recNo) + " is not in " + path());
    if (isPending(recNo)) {
        std::memcpy(buf, pending_.data() + static_cast<size_t>(recNo - pendingFirst_) * recordLength_, recordLength_);
        return {};
    }
    return file_.readAt(headerLength_ + static_cast<uint64_t>(recNo - 1) * recordLength_, buf, recordLength_);
}

Status DbfFile::readMany(uint32_t first, uint32_t count, char* buf) const
{
    if (count == 0)
        return {};
    if (first < 1 || static_cast<uint64_t>(first) + count - 1 > count_)
        return Status::error("Records " + std::to_string(first) + " to " + std::to_string(first + count - 1) +
                             " are not all in " + path());
    // Those before the queue from the file, the rest from the queue.
    uint32_t onFile = count;
    if (!pending_.empty() && first + count > pendingFirst_)
        onFile = first >= pendingFirst_ ? 0 : pendingFirst_ - first;
    if (onFile > 0)
        if (auto st = file_.readAt(headerLength_ + static_cast<uint64_t>(first - 1) * recordLength_, buf,
                                   static_cast<size_t>(onFile) * recordLength_);
            !st)
            return st;
    if (onFile < count) {
        const uint32_t from = first + onFile;
        std::memcpy(buf + static_cast<size_t>(onFile) * recordLength_,
                    pending_.data() + static_cast<size_t>(from - pendingFirst_) * recordLength_,
                    static_cast<size_t>(count - onFile) * recordLength_);
    }
    return {};
}

Status DbfFile::write(uint32_t recNo, const char* buf)
{
    if (!damage_.empty())
        return Status::error(ErrorCode::Damaged, damage_ + "; it is not written to");
    if (recNo < 1 || recNo > count_)
        return Status::error(ErrorCode::NotFound, "Record " + std::to_string(recNo) + " is not in " + path());
    if (isPending(recNo)) {
        std::memcpy(pending_.data() + static_cast<size_t>(recNo - pendingFirst_) * recordLength_, buf, recordLength_);
        return {};
    }
    if (countBehind_ && recNo == count_) {
        // A new last record: queued behind the others (which go first when
        // it does not follow them).
        if (!pending_.empty() && recNo != pendingFirst_ + pendingCount())
            if (auto st = flushPending(); !st)
                return st;
        if (pending_.empty())
            pendingFirst_ = recNo;
        pending_.append(buf, recordLength_);
        return {};
    }
    const uint64_t at = headerLength_ + static_cast<uint64_t>(recNo - 1) * recordLength_;
    return file_.writeAt(at, buf, recordLength_);
}

Status DbfFile::flushPending()
{
    if (pending_.empty())
        return {};
    // The end-of-file byte follows the last record when the queue ends the file.
    const bool last = pendingFirst_ + pendingCount() - 1 == count_;
    if (last)
        pending_.push_back('\x1A');
    const uint64_t at = headerLength_ + static_cast<uint64_t>(pendingFirst_ - 1) * recordLength_;
    Status st = file_.writeAt(at, pending_.data(), pending_.size());
    if (last)
        pending_.pop_back();
    if (!st)
        return st;
    pending_.clear();
    return {};
}

Result<uint32_t> DbfFile::appendLater()
{
    if (!damage_.empty())
        return Status::error(ErrorCode::Damaged, damage_ + "; it is not written to");
    if (count_ == UINT32_MAX)
        return Status::error("The table " + path() + " is full");
    countBehind_ = true;
    return ++count_;
}

Status DbfFile::flushCount()
{
    if (auto st = flushPending(); !st)
        return st;
    if (!countBehind_)
        return {};
    if (auto st = writeHeaderCount(count_); !st)
        return st;
    countBehind_ = false;
    return {};
}

Status DbfFile::writeHeaderCount(uint32_t count)
{
    unsigned char h[7];
    todayBytes(h);
    put32(h + 3, count);
    return file_.writeAt(1, h, 7);
}

Result<uint32_t> DbfFile::append(const char* buf)
{
    if (auto st = refresh(); !st)
        return st;
    if (!damage_.empty())
        return Status::error(ErrorCode::Damaged, damage_ + "; it is not written to");
    if (count_ == UINT32_MAX)
        return Status::error("The table " + path() + " is full");
    const uint64_t at = headerLength_ + static_cast<uint64_t>(count_) * recordLength_;
    // One write for the record and the end-of-file byte, then the count.
    std::string tmp;
    tmp.reserve(recordLength_ + 1);
    tmp.append(buf, recordLength_);
    tmp.push_back('\x1A');
    if (auto st = file_.writeAt(at, tmp.data(), tmp.size()); !st)
        return st;
    if (auto st = writeHeaderCount(count_ + 1); !st)
        return st;
    ++count_;
    return count_;
}

Status DbfFile::sync()
{
    if (auto st = flushCount(); !st)
        return st;
    return file_.sync();
}

void DbfFile::blankRecord(char* buf) const
{
    std::memset(buf, ' ', recordLength_);
}

// --- field encodings --------------------------------------------------------

namespace {

// The number's text right-aligned in the field, or TooLong with nothing written.
Status placeNumber(const char* text, size_t t, int width, int decimals, char* out)
{
    if (t > static_cast<size_t>(width)) {
        return Status::error(ErrorCode::TooLong, "The value " + std::string(text, t) + " does not fit a number field of width " +
                             std::to_string(width) + " with " + std::to_string(decimals) + " decimals");
    }
    std::memset(out, ' ', static_cast<size_t>(width));
    std::memcpy(out + width - t, text, t);
    return {};
}

} // namespace

Status encodeNumeric(double value, int width, int decimals, char* out)
{
    if (!std::isfinite(value))
        return Status::error("The value is not a number");
    if (decimals < 0)
        decimals = 0;
    // Whole numbers, most of what is stored, need no rounding: their digits
    // and as many zero decimals.
    if (std::fabs(value) < 1e15 && value == std::trunc(value) && decimals < 32) {
        char text[64];
        const auto r = std::to_chars(text, text + 24, static_cast<long long>(value));
        auto t = static_cast<size_t>(r.ptr - text);
        if (decimals > 0) {
            text[t++] = '.';
            std::memset(text + t, '0', static_cast<size_t>(decimals));
            t += static_cast<size_t>(decimals);
        }
        return placeNumber(text, t, width, decimals, out);
    }
    // Shortest text that reads back as the same double, then decimal rounding
    // half away from zero: 1.005 with two decimals stores 1.01, as typed.
    // Worked in fixed buffers: this runs for every number stored.
    char buf[512];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
    if (r.ec != std::errc())
        return Status::error("The value cannot be written as a number");
    const char* dot = static_cast<const char*>(std::memchr(buf, '.', static_cast<size_t>(r.ptr - buf)));
    const size_t intLen = static_cast<size_t>((dot ? dot : r.ptr) - buf);
    const char* frac = dot ? dot + 1 : r.ptr;
    const size_t fracLen = static_cast<size_t>(r.ptr - frac);
    const size_t dec = static_cast<size_t>(decimals);
    // all: the integer digits, then exactly `decimals` fraction digits, with
    // one spare place in front for a carry.
    char all[sizeof buf + 64];
    if (intLen + dec + 1 > sizeof all)
        return Status::error("The value cannot be written as a number");
    char* digits = all + 1;
    std::memcpy(digits, buf, intLen);
    for (size_t k = 0; k < dec; ++k)
        digits[intLen + k] = k < fracLen ? frac[k] : '0';
    size_t n = intLen + dec;
    if (fracLen > dec && frac[dec] >= '5') {
        size_t k = n;
        while (k > 0 && digits[k - 1] == '9')
            digits[--k] = '0';
        if (k > 0) {
            ++digits[k - 1];
        } else {
            --digits;
            digits[0] = '1';
            ++n;
        }
    }
    const size_t ipLen = n - dec;
    size_t nz = 0;
    while (nz < ipLen && digits[nz] == '0')
        ++nz;
    bool zero = true;
    for (size_t k = 0; k < n && zero; ++k)
        zero = digits[k] == '0';
    char text[sizeof all + 4];
    size_t t = 0;
    if (value < 0 && !zero)
        text[t++] = '-';
    if (nz == ipLen) {
        text[t++] = '0';
    } else {
        std::memcpy(text + t, digits + nz, ipLen - nz);
        t += ipLen - nz;
    }
    if (dec > 0) {
        text[t++] = '.';
        std::memcpy(text + t, digits + ipLen, dec);
        t += dec;
    }
    return placeNumber(text, t, width, decimals, out);
}

double decodeNumeric(std::string_view text)
{
    // Whole numbers of up to fifteen digits, most of what is stored, are read
    // digit by digit; anything else goes through from_chars below.
    {
        uint64_t v = 0;
        int digits = 0;
        bool minus = false, plain = true;
        for (char c : text) {
            if (c == ' ' || c == '\0')
                continue;
            if (c >= '0' && c <= '9' && digits < 15) {
                v = v * 10 + static_cast<uint64_t>(c - '0');
                ++digits;
            } else if (c == '-' && digits == 0 && !minus) {
                minus = true;
            } else {
                plain = false;
                break;
            }
        }
        if (plain && digits > 0)
            return minus ? -static_cast<double>(v) : static_cast<double>(v);
    }
    char buf[64];
    size_t n = 0;
    for (char c : text) {
        if (c == ' ' || c == '\0')
            continue;
        if (n + 1 >= sizeof buf)
            break;
        buf[n++] = c == ',' ? '.' : c;
    }
    if (n == 0)
        return 0.0;
    double v = 0;
    auto r = std::from_chars(buf, buf + n, v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return 0.0;
    return v;
}

bool decodeLogical(char c) { return c == 'T' || c == 't' || c == 'Y' || c == 'y'; }

std::optional<uint32_t> decodeMemoBlock(std::string_view field)
{
    uint64_t v = 0;
    bool any = false;
    for (char c : field) {
        if (c == ' ' || c == '\0')
            continue;
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > UINT32_MAX)
            return std::nullopt;
        any = true;
    }
    if (!any || v == 0)
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

void encodeMemoBlock(uint32_t block, char* out10)
{
    std::memset(out10, ' ', 10);
    if (block == 0)
        return;
    std::string s = std::to_string(block);
    std::memcpy(out10 + 10 - s.size(), s.data(), s.size());
}

} // namespace cn::data
