#pragma once
// The list every benchmark works on: a plausible full list, every channel distinct, every 64th with
// all 32 streams.

#include "channel/channel_record.h"

void makeBenchList(ChannelRecord* records, int count);
