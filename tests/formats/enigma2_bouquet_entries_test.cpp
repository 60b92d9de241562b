// How bouquet entries become channels: descriptions that belong to a FROM BOUQUET line or to an
// entry left out, markers that hold only in their own bouquet; and services found by their whole key
// in databases of many sizes, repeated keys read once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/enigma2_format.h"

namespace {

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

struct Key {
    unsigned dvbNamespace, tsid, onid, sid;
};

std::string transponderLines(const Key& key, int frequencyMhz) {
    return hex(key.dvbNamespace, 8) + ":" + hex(key.tsid, 4) + ":" + hex(key.onid, 4) + "\n\ts " +
           std::to_string(frequencyMhz * 1000) + ":27500000:0:0:192:2:0\n/\n";
}

std::string serviceLines(const Key& key, const std::string& name) {
    return hex(key.sid, 4) + ":" + hex(key.dvbNamespace, 8) + ":" + hex(key.tsid, 4) + ":" + hex(key.onid, 4) +
           ":1:0:0\n" + name + "\np:P\n";
}

std::string reference(const Key& key) {
    return "#SERVICE 1:0:1:" + hex(key.sid, 1) + ":" + hex(key.tsid, 1) + ":" + hex(key.onid, 1) + ":" +
           hex(key.dvbNamespace, 1) + ":0:0:0:\n";
}

std::string lamedb(const std::string& transponders, const std::string& services) {
    return "eDVB services /4/\ntransponders\n" + transponders + "end\nservices\n" + services + "end\n";
}

std::string nameOf(const ChannelRecord& record) { return std::string(record.name, strnlen(record.name, 30)); }

// Services One, Two and Three (SID 1 to 3) on one transponder.
const Key Tp = {0xC00000, 1, 1, 0};
const std::string ThreeServices = lamedb(transponderLines(Tp, 11778), serviceLines({0xC00000, 1, 1, 1}, "One") +
                                                                          serviceLines({0xC00000, 1, 1, 2}, "Two") +
                                                                          serviceLines({0xC00000, 1, 1, 3}, "Three"));
const std::string One = reference({0xC00000, 1, 1, 1});
const std::string Two = reference({0xC00000, 1, 1, 2});
const std::string Three = reference({0xC00000, 1, 1, 3});
const std::string FromA = "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"userbouquet.a.tv\" ORDER BY bouquet\n";
std::string marker(const char* name) { return std::string("#SERVICE 1:64:0:0:0:0:0:0:0:0::") + name + "\n"; }

struct EntriesCase {
    const char* what;
    std::string bouquetsTv;  // "" for none
    std::string bouquetA;
    std::vector<std::string> names;
    std::vector<int> categories;  // with the categories {"News", "Sport"}
};

const EntriesCase EntriesCases[] = {
    {"a description after a FROM BOUQUET line names the one service read there",
     FromA + "#DESCRIPTION Outer\n",
     Two,
     {"Outer", "One", "Three"},
     {255, 255, 255}},
    {"a FROM BOUQUET line of two entries takes no description",
     FromA + "#DESCRIPTION Outer\n",
     Two + One,
     {"Two", "One", "Three"},
     {255, 255, 255}},
    {"a description after a stream or a missing service renames nothing",
     FromA,
     "#SERVICE 4097:0:1:1:1:1:C00000:0:0:0:http%3a//x:Stream\n#DESCRIPTION Stream\n" + One +
         reference({0xC00000, 1, 1, 9}) + "#DESCRIPTION Missing\n" + Two,
     {"One", "Two", "Three"},
     {255, 255, 255}},
    {"a marker holds in its own bouquet only",
     marker("News") + FromA + Three,
     One + marker("Sport") + Two,
     {"One", "Two", "Three"},
     {255, 1, 255}},
    {"markers and renamed services in one bouquet",
     "",
     marker("News") + Three + "#DESCRIPTION Third\n" + One,
     {"Third", "One", "Two"},
     {0, 0, 255}},
    {"a description renames a marker",
     "",
     marker("News") + "#DESCRIPTION Sport\n" + Two,
     {"Two", "One", "Three"},
     {1, 255, 255}},
};

}  // namespace

TEST(Enigma2BouquetEntries, DescriptionsAndMarkers) {
    const CategoryNames categories = {"News", "Sport"};
    for (const EntriesCase& test : EntriesCases) {
        SCOPED_TRACE(test.what);
        std::vector<NamedFile> files = {{"lamedb", ThreeServices}, {"userbouquet.a.tv", test.bouquetA}};
        if (!test.bouquetsTv.empty()) files.push_back({"bouquets.tv", test.bouquetsTv});
        FormatOptions options;
        options.context.categories = &categories;
        options.allServices = true;  // the services a case's bouquets leave out follow, to show the order
        RecordList records;
        FormatReport report;
        ASSERT_TRUE(importEnigma2(files, options, records, report));
        ASSERT_EQ(records.size(), test.names.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(nameOf(records[i]), test.names[i]) << "channel " << i + 1;
            EXPECT_EQ(records[i].category, test.categories[i]) << "channel " << i + 1;
        }
    }
}

// Services on three transponders whose keys differ in one part each, listed in reverse; every fifth
// repeated under another name, and the first transponder repeated with another frequency: the
// first of each is read.
TEST(Enigma2BouquetEntries, ServicesFoundByTheirWholeKey) {
    const Key transponders[] = {{0xC00000, 1, 1, 0}, {0xC10000, 1, 1, 0}, {0xC00000, 2, 1, 0}};
    for (const int count : {1, 2, 3, 17, 1000, 5000}) {
        SCOPED_TRACE(count);
        std::string transponderText;
        for (int t = 0; t < 3; ++t) transponderText += transponderLines(transponders[t], 11000 + t);
        transponderText += transponderLines(transponders[0], 12999);
        std::string services;
        std::string bouquet;
        int repeats = 0;
        for (int i = 0; i < count; ++i) {
            const Key& on = transponders[i % 3];
            const Key key = {on.dvbNamespace, on.tsid, on.onid, static_cast<unsigned>(1 + i / 3)};
            services += serviceLines(key, "S" + std::to_string(i));
            if (i % 5 == 4) {
                services += serviceLines(key, "Repeat");
                ++repeats;
            }
            bouquet.insert(0, reference(key));
        }
        const std::vector<NamedFile> files = {{"lamedb", lamedb(transponderText, services)},
                                              {"userbouquet.a.tv", bouquet}};
        RecordList records;
        FormatReport report;
        ASSERT_TRUE(importEnigma2(files, FormatOptions{}, records, report));
        ASSERT_EQ(records.size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const ChannelRecord& record = records[static_cast<std::size_t>(count - 1 - i)];
            ASSERT_EQ(nameOf(record), "S" + std::to_string(i));
            ASSERT_EQ(record.frequency.get(), 11000 + i % 3);
            ASSERT_EQ(record.sid.get(), 1 + i / 3);
        }
        const std::string note = std::to_string(repeats) + " services repeat an earlier service's";
        EXPECT_EQ(repeats > 0, std::any_of(report.notes.begin(), report.notes.end(), [&](const std::string& text) {
                      return text.find(note) != std::string::npos;
                  }));
    }
}
