// Name folding through its shortcuts (ASCII bytes folded as they are, a code page's bytes through a
// table), appendFoldedText and foldTexts alike, against the fold character by character: every pair
// of bytes alone and between letters and spaces, random names of up to 30 bytes, whole fields with a
// NUL anywhere or none; in UTF-8, code pages 1251 and 1252 and one the system lacks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "lists/name_key.h"

namespace {

// Pieces of names apart by '|', ASCII first: the bytes around A to Z, spaces of every kind, capitals
// of each folded script, and what is not UTF-8 (a cut sequence, a lone continuation byte, an overlong
// form, a surrogate).
constexpr std::string_view Pieces =
    "A|Z|@|[|`|{|~|\x7F|\x1F| |  |\t|\r|\x0B|\xC2\xA0|\xC3\x89|\xC3\x97|\xC4\xB0|\xC4\xB9|\xC5\xB8|\xC5\xBF|\xCE\x86|"
    "\xCE\xA3|\xCF\x82|\xD0\x81|\xD0\xAF|\xD1\xA0|\xD3\x80|\xE2\x82\xAC|\xF0\x9F\x93\xBA|\xC3|\x80|\xC0\xAF|"
    "\xED\xA0\x80|\xFF";
constexpr std::size_t AsciiPieces = 14;

TEST(NameKey, ShortcutsFoldAsTheFoldCharacterByCharacter) {
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0, end = 0; end != std::string_view::npos; at = end + 1)
        pieces.push_back(Pieces.substr(at, (end = Pieces.find('|', at)) - at));
    for (const int codePage : {0, 1251, 1252, 9999}) {
        // After a first character, so that a fold taking the start of out for the start of the name shows.
        const auto same = [&](std::string_view text) {
            std::string fast = "x";
            std::string slow = "x";
            appendFoldedText(fast, text, codePage);
            appendFoldedTextByCharacter(slow, text, codePage);
            return fast == slow;
        };
        // Two bytes make a UTF-8 character; a code page's bytes are characters each, paired at random below.
        for (int pair = codePage == 0 ? 0 : 0xFF00; pair < 0x10000; ++pair) {
            const std::string bytes = {static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
            for (const std::string& text : {bytes, "A" + bytes + " b ", bytes.substr(1) + "  Z"})
                ASSERT_TRUE(same(text)) << "code page " << codePage << ", bytes " << std::hex << pair;
        }
        std::uint32_t random = 1;
        std::vector<ChannelRecord> records(6000);
        for (std::size_t i = 0; i < records.size(); ++i) {
            std::string text;  // every other name all ASCII
            while (text.size() < std::size_t{2} * TextFieldSize) {
                random = random * 1664525u + 1013904223u;
                text += pieces[(random >> 8) % (i % 2 == 0 ? pieces.size() : AsciiPieces)];
            }
            std::memcpy(records[i].name, text.data(), TextFieldSize);
            if (i % 31 != 30) records[i].name[i % 31] = '\0';  // else no NUL in the field
            text.resize(random % (TextFieldSize + 1));         // may cut a character short
            ASSERT_TRUE(same(text)) << "code page " << codePage << ", \"" << text << '"';
        }
        const FoldedTexts texts = foldTexts(records, &ChannelRecord::name, codePage);
        for (std::size_t i = 0; i < records.size(); ++i) {
            std::string expected;
            appendFoldedTextByCharacter(expected, fieldText(records[i].name), codePage);
            ASSERT_EQ(texts[i], expected) << "code page " << codePage << ", record " << i;
        }
    }
}

}  // namespace
