// kvx dupes: which channels are one service, which names are on several transponders, and what
// --remove keeps, on crafted lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "kvx/dupes.h"
#include "lists/name_key.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

struct Channel {
    const char* name = "Channel";
    std::uint16_t tid = 1;
    std::uint16_t sid = 100;
    std::int32_t frequency = 11778;
    char polarity = 'V';
};

std::vector<ChannelRecord> records(const std::vector<Channel>& channels) {
    std::vector<ChannelRecord> out;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const Channel& c = channels[i];
        ChannelRecord r = testRecord(c.name, c.tid, c.sid);
        r.frequency.set(c.frequency);
        r.polarity.set(c.polarity == 'V' ? PolarityVertical : PolarityHorizontal);
        r.reserved418[0] = static_cast<std::uint8_t>(i);
        out.push_back(r);
    }
    return out;
}

std::vector<std::vector<int>> asVectors(const ChannelGroups& groups) {
    std::vector<std::vector<int>> out;
    for (std::size_t g = 0; g < groups.count(); ++g) out.emplace_back(groups[g].begin(), groups[g].end());
    return out;
}

struct DupesCase {
    const char* what;
    std::vector<Channel> list;
    std::vector<std::vector<int>> services;  // positions, 0-based
    std::vector<int> kept;                   // after --remove
    std::vector<std::vector<int>> names;
};

TEST(Dupes, FindsServicesListedTwiceAndRemoveKeepsTheFirstOfEach) {
    const DupesCase cases[] = {
        {"no duplicates", {{.sid = 1}, {.sid = 2}, {.sid = 3}}, {}, {0, 1, 2}, {}},
        {"one service three times, names differ",
         {{.name = "A", .sid = 1}, {.name = "B", .sid = 2}, {.name = "A HD", .sid = 1}, {.name = "a", .sid = 1}},
         {{0, 2, 3}},
         {0, 1},
         {}},
        {"a chain of steps of 2 MHz is one transponder",
         {{.name = "x", .frequency = 11781}, {.name = "y", .frequency = 11778}, {.name = "z", .frequency = 11779}},
         {{0, 1, 2}},
         {0},
         {}},
        {"3 MHz apart are two transponders: one name on both",
         {{.name = "x", .frequency = 11778}, {.name = "X", .frequency = 11781}},
         {},
         {0, 1},
         {{0, 1}}},
        {"another polarity, another TID: not the same service",
         {{.polarity = 'V'}, {.polarity = 'H'}, {.tid = 2}},
         {},
         {0, 1, 2},
         {{0, 1, 2}}},
        {"two groups ordered by their first channel, each kept at its first",
         {{.name = "b", .sid = 9},
          {.name = "a", .sid = 5},
          {.name = "c", .sid = 7},
          {.name = "a", .sid = 5},
          {.name = "b", .sid = 9},
          {.name = "b", .sid = 9}},
         {{0, 4, 5}, {1, 3}},
         {0, 1, 2},
         {}},
        {"empty names are no name",
         {{.name = "", .sid = 1, .frequency = 10000}, {.name = "  ", .sid = 2, .frequency = 12000}},
         {},
         {0, 1},
         {}},
        {"a name on one transponder only is not reported, though listed twice",
         {{.name = "News", .sid = 1}, {.name = "news ", .sid = 2}, {.name = "NEWS", .sid = 3, .frequency = 11779}},
         {},
         {0, 1, 2},
         {}},
    };
    for (const DupesCase& c : cases) {
        const std::vector<ChannelRecord> list = records(c.list);
        const ChannelGroups services = sameServiceGroups(list);
        EXPECT_EQ(asVectors(services), c.services) << c.what;
        EXPECT_EQ(asVectors(sameNameGroups(list, 0)), c.names) << c.what;
        std::vector<int> removed;
        const std::vector<ChannelRecord> kept = withoutDuplicates(list, services, removed);
        ASSERT_EQ(kept.size(), c.kept.size()) << c.what;
        for (std::size_t i = 0; i < kept.size(); ++i)
            EXPECT_EQ(std::memcmp(&kept[i], &list[c.kept[i]], sizeof(ChannelRecord)), 0) << c.what << " at " << i;
        EXPECT_EQ(removed.size() + kept.size(), list.size()) << c.what;
        // What is left holds every service once.
        EXPECT_EQ(sameServiceGroups(kept).count(), 0u) << c.what;
    }
}

TEST(Dupes, ManyChannelsOfOneServiceAreOneGroup) {
    std::vector<ChannelRecord> list(16384, testRecord("Same", 0, 0));
    for (std::size_t i = 0; i < list.size(); ++i) list[i].frequency.set(static_cast<std::int32_t>(10000 + i % 3));
    const ChannelGroups services = sameServiceGroups(list);
    ASSERT_EQ(services.count(), 1u);
    std::vector<int> removed;
    EXPECT_EQ(withoutDuplicates(list, services, removed).size(), 1u);
    EXPECT_EQ(removed.size(), 16383u);
    EXPECT_EQ(removed.front(), 1);
}

// Random lists over few services, frequencies (MHz and kHz) and names, against the groups defined
// plainly: channels of one SID, TID and polarity (86 is V, any other value H) joined pair by pair where
// at most 2000 kHz apart; channels of one folded name, where not all on one polarity within 2000 kHz.
TEST(Dupes, GroupsEqualTheirDefinitionOnRandomLists) {
    const std::int32_t Frequencies[] = {11778, 11779, 11780, 11782, 11785, 11779500, 11781900, 100001};
    const std::uint16_t Polarities[] = {PolarityVertical, PolarityHorizontal, 0};
    const char* const Names[] = {"One", " ONE", "one  ", "Two", "", " ", "\xC3\x89t\xC3\xA9", "\xC3\x89T\xC3\x89"};
    TestRandom pick{1};
    for (int round = 0; round < 300; ++round) {
        std::vector<ChannelRecord> list(pick(40));
        std::vector<std::int64_t> khz;
        std::vector<std::string> folded(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            list[i] = testRecord(Names[pick(std::size(Names))], static_cast<std::uint16_t>(pick(2)),
                                 static_cast<std::uint16_t>(pick(3)));
            list[i].frequency.set(Frequencies[pick(std::size(Frequencies))]);
            list[i].polarity.set(Polarities[pick(std::size(Polarities))]);
            khz.push_back(list[i].frequency.get() > 100000 ? list[i].frequency.get() : list[i].frequency.get() * 1000);
            appendFoldedTextByCharacter(folded[i], fieldText(list[i].name), 0);
        }
        const auto vertical = [&](std::size_t i) { return list[i].polarity.get() == PolarityVertical; };
        std::vector<std::size_t> group(list.size());  // joined pair by pair: the lowest position of each
        std::iota(group.begin(), group.end(), 0);
        for (std::size_t i = 0; i < list.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (list[i].tid.get() == list[j].tid.get() && list[i].sid.get() == list[j].sid.get() &&
                    vertical(i) == vertical(j) && std::abs(khz[i] - khz[j]) <= 2000)
                    std::replace(group.begin(), group.end(), std::max(group[i], group[j]),
                                 std::min(group[i], group[j]));
        std::vector<std::vector<int>> services;
        std::vector<std::vector<int>> names;
        for (std::size_t first = 0; first < list.size(); ++first) {
            std::vector<int> service;
            std::vector<int> name;
            for (std::size_t i = 0; i < list.size(); ++i) {
                if (group[i] == first) service.push_back(static_cast<int>(i));
                if (folded[i] == folded[first]) name.push_back(static_cast<int>(i));
            }
            if (service.size() > 1) services.push_back(service);
            const auto [low, high] =
                std::minmax_element(name.begin(), name.end(), [&](int a, int b) { return khz[a] < khz[b]; });
            const bool spread = khz[*high] - khz[*low] > 2000 || std::any_of(name.begin(), name.end(), [&](int i) {
                                    return vertical(i) != vertical(first);
                                });
            if (!folded[first].empty() && name.size() > 1 && name[0] == static_cast<int>(first) && spread)
                names.push_back(name);
        }
        EXPECT_EQ(asVectors(sameServiceGroups(list)), services) << "round " << round;
        EXPECT_EQ(asVectors(sameNameGroups(list, 0)), names) << "round " << round;
    }
}

}  // namespace
