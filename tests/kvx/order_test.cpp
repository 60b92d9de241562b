// kvx order: how the matches become the result (matched channels in the reference's order, new ones
// after in their own), a shuffled copy of a list restoring it, and a rescan whose every match and
// every channel left over is checked against the matching rules written out here, not against the
// matching code's own predicates.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "kvx/order.h"
#include "tests/kvx/kvx_test_records.h"
#include "tests/lists/channel_cases.h"

namespace {

// The result's records as a new list; the list given stays as it is.
std::vector<ChannelRecord> orderedRecords(const OrderResult& result, std::span<const ChannelRecord> reference,
                                          std::span<const ChannelRecord> list, const OrderCopy& copy,
                                          std::vector<std::string>& notes) {
    RecordList records;
    arrangeLike(list, result, reference, copy, records, notes);
    return {records.begin(), records.end()};
}

constexpr MatchTier T1 = MatchTier::Transponder;
constexpr MatchTier T2 = MatchTier::Transport;
constexpr MatchTier T3 = MatchTier::Renumbered;
constexpr MatchTier T4 = MatchTier::Name;
constexpr MatchTier New = MatchTier::Unmatched;

struct ResultCase {
    const char* what;
    std::vector<Channel> reference;
    std::vector<Channel> list;
    std::vector<int> order;  // list positions in the result's order (new ones appended)
    std::vector<MatchTier> tiers;
    std::vector<int> referenceOf;
    std::vector<int> missing;  // reference positions not found
    std::array<int, 5> perTier;
};

TEST(Order, MatchedChannelsTakeTheReferencesOrderAndNewOnesFollowInTheirOwn) {
    const ResultCase cases[] = {
        {"new channels after the matched ones, in the list's order",
         {{.name = "A", .sid = 3}, {.name = "B", .sid = 1}},
         {{.name = "N1", .sid = 9}, {.name = "B", .sid = 1}, {.name = "N2", .sid = 8}, {.name = "A", .sid = 3}},
         {3, 1, 0, 2},
         {T1, T1, New, New},
         {0, 1, NoMatch, NoMatch},
         {},
         {0, 2, 0, 0, 0}},
        {"reference channels not found are missing, in their order",
         {{.name = "gone", .sid = 5}, {.name = "A", .sid = 3}, {.name = "lost", .sid = 6}},
         {{.name = "A", .sid = 3}},
         {0},
         {T1},
         {1},
         {0, 2},
         {0, 1, 0, 0, 0}},
        {"every tier counted",
         {{.name = "A", .sid = 1},
          {.name = "B", .sid = 2, .frequency = 11778},
          {.name = "C", .tid = 1, .sid = 3},
          {.name = "News", .sid = 4}},
         {{.name = "news", .sid = 40},
          {.name = "C", .tid = 2, .sid = 3},
          {.name = "B", .sid = 2, .frequency = 11790},
          {.name = "A", .sid = 1},
          {.name = "extra", .sid = 50}},
         {3, 2, 1, 0, 4},
         {T1, T2, T3, T4, New},
         {0, 1, 2, 3, NoMatch},
         {},
         {0, 1, 1, 1, 1}},
        {"an empty list", {{.name = "A"}}, {}, {}, {}, {}, {0}, {0, 0, 0, 0, 0}},
        {"an empty reference: every channel is new",
         {},
         {{.name = "A", .sid = 1}, {.name = "B", .sid = 2}},
         {0, 1},
         {New, New},
         {NoMatch, NoMatch},
         {},
         {0, 0, 0, 0, 0}},
    };
    for (const ResultCase& c : cases) {
        const std::vector<ChannelRecord> reference = caseRecords(c.reference);
        const std::vector<ChannelRecord> list = caseRecords(c.list);
        const auto matched =
            static_cast<long>(std::count_if(c.tiers.begin(), c.tiers.end(), [](MatchTier t) { return t != New; }));
        for (const bool drop : {false, true}) {
            const OrderResult result = orderLike(reference, list, 0, drop);
            const long kept = drop ? matched : static_cast<long>(c.order.size());
            EXPECT_EQ(result.order, std::vector<int>(c.order.begin(), c.order.begin() + kept)) << c.what;
            EXPECT_EQ(result.placedBy, std::vector<MatchTier>(c.tiers.begin(), c.tiers.begin() + kept)) << c.what;
            EXPECT_EQ(result.referenceOf, std::vector<int>(c.referenceOf.begin(), c.referenceOf.begin() + kept))
                << c.what;
            EXPECT_EQ(result.missing, c.missing) << c.what;
            EXPECT_EQ(result.perTier, c.perTier) << c.what;
            EXPECT_EQ(result.newCount, static_cast<int>(c.order.size()) - matched) << c.what;
        }
    }
}

// A random list with few keys, so that channels share SIDs, TIDs, transponders and names, and some
// are byte-identical copies. Transponders are 10 MHz apart: tier 1's key is then an equality.
std::vector<ChannelRecord> randomList(std::uint32_t& seed, std::size_t count) {
    const auto pick = [&](std::uint32_t n) { return ((seed = seed * 1103515245u + 12345u) >> 16) % n; };
    static const char* const names[] = {"One",
                                        "one ",
                                        "Two",
                                        "",
                                        "\xD0\x9D\xD0\xA2\xD0\x92",
                                        "\xD0\xBD\xD1\x82\xD0\xB2",
                                        "A long name of thirty bytes!!"};
    std::vector<ChannelRecord> list;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && pick(8) == 0) {
            list.push_back(list[pick(static_cast<std::uint32_t>(i))]);  // an exact copy
            continue;
        }
        Channel c;
        c.name = names[pick(std::size(names))];
        c.tid = static_cast<std::uint16_t>(pick(3));
        c.sid = static_cast<std::uint16_t>(pick(4));
        c.frequency = 10700 + 10 * static_cast<std::int32_t>(pick(3));
        c.polarity = pick(2) == 0 ? 'H' : 'V';
        c.kind = static_cast<std::uint8_t>(pick(4));
        c.ecm = static_cast<std::uint16_t>(pick(2) * 0x500);
        ChannelRecord r = caseRecord(c, static_cast<std::uint16_t>(i));
        r.category = static_cast<std::uint8_t>(pick(5));
        list.push_back(r);
    }
    return list;
}

std::tuple<int, int, int, std::int32_t> tierOneKey(const ChannelRecord& r) {
    return {r.tid.get(), r.sid.get(), r.polarity.get(), r.frequency.get()};
}

TEST(Order, AShuffledCopyOfAListRestoresItWithCopiesOfAKeyInOrder) {
    std::uint32_t seed = 7;
    for (int round = 0; round < 60; ++round) {
        const std::vector<ChannelRecord> list = randomList(seed, 1 + round * 5);
        std::vector<int> shuffle(list.size());
        for (std::size_t i = 0; i < shuffle.size(); ++i) shuffle[i] = static_cast<int>(i);
        for (std::size_t i = shuffle.size(); i > 1; --i) {
            seed = seed * 1103515245u + 12345u;
            std::swap(shuffle[i - 1], shuffle[(seed >> 16) % i]);
        }
        std::vector<ChannelRecord> reference(list.size());
        for (std::size_t i = 0; i < shuffle.size(); ++i) reference[i] = list[shuffle[i]];

        // Each reference channel takes the earliest list channel of its key not taken yet.
        std::map<std::tuple<int, int, int, std::int32_t>, std::deque<int>> waiting;
        for (std::size_t i = 0; i < list.size(); ++i) waiting[tierOneKey(list[i])].push_back(static_cast<int>(i));
        std::vector<int> expected;
        for (const ChannelRecord& r : reference) {
            std::deque<int>& queue = waiting[tierOneKey(r)];
            expected.push_back(queue.front());
            queue.pop_front();
        }
        const OrderResult result = orderLike(reference, list, 0, false);
        ASSERT_EQ(result.order, expected) << "round " << round;
        EXPECT_EQ(result.perTier[1], static_cast<int>(list.size()));
        EXPECT_TRUE(result.missing.empty());
        std::vector<std::string> notes;
        const std::vector<ChannelRecord> ordered = orderedRecords(result, reference, list, {}, notes);
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            // Where the key's channels are alike in every byte, the reference itself comes back.
            ASSERT_EQ(std::memcmp(&ordered[i], &list[expected[i]], sizeof(ChannelRecord)), 0);
        }
    }
}

// The matching rules as a user states them. A stored frequency above 100000 is kHz, below it MHz;
// 'V' is vertical and every other value horizontal; one transponder is the same polarity and
// frequencies at most 2000 kHz apart.
std::int64_t kilohertz(const ChannelRecord& r) {
    const std::int64_t stored = r.frequency.get();
    return stored > 100000 ? stored : stored * 1000;
}

bool oneTransponder(const ChannelRecord& a, const ChannelRecord& b) {
    return (a.polarity.get() == 'V') == (b.polarity.get() == 'V') && std::llabs(kilohertz(a) - kilohertz(b)) <= 2000;
}

// Tier 1: the service on its transponder.
bool sameService(const ChannelRecord& a, const ChannelRecord& b) {
    return a.sid.get() == b.sid.get() && a.tid.get() == b.tid.get() && oneTransponder(a, b);
}

// Tier 3: the service on its transponder under another TID.
bool renumbered(const ChannelRecord& a, const ChannelRecord& b) {
    return a.sid.get() == b.sid.get() && oneTransponder(a, b);
}

// An ASCII name as a viewer reads it: letters without case, and spaces (a tab is one) only between
// words, one each.
std::string plainName(const ChannelRecord& r) {
    std::string out;
    bool gap = false;
    for (const char c : fieldText(r.name)) {
        if (c == ' ' || c == '\t') {
            gap = !out.empty();
            continue;
        }
        if (gap) out += ' ';
        gap = false;
        out += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 'a' - 'A') : c;
    }
    return out;
}

// Tier 4 keeps TV, radio and data apart; a service type above 2 is any kind.
bool kindsMeet(const ChannelRecord& a, const ChannelRecord& b) {
    return a.serviceType > 2 || b.serviceType > 2 || a.serviceType == b.serviceType;
}

// A list for a rescan: ASCII names that fold alike in several ways, few services (some unique in a
// long list, for tier 2), transponders 3 MHz apart, frequencies in MHz and in kHz, and polarities
// other than 'V' and 'H'.
std::vector<ChannelRecord> rescanList(std::uint32_t& seed, std::size_t count) {
    const auto pick = [&](std::uint32_t n) { return ((seed = seed * 1103515245u + 12345u) >> 16) % n; };
    static const char* const names[] = {"One", "one ", "  ONE", "Two", "two  two", "Two\ttwo", "", "   ", "News"};
    static const char polarities[] = {'V', 'H', 'V', 'H', 'L', 'v'};
    std::vector<ChannelRecord> list;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && pick(8) == 0) {
            list.push_back(list[pick(static_cast<std::uint32_t>(i))]);  // an exact copy
            continue;
        }
        Channel c;
        c.name = names[pick(std::size(names))];
        c.tid = static_cast<std::uint16_t>(pick(3));
        c.sid = static_cast<std::uint16_t>(pick(4 + static_cast<std::uint32_t>(count) / 8));
        c.frequency = 10700 + 3 * static_cast<std::int32_t>(pick(4));
        if (pick(3) == 0) c.frequency = c.frequency * 1000 + static_cast<std::int32_t>(pick(3)) * 500;
        c.polarity = polarities[pick(std::size(polarities))];
        c.kind = static_cast<std::uint8_t>(pick(4) == 0 ? 9 : pick(3));
        c.ecm = static_cast<std::uint16_t>(pick(2) * 0x500);
        ChannelRecord r = caseRecord(c, static_cast<std::uint16_t>(i));
        r.category = static_cast<std::uint8_t>(pick(5));
        list.push_back(r);
    }
    return list;
}

// A reference made from the list by a rescan: some channels gone, some moved by up to 3 MHz (often
// by 2000 or 2001 kHz), turned, renamed, renumbered, some foreign ones, all shuffled.
std::vector<ChannelRecord> rescanOf(const std::vector<ChannelRecord>& list, std::uint32_t& seed, std::size_t foreign) {
    const auto pick = [&](std::uint32_t n) { return ((seed = seed * 1103515245u + 12345u) >> 16) % n; };
    static const std::int32_t movesKhz[] = {-3000, -2001, -2000, -1000, 1000, 2000, 2001, 3000};
    static const char* const renames[] = {"ONE", "two two", "News ", "Renamed"};
    std::vector<ChannelRecord> reference = rescanList(seed, foreign);
    for (const ChannelRecord& r : list) {
        if (pick(5) == 0) continue;
        ChannelRecord changed = r;
        if (pick(4) == 0) changed.tid.set(static_cast<std::uint16_t>(pick(3)));
        if (pick(3) == 0) {
            const auto khz = static_cast<std::int32_t>(kilohertz(changed));
            changed.frequency.set(khz + movesKhz[pick(std::size(movesKhz))]);
        }
        if (pick(6) == 0) changed.polarity.set(changed.polarity.get() == 'V' ? 'H' : 'V');
        if (pick(4) == 0) changed.sid.set(static_cast<std::uint16_t>(pick(4)));
        if (pick(4) == 0) putCaseText(changed.name, renames[pick(std::size(renames))]);
        changed.category = static_cast<std::uint8_t>(pick(9));
        reference.insert(reference.begin() + pick(static_cast<std::uint32_t>(reference.size() + 1)), changed);
    }
    return reference;
}

// Every match holds its tier's rule, tiers 1 to 3 took the earliest channel they could, and no
// reference channel went to a weaker tier, or unfound, while a channel a stronger tier finds for it
// was left. seen counts the matches of each tier.
void checkTiers(const std::vector<ChannelRecord>& reference, const std::vector<ChannelRecord>& list,
                const OrderResult& result, std::array<int, 5>& seen) {
    constexpr int Left = 5;  // the tier of a channel nothing took, weaker than every tier
    std::vector<int> tierOf(list.size(), Left);
    std::vector<int> takenBy(list.size(), NoMatch);       // the reference position
    std::vector<int> matchOf(reference.size(), NoMatch);  // the list position
    for (std::size_t i = 0; i < result.order.size(); ++i) {
        const int r = result.referenceOf[i];
        if (r == NoMatch) continue;
        tierOf[result.order[i]] = static_cast<int>(result.placedBy[i]);
        takenBy[result.order[i]] = r;
        matchOf[r] = result.order[i];
    }
    std::vector<std::string> listNames;
    listNames.reserve(list.size());
    for (const ChannelRecord& record : list) listNames.push_back(plainName(record));
    for (std::size_t r = 0; r < reference.size(); ++r) {
        const ChannelRecord& ref = reference[r];
        const std::string name = plainName(ref);
        const int match = matchOf[r];
        const int tier = match == NoMatch ? Left : tierOf[match];
        // Tier 2 finds the one list channel with the SID and TID, where exactly one has them.
        int withService = 0;
        std::size_t theOne = 0;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].sid.get() == ref.sid.get() && list[i].tid.get() == ref.tid.get()) {
                ++withService;
                theOne = i;
            }
        }
        const auto finds = [&](int t, std::size_t i) {
            switch (t) {
                case 1: return sameService(ref, list[i]);
                case 2: return withService == 1 && i == theOne;
                case 3: return renumbered(ref, list[i]);
                default: return !name.empty() && name == listNames[i] && kindsMeet(ref, list[i]);
            }
        };
        if (tier != Left) {
            ASSERT_TRUE(finds(tier, static_cast<std::size_t>(match)))
                << "reference " << r << " and list " << match << " at tier " << tier;
            ++seen[static_cast<std::size_t>(tier)];
        }
        for (int t = 1; t <= 4; ++t) {
            for (std::size_t i = 0; i < list.size(); ++i) {
                if (!finds(t, i)) continue;
                // Taken before this reference channel's turn at tier t: by a stronger tier, or at the same
                // tier by an earlier reference channel.
                const bool takenBefore = tierOf[i] < t || (tierOf[i] == t && takenBy[i] < static_cast<int>(r));
                // A tier that found nothing for it had nothing left; tiers 1 to 3 take the earliest.
                const bool due = t < tier || (t == tier && t != 4 && static_cast<int>(i) < match);
                ASSERT_TRUE(!due || takenBefore) << "reference " << r << " at tier " << tier << " passed over list "
                                                 << i << ", which tier " << t << " finds";
            }
        }
    }
}

TEST(Order, ARescanFindsEveryChannelByTheRulesOfItsTierAndTheResultIsTheListsOwnRecords) {
    std::uint32_t seed = 99;
    std::array<int, 5> seen{};
    for (int round = 0; round < 80; ++round) {
        const std::vector<ChannelRecord> list = rescanList(seed, static_cast<std::size_t>(round) * 3);
        const std::vector<ChannelRecord> reference = rescanOf(list, seed, static_cast<std::size_t>(round % 7));
        for (const bool drop : {false, true}) {
            const OrderResult result = orderLike(reference, list, 0, drop);
            SCOPED_TRACE("round " + std::to_string(round) + (drop ? ", new channels dropped" : ""));
            std::vector<int> sorted = result.order;
            std::sort(sorted.begin(), sorted.end());
            ASSERT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
            const int matched = result.perTier[1] + result.perTier[2] + result.perTier[3] + result.perTier[4];
            EXPECT_EQ(matched + result.newCount, static_cast<int>(list.size()));
            EXPECT_EQ(matched + static_cast<int>(result.missing.size()), static_cast<int>(reference.size()));
            EXPECT_EQ(result.order.size(), drop ? static_cast<std::size_t>(matched) : list.size());
            checkTiers(reference, list, result, seen);
            if (HasFatalFailure()) return;

            for (const OrderCopy& copy : {OrderCopy{}, OrderCopy{true, true, 12, 0}}) {
                std::vector<std::string> notes;
                const std::vector<ChannelRecord> ordered = orderedRecords(result, reference, list, copy, notes);
                for (std::size_t i = 0; i < ordered.size(); ++i) {
                    ChannelRecord expected = list[result.order[i]];
                    const int r = result.referenceOf[i];
                    if (r == NoMatch) {
                        if (copy.newCategory >= 0) expected.category = static_cast<std::uint8_t>(copy.newCategory);
                    } else {
                        const ChannelRecord& ref = reference[r];
                        if (copy.categories) expected.category = ref.category;
                        // The names are short: the reference's name and its NUL, the list's bytes after.
                        if (copy.names && fieldText(ref.name) != fieldText(expected.name)) {
                            const std::string_view name = fieldText(ref.name);
                            std::memcpy(expected.name, name.data(), name.size());
                            expected.name[name.size()] = '\0';
                        }
                    }
                    ASSERT_EQ(std::memcmp(&ordered[i], &expected, sizeof(ChannelRecord)), 0) << "channel " << i;
                }
            }
        }
    }
    // The rescans reach every tier.
    for (const MatchTier tier : {T1, T2, T3, T4}) EXPECT_GT(seen[static_cast<std::size_t>(tier)], 20);
}

TEST(Order, CopiedNamesAreCutAtACharacterAndNamedInANote) {
    ChannelRecord reference = testRecord("", 1, 7);
    // 28 ASCII bytes and a two-byte letter: 30 bytes with no NUL, cut before the letter.
    std::memcpy(reference.name, "Twenty-eight bytes of name..\xD0\x96", TextFieldSize);
    ChannelRecord list = testRecord("old", 1, 7);
    const OrderResult result = orderLike({&reference, 1}, {&list, 1}, 0, false);
    std::vector<std::string> notes;
    OrderCopy copy;
    copy.names = true;
    const std::vector<ChannelRecord> ordered = orderedRecords(result, {&reference, 1}, {&list, 1}, copy, notes);
    EXPECT_EQ(fieldText(ordered[0].name), "Twenty-eight bytes of name..");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("channel 1"), std::string::npos);
    copy.codePage = 1251;  // one byte a character: 29 bytes stay
    notes.clear();
    EXPECT_EQ(fieldText(orderedRecords(result, {&reference, 1}, {&list, 1}, copy, notes)[0].name).size(), 29u);
    // The same name keeps the list's own bytes, a 30-byte name too.
    list = reference;
    notes.clear();
    const std::vector<ChannelRecord> same = orderedRecords(result, {&reference, 1}, {&list, 1}, copy, notes);
    EXPECT_EQ(std::memcmp(&same[0], &list, sizeof list), 0);
    EXPECT_TRUE(notes.empty());
}

}  // namespace
