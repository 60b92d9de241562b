// Writes examples/sample.kvx: a few dozen made-up channels on made-up transponders, with stream
// lists, in the categories of examples/Category.txt. Every name and number here is invented.
//
//   sample_generator OUTPUT.kvx
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "channel/channel_record.h"

namespace {

// Positions in examples/Category.txt.
enum Category : std::uint8_t {
    News,
    Sport,
    Movies,
    Series,
    Music,
    Kids,
    Documentary,
    Culture,
    Entertainment,
    Regional,
    Shopping,
    RadioCategory
};

enum ServiceType : std::uint8_t { Data = 0, Tv = 1, Radio = 2 };

struct Transponder {
    std::int32_t frequency;  // MHz
    std::uint16_t symbolRate;
    std::uint16_t polarity;
    std::uint16_t tid;
    const char* provider;
};

constexpr Transponder Transponders[] = {
    {10729, 22000, PolarityVertical, 1011, "Norrvik Media"},
    {10818, 22000, PolarityHorizontal, 1021, "Norrvik Media"},
    {11053, 27500, PolarityHorizontal, 1057, "Meridian Sat"},
    {11362, 27500, PolarityHorizontal, 1083, "Meridian Sat"},
    {11604, 30000, PolarityVertical, 1115, "Kestrel Broadcast"},
    {11856, 27500, PolarityVertical, 1141, "Kestrel Broadcast"},
    {12188, 27500, PolarityHorizontal, 1173, "Halden Radio Group"},
    {12551, 22000, PolarityVertical, 1209, "Ostera Public"},
};

struct Channel {
    const char* name;
    int transponder;
    ServiceType type;
    Category category;
    bool encrypted;
    const char* languages;  // three letters per audio stream
    bool ac3;
    bool teletext;
    bool subtitles;
};

constexpr Channel Channels[] = {
    {"Norrvik 1", 0, Tv, Entertainment, false, "swenor", false, true, true},
    {"Norrvik 2", 0, Tv, Series, false, "swe", false, true, true},
    {"Norrvik Nyheter", 0, Tv, News, false, "swe", false, true, false},
    {"Norrvik Barn", 0, Tv, Kids, false, "swe", false, false, true},
    {"Norrvik Radio P1", 0, Radio, RadioCategory, false, "swe", false, false, false},
    {"Fjordsport", 1, Tv, Sport, true, "norswe", true, true, false},
    {"Fjordsport 2", 1, Tv, Sport, true, "nor", true, false, false},
    {"Polar Film", 1, Tv, Movies, true, "engswe", true, false, true},
    {"Polar Film Klassik", 1, Tv, Movies, true, "eng", false, false, true},
    {"Meridian News 24", 2, Tv, News, false, "engfradeu", false, true, false},
    {"Meridian Docs", 2, Tv, Documentary, false, "engdeu", true, true, true},
    {"Meridian Kids", 2, Tv, Kids, false, "engfra", false, false, true},
    {"Meridian Music", 2, Tv, Music, false, "eng", false, false, false},
    {"Meridian Shop", 2, Tv, Shopping, false, "eng", false, false, false},
    {"Meridian EPG Data", 2, Data, Entertainment, false, "", false, false, false},
    {"Azur Cinema", 3, Tv, Movies, true, "frafraeng", true, false, true},
    {"Azur Series", 3, Tv, Series, true, "fra", true, true, true},
    {"Azur Sport Live", 3, Tv, Sport, true, "fra", true, false, false},
    {"Azur Culture", 3, Tv, Culture, false, "fradeu", false, true, true},
    {"Kestrel One", 4, Tv, Entertainment, false, "deu", true, true, true},
    {"Kestrel Zwei", 4, Tv, Series, false, "deu", false, true, true},
    {"Kestrel Wissen", 4, Tv, Documentary, false, "deueng", false, true, true},
    {"Kestrel Sport", 4, Tv, Sport, true, "deu", true, true, false},
    {"Kestrel Kinder", 4, Tv, Kids, false, "deu", false, true, true},
    {"Kestrel Musik", 5, Tv, Music, false, "deu", false, false, false},
    {"Kestrel Regional Nord", 5, Tv, Regional, false, "deu", false, true, true},
    {"Kestrel Regional Sud", 5, Tv, Regional, false, "deu", false, true, true},
    {"Kestrel Teleshop", 5, Tv, Shopping, false, "deu", false, false, false},
    {"Halden Klassik", 6, Radio, RadioCategory, false, "deu", false, false, false},
    {"Halden Pop", 6, Radio, RadioCategory, false, "deu", false, false, false},
    {"Halden Jazz", 6, Radio, RadioCategory, false, "eng", false, false, false},
    {"Halden Info", 6, Radio, News, false, "deu", false, false, false},
    {"Halden Kinderfunk", 6, Radio, Kids, false, "deu", false, false, false},
    {"Ostera 1", 7, Tv, Entertainment, false, "ita", false, true, true},
    {"Ostera Notizie", 7, Tv, News, false, "ita", false, true, false},
    {"Ostera Cultura", 7, Tv, Culture, false, "itaeng", false, true, true},
    {"Ostera Sport", 7, Tv, Sport, false, "ita", true, true, false},
    {"Ostera Radio Tre", 7, Radio, RadioCategory, false, "ita", false, false, false},
    {"Ostera Dati", 7, Data, Regional, false, "", false, false, false},
};

constexpr int ChannelCount = sizeof Channels / sizeof Channels[0];
static_assert(ChannelCount >= 24 && ChannelCount <= 64);

void addStream(ChannelRecord& record, std::uint8_t streamType, std::uint16_t pid, std::uint8_t kind,
               const char* language, std::uint16_t page) {
    if (record.streamCount >= MaxStreams) return;
    StreamEntry& entry = record.streams[record.streamCount++];
    entry.streamType = streamType;
    entry.pid.set(pid);
    entry.kind = kind;
    // The first language of the channel; a stream carries at most three letters.
    const std::size_t length = language != nullptr ? std::strlen(language) : 0;
    entry.langLength = static_cast<std::uint8_t>(length < MaxLangLength ? length : MaxLangLength);
    if (entry.langLength > 0) std::memcpy(entry.lang, language, entry.langLength);
    entry.page.set(page);
}

ChannelRecord makeChannel(const Channel& channel, int number) {
    const Transponder& transponder = Transponders[channel.transponder];
    ChannelRecord record{};
    record.frequency.set(transponder.frequency);
    record.symbolRate.set(transponder.symbolRate);
    record.polarity.set(transponder.polarity);
    record.tid.set(transponder.tid);
    const auto sid = static_cast<std::uint16_t>(transponder.tid * 10 + number % 10 + 1);
    const auto base = static_cast<std::uint16_t>(0x100 + 0x20 * number);  // each channel its own PID block
    record.sid.set(sid);
    record.pmtPid.set(base);
    record.serviceType = channel.type;
    std::snprintf(record.provider, sizeof record.provider, "%s", transponder.provider);
    std::snprintf(record.name, sizeof record.name, "%s", channel.name);
    record.category = channel.category;
    if (channel.encrypted) record.ecmPid.set(static_cast<std::uint16_t>(base + 0x1F));

    if (channel.type == Tv) {
        const auto video = static_cast<std::uint16_t>(base + 1);
        record.pcrPid.set(video);
        record.videoPid.set(video);
        addStream(record, number % 3 == 0 ? 0x1B : 0x02, video, StreamKindVideo, nullptr, 0);
    }
    const int languages = static_cast<int>(std::strlen(channel.languages)) / MaxLangLength;
    for (int i = 0; i < languages; ++i) {
        char language[MaxLangLength + 1] = {};
        std::memcpy(language, channel.languages + static_cast<std::size_t>(i) * MaxLangLength, MaxLangLength);
        const auto audio = static_cast<std::uint16_t>(base + 2 + i);
        if (i == 0) {
            record.audioPid.set(audio);
            if (channel.type != Tv) record.pcrPid.set(audio);
        }
        addStream(record, 0x04, audio, StreamKindAudio, language, 0);
    }
    if (channel.ac3) {
        const auto ac3 = static_cast<std::uint16_t>(base + 0x10);
        record.ac3Pid.set(ac3);
        addStream(record, 0x06, ac3, StreamKindAc3, channel.languages, 0);
    }
    if (channel.teletext) {
        const auto teletext = static_cast<std::uint16_t>(base + 0x18);
        record.teletextPid.set(teletext);
        addStream(record, 0x06, teletext, StreamKindTeletext, channel.languages, 100);
    }
    if (channel.subtitles) {
        addStream(record, 0x06, static_cast<std::uint16_t>(base + 0x19), StreamKindSubtitle, channel.languages, 888);
    }
    if (channel.type == Data) {
        record.pcrPid.set(0x1FFF);
        addStream(record, 0x05, static_cast<std::uint16_t>(base + 0x1A), 0, nullptr, 0);
    }
    return record;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.kvx\n", argv[0]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    bool written = true;
    for (int i = 0; i < ChannelCount; ++i) {
        const ChannelRecord record = makeChannel(Channels[i], i);
        written = written && std::fwrite(&record, sizeof record, 1, file) == 1;
    }
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "%s: write failed\n", argv[1]);
        return 1;
    }
    std::printf("%s: %d channels\n", argv[1], ChannelCount);
    return 0;
}
