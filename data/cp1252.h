#pragma once
// Text in table files is Windows-1252. These convert at the boundary.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace cn::data {

std::string cp1252ToUtf8(std::string_view bytes);
// Fails when a character has no Windows-1252 byte.
std::optional<std::string> utf8ToCp1252(std::string_view utf8);
// True when the Unicode code point can be stored in a table.
bool cp1252Encodable(char32_t cp);
// Upper case as key expressions' upper() applies it to Windows-1252 bytes.
std::string upperCp1252(std::string_view bytes);

// A word found in Windows-1252 text in any letter case, as upperCp1252 folds
// it, without folding the text. Two of the word's rarest bytes are compared,
// each in both its cases, at sixteen places at once (a letter's two cases
// differ in one bit, so one OR and one compare take both); only where both
// agree is the whole word compared. A word whose letters have cases further
// apart (š and Š) leaps with memchr to its rarest byte in either case.
class FoldedSearch {
public:
    explicit FoldedSearch(std::string_view word);
    // The offset of the first occurrence, or npos; an empty word is at 0.
    size_t find(std::string_view text) const;
    bool in(std::string_view text) const { return find(text) != std::string_view::npos; }

private:
    bool matches(const char* at) const;
    size_t leap(std::string_view text) const;

    unsigned char fold_[256];
    std::string word_;          // folded
    size_t at_ = 0;             // the rarest byte's place in the word
    char a_ = 0, b_ = 0;        // that byte in its two cases (the same when it has one)
    // The two probes: places in the word, and the byte each must show once
    // OR-ed with its mask (0x20 for a letter, 0 for a byte without cases).
    bool probes_ = false;
    size_t p1_ = 0, p2_ = 0;
    unsigned char c1_ = 0, c2_ = 0, o1_ = 0, o2_ = 0;
};

} // namespace cn::data
