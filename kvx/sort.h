#pragma once
// Stable sort of a channel list by one field.

#include <cstdint>
#include <span>
#include <vector>

#include "channel/channel_record.h"

enum class SortKey { Name, Provider, Frequency, Sid, Category };

// Positions of the records in sorted order: position i of the sorted list holds records[order[i]].
std::vector<std::uint32_t> sortOrder(std::span<const ChannelRecord> records, SortKey key, bool reverse);

// Channels with equal keys keep their order, with and without reverse.
void sortList(std::vector<ChannelRecord>& records, SortKey key, bool reverse);
