#pragma once
// The 442-byte channel record: one byte image in the kvx file and in memory. Every field is an
// array of bytes, so the structure has no padding and its alignment is 1; multi-byte fields are
// little-endian and are read and written through the accessors below, never by casting.

#include <cstddef>
#include <cstdint>
#include <string_view>

// Unaligned little-endian 16-bit field.
struct LittleEndian16 {
    std::uint8_t bytes[2];

    constexpr std::uint16_t get() const {
        return static_cast<std::uint16_t>(bytes[0] | (static_cast<std::uint16_t>(bytes[1]) << 8));
    }
    constexpr void set(std::uint16_t value) {
        bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(value >> 8);
    }
};

// Unaligned little-endian signed 32-bit field (two's complement on disk).
struct LittleEndian32 {
    std::uint8_t bytes[4];

    constexpr std::int32_t get() const {
        const std::uint32_t raw = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                  (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                  (static_cast<std::uint32_t>(bytes[3]) << 24);
        return static_cast<std::int32_t>(raw);  // modular since C++20
    }
    constexpr void set(std::int32_t value) {
        const auto raw = static_cast<std::uint32_t>(value);
        bytes[0] = static_cast<std::uint8_t>(raw & 0xFF);
        bytes[1] = static_cast<std::uint8_t>((raw >> 8) & 0xFF);
        bytes[2] = static_cast<std::uint8_t>((raw >> 16) & 0xFF);
        bytes[3] = static_cast<std::uint8_t>(raw >> 24);
    }
};

inline constexpr int TextFieldSize = 30;  // provider and name, NUL inside when the form wrote them
inline constexpr int MaxStreams = 32;     // a 33rd entry would overlap the category byte
inline constexpr int MaxLangLength = 3;

struct StreamEntry {
    std::uint8_t streamType;
    LittleEndian16 pid;
    std::uint8_t kind;  // index into StreamKindNames; anything above 5 shows as "---"
    std::uint8_t langLength;
    char lang[MaxLangLength];  // not NUL-terminated
    LittleEndian16 page;       // meaningful for TTX and SUB entries only
};

// What a stream entry carries: its kind byte, and the name the editor shows for each.
inline constexpr std::uint8_t StreamKindVideo = 1;
inline constexpr std::uint8_t StreamKindAudio = 2;
inline constexpr std::uint8_t StreamKindAc3 = 3;
inline constexpr std::uint8_t StreamKindTeletext = 4;
inline constexpr std::uint8_t StreamKindSubtitle = 5;
inline constexpr int StreamKindCount = 6;
inline constexpr const char* StreamKindNames[StreamKindCount] = {"---", "VID", "AUD", "AC3", "TTX", "SUB"};

inline constexpr std::uint16_t PolarityHorizontal = 72;  // 'H'
inline constexpr std::uint16_t PolarityVertical = 86;    // 'V'

struct ChannelRecord {
    LittleEndian32 frequency;
    LittleEndian16 symbolRate;
    LittleEndian16 polarity;
    std::uint8_t reserved8[4];
    LittleEndian16 tid;
    LittleEndian16 sid;
    LittleEndian16 pmtPid;
    LittleEndian16 pcrPid;
    LittleEndian16 ecmPid;
    std::uint8_t serviceType;  // list position: "Data", "TV", "Radio"
    char provider[TextFieldSize];
    char name[TextFieldSize];
    LittleEndian16 videoPid;
    LittleEndian16 audioPid;
    LittleEndian16 teletextPid;
    LittleEndian16 ac3Pid;
    std::uint8_t reserved91[2];
    std::uint8_t streamCount;
    StreamEntry streams[MaxStreams];
    std::uint8_t reserved414[3];
    std::uint8_t category;  // position in the category list
    std::uint8_t reserved418[24];
};

inline constexpr std::size_t ChannelRecordSize = 442;

static_assert(sizeof(LittleEndian16) == 2 && alignof(LittleEndian16) == 1);
static_assert(sizeof(LittleEndian32) == 4 && alignof(LittleEndian32) == 1);

static_assert(sizeof(StreamEntry) == 10 && alignof(StreamEntry) == 1);
static_assert(offsetof(StreamEntry, streamType) == 0);
static_assert(offsetof(StreamEntry, pid) == 1);
static_assert(offsetof(StreamEntry, kind) == 3);
static_assert(offsetof(StreamEntry, langLength) == 4);
static_assert(offsetof(StreamEntry, lang) == 5);
static_assert(offsetof(StreamEntry, page) == 8);

static_assert(sizeof(ChannelRecord) == ChannelRecordSize && alignof(ChannelRecord) == 1);
static_assert(offsetof(ChannelRecord, frequency) == 0);
static_assert(offsetof(ChannelRecord, symbolRate) == 4);
static_assert(offsetof(ChannelRecord, polarity) == 6);
static_assert(offsetof(ChannelRecord, reserved8) == 8);
static_assert(offsetof(ChannelRecord, tid) == 12);
static_assert(offsetof(ChannelRecord, sid) == 14);
static_assert(offsetof(ChannelRecord, pmtPid) == 16);
static_assert(offsetof(ChannelRecord, pcrPid) == 18);
static_assert(offsetof(ChannelRecord, ecmPid) == 20);
static_assert(offsetof(ChannelRecord, serviceType) == 22);
static_assert(offsetof(ChannelRecord, provider) == 23);
static_assert(offsetof(ChannelRecord, name) == 53);
static_assert(offsetof(ChannelRecord, videoPid) == 83);
static_assert(offsetof(ChannelRecord, audioPid) == 85);
static_assert(offsetof(ChannelRecord, teletextPid) == 87);
static_assert(offsetof(ChannelRecord, ac3Pid) == 89);
static_assert(offsetof(ChannelRecord, reserved91) == 91);
static_assert(offsetof(ChannelRecord, streamCount) == 93);
static_assert(offsetof(ChannelRecord, streams) == 94);
static_assert(offsetof(ChannelRecord, reserved414) == 414);
static_assert(offsetof(ChannelRecord, category) == 417);
static_assert(offsetof(ChannelRecord, reserved418) == 418);

// --- Views that never read outside the record, whatever a file holds ---

// Number of stream entries to show: streamCount, but never past the 32 that fit.
constexpr int shownStreamCount(const ChannelRecord& record) {
    return record.streamCount < MaxStreams ? record.streamCount : MaxStreams;
}

// Number of language bytes to show: langLength, but never past the 3 bytes of lang.
constexpr int shownLangLength(const StreamEntry& entry) {
    return entry.langLength < MaxLangLength ? entry.langLength : MaxLangLength;
}

// A 30-byte text field as text: up to its first NUL, or all 30 bytes when it has none.
inline std::string_view fieldText(const char (&field)[TextFieldSize]) {
    std::size_t length = 0;
    while (length < TextFieldSize && field[length] != '\0') ++length;
    return {field, length};
}

// A text field copied out with a terminating NUL, for controls that want a C string.
struct FieldText {
    char text[TextFieldSize + 1];
};

inline FieldText fieldTextCopy(const char (&field)[TextFieldSize]) {
    FieldText out{};
    const std::string_view text = fieldText(field);
    for (std::size_t i = 0; i < text.size(); ++i) out.text[i] = text[i];
    return out;
}
