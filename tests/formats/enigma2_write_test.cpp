// How export puts the settings files together: numbers and texts through the small buffer, the
// files one after another in one buffer, and each channel's own texts where some had to change.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <limits>

#include "formats/enigma2_format.h"
#include "formats/enigma2_values.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

TEST(Enigma2Write, NumbersAndTextsComeOutAsPrintfWritesThem) {
    const std::uint32_t hexValues[] = {0, 1, 0xF, 0x10, 0x283D, 0xFFFF, 0x10000, 0xC029E9, 0x7FFFFFFF, 0xFFFFFFFF};
    const std::int64_t decimals[] = {0,
                                     1,
                                     -1,
                                     9,
                                     10,
                                     11778000,
                                     27500000,
                                     -1800,
                                     std::numeric_limits<std::int64_t>::max(),
                                     std::numeric_limits<std::int64_t>::min()};
    std::string file;
    std::string expected;
    enigma2::TextOut out;
    out.file = &file;
    char printed[32];
    // Enough rounds that pieces cross the buffer's end at every offset.
    for (int round = 0; round < 300; ++round) {
        for (const std::uint32_t value : hexValues) {
            for (const int digits : {1, 4, 8}) {
                for (const bool upper : {false, true}) {
                    enigma2::putHex(out, value, digits, upper);
                    std::snprintf(printed, sizeof printed, upper ? "%0*X" : "%0*x", digits, value);
                    expected += printed;
                }
            }
        }
        for (const std::int64_t value : decimals) {
            enigma2::putDecimal(out, value);
            std::snprintf(printed, sizeof printed, "%" PRId64, value);
            expected += printed;
        }
        enigma2::put(out, ':');
        enigma2::put(out, std::string_view("text "));
        expected += ":text ";
    }
    const std::string longText(5000, 'x');  // longer than the buffer
    enigma2::put(out, longText);
    expected += longText;
    enigma2::put(out, '\n');
    expected += '\n';
    enigma2::finish(out);
    EXPECT_EQ(file, expected);
}

// Channels whose names need a quote replaced in lamedb5 between ones written as they are.
std::vector<ChannelRecord> someQuoted() {
    std::vector<ChannelRecord> records;
    const char* const names[] = {"One \"1\"", "Two", "Three", "Four \"4\"", "Five"};
    for (std::uint16_t i = 0; i < 5; ++i)
        records.push_back(testRecord(names[i], 0x437, static_cast<std::uint16_t>(i + 1)));
    setText(records[2].provider, "A, B");
    records[4].serviceType = 2;
    records[4].category = 7;
    return records;
}

TEST(Enigma2Write, OneBufferHoldsTheFilesEachWithItsOwnChannelsTexts) {
    const std::vector<ChannelRecord> records = someQuoted();
    const CategoryNames categories(8, std::string(6000, 'c'));  // a name longer than the buffer
    FormatOptions options;
    options.source.tenthsEast = 192;
    options.networkId = 1;
    options.context.categories = &categories;
    std::string bytes;
    bytes.reserve(enigma2ExportSize(records));
    std::vector<SettingsFile> files;
    FormatReport report;
    ASSERT_TRUE(exportEnigma2(records, options, bytes, files, report));
    std::vector<NamedFile> apart;
    FormatReport apartReport;
    ASSERT_TRUE(exportEnigma2(records, options, apart, apartReport));
    EXPECT_EQ(report.notes, apartReport.notes);

    // The files lie end to end over the whole buffer, as the files written apart.
    ASSERT_EQ(files.size(), apart.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i].bytes.data(), bytes.data() + at) << files[i].name;
        at += files[i].bytes.size();
        EXPECT_EQ(files[i].name, apart[i].name);
        EXPECT_EQ(files[i].bytes, apart[i].bytes) << files[i].name;
    }
    EXPECT_EQ(at, bytes.size());

    const std::string_view lamedb5 = files[1].bytes;
    const char* const lines[] = {
        "s:0001:00c00000:0437:0001:1:0:0,\"One '1'\",p:Provider,",
        "s:0002:00c00000:0437:0001:1:0:0,\"Two\",p:Provider,",
        "s:0003:00c00000:0437:0001:1:0:0,\"Three\",p:A; B,",
        "s:0004:00c00000:0437:0001:1:0:0,\"Four '4'\",p:Provider,",
        "s:0005:00c00000:0437:0001:2:0:0,\"Five\",p:Provider,",
    };
    for (const char* line : lines) EXPECT_NE(lamedb5.find(line), std::string_view::npos) << line;
    const std::string_view lamedb = files[0].bytes;
    EXPECT_NE(lamedb.find("\nOne \"1\"\np:Provider,"), std::string_view::npos);
    EXPECT_NE(lamedb.find("\nThree\np:A; B,"), std::string_view::npos);
    EXPECT_EQ(files[5].name, "userbouquet.kvx.radio");
    EXPECT_NE(files[5].bytes.find("#DESCRIPTION " + categories[7] + "\n#SERVICE 1:0:2:5:437:1:C00000:0:0:0:\n"),
              std::string_view::npos);
}

}  // namespace
