#include "kvx/dupes.h"

#include <algorithm>
#include <string_view>
#include <tuple>

#include "lists/channel_match.h"
#include "lists/name_key.h"

namespace {

constexpr std::int64_t Window = 2000;  // kHz: one transponder

ChannelGroups orderedGroups(std::vector<int>& members, const std::vector<std::uint32_t>& starts) {
    // Each group in list order, then the groups by their first position.
    std::vector<std::uint32_t> order;
    for (std::size_t g = 0; g + 1 < starts.size(); ++g) {
        std::sort(members.begin() + starts[g], members.begin() + starts[g + 1]);
        order.push_back(static_cast<std::uint32_t>(g));
    }
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return members[starts[a]] < members[starts[b]]; });
    ChannelGroups groups;
    groups.positions.reserve(members.size());
    groups.starts.push_back(0);
    for (const std::uint32_t g : order) {
        groups.positions.insert(groups.positions.end(), members.begin() + starts[g], members.begin() + starts[g + 1]);
        groups.starts.push_back(static_cast<std::uint32_t>(groups.positions.size()));
    }
    return groups;
}

}  // namespace

ChannelGroups sameServiceGroups(std::span<const ChannelRecord> records) {
    struct Entry {
        std::uint64_t key;  // TID, SID, polarity
        std::int64_t khz;
        int position;
        bool operator<(const Entry& b) const {
            return std::tie(key, khz, position) < std::tie(b.key, b.khz, b.position);
        }
    };
    std::vector<Entry> entries;
    entries.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& r = records[i];
        entries.push_back(
            {(std::uint64_t{r.tid.get()} << 17) | (std::uint64_t{r.sid.get()} << 1) | (isVertical(r) ? 1u : 0u),
             frequencyKhz(r), static_cast<int>(i)});
    }
    std::sort(entries.begin(), entries.end());
    std::vector<int> members;
    std::vector<std::uint32_t> starts;
    for (std::size_t run = 0; run < entries.size();) {
        std::size_t end = run + 1;
        while (end < entries.size() && entries[end].key == entries[run].key &&
               entries[end].khz - entries[end - 1].khz <= Window)
            ++end;
        if (end - run > 1) {
            starts.push_back(static_cast<std::uint32_t>(members.size()));
            for (std::size_t i = run; i < end; ++i) members.push_back(entries[i].position);
        }
        run = end;
    }
    starts.push_back(static_cast<std::uint32_t>(members.size()));
    return orderedGroups(members, starts);
}

ChannelGroups sameNameGroups(std::span<const ChannelRecord> records, int codePage) {
    const FoldedTexts names = foldTexts(records, &ChannelRecord::name, codePage);
    std::vector<int> order;
    order.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!names[i].empty()) order.push_back(static_cast<int>(i));
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) { return names[a] < names[b]; });
    std::vector<int> members;
    std::vector<std::uint32_t> starts;
    for (std::size_t run = 0; run < order.size();) {
        std::size_t end = run + 1;
        const ChannelRecord& first = records[order[run]];
        std::int64_t lowest = frequencyKhz(first);
        std::int64_t highest = lowest;
        bool onePolarity = true;
        while (end < order.size() && names[order[end]] == names[order[run]]) {
            const ChannelRecord& r = records[order[end]];
            lowest = std::min(lowest, frequencyKhz(r));
            highest = std::max(highest, frequencyKhz(r));
            onePolarity = onePolarity && isVertical(r) == isVertical(first);
            ++end;
        }
        if (end - run > 1 && (!onePolarity || highest - lowest > Window)) {
            starts.push_back(static_cast<std::uint32_t>(members.size()));
            members.insert(members.end(), order.begin() + static_cast<std::ptrdiff_t>(run),
                           order.begin() + static_cast<std::ptrdiff_t>(end));
        }
        run = end;
    }
    starts.push_back(static_cast<std::uint32_t>(members.size()));
    return orderedGroups(members, starts);
}

std::vector<ChannelRecord> withoutDuplicates(std::span<const ChannelRecord> records, const ChannelGroups& groups,
                                             std::vector<int>& removed) {
    std::vector<bool> goes(records.size(), false);
    for (std::size_t g = 0; g < groups.count(); ++g) {
        for (const int position : groups[g].subspan(1)) goes[position] = true;
    }
    std::vector<ChannelRecord> kept;
    kept.reserve(records.size());
    removed.clear();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (goes[i])
            removed.push_back(static_cast<int>(i));
        else
            kept.push_back(records[i]);
    }
    return kept;
}
