// The case-free word search against the plain way of doing it: fold both
// texts through upperCp1252 and look for one in the other.
#include "data/cp1252.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace cn::data {
namespace {

size_t reference(std::string_view text, std::string_view word)
{
    return upperCp1252(text).find(upperCp1252(word));
}

TEST(FoldedSearch, AgreesWithFoldingEverythingOnRandomText)
{
    // A small alphabet so that matches, near-misses and overlaps are
    // frequent: both cases of ASCII and accented letters, letters whose
    // cases differ in more than one bit (ÿ Ÿ, š Š), a letter without another
    // case (ß, which is ÿ with one bit less), ÷ beside ×, and the line break.
    const std::string alphabet = "aAbBzZ\xE9\xC9\xFF\x9F\x9A\x8A\xDF\xF7\xD7 \r\n";
    uint64_t s = 7;
    auto next = [&] {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<size_t>(s >> 33);
    };
    auto random = [&](size_t n) {
        std::string t;
        for (size_t i = 0; i < n; ++i)
            t += alphabet[next() % alphabet.size()];
        return t;
    };
    for (int round = 0; round < 40000; ++round) {
        const std::string word = random(1 + next() % 4);
        const std::string text = random(next() % 90);   // past the 16-byte blocks
        ASSERT_EQ(FoldedSearch(word).find(text), reference(text, word))
            << "word [" << word << "] text [" << text << "]";
    }
}

TEST(FoldedSearch, EdgesOfTheText)
{
    const FoldedSearch para("Paracetamol");
    EXPECT_EQ(para.find("PARACETAMOL 500 mg"), 0u);                   // at the start
    EXPECT_EQ(para.find("tab paracetamoL"), 4u);                      // at the very end
    EXPECT_FALSE(para.in("tab paracetamo"));                          // cut short by the end
    EXPECT_FALSE(para.in("paracetam"));                               // shorter than the word
    EXPECT_EQ(para.find("paraparacetamol"), 4u);                      // after a false start
    EXPECT_EQ(FoldedSearch("").find("anything"), 0u);
    EXPECT_FALSE(FoldedSearch("x").in(""));
    // Accented letters in either case, and a byte with no other case.
    EXPECT_TRUE(FoldedSearch("caf\xE9").in("CAF\xC9 au lait"));
    EXPECT_TRUE(FoldedSearch("stra\xDF" "e").in("STRA\xDF" "E"));
    EXPECT_FALSE(FoldedSearch("\xF7").in("\xD7"));                    // ÷ and × are no pair
}

} // namespace
} // namespace cn::data
