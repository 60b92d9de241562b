// A list through a channels.conf and back: with the base list every byte comes back, without it
// every field the format carries; names the format cannot hold are changed with a note, channels the
// recorder would refuse are left out with one.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "formats/vdr_format.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

std::vector<ChannelRecord> readSample() {
    std::ifstream file(VESSALY_SAMPLE_LIST, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<ChannelRecord> records(bytes.size() / ChannelRecordSize);
    std::memcpy(records.data(), bytes.data(), records.size() * ChannelRecordSize);
    return records;
}

// Names with everything a channels.conf treats specially; all UTF-8.
const char* const Names[] = {"Plain",   "a,b",      "a;b", "x:y", "x|y", "Ünï cödé", "  lead",
                             "trail ",  "@at",      "a,",  ",",   ";",   "two\nl",   "€ 29 bytes, exactly 1234567",
                             "Новости", "tab\there"};

// Random bytes in every field but the texts, which are UTF-8 with random bytes after their NUL.
std::vector<ChannelRecord> randomRecords(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<ChannelRecord> records(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ChannelRecord& record = records[static_cast<std::size_t>(i)];
        auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
        for (std::size_t b = 0; b < ChannelRecordSize; ++b) bytes[b] = static_cast<std::uint8_t>(random());
        const char* name = Names[random() % std::size(Names)];
        const char* provider = Names[random() % std::size(Names)];
        std::memcpy(record.name, name, std::strlen(name) + 1);
        std::memcpy(record.provider, provider, std::strlen(provider) + 1);
        if (i % 5 == 0) record.tid.set(7), record.sid.set(7);          // repeats of one service
        if (i % 7 == 3) std::memset(record.name, 'x', TextFieldSize);  // 30 bytes, no NUL
        if (record.sid.get() == 0) record.sid.set(1);
    }
    return records;
}

FormatOptions options(const CategoryNames* categories, int codePage) {
    FormatOptions result;
    result.context = {categories, codePage};
    result.source.tenthsEast = 192;
    result.networkId = 1;
    return result;
}

void expectSameBytes(std::span<const ChannelRecord> got, std::span<const ChannelRecord> want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(std::memcmp(&got[i], &want[i], ChannelRecordSize), 0) << "channel " << i + 1;
}

const CategoryNames SampleCategories = {"News",        "Sport",   "Movies",        "Series",   "Music",    "Kids",
                                        "Documentary", "Culture", "Entertainment", "Regional", "Shopping", "Radio"};

TEST(VdrList, EveryByteComesBackWithTheBase) {
    struct Case {
        const char* what;
        std::vector<ChannelRecord> records;
        const CategoryNames* categories;
        int codePage;
    };
    const Case cases[] = {
        {"sample", readSample(), &SampleCategories, 1251},
        {"sample without categories", readSample(), nullptr, 1251},
        {"random", randomRecords(600, 20240611), nullptr, 0},
        {"random with categories", randomRecords(300, 7), &SampleCategories, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.records.empty());
        FormatOptions out = options(c.categories, c.codePage);
        FormatReport report;
        std::string text;
        ASSERT_TRUE(exportVdr(c.records, out, text, report));
        FormatOptions in = options(c.categories, c.codePage);
        in.base = c.records;
        RecordList back;
        FormatReport importReport;
        ASSERT_TRUE(importVdr(text, in, back, importReport)) << importReport.problems.front().why;
        EXPECT_TRUE(importReport.addedCategories.empty());
        expectSameBytes(back, c.records);
        // And what comes back writes the same text again.
        std::string again;
        FormatReport againReport;
        ASSERT_TRUE(exportVdr(back, out, again, againReport));
        EXPECT_EQ(again, text);
    }
}

TEST(VdrList, WithoutTheBaseEveryCarriedFieldComesBack) {
    const std::vector<ChannelRecord> sample = readSample();
    const FormatOptions opts = options(&SampleCategories, 1251);
    std::string text;
    FormatReport report;
    ASSERT_TRUE(exportVdr(sample, opts, text, report));
    RecordList back;
    ASSERT_TRUE(importVdr(text, opts, back, report));
    ASSERT_EQ(back.size(), sample.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
        const ChannelRecord& a = sample[i];
        const ChannelRecord& b = back[i];
        SCOPED_TRACE(fieldText(a.name));
        EXPECT_EQ(fieldText(b.name), fieldText(a.name));
        EXPECT_EQ(fieldText(b.provider), fieldText(a.provider));
        EXPECT_EQ(b.frequency.get(), a.frequency.get());
        EXPECT_EQ(b.symbolRate.get(), a.symbolRate.get());
        EXPECT_EQ(b.polarity.get(), a.polarity.get());
        EXPECT_EQ(b.sid.get(), a.sid.get());
        EXPECT_EQ(b.tid.get(), a.tid.get());
        EXPECT_EQ(b.videoPid.get(), a.videoPid.get());
        EXPECT_EQ(b.pcrPid.get(), a.pcrPid.get() != 0 ? a.pcrPid.get() : a.videoPid.get());
        EXPECT_EQ(b.audioPid.get(), a.audioPid.get());
        EXPECT_EQ(b.ac3Pid.get(), a.ac3Pid.get());
        EXPECT_EQ(b.teletextPid.get(), a.teletextPid.get());
        EXPECT_EQ(b.category, a.category);
        EXPECT_EQ(b.pmtPid.get(), 0);  // not in a channels.conf
        // Audio streams with their languages, in order.
        std::string wantAudio, gotAudio;
        for (int s = 0; s < a.streamCount; ++s)
            if (a.streams[s].kind == StreamKindAudio) wantAudio.append(a.streams[s].lang, 3) += ',';
        for (int s = 0; s < b.streamCount; ++s)
            if (b.streams[s].kind == StreamKindAudio) gotAudio.append(b.streams[s].lang, 3) += ',';
        EXPECT_EQ(gotAudio, wantAudio);
    }
}

// One channel's name and provider, and what export makes of them.
struct NameCase {
    const char* name;
    const char* provider;
    std::uint16_t sid;
    const char* lineStart;  // what the line starts with; nullptr: left out
    const char* note;       // a part of the note; nullptr: none
    const char* readBack;   // the name import gives back
};

const NameCase NameCases[] = {
    {"Plain", "P", 1, "Plain;P:", nullptr, "Plain"},
    {"a,b", "", 1, "a,b,:", nullptr, "a,b"},
    {"a;b", "P", 1, "a,b,;P:", "channel 1: name is written as \"a,b\"", "a,b"},
    {"x:y", "p:q", 1, "x|y;p|q:", nullptr, "x:y"},
    {"x|y", "P", 1, "x|y;P:", "channel 1: name is written as \"x:y\"", "x:y"},
    {"N", "p|q", 1, "N;p|q:", "channel 1: provider is written as \"p:q\"", "N"},
    {"N", "a;b,c", 1, "N;a;b,c:", nullptr, "N"},
    {"two\nlines", "", 1, "two lines:", "name is written as \"two lines\"", "two lines"},
    {"Zero", "P", 0, nullptr, "channel 1 \"Zero\" is left out: the recorder refuses a channel with SID 0", nullptr},
    {"", "P", 5, nullptr, "channel 1 is left out: the recorder refuses a channel without a name", nullptr},
};

TEST(VdrList, NamesTheFormatCannotHoldAreChangedWithANote) {
    for (const NameCase& c : NameCases) {
        SCOPED_TRACE(c.name);
        ChannelRecord record = testRecord(c.name, 1000, c.sid);
        setText(record.provider, c.provider);
        std::string text;
        FormatReport report;
        ASSERT_TRUE(exportVdr({&record, 1}, options(nullptr, 0), text, report));
        std::string notes;
        for (const std::string& note : report.notes) notes += note + "\n";
        if (c.note != nullptr)
            EXPECT_NE(notes.find(c.note), std::string::npos) << notes;
        else
            EXPECT_EQ(notes, "");
        if (c.lineStart == nullptr) {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_EQ(text.rfind(":0\n", 0), 0U) << text;  // category 0 without a categories file
        const std::size_t line = text.find('\n') + 1;
        EXPECT_EQ(text.compare(line, std::strlen(c.lineStart), c.lineStart), 0) << text;
        RecordList back;
        FormatReport importReport;
        ASSERT_TRUE(importVdr(text, options(nullptr, 0), back, importReport));
        ASSERT_EQ(back.size(), 1U);
        EXPECT_EQ(fieldText(back[0].name), c.readBack);
    }
}

TEST(VdrList, RepeatsOfOneServiceGetRids) {
    const ChannelRecord records[] = {testRecord("A", 5, 9), testRecord("B", 5, 9), testRecord("C", 5, 8),
                                     testRecord("D", 5, 9)};
    std::string text;
    FormatReport report;
    ASSERT_TRUE(exportVdr(records, options(nullptr, 0), text, report));
    EXPECT_NE(text.find("A;Provider:11778000:V:S19.2E:27500:257=27:258=eng@4:0:0:9:1:5:0\n"), std::string::npos);
    EXPECT_NE(text.find(":9:1:5:1\n"), std::string::npos) << text;
    EXPECT_NE(text.find(":8:1:5:0\n"), std::string::npos) << text;
    EXPECT_NE(text.find(":9:1:5:2\n"), std::string::npos) << text;
}

// A channel's RID counts the written channels before it with its TID and SID, over lists with many
// repeats, channels left out between them, and more services than a small table holds.
TEST(VdrList, RidsCountTheEarlierChannelsOfTheirService) {
    for (const int services : {1, 3, 40, 3000}) {
        SCOPED_TRACE(services);
        std::mt19937 random(static_cast<unsigned>(services));
        RecordList records;
        for (int i = 0; i < 4000; ++i) {
            const auto service = static_cast<std::uint16_t>(random() % static_cast<unsigned>(services));
            const auto sid = static_cast<std::uint16_t>(random() % 9 == 0 ? 0 : 1 + service % 7);
            records.push_back(testRecord(random() % 11 == 0 ? "" : "N", static_cast<std::uint16_t>(service / 7), sid));
        }
        std::string text;
        FormatReport report;
        ASSERT_TRUE(exportVdr(records, options(nullptr, 0), text, report));
        std::map<std::pair<int, int>, int> seen;
        int repeats = 0;
        std::size_t at = 0;
        for (const ChannelRecord& record : records) {
            if (record.sid.get() == 0 || fieldText(record.name).empty()) continue;
            const int rid = seen[{record.tid.get(), record.sid.get()}]++;
            repeats += rid > 0;
            at = text.find("\nN;", at) + 1;
            ASSERT_NE(at, 0U);
            const std::size_t end = text.find('\n', at);
            const std::string want = ":" + std::to_string(record.sid.get()) + ":1:" + std::to_string(record.tid.get()) +
                                     ":" + std::to_string(rid);
            EXPECT_EQ(text.compare(end - want.size(), want.size(), want), 0) << text.substr(at, end - at);
        }
        EXPECT_EQ(text.find("\nN;", at), std::string::npos);
        const std::string note = std::to_string(repeats) + " channels repeat the TID and SID";
        if (repeats > 0) EXPECT_EQ(report.notes.back().rfind(note, 0), 0U) << report.notes.back();
    }
}

// Notes on channels left out come first, in the list's order, then those on what was changed.
TEST(VdrList, ExportNotesChannelsLeftOutFirst) {
    ChannelRecord records[] = {testRecord("a;b", 1, 1), testRecord("Zero", 1, 0), testRecord("", 1, 5),
                               testRecord("c|d", 1, 6), testRecord("Z2", 2, 0)};
    std::string text;
    FormatReport report;
    ASSERT_TRUE(exportVdr(records, options(nullptr, 0), text, report));
    const std::string why =
        " (a channels.conf name cannot hold ';', '|' reads back as ':', and a line end would "
        "end the line)";
    const std::vector<std::string> want = {
        "channel 2 \"Zero\" is left out: the recorder refuses a channel with SID 0",
        "channel 3 is left out: the recorder refuses a channel without a name",
        "channel 5 \"Z2\" is left out: the recorder refuses a channel with SID 0",
        "channel 1: name is written as \"a,b\"" + why,
        "channel 4: name is written as \"c:d\"" + why,
    };
    EXPECT_EQ(report.notes, want);
}

// The room export asks for holds what it writes, even for records whose every field is odd.
TEST(VdrList, ExportFitsTheRoomItAsksFor) {
    const std::vector<ChannelRecord> records = randomRecords(2000, 99);
    std::string text;
    FormatReport report;
    ASSERT_TRUE(exportVdr(records, options(nullptr, 0), text, report));
    EXPECT_LE(text.size(), vdrExportSize(records));
}

struct ImportCase {
    const char* what;
    const char* text;
    bool onlyS192;
    int codePage;
    std::size_t channels;
    const char* firstName;  // nullptr: refused
    const char* message;    // a part of a note or of the first problem
};

const ImportCase ImportCases[] = {
    {"other sources are counted", "A:1:H:S19.2E:1:0:0:0:0:1:0:0:0\nT:474:B8:T:0:1:2:0:0:3:0:0:0\n", false, 0, 1, "A",
     "1 channels of cable, terrestrial"},
    {"--source keeps one satellite", "A:1:H:S19.2E:1:0:0:0:0:1:0:0:0\nB:1:H:S13E:1:0:0:0:0:2:0:0:0\n", true, 0, 1, "A",
     "1 channels of other satellites"},
    {"long names are cut at a character", "xÜnïcödé Ünïcödé Ünïcödé:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n", false, 0, 1,
     "xÜnïcödé Ünïcödé Ün", "line 1: the name is cut to the 29 bytes"},
    {"a short name stands in for an empty name", ",Short:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n", false, 0, 1, "Short",
     nullptr},
    {"a channel without any name is left out", ";P:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n", false, 0, 0, nullptr,
     "line 1: a channel without a name is left out"},
    {"names must be UTF-8", "\xE9t\xE9:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n", false, 0, 0, nullptr, "not UTF-8"},
    {"a code page converts them", "Новости:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n", false, 1251, 1,
     "\xCD\xEE\xE2\xEE\xF1\xF2\xE8", nullptr},
    {"a bad line refuses the file", "A:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n\nB:1:H:S19.2E:1:0:0:0:0:0:0:0:0\n", false, 0, 0,
     nullptr, "0: the recorder refuses"},
};

TEST(VdrList, ImportSaysWhatItLeftOutOrCouldNotRead) {
    for (const ImportCase& c : ImportCases) {
        SCOPED_TRACE(c.what);
        FormatOptions opts = options(nullptr, c.codePage);
        opts.onlySource = c.onlyS192;
        RecordList records;
        FormatReport report;
        const bool read = importVdr(c.text, opts, records, report);
        EXPECT_EQ(read, c.firstName != nullptr || c.channels == 0 && report.problems.empty());
        EXPECT_EQ(records.size(), c.channels);
        if (c.firstName != nullptr && !records.empty()) EXPECT_EQ(fieldText(records[0].name), c.firstName);
        std::string said;
        for (const std::string& note : report.notes) said += note + "\n";
        for (const ImportProblem& problem : report.problems)
            said += std::to_string(problem.line) + ": " + problem.field + ": " + problem.why + "\n";
        if (c.message != nullptr) EXPECT_NE(said.find(c.message), std::string::npos) << said;
    }
}

TEST(VdrList, GroupsBecomeCategories) {
    const CategoryNames names = {"News", "Sport"};
    const char* text =
        "A:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n:Sport\nB:1:H:S19.2E:1:0:0:0:0:2:0:0:0\n:Weather\n"
        "C:1:H:S19.2E:1:0:0:0:0:3:0:0:0\n:\nD:1:H:S19.2E:1:0:0:0:0:4:0:0:0\n:@7 News\nE:1:H:S19.2E:1:0:0:0:0:5:0:0:0\n";
    RecordList records;
    FormatReport report;
    ASSERT_TRUE(importVdr(text, options(&names, 0), records, report));
    ASSERT_EQ(records.size(), 5U);
    const std::uint8_t want[] = {255, 1, 2, 255, 0};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(records[i].category, want[i]) << i;
    EXPECT_EQ(report.addedCategories, CategoryNames{"Weather"});
}

// Without a base the notes on groups follow those on lines, as after reading the file; a file that
// is refused adds no categories.
TEST(VdrList, GroupNotesFollowLineNotes) {
    const CategoryNames names = {"News"};
    const std::string longName(40, 'x');
    const std::string text =
        ":Weather\nA:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n:Sky\n" + longName + ":1:H:S19.2E:1:0:0:0:0:2:0:0:0\n";
    RecordList records;
    FormatReport report;
    ASSERT_TRUE(importVdr(text, options(&names, 0), records, report));
    ASSERT_GE(report.notes.size(), 3U);
    EXPECT_EQ(report.notes[0].rfind("line 4: the name is cut", 0), 0U) << report.notes[0];
    EXPECT_EQ(report.notes[1], "group \"Weather\" is added to the categories file as category 1");
    EXPECT_EQ(report.notes[2], "group \"Sky\" is added to the categories file as category 2");
    EXPECT_EQ(report.addedCategories, (CategoryNames{"Weather", "Sky"}));

    FormatReport refused;
    EXPECT_FALSE(importVdr(text + "B:1:H:S19.2E:1:0:0:0:0:0:0:0:0\n", options(&names, 0), records, refused));
    EXPECT_TRUE(refused.addedCategories.empty());
    for (const std::string& note : refused.notes) EXPECT_EQ(note.find("group"), std::string::npos) << note;
}

// With a base list a group line changes a channel's category only where it differs from the group
// export writes for the base's category; channels before any group line keep the base's.
TEST(VdrList, GroupsOverABaseChangeOnlyWhatDiffers) {
    const CategoryNames names = {"News", "Sport"};
    const char* text =
        "A:1:H:S19.2E:1:0:0:0:0:1:0:0:0\n:Sport\nB:1:H:S19.2E:1:0:0:0:0:2:0:0:0\nC:1:H:S19.2E:1:0:0:0:0:3:0:0:0\n"
        ":Sport\n:News\nD:1:H:S19.2E:1:0:0:0:0:4:0:0:0\n:Weather\nE:1:H:S19.2E:1:0:0:0:0:5:0:0:0\n"
        ":\nF:1:H:S19.2E:1:0:0:0:0:6:0:0:0\n:Weather\nG:1:H:S19.2E:1:0:0:0:0:7:0:0:0\n";
    RecordList base;
    FormatReport report;
    ASSERT_TRUE(importVdr(text, options(&names, 0), base, report));
    ASSERT_EQ(base.size(), 7U);
    const std::uint8_t baseCategories[] = {0, 1, 0, 0, 2, 1, 2};
    for (std::size_t i = 0; i < base.size(); ++i) base[i].category = baseCategories[i];
    FormatOptions withBase = options(&names, 0);
    withBase.base = base;
    RecordList records;
    FormatReport merged;
    ASSERT_TRUE(importVdr(text, withBase, records, merged));
    ASSERT_EQ(records.size(), 7U);
    // A: no group, kept; B: same group; C: other group; D: News after a repeated Sport; E: Weather,
    // already added; F: an empty group is no category; G: Weather again.
    const std::uint8_t want[] = {0, 1, 1, 0, 2, 255, 2};
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].category, want[i]) << i;
    EXPECT_EQ(merged.addedCategories, CategoryNames{"Weather"});
}

// A list is written into the room its caller reserved, however many group lines the file holds.
TEST(VdrList, ImportKeepsTheReservedRoom) {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += ":" + std::to_string(i % 3) + "\nA:1:H:S19.2E:1:0:0:0:0:" + std::to_string(i + 1) + ":0:0:0\n";
    RecordList records;
    records.reserve(40);
    const ChannelRecord* room = records.data();
    FormatReport report;
    ASSERT_TRUE(importVdr(text, options(nullptr, 0), records, report));
    ASSERT_EQ(records.size(), 40U);
    EXPECT_EQ(records.data(), room);
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].category, i % 3) << i;
}

}  // namespace
