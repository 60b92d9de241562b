#pragma once
// The channel table: every channel of the open file in file order, in one fixed block that lives
// for the whole run. List position i in the channel list is table slot i.

#include <cstdint>

#include "channel/channel_file.h"
#include "channel/channel_record.h"

namespace ChannelTable {

inline constexpr std::int32_t Capacity = 16384;

using FileResult = ChannelFile::FileResult;

extern ChannelRecord slots[Capacity];  // slots at and beyond count may hold stale bytes
extern std::int32_t count;

// Replaces the table with the records of the file at path (mode "r+b": the file must exist and be
// writable). A file that cannot be opened leaves the table as it was; a read error part-way leaves
// it empty. A trailing piece shorter than a record and records beyond Capacity are dropped.
FileResult load(const char* path);

// Writes slots 0..count-1 to path through a temporary file in the same folder that is checked and
// read back before it replaces the target in one step. On failure the target is untouched.
FileResult save(const char* path);

void replace(std::int32_t index, const ChannelRecord& record);  // 0 <= index < count
void append(const ChannelRecord& record);                       // caller ensures count < Capacity
void remove(std::int32_t index);                                // 0 <= index < count
FieldText nameAt(std::int32_t index);                           // name cut at 30 bytes, NUL-terminated

}  // namespace ChannelTable
