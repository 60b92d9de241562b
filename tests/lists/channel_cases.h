#pragma once
// Channels as matching cases describe them: the fields that find a channel in another list, with
// everything a case leaves out the same for every channel.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "channel/channel_record.h"

struct Channel {
    const char* name = "Channel";
    std::uint16_t tid = 1;
    std::uint16_t sid = 100;
    std::int32_t frequency = 11778;  // MHz, as lists store it; above 100000 it is kHz
    char polarity = 'V';             // stored as the letter's code, as lists store 'V' (86) and 'H' (72)
    std::uint8_t kind = 1;           // the service type: 0 data, 1 TV, 2 radio, above that unknown
    const char* provider = "Provider";
    std::uint16_t ecm = 0;
};

inline void putCaseText(char (&field)[TextFieldSize], std::string_view text) {
    std::memset(field, 0, TextFieldSize);
    std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), TextFieldSize));
}

// mark tells apart records a case gives alike in every field above.
inline ChannelRecord caseRecord(const Channel& c, std::uint16_t mark) {
    ChannelRecord r{};
    r.frequency.set(c.frequency);
    r.symbolRate.set(27500);
    r.polarity.set(static_cast<std::uint16_t>(c.polarity));
    r.tid.set(c.tid);
    r.sid.set(c.sid);
    r.pmtPid.set(256);
    r.ecmPid.set(c.ecm);
    r.serviceType = c.kind;
    putCaseText(r.provider, c.provider);
    putCaseText(r.name, c.name);
    r.reserved418[0] = static_cast<std::uint8_t>(mark);
    r.reserved418[1] = static_cast<std::uint8_t>(mark >> 8);
    return r;
}

inline std::vector<ChannelRecord> caseRecords(const std::vector<Channel>& channels) {
    std::vector<ChannelRecord> out;
    for (std::size_t i = 0; i < channels.size(); ++i)
        out.push_back(caseRecord(channels[i], static_cast<std::uint16_t>(i)));
    return out;
}
