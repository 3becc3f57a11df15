#pragma once
// Little-endian integers as the table, memo and index files store them, and
// the prefix comparison that keys and scopes use.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace cn::data {

inline uint16_t get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t get32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline void put16(unsigned char* p, uint32_t v)
{
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
}
inline void put32(unsigned char* p, uint32_t v)
{
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
    p[2] = (v >> 16) & 0xFF;
    p[3] = (v >> 24) & 0xFF;
}

// -1, 0, 1 comparing the first min(|key|, |prefix|) bytes as unsigned bytes;
// a key shorter than the prefix sorts before it.
inline int cmpPrefix(std::string_view key, std::string_view prefix)
{
    const size_t n = std::min(key.size(), prefix.size());
    const int c = n ? std::memcmp(key.data(), prefix.data(), n) : 0;
    if (c != 0)
        return c < 0 ? -1 : 1;
    return key.size() < prefix.size() ? -1 : 0;
}

} // namespace cn::data
