#include "channel/channel_table.h"

#include <cstring>

namespace ChannelTable {

ChannelRecord slots[Capacity];
std::int32_t count = 0;

FileResult load(const char* path) {
    ChannelFile::ReadCounts counts{};
    const FileResult result = ChannelFile::readRecords(path, "r+b", slots, Capacity, counts);
    // A file that could not be opened leaves the list as it was; a partly read list must never pass
    // for the file.
    if (result.ok) {
        count = static_cast<std::int32_t>(counts.records);
    } else if (counts.opened) {
        count = 0;
    }
    return result;
}

FileResult save(const char* path) {
    return ChannelFile::saveBytes(path, slots, static_cast<std::size_t>(count) * ChannelRecordSize);
}

void replace(std::int32_t index, const ChannelRecord& record) {
    if (index < 0 || index >= count) return;
    std::memmove(&slots[index], &record, sizeof record);  // record may be this very slot
}

void append(const ChannelRecord& record) {
    if (count >= Capacity) return;
    std::memmove(&slots[count], &record, sizeof record);
    ++count;
}

void remove(std::int32_t index) {
    if (index < 0 || index >= count) return;
    std::memmove(&slots[index], &slots[index + 1], static_cast<std::size_t>(count - index - 1) * sizeof(ChannelRecord));
    --count;
}

FieldText nameAt(std::int32_t index) {
    if (index < 0 || index >= Capacity) return FieldText{};
    return fieldTextCopy(slots[index].name);
}

}  // namespace ChannelTable
