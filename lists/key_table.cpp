#include "lists/key_table.h"

#include <chrono>

#ifdef _WIN32
#include <random>
#else
#include <sys/random.h>
#endif

namespace {

// splitmix64: spreads one secret seed over as many factors as a hash needs.
std::uint64_t nextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// One state for the whole run, seeded from the system's randomness and the clock: a list this run
// reads cannot know it.
std::uint64_t& randomState() {
    static std::uint64_t state = [] {
        std::uint64_t drawn = 0;
#ifdef _WIN32
        std::random_device device;
        drawn = (std::uint64_t{device()} << 32) ^ device();
#else
        // One system call; where it fails the clock alone stands.
        if (getrandom(&drawn, sizeof drawn, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof drawn)) drawn = 0;
#endif
        return drawn ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    return state;
}

}  // namespace

WordHash randomWordHash(std::size_t words) {
    WordHash hash;
    hash.factors.resize(words + 1);
    for (std::uint64_t& factor : hash.factors) factor = nextRandom(randomState());
    return hash;
}

WordHash randomTextHash(std::size_t maxLength) { return randomWordHash(1 + (maxLength + 3) / 4); }

KeyTable keyTableFor(std::size_t count) {
    KeyTable table;
    std::size_t slots = 16;
    unsigned shift = 28;
    while (slots < 2 * count) {
        slots *= 2;
        --shift;
    }
    table.slots.assign(slots, 0);
    table.shift = shift;
    return table;
}

KeyChains keyChainsFor(std::size_t count) {
    KeyChains chains;
    chains.table = keyTableFor(count);
    chains.next.assign(count, NoPosition);
    chains.last.assign(count, NoPosition);
    return chains;
}
