#include "lists/channel_match.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <tuple>
#include <utility>

#include "lists/name_key.h"

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

bool sameFrequencyService(const ChannelRecord& a, const ChannelRecord& b) {
    if (a.sid.get() != b.sid.get() || isVertical(a) != isVertical(b)) return false;
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
    friend bool operator<(const KeyedPosition& a, const KeyedPosition& b) {
        return std::tie(a.key, a.position) < std::tie(b.key, b.position);
    }
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

namespace {

constexpr int Taken = INT_MAX;
constexpr std::int64_t Window = 2000;  // kHz either way: one transponder
// Polarities are this far apart on the line of places, so that a window never spans both.
constexpr std::int64_t PolarityApart = std::int64_t{1} << 40;
constexpr std::int64_t Anywhere = INT64_MAX;

// Where a channel is on the line of places: its frequency, vertical channels far above the rest.
std::int64_t placeOf(const ChannelRecord& record) {
    return frequencyKhz(record) + (isVertical(record) ? PolarityApart : 0);
}

// Pool channels sorted by a key, then their place, then position. Over that order a tree of minima
// gives the earliest channel not taken yet of any range in O(log n), so many channels sharing a key
// (a list full of SID 0) never make a search walk past the ones already taken.
struct RangeIndex {
    struct Entry {
        std::uint64_t key;
        std::int64_t place;
        int position;
        friend bool operator<(const Entry& a, const Entry& b) {
            return std::tie(a.key, a.place, a.position) < std::tie(b.key, b.place, b.position);
        }
    };
    std::vector<Entry> entries;
    std::vector<int> earliest;  // the tree: node i covers nodes 2i and 2i + 1, leaves from entries.size()
    std::vector<int> leafOf;    // pool position -> leaf, -1 for a channel left out of the index
};

void buildIndex(RangeIndex& index, std::size_t poolSize, const std::vector<bool>& taken) {
    std::sort(index.entries.begin(), index.entries.end());
    const std::size_t n = index.entries.size();
    index.earliest.assign(2 * n, Taken);
    index.leafOf.assign(poolSize, -1);
    for (std::size_t i = 0; i < n; ++i) {
        const int position = index.entries[i].position;
        index.leafOf[position] = static_cast<int>(i);
        index.earliest[n + i] = taken[position] ? Taken : position;
    }
    for (std::size_t i = n - 1; i >= 1 && i < n; --i)
        index.earliest[i] = std::min(index.earliest[2 * i], index.earliest[2 * i + 1]);
}

// The entries of key with a place from low to high.
std::pair<std::size_t, std::size_t> findRange(const RangeIndex& index, std::uint64_t key, std::int64_t low,
                                              std::int64_t high) {
    const auto begin = std::lower_bound(index.entries.begin(), index.entries.end(), RangeIndex::Entry{key, low, -1});
    const auto end = std::upper_bound(begin, index.entries.end(), RangeIndex::Entry{key, high, Taken});
    return {static_cast<std::size_t>(begin - index.entries.begin()),
            static_cast<std::size_t>(end - index.entries.begin())};
}

std::pair<std::size_t, std::size_t> nearRange(const RangeIndex& index, std::uint64_t key, std::int64_t place) {
    return findRange(index, key, place - Window, place + Window);
}

// The earliest position not taken in entries [begin, end), or Taken.
int earliestIn(const RangeIndex& index, std::pair<std::size_t, std::size_t> range) {
    const std::size_t n = index.entries.size();
    int found = Taken;
    for (std::size_t low = range.first + n, high = range.second + n; low < high; low /= 2, high /= 2) {
        if (low % 2 == 1) found = std::min(found, index.earliest[low++]);
        if (high % 2 == 1) found = std::min(found, index.earliest[--high]);
    }
    return found;
}

void takeFrom(RangeIndex& index, int position) {
    const int leaf = index.leafOf[position];
    if (leaf < 0) return;
    std::size_t node = index.entries.size() + static_cast<std::size_t>(leaf);
    index.earliest[node] = Taken;
    for (node /= 2; node >= 1; node /= 2)
        index.earliest[node] = std::min(index.earliest[2 * node], index.earliest[2 * node + 1]);
}

struct Matching {
    std::span<const ChannelRecord> wanted;
    std::span<const ChannelRecord> pool;
    std::vector<TieredMatch> matches;
    std::vector<bool> taken;
    std::size_t unmatched;
};

void settle(Matching& m, std::size_t w, int position, MatchTier tier) {
    m.matches[w] = {position, tier};
    m.taken[position] = true;
    --m.unmatched;
}

// Tiers 1 and 2 share one index: key SID and TID, places on the line of frequency and polarity.
void matchByTransport(Matching& m) {
    RangeIndex index;
    index.entries.reserve(m.pool.size());
    for (std::size_t i = 0; i < m.pool.size(); ++i)
        index.entries.push_back({serviceKey(m.pool[i]), placeOf(m.pool[i]), static_cast<int>(i)});
    buildIndex(index, m.pool.size(), m.taken);
    for (std::size_t w = 0; w < m.wanted.size(); ++w) {
        const int found = earliestIn(index, nearRange(index, serviceKey(m.wanted[w]), placeOf(m.wanted[w])));
        if (found == Taken) continue;
        settle(m, w, found, MatchTier::Transponder);
        takeFrom(index, found);
    }
    for (std::size_t w = 0; w < m.wanted.size() && m.unmatched > 0; ++w) {
        if (m.matches[w].tier != MatchTier::Unmatched) continue;
        const auto run = findRange(index, serviceKey(m.wanted[w]), -Anywhere, Anywhere);
        if (run.second - run.first != 1) continue;
        const int found = earliestIn(index, run);
        if (found == Taken) continue;
        settle(m, w, found, MatchTier::Transport);
        takeFrom(index, found);
    }
}

void matchRenumbered(Matching& m) {
    RangeIndex index;
    index.entries.reserve(m.pool.size());
    for (std::size_t i = 0; i < m.pool.size(); ++i)
        index.entries.push_back({m.pool[i].sid.get(), placeOf(m.pool[i]), static_cast<int>(i)});
    buildIndex(index, m.pool.size(), m.taken);
    for (std::size_t w = 0; w < m.wanted.size() && m.unmatched > 0; ++w) {
        if (m.matches[w].tier != MatchTier::Unmatched) continue;
        const int found = earliestIn(index, nearRange(index, m.wanted[w].sid.get(), placeOf(m.wanted[w])));
        if (found == Taken) continue;
        settle(m, w, found, MatchTier::Renumbered);
        takeFrom(index, found);
    }
}

// The distinct texts of a pool's field, sorted, and each pool channel's number among them.
struct TextIds {
    std::vector<std::string_view> distinct;
    std::vector<std::uint32_t> idOf;
};

constexpr std::uint32_t NoId = UINT32_MAX;

TextIds numberTexts(const FoldedTexts& texts, std::size_t count) {
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return texts[a] < texts[b]; });
    TextIds ids;
    ids.idOf.assign(count, NoId);
    for (const std::uint32_t i : order) {
        if (ids.distinct.empty() || ids.distinct.back() != texts[i]) ids.distinct.push_back(texts[i]);
        ids.idOf[i] = static_cast<std::uint32_t>(ids.distinct.size() - 1);
    }
    return ids;
}

std::uint32_t idOfText(const TextIds& ids, std::string_view text) {
    const auto found = std::lower_bound(ids.distinct.begin(), ids.distinct.end(), text);
    return found != ids.distinct.end() && *found == text ? static_cast<std::uint32_t>(found - ids.distinct.begin())
                                                         : NoId;
}

// TV, radio and data are kinds 0 to 2 as the list stores them; any other service type is kind 3, unknown.
std::uint64_t kindOf(const ChannelRecord& record) { return record.serviceType <= 2 ? record.serviceType : 3; }

std::uint64_t ecmOf(const ChannelRecord& record) { return record.ecmPid.get() != 0 ? 1 : 0; }

// Key of the index by name and provider, and of the index by name alone (provider NoId).
std::uint64_t nameKey(std::uint64_t name, std::uint64_t provider, std::uint64_t kind, std::uint64_t ecm) {
    return (name << 36) | (provider << 3) | (kind << 1) | ecm;
}

void matchByName(Matching& m, int codePage) {
    const FoldedTexts poolNames = foldTexts(m.pool, &ChannelRecord::name, codePage);
    const FoldedTexts poolProviders = foldTexts(m.pool, &ChannelRecord::provider, codePage);
    const TextIds names = numberTexts(poolNames, m.pool.size());
    const TextIds providers = numberTexts(poolProviders, m.pool.size());
    constexpr std::uint64_t AnyProvider = 0xFFFFFFFF;
    RangeIndex byProvider;
    RangeIndex byName;
    for (std::size_t i = 0; i < m.pool.size(); ++i) {
        if (poolNames[i].empty()) continue;
        const ChannelRecord& record = m.pool[i];
        const std::uint64_t name = names.idOf[i];
        const auto position = static_cast<int>(i);
        byProvider.entries.push_back(
            {nameKey(name, providers.idOf[i], kindOf(record), ecmOf(record)), placeOf(record), position});
        byName.entries.push_back(
            {nameKey(name, AnyProvider, kindOf(record), ecmOf(record)), placeOf(record), position});
    }
    buildIndex(byProvider, m.pool.size(), m.taken);
    buildIndex(byName, m.pool.size(), m.taken);

    std::string wantedName;
    std::string wantedProvider;
    for (std::size_t w = 0; w < m.wanted.size() && m.unmatched > 0; ++w) {
        if (m.matches[w].tier != MatchTier::Unmatched) continue;
        const ChannelRecord& record = m.wanted[w];
        wantedName.clear();
        appendFoldedText(wantedName, fieldText(record.name), codePage);
        const std::uint32_t name = idOfText(names, wantedName);
        if (wantedName.empty() || name == NoId) continue;
        wantedProvider.clear();
        appendFoldedText(wantedProvider, fieldText(record.provider), codePage);
        const std::uint32_t provider = idOfText(providers, wantedProvider);
        const std::uint64_t kind = kindOf(record);
        const std::int64_t place = placeOf(record);
        // Strongest first: same provider, same transponder, no ECM PID. A weaker level is asked only
        // when every stronger one is empty, so "any transponder" there means another one.
        int found = Taken;
        for (int level = 0; level < 8 && found == Taken; ++level) {
            const bool sameProvider = level < 4;
            const bool sameTransponder = level % 4 < 2;
            const std::uint64_t ecm = level % 2;
            if (sameProvider && provider == NoId) continue;
            const RangeIndex& index = sameProvider ? byProvider : byName;
            for (std::uint64_t k = 0; k < 4; ++k) {
                if (kind != 3 && k != kind && k != 3) continue;
                const std::uint64_t key = nameKey(name, sameProvider ? provider : AnyProvider, k, ecm);
                const auto range =
                    sameTransponder ? nearRange(index, key, place) : findRange(index, key, -Anywhere, Anywhere);
                found = std::min(found, earliestIn(index, range));
            }
        }
        if (found == Taken) continue;
        settle(m, w, found, MatchTier::Name);
        takeFrom(byProvider, found);
        takeFrom(byName, found);
    }
}

}  // namespace

std::vector<TieredMatch> matchInTiers(std::span<const ChannelRecord> wanted, std::span<const ChannelRecord> pool,
                                      int codePage) {
    Matching m{wanted, pool, std::vector<TieredMatch>(wanted.size()), std::vector<bool>(pool.size(), false),
               wanted.size()};
    if (pool.empty()) return std::move(m.matches);
    matchByTransport(m);
    if (m.unmatched > 0) matchRenumbered(m);
    if (m.unmatched > 0) matchByName(m, codePage);
    return std::move(m.matches);
}
