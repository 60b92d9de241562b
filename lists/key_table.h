#pragma once
// A list's channels grouped by a key in one pass, in list order: an open-addressing table of list
// positions, sized once for the whole list. Keys come from files, so slots come from a hash drawn at
// random for each table (vector multiply-shift, a universal family): no list can steer its keys onto
// a few slots, whatever it holds, and a lookup costs O(1) on average.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

inline constexpr std::uint32_t NoPosition = UINT32_MAX;

// Random factors of a hash of 32-bit words: factors[0] is added, factors[1 + i] multiplies word i.
struct WordHash {
    std::vector<std::uint64_t> factors;
};

// Factors for keys of up to `words` words, drawn anew for each call.
WordHash randomWordHash(std::size_t words);

// Factors for texts of up to maxLength bytes (their length is one more word).
WordHash randomTextHash(std::size_t maxLength);

// The top half of the sum, the bits of multiply-shift that are universal.
template <std::size_t N>
std::uint32_t hashWords(const WordHash& hash, const std::uint32_t (&words)[N]) {
    std::uint64_t sum = hash.factors[0];
    for (std::size_t i = 0; i < N; ++i) sum += hash.factors[1 + i] * words[i];
    return static_cast<std::uint32_t>(sum >> 32);
}

// Texts as their length and their bytes in words of four, the last one padded with zeros.
inline std::uint32_t hashText(const WordHash& hash, std::string_view text) {
    std::uint64_t sum = hash.factors[0] + hash.factors[1] * text.size();
    const std::uint64_t* factor = hash.factors.data() + 2;
    std::size_t at = 0;
    for (; at + 4 <= text.size(); at += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, text.data() + at, 4);
        sum += *factor++ * word;
    }
    if (at < text.size()) {
        std::uint32_t word = 0;
        std::memcpy(&word, text.data() + at, text.size() - at);
        sum += *factor * word;
    }
    return static_cast<std::uint32_t>(sum >> 32);
}

// Made by keyTableFor. A slot holds a position alone, so that the table is small: a caller's same
// compares a hash of its own first, where keys are costly to compare.
struct KeyTable {
    std::vector<std::uint32_t> slots;  // position + 1; 0 is a free slot
    unsigned shift = 0;                // a hash starts its search at slot hash >> shift
};

// Room for count keys, no more than half the slots taken.
KeyTable keyTableFor(std::size_t count);

// The slot of the key equal to the one whose hash is hash, or the free slot where it goes;
// same(position) says whether the key added at position equals it.
template <typename Same>
std::size_t slotOf(const KeyTable& table, std::uint32_t hash, Same same) {
    const std::size_t mask = table.slots.size() - 1;
    std::size_t s = hash >> table.shift;
    while (table.slots[s] != 0 && !same(table.slots[s] - 1)) s = (s + 1) & mask;
    return s;
}

// The position added with a key equal to the one whose hash is hash, or NoPosition (a free slot's 0 - 1).
template <typename Same>
std::uint32_t findKey(const KeyTable& table, std::uint32_t hash, Same same) {
    return table.slots[slotOf(table, hash, same)] - 1;
}

// findKey, or else adds position with its key and returns position.
template <typename Same>
std::uint32_t findOrAddKey(KeyTable& table, std::uint32_t hash, std::uint32_t position, Same same) {
    std::uint32_t& slot = table.slots[slotOf(table, hash, same)];
    if (slot == 0) slot = position + 1;
    return slot - 1;
}

// Positions with equal keys chained in the order they were added, from the first.
struct KeyChains {
    KeyTable table;
    std::vector<std::uint32_t> next;  // the next position with the same key, NoPosition after the last
    std::vector<std::uint32_t> last;  // at a chain's first position its last so far, NoPosition elsewhere
};

KeyChains keyChainsFor(std::size_t count);

// Adds position, which comes after every position added before, to the chain of its key.
template <typename Same>
void addToChain(KeyChains& chains, std::uint32_t hash, std::uint32_t position, Same same) {
    const std::uint32_t first = findOrAddKey(chains.table, hash, position, same);
    if (first != position) chains.next[chains.last[first]] = position;
    chains.last[first] = position;
}
