#pragma once
// A record's values as a settings folder holds them, shared by its reader and writer so that import
// can tell whether a value is the one export writes for a record: Enigma2's service types,
// polarisations, cached PIDs and video types, its namespace rule, and the texts its lines can hold.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "channel/channel_record.h"

namespace enigma2 {

// Service types in lamedb and in bouquet references (DVB's service_type).
inline constexpr int ServiceTv = 1;
inline constexpr int ServiceRadio = 2;
inline constexpr int ServiceData = 12;

// Polarisations in a satellite transponder line.
inline constexpr int PolarisationHorizontal = 0;
inline constexpr int PolarisationVertical = 1;
inline constexpr int PolarisationLeft = 2;
inline constexpr int PolarisationRight = 3;

// The cached PIDs (c:NN) kvx records hold, with Enigma2's numbers for them; the video type (c:05) is
// not a PID and has its own functions.
struct CachedPid {
    int id;
    LittleEndian16 ChannelRecord::*field;
};
inline constexpr int CacheVideoType = 5;
inline constexpr CachedPid CachedPids[] = {
    {0, &ChannelRecord::videoPid}, {1, &ChannelRecord::audioPid}, {2, &ChannelRecord::teletextPid},
    {3, &ChannelRecord::pcrPid},   {4, &ChannelRecord::ac3Pid},   {16, &ChannelRecord::pmtPid},
};

// The service type export writes for a record: TV, radio, or data for every other byte.
int serviceTypeOf(const ChannelRecord& record);

// The record's service type byte for a service type read: radio (2, and 10 for advanced codec
// radio) is Radio, the TV types are TV, anything else is Data.
std::uint8_t recordServiceType(int serviceType);

// True for a record that goes in the radio bouquet.
bool isRadioRecord(const ChannelRecord& record);

// 1 for a vertical record, 0 for any other.
int polarisationOf(const ChannelRecord& record);

// The symbol rate in symbols per second: records hold thousands.
inline std::int64_t symbolRateOf(const ChannelRecord& record) {
    return static_cast<std::int64_t>(record.symbolRate.get()) * 1000;
}

// The video type (c:05) export writes: that of the stream entry of the video PID, -1 when it has none
// or it is MPEG-2 (Enigma2 caches no type for MPEG-2).
int videoTypeOf(const ChannelRecord& record);

// The stream type of a video stream of that Enigma2 video type; MPEG-2 for an unknown one.
std::uint8_t streamTypeForVideoType(int videoType);

// An orbital position as Enigma2 holds it inside: 0 to 3599 tenths of a degree east.
int circlePosition(int tenthsEast);

// Enigma2's namespace: the position in the high 16 bits; the frequency in MHz and the polarisation
// in the low 16 bits where the network and transport stream IDs cannot tell transponders apart
// (ONID 0, ONID 1 with a TSID below 2, ONID 0xFF00 and above).
std::uint32_t dvbNamespace(int tenthsEast, std::int64_t frequencyKhz, int polarisation, std::uint16_t onid,
                           std::uint16_t tsid);

// Text fixes for what a line cannot hold. Each returns true when it changed the text.
bool replaceLineBreaks(std::string& text);      // CR and LF end a line: spaces
bool replaceProviderCommas(std::string& text);  // a comma ends the provider: semicolons
bool replaceQuotes(std::string& text);          // a quote ends a version 5 name: apostrophes

// A note said about many channels: the first few in full, then how many more, so that a list of
// thousands of such channels says so in a dozen lines.
struct RepeatedNote {
    int said = 0;
    int more = 0;
};
inline constexpr int RepeatedNoteLimit = 10;

// True when the next note of this kind is to be said in full; else it is counted.
bool sayInFull(RepeatedNote& note);

// "... and N more channels that ..." when some were counted.
void sayHowManyMore(const RepeatedNote& note, std::string_view what, std::vector<std::string>& notes);

// A settings file written through a small buffer that goes to the file's end when full and at
// finish: its lines are many small pieces, and each append to a string is a call of its own.
struct TextOut {
    std::string* file = nullptr;
    std::size_t used = 0;
    char buffer[4096];
};

inline void finish(TextOut& out) {
    out.file->append(out.buffer, out.used);
    out.used = 0;
}

// Room for at least size more bytes in the buffer, at most its whole size.
inline char* room(TextOut& out, std::size_t size) {
    if (out.used + size > sizeof out.buffer) finish(out);
    return out.buffer + out.used;
}

inline void put(TextOut& out, char c) {
    *room(out, 1) = c;
    ++out.used;
}

inline void put(TextOut& out, std::string_view text) {
    if (text.size() > sizeof out.buffer) {  // only a category name from a file can be so long
        finish(out);
        out.file->append(text);
        return;
    }
    if (text.empty()) return;  // an empty view may hold no address, which memcpy must not be given
    std::memcpy(room(out, text.size()), text.data(), text.size());
    out.used += text.size();
}

void putDecimal(TextOut& out, std::int64_t value);

// At least minimumDigits (at most 8), zeros in front.
inline void putHex(TextOut& out, std::uint32_t value, int minimumDigits, bool upper) {
    const char* const letters = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    int digits = 1;
    while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
    digits = std::max(digits, std::min(minimumDigits, 8));
    char* const at = room(out, 8);
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = letters[value & 0xFu];
        value >>= 4;
    }
    out.used += static_cast<std::size_t>(digits);
}

}  // namespace enigma2
