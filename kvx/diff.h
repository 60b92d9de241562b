#pragma once
// What changed from one channel list to another, channels matched by TID and SID.

#include <cstddef>
#include <span>
#include <string>

#include "lists/record_fields.h"

// Appends lines for added, removed, moved and changed channels, then a count line. Returns the
// number of differences (0: the lists are the same).
std::size_t diffLists(std::span<const ChannelRecord> oldList, std::span<const ChannelRecord> newList,
                      const FieldContext& context, std::string& out);
