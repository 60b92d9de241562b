// Finding a channel in another list: the frequency's unit, each tier of matchInTiers with one case a
// rule, matchByService's one pass, and many channels sharing keys at full size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

#include "lists/channel_match.h"
#include "tests/lists/channel_cases.h"

namespace {

TEST(ChannelMatch, FrequencyIsInMegahertzUpTo100000AndInKilohertzAbove) {
    const struct {
        std::int32_t stored;
        std::int64_t khz;
    } cases[] = {
        {0, 0},
        {1, 1000},
        {11778, 11778000},
        {99999, 99999000},
        {100000, 100000000},
        {100001, 100001},
        {11778000, 11778000},
        {2147483647, 2147483647},
    };
    for (const auto& c : cases) {
        ChannelRecord r{};
        r.frequency.set(c.stored);
        EXPECT_EQ(frequencyKhz(r), c.khz) << c.stored;
    }
    const struct {
        std::uint16_t stored;
        bool vertical;
    } polarities[] = {{86, true}, {72, false}, {0, false}, {'v', false}, {1, false}};
    for (const auto& p : polarities) {
        ChannelRecord r{};
        r.polarity.set(p.stored);
        EXPECT_EQ(isVertical(r), p.vertical) << p.stored;
    }
}

constexpr MatchTier T1 = MatchTier::Transponder;
constexpr MatchTier T2 = MatchTier::Transport;
constexpr MatchTier T3 = MatchTier::Renumbered;
constexpr MatchTier T4 = MatchTier::Name;
constexpr MatchTier None = MatchTier::Unmatched;

struct Found {
    int position;
    MatchTier tier;
    friend bool operator==(const Found&, const Found&) = default;
};

void PrintTo(const Found& f, std::ostream* out) {
    *out << "{" << f.position << ", tier " << static_cast<int>(f.tier) << "}";
}

constexpr Found Missing{NoMatch, None};

struct TierCase {
    const char* what;
    std::vector<Channel> wanted;
    std::vector<Channel> pool;
    std::vector<Found> found;  // per wanted channel
    int codePage = 0;
};

TEST(ChannelMatch, EachTierFindsWhatItShouldAndNothingElse) {
    const TierCase cases[] = {
        {"tier 1: same service, same transponder",
         {{.name = "A", .sid = 7}},
         {{.name = "B", .sid = 8}, {.name = "renamed", .sid = 7}},
         {{1, T1}}},
        {"tier 1: frequencies 2 MHz apart are one transponder",
         {{.sid = 7, .frequency = 11778}},
         {{.sid = 7, .frequency = 11780}},
         {{0, T1}}},
        {"tier 1 finds the copy within 2 MHz, not the earlier one 3 MHz away",
         {{.sid = 7, .frequency = 11778}},
         {{.name = "x", .sid = 7, .frequency = 11781}, {.name = "y", .sid = 7, .frequency = 11777}},
         {{1, T1}}},
        {"tier 1: frequency in kHz in one list, MHz in the other",
         {{.sid = 7, .frequency = 11778000}},
         {{.sid = 7, .frequency = 11778}},
         {{0, T1}}},
        {"tier 1: 2000 kHz apart is one transponder, 2001 kHz is not",
         {{.sid = 7, .frequency = 11778000}, {.sid = 7, .frequency = 11778000}},
         {{.name = "x", .sid = 7, .frequency = 11775999}, {.name = "y", .sid = 7, .frequency = 11776000}},
         {{1, T1}, Missing}},
        {"tier 1: every polarity but vertical is horizontal",
         {{.sid = 7, .polarity = 'H'}},
         {{.name = "x", .sid = 7, .polarity = 'V'}, {.name = "y", .sid = 7, .polarity = 'L'}},
         {{1, T1}}},
        {"tier 2: moved 3 MHz, SID and TID unique in the list",
         {{.sid = 7, .frequency = 11778}},
         {{.name = "other", .sid = 7, .frequency = 11781}},
         {{0, T2}}},
        {"tier 2: other polarity",
         {{.sid = 7, .polarity = 'V'}},
         {{.name = "other", .sid = 7, .polarity = 'H'}},
         {{0, T2}}},
        {"tier 2 needs exactly one channel with the SID and TID",
         {{.name = "gone", .sid = 7, .frequency = 11000}},
         {{.name = "x", .sid = 7, .frequency = 12000}, {.name = "y", .sid = 7, .frequency = 12100}},
         {Missing}},
        {"tier 2: the one channel with the SID and TID taken by tier 1",
         {{.sid = 7, .frequency = 12500}, {.sid = 7, .frequency = 11778}},
         {{.sid = 7, .frequency = 11778}},
         {Missing, {0, T1}}},
        {"tier 3: the network renumbered its transport stream",
         {{.name = "A", .tid = 1, .sid = 7}},
         {{.name = "B", .tid = 2, .sid = 7}},
         {{0, T3}}},
        {"tier 3 takes the earliest of the renumbered",
         {{.name = "A", .tid = 1, .sid = 7}},
         {{.name = "B", .tid = 2, .sid = 7, .frequency = 11779}, {.name = "C", .tid = 3, .sid = 7}},
         {{0, T3}}},
        {"tier 3 needs the transponder",
         {{.name = "A", .tid = 1, .sid = 7, .frequency = 11778}},
         {{.name = "B", .tid = 2, .sid = 7, .frequency = 11900}},
         {Missing}},
        {"tier 3: 2001 kHz apart is another transponder",
         {{.name = "A", .tid = 1, .sid = 7, .frequency = 11778000}},
         {{.name = "B", .tid = 2, .sid = 7, .frequency = 11780001}},
         {Missing}},
        {"tier 3 needs the polarity",
         {{.name = "A", .tid = 1, .sid = 7, .polarity = 'V'}},
         {{.name = "B", .tid = 2, .sid = 7, .polarity = 'H'}},
         {Missing}},
        {"tier 4: case, surrounding and repeated spaces",
         {{.name = "  Sport   One ", .sid = 1}},
         {{.name = "sport one", .sid = 2, .frequency = 12000}},
         {{0, T4}}},
        {"tier 4: inner spaces are not dropped",
         {{.name = "Sport One", .sid = 1}},
         {{.name = "sportone", .sid = 2}},
         {Missing}},
        {"tier 4: Latin-1, Greek and Cyrillic letters in UTF-8",
         {{.name = "\xC3\x89"
                   "COLE \xCE\x95\xCE\xA1\xCE\xA4 \xD0\x9D\xD0\xA2\xD0\x92",
           .sid = 1}},  // ÉCOLE ΕΡΤ НТВ
         {{.name = "\xC3\xA9"
                   "cole \xCE\xB5\xCF\x81\xCF\x84 \xD0\xBD\xD1\x82\xD0\xB2",
           .sid = 2}},
         {{0, T4}}},
        {"tier 4: Cyrillic in code page 1251 compares as letters",
         {{.name = "\xCF\xC5\xD0\xC2\xDB\xC9", .sid = 1}},  // ПЕРВЫЙ
         {{.name = "\xEF\xE5\xF0\xE2\xFB\xE9", .sid = 2}},  // первый
         {{0, T4}},
         1251},
        {"tier 4: without the code page those bytes are not letters",
         {{.name = "\xCF\xC5\xD0\xC2\xDB\xC9", .sid = 1}},
         {{.name = "\xEF\xE5\xF0\xE2\xFB\xE9", .sid = 2}},
         {Missing}},
        {"tier 4 keeps TV and radio apart; an unknown kind matches any",
         {{.name = "News", .sid = 1, .kind = 1}, {.name = "Music", .sid = 2, .kind = 2}},
         {{.name = "news", .sid = 3, .kind = 2}, {.name = "music", .sid = 4, .kind = 9}},
         {Missing, {1, T4}}},
        {"tier 4: data is a kind of its own",
         {{.name = "Guide", .sid = 1, .kind = 0}},
         {{.name = "guide", .sid = 3, .kind = 1}},
         {Missing}},
        {"tier 4: an unknown kind in the wanted list matches any kind",
         {{.name = "Data", .sid = 1, .kind = 200}},
         {{.name = "data", .sid = 3, .kind = 0}},
         {{0, T4}}},
        {"tier 4: empty names never match", {{.name = "  ", .sid = 1}}, {{.name = "", .sid = 3}}, {Missing}},
        {"tier 4 ties: the same provider first",
         {{.name = "N", .sid = 1, .provider = "P"}},
         {{.name = "n", .sid = 2, .provider = "Q"}, {.name = "n", .sid = 3, .frequency = 12500, .provider = "p"}},
         {{1, T4}}},
        {"tier 4 ties: then the same transponder",
         {{.name = "N", .sid = 1, .frequency = 11778}},
         {{.name = "n", .sid = 2, .frequency = 12000}, {.name = "n", .sid = 3, .frequency = 11779, .ecm = 0x500}},
         {{1, T4}}},
        {"tier 4 ties: then no ECM PID",
         {{.name = "N", .sid = 1}},
         {{.name = "n", .sid = 2, .ecm = 0x500}, {.name = "n", .sid = 3}},
         {{1, T4}}},
        {"tier 4 ties: then the earlier",
         {{.name = "N", .sid = 1}},
         {{.name = "n", .sid = 2}, {.name = "n", .sid = 3}},
         {{0, T4}}},
        {"copies pair up in order",
         {{.name = "A", .sid = 5}, {.name = "B", .sid = 6}, {.name = "A", .sid = 5}},
         {{.name = "A1", .sid = 5}, {.name = "A2", .sid = 5}, {.name = "B", .sid = 6}},
         {{0, T1}, {2, T1}, {1, T1}}},
        {"a name match never takes what a stronger tier finds for a later channel",
         {{.name = "News", .sid = 5}, {.name = "News", .sid = 7}},
         {{.name = "News", .sid = 7}},
         {Missing, {0, T1}}},
        {"a TID match never takes what tier 1 finds for a later channel",
         {{.name = "A", .sid = 7, .frequency = 10000}, {.name = "B", .sid = 7, .frequency = 11778}},
         {{.name = "B", .sid = 7, .frequency = 11778}},
         {Missing, {0, T1}}},
        {"an empty pool finds nothing", {{.name = "A"}}, {}, {Missing}},
        {"nothing wanted", {}, {{.name = "A"}}, {}},
    };
    for (const TierCase& c : cases) {
        const std::vector<ChannelRecord> wanted = caseRecords(c.wanted);
        const std::vector<ChannelRecord> pool = caseRecords(c.pool);
        std::vector<Found> found;
        for (const TieredMatch& m : matchInTiers(wanted, pool, c.codePage)) found.push_back({m.position, m.tier});
        EXPECT_EQ(found, c.found) << c.what;
    }
}

// One pass in the wanted list's order: each channel takes tier 1, else tier 2, before the next one
// is looked at; no other tier.
TEST(ChannelMatch, MatchByServiceFindsTheTransponderOrTheOnlyServiceInOnePass) {
    const TierCase cases[] = {
        {"the copy within 2 MHz, not the earlier one 3 MHz away",
         {{.sid = 7, .frequency = 11778}},
         {{.name = "x", .sid = 7, .frequency = 11781}, {.name = "y", .sid = 7, .frequency = 11777}},
         {{1, T1}}},
        {"kHz in one list, MHz in the other",
         {{.sid = 7, .frequency = 11778000}},
         {{.sid = 7, .frequency = 11778}},
         {{0, T1}}},
        {"2001 kHz apart and two of the service: none",
         {{.sid = 7, .frequency = 11778000}},
         {{.sid = 7, .frequency = 11780001}, {.sid = 7, .frequency = 11775999}},
         {Missing}},
        {"2001 kHz apart and the only one of the service",
         {{.sid = 7, .frequency = 11778000}},
         {{.sid = 7, .frequency = 11780001}},
         {{0, T2}}},
        {"other polarity and two of the service: none",
         {{.sid = 7, .polarity = 'V'}},
         {{.sid = 7, .polarity = 'H'}, {.sid = 7, .frequency = 12000, .polarity = 'H'}},
         {Missing}},
        {"copies pair up in order",
         {{.sid = 5}, {.sid = 6}, {.sid = 5}},
         {{.name = "A1", .sid = 5}, {.name = "A2", .sid = 5}, {.sid = 6}},
         {{0, T1}, {2, T1}, {1, T1}}},
        {"an earlier channel's tier 2 takes what a later one's tier 1 would find",
         {{.sid = 7, .frequency = 10000}, {.sid = 7, .frequency = 11778}},
         {{.sid = 7, .frequency = 11778}},
         {{0, T2}, Missing}},
        {"a renumbered TID is not found", {{.tid = 1, .sid = 7}}, {{.tid = 2, .sid = 7}}, {Missing}},
        {"names are not looked at", {{.name = "A", .sid = 1}}, {{.name = "A", .sid = 2}}, {Missing}},
        {"an empty pool", {{.sid = 1}, {.sid = 2}}, {}, {Missing, Missing}},
    };
    for (const TierCase& c : cases) {
        const std::vector<ChannelRecord> wanted = caseRecords(c.wanted);
        const std::vector<ChannelRecord> pool = caseRecords(c.pool);
        std::vector<int> expected;
        for (const Found& f : c.found) expected.push_back(f.position);
        EXPECT_EQ(matchByService(wanted, pool), expected) << c.what;
    }
}

// Many channels sharing every key but the frequency: each search stays O(log n) however many share
// a key, and each still finds its own transponder.
TEST(ChannelMatch, ChannelsThatShareKeysPairUpAtFullSize) {
    constexpr int Count = 16384;
    std::vector<ChannelRecord> pool;
    pool.reserve(Count);
    for (int i = 0; i < Count; ++i)
        pool.push_back(caseRecord({.name = "Same", .tid = 0, .sid = 0, .frequency = 10000 + 3 * (i % 2000)},
                                  static_cast<std::uint16_t>(i)));
    std::vector<ChannelRecord> wanted(pool.rbegin(), pool.rend());
    for (ChannelRecord& r : wanted) r.tid.set(1);  // tier 2 cannot, tier 3 takes every one
    for (const MatchTier tier : {T3, T4}) {
        if (tier == T4) {
            for (ChannelRecord& r : wanted) r.sid.set(1);  // now only the name is left
        }
        const std::vector<TieredMatch> found = matchInTiers(wanted, pool, 0);
        std::vector<bool> taken(pool.size(), false);
        for (std::size_t w = 0; w < found.size(); ++w) {
            ASSERT_EQ(found[w].tier, tier) << w;
            ASSERT_FALSE(taken[found[w].position]) << w;
            taken[found[w].position] = true;
            // Transponders are 3 MHz apart, so the one within 2 MHz is the same frequency.
            ASSERT_EQ(pool[found[w].position].frequency.get(), wanted[w].frequency.get()) << w;
        }
    }
}

}  // namespace
