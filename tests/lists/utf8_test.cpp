// UTF-8 as Unicode defines it: the expectations come from the standard's table of well-formed byte
// sequences and from hand-decoded boundaries, never from the decoder under test. Every text lies in
// heap memory of exactly its size, so a read past a truncated sequence's end shows under ASan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lists/utf8.h"

namespace {

constexpr char32_t Refused = 0xFFFFFFFF;

struct Sequence {
    const char* what;
    std::vector<unsigned char> bytes;
    char32_t expected;  // the one character the bytes are, or Refused
};

const Sequence Sequences[] = {
    {"U+0000", {0x00}, 0x0000},
    {"U+007F, the last single byte", {0x7F}, 0x007F},
    {"U+0080, the first of two bytes", {0xC2, 0x80}, 0x0080},
    {"U+00E9", {0xC3, 0xA9}, 0x00E9},
    {"U+07FF, the last of two bytes", {0xDF, 0xBF}, 0x07FF},
    {"U+0800, the first of three bytes", {0xE0, 0xA0, 0x80}, 0x0800},
    {"U+20AC", {0xE2, 0x82, 0xAC}, 0x20AC},
    {"U+D7FF, just below the surrogates", {0xED, 0x9F, 0xBF}, 0xD7FF},
    {"U+E000, just above the surrogates", {0xEE, 0x80, 0x80}, 0xE000},
    {"U+FFFD", {0xEF, 0xBF, 0xBD}, 0xFFFD},
    {"U+FFFF, the last of three bytes", {0xEF, 0xBF, 0xBF}, 0xFFFF},
    {"U+10000, the first of four bytes", {0xF0, 0x90, 0x80, 0x80}, 0x10000},
    {"U+1F600", {0xF0, 0x9F, 0x98, 0x80}, 0x1F600},
    {"U+10FFFF, the last scalar value", {0xF4, 0x8F, 0xBF, 0xBF}, 0x10FFFF},

    {"overlong U+0000 in two bytes", {0xC0, 0x80}, Refused},
    {"overlong U+007F in two bytes", {0xC1, 0xBF}, Refused},
    {"overlong U+0000 in three bytes", {0xE0, 0x80, 0x80}, Refused},
    {"overlong U+07FF in three bytes", {0xE0, 0x9F, 0xBF}, Refused},
    {"overlong U+0000 in four bytes", {0xF0, 0x80, 0x80, 0x80}, Refused},
    {"overlong U+FFFF in four bytes", {0xF0, 0x8F, 0xBF, 0xBF}, Refused},
    {"overlong in five bytes", {0xF8, 0x80, 0x80, 0x80, 0x80}, Refused},
    {"overlong in six bytes", {0xFC, 0x80, 0x80, 0x80, 0x80, 0x80}, Refused},
    {"U+D800, the first surrogate", {0xED, 0xA0, 0x80}, Refused},
    {"U+DBFF", {0xED, 0xAF, 0xBF}, Refused},
    {"U+DC00", {0xED, 0xB0, 0x80}, Refused},
    {"U+DFFF, the last surrogate", {0xED, 0xBF, 0xBF}, Refused},
    {"a surrogate pair as two characters", {0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}, Refused},
    {"U+110000", {0xF4, 0x90, 0x80, 0x80}, Refused},
    {"U+13FFFF from lead byte F4", {0xF4, 0xBF, 0xBF, 0xBF}, Refused},
    {"lead byte F5", {0xF5, 0x80, 0x80, 0x80}, Refused},
    {"lead byte F7", {0xF7, 0xBF, 0xBF, 0xBF}, Refused},
    {"byte FE", {0xFE}, Refused},
    {"byte FF", {0xFF}, Refused},
    {"two bytes, the second missing", {0xC2}, Refused},
    {"three bytes, the third missing", {0xE2, 0x82}, Refused},
    {"three bytes, two missing", {0xE2}, Refused},
    {"four bytes, the fourth missing", {0xF0, 0x9F, 0x98}, Refused},
    {"two bytes cut by an ASCII letter", {0xC2, 0x41}, Refused},
    {"three bytes cut by an ASCII letter", {0xE2, 0x82, 0x41}, Refused},
    {"four bytes cut by a lead byte", {0xF0, 0x9F, 0x98, 0xC2, 0x80}, Refused},
    {"a stray continuation byte 80", {0x80}, Refused},
    {"a stray continuation byte BF", {0xBF}, Refused},
    {"a continuation byte too many", {0xC3, 0xA9, 0xA9}, Refused},
};

// A text in heap memory of exactly its size: a vector made from a range takes no more.
using ExactText = std::vector<char>;

ExactText exactText(std::span<const unsigned char> bytes) { return ExactText(bytes.begin(), bytes.end()); }

std::string_view view(const ExactText& text) { return {text.data(), text.size()}; }

TEST(Utf8, TakesTheShortestFormOfEveryScalarValueAndRefusesEveryOtherSequence) {
    for (const Sequence& s : Sequences) {
        const ExactText text = exactText(s.bytes);
        std::size_t at = 0;
        char32_t c = 0;
        const bool read = nextUtf8(view(text), at, c);
        if (s.expected == Refused) {
            // A sequence refused may still start with a character ("a continuation byte too many").
            EXPECT_FALSE(read && at == s.bytes.size()) << s.what;
            EXPECT_FALSE(isUtf8(view(text))) << s.what;
            continue;
        }
        EXPECT_TRUE(read) << s.what;
        EXPECT_EQ(c, s.expected) << s.what;
        EXPECT_EQ(at, s.bytes.size()) << s.what;
        EXPECT_TRUE(isUtf8(view(text))) << s.what;
        std::string encoded = "x";
        appendUtf8(encoded, s.expected);
        EXPECT_EQ(encoded, "x" + std::string(s.bytes.begin(), s.bytes.end())) << s.what;

        // Between other characters it is read from where it starts, and no further.
        std::vector<unsigned char> between{'A'};
        between.insert(between.end(), s.bytes.begin(), s.bytes.end());
        between.push_back('B');
        const ExactText inside = exactText(between);
        at = 1;
        EXPECT_TRUE(nextUtf8(view(inside), at, c)) << s.what;
        EXPECT_EQ(c, s.expected) << s.what;
        EXPECT_EQ(at, 1 + s.bytes.size()) << s.what;
        EXPECT_TRUE(isUtf8(view(inside))) << s.what;
    }
}

// Unicode's table of well-formed UTF-8: the first byte's range, then each following byte's.
struct WellFormedRow {
    unsigned char firstLow;
    unsigned char firstHigh;
    std::vector<std::pair<unsigned char, unsigned char>> then;
};

const WellFormedRow WellFormed[] = {
    {0x00, 0x7F, {}},
    {0xC2, 0xDF, {{0x80, 0xBF}}},
    {0xE0, 0xE0, {{0xA0, 0xBF}, {0x80, 0xBF}}},
    {0xE1, 0xEC, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {0xED, 0xED, {{0x80, 0x9F}, {0x80, 0xBF}}},
    {0xEE, 0xEF, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF0, 0xF0, {{0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF1, 0xF3, {{0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF4, 0xF4, {{0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}},
};

// The length of the well-formed sequence at the start of bytes, 0 when there is none.
std::size_t wellFormedLength(std::span<const unsigned char> bytes) {
    for (const WellFormedRow& row : WellFormed) {
        if (bytes[0] < row.firstLow || bytes[0] > row.firstHigh) continue;
        if (bytes.size() < 1 + row.then.size()) return 0;
        for (std::size_t i = 0; i < row.then.size(); ++i) {
            if (bytes[1 + i] < row.then[i].first || bytes[1 + i] > row.then[i].second) return 0;
        }
        return 1 + row.then.size();
    }
    return 0;
}

// A well-formed sequence's scalar value: the lead byte's low bits, then six bits from each other.
char32_t valueOf(std::span<const unsigned char> sequence) {
    static const unsigned char leadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t value = sequence[0] & leadBits[sequence.size()];
    for (std::size_t i = 1; i < sequence.size(); ++i) value = (value << 6) | (sequence[i] & 0x3F);
    return value;
}

bool allWellFormed(std::span<const unsigned char> bytes) {
    while (!bytes.empty()) {
        const std::size_t length = wellFormedLength(bytes);
        if (length == 0) return false;
        bytes = bytes.subspan(length);
    }
    return true;
}

// The decoder against the table on one text, written into text's memory of the same size.
testing::AssertionResult agreesWithTheTable(std::span<const unsigned char> bytes, ExactText& text) {
    std::copy(bytes.begin(), bytes.end(), text.begin());
    const auto failure = [&](const char* what) {
        return testing::AssertionFailure() << what << " for " << testing::PrintToString(bytes);
    };
    if (isUtf8(view(text)) != allWellFormed(bytes)) return failure("isUtf8 disagrees");
    const std::size_t length = wellFormedLength(bytes);
    std::size_t at = 0;
    char32_t c = 0;
    const bool read = nextUtf8(view(text), at, c);
    if (read != (length != 0)) return failure("nextUtf8 disagrees");
    if (read && at != length) return failure("nextUtf8 took another length");
    if (read && c != valueOf(bytes.first(length))) return failure("nextUtf8 read another value");
    return testing::AssertionSuccess();
}

TEST(Utf8, AgreesWithUnicodesTableOfWellFormedSequences) {
    // Every text of one and two bytes.
    for (std::size_t size = 1; size <= 2; ++size) {
        ExactText text(size);
        unsigned char bytes[2];
        for (unsigned n = 0; n < (1u << (8 * size)); ++n) {
            bytes[0] = static_cast<unsigned char>(n);
            bytes[1] = static_cast<unsigned char>(n >> 8);
            ASSERT_TRUE(agreesWithTheTable({bytes, size}, text));
        }
    }
    // Texts of three and four bytes from each edge of the table's ranges and the bytes beside them.
    static const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                                          0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0,
                                          0xF1, 0xF3, 0xF4, 0xF5, 0xF7, 0xF8, 0xFB, 0xFC, 0xFE, 0xFF};
    constexpr std::size_t count = std::size(edges);
    for (std::size_t size = 3; size <= 4; ++size) {
        ExactText text(size);
        std::size_t total = 1;
        for (std::size_t i = 0; i < size; ++i) total *= count;
        unsigned char bytes[4];
        for (std::size_t n = 0; n < total; ++n) {
            for (std::size_t i = 0, rest = n; i < size; ++i, rest /= count) bytes[i] = edges[rest % count];
            ASSERT_TRUE(agreesWithTheTable({bytes, size}, text));
        }
    }
}

}  // namespace
