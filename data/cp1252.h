#pragma once
// Text in table files is Windows-1252. These convert at the boundary.
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

} // namespace cn::data

namespace cn::data {

// A word found in Windows-1252 text in any letter case, as upperCp1252 folds
// it, without folding the text: memchr leaps to each place that holds the
// word's rarest byte in either of its cases, and only there is the word
// compared. A memo of a few hundred bytes is mostly leapt over.
class FoldedSearch {
public:
    explicit FoldedSearch(std::string_view word);
    // The offset of the first occurrence, or npos; an empty word is at 0.
    size_t find(std::string_view text) const;
    bool in(std::string_view text) const { return find(text) != std::string_view::npos; }

private:
    unsigned char fold_[256];
    std::string word_;          // folded
    size_t at_ = 0;             // the rarest byte's place in the word
    char a_ = 0, b_ = 0;        // that byte in its two cases (the same when it has one)
};

} // namespace cn::data
