#pragma once
// Room for kvx's large tables in the system's large pages, starting on a large page's border so that
// none of it lies in small pages: on a virtual machine every small page touched for the first time
// costs microseconds, and a table of a megabyte is hundreds of them. Small tables, and systems without
// large pages, take ordinary memory.

#include <cstddef>
#include <vector>

#include "channel/channel_record.h"

// Whether room for this many bytes is taken in large pages (natively, from a few hundred kilobytes on).
bool takesLargePages(std::size_t bytes);
// The system's large page; 0 where kvx does not ask for them.
std::size_t largePageSize();

// Room for bytes; nullptr when there is none.
void* takeLargeRoomIfAny(std::size_t bytes) noexcept;
// Room for bytes; throws std::bad_alloc when there is none, as operator new does.
void* takeLargeRoom(std::size_t bytes);
// Gives back room taken for the same number of bytes.
void giveLargeRoomBack(void* room, std::size_t bytes) noexcept;

// Asks for large pages over the whole pages of [data, data + size) of memory taken elsewhere, and
// has the first used bytes' pages made at once rather than one fault at a time as they are written;
// only wishes, never errors.
void adviseLargePages(const void* data, std::size_t size, std::size_t used);

template <class T>
struct LargePageAllocator {
    using value_type = T;
    LargePageAllocator() = default;
    template <class U>
    explicit LargePageAllocator(const LargePageAllocator<U>& /*other*/) noexcept {}
    T* allocate(std::size_t count) { return static_cast<T*>(takeLargeRoom(count * sizeof(T))); }
    void deallocate(T* room, std::size_t count) noexcept { giveLargeRoomBack(room, count * sizeof(T)); }
    friend bool operator==(const LargePageAllocator& /*a*/, const LargePageAllocator& /*b*/) { return true; }
};

template <class T>
using LargeVector = std::vector<T, LargePageAllocator<T>>;

// A list being built (an import's or order's result): megabytes written once from start to end.
using RecordList = LargeVector<ChannelRecord>;
