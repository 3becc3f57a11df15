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

// A word looked for in upper case anywhere in Windows-1252 text: a skip
// search over bytes folded through upperCp1252's mapping, so the text is
// neither copied nor upper-cased whole. An empty word is found everywhere.
class UpperSearch {
public:
    explicit UpperSearch(std::string_view word);
    bool in(std::string_view text) const;

private:
    std::string word_;
    std::array<size_t, 256> skip_{};
};

} // namespace cn::data
