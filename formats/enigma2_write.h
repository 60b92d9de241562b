#pragma once
// The settings folder's files written from a plan export has made: each channel's key, its texts
// where the lines cannot hold the record's own bytes, and which channel's lamedb entry and
// transponder it uses. The rest is read from the records as each file is written.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/list_format.h"

namespace enigma2 {

// The texts of a channel whose name or provider is written otherwise than the record holds it
// (converted from a code page, or a character replaced): where they start in SettingsPlan::texts.
struct ChangedTexts {
    int position;
    std::uint32_t name, nameLength, name5, name5Length, provider, providerLength;
};

// What the bouquets take from a channel's record, kept apart so that writing them reads no record,
// and whether the channel's is the transponder line of its transponder.
struct ChannelKind {
    std::uint8_t serviceType;  // as written: TV, radio or data
    std::uint8_t category;
    bool ownsTransponder;  // the first channel in the list with its namespace and TSID
};

struct SettingsPlan {
    std::span<const ChannelRecord> records;
    std::vector<std::uint64_t> keys;  // each channel's namespace << 32 | TSID << 16 | SID
    std::vector<ChannelKind> kinds;
    // By position, each written once: the position of the channel whose lamedb entry this one is,
    // itself when first.
    std::unique_ptr<int[]> entries;
    std::vector<ChangedTexts> changed;  // in list order
    std::string texts;
    int tenthsEast = 0;
    std::uint16_t networkId = 0;
    const FieldContext* context = nullptr;
};

inline std::uint32_t namespaceOf(const SettingsPlan& plan, int position) {
    return static_cast<std::uint32_t>(plan.keys[position] >> 32);
}

// A channel's name for version 4, for version 5, and its provider, as the lines hold them.
struct ChannelTexts {
    std::string_view name, name5, provider;
};
ChannelTexts channelTexts(const SettingsPlan& plan, int position);

// lamedb (version 4) or lamedb5 (version 5), appended to file: transponders, then services, each
// once, in the order of the channels that first use them.
void writeLamedb(const SettingsPlan& plan, int version, std::string& file);

// bouquets.tv or bouquets.radio, naming one user bouquet, appended to file.
void writeBouquetList(bool radio, std::string& file);

// A user bouquet, appended to file: the radio channels in one, every other channel in the other, in
// list order, with a marker before each run of one category.
void writeUserBouquet(const SettingsPlan& plan, bool radio, std::string& file);

inline constexpr std::string_view TvBouquet = "userbouquet.kvx.tv";
inline constexpr std::string_view RadioBouquet = "userbouquet.kvx.radio";

}  // namespace enigma2
