// What kvx does to the files a user names, run as a user runs it: the built program in a scratch
// folder, each case made for real (FIFOs, devices, links, modes, byte-order marks, control bytes),
// and judged by what is on the disk afterwards and by the exit status, never by kvx's own code.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;
constexpr std::size_t RecordSize = 442;

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// "file 0600", "link", "fifo", "device", "folder", "none": what a name is, without following it.
std::string kindOf(const std::string& path) {
    struct stat facts {};
    if (lstat(path.c_str(), &facts) != 0) return "none";
    if (S_ISLNK(facts.st_mode)) return "link";
    if (S_ISFIFO(facts.st_mode)) return "fifo";
    if (S_ISCHR(facts.st_mode)) return "device";
    if (S_ISDIR(facts.st_mode)) return "folder";
    char mode[16];
    std::snprintf(mode, sizeof mode, "file %04o", static_cast<unsigned>(facts.st_mode & 07777));
    return mode;
}

// The sample list sorted by SID, stably, from its bytes: what `sort --by sid` must write.
Bytes sortedBySid(const Bytes& list) {
    std::vector<Bytes> records;
    for (std::size_t at = 0; at + RecordSize <= list.size(); at += RecordSize)
        records.push_back(list.substr(at, RecordSize));
    const auto sid = [](const Bytes& r) {
        return static_cast<unsigned char>(r[14]) | static_cast<unsigned char>(r[15]) << 8;
    };
    std::stable_sort(records.begin(), records.end(), [&](const Bytes& a, const Bytes& b) { return sid(a) < sid(b); });
    Bytes sorted;
    for (const Bytes& r : records) sorted += r;
    return sorted;
}

// A scratch folder holding the sample list as l.kvx; kvx runs inside it.
struct Scratch {
    std::string path;
    Scratch() {
        char name[] = "/tmp/kvx-files-XXXXXX";
        path = mkdtemp(name);
        writeBytes(file("l.kvx"), readBytes(SAMPLE_LIST));
        chmod(file("l.kvx").c_str(), 0644);
    }
    ~Scratch() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string file(const std::string& name) const { return path + "/" + name; }

    // kvx with args, given a minute at most (a read that waits forever fails the case, not the run).
    int kvx(const std::vector<std::string>& args) const {
        std::string command = "cd '" + path + "' && timeout 60 '" KVX_PROGRAM "'";
        for (const std::string& arg : args) command += " '" + arg + "'";
        command += " >.stdout 2>.stderr";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    Bytes out() const { return readBytes(file(".stdout")); }
    Bytes err() const { return readBytes(file(".stderr")); }

    // Every regular file's bytes, by name, through links, the folders below included.
    std::map<std::string, Bytes> snapshot(const std::string& under = "") const {
        std::map<std::string, Bytes> files;
        DIR* dir = opendir(file(under).c_str());
        while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
            const std::string name = under.empty() ? entry->d_name : under + "/" + entry->d_name;
            if (entry->d_name[0] == '.') continue;
            struct stat facts {};
            if (stat(file(name).c_str(), &facts) != 0) continue;
            if (S_ISREG(facts.st_mode)) files[name] = readBytes(file(name));
            if (S_ISDIR(facts.st_mode) && entry->d_type != DT_LNK) files.merge(snapshot(name));
        }
        if (dir != nullptr) closedir(dir);
        return files;
    }
};

bool isRoot() { return geteuid() == 0; }

// Standard error holds no byte a terminal would act on but the line feeds between messages.
bool onlyPrintable(const Bytes& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\n') || byte == 0x7F;
    });
}

const Bytes Sample = readBytes(SAMPLE_LIST);

// The sample exported to CSV, made once by the kvx under test: it is the input of cases, never
// what a result is compared with.
Bytes sampleCsv() {
    static const Bytes csv = [] {
        Scratch scratch;
        scratch.kvx({"export", "l.kvx", "-o", "l.csv"});
        return readBytes(scratch.file("l.csv"));
    }();
    return csv;
}

struct Expected {
    const char* name;
    const char* kind;    // kindOf, or nullptr: not looked at
    const Bytes* bytes;  // nullptr: as before the command
};

struct WriteCase {
    int line;
    std::function<bool(const Scratch&)> make;  // false: this system cannot make the case
    std::vector<std::string> args;
    int status;
    std::vector<Expected> after;
    const char* output;  // what standard output starts with, or nullptr for nothing
};

TEST(KvxWrites, OnlyRegularFilesOrNewNamesKeepingModesFollowingLinksNeverOverAnInput) {
    const Bytes sorted = sortedBySid(Sample);
    const auto none = [](const Scratch&) { return true; };
    const auto withCsv = [](const Scratch& s) {
        writeBytes(s.file("l.csv"), sampleCsv());
        return true;
    };
    const std::vector<WriteCase> cases = {
        {__LINE__,
         [](const Scratch& s) { return mkfifo(s.file("f").c_str(), 0600) == 0; },
         {"sort", "l.kvx", "--by", "sid", "-o", "f"},
         2,
         {{"f", "fifo", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return isRoot() && mknod(s.file("d").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
         {"sort", "l.kvx", "--by", "sid", "-o", "d"},
         2,
         {{"d", "device", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return mkdir(s.file("d").c_str(), 0755) == 0; },
         {"sort", "l.kvx", "--by", "sid", "-o", "d"},
         2,
         {{"d", "folder", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) {
             return mkdir(s.file("real").c_str(), 0755) == 0 &&
                    rename(s.file("l.kvx").c_str(), s.file("real/l.kvx").c_str()) == 0 &&
                    symlink("real/l.kvx", s.file("link.kvx").c_str()) == 0;
         },
         {"sort", "link.kvx", "--by", "sid"},
         0,
         {{"link.kvx", "link", &sorted}, {"real/l.kvx", "file 0644", &sorted}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return symlink("gone.kvx", s.file("dangling").c_str()) == 0; },
         {"sort", "l.kvx", "--by", "sid", "-o", "dangling"},
         2,
         {{"dangling", "link", nullptr}, {"gone.kvx", "none", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return chmod(s.file("l.kvx").c_str(), 0600) == 0; },
         {"sort", "l.kvx", "--by", "sid"},
         0,
         {{"l.kvx", "file 0600", &sorted}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return chmod(s.file("l.kvx").c_str(), 0444) == 0; },
         {"sort", "l.kvx", "--by", "sid"},
         2,
         {{"l.kvx", "file 0444", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return chmod(s.file("l.kvx").c_str(), 0400) == 0; },
         {"dupes", "l.kvx", "--remove", "-o", "l.kvx"},
         2,
         {{"l.kvx", "file 0400", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return link(s.file("l.kvx").c_str(), s.file("second.kvx").c_str()) == 0; },
         {"sort", "l.kvx", "--by", "sid"},
         2,
         {{"l.kvx", "file 0644", nullptr}, {"second.kvx", "file 0644", nullptr}},
         nullptr},
        {__LINE__, none, {"export", "l.kvx", "-o", "l.kvx"}, 2, {{"l.kvx", "file 0644", nullptr}}, nullptr},
        {__LINE__,
         [](const Scratch& s) { return mkdir(s.file("sub").c_str(), 0755) == 0; },
         {"export", "l.kvx", "--format", "vdr", "--source", "S19.2E", "-o", "sub/../l.kvx"},
         2,
         {{"l.kvx", "file 0644", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) { return symlink("l.kvx", s.file("other.kvx").c_str()) == 0; },
         {"order", "l.kvx", "--like", "l.kvx", "-o", "other.kvx"},
         0,
         {{"l.kvx", "file 0644", nullptr}},
         nullptr},  // same kind
        {__LINE__,
         [&](const Scratch& s) { return withCsv(s) && link(s.file("l.csv").c_str(), s.file("same.csv").c_str()) == 0; },
         {"import", "l.csv", "-o", "same.csv"},
         2,
         {{"l.csv", "file 0644", nullptr}},
         nullptr},
        {__LINE__,
         withCsv,
         {"order", "l.kvx", "--like", "l.csv", "-o", "./l.csv"},
         2,
         {{"l.csv", "file 0644", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) {
             writeBytes(s.file("c.txt"), "News\nSport\n");
             return true;
         },
         {"order", "l.kvx", "--like", "l.kvx", "--categories", "c.txt", "-o", "c.txt"},
         2,
         {{"c.txt", "file 0644", nullptr}},
         nullptr},
        {__LINE__,
         [](const Scratch& s) {
             return mkdir(s.file("e2").c_str(), 0755) == 0 && symlink("../l.kvx", s.file("e2/lamedb").c_str()) == 0;
         },
         {"export", "l.kvx", "--format", "enigma2", "--source", "S19.2E", "-o", "e2"},
         2,
         {{"l.kvx", "file 0644", nullptr}, {"e2/lamedb5", "none", nullptr}},
         nullptr},
        {__LINE__, none, {"export", "l.kvx", "-o", "-"}, 0, {{"-", "none", nullptr}}, "position,name,"},
        {__LINE__,
         none,
         {"export", "l.kvx", "--format", "vdr", "--source", "S19.2E", "-o", "-"},
         0,
         {{"-", "none", nullptr}},
         ":"},
        {__LINE__, none, {"sort", "l.kvx", "--by", "sid", "-o", "-"}, 2, {{"-", "none", nullptr}}, nullptr},
        {__LINE__, withCsv, {"import", "l.csv", "-o", "-"}, 2, {{"-", "none", nullptr}}, nullptr},
        {__LINE__,
         none,
         {"export", "l.kvx", "--format", "enigma2", "--source", "S19.2E", "-o", "-"},
         2,
         {{"-", "none", nullptr}},
         nullptr},
    };
    for (const WriteCase& c : cases) {
        Scratch scratch;
        if (!c.make(scratch)) {
            std::printf("line %d: cannot be made here (root only): skipped\n", c.line);
            continue;
        }
        const std::map<std::string, Bytes> before = scratch.snapshot();
        EXPECT_EQ(scratch.kvx(c.args), c.status) << "line " << c.line << ": " << scratch.err();
        EXPECT_TRUE(onlyPrintable(scratch.err())) << "line " << c.line;
        const std::map<std::string, Bytes> after = scratch.snapshot();
        for (const Expected& e : c.after) {
            if (e.kind != nullptr) {
                EXPECT_EQ(kindOf(scratch.file(e.name)), e.kind) << "line " << c.line << ", " << e.name;
            }
            if (!before.contains(e.name) && e.bytes == nullptr) continue;
            const Bytes& expected = e.bytes != nullptr ? *e.bytes : before.at(e.name);
            EXPECT_TRUE(after.contains(e.name) && after.at(e.name) == expected) << "line " << c.line << ", " << e.name;
        }
        // Nothing else changed, and no temporary file is left.
        for (const auto& [name, bytes] : after) {
            const std::string& changed = name;
            const bool expected =
                std::any_of(c.after.begin(), c.after.end(), [&](const Expected& e) { return changed == e.name; });
            if (!expected) {
                EXPECT_TRUE(before.contains(name) && before.at(name) == bytes) << "line " << c.line << ", " << name;
            }
        }
        if (c.output != nullptr) {
            EXPECT_TRUE(scratch.out().starts_with(c.output))
                << "line " << c.line << ": " << scratch.out().substr(0, 80);
        }
    }
}

// A list none of whose channels is in the sample: other services, names and transponders.
Bytes strangerList() {
    Bytes list = Sample.substr(0, 2 * RecordSize);
    for (std::size_t r = 0; r < 2; ++r) {
        Bytes record = list.substr(r * RecordSize, RecordSize);
        record[0] = 1;  // frequency
        record[1] = record[2] = record[3] = 0;
        record[12] = record[13] = static_cast<char>(0xEE);  // TID
        record[14] = static_cast<char>(0xE0 + r);           // SID
        record[15] = static_cast<char>(0xEE);
        std::memcpy(&record[0x35], "Nobody Knows\0", 13);  // name
        list.replace(r * RecordSize, RecordSize, record);
    }
    return list;
}

struct HostileCase {
    int line;
    std::function<bool(const Scratch&)> make;
    std::vector<std::string> args;
    int status;
    std::string said;  // a piece of standard error, or empty
};

// Inputs that must neither hang kvx, nor be taken for what they are not, nor reach the terminal raw,
// nor cost a list: after each, every file is as it was and no new file exists.
TEST(KvxReads, RefusesWhatIsNoListItReadsAndNeverPrintsControlBytes) {
    const auto file = [](const char* name, Bytes bytes) {
        return [name, bytes](const Scratch& s) {
            writeBytes(s.file(name), bytes);
            return true;
        };
    };
    const auto settingsWithBouquet = [](std::function<bool(const std::string&)> make) {
        return [make](const Scratch& s) {
            return s.kvx({"export", "l.kvx", "--format", "enigma2", "--source", "S19.2E", "-o", "e2"}) == 0 &&
                   std::remove(s.file("e2/userbouquet.kvx.tv").c_str()) == 0 && make(s.file("e2/userbouquet.kvx.tv"));
        };
    };
    // A file of that size that takes no room on the disk.
    const auto sparse = [](const char* name, off_t size) {
        return [name, size](const Scratch& s) {
            writeBytes(s.file(name), "");
            return truncate(s.file(name).c_str(), size) == 0;
        };
    };
    const Bytes csv = sampleCsv();
    Bytes utf16 = "\xFF\xFE";
    for (const char c : csv) (utf16 += c) += '\0';
    // A channel whose name and provider are cut, which import says quoting them, and a bad line.
    const Bytes vdr =
        "Bad\x1B]2\x07Name and a name far too long for a record;Provider\x1B[2J and far too long too:"
        "11778:V:S19.2E:27500:257:258:0:0:101:1:1:0\nx\n";
    const std::vector<HostileCase> cases = {
        {__LINE__, [](const Scratch& s) { return mkfifo(s.file("f").c_str(), 0600) == 0; }, {"check", "f"}, 2, "FIFO"},
        {__LINE__,
         [](const Scratch& s) { return mkfifo(s.file("f").c_str(), 0600) == 0; },
         {"import", "f", "-o", "n.kvx"},
         2,
         "FIFO"},
        {__LINE__,
         [](const Scratch& s) { return mkfifo(s.file("f").c_str(), 0600) == 0; },
         {"order", "l.kvx", "--like", "f"},
         2,
         "FIFO"},
        {__LINE__, [](const Scratch&) { return true; }, {"check", "/dev/zero"}, 2, "device"},
        {__LINE__,
         [](const Scratch& s) { return symlink("/dev/zero", s.file("z.kvx").c_str()) == 0; },
         {"diff", "l.kvx", "z.kvx"},
         2,
         "device"},
        {__LINE__,
         [](const Scratch& s) { return symlink("/dev/zero", s.file("c.txt").c_str()) == 0; },
         {"check", "l.kvx", "--categories", "c.txt"},
         2,
         "device"},
        {__LINE__,
         settingsWithBouquet([](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; }),
         {"import", "e2", "-o", "n.kvx"},
         2,
         "userbouquet.kvx.tv: This is a FIFO"},
        {__LINE__,
         settingsWithBouquet([](const std::string& p) { return symlink("/dev/zero", p.c_str()) == 0; }),
         {"import", "e2", "-o", "n.kvx"},
         2,
         "userbouquet.kvx.tv: This is a character device"},
        {__LINE__, sparse("big.kvx", 16385 * 442), {"check", "big.kvx"}, 2, "16385 records"},
        {__LINE__, sparse("big.csv", (64 << 20) + 1), {"import", "big.csv", "-o", "n.kvx"}, 2, "64 MB"},
        {__LINE__,
         file("r.csv", "\xEF\xBB\xBF" + csv),
         {"order", "l.kvx", "--like", "r.csv", "--unmatched", "drop"},
         0,
         "not found: 0 of 39"},  // ordered like itself: the same bytes
        {__LINE__, file("r.csv", "\xEF\xBB\xBF" + csv), {"import", "r.csv", "-o", "l.kvx"}, 0, ""},  // the same list
        {__LINE__, file("r.csv", utf16), {"order", "l.kvx", "--like", "r.csv", "--unmatched", "drop"}, 2, "UTF-16"},
        {__LINE__, file("r.csv", utf16), {"import", "r.csv", "-o", "n.kvx"}, 2, "UTF-16"},
        {__LINE__, file("r.csv", Bytes("\xFF\xFE\0\0p\0\0\0", 8)), {"import", "r.csv", "-o", "n.kvx"}, 2, "UTF-32"},
        {__LINE__, file("r.csv", Bytes("\0\0\xFE\xFFp", 5)), {"order", "l.kvx", "--like", "r.csv"}, 2, "UTF-32"},
        {__LINE__, file("r.kvx", Sample + "x"), {"order", "l.kvx", "--like", "r.kvx"}, 2, "not whole 442-byte records"},
        {__LINE__,
         file("r.txt", "aaaa\x1B[2J" + Bytes(438, 'a') + "\n"),
         {"order", "l.kvx", "--like", "r.txt"},
         2,
         "\"aaaa\\x1B[2J" + std::string(72, 'a') + "...\""},
        {__LINE__,
         file("r.kvx", strangerList()),
         {"order", "l.kvx", "--like", "r.kvx", "--unmatched", "drop"},
         2,
         "no channel of l.kvx"},
        {__LINE__, file("r.kvx", strangerList()), {"order", "l.kvx", "--like", "r.kvx"}, 2, "no channel of l.kvx"},
        {__LINE__,
         file("r.csv", csv.substr(0, csv.find('\n') + 1)),
         {"import", "r.csv", "-o", "l.kvx"},
         2,
         "no channel"},
        {__LINE__, file("c.conf", vdr), {"import", "c.conf", "-o", "n.kvx"}, 2, "\"Bad\\x1B]2\\x07Name"},
        {__LINE__, file("c.conf", vdr), {"import", "c.conf", "-o", "n.kvx"}, 2, "\"Provider\\x1B[2J"},
    };
    for (const HostileCase& c : cases) {
        Scratch scratch;
        ASSERT_TRUE(c.make(scratch)) << "line " << c.line;
        const std::map<std::string, Bytes> before = scratch.snapshot();
        EXPECT_EQ(scratch.kvx(c.args), c.status) << "line " << c.line << ": " << scratch.err();
        EXPECT_TRUE(onlyPrintable(scratch.err())) << "line " << c.line << ": " << scratch.err();
        if (!c.said.empty()) {
            EXPECT_NE(scratch.err().find(c.said), Bytes::npos) << "line " << c.line << ": " << scratch.err();
        }
        EXPECT_EQ(scratch.snapshot(), before) << "line " << c.line;
        EXPECT_EQ(kindOf(scratch.file("n.kvx")), "none") << "line " << c.line;
    }
}

// Export's notes quote names as they are in the list: a line feed or an escape sequence in a name
// reaches standard error escaped.
TEST(KvxReads, NotesOnNamesWithControlBytesAreEscaped) {
    Scratch scratch;
    Bytes list = Sample;
    std::memcpy(&list[0x35], "A;\x1B[31m\nB|@\0", 12);
    writeBytes(scratch.file("l.kvx"), list);
    EXPECT_EQ(scratch.kvx({"export", "l.kvx", "--format", "enigma2", "--source", "S19.2E", "-o", "e2"}), 0)
        << scratch.err();
    EXPECT_NE(scratch.err().find("\"A;\\x1B[31m\\x0AB|@\""), Bytes::npos) << scratch.err();
    EXPECT_TRUE(onlyPrintable(scratch.err())) << scratch.err();
}

}  // namespace
