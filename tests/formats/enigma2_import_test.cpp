// Hand-made settings (tests/formats/enigma2/box, its values worked out by hand in the table below)
// read from lamedb and from lamedb5; and bad input, each with its file, line, field and why.
#include <gtest/gtest.h>

#include "formats/enigma2_format.h"
#include "tests/formats/enigma2_test_files.h"

namespace {

struct Expected {
    const char* name;
    const char* provider;
    std::int32_t frequency;  // MHz
    std::uint16_t symbolRate;
    std::uint16_t polarity;
    std::uint16_t tid, sid, pmt, pcr, video, audio, teletext, ac3;
    std::uint8_t serviceType;
    std::uint8_t category;  // with the categories {"News", "Sport"}
    std::uint8_t videoStreamType;
    int streams;
};

// Bouquet order: favourites (News marker: Kestrel, Norrvik renamed; empty marker: Azur, Westwind on
// left circular, Data Feed), then the radio bouquet (marker 11, added after the two names), then the
// service no bouquet lists (asked for), its name cut to 28 bytes before the ß that byte 29 splits.
constexpr std::uint16_t H = PolarityHorizontal, V = PolarityVertical;
const Expected Box[] = {
    {"Kestrel HD", "Kestrel", 11778, 27500, V, 0x437, 0x283D, 0x64, 0x1FF, 0x1FF, 0x200, 0, 0, 1, 0, 0x1B, 2},
    {"Norrvik Renamed", "Norrvik", 11362, 22000, V, 1, 1, 0, 0, 0x100, 0x101, 0x103, 0x102, 1, 0, 0x02, 4},
    {"Azur 13E", "Azur", 12188, 27500, H, 0x457, 2, 0, 0, 0, 0, 0, 0, 1, 255, 0, 0},
    {"Westwind", "West", 10841, 27500, H, 0x10, 0x10, 0, 0, 0, 0, 0, 0, 1, 255, 0, 0},
    {"Data Feed", "Old Provider", 11362, 22000, V, 1, 3, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0},
    {"Halden FM", "Halden", 11778, 27500, V, 0x437, 0x2841, 0, 0x300, 0, 0x300, 0, 0, 2, 2, 0, 1},
    {"Unlisted channel name \xC3\x9F\xC3\x9F\xC3\x9F", "", 11778, 27500, V, 0x437, 0x2842, 0, 0, 0, 0, 0, 0, 1, 255, 0,
     0},
};

std::filesystem::path boxFolder() { return std::filesystem::path(VESSALY_FORMAT_FILES) / "enigma2" / "box"; }

bool hasNote(const FormatReport& report, std::string_view part) {
    return std::any_of(report.notes.begin(), report.notes.end(),
                       [&](const std::string& note) { return note.find(part) != std::string::npos; });
}

}  // namespace

TEST(Enigma2Import, HandMadeSettingsFromEitherDatabase) {
    const CategoryNames categories = {"News", "Sport"};
    for (const char* leftOut : {"lamedb5", "lamedb"}) {
        SCOPED_TRACE(std::string("without ") + leftOut);
        FormatOptions options;
        options.context.categories = &categories;
        options.allServices = true;
        RecordList records;
        FormatReport report;
        ASSERT_TRUE(importEnigma2(folderFiles(boxFolder(), {leftOut}), options, records, report));
        ASSERT_EQ(records.size(), std::size(Box));
        for (std::size_t i = 0; i < records.size(); ++i) {
            const Expected& want = Box[i];
            const ChannelRecord& got = records[i];
            SCOPED_TRACE(want.name);
            EXPECT_EQ(fieldText(got.name), want.name);
            EXPECT_EQ(fieldText(got.provider), want.provider);
            EXPECT_EQ(got.frequency.get(), want.frequency);
            EXPECT_EQ(got.symbolRate.get(), want.symbolRate);
            EXPECT_EQ(got.polarity.get(), want.polarity);
            EXPECT_EQ(got.tid.get(), want.tid);
            EXPECT_EQ(got.sid.get(), want.sid);
            EXPECT_EQ(got.pmtPid.get(), want.pmt);
            EXPECT_EQ(got.pcrPid.get(), want.pcr);
            EXPECT_EQ(got.videoPid.get(), want.video);
            EXPECT_EQ(got.audioPid.get(), want.audio);
            EXPECT_EQ(got.teletextPid.get(), want.teletext);
            EXPECT_EQ(got.ac3Pid.get(), want.ac3);
            EXPECT_EQ(got.ecmPid.get(), 0);
            EXPECT_EQ(got.serviceType, want.serviceType);
            EXPECT_EQ(got.category, want.category);
            ASSERT_EQ(got.streamCount, want.streams);
            if (want.video != 0) EXPECT_EQ(got.streams[0].streamType, want.videoStreamType);
            for (int s = 0; s < got.streamCount; ++s) EXPECT_EQ(got.streams[s].langLength, 0);
        }
        EXPECT_EQ(report.addedCategories, CategoryNames{"11"});
        for (const char* note : {"1 services on cable", "1 bouquet entries are streams",
                                 "1 bouquet entries name services", "userbouquet.missing.tv is not in the folder",
                                 "1 services of lamedb", "circular", "cut to 28 bytes", "3 satellites", "languages"}) {
            EXPECT_TRUE(hasNote(report, note)) << note;
        }
    }
}

TEST(Enigma2Import, OnlyTheSourceAskedFor) {
    struct Case {
        int tenthsEast;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {192, {"Kestrel HD", "Norrvik Renamed", "Data Feed", "Halden FM", "Unlisted channel name ßßß"}},
        {130, {"Azur 13E"}},
        {-8, {"Westwind"}},
        {3592, {"Westwind"}},
        {282, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tenthsEast);
        FormatOptions options;
        options.allServices = true;
        options.source.tenthsEast = c.tenthsEast;
        options.onlySource = true;
        RecordList records;
        FormatReport report;
        ASSERT_TRUE(importEnigma2(folderFiles(boxFolder()), options, records, report));
        std::vector<std::string> names;
        names.reserve(records.size());
        for (const ChannelRecord& record : records) names.emplace_back(fieldText(record.name));
        EXPECT_EQ(names, c.names);
        EXPECT_TRUE(hasNote(report, "other satellites than --source"));
    }
}

namespace {

// One satellite transponder and one service: lines 1 header, 2 transponders, 3 key, 4 tuning, 5 "/",
// 6 end, 7 services, 8 key, 9 name, 10 data, 11 end.
const std::string GoodLamedb =
    "eDVB services /4/\ntransponders\n00c00000:0437:0001\n\ts 11778000:27500000:1:0:192:2:0\n/\nend\nservices\n"
    "283d:00c00000:0437:0001:1:0:0\nName\np:Prov,c:000100\nend\n";
const std::string GoodBouquet = "#NAME A\n#SERVICE 1:0:1:283D:437:1:C00000:0:0:0:\n";

struct BadInput {
    const char* file;  // the file changed
    const char* from;  // text replaced, "" to replace the whole file
    std::string_view to;
    int line;
    const char* field;
};

const BadInput BadInputs[] = {
    {"lamedb", "/4/", "/6/", 1, "header"},
    {"lamedb", "", "services\n", 1, "header"},
    {"lamedb", "transponders", "transponder", 2, "transponders"},
    {"lamedb", "00c00000:0437", "00zz0000:0437", 3, "namespace"},
    {"lamedb", "00c00000:0437:0001\n", "00c00000:10437:0001\n", 3, "TSID"},
    {"lamedb", "00c00000:0437:0001\n", "00c00000:0437\n", 3, "transponder"},
    {"lamedb", "s 11778000:27500000:1:0:192", "s 11778000:27500000", 4, "tuning"},
    {"lamedb", "s 11778000", "s 117780x0", 4, "frequency"},
    {"lamedb", "s 11778000", "s 3000000000", 4, "frequency"},
    {"lamedb", ":27500000:", ":-1:", 4, "symbol rate"},
    {"lamedb", ":27500000:", ":70000000:", 4, "symbol rate"},
    {"lamedb", ":27500000:1:", ":27500000:4:", 4, "polarisation"},
    {"lamedb", ":0:192:", ":0:3600:", 4, "orbital position"},
    {"lamedb", "\ts ", "\tx ", 4, "tuning"},
    {"lamedb", "0:192:2:0\n/\n", "0:192:2:0\n+\n", 5, "transponder"},
    {"lamedb", "end\nservices", "end\nservice", 7, "services"},
    {"lamedb", "283d:00c0", "1283d:00c0", 8, "SID"},
    {"lamedb", ":0001:1:0:0\n", ":0001:x:0:0\n", 8, "service type"},
    {"lamedb", ":0001:1:0:0\n", ":0001:1\n", 8, "service"},
    {"lamedb", "\nName\n",
     "\nN\xFF"
     "e\n",
     9, "name"},
    {"lamedb", "\nName\n", std::string_view("\nNa\0e\n", 6), 9, "name"},
    {"lamedb", "p:Prov,", "p:Pr\xC3,", 10, "provider"},
    {"lamedb", "c:000100", "c:0", 10, "cached PID"},
    {"lamedb", "c:000100", "c:0010000", 10, "cached PID 0"},
    {"lamedb", "c:000100", "c:05zz", 10, "video type"},
    {"lamedb", "c:000100\nend\n", "c:000100\n", 10, "services"},
    {"lamedb5", "",
     "eDVB services /5/\nt:00c00000:0437:0001,s:11778000:27500000:1:0:192:2:0\ns:283d:00c00000:0437:0001:1:0:0,Name\n",
     3, "service"},
    {"lamedb5", "",
     "eDVB services "
     "/5/\nt:00c00000:0437:0001,s:11778000:27500000:1:0:192:2:0\ns:283d:00c00000:0437:0001:1:0:0,\"Name\n",
     3, "name"},
    {"lamedb5", "", "eDVB services /5/\nt:00c00000:0437:0001\n", 2, "transponder"},
    {"userbouquet.a.tv", "283D:437", "28X3D:437", 2, "SID"},
    {"userbouquet.a.tv", "1:0:1:283D:437:1:C00000:0:0:0:", "1:0:1", 2, "reference"},
    {"userbouquet.a.tv", ":C00000:", ":100000000:", 2, "namespace"},
};

}  // namespace

TEST(Enigma2Import, BadInputSaysFileLineAndField) {
    for (const BadInput& bad : BadInputs) {
        SCOPED_TRACE(std::string(bad.field) + " from \"" + std::string(bad.to) + "\"");
        std::vector<NamedFile> files = {{"lamedb", GoodLamedb}, {"userbouquet.a.tv", GoodBouquet}};
        if (std::string_view(bad.file) == "lamedb5") files[0].name = "lamedb5";
        for (NamedFile& file : files) {
            if (file.name != bad.file) continue;
            if (*bad.from == '\0') {
                file.bytes = bad.to;
            } else {
                const std::size_t at = file.bytes.find(bad.from);
                ASSERT_NE(at, std::string::npos);
                file.bytes.replace(at, std::strlen(bad.from), bad.to);
            }
        }
        RecordList records;
        FormatReport report;
        EXPECT_FALSE(importEnigma2(files, FormatOptions{}, records, report));
        ASSERT_FALSE(report.problems.empty());
        EXPECT_EQ(report.problems.front().file, bad.file);
        EXPECT_EQ(report.problems.front().line, bad.line);
        EXPECT_EQ(report.problems.front().field, bad.field);
        EXPECT_FALSE(report.problems.front().why.empty());
    }
}

TEST(Enigma2Import, TheGoodFilesAndAFolderWithoutDatabase) {
    RecordList records;
    FormatReport report;
    EXPECT_TRUE(importEnigma2(std::vector<NamedFile>{{"lamedb", GoodLamedb}, {"userbouquet.a.tv", GoodBouquet}},
                              FormatOptions{}, records, report));
    EXPECT_EQ(records.size(), 1u);
    EXPECT_TRUE(hasNote(report, "userbouquet.a.tv is named by neither"));
    report = {};
    EXPECT_FALSE(
        importEnigma2(std::vector<NamedFile>{{"userbouquet.a.tv", GoodBouquet}}, FormatOptions{}, records, report));
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].file, "");
    EXPECT_EQ(report.problems[0].why, "the settings folder holds neither lamedb nor lamedb5");
}
