// kvx diff: channels paired by TID and SID, so that a deletion, a move or an edit is reported as
// itself and nothing else, and every changed byte is named.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "kvx/diff.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

const CategoryNames Categories = {"News", "Sports"};
const FieldContext Context{&Categories, 0};

TEST(Diff, ReportsAddedRemovedMovedAndChangedChannelsEachOnceWhateverTheirPositions) {
    const std::vector<ChannelRecord> oldList = {testRecord("A", 1, 1), testRecord("B", 1, 2), testRecord("C", 1, 3),
                                                testRecord("D", 1, 4), testRecord("E", 1, 5), testRecord("F", 1, 6)};
    // B deleted from the middle, F moved to the front, C renamed, D and E edited, G appended with A's
    // key: the first channel with a key pairs with the first, so G is the added one.
    std::vector<ChannelRecord> newList = {oldList[5], oldList[0], oldList[2],
                                          oldList[3], oldList[4], testRecord("G", 1, 1)};
    setText(newList[2].name, "C \"2\"");
    newList[3].pmtPid.set(300);
    newList[4].polarity.set(PolarityHorizontal);
    newList[4].category = 1;

    std::string out;
    EXPECT_EQ(diffLists(oldList, newList, Context, out), 6u);
    EXPECT_EQ(out,
              "- 2 \"B\"\n"
              "moved 6 -> 1 \"F\"\n"
              "changed 3 \"C \\\"2\\\"\": name \"C\" -> \"C \\\"2\\\"\"\n"
              "changed 4 \"D\": pmt_pid 256 -> 300\n"
              "changed 5 \"E\": polarity V -> H\n"
              "changed 5 \"E\": category News -> Sports\n"
              "+ 6 \"G\"\n"
              "1 added, 1 removed, 1 moved, 3 changed\n");

    out.clear();
    EXPECT_EQ(diffLists(oldList, oldList, Context, out), 0u);
    EXPECT_EQ(out, "0 added, 0 removed, 0 moved, 0 changed\n");
}

// Every byte of the record by what a change there is reported as, each range ending where the next
// begins; nullptr for TID and SID, which pair the channels.
const std::pair<std::size_t, const char*> Layout[] = {
    {4, "frequency "},       {6, "symbol_rate "},
    {8, "polarity "},        {12, "reserved bytes differ"},
    {16, nullptr},           {18, "pmt_pid "},
    {20, "pcr_pid "},        {22, "ecm_pid "},
    {23, "service_type "},   {53, "provider "},
    {83, "name "},           {85, "video_pid "},
    {87, "audio_pid "},      {89, "teletext_pid "},
    {91, "ac3_pid "},        {93, "reserved bytes differ"},
    {414, "streams differ"}, {417, "reserved bytes differ"},
    {418, "category "},      {442, "reserved bytes differ"},
};

TEST(Diff, NamesTheFieldStreamsOrReservedBytesOfEveryChangedByte) {
    const std::vector<ChannelRecord> oldList = {testRecord("One", 1, 16), testRecord("Two", 1, 32),
                                                testRecord("Three", 1, 48)};
    std::size_t offset = 0;
    for (const auto& [end, label] : Layout) {
        for (; offset < end; ++offset) {
            std::vector<ChannelRecord> newList = oldList;
            reinterpret_cast<unsigned char*>(&newList[1])[offset] ^= 0x01;
            std::string out;
            const std::size_t differences = diffLists(oldList, newList, Context, out);
            if (label == nullptr) {
                EXPECT_EQ(differences, 2u) << offset;
                EXPECT_TRUE(out.ends_with("\n1 added, 1 removed, 0 moved, 0 changed\n")) << offset << out;
                continue;
            }
            std::string detail = label;
            const std::size_t entry = (offset - offsetof(ChannelRecord, streams)) / sizeof(StreamEntry);
            if (detail.starts_with("reserved"))
                detail += " (first at offset " + std::to_string(offset) + ")";
            else if (offset == offsetof(ChannelRecord, streamCount))
                detail += " (stream_count 2 -> 3)";
            else if (detail.starts_with("streams") && entry >= 2)
                detail += " (in entries past stream_count)";
            else if (detail.starts_with("streams"))
                detail += " (first at entry " + std::to_string(entry + 1) + ")";
            EXPECT_EQ(differences, 1u) << offset;
            EXPECT_TRUE(out.starts_with("changed 2 \"")) << offset << out;
            EXPECT_NE(out.find("\": " + detail), std::string::npos) << offset << out;
            EXPECT_EQ(out.find('\n'), out.rfind("\n0 added, 0 removed, 0 moved, 1 changed\n")) << offset << out;
        }
    }

    std::vector<ChannelRecord> newList = oldList;
    newList[1].name[20] = 'x';
    std::string out;
    EXPECT_EQ(diffLists(oldList, newList, Context, out), 1u);
    EXPECT_EQ(out, "changed 2 \"Two\": name bytes after the NUL differ\n0 added, 0 removed, 0 moved, 1 changed\n");
}

// Random lists over few services, against the pairing and the moves as they are defined: the k-th
// channel of a service in one list is the k-th of it in the other, and the channels not reported
// moved are a longest run of pairs whose new positions rise in old order.
TEST(Diff, PairsTheKthOfEachServiceAndMovesTheFewestChannelsOnRandomLists) {
    TestRandom pick{7};
    for (int round = 0; round < 400; ++round) {
        std::vector<ChannelRecord> lists[2];
        for (auto& list : lists) {
            for (std::uint32_t n = pick(30); list.size() < n;)
                list.push_back(testRecord("S", 1, static_cast<std::uint16_t>(pick(6))));
        }
        const auto& [oldList, newList] = lists;
        std::string expected;  // the removed, then the added
        std::vector<int> oldOfNew(newList.size(), -1);
        std::vector<int> rising;  // new positions in old order
        for (std::size_t i = 0; i < oldList.size(); ++i) {
            std::size_t j = 0;
            while (j < newList.size() && (oldOfNew[j] >= 0 || newList[j].sid.get() != oldList[i].sid.get())) ++j;
            if (j == newList.size()) expected += "- " + std::to_string(i + 1) + " \"S\"\n";
            if (j == newList.size()) continue;
            oldOfNew[j] = static_cast<int>(i);
            rising.push_back(static_cast<int>(j));
        }
        for (std::size_t j = 0; j < newList.size(); ++j)
            if (oldOfNew[j] < 0) expected += "+ " + std::to_string(j + 1) + " \"S\"\n";
        std::vector<std::size_t> longest(rising.size(), 1);  // of a rising run ending at each
        for (std::size_t b = 0; b < rising.size(); ++b)
            for (std::size_t a = 0; a < b; ++a)
                if (rising[a] < rising[b]) longest[b] = std::max(longest[b], longest[a] + 1);
        const std::size_t staying = rising.empty() ? 0 : *std::max_element(longest.begin(), longest.end());

        std::string out;
        diffLists(oldList, newList, Context, out);
        std::istringstream lines(out);
        std::string found;
        std::size_t moved = 0;
        for (std::string line; std::getline(lines, line);) {
            int from = 0;
            int to = 0;
            if (line[0] == '-' || line[0] == '+') found += line + "\n";
            if (std::sscanf(line.c_str(), "moved %d -> %d", &from, &to) != 2) continue;
            ++moved;
            ASSERT_EQ(oldOfNew[to - 1], from - 1) << round << ": " << line;
            oldOfNew[to - 1] = -1;  // left out of the order check below
        }
        EXPECT_EQ(found, expected) << round << "\n" << out;
        EXPECT_EQ(moved, rising.size() - staying) << round << "\n" << out;
        std::erase(oldOfNew, -1);  // what stays keeps its order
        EXPECT_TRUE(std::is_sorted(oldOfNew.begin(), oldOfNew.end())) << round << "\n" << out;
    }
}

}  // namespace
