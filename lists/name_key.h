#pragma once
// Channel names as order and dupes compare them: without case, surrounding spaces or repeated inner
// spaces, in UTF-8 after the code page, so that "BBC  one " and "bbc one" are one name and Cyrillic,
// Greek and accented Latin letters fold like ASCII.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "channel/channel_record.h"

// Appends the folded form of a 30-byte field's text. With a code page the bytes are converted
// first; without one they are read as UTF-8, and a byte that is not UTF-8 is kept as it is.
void appendFoldedText(std::string& out, std::string_view bytes, int codePage);

// The same fold the long way, with none of appendFoldedText's shortcuts: a code page's text
// converted whole, then every character decoded from UTF-8. What appendFoldedText does for a text
// longer than a field, and what it must give for every other.
void appendFoldedTextByCharacter(std::string& out, std::string_view bytes, int codePage);

// The folded text of one field of every record, in one buffer: no allocation per record.
struct FoldedTexts {
    std::string text;
    std::vector<std::uint32_t> ends;  // record i's key is text[ends[i - 1], ends[i])

    std::string_view operator[](std::size_t i) const {
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(begin, ends[i] - begin);
    }
};

using TextField = char (ChannelRecord::*)[TextFieldSize];

FoldedTexts foldTexts(std::span<const ChannelRecord> records, TextField field, int codePage);
