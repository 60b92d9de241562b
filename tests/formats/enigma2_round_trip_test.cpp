// A list through a settings folder and back: with --base every byte returns for a list whose radio
// channels follow the others, whatever the bytes, from lamedb and from lamedb5 alike; without it,
// what the settings carry returns, and a second trip changes nothing.
#include <gtest/gtest.h>

#include "formats/enigma2_format.h"
#include "lists/channel_match.h"
#include "lists/code_page.h"
#include "tests/formats/enigma2_test_files.h"

namespace {

struct Trip {
    const char* what;
    std::vector<ChannelRecord> records;
    const CategoryNames* categories;
    int codePage;
};

FormatOptions exportOptions(const Trip& trip, int tenthsEast, std::uint16_t networkId) {
    FormatOptions options;
    options.context = {trip.categories, trip.codePage};
    options.source.tenthsEast = tenthsEast;
    options.networkId = networkId;
    return options;
}

std::vector<NamedFile> exported(const Trip& trip, const FormatOptions& options, Enigma2ExportSummary& summary) {
    std::vector<NamedFile> files;
    FormatReport report;
    EXPECT_TRUE(exportEnigma2(trip.records, options, files, report, &summary));
    for (const ImportProblem& problem : report.problems) ADD_FAILURE() << problem.field << ": " << problem.why;
    return files;
}

std::vector<ChannelRecord> imported(const std::vector<NamedFile>& files, const FormatOptions& options) {
    RecordList records;
    FormatReport report;
    EXPECT_TRUE(importEnigma2(files, options, records, report));
    for (const ImportProblem& problem : report.problems)
        ADD_FAILURE() << problem.line << " " << problem.field << ": " << problem.why;
    EXPECT_TRUE(report.addedCategories.empty());
    return {records.begin(), records.end()};
}

std::vector<NamedFile> without(std::vector<NamedFile> files, std::string_view name) {
    std::erase_if(files, [&](const NamedFile& file) { return file.name == name; });
    return files;
}

std::vector<Trip> trips() {
    static const CategoryNames categories = sampleCategories();
    std::vector<ChannelRecord> sample = sampleRecords();
    moveRadioLast(sample);
    return {
        {"sample", sample, nullptr, 0},
        {"sample with its categories", sample, &categories, 0},
        {"random text", randomSettingsRecords(600, 41, false), nullptr, 0},
        {"random bytes in code page 1251", randomSettingsRecords(600, 42, true), &categories, 1251},
    };
}

}  // namespace

TEST(Enigma2RoundTrip, WithBaseEveryByteComesBack) {
    ASSERT_TRUE(codePageAvailable(1251));
    for (const Trip& trip : trips()) {
        for (const int tenthsEast : {192, -8, 1800}) {
            for (const std::uint16_t networkId : {0, 1, 0x0085, 0xFF00}) {
                SCOPED_TRACE(std::string(trip.what) + ", position " + std::to_string(tenthsEast) + ", ONID " +
                             std::to_string(networkId));
                FormatOptions options = exportOptions(trip, tenthsEast, networkId);
                Enigma2ExportSummary summary;
                const std::vector<NamedFile> files = exported(trip, options, summary);
                EXPECT_EQ(summary.sharedEntries + summary.sharedTransponders + summary.radioMoved, 0);
                options.base = trip.records;
                EXPECT_TRUE(sameBytes(imported(files, options), trip.records)) << "from lamedb";
                EXPECT_TRUE(sameBytes(imported(without(files, "lamedb"), options), trip.records)) << "from lamedb5";
            }
        }
    }
}

TEST(Enigma2RoundTrip, WithoutBaseWhatTheSettingsCarryComesBackAndStays) {
    for (const Trip& trip : trips()) {
        if (trip.codePage != 0) continue;  // code page bytes without a character cannot come back without base
        SCOPED_TRACE(trip.what);
        const FormatOptions options = exportOptions(trip, 192, 1);
        Enigma2ExportSummary summary;
        const std::vector<ChannelRecord> first = imported(exported(trip, options, summary), options);
        ASSERT_EQ(first.size(), trip.records.size());
        for (std::size_t i = 0; i < first.size(); ++i) {
            const ChannelRecord& was = trip.records[i];
            const ChannelRecord& is = first[i];
            SCOPED_TRACE("channel " + std::to_string(i + 1));
            EXPECT_EQ(fieldText(is.name), fieldText(was.name).substr(0, TextFieldSize - 1));
            EXPECT_EQ(fieldText(is.provider), fieldText(was.provider).substr(0, TextFieldSize - 1));
            EXPECT_EQ(frequencyKhz(is), frequencyKhz(was));
            EXPECT_EQ(is.symbolRate.get(), was.symbolRate.get());
            EXPECT_EQ(isVertical(is), isVertical(was));
            EXPECT_EQ(is.tid.get(), was.tid.get());
            EXPECT_EQ(is.sid.get(), was.sid.get());
            for (auto field : {&ChannelRecord::pmtPid, &ChannelRecord::pcrPid, &ChannelRecord::videoPid,
                               &ChannelRecord::audioPid, &ChannelRecord::teletextPid, &ChannelRecord::ac3Pid})
                EXPECT_EQ((is.*field).get(), (was.*field).get());
            EXPECT_EQ(is.serviceType, was.serviceType <= 2 ? was.serviceType : 0);
            EXPECT_EQ(is.ecmPid.get(), 0);
        }
        Trip again{trip.what, first, trip.categories, trip.codePage};
        EXPECT_TRUE(sameBytes(imported(exported(again, options, summary), options), first));
    }
}
