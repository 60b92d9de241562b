// What export writes, worked out by hand: the files of a two-channel list, Enigma2's namespace rule,
// and the notes for what the settings cannot hold.
#include <gtest/gtest.h>

#include "formats/enigma2_format.h"
#include "formats/enigma2_values.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

// A TV channel on 11778 MHz V with an H.264 video stream (kHz stored), then a radio channel on
// 10729 MHz H whose TSID 1 makes ONID 1 unusable, so its namespace carries 10729 (0x29E9).
std::vector<ChannelRecord> twoChannels() {
    ChannelRecord tv = testRecord("Alpha", 0x437, 0x283D);
    tv.category = 0;
    ChannelRecord radio{};
    setText(radio.name, "Beta \"B\"");
    setText(radio.provider, "One, Two");
    radio.frequency.set(10729);
    radio.symbolRate.set(22000);
    radio.polarity.set(PolarityHorizontal);
    radio.tid.set(1);
    radio.sid.set(5);
    radio.audioPid.set(0x300);
    radio.pcrPid.set(0x300);
    radio.serviceType = 2;
    radio.category = 255;
    return {tv, radio};
}

const char* const Lamedb =
    "eDVB services /4/\ntransponders\n"
    "00c00000:0437:0001\n\ts 11778000:27500000:1:0:192:2:0\n/\n"
    "00c029e9:0001:0001\n\ts 10729000:22000000:0:0:192:2:0\n/\n"
    "end\nservices\n"
    "283d:00c00000:0437:0001:1:0:0\nAlpha\np:Provider,c:000101,c:010102,c:050001,c:160100\n"
    "0005:00c029e9:0001:0001:2:0:0\nBeta \"B\"\np:One; Two,c:010300,c:030300\n"
    "end\nHave a lot of bugs!\n";

const char* const Lamedb5Lines =
    "t:00c00000:0437:0001,s:11778000:27500000:1:0:192:2:0\n"
    "t:00c029e9:0001:0001,s:10729000:22000000:0:0:192:2:0\n"
    "s:283d:00c00000:0437:0001:1:0:0,\"Alpha\",p:Provider,c:00101,c:01102,c:051,c:16100\n"
    "s:0005:00c029e9:0001:0001:2:0:0,\"Beta 'B'\",p:One; Two,c:01300,c:03300\n"
    "# done. 2 channels and 2 services\n";

const NamedFile* named(const std::vector<NamedFile>& files, std::string_view name) {
    for (const NamedFile& file : files) {
        if (file.name == name) return &file;
    }
    return nullptr;
}

}  // namespace

TEST(Enigma2Export, TwoChannelsAsWorkedOutByHand) {
    FormatOptions options;
    options.source.tenthsEast = 192;
    options.networkId = 1;
    std::vector<NamedFile> files;
    FormatReport report;
    ASSERT_TRUE(exportEnigma2(twoChannels(), options, files, report));
    const std::pair<const char*, std::string> expected[] = {
        {"lamedb", Lamedb},
        {"bouquets.tv",
         "#NAME Bouquets (TV)\n#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.kvx.tv\" ORDER BY bouquet\n"},
        {"bouquets.radio",
         "#NAME Bouquets (Radio)\n#SERVICE 1:7:2:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.kvx.radio\" ORDER BY "
         "bouquet\n"},
        {"userbouquet.kvx.tv",
         "#NAME Channels (TV)\n#SERVICE 1:64:1:0:0:0:0:0:0:0:\n#DESCRIPTION 0\n#SERVICE "
         "1:0:1:283D:437:1:C00000:0:0:0:\n"},
        {"userbouquet.kvx.radio",
         "#NAME Channels (Radio)\n#SERVICE 1:64:1:0:0:0:0:0:0:0:\n#DESCRIPTION \n#SERVICE 1:0:2:5:1:1:C029E9:0:0:0:\n"},
    };
    EXPECT_EQ(files.size(), 6u);
    for (const auto& [name, bytes] : expected) {
        const NamedFile* file = named(files, name);
        ASSERT_NE(file, nullptr) << name;
        EXPECT_EQ(file->bytes, bytes) << name;
    }
    const NamedFile* lamedb5 = named(files, "lamedb5");
    ASSERT_NE(lamedb5, nullptr);
    EXPECT_EQ(lamedb5->bytes.rfind("eDVB services /5/\n", 0), 0u);
    const std::size_t lines = lamedb5->bytes.find("\nt:");
    ASSERT_NE(lines, std::string::npos);
    EXPECT_EQ(lamedb5->bytes.substr(lines + 1), Lamedb5Lines);
    ASSERT_EQ(report.notes.size(), 2u);  // the quote in lamedb5, the provider's comma
    EXPECT_NE(report.notes[0].find("channel 2 \"Beta \"B\"\": lamedb5 names cannot hold"), std::string::npos);
    EXPECT_NE(report.notes[1].find("provider written as \"One; Two\""), std::string::npos);
}

TEST(Enigma2Export, NamespaceCarriesTheTransponderOnlyWhereNetworkAndStreamIdsCannot) {
    struct Case {
        int tenthsEast;
        std::int64_t khz;
        int polarisation;
        std::uint16_t onid, tsid;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {192, 11778000, 1, 1, 1079, 0x00C00000},   {192, 11778000, 1, 0, 1079, 0x00C0AE02},
        {192, 11778000, 0, 1, 1, 0x00C02E02},      {192, 11778000, 0, 1, 2, 0x00C00000},
        {130, 12188000, 0, 0xFF00, 5, 0x00822F9C}, {130, 12188000, 0, 0xFEFF, 5, 0x00820000},
        {130, 12188000, 1, 0xFFFF, 5, 0x0082AF9C}, {-8, 10841000, 1, 0, 5, 0x0E08AA59},
        {-1800, 11000000, 0, 0x85, 5, 0x07080000}, {1800, 11000000, 0, 0, 5, 0x07082AF8},
        {0, 11778500, 0, 0, 0, 0x00002E02},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(enigma2::dvbNamespace(c.tenthsEast, c.khz, c.polarisation, c.onid, c.tsid), c.expected)
            << c.tenthsEast << " " << c.khz << " " << c.onid << " " << c.tsid;
    }
}

TEST(Enigma2Export, WhatTheSettingsCannotHoldIsSaid) {
    struct Case {
        const char* what;
        void (*change)(std::vector<ChannelRecord>&);
        int sharedEntries, sharedTransponders, radioMoved;
        const char* note;  // "" for none
        bool exported;
    };
    const Case cases[] = {
        {"nothing", [](std::vector<ChannelRecord>&) {}, 0, 0, 0, "", true},
        {"radio first", [](std::vector<ChannelRecord>& r) { std::swap(r[0], r[1]); }, 0, 0, 1,
         "1 radio channels come back after", true},
        {"same service twice", [](std::vector<ChannelRecord>& r) { r.insert(r.begin() + 1, r[0]); }, 1, 0, 0,
         "channel 2 \"Alpha\" shares SID, TID and transponder with channel 1", true},
        {"same transponder, other symbol rate",
         [](std::vector<ChannelRecord>& r) {
             r.insert(r.begin() + 1, r[0]);
             r[1].sid.set(9);
             r[1].symbolRate.set(30000);
         },
         0, 1, 0, "written with that channel's tuning", true},
        {"line break in a name", [](std::vector<ChannelRecord>& r) { setText(r[0].name, "Al\npha"); }, 0, 0, 0,
         "line breaks in the name are written as spaces", true},
        {"name not UTF-8", [](std::vector<ChannelRecord>& r) { setText(r[0].name, "Al\xE9pha"); }, 0, 0, 0, "", false},
        {"provider not UTF-8", [](std::vector<ChannelRecord>& r) { setText(r[1].provider, "\xFF"); }, 0, 0, 0, "",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ChannelRecord> records = twoChannels();
        c.change(records);
        FormatOptions options;
        options.source.tenthsEast = 192;
        options.networkId = 1;
        std::vector<NamedFile> files;
        FormatReport report;
        Enigma2ExportSummary summary;
        EXPECT_EQ(exportEnigma2(records, options, files, report, &summary), c.exported);
        if (!c.exported) {
            ASSERT_EQ(report.problems.size(), 1u);
            EXPECT_NE(report.problems[0].why.find("--codepage"), std::string::npos);
            continue;
        }
        EXPECT_EQ(summary.sharedEntries, c.sharedEntries);
        EXPECT_EQ(summary.sharedTransponders, c.sharedTransponders);
        EXPECT_EQ(summary.radioMoved, c.radioMoved);
        const bool noted = std::any_of(report.notes.begin(), report.notes.end(), [&](const std::string& note) {
            return *c.note != '\0' && note.find(c.note) != std::string::npos;
        });
        EXPECT_EQ(noted, *c.note != '\0');
        for (const NamedFile& file : files) {
            std::size_t start = 0;
            for (std::size_t end = file.bytes.find('\n'); end != std::string::npos;
                 start = end + 1, end = file.bytes.find('\n', start)) {
                EXPECT_LT(end - start, 255u) << file.name;  // Enigma2 reads lines of at most 255 bytes
                EXPECT_EQ(file.bytes.find('\r', start), std::string::npos) << file.name;
            }
            EXPECT_EQ(start, file.bytes.size()) << file.name << " ends with LF";
        }
    }
}
