#include "kvx/channel_match.h"

#include <algorithm>

std::int64_t frequencyKhz(const ChannelRecord& record) {
    const std::int64_t stored = record.frequency.get();
    return stored > 100000 || stored < -100000 ? stored : stored * 1000;
}

bool isVertical(const ChannelRecord& record) { return record.polarity.get() == PolarityVertical; }

bool sameTransponderService(const ChannelRecord& a, const ChannelRecord& b) {
    if (a.sid.get() != b.sid.get() || a.tid.get() != b.tid.get() || isVertical(a) != isVertical(b)) return false;
    const std::int64_t apart = frequencyKhz(a) - frequencyKhz(b);
    return apart <= 2000 && apart >= -2000;
}

namespace {

std::uint32_t serviceKey(const ChannelRecord& record) {
    return (static_cast<std::uint32_t>(record.tid.get()) << 16) | record.sid.get();
}

// Pool positions ordered by service key, then by position: the channels of one key are one run, in
// list order.
struct KeyedPosition {
    std::uint32_t key;
    int position;
    auto operator<=>(const KeyedPosition&) const = default;
};

}  // namespace

std::vector<int> matchByService(std::span<const ChannelRecord> wanted, std::span<const ChannelRecord> pool) {
    std::vector<KeyedPosition> index(pool.size());
    for (std::size_t i = 0; i < pool.size(); ++i) index[i] = {serviceKey(pool[i]), static_cast<int>(i)};
    std::sort(index.begin(), index.end());
    std::vector<bool> taken(pool.size(), false);
    std::vector<int> matches(wanted.size(), NoMatch);
    for (std::size_t w = 0; w < wanted.size(); ++w) {
        const std::uint32_t key = serviceKey(wanted[w]);
        const auto run = std::equal_range(index.begin(), index.end(), KeyedPosition{key, 0},
                                          [](const KeyedPosition& a, const KeyedPosition& b) { return a.key < b.key; });
        for (auto it = run.first; it != run.second; ++it) {
            if (!taken[it->position] && sameTransponderService(wanted[w], pool[it->position])) {
                matches[w] = it->position;
                break;
            }
        }
        if (matches[w] == NoMatch && run.second - run.first == 1 && !taken[run.first->position]) {
            matches[w] = run.first->position;
        }
        if (matches[w] != NoMatch) taken[matches[w]] = true;
    }
    return matches;
}
