// The table of keys whatever the hash, against chains written out by comparing every pair: hashes
// that all collide, that all start at the last slot and wrap around, or that share a few starts, so
// that keys that differ are told apart only by comparing them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "lists/key_table.h"

namespace {

TEST(KeyTable, ChainsEqualKeysInListOrderAndFindsOnlyEqualKeysWhateverTheHash) {
    std::uint32_t (*const hashes[])(std::uint32_t) = {[](std::uint32_t) { return 0u; },
                                                      [](std::uint32_t) { return UINT32_MAX; },
                                                      [](std::uint32_t key) { return key % 3 * 0x55555555u; }};
    std::uint32_t random = 5;
    for (const auto hash : hashes) {
        for (const std::uint32_t count : {0u, 1u, 8u, 9u, 300u}) {
            std::vector<std::uint32_t> keys(count);
            for (std::uint32_t& key : keys) key = (random = random * 1664525u + 1013904223u) >> 28;
            KeyChains chains = keyChainsFor(count);
            for (std::uint32_t i = 0; i < count; ++i)
                addToChain(chains, hash(keys[i]), i, [&](std::uint32_t j) { return keys[j] == keys[i]; });
            const auto firstFrom = [&](std::uint32_t from, std::uint32_t key) {
                const auto found = std::find(keys.begin() + from, keys.end(), key);
                return found == keys.end() ? NoPosition : static_cast<std::uint32_t>(found - keys.begin());
            };
            for (std::uint32_t i = 0; i < count; ++i) {
                EXPECT_EQ(chains.next[i], firstFrom(i + 1, keys[i])) << count << " keys, at " << i;
                EXPECT_EQ(chains.last[i] != NoPosition, firstFrom(0, keys[i]) == i) << count << " keys, at " << i;
            }
            for (std::uint32_t key = 0; key < 17; ++key)
                EXPECT_EQ(findKey(chains.table, hash(key), [&](std::uint32_t j) { return keys[j] == key; }),
                          firstFrom(0, key))
                    << count << " keys, key " << key;
        }
    }
}

}  // namespace
