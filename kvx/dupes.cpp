#include "kvx/dupes.h"

#include <algorithm>
#include <string_view>

#include "lists/channel_match.h"
#include "lists/key_table.h"
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
    // Channels chained by SID, TID and polarity; only a chain of two or more can hold a group. The
    // hashes are taken first, in a loop whose reads of records far apart in memory overlap.
    const WordHash hash = randomWordHash(2);
    std::vector<std::uint32_t> hashes(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        const std::uint32_t words[] = {(std::uint32_t{record.tid.get()} << 16) | record.sid.get(),
                                       isVertical(record) ? 1u : 0u};
        hashes[i] = hashWords(hash, words);
    }
    KeyChains chains = keyChainsFor(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        addToChain(chains, hashes[i], static_cast<std::uint32_t>(i), [&](std::uint32_t j) {
            const ChannelRecord& other = records[j];
            return hashes[j] == hashes[i] && other.tid.get() == record.tid.get() &&
                   other.sid.get() == record.sid.get() && isVertical(other) == isVertical(record);
        });
    }

    // Within a chain, by frequency: a step of more than 2 MHz ends a group.
    struct Tuned {
        std::int64_t khz;
        int position;
    };
    std::vector<Tuned> chain;
    std::vector<int> members;
    std::vector<std::uint32_t> starts;
    for (std::uint32_t first = 0; first < records.size(); ++first) {
        if (chains.last[first] == NoPosition || chains.next[first] == NoPosition) continue;
        chain.clear();
        for (std::uint32_t p = first; p != NoPosition; p = chains.next[p])
            chain.push_back({frequencyKhz(records[p]), static_cast<int>(p)});
        std::sort(chain.begin(), chain.end(), [](const Tuned& a, const Tuned& b) { return a.khz < b.khz; });
        for (std::size_t run = 0; run < chain.size();) {
            std::size_t end = run + 1;
            while (end < chain.size() && chain[end].khz - chain[end - 1].khz <= Window) ++end;
            if (end - run > 1) {
                starts.push_back(static_cast<std::uint32_t>(members.size()));
                for (std::size_t i = run; i < end; ++i) members.push_back(chain[i].position);
            }
            run = end;
        }
    }
    starts.push_back(static_cast<std::uint32_t>(members.size()));
    return orderedGroups(members, starts);
}

ChannelGroups sameNameGroups(std::span<const ChannelRecord> records, int codePage) {
    const FoldedTexts names = foldTexts(records, &ChannelRecord::name, codePage);
    std::size_t longest = 0;
    for (std::size_t i = 0; i < records.size(); ++i) longest = std::max(longest, names[i].size());
    const WordHash hash = randomTextHash(longest);
    std::vector<std::uint32_t> hashes(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) hashes[i] = hashText(hash, names[i]);
    KeyChains chains = keyChainsFor(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string_view name = names[i];
        if (name.empty()) continue;
        addToChain(chains, hashes[i], static_cast<std::uint32_t>(i),
                   [&](std::uint32_t j) { return hashes[j] == hashes[i] && names[j] == name; });
    }

    // Chains in the order of their first channels: the groups come out ordered as they must be.
    ChannelGroups groups;
    groups.starts.push_back(0);
    for (std::uint32_t first = 0; first < records.size(); ++first) {
        if (chains.last[first] == NoPosition || chains.next[first] == NoPosition) continue;
        std::int64_t lowest = frequencyKhz(records[first]);
        std::int64_t highest = lowest;
        bool onePolarity = true;
        for (std::uint32_t p = chains.next[first]; p != NoPosition; p = chains.next[p]) {
            const std::int64_t khz = frequencyKhz(records[p]);
            lowest = std::min(lowest, khz);
            highest = std::max(highest, khz);
            onePolarity = onePolarity && isVertical(records[p]) == isVertical(records[first]);
        }
        if (onePolarity && highest - lowest <= Window) continue;
        for (std::uint32_t p = first; p != NoPosition; p = chains.next[p])
            groups.positions.push_back(static_cast<int>(p));
        groups.starts.push_back(static_cast<std::uint32_t>(groups.positions.size()));
    }
    return groups;
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
