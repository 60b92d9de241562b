#include "kvx/large_pages.h"

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

void* takeLargeRoom(std::size_t bytes) {
#ifdef __linux__
    if (bytes >= SmallestLargeRoom) {
        // A large page more than needed, so that the room can start on a border; what lies outside
        // the room is given back at once.
        const std::size_t size = wholeLargePages(bytes);
        void* mapped = mmap(nullptr, size + LargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
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
    return ::operator new(bytes);
}

void giveLargeRoomBack(void* room, [[maybe_unused]] std::size_t bytes) noexcept {
#ifdef __linux__
    if (bytes >= SmallestLargeRoom) {
        munmap(room, wholeLargePages(bytes));
        return;
    }
#endif
    ::operator delete(room);
}
