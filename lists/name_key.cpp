#include "lists/name_key.h"

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

void appendFoldedText(std::string& out, std::string_view bytes, int codePage) {
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

FoldedTexts foldTexts(std::span<const ChannelRecord> records, TextField field, int codePage) {
    FoldedTexts folded;
    folded.text.reserve(records.size() * 16);
    folded.ends.reserve(records.size());
    for (const ChannelRecord& record : records) {
        appendFoldedText(folded.text, fieldText(record.*field), codePage);
        folded.ends.push_back(static_cast<std::uint32_t>(folded.text.size()));
    }
    return folded;
}
