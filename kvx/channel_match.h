#pragma once
// Finding the same channel in two lists: by its transport stream and service, on the same
// transponder, as a rescan or another receiver's list gives it back.

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

inline constexpr int NoMatch = -1;

// For each channel of wanted, in order, the position of the channel of pool it is: the first pool
// channel not taken yet with the same service on the same transponder (tier 1), else the one pool
// channel with its SID and TID where exactly one has them (tier 2). Each pool channel is taken at
// most once, so channels that share a key pair up in order. NoMatch where none.
std::vector<int> matchByService(std::span<const ChannelRecord> wanted, std::span<const ChannelRecord> pool);
