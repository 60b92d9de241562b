#pragma once
// Finding the same channel in two lists: by its transport stream and service, on the same
// transponder, as a rescan or another receiver's list gives it back; then by service on the same
// transponder, and by name.

#include <cstdint>
#include <span>
#include <vector>

#include "channel/channel_record.h"

// The frequency in kHz. Lists store MHz (11778); a stored value above 100000 is already kHz.
std::int64_t frequencyKhz(const ChannelRecord& record);

// True for a record the editor shows as vertical; every other value shows as horizontal.
bool isVertical(const ChannelRecord& record);

// Tier 1: same SID and TID, frequencies at most 2 MHz apart, same polarity.
bool sameTransponderService(const ChannelRecord& a, const ChannelRecord& b);

// Tier 3: same SID, frequencies at most 2 MHz apart, same polarity, whatever the TID.
bool sameFrequencyService(const ChannelRecord& a, const ChannelRecord& b);

inline constexpr int NoMatch = -1;

// For each channel of wanted, in order, the position of the channel of pool it is: the first pool
// channel not taken yet with the same service on the same transponder (tier 1), else the one pool
// channel with its SID and TID where exactly one has them (tier 2). Each pool channel is taken at
// most once, so channels that share a key pair up in order. NoMatch where none.
std::vector<int> matchByService(std::span<const ChannelRecord> wanted, std::span<const ChannelRecord> pool);

// How a channel was found, strongest first. Unmatched: not found.
enum class MatchTier : std::uint8_t {
    Unmatched,
    Transponder,  // 1: SID, TID, frequency within 2 MHz, polarity
    Transport,    // 2: SID and TID, where exactly one pool channel has them
    Renumbered,   // 3: SID, frequency within 2 MHz, polarity
    Name,         // 4: the name compared as name_key.h folds it, within the kind
};

struct TieredMatch {
    int position = NoMatch;  // in the pool
    MatchTier tier = MatchTier::Unmatched;
};

// For each channel of wanted, the pool channel it is. Tier by tier, strongest first, every wanted
// channel not found yet takes, in wanted's order, the pool channel not taken yet that the tier finds
// (the earliest one for tiers 1 to 3), so a weaker match of one channel never takes what a stronger
// tier finds for another, and channels that share a key pair up in order. Tier 4 compares names as
// name_key.h folds them (empty names never match), TV, radio and data apart (a service type above 2
// matches any kind), preferring the same provider, then the same transponder, then a channel with
// no ECM PID, then the earliest. Each tier costs O(n log n) however many channels share a key.
std::vector<TieredMatch> matchInTiers(std::span<const ChannelRecord> wanted, std::span<const ChannelRecord> pool,
                                      int codePage);
