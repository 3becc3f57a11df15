#include "data/cp1252.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace cn::data {

namespace {
// Code points of bytes 0x80..0x9F; 0 marks the five bytes with no character.
constexpr char16_t kHigh[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

char32_t byteToCp(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F) {
        char32_t cp = kHigh[b - 0x80];
        return cp ? cp : b;   // undefined bytes pass through as their C1 code point
    }
    return b;
}

std::optional<unsigned char> cpToByte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<unsigned char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp && cp != 0)
            return static_cast<unsigned char>(0x80 + i);
    // The five undefined bytes round-trip through their C1 code points.
    if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D)
        return static_cast<unsigned char>(cp);
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
} // namespace

std::string cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes)
        appendUtf8(out, byteToCp(b));
    return out;
}

std::optional<std::string> utf8ToCp1252(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else return std::nullopt;
        if (i + static_cast<size_t>(extra) >= s.size() && extra > 0)
            return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (cc & 0x3F);
        }
        i += 1 + extra;
        auto b = cpToByte(cp);
        if (!b)
            return std::nullopt;
        out += static_cast<char>(*b);
    }
    return out;
}

bool cp1252Encodable(char32_t cp) { return cpToByte(cp).has_value(); }

std::string upperCp1252(std::string_view bytes)
{
    std::string out(bytes);
    for (char& ch : out) {
        auto b = static_cast<unsigned char>(ch);
        if (b >= 'a' && b <= 'z')
            b = static_cast<unsigned char>(b - 32);
        else if (b == 0x9A || b == 0x9C || b == 0x9E)   // š œ ž
            b = static_cast<unsigned char>(b - 0x10);
        else if (b == 0xFF)                             // ÿ
            b = 0x9F;
        else if (b >= 0xE0 && b <= 0xFE && b != 0xF7)   // à..þ except ÷
            b = static_cast<unsigned char>(b - 32);
        ch = static_cast<char>(b);
    }
    return out;
}

namespace {

// How common a byte is in a practice's notes and prescriptions, lower for
// rarer: letters by their usual frequency in English text, the space and
// line breaks the most common of all, anything else rare.
int commonness(unsigned char upper)
{
    static constexpr const char* kByFrequency = "ETAOINSHRDLCUMWFGYPBVKJXQZ";   // commonest first
    if (upper == ' ' || upper == '\r' || upper == '\n')
        return 100;
    for (int i = 0; kByFrequency[i]; ++i)
        if (kByFrequency[i] == static_cast<char>(upper))
            return 90 - i;
    return 10;
}

} // namespace

FoldedSearch::FoldedSearch(std::string_view word)
{
    for (int c = 0; c < 256; ++c)
        fold_[c] = static_cast<unsigned char>(upperCp1252(std::string(1, static_cast<char>(c)))[0]);
    word_.reserve(word.size());
    for (char c : word)
        word_.push_back(static_cast<char>(fold_[static_cast<unsigned char>(c)]));
    if (word_.empty())
        return;
    auto score = [&](size_t i) { return commonness(static_cast<unsigned char>(word_[i])); };
    for (size_t i = 1; i < word_.size(); ++i)
        if (score(i) < score(at_))
            at_ = i;
    // Upper-case folding pairs bytes: the folded byte and at most one other.
    a_ = b_ = word_[at_];
    for (int c = 0; c < 256; ++c)
        if (fold_[c] == static_cast<unsigned char>(a_) && static_cast<char>(c) != a_)
            b_ = static_cast<char>(c);

    // A probe byte must be one whose cases one OR with 0x20 brings together,
    // or one without cases.
    auto mask = [&](unsigned char f) -> int {
        int others = 0;
        bool paired = true;
        for (int c = 0; c < 256; ++c)
            if (fold_[c] == f && c != f) {
                ++others;
                paired = paired && (c | 0x20) == (f | 0x20);
            }
        return others == 0 ? 0 : others == 1 && paired ? 0x20 : -1;
    };
    size_t best[2] = {SIZE_MAX, SIZE_MAX};
    for (size_t i = 0; i < word_.size(); ++i) {
        if (mask(static_cast<unsigned char>(word_[i])) < 0)
            continue;
        if (best[0] == SIZE_MAX || score(i) < score(best[0])) {
            best[1] = best[0];
            best[0] = i;
        } else if (best[1] == SIZE_MAX || score(i) < score(best[1])) {
            best[1] = i;
        }
    }
    if (best[1] == SIZE_MAX)
        return;
    probes_ = true;
    p1_ = best[0], p2_ = best[1];
    o1_ = static_cast<unsigned char>(mask(static_cast<unsigned char>(word_[p1_])));
    o2_ = static_cast<unsigned char>(mask(static_cast<unsigned char>(word_[p2_])));
    c1_ = static_cast<unsigned char>(word_[p1_]) | o1_;
    c2_ = static_cast<unsigned char>(word_[p2_]) | o2_;
}

bool FoldedSearch::matches(const char* at) const
{
    for (size_t i = 0; i < word_.size(); ++i)
        if (fold_[static_cast<unsigned char>(at[i])] != static_cast<unsigned char>(word_[i]))
            return false;
    return true;
}

size_t FoldedSearch::find(std::string_view text) const
{
    const size_t m = word_.size();
    if (m == 0)
        return 0;
    if (text.size() < m)
        return std::string_view::npos;
    if (!probes_)
        return leap(text);
    const char* const t = text.data();
    const size_t n = text.size();
    const size_t last = n - m;   // the last place the word can start
    size_t s = 0;
#ifdef __SSE2__
    const __m128i c1 = _mm_set1_epi8(static_cast<char>(c1_)), o1 = _mm_set1_epi8(static_cast<char>(o1_));
    const __m128i c2 = _mm_set1_epi8(static_cast<char>(c2_)), o2 = _mm_set1_epi8(static_cast<char>(o2_));
    const size_t reach = std::max(p1_, p2_) + 16;   // bytes a block of sixteen starts reads from s
    for (; s + reach <= n && s <= last; s += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + s + p1_));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + s + p2_));
        auto hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(x, o1), c1), _mm_cmpeq_epi8(_mm_or_si128(y, o2), c2))));
        for (; hits != 0; hits &= hits - 1) {
            const size_t at = s + static_cast<size_t>(__builtin_ctz(hits));
            if (at > last)
                return std::string_view::npos;
            if (matches(t + at))
                return at;
        }
    }
#endif
    for (; s <= last; ++s)
        if ((static_cast<unsigned char>(t[s + p1_]) | o1_) == c1_ &&
            (static_cast<unsigned char>(t[s + p2_]) | o2_) == c2_ && matches(t + s))
            return s;
    return std::string_view::npos;
}

size_t FoldedSearch::leap(std::string_view text) const
{
    const size_t m = word_.size();
    // The rare byte of a match lies in [begin + at_, hi).
    const char* const begin = text.data();
    const char* const hi = begin + text.size() - (m - 1 - at_);
    auto next = [&](const char* from, char c) {
        return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(hi - from)));
    };
    const char* na = next(begin + at_, a_);
    const char* nb = b_ != a_ ? next(begin + at_, b_) : nullptr;
    while (na || nb) {
        const char* c = !nb || (na && na < nb) ? na : nb;
        if (matches(c - at_))
            return static_cast<size_t>(c - at_ - begin);
        if (c == na)
            na = c + 1 < hi ? next(c + 1, a_) : nullptr;
        else
            nb = c + 1 < hi ? next(c + 1, b_) : nullptr;
    }
    return std::string_view::npos;
}

} // namespace cn::data
