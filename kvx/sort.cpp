#include "kvx/sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// A text field's sort key: its text with ASCII letters in lower case, then the text as it is, both
// padded with zeros, so that one memcmp orders case-insensitively first, then by the bytes, and a
// text before every longer text it starts.
struct TextKey {
    unsigned char bytes[2 * TextFieldSize];
};

TextKey textKey(const char (&field)[TextFieldSize]) {
    TextKey key{};
    const std::string_view text = fieldText(field);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        key.bytes[i] = byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
        key.bytes[TextFieldSize + i] = byte;
    }
    return key;
}

// Numeric keys as unsigned 32-bit values in the same order: the frequency's sign bit flipped.
std::uint32_t numericKey(const ChannelRecord& record, SortKey key) {
    switch (key) {
        case SortKey::Frequency: return static_cast<std::uint32_t>(record.frequency.get()) ^ 0x80000000u;
        case SortKey::Sid: return record.sid.get();
        case SortKey::Category: return record.category;
        case SortKey::Name:
        case SortKey::Provider: break;
    }
    return 0;
}

// Positions of the records in sorted order. Ties are broken by position, so any sort is stable.
std::vector<std::uint32_t> sortedOrder(const std::vector<ChannelRecord>& records, SortKey key, bool reverse) {
    const std::size_t count = records.size();
    std::vector<std::uint32_t> order(count);

    if (key == SortKey::Name || key == SortKey::Provider) {
        // The first 8 key bytes as one number decide most comparisons without touching the keys.
        struct Entry {
            std::uint64_t prefix;
            std::uint32_t index;
        };
        std::vector<TextKey> keys;
        std::vector<Entry> entries;
        keys.reserve(count);
        entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            keys.push_back(textKey(key == SortKey::Name ? records[i].name : records[i].provider));
            std::uint64_t prefix = 0;
            for (int b = 0; b < 8; ++b) prefix = (prefix << 8) | keys[i].bytes[b];
            entries.push_back({reverse ? ~prefix : prefix, static_cast<std::uint32_t>(i)});
        }
        std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
            if (a.prefix != b.prefix) return a.prefix < b.prefix;
            const int compared = std::memcmp(keys[a.index].bytes, keys[b.index].bytes, sizeof(TextKey));
            if (compared != 0) return reverse ? compared > 0 : compared < 0;
            return a.index < b.index;
        });
        for (std::size_t i = 0; i < count; ++i) order[i] = entries[i].index;
        return order;
    }

    // Key in the high half (complemented for reverse), position in the low half.
    std::vector<std::uint64_t> keyed;
    keyed.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t value = numericKey(records[i], key);
        keyed.push_back((std::uint64_t{reverse ? ~value : value} << 32) | i);
    }
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(keyed[i]);
    return order;
}

}  // namespace

void sortList(std::vector<ChannelRecord>& records, SortKey key, bool reverse) {
    std::vector<std::uint32_t> order = sortedOrder(records, key, reverse);
    // Records move in place, one cycle of the permutation at a time: no second 7 MB list.
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) continue;
        const ChannelRecord first = records[start];
        std::size_t to = start;
        while (order[to] != start) {
            const std::size_t from = order[to];
            records[to] = records[from];
            order[to] = static_cast<std::uint32_t>(to);
            to = from;
        }
        records[to] = first;
        order[to] = static_cast<std::uint32_t>(to);
    }
}
