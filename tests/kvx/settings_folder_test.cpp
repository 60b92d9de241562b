// What kvx makes of settings folders built to hurt it (bouquets nested without end or naming each
// other, service keys that crowd one stretch of a fixed hash's table, a receiver's whole database
// beside a short bouquet) and of group names the categories file cannot hold as they are. The built
// program runs on folders made here and is judged by its exit status, its messages and the files it
// leaves: the list by its channels' names, the categories file by the editor's own reader.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "channel/channel_record.h"
#include "form/category_file.h"
#include "tests/support/child_memory.h"

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct Scratch {
    fs::path path;
    Scratch() {
        char name[] = "/tmp/kvx-settings-XXXXXX";
        path = mkdtemp(name);
    }
    ~Scratch() { fs::remove_all(path); }

    void write(const fs::path& name, const std::string& bytes) const {
        fs::create_directories((path / name).parent_path());
        std::ofstream(path / name, std::ios::binary) << bytes;
    }
    // A shell line run in the folder, K standing for kvx (killed after five minutes, so that a case
    // that hangs fails instead of the run); the exit status, and the seconds it took.
    int run(const std::string& line, double& seconds) const {
        const std::string command = "cd '" + path.string() +
                                    "' && K() { timeout 300 '" KVX_PROGRAM "' \"$@\"; } && { " + line +
                                    "; } >.out 2>.err";
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string err() const { return readBytes(path / ".err"); }

    // The names of a written list's channels; nullopt where no list was written.
    std::optional<std::vector<std::string>> channelNames(const char* name) const {
        if (!fs::exists(path / name)) return std::nullopt;
        const std::string bytes = readBytes(path / name);
        std::vector<std::string> names;
        for (std::size_t at = 0; at + sizeof(ChannelRecord) <= bytes.size(); at += sizeof(ChannelRecord)) {
            ChannelRecord record;
            std::memcpy(&record, bytes.data() + at, sizeof record);
            names.emplace_back(fieldText(record.name));
        }
        return names;
    }
};

std::string hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

// A service key: namespace, TSID and ONID as one 48-bit number (namespace on top), and the SID.
struct Key {
    std::uint64_t transponder;
    unsigned sid;
};

std::string tsid(const Key& key) { return hex(key.transponder >> 16 & 0xFFFF, 4); }
std::string onid(const Key& key) { return hex(key.transponder & 0xFFFF, 4); }
std::string space(const Key& key) { return hex(key.transponder >> 32, 8); }

// lamedb5 with one satellite transponder for each distinct key's transponder and the services named
// S1, S2, ... in key order.
std::string lamedb5(const std::vector<Key>& keys) {
    std::string text = "eDVB services /5/\n";
    std::uint64_t last = UINT64_MAX;
    for (const Key& key : keys) {
        if (key.transponder != last)
            text += "t:" + space(key) + ":" + tsid(key) + ":" + onid(key) + ",s:11778000:27500000:0:0:192:2:0\n";
        last = key.transponder;
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Key& key = keys[i];
        text += "s:" + hex(key.sid, 4) + ":" + space(key) + ":" + tsid(key) + ":" + onid(key) + ":1:0,\"S" +
                std::to_string(i + 1) + "\",p:P\n";
    }
    return text;
}

std::string reference(const Key& key) {
    return "#SERVICE 1:0:1:" + hex(key.sid, 1) + ":" + hex(key.transponder >> 16 & 0xFFFF, 1) + ":" +
           hex(key.transponder & 0xFFFF, 1) + ":" + hex(key.transponder >> 32, 1) + ":0:0:0:\n";
}

std::string from(const std::string& bouquet) {
    return "#SERVICE 1:7:1:0:0:0:0:0:0:0:FROM BOUQUET \"" + bouquet + "\" ORDER BY bouquet\n";
}

// count services on one transponder, SIDs 1 up.
std::vector<Key> ordinaryKeys(unsigned count) {
    std::vector<Key> keys;
    for (unsigned i = 0; i < count; ++i) keys.push_back({0xC000000001ull << 16 | 1, i + 1});
    return keys;
}

// The names S<first>, S<first + step>, ... count of them.
std::vector<std::string> names(int first, int step, int count) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) out.push_back("S" + std::to_string(first + i * step));
    return out;
}

// Three services, S1 to S3; bouquets.tv names userbouquet.c000000.tv and then lists S3; each bouquet
// of the chain names the next, the first also listing S1, the last listing S2 alone.
Files bouquetChain() {
    const std::vector<Key> keys = ordinaryKeys(3);
    constexpr int Length = 100000;
    const auto name = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "userbouquet.c%06d.tv", i);
        return std::string(text);
    };
    Files files = {{"lamedb5", lamedb5(keys)}, {"bouquets.tv", "#NAME TV\n" + from(name(0)) + reference(keys[2])}};
    for (int i = 0; i < Length; ++i) {
        std::string& bouquet = files[name(i)] = "#NAME Chain\n";
        if (i == 0) bouquet += reference(keys[0]);
        bouquet += i + 1 < Length ? from(name(i + 1)) : reference(keys[1]);
    }
    return files;
}

// a lists S1, names b, lists S4; b lists S2, names a (which holds it), itself, then lists S3.
Files bouquetCycle() {
    const std::vector<Key> keys = ordinaryKeys(4);
    return {{"lamedb5", lamedb5(keys)},
            {"bouquets.tv", "#NAME TV\n" + from("userbouquet.a.tv")},
            {"userbouquet.a.tv", "#NAME A\n" + reference(keys[0]) + from("userbouquet.b.tv") + reference(keys[3])},
            {"userbouquet.b.tv", "#NAME B\n" + reference(keys[1]) + from("userbouquet.a.tv") +
                                     from("userbouquet.b.tv") + reference(keys[2])}};
}

// Both lists name a, bouquets.tv twice.
Files bouquetNamedThrice() {
    const std::vector<Key> keys = ordinaryKeys(2);
    return {{"lamedb5", lamedb5(keys)},
            {"bouquets.tv", "#NAME TV\n" + from("userbouquet.a.tv") + from("userbouquet.a.tv")},
            {"bouquets.radio", "#NAME Radio\n" + from("userbouquet.a.tv")},
            {"userbouquet.a.tv", "#NAME A\n" + reference(keys[0]) + reference(keys[1])}};
}

// The hash the lamedb index had: ((transponder * A) ^ SID) * B, a key's slot its top bits. A
// transponder is hashed with SID 0, so a service of SID 0 takes its transponder's hash.
constexpr std::uint64_t OldA = 0x9E3779B97F4A7C15u, OldB = 0xC2B2AE3D27D4EB4Fu;

std::uint64_t oldHash(const Key& key) { return ((key.transponder * OldA) ^ key.sid) * OldB; }

// Keys j * step whose old hashes differ by j times a short distance: step is the denominator below
// 2^31 of the best approximation of OldA * OldB / 2^64, found by Euclid's algorithm on 2^64 and the
// product, each remainder being +-step * product mod 2^64 for the step reached.
std::vector<Key> crowdingKeys(unsigned count) {
    const std::uint64_t product = OldA * OldB;
    std::uint64_t quotient = UINT64_MAX / product;  // of 2^64 by the product, which is odd and above 1
    std::uint64_t before = product, remainder = 0 - quotient * product;
    std::int64_t stepBefore = 1, step = -static_cast<std::int64_t>(quotient);
    while (remainder != 0) {
        quotient = before / remainder;
        if (quotient >= std::uint64_t{1} << 32) break;  // the next step would pass 2^31
        const std::int64_t next = stepBefore - static_cast<std::int64_t>(quotient) * step;
        if (next >= (std::int64_t{1} << 31) || next <= -(std::int64_t{1} << 31)) break;
        const std::uint64_t rest = before - quotient * remainder;
        before = remainder;
        remainder = rest;
        stepBefore = step;
        step = next;
    }
    const auto unit = static_cast<std::uint64_t>(step < 0 ? -step : step);
    std::vector<Key> keys;
    for (std::uint64_t j = 1; j <= count; ++j) keys.push_back({j * unit, 0});
    return keys;
}

constexpr unsigned Crowd = 160000;

// Crowd services on as many transponders, their keys crowding the old table; one bouquet of 50.
Files crowdedKeys() {
    const std::vector<Key> keys = crowdingKeys(Crowd);
    std::string bouquet = "#NAME A\n";
    for (unsigned i = 0; i < Crowd; i += Crowd / 50) bouquet += reference(keys[i]);
    return {{"lamedb5", lamedb5(keys)},
            {"bouquets.tv", "#NAME TV\n" + from("userbouquet.a.tv")},
            {"userbouquet.a.tv", bouquet}};
}

// A receiver's database of 30,000 services; its one bouquet lists every 600th.
Files wholeDatabase() {
    std::vector<Key> keys;
    for (unsigned i = 0; i < 30000; ++i) keys.push_back({(0xC00000ull + i / 40) << 32 | 1, i % 40 + 1});
    std::string bouquet = "#NAME A\n";
    for (unsigned i = 0; i < 30000; i += 600) bouquet += reference(keys[i]);
    return {{"lamedb5", lamedb5(keys)},
            {"bouquets.tv", "#NAME TV\n" + from("userbouquet.a.tv")},
            {"userbouquet.a.tv", bouquet}};
}

// lamedb alone (version 4), three services.
Files noBouquet() {
    return {{"lamedb",
             "eDVB services /4/\ntransponders\n00c00000:0001:0001\n\ts 11778000:27500000:0:0:192:2:0\n/\n"
             "end\nservices\n0001:00c00000:0001:0001:1:0\nS1\np:P\n0002:00c00000:0001:0001:1:0\nS2\np:P\n"
             "0003:00c00000:0001:0001:1:0\nS3\np:P\nend\n"}};
}

// One bouquet lists S1; --all-services makes S2 and S3 part of the reference, in lamedb's order.
Files shortBouquet() {
    Files files = noBouquet();
    files["userbouquet.a.tv"] = "#NAME A\n" + reference(ordinaryKeys(1)[0]);
    return files;
}

struct FolderCase {
    int line;
    Files (*folder)();
    const char* command;  // F is the folder, out.kvx the list written
    int status;
    std::optional<std::vector<std::string>> channels;  // of out.kvx; nullopt: none is written
    std::vector<std::string> said;                     // each must be among the messages
    std::vector<std::string> unsaid;                   // none may be
};

const FolderCase FolderCases[] = {
    {__LINE__,
     bouquetChain,
     "K import F -o out.kvx",
     0,
     std::vector<std::string>{"S1", "S3", "S2"},
     {"userbouquet.c000062.tv:2: userbouquet.c000063.tv is nested more than 64 bouquets deep: read after the named "
      "bouquets instead\n",
      "more bouquets nested too deep"},
     {"named by neither", "not read again"}},
    {__LINE__,
     bouquetCycle,
     "K import F -o out.kvx",
     0,
     names(1, 1, 4),
     {"userbouquet.b.tv:3: userbouquet.a.tv names this bouquet, itself or through others (a cycle): not read again\n",
      "userbouquet.b.tv:4: userbouquet.b.tv names this bouquet, itself or through others (a cycle): not read again\n"},
     {"named a second time"}},
    {__LINE__,
     bouquetNamedThrice,
     "K import F -o out.kvx",
     0,
     names(1, 1, 2),
     {"bouquets.tv:3: userbouquet.a.tv is named a second time: not read again\n",
      "bouquets.radio:2: userbouquet.a.tv is named a second time: not read again\n"},
     {"cycle"}},
    {__LINE__,
     crowdedKeys,
     "K import F -o out.kvx",
     0,
     names(1, Crowd / 50, 50),
     {"159950 services of lamedb5 are in no bouquet: left out (--all-services takes them)\n"},
     {"repeat"}},
    {__LINE__,
     wholeDatabase,
     "K import F -o out.kvx",
     0,
     names(1, 600, 50),
     {"29950 services of lamedb5 are in no bouquet: left out (--all-services takes them)\n"},
     {}},
    {__LINE__,
     wholeDatabase,
     "K import F --all-services -o out.kvx",
     2,
     std::nullopt,
     {"29950 services of lamedb5 are in no bouquet: they follow the bouquets' channels",
      "30000 channels: the editor holds at most 16384; nothing was written\n"},
     {"left out (--all-services"}},
    {__LINE__,
     noBouquet,
     "K import F -o out.kvx",
     0,
     names(1, 1, 3),
     {"the folder holds no bouquet entry: its 3 services are read in lamedb's order\n"},
     {"--all-services"}},
    // order takes a reference as import reads it: the list holds the three services, the folder lists one.
    {__LINE__,
     shortBouquet,
     "K import F --all-services -o all.kvx && K order all.kvx --like F -o out.kvx",
     0,
     names(1, 1, 3),
     {"2 services of lamedb are in no bouquet: left out (--all-services takes them)\n", "kvx: new: 2,"},
     {}},
    {__LINE__,
     shortBouquet,
     "K import F --all-services -o all.kvx && K order all.kvx --like F --all-services -o out.kvx",
     0,
     names(1, 1, 3),
     {"2 services of lamedb are in no bouquet: they follow the bouquets' channels", "kvx: new: 0,"},
     {"left out (--all-services"}},
};

TEST(SettingsFolders, HostileFoldersFinishAndSayWhatWasLeftOut) {
    for (const FolderCase& c : FolderCases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        const Scratch scratch;
        for (const auto& [name, bytes] : c.folder()) scratch.write(fs::path("F") / name, bytes);
        double seconds = 0;
        EXPECT_EQ(scratch.run(c.command, seconds), c.status);
        // Each took minutes, or the whole stack, before; none takes a second in a release build.
        EXPECT_LT(seconds, 60);
        EXPECT_LT(largestChildKilobytes(), ChildMemoryBoundKilobytes);
        EXPECT_EQ(scratch.channelNames("out.kvx"), c.channels);
        const std::string err = scratch.err();
        for (const std::string& text : c.said) EXPECT_NE(err.find(text), std::string::npos) << text << "\n" << err;
        for (const std::string& text : c.unsaid) EXPECT_EQ(err.find(text), std::string::npos) << text << "\n" << err;
    }
}

// Without a seed the hash would send the crowding keys to a handful of slots of the table sized for
// them: the folder above is hostile to the fixed hash, whatever kvx now does with it.
TEST(SettingsFolders, TheCrowdingKeysCrowdTheFixedHash) {
    const std::vector<Key> keys = crowdingKeys(Crowd);
    const int shift = 64 - 19;  // 2^19 slots: the least power of two of twice the keys
    std::map<std::uint64_t, int> slots;
    for (const Key& key : keys) {
        ASSERT_LT(key.transponder, std::uint64_t{1} << 48);
        ++slots[oldHash(key) >> shift];
    }
    EXPECT_LT(slots.size(), 16u);
}

// Group names for the categories file, through an import of a channels.conf (whose group line is
// followed by a channel, then a group Weather and its channel) or through order's category for new
// channels. The editor must read the file as kvx numbered it: the old names, the name written, then
// Weather, each its own category.
struct CategoryCase {
    int line;
    std::string group;  // UTF-8
    int codePage;
    bool viaOrder;                    // --unmatched-category instead of a group line
    std::vector<std::string> before;  // the categories file's names, in its code page
    std::vector<std::string> editor;  // what the editor reads afterwards
    std::vector<int> categories;      // of the list's channels
    std::string said;
};

std::string repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

const std::string Zhe = "\xD0\xB6";  // a Cyrillic letter in UTF-8; 0xE6 in code page 1251

const CategoryCase CategoryCases[] = {
    {__LINE__,
     repeat("a", 300),
     0,
     false,
     {"News"},
     {"News", repeat("a", 258), "Weather"},
     {1, 2},
     "is longer than the 258 bytes of a name in the categories file: cut to its first 258 bytes"},
    {__LINE__,
     "x" + repeat(Zhe, 150),
     0,
     false,
     {"News"},
     {"News", "x" + repeat(Zhe, 128), "Weather"},
     {1, 2},
     "cut to its first 257 bytes"},
    {__LINE__,
     repeat(Zhe, 300),
     1251,
     false,
     {"News"},
     {"News", repeat("\xE6", 258), "Weather"},
     {1, 2},
     "cut to its first 258 characters"},
    {__LINE__,
     repeat(Zhe, 258),
     1251,
     false,
     {"News"},
     {"News", repeat("\xE6", 258), "Weather"},
     {1, 2},
     "\"Weather\" is added to the categories file as category 2"},
    // A name the file holds already as the cut one is that category.
    {__LINE__,
     repeat("a", 300),
     0,
     false,
     {"News", repeat("a", 258)},
     {"News", repeat("a", 258), "Weather"},
     {1, 2},
     "cut to its first 258 bytes"},
    {__LINE__,
     std::string("Sp\0rt\x1A", 6) + "s\rx",
     0,
     false,
     {"News"},
     {"News", "Sp rt s x", "Weather"},
     {1, 2},
     "end a name in the categories file: written as spaces"},
    // Changed names lose their blanks at the ends, which a group line cannot carry back.
    {__LINE__,
     std::string("@\0\0", 3) + "5 Sport",
     0,
     false,
     {"News"},
     {"News", "5 Sport", "Weather"},
     {1, 2},
     "written as spaces"},
    // A channels.conf group line drops a leading '@' too: this is the file's News.
    {__LINE__, std::string("\0@News", 6), 0, false, {"News"}, {"News", "Weather"}, {0, 1}, "written as spaces"},
    {__LINE__,
     repeat("a", 257) + " b",
     0,
     false,
     {"News"},
     {"News", repeat("a", 257), "Weather"},
     {1, 2},
     "cut to its first 258 bytes"},
    {__LINE__,
     std::string("\0\r\0", 3),
     0,
     false,
     {"News"},
     {"News", "Weather"},
     {255, 1},
     "holds no name the categories file can keep: no category"},
    {__LINE__, "Late\nNews\r", 0, true, {"News"}, {"News", "Late News"}, {1}, "written as spaces"},
    {__LINE__, repeat("b", 259), 0, true, {"News"}, {"News", repeat("b", 258)}, {1}, "cut to its first 258 bytes"},
};

void addName(const char* name, void* names) { static_cast<std::vector<std::string>*>(names)->push_back(name); }

TEST(SettingsFolders, CategoryNamesAreWrittenAsTheEditorReadsThem) {
    const std::string channel = "C1:11778:H:S19.2E:27500:0:0:0:0:1:0:0:0\n";
    for (const CategoryCase& c : CategoryCases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        const Scratch scratch;
        std::string file;
        for (const std::string& name : c.before) file += name + "\n";
        scratch.write("Category.txt", file);
        const std::string options =
            " --categories Category.txt" + (c.codePage != 0 ? " --codepage " + std::to_string(c.codePage) : "");
        std::string command;
        if (c.viaOrder) {
            scratch.write("c.conf", channel);
            setenv("GROUP", c.group.c_str(), 1);
            command = "K import c.conf -o l.kvx && K order l.kvx --like l.kvx --unmatched-category \"$GROUP\"" +
                      options + " -o out.kvx";
        } else {
            scratch.write("c.conf",
                          ":" + c.group + "\n" + channel + ":Weather\n" + "C2:11778:H:S19.2E:27500:0:0:0:0:2:0:0:0\n");
            command = "K import c.conf --format vdr" + options + " -o out.kvx";
        }
        double seconds = 0;
        ASSERT_EQ(scratch.run(command, seconds), 0) << scratch.err();
        std::vector<std::string> editor;
        ASSERT_TRUE(readCategoryFile((scratch.path / "Category.txt").c_str(), addName, &editor));
        EXPECT_EQ(editor, c.editor);
        EXPECT_NE(scratch.err().find(c.said), std::string::npos) << scratch.err();
        if (c.viaOrder) continue;  // order places no channel in the new category when all match
        const std::string list = readBytes(scratch.path / "out.kvx");
        std::vector<int> categories;
        for (std::size_t at = 0; at + sizeof(ChannelRecord) <= list.size(); at += sizeof(ChannelRecord))
            categories.push_back(static_cast<unsigned char>(list[at + offsetof(ChannelRecord, category)]));
        EXPECT_EQ(categories, c.categories);
    }
}

}  // namespace
