#include "lists/name_key.h"

#include <array>
#include <cstring>
#include <memory>

#include "lists/code_page.h"
#include "lists/utf8.h"

namespace {

// The lower case of a capital in the scripts channel names are written in: Latin with Latin-1 and
// Latin Extended-A, Greek and Cyrillic. Other characters are their own fold.
char32_t lowerCase(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130) return 'i';
        if (c == 0x178) return 0xFF;
        if (c == 0x17F) return 's';
        const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131 || c == 0x138 || c == 0x149) return c;
        return (c % 2 == (oddCapitals ? 1u : 0u)) ? c + 1 : c;
    }
    if (c >= 0x386 && c <= 0x3AB) {
        if (c == 0x386) return 0x3AC;
        if (c >= 0x388 && c <= 0x38A) return c + 37;
        if (c == 0x38C) return 0x3CC;
        if (c == 0x38E || c == 0x38F) return c + 63;
        if (c >= 0x391 && c != 0x3A2) return c + 32;
        return c;
    }
    if (c == 0x3C2) return 0x3C3;  // final sigma is a sigma
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return c % 2 == 0 ? c + 1 : c;
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return c % 2 == 1 ? c + 1 : c;
    return c;
}

bool isSpace(char32_t c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0xA0; }

}  // namespace

void appendFoldedTextByCharacter(std::string& out, std::string_view bytes, int codePage) {
    std::string converted;
    if (codePage != 0) {
        converted = codePageToUtf8(codePage, bytes);
        bytes = converted;
    }
    bool spaceDue = false;  // a run of spaces after a character: one space if another character follows
    const std::size_t start = out.size();
    std::size_t at = 0;
    while (at < bytes.size()) {
        char32_t c = 0;
        const bool character = nextUtf8(bytes, at, c);
        if (character && isSpace(c)) {
            spaceDue = out.size() > start;
            continue;
        }
        if (spaceDue) out += ' ';
        spaceDue = false;
        if (character)
            appendUtf8(out, lowerCase(c));
        else
            out += bytes[at++];
    }
}

namespace {

// A field's text folds into room on the stack, then into out in one piece: up to 4 bytes of UTF-8
// for each byte, and 4 to spare, as a code page's character is copied in one piece of 4.
constexpr std::size_t MaxUtf8 = 4;
constexpr std::size_t RoomSize = MaxUtf8 * TextFieldSize + MaxUtf8;

std::size_t writeUtf8(char* out, char32_t c) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// What an ASCII byte folds to: a capital to its small letter, a space (' ', '\t' to '\r') to
// AsciiSpace, any other to itself.
constexpr unsigned char AsciiSpace = 0xFF;
constexpr std::array<unsigned char, 0x80> AsciiFolds = [] {
    std::array<unsigned char, 0x80> folds{};
    for (int b = 0; b < 0x80; ++b) folds[b] = static_cast<unsigned char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
    for (const char space : {' ', '\t', '\n', '\v', '\f', '\r'}) folds[static_cast<unsigned char>(space)] = AsciiSpace;
    return folds;
}();

// Names are mostly ASCII: such a byte is its own character, folded here without decoding; only the
// bytes from 0x80 go through the UTF-8 decoder. A space due is written ahead of every character and
// kept only where it is due, which spares a branch.
std::size_t foldUtf8(char* room, std::string_view bytes) {
    std::size_t length = 0;
    bool spaceDue = false;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte < 0x80) {
            ++at;
            const unsigned char folded = AsciiFolds[byte];
            if (folded == AsciiSpace) {
                spaceDue = length > 0;
                continue;
            }
            room[length] = ' ';
            length += spaceDue ? 1 : 0;
            room[length++] = static_cast<char>(folded);
            spaceDue = false;
            continue;
        }
        char32_t c = 0;
        const bool character = nextUtf8(bytes, at, c);
        if (character && isSpace(c)) {
            spaceDue = length > 0;
            continue;
        }
        if (spaceDue) room[length++] = ' ';
        spaceDue = false;
        if (character)
            length += writeUtf8(room + length, lowerCase(c));
        else
            room[length++] = bytes[at++];
    }
    return length;
}

// Every byte of a code page is one character, so its fold is fixed: the lower case of that character
// in UTF-8, or a space.
constexpr std::uint8_t SpaceLength = 0xFF;

struct ByteFold {
    std::uint8_t length;  // SpaceLength for a space
    char utf8[MaxUtf8];
};

struct CodePageFold {
    int codePage = 0;
    bool usable = true;  // false: a byte converts to no single character, fold the long way
    ByteFold bytes[256] = {};
};

// The fold of a code page, made on first use from the same conversion the long way makes; kept for
// the whole run.
const CodePageFold& codePageFold(int codePage) {
    static std::vector<std::unique_ptr<CodePageFold>> folds;
    for (const auto& fold : folds) {
        if (fold->codePage == codePage) return *fold;
    }
    auto fold = std::make_unique<CodePageFold>();
    fold->codePage = codePage;
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const std::string converted = codePageToUtf8(codePage, std::string_view(&byte, 1));
        std::size_t at = 0;
        char32_t c = 0;
        if (converted.empty() || !nextUtf8(converted, at, c) || at != converted.size()) {
            fold->usable = false;
            break;
        }
        ByteFold& entry = fold->bytes[b];
        if (isSpace(c))
            entry.length = SpaceLength;
        else
            entry.length = static_cast<std::uint8_t>(writeUtf8(entry.utf8, lowerCase(c)));
    }
    folds.push_back(std::move(fold));
    return *folds.back();
}

std::size_t foldCodePage(char* room, std::string_view bytes, const CodePageFold& fold) {
    std::size_t length = 0;
    bool spaceDue = false;
    for (const char byte : bytes) {
        const ByteFold& entry = fold.bytes[static_cast<unsigned char>(byte)];
        if (entry.length == SpaceLength) {
            spaceDue = length > 0;
            continue;
        }
        if (spaceDue) room[length++] = ' ';
        spaceDue = false;
        std::memcpy(room + length, entry.utf8, MaxUtf8);
        length += entry.length;
    }
    return length;
}

// fold: nullptr for UTF-8 text.
void appendFolded(std::string& out, std::string_view bytes, int codePage, const CodePageFold* fold) {
    if (bytes.size() > TextFieldSize || (fold != nullptr && !fold->usable)) {
        appendFoldedTextByCharacter(out, bytes, codePage);
        return;
    }
    char room[RoomSize];
    out.append(room, fold != nullptr ? foldCodePage(room, bytes, *fold) : foldUtf8(room, bytes));
}

}  // namespace

void appendFoldedText(std::string& out, std::string_view bytes, int codePage) {
    appendFolded(out, bytes, codePage, codePage != 0 ? &codePageFold(codePage) : nullptr);
}

FoldedTexts foldTexts(std::span<const ChannelRecord> records, TextField field, int codePage) {
    const CodePageFold* fold = codePage != 0 ? &codePageFold(codePage) : nullptr;
    FoldedTexts folded;
    folded.text.reserve(records.size() * 16);
    folded.ends.reserve(records.size());
    // The fields are far apart in memory: each one is asked for a few records ahead of its fold.
    constexpr std::size_t Ahead = 8;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i + Ahead < records.size()) {
            const char* ahead = records[i + Ahead].*field;
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + TextFieldSize - 1);
        }
        const char* text = records[i].*field;
        const void* nul = std::memchr(text, '\0', TextFieldSize);
        const std::size_t length =
            nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : TextFieldSize;
        appendFolded(folded.text, std::string_view(text, length), codePage, fold);
        folded.ends.push_back(static_cast<std::uint32_t>(folded.text.size()));
    }
    return folded;
}
