// Code pages 1251 and 1252 byte by byte, against their definitions written out here: bytes 00 to 7F
// are ASCII in both, and a byte the page leaves undefined (98 in 1251; 81, 8D, 8F, 90 and 9D in
// 1252) reads as U+FFFD and has no way back.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "lists/code_page.h"

namespace {

constexpr char32_t U = 0xFFFD;  // undefined in the page

struct PageDefinition {
    int codePage;
    std::array<char32_t, 128> upper;  // bytes 80 to FF
};

// 1252's upper quarter is Latin-1's, so bytes A0 to FF are their own code points.
constexpr PageDefinition page1252() {
    PageDefinition page{1252, {0x20AC, U,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                               0x2039, 0x0152, U,      0x017D, U,      U,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                               0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, U,      0x017E, 0x0178}};
    for (char32_t b = 0xA0; b <= 0xFF; ++b) page.upper[b - 0x80] = b;
    return page;
}

// 1251's bytes C0 to FF are the Russian alphabet, А (U+0410) to я (U+044F), in order.
constexpr PageDefinition page1251() {
    PageDefinition page{
        1251, {0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
               0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, U,      0x2122,
               0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
               0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
               0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457}};
    for (char32_t b = 0xC0; b <= 0xFF; ++b) page.upper[b - 0x80] = 0x0410 + (b - 0xC0);
    return page;
}

const PageDefinition Pages[] = {page1251(), page1252()};

char32_t definedAs(const PageDefinition& page, int byte) { return byte < 0x80 ? byte : page.upper[byte - 0x80]; }

// UTF-8 of a character of the Basic Multilingual Plane, as the standard lays out its bits.
std::string utf8Of(char32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    if (c < 0x800) return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

TEST(CodePage, EveryByteReadsAsThePageDefinesItAndDefinedOnesGoBackToThemselves) {
    for (const PageDefinition& page : Pages) {
        ASSERT_TRUE(codePageAvailable(page.codePage)) << page.codePage;
        std::string allBytes;
        std::string expectedText = "kept ";
        for (int byte = 0; byte < 256; ++byte) {
            const std::string one(1, static_cast<char>(byte));
            const char32_t c = definedAs(page, byte);
            EXPECT_EQ(codePageToUtf8(page.codePage, one), utf8Of(c)) << page.codePage << " byte " << byte;
            allBytes += one;
            expectedText += utf8Of(c);

            std::string back;
            std::string why;
            if (c == U) {
                EXPECT_FALSE(utf8ToCodePage(page.codePage, utf8Of(c), back, why)) << page.codePage << " " << byte;
                EXPECT_NE(why.find("U+FFFD"), std::string::npos) << why;
                EXPECT_NE(why.find(std::to_string(page.codePage)), std::string::npos) << why;
            } else {
                EXPECT_TRUE(utf8ToCodePage(page.codePage, utf8Of(c), back, why)) << page.codePage << " " << byte;
                EXPECT_EQ(back, one) << page.codePage << " byte " << byte;
            }
        }
        // A whole text at once, appended after what the buffer holds.
        std::string text = "kept ";
        appendCodePageToUtf8(text, page.codePage, allBytes);
        EXPECT_EQ(text, expectedText) << page.codePage;
    }
}

TEST(CodePage, TextThatCannotBeWrittenInThePageIsRefusedWithItsReason) {
    struct Case {
        const char* what;
        int codePage;
        std::string utf8;
        const char* reason;  // a part of why
    };
    const Case cases[] = {
        {"Cyrillic in 1252", 1252, "ab\xD0\x96", "U+0416 is not in code page 1252"},
        {"an accented Latin letter in 1251", 1251, "\xC3\xA9", "U+00E9 is not in code page 1251"},
        {"a character outside the first plane", 1252, "\xF0\x9F\x98\x80", "U+1F600"},
        {"an overlong form", 1252, "a\xC0\x80", "not UTF-8"},
        {"a surrogate", 1251, "\xED\xA0\x80", "not UTF-8"},
        {"a truncated sequence", 1251, "\xD0", "not UTF-8"},
        {"a page the system lacks", 99999, "abc", "cannot be converted"},
        {"no page", 0, "abc", "cannot be converted"},
    };
    for (const Case& c : cases) {
        std::string out = "left over";
        std::string why;
        EXPECT_FALSE(utf8ToCodePage(c.codePage, c.utf8, out, why)) << c.what;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
    }
    EXPECT_FALSE(codePageAvailable(99999));
    EXPECT_FALSE(codePageAvailable(0));
    // A text the page holds, mixed from both halves, goes through whole.
    std::string out;
    std::string why;
    ASSERT_TRUE(utf8ToCodePage(1251, "TV \xD0\x9D\xD0\xA2\xD0\x92 \xE2\x82\xAC", out, why)) << why;
    EXPECT_EQ(out, "TV \xCD\xD2\xC2 \x88");
}

}  // namespace
