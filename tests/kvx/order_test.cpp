// kvx order: the tiers of matching, one case each, and properties over random lists: a shuffled
// copy of a list restores it, and the result is always the list's own records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "kvx/order.h"
#include "lists/name_key.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

// A channel as a case describes it; what a case leaves out is the same for every channel.
struct Channel {
    const char* name = "Channel";
    std::uint16_t tid = 1;
    std::uint16_t sid = 100;
    std::int32_t frequency = 11778;  // MHz, as lists store it
    char polarity = 'V';
    std::uint8_t kind = 1;  // TV
    const char* provider = "Provider";
    std::uint16_t ecm = 0;
};

ChannelRecord record(const Channel& c, std::uint8_t mark) {
    ChannelRecord r = testRecord(c.name, c.tid, c.sid);
    r.frequency.set(c.frequency);
    r.polarity.set(c.polarity == 'V' ? PolarityVertical : PolarityHorizontal);
    r.serviceType = c.kind;
    setText(r.provider, c.provider);
    r.ecmPid.set(c.ecm);
    r.reserved418[0] = mark;  // tells apart channels a case gives alike
    return r;
}

std::vector<ChannelRecord> records(const std::vector<Channel>& channels) {
    std::vector<ChannelRecord> out;
    for (std::size_t i = 0; i < channels.size(); ++i) out.push_back(record(channels[i], static_cast<std::uint8_t>(i)));
    return out;
}

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

struct TierCase {
    const char* what;
    std::vector<Channel> reference;
    std::vector<Channel> list;
    std::vector<int> order;  // list positions in the result's order (new ones appended)
    std::vector<MatchTier> tiers;
    std::vector<int> missing;  // reference positions not found
    int codePage = 0;
};

TEST(Order, EachTierFindsWhatItShouldAndNothingElse) {
    const TierCase cases[] = {
        {"tier 1: same service, same transponder",
         {{.name = "A", .sid = 7}},
         {{.name = "B", .sid = 8}, {.name = "renamed", .sid = 7}},
         {1, 0},
         {T1, New},
         {}},
        {"tier 1: frequencies 2 MHz apart are one transponder",
         {{.sid = 7, .frequency = 11778}},
         {{.sid = 7, .frequency = 11780}},
         {0},
         {T1},
         {}},
        {"tier 1 finds the copy within 2 MHz, not the earlier one 3 MHz away",
         {{.sid = 7, .frequency = 11778}},
         {{.name = "x", .sid = 7, .frequency = 11781}, {.name = "y", .sid = 7, .frequency = 11777}},
         {1, 0},
         {T1, New},
         {}},
        {"tier 1: frequency in kHz in one list, MHz in the other",
         {{.sid = 7, .frequency = 11778000}},
         {{.sid = 7, .frequency = 11778}},
         {0},
         {T1},
         {}},
        {"tier 2: moved 3 MHz, SID and TID unique in the list",
         {{.sid = 7, .frequency = 11778}},
         {{.name = "other", .sid = 7, .frequency = 11781}},
         {0},
         {T2},
         {}},
        {"tier 2: other polarity",
         {{.sid = 7, .polarity = 'V'}},
         {{.name = "other", .sid = 7, .polarity = 'H'}},
         {0},
         {T2},
         {}},
        {"tier 2 needs exactly one channel with the SID and TID",
         {{.name = "gone", .sid = 7, .frequency = 11000}},
         {{.name = "x", .sid = 7, .frequency = 12000}, {.name = "y", .sid = 7, .frequency = 12100}},
         {0, 1},
         {New, New},
         {0}},
        {"tier 3: the network renumbered its transport stream",
         {{.name = "A", .tid = 1, .sid = 7}},
         {{.name = "B", .tid = 2, .sid = 7}},
         {0},
         {T3},
         {}},
        {"tier 3 needs the transponder",
         {{.name = "A", .tid = 1, .sid = 7, .frequency = 11778}},
         {{.name = "B", .tid = 2, .sid = 7, .frequency = 11900}},
         {0},
         {New},
         {0}},
        {"tier 4: case, surrounding and repeated spaces",
         {{.name = "  Sport   One ", .sid = 1}},
         {{.name = "sport one", .sid = 2, .frequency = 12000}},
         {0},
         {T4},
         {}},
        {"tier 4: Latin-1, Greek and Cyrillic letters in UTF-8",
         {{.name = "\xC3\x89"
                   "COLE \xCE\x95\xCE\xA1\xCE\xA4 \xD0\x9D\xD0\xA2\xD0\x92",
           .sid = 1}},  // ÉCOLE ΕΡΤ НТВ
         {{.name = "\xC3\xA9"
                   "cole \xCE\xB5\xCF\x81\xCF\x84 \xD0\xBD\xD1\x82\xD0\xB2",
           .sid = 2}},
         {0},
         {T4},
         {}},
        {"tier 4: Cyrillic in code page 1251 compares as letters",
         {{.name = "\xCF\xC5\xD0\xC2\xDB\xC9", .sid = 1}},  // ПЕРВЫЙ
         {{.name = "\xEF\xE5\xF0\xE2\xFB\xE9", .sid = 2}},  // первый
         {0},
         {T4},
         {},
         1251},
        {"tier 4: without the code page those bytes are not letters",
         {{.name = "\xCF\xC5\xD0\xC2\xDB\xC9", .sid = 1}},
         {{.name = "\xEF\xE5\xF0\xE2\xFB\xE9", .sid = 2}},
         {0},
         {New},
         {0}},
        {"tier 4 keeps TV and radio apart; an unknown kind matches any",
         {{.name = "News", .sid = 1, .kind = 1}, {.name = "Music", .sid = 2, .kind = 2}},
         {{.name = "news", .sid = 3, .kind = 2}, {.name = "music", .sid = 4, .kind = 9}},
         {1, 0},
         {T4, New},
         {0}},
        {"tier 4: an unknown kind in the reference matches any kind",
         {{.name = "Data", .sid = 1, .kind = 200}},
         {{.name = "data", .sid = 3, .kind = 0}},
         {0},
         {T4},
         {}},
        {"tier 4: empty names never match", {{.name = "  ", .sid = 1}}, {{.name = "", .sid = 3}}, {0}, {New}, {0}},
        {"tier 4 ties: the same provider first",
         {{.name = "N", .sid = 1, .provider = "P"}},
         {{.name = "n", .sid = 2, .provider = "Q"}, {.name = "n", .sid = 3, .frequency = 12500, .provider = "p"}},
         {1, 0},
         {T4, New},
         {}},
        {"tier 4 ties: then the same transponder",
         {{.name = "N", .sid = 1, .frequency = 11778}},
         {{.name = "n", .sid = 2, .frequency = 12000}, {.name = "n", .sid = 3, .frequency = 11779, .ecm = 0x500}},
         {1, 0},
         {T4, New},
         {}},
        {"tier 4 ties: then no ECM PID",
         {{.name = "N", .sid = 1}},
         {{.name = "n", .sid = 2, .ecm = 0x500}, {.name = "n", .sid = 3}},
         {1, 0},
         {T4, New},
         {}},
        {"tier 4 ties: then the earlier",
         {{.name = "N", .sid = 1}},
         {{.name = "n", .sid = 2}, {.name = "n", .sid = 3}},
         {0, 1},
         {T4, New},
         {}},
        {"copies pair up in order",
         {{.name = "A", .sid = 5}, {.name = "B", .sid = 6}, {.name = "A", .sid = 5}},
         {{.name = "A1", .sid = 5}, {.name = "A2", .sid = 5}, {.name = "B", .sid = 6}},
         {0, 2, 1},
         {T1, T1, T1},
         {}},
        {"a name match never takes what a stronger tier finds for a later channel",
         {{.name = "News", .sid = 5}, {.name = "News", .sid = 7}},
         {{.name = "News", .sid = 7}},
         {0},
         {T1},
         {0}},
        {"a TID match never takes what tier 1 finds for a later channel",
         {{.name = "A", .sid = 7, .frequency = 10000}, {.name = "B", .sid = 7, .frequency = 11778}},
         {{.name = "B", .sid = 7, .frequency = 11778}},
         {0},
         {T1},
         {0}},
        {"an empty list finds nothing", {{.name = "A"}}, {}, {}, {}, {0}},
    };
    for (const TierCase& c : cases) {
        const std::vector<ChannelRecord> reference = records(c.reference);
        const std::vector<ChannelRecord> list = records(c.list);
        const OrderResult result = orderLike(reference, list, c.codePage, false);
        EXPECT_EQ(result.order, c.order) << c.what;
        EXPECT_EQ(result.placedBy, c.tiers) << c.what;
        EXPECT_EQ(result.missing, c.missing) << c.what;
        const OrderResult dropped = orderLike(reference, list, c.codePage, true);
        const auto matched = static_cast<std::size_t>(
            std::count_if(c.tiers.begin(), c.tiers.end(), [](MatchTier t) { return t != New; }));
        EXPECT_EQ(dropped.order, std::vector<int>(c.order.begin(), c.order.begin() + static_cast<long>(matched)))
            << c.what << " (drop)";
        EXPECT_EQ(dropped.newCount, static_cast<int>(c.order.size() - matched)) << c.what;
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
        ChannelRecord r = record(c, static_cast<std::uint8_t>(i));
        r.reserved418[1] = static_cast<std::uint8_t>(i >> 8);
        r.category = static_cast<std::uint8_t>(pick(5));
        list.push_back(r);
    }
    return list;
}

std::tuple<int, int, bool, std::int32_t> tierOneKey(const ChannelRecord& r) {
    return {r.tid.get(), r.sid.get(), isVertical(r), r.frequency.get()};
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
        std::map<std::tuple<int, int, bool, std::int32_t>, std::deque<int>> waiting;
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

std::string folded(const ChannelRecord& r, int codePage) {
    std::string out;
    appendFoldedText(out, fieldText(r.name), codePage);
    return out;
}

// A reference made from the list by a rescan: some channels gone, some moved, renamed, renumbered,
// some foreign ones, all shuffled.
TEST(Order, TheResultIsTheListsOwnRecordsAndEveryMatchHoldsItsTier) {
    std::uint32_t seed = 99;
    for (int round = 0; round < 80; ++round) {
        const std::vector<ChannelRecord> list = randomList(seed, static_cast<std::size_t>(round) * 3);
        std::vector<ChannelRecord> reference = randomList(seed, static_cast<std::size_t>(round % 7));
        const auto pick = [&](std::uint32_t n) { return ((seed = seed * 1103515245u + 12345u) >> 16) % n; };
        for (const ChannelRecord& r : list) {
            if (pick(5) == 0) continue;
            ChannelRecord changed = r;
            if (pick(4) == 0) changed.tid.set(static_cast<std::uint16_t>(pick(3)));
            if (pick(4) == 0) changed.frequency.set(changed.frequency.get() + static_cast<std::int32_t>(pick(5)) - 2);
            if (pick(4) == 0) changed.sid.set(static_cast<std::uint16_t>(pick(4)));
            if (pick(4) == 0) setText(changed.name, "Renamed");
            changed.category = static_cast<std::uint8_t>(pick(9));
            reference.insert(reference.begin() + pick(static_cast<std::uint32_t>(reference.size() + 1)), changed);
        }
        for (const bool drop : {false, true}) {
            for (const OrderCopy& copy : {OrderCopy{}, OrderCopy{true, true, 12, 0}}) {
                const OrderResult result = orderLike(reference, list, 0, drop);
                std::vector<int> sorted = result.order;
                std::sort(sorted.begin(), sorted.end());
                ASSERT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
                const int matched = result.perTier[1] + result.perTier[2] + result.perTier[3] + result.perTier[4];
                EXPECT_EQ(matched + result.newCount, static_cast<int>(list.size()));
                EXPECT_EQ(matched + static_cast<int>(result.missing.size()), static_cast<int>(reference.size()));
                EXPECT_EQ(result.order.size(), drop ? static_cast<std::size_t>(matched) : list.size());

                std::vector<std::string> notes;
                const std::vector<ChannelRecord> ordered = orderedRecords(result, reference, list, copy, notes);
                std::vector<bool> placed(list.size(), false);
                for (std::size_t i = 0; i < ordered.size(); ++i) {
                    const ChannelRecord& from = list[result.order[i]];
                    placed[result.order[i]] = true;
                    ChannelRecord expected = from;
                    const int r = result.referenceOf[i];
                    if (r == NoMatch) {
                        ASSERT_EQ(result.placedBy[i], MatchTier::Unmatched);
                        if (copy.newCategory >= 0) expected.category = static_cast<std::uint8_t>(copy.newCategory);
                    } else {
                        const ChannelRecord& ref = reference[r];
                        switch (result.placedBy[i]) {
                            case MatchTier::Transponder: EXPECT_TRUE(sameTransponderService(ref, from)); break;
                            case MatchTier::Transport:
                                EXPECT_TRUE(ref.sid.get() == from.sid.get() && ref.tid.get() == from.tid.get());
                                break;
                            case MatchTier::Renumbered: EXPECT_TRUE(sameFrequencyService(ref, from)); break;
                            case MatchTier::Name:
                                EXPECT_EQ(folded(ref, 0), folded(from, 0));
                                EXPECT_FALSE(folded(ref, 0).empty());
                                break;
                            case MatchTier::Unmatched: ADD_FAILURE() << "a matched channel placed as new"; break;
                        }
                        if (copy.categories) expected.category = ref.category;
                        if (copy.names && fieldText(ref.name) != fieldText(from.name)) {
                            std::memset(expected.name, 0, TextFieldSize);
                            const std::string_view name = fieldText(ref.name).substr(0, TextFieldSize - 1);
                            std::memcpy(expected.name, name.data(), name.size());
                            std::memcpy(expected.name + name.size() + 1, from.name + name.size() + 1,
                                        TextFieldSize - name.size() - 1);
                        }
                    }
                    ASSERT_EQ(std::memcmp(&ordered[i], &expected, sizeof(ChannelRecord)), 0)
                        << "round " << round << " channel " << i;
                }
                // A reference channel left out had no list channel of its service and transponder left.
                for (const int r : result.missing) {
                    for (std::size_t i = 0; i < list.size(); ++i) {
                        if (!placed[i] && !drop) EXPECT_FALSE(sameTransponderService(reference[r], list[i]));
                    }
                }
            }
        }
    }
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

// Many channels sharing every key but the frequency: each search stays O(log n).
TEST(Order, ChannelsThatShareKeysPairUpAtFullSize) {
    std::vector<ChannelRecord> list;
    for (int i = 0; i < 16384; ++i) {
        ChannelRecord r = testRecord("Same", 0, 0);
        r.frequency.set(10000 + 3 * (i % 2000));
        r.reserved418[0] = static_cast<std::uint8_t>(i);
        r.reserved418[1] = static_cast<std::uint8_t>(i >> 8);
        list.push_back(r);
    }
    std::vector<ChannelRecord> reference(list.rbegin(), list.rend());
    for (ChannelRecord& r : reference) r.tid.set(1);  // tier 2 cannot, tier 3 takes every one
    const OrderResult result = orderLike(reference, list, 0, false);
    EXPECT_EQ(result.perTier[3], 16384);
    std::vector<int> sorted = result.order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    for (ChannelRecord& r : reference) r.sid.set(1);  // now only the name is left
    const OrderResult byName = orderLike(reference, list, 0, false);
    EXPECT_EQ(byName.perTier[4], 16384);
    // The same transponder wins: reference i's frequency is list (16383 - i)'s.
    for (std::size_t i = 0; i < byName.order.size(); ++i)
        ASSERT_EQ(list[byName.order[i]].frequency.get(), reference[i].frequency.get());
}

}  // namespace
