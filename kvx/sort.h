#pragma once
// Stable sort of a channel list by one field.

#include <vector>

#include "channel/channel_record.h"

enum class SortKey { Name, Provider, Frequency, Sid, Category };

// Channels with equal keys keep their order, with and without reverse.
void sortList(std::vector<ChannelRecord>& records, SortKey key, bool reverse);
