#pragma once
// The form's text rules, free of any window call: how a control's text becomes a field value, how a
// field value becomes a control's text, and the texts of the stream list's cells.

#include <cstdint>
#include <string_view>

#include "channel/channel_record.h"

inline constexpr int TextBufferSize = 260;  // control texts, formatted numbers, stream list cells

using TextBuffer = char[TextBufferSize];

// --- Control text -> field value ---

// The atoi rule: leading white space (space, \t, \n, \v, \f, \r) is skipped, one optional sign is
// taken, then decimal digits up to the first other character or the end of the text; no digits give
// 0. A number beyond the signed 32-bit range saturates to INT_MAX or INT_MIN, whatever its length.
std::int32_t parseNumber(std::string_view text);

// A 16-bit field keeps the number modulo 65536: 70000 -> 4464, -1 -> 65535.
constexpr std::uint16_t wrap16(std::int32_t value) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}

// A drop-down position stored in one byte: no selection (any negative position) gives 255, larger
// positions are kept modulo 256.
constexpr std::uint8_t listPositionByte(std::int32_t position) {
    return position < 0 ? std::uint8_t{255} : static_cast<std::uint8_t>(position & 0xFF);
}

// Polarity list: item 0 is horizontal; any other item, or none, is vertical.
constexpr std::uint16_t polarityFromSelection(std::int32_t position) {
    return position == 0 ? PolarityHorizontal : PolarityVertical;
}

// Item the polarity list shows: 1 for a vertical record, 0 for anything else.
constexpr std::int32_t polaritySelection(std::uint16_t polarity) { return polarity == PolarityVertical ? 1 : 0; }

// Stores text into a 30-byte record field: at most 29 bytes and a NUL. The bytes after that NUL
// keep their previous contents. A text equal to what the field shows leaves the field as it is, so
// a loaded field of 30 bytes without a NUL survives edits of the other fields; for any other field
// storing its own text would write the same bytes anyway.
void storeFieldText(char (&field)[TextFieldSize], std::string_view text);

// --- Field value -> control text ---

void signedNumberText(std::int32_t value, TextBuffer& out);     // frequency: "-5", "11778000"
void unsignedNumberText(std::uint16_t value, TextBuffer& out);  // 16-bit fields: 0 to 65535

// --- Stream list cells ---

void streamTypeText(const StreamEntry& entry, TextBuffer& out);  // "02 VID"; "03 ---" for kinds above 5
void streamPidText(const StreamEntry& entry, TextBuffer& out);   // "007"
void streamLangText(const StreamEntry& entry, TextBuffer& out);  // the language bytes in use, at most 3

// The page cell exists for teletext and subtitle entries only: false (and out empty) for other kinds.
bool streamPageText(const StreamEntry& entry, TextBuffer& out);
