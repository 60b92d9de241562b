// The form's text rules: what a typed or pasted text stores, what a stored value shows, and the
// stream list's cell texts, all without a window.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "form/form_text.h"

namespace {

struct NumberCase {
    int line;
    std::string text;
    std::int32_t expected;
};

TEST(ParseNumber, FollowsTheAtoiRuleAndSaturates) {
    const NumberCase cases[] = {
        {__LINE__, "", 0},
        {__LINE__, "0", 0},
        {__LINE__, "123", 123},
        {__LINE__, "  42", 42},
        {__LINE__, " \t\n\v\f\r7", 7},
        {__LINE__, "+5", 5},
        {__LINE__, "-5", -5},
        {__LINE__, "-0", 0},
        {__LINE__, "12abc", 12},
        {__LINE__, "12 3", 12},
        {__LINE__, "0x10", 0},
        {__LINE__, "abc", 0},
        {__LINE__, "-", 0},
        {__LINE__, "  +", 0},
        {__LINE__, "- 5", 0},
        {__LINE__, "+-5", 0},
        {__LINE__, "--5", 0},
        {__LINE__, "5 ", 5},
        {__LINE__, "000000000000000000000000000000000012", 12},
        {__LINE__, "2147483647", INT_MAX},
        {__LINE__, "2147483648", INT_MAX},
        {__LINE__, "-2147483647", -INT_MAX},
        {__LINE__, "-2147483648", INT_MIN},
        {__LINE__, "-2147483649", INT_MIN},
        {__LINE__, "4294967297", INT_MAX},  // a wrapping conversion would give 1
        {__LINE__, "99999999999", INT_MAX},
        {__LINE__, "-99999999999", INT_MIN},
        {__LINE__, "21474836470", INT_MAX},
        {__LINE__, "-000002147483648", INT_MIN},
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(parseNumber(c.text), c.expected) << "case at line " << c.line << ": \"" << c.text << "\"";
    }
}

// A 259-character text: `fill` throughout, with `first` and `last` at its ends.
std::string longText(char first, char fill, char last) {
    std::string text(259, fill);
    text.front() = first;
    text.back() = last;
    return text;
}

TEST(ParseNumber, HandlesTheLongestTextAFieldCanHold) {
    EXPECT_EQ(parseNumber(longText('9', '9', '9')), INT_MAX);
    EXPECT_EQ(parseNumber(longText('-', '9', '9')), INT_MIN);
    EXPECT_EQ(parseNumber(longText('+', '9', '9')), INT_MAX);
    EXPECT_EQ(parseNumber(longText('0', '0', '7')), 7);
    EXPECT_EQ(parseNumber(longText('-', '0', '7')), -7);
    EXPECT_EQ(parseNumber(longText('+', '0', '7')), 7);
    EXPECT_EQ(parseNumber(longText(' ', ' ', '9')), 9);
    EXPECT_EQ(parseNumber(longText(' ', ' ', ' ')), 0);
    EXPECT_EQ(parseNumber(longText('-', '-', '9')), 0);
    std::string blanksThenDigits(259, '9');
    blanksThenDigits.replace(0, 200, 200, ' ');
    EXPECT_EQ(parseNumber(blanksThenDigits), INT_MAX);
    // Far more digits than a field ever gives still cannot overflow.
    EXPECT_EQ(parseNumber(std::string(100000, '9')), INT_MAX);
}

TEST(ParseNumber, StopsAtTheEndOfTheTextOrAtANul) {
    const char digits[] = {'1', '2', '3', '4', '5', '6'};  // no terminating NUL
    EXPECT_EQ(parseNumber(std::string_view(digits, 3)), 123);
    EXPECT_EQ(parseNumber(std::string_view("12\0"
                                           "34",
                                           5)),
              12);
    EXPECT_EQ(parseNumber(std::string_view("-", 1)), 0);
}

TEST(SixteenBitFields, KeepTheNumberModulo65536) {
    EXPECT_EQ(wrap16(70000), 4464);
    EXPECT_EQ(wrap16(-1), 65535);
    EXPECT_EQ(wrap16(65535), 65535);
    EXPECT_EQ(wrap16(65536), 0);
    EXPECT_EQ(wrap16(-65536), 0);
    EXPECT_EQ(wrap16(-65537), 65535);
    // Saturated texts keep the low 16 bits of INT_MAX and INT_MIN.
    EXPECT_EQ(wrap16(parseNumber("99999999999")), 0xFFFF);
    EXPECT_EQ(wrap16(parseNumber("-99999999999")), 0);
    EXPECT_EQ(wrap16(parseNumber("70000")), 4464);
}

TEST(ListPositions, StoreOneByteWith255ForNone) {
    EXPECT_EQ(listPositionByte(-1), 255);
    EXPECT_EQ(listPositionByte(INT_MIN), 255);
    EXPECT_EQ(listPositionByte(0), 0);
    EXPECT_EQ(listPositionByte(2), 2);
    EXPECT_EQ(listPositionByte(254), 254);
    EXPECT_EQ(listPositionByte(255), 255);  // the same byte as no selection
    EXPECT_EQ(listPositionByte(256), 0);
    EXPECT_EQ(listPositionByte(300), 44);
}

TEST(Polarity, OnlyItemZeroIsHorizontalAndOnly86ShowsVertical) {
    EXPECT_EQ(polarityFromSelection(0), 72);
    EXPECT_EQ(polarityFromSelection(1), 86);
    EXPECT_EQ(polarityFromSelection(-1), 86);
    EXPECT_EQ(polarityFromSelection(7), 86);
    EXPECT_EQ(polaritySelection(86), 1);
    EXPECT_EQ(polaritySelection(72), 0);
    EXPECT_EQ(polaritySelection(0), 0);
    EXPECT_EQ(polaritySelection(86 + 256), 0);  // both bytes count
}

class FieldTextStore : public ::testing::Test {
protected:
    void SetUp() override { std::memset(field, 'X', sizeof field); }
    char field[TextFieldSize];
};

TEST_F(FieldTextStore, KeepsAtMost29CharactersAndANul) {
    const std::string typed = "ABCDEFGHIJKLMNOPQRSTUVWXYZ123456789";  // 35 characters
    storeFieldText(field, typed);
    EXPECT_EQ(std::string(field), typed.substr(0, 29));
    EXPECT_EQ(field[29], '\0');
}

TEST_F(FieldTextStore, LeavesTheBytesAfterTheNulAsTheyWere) {
    storeFieldText(field, "abc");
    EXPECT_EQ(std::string(field, 4), std::string("abc\0", 4));
    for (int i = 4; i < TextFieldSize; ++i) EXPECT_EQ(field[i], 'X') << "byte " << i;

    storeFieldText(field, "");
    EXPECT_EQ(field[0], '\0');
    EXPECT_EQ(std::string(field + 1, 2), "bc");
}

TEST_F(FieldTextStore, TakesExactly29And30CharacterTexts) {
    storeFieldText(field, std::string(29, 'n'));
    EXPECT_EQ(std::string(field), std::string(29, 'n'));
    std::memset(field, 'X', sizeof field);
    storeFieldText(field, std::string(30, 'm'));
    EXPECT_EQ(std::string(field), std::string(29, 'm'));
}

TEST_F(FieldTextStore, LeavesAFullFieldWithoutNulAloneUnlessItsTextChanged) {
    std::memset(field, 'x', sizeof field);  // 30 bytes, no NUL, as a loaded file may hold
    storeFieldText(field, std::string(30, 'x'));
    EXPECT_EQ(std::string(field, sizeof field), std::string(30, 'x'));

    storeFieldText(field, std::string(29, 'x'));  // the user deleted the last character
    EXPECT_EQ(std::string(field, sizeof field), std::string(29, 'x') + '\0');

    std::memset(field, 'x', sizeof field);
    storeFieldText(field, std::string(29, 'x') + 'y');
    EXPECT_EQ(std::string(field, sizeof field), std::string(29, 'x') + '\0');
}

TEST_F(FieldTextStore, StopsAtANulInsideTheText) {
    storeFieldText(field, std::string_view("ab\0cd", 5));
    EXPECT_EQ(std::string(field, 4), std::string("ab\0X", 4));
}

TEST(NumberTexts, ShowFrequencySignedAndSixteenBitFieldsUnsigned) {
    TextBuffer out;
    signedNumberText(-5, out);
    EXPECT_STREQ(out, "-5");
    signedNumberText(11778000, out);
    EXPECT_STREQ(out, "11778000");
    signedNumberText(INT_MIN, out);
    EXPECT_STREQ(out, "-2147483648");
    signedNumberText(INT_MAX, out);
    EXPECT_STREQ(out, "2147483647");
    signedNumberText(0, out);
    EXPECT_STREQ(out, "0");
    unsignedNumberText(0, out);
    EXPECT_STREQ(out, "0");
    unsignedNumberText(4464, out);
    EXPECT_STREQ(out, "4464");
    unsignedNumberText(65535, out);
    EXPECT_STREQ(out, "65535");
}

TEST(NumberTexts, RoundTripThroughTheParser) {
    TextBuffer out;
    for (std::int32_t value : {INT_MIN, -70000, -1, 0, 1, 65535, 70000, INT_MAX}) {
        signedNumberText(value, out);
        EXPECT_EQ(parseNumber(out), value) << out;
    }
    for (std::uint32_t value = 0; value <= 65535; value += 257) {
        unsignedNumberText(static_cast<std::uint16_t>(value), out);
        EXPECT_EQ(wrap16(parseNumber(out)), value) << out;
    }
}

// A stream entry from its 10-byte image: type, pid (LE), kind, langLength, lang[3], page (LE).
StreamEntry entryFromBytes(std::uint8_t type, std::uint16_t pid, std::uint8_t kind, std::uint8_t langLength,
                           const char (&lang)[4], std::uint16_t page) {
    const std::uint8_t image[10] = {type,
                                    static_cast<std::uint8_t>(pid & 0xFF),
                                    static_cast<std::uint8_t>(pid >> 8),
                                    kind,
                                    langLength,
                                    static_cast<std::uint8_t>(lang[0]),
                                    static_cast<std::uint8_t>(lang[1]),
                                    static_cast<std::uint8_t>(lang[2]),
                                    static_cast<std::uint8_t>(page & 0xFF),
                                    static_cast<std::uint8_t>(page >> 8)};
    StreamEntry entry;
    std::memcpy(&entry, image, sizeof image);
    return entry;
}

struct RowCase {
    int line;
    StreamEntry entry;
    const char* type;
    const char* pid;
    const char* lang;
    const char* page;  // nullptr: the cell is not set
};

TEST(StreamRowTexts, MatchTheColumnsFormats) {
    const RowCase cases[] = {
        {__LINE__, entryFromBytes(2, 101, 1, 0, "\0\0\0", 0), "02 VID", "101", "", nullptr},
        {__LINE__, entryFromBytes(4, 102, 2, 3, "eng", 0), "04 AUD", "102", "eng", nullptr},
        {__LINE__, entryFromBytes(6, 103, 4, 0, "\0\0\0", 100), "06 TTX", "103", "", "100"},
        {__LINE__, entryFromBytes(3, 1, 0, 0, "\0\0\0", 0), "03 ---", "001", "", nullptr},
        {__LINE__, entryFromBytes(3, 1, 200, 0, "\0\0\0", 0), "03 ---", "001", "", nullptr},
        {__LINE__, entryFromBytes(3, 1, 6, 0, "\0\0\0", 9), "03 ---", "001", "", nullptr},
        {__LINE__, entryFromBytes(3, 1, 3, 0, "\0\0\0", 9), "03 AC3", "001", "", nullptr},
        {__LINE__, entryFromBytes(255, 0, 5, 0, "\0\0\0", 5), "255 SUB", "000", "", "05"},
        {__LINE__, entryFromBytes(0, 7, 1, 0, "\0\0\0", 5), "00 VID", "007", "", nullptr},
        {__LINE__, entryFromBytes(1, 65535, 4, 0, "\0\0\0", 65535), "01 TTX", "65535", "", "65535"},
        {__LINE__, entryFromBytes(1, 1000, 5, 2, "deu", 0), "01 SUB", "1000", "de", "00"},
        {__LINE__, entryFromBytes(1, 1, 2, 1, "fra", 0), "01 AUD", "001", "f", nullptr},
        {__LINE__, entryFromBytes(1, 1, 2, 255, "ita", 0), "01 AUD", "001", "ita", nullptr},
        {__LINE__, entryFromBytes(1, 1, 2, 4, "spa", 0), "01 AUD", "001", "spa", nullptr},
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case at line " << c.line);
        TextBuffer out;
        std::memset(out, '#', sizeof out);
        streamTypeText(c.entry, out);
        EXPECT_STREQ(out, c.type);
        std::memset(out, '#', sizeof out);
        streamPidText(c.entry, out);
        EXPECT_STREQ(out, c.pid);
        std::memset(out, '#', sizeof out);
        streamLangText(c.entry, out);
        EXPECT_STREQ(out, c.lang);
        std::memset(out, '#', sizeof out);
        const bool hasPage = streamPageText(c.entry, out);
        EXPECT_EQ(hasPage, c.page != nullptr);
        if (hasPage) {
            EXPECT_STREQ(out, c.page);
        }
    }
}

}  // namespace
