#include "formats/enigma2_values.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace enigma2 {

namespace {

// Enigma2's video types (0 MPEG-2, 1 H.264, 2 MPEG-1, 3 MPEG-4 part 2, 4 VC-1, 6 H.265, 7 AVS) and
// the stream types of the PMT that carry them.
struct VideoType {
    int videoType;
    std::uint8_t streamType;
};
constexpr VideoType VideoTypes[] = {{0, 0x02}, {1, 0x1B}, {2, 0x01}, {3, 0x10}, {4, 0xEA}, {6, 0x24}, {7, 0x42}};

bool replaceAll(std::string& text, char from, char to) {
    bool changed = false;
    for (char& c : text) {
        if (c == from) {
            c = to;
            changed = true;
        }
    }
    return changed;
}

}  // namespace

int serviceTypeOf(const ChannelRecord& record) {
    if (record.serviceType == 1) return ServiceTv;
    if (record.serviceType == 2) return ServiceRadio;
    return ServiceData;
}

std::uint8_t recordServiceType(int serviceType) {
    switch (serviceType) {
        case 2:
        case 10: return 2;
        case 1:
        case 17:
        case 22:
        case 25:
        case 31:
        case 32: return 1;
        default: return 0;
    }
}

bool isRadioRecord(const ChannelRecord& record) { return record.serviceType == 2; }

int polarisationOf(const ChannelRecord& record) {
    return record.polarity.get() == PolarityVertical ? PolarisationVertical : PolarisationHorizontal;
}

int videoTypeOf(const ChannelRecord& record) {
    const std::uint16_t pid = record.videoPid.get();
    if (pid == 0) return -1;
    for (int i = 0; i < shownStreamCount(record); ++i) {
        const StreamEntry& entry = record.streams[i];
        if (entry.kind != StreamKindVideo || entry.pid.get() != pid) continue;
        for (const VideoType& type : VideoTypes) {
            if (type.streamType == entry.streamType) return type.videoType == 0 ? -1 : type.videoType;
        }
        return -1;
    }
    return -1;
}

std::uint8_t streamTypeForVideoType(int videoType) {
    for (const VideoType& type : VideoTypes) {
        if (type.videoType == videoType) return type.streamType;
    }
    return 0x02;
}

int circlePosition(int tenthsEast) { return tenthsEast < 0 ? tenthsEast + 3600 : tenthsEast; }

std::uint32_t dvbNamespace(int tenthsEast, std::int64_t frequencyKhz, int polarisation, std::uint16_t onid,
                           std::uint16_t tsid) {
    const auto position = static_cast<std::uint32_t>(circlePosition(tenthsEast));
    std::uint32_t hash = position << 16;
    if (onid == 0 || (onid == 1 && tsid < 2) || onid >= 0xFF00) {
        const auto khz = static_cast<std::uint32_t>(frequencyKhz);
        hash |= ((khz / 1000) & 0xFFFFu) | (static_cast<std::uint32_t>(polarisation & 1) << 15);
    }
    return hash;
}

bool replaceLineBreaks(std::string& text) {
    const bool cr = replaceAll(text, '\r', ' ');
    const bool lf = replaceAll(text, '\n', ' ');
    return cr || lf;
}

bool replaceProviderCommas(std::string& text) { return replaceAll(text, ',', ';'); }

bool replaceQuotes(std::string& text) { return replaceAll(text, '"', '\''); }

bool sayInFull(RepeatedNote& note) {
    if (note.said < RepeatedNoteLimit) {
        ++note.said;
        return true;
    }
    ++note.more;
    return false;
}

void sayHowManyMore(const RepeatedNote& note, std::string_view what, std::vector<std::string>& notes) {
    if (note.more > 0) notes.push_back("... and " + std::to_string(note.more) + " more " + std::string(what));
}

void putDecimal(TextOut& out, std::int64_t value) {
    constexpr std::size_t Longest = 20;  // "-9223372036854775808"
    char* const at = room(out, Longest);
    const auto [end, error] = std::to_chars(at, at + Longest, value);
    if (error == std::errc()) out.used += static_cast<std::size_t>(end - at);
}

}  // namespace enigma2
