// What kvx does to the files a user names, run as a user runs it: the built program in a scratch
// folder holding the sample list as l.kvx, each case made there for real by a shell line (FIFOs,
// devices, links, modes, byte-order marks, control bytes), and judged by what is on the disk
// afterwards, by the exit status and by what reaches the terminal, never by kvx's own code.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_memory.h"
#include "tests/support/file_kind.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

const Bytes Sample = readBytes(SAMPLE_LIST);

// The sample sorted by SID (bytes 14 and 15 of each 442-byte record), stably: what `sort --by sid` writes.
Bytes sortedBySid() {
    std::vector<Bytes> records;
    for (std::size_t at = 0; at < Sample.size(); at += 442) records.push_back(Sample.substr(at, 442));
    const auto sid = [](const Bytes& r) {
        return static_cast<unsigned char>(r[15]) * 256 + static_cast<unsigned char>(r[14]);
    };
    std::stable_sort(records.begin(), records.end(), [&](const Bytes& a, const Bytes& b) { return sid(a) < sid(b); });
    Bytes sorted;
    for (const Bytes& r : records) sorted += r;
    return sorted;
}

struct Scratch {
    fs::path path;
    Scratch() {
        char name[] = "/tmp/kvx-files-XXXXXX";
        path = mkdtemp(name);
        fs::copy_file(SAMPLE_LIST, path / "l.kvx");
        fs::permissions(path / "l.kvx", fs::perms(0644));
    }
    ~Scratch() { fs::remove_all(path); }

    // A shell line run in the folder, K standing for kvx given a minute at most (a read that waits
    // forever fails its case, not the run); the exit status.
    int run(const std::string& line) const {
        const std::string command = "cd '" + path.string() + "' && K() { timeout 60 '" KVX_PROGRAM "' \"$@\"; } && { " +
                                    line + "; } >.out 2>.err";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    Bytes out() const { return readBytes(path / ".out"); }
    Bytes err() const { return readBytes(path / ".err"); }

    // Every regular file's bytes by name, through links, folders below included.
    std::map<std::string, Bytes> files() const {
        std::map<std::string, Bytes> files;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            const std::string name = entry.path().lexically_relative(path).string();
            std::error_code error;
            if (name[0] != '.' && fs::is_regular_file(entry.path(), error)) files[name] = readBytes(entry.path());
        }
        return files;
    }
};

// Nothing a terminal would act on: no control byte but the line feeds between messages.
bool printable(const Bytes& text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7F; });
}

// Kinds each name must have afterwards, "name=kind" apart by spaces; every file not named there must
// hold its old bytes, and no other file may have appeared.
void expectAfter(const Scratch& s, const std::map<std::string, Bytes>& before, const std::string& kinds,
                 const std::map<std::string, Bytes>& changed, int line) {
    std::istringstream list(kinds);
    for (std::string pair; list >> pair;) {
        const std::size_t is = pair.find('=');
        EXPECT_EQ(kindOf((s.path / pair.substr(0, is)).c_str()), pair.substr(is + 1))
            << "line " << line << ": " << pair;
    }
    std::map<std::string, Bytes> expected = before;
    for (const auto& [name, bytes] : changed) expected[name] = bytes;
    const std::map<std::string, Bytes> after = s.files();
    std::string names;
    for (const auto& [name, bytes] : after)
        names += " " + name + (expected.contains(name) && expected.at(name) == bytes ? "" : "*");
    EXPECT_TRUE(after == expected) << "line " << line << ": files other than expected (*):" << names;
}

struct Case {
    int line;
    std::string setup;  // shell line; a case whose setup fails (a device when not root) is skipped
    const char* run;
    int status;
    const char* kinds;
    const char* said;  // a piece of standard error or output, or ""
};

TEST(KvxWrites, OnlyRegularFilesOrNewNamesKeepingModesFollowingLinksNeverOverAnInput) {
    const Bytes sorted = sortedBySid();
    const Case cases[] = {
        {__LINE__, "mkfifo f", "K sort l.kvx --by sid -o f", 2, "f=fifo", "FIFO"},
        {__LINE__, "mknod d c 1 3", "K sort l.kvx --by sid -o d", 2, "d=device", "device"},
        {__LINE__, "mkdir d", "K sort l.kvx --by sid -o d", 2, "d=folder", "folder"},
        {__LINE__, "ln -s gone.kvx d", "K sort l.kvx --by sid -o d", 2, "d=link gone.kvx=none", "does not exist"},
        {__LINE__, "mkdir r && mv l.kvx r && ln -s r/l.kvx l.kvx", "K sort l.kvx --by sid", 0,
         "l.kvx=link r/l.kvx=file_0644", ""},
        {__LINE__, "chmod 600 l.kvx", "K sort l.kvx --by sid", 0, "l.kvx=file_0600", ""},
        {__LINE__, "chmod 444 l.kvx", "K sort l.kvx --by sid", 2, "l.kvx=file_0444", "read-only"},
        {__LINE__, "chmod 400 l.kvx", "K dupes l.kvx --remove -o l.kvx", 2, "l.kvx=file_0400", "read-only"},
        {__LINE__, "ln l.kvx m.kvx", "K sort l.kvx --by sid", 2, "l.kvx=file_0644 m.kvx=file_0644", "2 names"},
        {__LINE__, "true", "K export l.kvx -o l.kvx", 2, "l.kvx=file_0644", "also the kvx list"},
        {__LINE__, "mkdir s", "K export l.kvx --format vdr --source S19.2E -o s/../l.kvx", 2, "", "also the kvx list"},
        {__LINE__, "K export l.kvx -o l.csv && ln -s l.csv m.csv", "K import l.csv -o m.csv", 2, "", "also the CSV"},
        {__LINE__, "K export l.kvx -o l.csv", "K order l.kvx --like l.csv -o ./l.csv", 2, "", "also the CSV"},
        {__LINE__, "echo News > c.txt", "K order l.kvx --like l.kvx --categories c.txt -o c.txt", 2, "",
         "also the categories file"},
        {__LINE__, "mkdir e && ln -s ../l.kvx e/lamedb", "K export l.kvx --format enigma2 --source S19.2E -o e", 2,
         "e/lamedb5=none", "also the kvx list"},
        {__LINE__, "ln -s l.kvx o.kvx", "K order l.kvx --like l.kvx -o o.kvx", 0, "o.kvx=link", ""},  // list over list
        {__LINE__, "true", "K export l.kvx -o -", 0, "-=none", "position,name,"},
        {__LINE__, "true", "K export l.kvx --format vdr --source S19.2E -o -", 0, "-=none", ":S19.2E:"},
        {__LINE__, "true", "K sort l.kvx --by sid -o -", 2, "-=none", "Standard output takes text"},
        {__LINE__, "K export l.kvx -o l.csv", "K import l.csv -o -", 2, "-=none", "Standard output takes text"},
        {__LINE__, "true", "K export l.kvx --format enigma2 --source S19.2E -o -", 2, "-=none", ""},
    };
    for (const Case& c : cases) {
        Scratch s;
        if (s.run(c.setup) != 0) {
            std::printf("line %d: \"%s\" cannot be done here (root only): skipped\n", c.line, c.setup.c_str());
            continue;
        }
        const std::map<std::string, Bytes> before = s.files();
        EXPECT_EQ(s.run(c.run), c.status) << "line " << c.line << ": " << s.err();
        EXPECT_TRUE(printable(s.err())) << "line " << c.line;
        EXPECT_NE((s.err() + s.out()).find(c.said), Bytes::npos) << "line " << c.line << ": " << s.err();
        // Where the sorted list went: the file a link names, else the list itself.
        std::map<std::string, Bytes> changed;
        if (c.status == 0 && std::string(c.run).starts_with("K sort"))
            changed[fs::exists(s.path / "r") ? "r/l.kvx" : "l.kvx"] = sorted;
        if (c.setup.starts_with("mkdir r")) changed["l.kvx"] = changed["r/l.kvx"];
        expectAfter(s, before, c.kinds, changed, c.line);
    }
}

// Inputs that must neither hang kvx, nor be taken for what they are not, nor reach the terminal raw,
// nor cost a list: after each, every file is as it was and no other file exists.
TEST(KvxReads, RefusesWhatIsNoListItReadsAndNeverPrintsControlBytes) {
    const std::string e2 = "K export l.kvx --format enigma2 --source S19.2E -o e && rm e/userbouquet.kvx.tv && ";
    const std::string csv = "K export l.kvx -o c.csv && ";
    const std::string conf =
        "printf 'Bad\\033]2\\007Name and a name far too long;Provider\\033[2J, far too long too:"
        "11778:V:S19.2E:27500:257:258:0:0:101:1:1:0\\nx\\n' > c.conf";
    // A channel on another transponder, with another service and name than any of the sample's.
    const std::string stranger =
        "head -c 442 l.kvx > r.kvx && printf '\\001\\0\\0\\0' | dd of=r.kvx conv=notrunc "
        "2>/dev/null && printf '\\356\\356\\340\\356' | dd of=r.kvx bs=1 seek=12 conv=notrunc "
        "2>/dev/null && printf 'Nobody\\0' | dd of=r.kvx bs=1 seek=53 conv=notrunc 2>/dev/null";
    const std::vector<Case> cases = {
        {__LINE__, "mkfifo f", "K check f", 2, "", "FIFO"},
        {__LINE__, "mkfifo f", "K import f -o n.kvx", 2, "n.kvx=none", "FIFO"},
        {__LINE__, "mkfifo f", "K order l.kvx --like f", 2, "", "FIFO"},
        {__LINE__, "true", "K check /dev/zero", 2, "", "character device"},
        {__LINE__, "ln -s /dev/zero z.kvx", "K diff l.kvx z.kvx", 2, "", "character device"},
        {__LINE__, "ln -s /dev/zero c.txt", "K check l.kvx --categories c.txt", 2, "", "character device"},
        {__LINE__, e2 + "mkfifo e/userbouquet.kvx.tv", "K import e -o n.kvx", 2, "n.kvx=none",
         "userbouquet.kvx.tv: This is a FIFO"},
        {__LINE__, e2 + "ln -s /dev/zero e/userbouquet.kvx.tv", "K import e -o n.kvx", 2, "n.kvx=none",
         "userbouquet.kvx.tv: This is a character device"},
        {__LINE__, "truncate -s 7242330 b.kvx", "K check b.kvx", 2, "", "16385 records"},
        {__LINE__, "truncate -s 67108865 b.csv", "K import b.csv -o n.kvx", 2, "n.kvx=none", "64 MB"},
        {__LINE__, csv + "printf '\\357\\273\\277' | cat - c.csv > r.csv",
         "K order l.kvx --like r.csv --unmatched drop", 0, "",
         "not found: 0 of 39"},  // ordered like itself: the same bytes
        {__LINE__, csv + "printf '\\357\\273\\277' | cat - c.csv > r.csv", "K import r.csv -o l.kvx", 0, "", ""},
        {__LINE__, csv + "{ printf '\\377\\376'; iconv -f latin1 -t UTF-16LE c.csv; } > r.csv",
         "K order l.kvx --like r.csv", 2, "", "UTF-16"},
        {__LINE__, csv + "{ printf '\\376\\377'; iconv -f latin1 -t UTF-16BE c.csv; } > r.csv",
         "K import r.csv -o n.kvx", 2, "n.kvx=none", "UTF-16"},
        {__LINE__, "printf '\\377\\376\\0\\0p\\0\\0\\0' > r.csv", "K import r.csv -o n.kvx", 2, "n.kvx=none", "UTF-32"},
        {__LINE__, "printf '\\0\\0\\376\\377' > r.csv", "K order l.kvx --like r.csv", 2, "", "UTF-32"},
        {__LINE__, "cp l.kvx r.kvx && echo x >> r.kvx", "K order l.kvx --like r.kvx", 2, "",
         "not whole 442-byte records"},
        {__LINE__, "true", "K import l.kvx -o n.kvx", 2, "n.kvx=none", "a kvx list already"},
        {__LINE__, "{ printf 'aaaa\\033[2J'; head -c 438 /dev/zero | tr '\\0' a; echo; } > r.txt",
         "K order l.kvx --like r.txt", 2, "",
         "\"aaaa\\x1B[2Jaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...\""},
        {__LINE__, stranger, "K order l.kvx --like r.kvx --unmatched drop", 2, "", "no channel of l.kvx"},
        {__LINE__, stranger, "K order l.kvx --like r.kvx", 2, "", "no channel of l.kvx"},
        {__LINE__, csv + "head -n 1 c.csv > r.csv", "K import r.csv -o l.kvx", 2, "", "no channel"},
        {__LINE__, conf, "K import c.conf -o n.kvx", 2, "n.kvx=none", "\"Bad\\x1B]2\\x07Name and a name f"},
        {__LINE__, conf, "K import c.conf -o n.kvx", 2, "n.kvx=none", "\"Provider\\x1B[2J, far too long"},
        {__LINE__, "printf 'A;\\033[31m\\nB|@\\0' | dd of=l.kvx bs=1 seek=53 conv=notrunc 2>/dev/null",
         "K export l.kvx --format enigma2 --source S19.2E -o e && rm -r e", 0, "", "\"A;\\x1B[31m\\x0AB|@\""},
    };
    for (const Case& c : cases) {
        Scratch s;
        ASSERT_EQ(s.run(c.setup), 0) << "line " << c.line;
        const std::map<std::string, Bytes> before = s.files();
        EXPECT_EQ(s.run(c.run), c.status) << "line " << c.line << ": " << s.err();
        EXPECT_TRUE(printable(s.err())) << "line " << c.line << ": " << s.err();
        EXPECT_NE(s.err().find(c.said), Bytes::npos) << "line " << c.line << ": " << s.err();
        EXPECT_LT(largestChildKilobytes(), ChildMemoryBoundKilobytes) << "line " << c.line;
        expectAfter(s, before, c.kinds, {}, c.line);
    }
}

}  // namespace
