// kvx check: one line per problem naming channel, field, value and why, on records tweaked one at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "kvx/check.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

struct CheckCase {
    int line;
    void (*tweak)(std::vector<ChannelRecord>&, ListFileFacts&);
    const char* finding;  // the start of the one line after "list.kvx: "; nullptr: no problem
};

TEST(Check, ReportsEachProblemInOneLineAndNothingAtTheLimits) {
    const CheckCase cases[] = {
        {__LINE__, [](auto& r, auto&) { std::memset(r[1].name, 'A', 30); },
         "channel 2 \"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\": name \"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\": no NUL in its 30"},
        {__LINE__, [](auto& r, auto&) { std::memset(r[1].provider, 'A', 30); },
         "channel 2 \"Two\": provider \"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\": no NUL in its 30 bytes"},
        {__LINE__, [](auto& r, auto&) { setText(r[0].name, ""); }, "channel 1 \"\": name \"\": empty"},
        {__LINE__, [](auto& r, auto&) { r[2].polarity.set(65); }, "channel 3 \"Three\": polarity 65: neither H"},
        {__LINE__, [](auto& r, auto&) { r[1].serviceType = 3; }, "channel 2 \"Two\": service_type 3: not Data"},
        {__LINE__, [](auto& r, auto&) { r[1].category = 2; }, "channel 2 \"Two\": category 2: beyond the categ"},
        {__LINE__, [](auto& r, auto&) { r[1].category = 254; }, "channel 2 \"Two\": category 254: beyond the c"},
        {__LINE__, [](auto& r, auto&) { r[1].category = 255; }, nullptr},  // "no category", as the editor writes
        {__LINE__, [](auto& r, auto&) { r[1].pmtPid.set(8192); }, "channel 2 \"Two\": pmt_pid 8192: above 8191"},
        {__LINE__, [](auto& r, auto&) { r[1].ac3Pid.set(8192); }, "channel 2 \"Two\": ac3_pid 8192: above 8191"},
        {__LINE__, [](auto& r, auto&) { r[1].streamCount = 33; }, "channel 2 \"Two\": stream_count 33: above 32"},
        {__LINE__, [](auto& r, auto&) { r[1].streams[1].kind = 6; }, "channel 2 \"Two\": stream 2 kind 6: above 5"},
        {__LINE__, [](auto& r, auto&) { r[1].streams[1].langLength = 4; },
         "channel 2 \"Two\": stream 2 lang_length 4: above 3"},
        {__LINE__, [](auto& r, auto&) { r[1].streams[0].pid.set(8192); }, "channel 2 \"Two\": stream 1 pid 8192:"},
        {__LINE__,  // a name that would break the line or its quotes is escaped
         [](auto& r, auto&) {
             setText(r[1].name, "A\"b\\\n\xE9");
             r[1].serviceType = 200;
         },
         "channel 2 \"A\\\"b\\\\\\x0A\\xE9\": service_type 200: not Data (0), TV (1) or Radio (2)"},
        {__LINE__, [](auto& r, auto&) { r[2].sid.set(101); },
         "channel 3 \"Three\": frequency 11778000 polarity V tid 1 sid 101: same as channel 1 \"One\"\n"},
        {__LINE__, [](auto&, auto& facts) { facts.trailingBytes = 1; },
         "1 trailing byte after the last whole record: the editor does not load it, and a save loses it\n"},
        {__LINE__, [](auto&, auto& facts) { facts.recordsBeyondCapacity = 3; },
         "3 records beyond 16384: the editor does not load them, and a save loses them\n"},
        {__LINE__,
         [](auto& r, auto&) {
             r[0].category = 1;
             r[0].teletextPid.set(8191);
             r[0].streams[1].kind = 5;
             r[0].streams[1].langLength = 3;
             r[0].streams[1].pid.set(8191);
             r[0].streams[2].kind = 9;
             r[0].streams[2].langLength = 9;  // past the stream count: unused
             r[1].sid.set(101);
             r[1].frequency.set(11778001);  // same SID, another frequency
             r[2].sid.set(101);
             r[2].polarity.set(PolarityHorizontal);  // same SID, another polarity
         },
         nullptr},
    };
    const CategoryNames categories = {"News", "Sports"};
    for (const CheckCase& c : cases) {
        std::vector<ChannelRecord> records = {testRecord("One", 1, 101), testRecord("Two", 1, 102),
                                              testRecord("Three", 1, 103)};
        ListFileFacts facts;
        c.tweak(records, facts);
        std::string out = "before\n";
        const std::size_t problems = checkList("list.kvx", records, facts, &categories, out);
        const std::string count = c.finding ? "1 problem" : "no problems";
        EXPECT_EQ(problems, c.finding ? 1u : 0u) << "line " << c.line;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), c.finding ? 3 : 2) << "line " << c.line << ": " << out;
        EXPECT_TRUE(out.starts_with(std::string("before\nlist.kvx: ") + (c.finding ? c.finding : count)))
            << "line " << c.line << ": " << out;
        EXPECT_TRUE(out.ends_with("\nlist.kvx: " + count + " in 3 channels\n")) << "line " << c.line << ": " << out;
    }
}

TEST(Check, FindsDuplicatesAcrossAFullListAndCategoriesOnlyAgainstAFile) {
    std::vector<ChannelRecord> records;
    records.reserve(16384);
    for (int i = 0; i < 16384; ++i) records.push_back(testRecord("Ch", 1, static_cast<std::uint16_t>(i)));
    records[16000].sid.set(5);  // two more copies of channel 6
    records[16001].sid.set(5);

    std::string out;
    EXPECT_EQ(checkList("big.kvx", records, {}, nullptr, out), 2u);
    const std::string copy = " \"Ch\": frequency 11778000 polarity V tid 1 sid 5: same as channel 6 \"Ch\"\n";
    EXPECT_EQ(out, "big.kvx: channel 16001" + copy + "big.kvx: channel 16002" + copy +
                       "big.kvx: 2 problems in 16384 channels\n");
    const CategoryNames none;  // category 0 is beyond it
    EXPECT_EQ(checkList("big.kvx", records, {}, &none, out), 16384u + 2);
}

}  // namespace
