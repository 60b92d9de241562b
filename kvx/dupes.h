#pragma once
// Channels a list holds more than once: the same service (tier 1 of channel_match.h: SID, TID,
// polarity, frequencies at most 2 MHz apart), and one name on several transponders.

#include <cstdint>
#include <span>
#include <vector>

#include "channel/channel_record.h"

// Groups of list positions, each in list order, groups ordered by their first position.
struct ChannelGroups {
    std::vector<int> positions;         // every group's positions, one group after another
    std::vector<std::uint32_t> starts;  // group g is positions[starts[g], starts[g + 1]); one more than groups

    std::size_t count() const { return starts.empty() ? 0 : starts.size() - 1; }
    std::span<const int> operator[](std::size_t g) const {
        return std::span<const int>(positions).subspan(starts[g], starts[g + 1] - starts[g]);
    }
};

// Channels with one SID, TID and polarity whose frequencies form a chain of steps of at most 2 MHz
// are one service: 11778, 11779 and 11781 MHz are one group, 11778 and 11781 alone are two.
ChannelGroups sameServiceGroups(std::span<const ChannelRecord> records);

// Channels whose names are the same as order's tier 4 compares them (empty names aside), where not
// all of them are on one transponder (one polarity, frequencies at most 2 MHz apart).
ChannelGroups sameNameGroups(std::span<const ChannelRecord> records, int codePage);

// The records without every channel of a group but its first; removed gets the positions that went,
// in list order.
std::vector<ChannelRecord> withoutDuplicates(std::span<const ChannelRecord> records, const ChannelGroups& groups,
                                             std::vector<int>& removed);
