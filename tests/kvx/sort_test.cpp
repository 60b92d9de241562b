// kvx sort: ordered by one key, ascending or descending, channels with equal keys in their old order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "kvx/sort.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

// The order each key defines, written plainly: negative, zero or positive.
int compareByKey(const ChannelRecord& a, const ChannelRecord& b, SortKey key) {
    const auto order = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    const auto text = [&](std::string_view x, std::string_view y) {
        std::string foldedX(x), foldedY(y);
        for (std::string* folded : {&foldedX, &foldedY})
            for (char& c : *folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return foldedX != foldedY ? order(foldedX, foldedY) : order(x, y);
    };
    switch (key) {
        case SortKey::Name: return text(fieldText(a.name), fieldText(b.name));
        case SortKey::Provider: return text(fieldText(a.provider), fieldText(b.provider));
        case SortKey::Frequency: return order(a.frequency.get(), b.frequency.get());
        case SortKey::Sid: return order(a.sid.get(), b.sid.get());
        case SortKey::Category: return order(a.category, b.category);
    }
    return 0;
}

TEST(Sort, OrdersByEveryKeyInBothDirectionsKeepingTheOrderOfEqualKeys) {
    // Some share their first 16 bytes but for case, or are 29 bytes long, to reach past the part of the
    // key that decides most comparisons.
    const char* const texts[] = {"alpha",
                                 "Alpha",
                                 "ALPHA",
                                 "alphabet",
                                 "beta",
                                 "Beta",
                                 "b",
                                 "",
                                 "_x",
                                 "z",
                                 "\xE9t",
                                 "Channel number 16 one",
                                 "channel number 16 One",
                                 "CHANNEL NUMBER 16",
                                 "Channel number 16 one and two",
                                 "Channel number 16 one and Two"};
    const std::int32_t frequencies[] = {-5, 0, 11778000, INT32_MIN, INT32_MAX, 12000000};
    const std::uint16_t sids[] = {0, 1, 300, 65535, 2};
    const std::uint8_t categories[] = {0, 1, 255, 7};

    std::vector<ChannelRecord> records;
    std::uint32_t random = 12345;
    const auto pick = [&](std::size_t count) { return ((random = random * 1103515245u + 12345u) >> 16) % count; };
    for (int i = 0; i < 600; ++i) {
        ChannelRecord record = testRecord(texts[pick(std::size(texts))], 1, sids[pick(std::size(sids))]);
        setText(record.provider, texts[pick(std::size(texts))]);
        record.frequency.set(frequencies[pick(std::size(frequencies))]);
        record.category = categories[pick(std::size(categories))];
        record.reserved418[0] = static_cast<std::uint8_t>(i);  // tells apart records with every key equal
        records.push_back(record);
    }

    for (const SortKey key : {SortKey::Name, SortKey::Provider, SortKey::Frequency, SortKey::Sid, SortKey::Category}) {
        for (const bool reverse : {false, true}) {
            std::vector<ChannelRecord> expected = records;
            std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
                return (reverse ? compareByKey(b, a, key) : compareByKey(a, b, key)) < 0;
            });
            std::vector<ChannelRecord> sorted = records;
            sortList(sorted, key, reverse);
            ASSERT_EQ(sorted.size(), expected.size());
            EXPECT_EQ(std::memcmp(sorted.data(), expected.data(), sorted.size() * sizeof(ChannelRecord)), 0)
                << "key " << static_cast<int>(key) << (reverse ? " reverse" : "");
        }
    }
}

}  // namespace
