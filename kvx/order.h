#pragma once
// A channel list ordered like a reference list: each reference channel, in its order, brings the
// list's channel it is (channel_match.h's tiers); the list's other channels, new in a rescan, follow
// in their own order or are left out.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "lists/channel_match.h"
#include "lists/large_pages.h"

struct OrderResult {
    std::vector<int> order;           // list positions in the result's order
    std::vector<MatchTier> placedBy;  // per result channel; Unmatched for a new one
    std::vector<int> referenceOf;     // per result channel: its reference position, or NoMatch
    std::vector<int> missing;         // reference positions that found no channel, in order
    std::array<int, 5> perTier{};     // channels placed by each tier, indexed by MatchTier
    int newCount = 0;                 // list channels no reference channel took
};

OrderResult orderLike(std::span<const ChannelRecord> reference, std::span<const ChannelRecord> list, int codePage,
                      bool dropUnmatched);

// What the result's records take from elsewhere; by default every record keeps all its bytes.
struct OrderCopy {
    bool names = false;       // the reference's name on each matched channel
    bool categories = false;  // the reference's category on each matched channel
    int newCategory = -1;     // 0 to 255: the category of each new channel
    int codePage = 0;         // of the names: where a long name is cut
};

// Writes the result's records, made from list, the list result was made from, into records: each
// record once, into the room the caller reserved (reserveOutput); a copy of the list rearranged
// afterwards would touch twice the memory. A reference name of 30 bytes is cut to the 29 a stored
// name holds, at a character's start when it is UTF-8, with a note naming the channel.
void arrangeLike(std::span<const ChannelRecord> list, const OrderResult& result,
                 std::span<const ChannelRecord> reference, const OrderCopy& copy, RecordList& records,
                 std::vector<std::string>& notes);
