#include "kvx/sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "lists/large_pages.h"

namespace {

// Text fields sort case-insensitively first (ASCII letters folded to lower case), then by their
// bytes, and a text before every longer text it starts: as if each were its folded text padded with
// zeros to 30 bytes, followed by its own text padded the same way, compared with memcmp.

unsigned char folded(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// The first 16 bytes of that key as two numbers; most comparisons end there.
struct TextPrefix {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
};

TextPrefix textPrefix(const char (&field)[TextFieldSize]) {
    const std::string_view text = fieldText(field);
    TextPrefix prefix;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint64_t byte = i < text.size() ? folded(static_cast<unsigned char>(text[i])) : 0;
        (i < 8 ? prefix.high : prefix.low) |= byte << (8 * (7 - i % 8));
    }
    return prefix;
}

// The whole key's comparison, for texts whose first 16 folded bytes are equal.
int compareTexts(const char (&a)[TextFieldSize], const char (&b)[TextFieldSize]) {
    const std::string_view x = fieldText(a);
    const std::string_view y = fieldText(b);
    for (const bool fold : {true, false}) {
        for (std::size_t i = 0; i < TextFieldSize; ++i) {
            unsigned char p = i < x.size() ? static_cast<unsigned char>(x[i]) : 0;
            unsigned char q = i < y.size() ? static_cast<unsigned char>(y[i]) : 0;
            if (fold) {
                p = folded(p);
                q = folded(q);
            }
            if (p != q) return p < q ? -1 : 1;
        }
    }
    return 0;
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

}  // namespace

// Ties are broken by position, so any sort is stable.
std::vector<std::uint32_t> sortOrder(std::span<const ChannelRecord> records, SortKey key, bool reverse) {
    const std::size_t count = records.size();
    std::vector<std::uint32_t> order(count);

    if (key == SortKey::Name || key == SortKey::Provider) {
        const auto text = [&](std::uint32_t index) -> const char(&)[TextFieldSize] {
            return key == SortKey::Name ? records[index].name : records[index].provider;
        };
        struct Entry {
            TextPrefix prefix;  // complemented for reverse
            std::uint32_t index;
        };
        LargeVector<Entry> entries;  // a few hundred kilobytes, in large pages
        entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            TextPrefix prefix = textPrefix(text(static_cast<std::uint32_t>(i)));
            if (reverse) prefix = {~prefix.high, ~prefix.low};
            entries.push_back({prefix, static_cast<std::uint32_t>(i)});
        }
        std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
            if (a.prefix.high != b.prefix.high) return a.prefix.high < b.prefix.high;
            if (a.prefix.low != b.prefix.low) return a.prefix.low < b.prefix.low;
            const int compared = compareTexts(text(a.index), text(b.index));
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

void sortList(std::vector<ChannelRecord>& records, SortKey key, bool reverse) {
    std::vector<std::uint32_t> order = sortOrder(records, key, reverse);
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
