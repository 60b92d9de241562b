#include "lists/large_pages.h"

#include <algorithm>
#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

#ifdef __linux__
constexpr std::size_t LargePage = std::size_t{2} << 20;
// Below this a large page would be mostly cleared for nothing.
constexpr std::size_t SmallestLargeRoom = LargePage / 8;

constexpr std::size_t wholeLargePages(std::size_t bytes) { return (bytes + LargePage - 1) / LargePage * LargePage; }
#endif

}  // namespace

bool takesLargePages([[maybe_unused]] std::size_t bytes) {
#ifdef __linux__
    return bytes >= SmallestLargeRoom;
#else
    return false;
#endif
}

std::size_t largePageSize() {
#ifdef __linux__
    return LargePage;
#else
    return 0;
#endif
}

void* takeLargeRoomIfAny(std::size_t bytes) noexcept {
#ifdef __linux__
    if (takesLargePages(bytes)) {
        // A large page more than needed, so that the room can start on a border; what lies outside
        // the room is given back at once.
        const std::size_t size = wholeLargePages(bytes);
        void* mapped = mmap(nullptr, size + LargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return nullptr;
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t border = (start + LargePage - 1) & ~(LargePage - 1);
        // NOLINTBEGIN(performance-no-int-to-ptr): addresses inside the mapping just made
        if (border > start) munmap(mapped, border - start);
        munmap(reinterpret_cast<void*>(border + size), start + LargePage - border);
        void* room = reinterpret_cast<void*>(border);
        // NOLINTEND(performance-no-int-to-ptr)
        madvise(room, size, MADV_HUGEPAGE);  // only a wish, never an error
        return room;
    }
#endif
    return ::operator new(bytes, std::nothrow);
}

void* takeLargeRoom(std::size_t bytes) {
    void* room = takeLargeRoomIfAny(bytes);
    if (room == nullptr) throw std::bad_alloc();
    return room;
}

void giveLargeRoomBack(void* room, [[maybe_unused]] std::size_t bytes) noexcept {
#ifdef __linux__
    if (takesLargePages(bytes)) {
        munmap(room, wholeLargePages(bytes));
        return;
    }
#endif
    ::operator delete(room);
}

#ifdef __linux__
void adviseLargePages(const void* data, std::size_t size, std::size_t used) {
    constexpr std::uintptr_t Page = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + Page - 1) & ~(Page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(Page - 1);
    const auto usedEnd = std::min(end, (reinterpret_cast<std::uintptr_t>(data) + used + Page - 1) & ~(Page - 1));
    // NOLINTBEGIN(performance-no-int-to-ptr): the address of memory this process owns
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE  // older systems fault the pages in as they are written
    if (usedEnd > begin) madvise(reinterpret_cast<void*>(begin), usedEnd - begin, MADV_POPULATE_WRITE);
#endif
    // NOLINTEND(performance-no-int-to-ptr)
}
#else
void adviseLargePages(const void* /*data*/, std::size_t /*size*/, std::size_t /*used*/) {}
#endif
