#pragma once
// The settings folder's files written from a plan export has made: each channel's Enigma2 values,
// its texts as the lines hold them, and which channel's lamedb entry and transponder it uses.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/list_format.h"

namespace enigma2 {

struct PlannedChannel {
    std::uint32_t dvbNamespace;
    std::int64_t frequencyKhz;
    std::int64_t symbolRate;  // symbols per second
    int polarisation;
    int entry;        // position of the channel whose lamedb entry this one is: itself when first
    int transponder;  // position of the channel whose transponder line this one's entry points to
    // Into SettingsPlan::texts: the name for version 4, for version 5, and the provider.
    std::uint32_t name, nameLength, name5, name5Length, provider, providerLength;
};

struct SettingsPlan {
    std::span<const ChannelRecord> records;
    std::vector<PlannedChannel> channels;
    std::string texts;
    int tenthsEast = 0;
    std::uint16_t networkId = 0;
    const FieldContext* context = nullptr;
};

inline std::string_view planText(const SettingsPlan& plan, std::uint32_t at, std::uint32_t length) {
    return std::string_view(plan.texts).substr(at, length);
}

// lamedb (version 4) or lamedb5 (version 5): transponders, then services, each once, in the order of
// the channels that first use them.
void writeLamedb(const SettingsPlan& plan, int version, std::string& out);

// bouquets.tv and bouquets.radio, each naming one user bouquet, and the two user bouquets: the
// radio channels in one, every other channel in the other, in list order, with a marker before each
// run of one category.
void writeBouquets(const SettingsPlan& plan, std::vector<NamedFile>& files);

}  // namespace enigma2
