// What a save writes over: only a regular file or a new name, through a symbolic link to the file
// it names, keeping the old file's permissions; everything else is refused and left as it was.
// Each case is made for real on the system the test runs on, and checked by what is on the disk
// afterwards: the kind of each name, its permissions, its bytes, and no temporary file left.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "channel/channel_file.h"
#include "tests/channel/test_files.h"
#include "tests/support/file_kind.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

const Bytes Old = randomRecords(3, 40);
const Bytes New = randomRecords(2, 41);

#ifndef _WIN32

// Each case: a shell line that makes the names in a folder holding the old list as "old" (0644),
// whether the save of "target" succeeds, and each name's kind afterwards, "name=kind" apart by
// spaces; where the new bytes must be ("" for nowhere). Every other file keeps its bytes.
struct TargetCase {
    const char* make;
    bool saved;
    const char* kinds;
    const char* savedIn;
};

TEST(SaveTarget, WritesOnlyOverARegularFileOrANewNameAndKeepsWhatTheOldFileWas) {
    const mode_t mask = umask(022);
    const TargetCase cases[] = {
        {"true", true, "target=file_0644", "target"},  // a new file, as the umask of 022 makes it
        {"mv old target && chmod 600 target", true, "target=file_0600", "target"},
        {"mv old target && chmod 2640 target", true, "target=file_2640", "target"},  // owner set before the mode
        {"mv old target && chmod 444 target", false, "target=file_0444", ""},
        {"mkdir d && mv old d/list && ln -s d/list target", true, "target=link d/list=file_0644", "d/list"},
        {"chmod 400 old && ln -s old middle && ln -s middle target", false, "target=link middle=link old=file_0400",
         ""},
        {"ln -s gone target", false, "target=link gone=none", ""},
        {"mkfifo target", false, "target=fifo", ""},
        {"mknod target c 1 3", false, "target=device", ""},  // root only
        {"mkdir target", false, "target=folder", ""},
        {"ln old target", false, "target=file_0644 old=file_0644", ""},
    };
    for (const TargetCase& c : cases) {
        ScratchFolder folder;
        ASSERT_TRUE(writeFile(folder.file("old"), Old));
        const std::string make = "cd '" + folder.path + "' && chmod 644 old && " + c.make;
        if (std::system(make.c_str()) != 0) {
            std::printf("\"%s\" cannot be done here (root only): skipped\n", c.make);
            continue;
        }
        std::vector<std::string> before = folderEntries(folder.path);
        const ChannelFile::FileResult result =
            ChannelFile::saveBytes(folder.file("target").c_str(), New.data(), New.size());
        EXPECT_EQ(result.ok, c.saved) << c.make << ": " << result.reason;
        EXPECT_EQ(result.reason[0] != '\0', !c.saved) << c.make;
        std::istringstream kinds(c.kinds);
        for (std::string pair; kinds >> pair;) {
            const std::size_t is = pair.find('=');
            EXPECT_EQ(kindOf(folder.file(pair.substr(0, is)).c_str()), pair.substr(is + 1)) << c.make;
        }
        if (c.savedIn[0] != '\0') {
            EXPECT_EQ(readFile(folder.file(c.savedIn)), New) << c.make;
        }
        for (const std::string& name : before) {
            if (kindOf(folder.file(name).c_str()).starts_with("file")) {
                EXPECT_EQ(readFile(folder.file(name)), name == c.savedIn ? New : Old) << c.make << ": " << name;
            }
        }
        std::vector<std::string> after = folderEntries(folder.path);
        if (c.saved && !std::count(before.begin(), before.end(), "target")) before.push_back("target");
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, before) << c.make << ": no temporary file is left";
    }
    umask(mask);
}

#else

// Windows has no links or modes to keep; what a save must not write over there is a device, a
// folder, a read-only file and a file with a second name.
TEST(SaveTarget, RefusesDevicesFoldersReadOnlyFilesAndSecondNames) {
    ScratchFolder folder;
    ASSERT_TRUE(writeFile(folder.file("read-only"), Old));
    ASSERT_TRUE(SetFileAttributesA(folder.file("read-only").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(makeFolder(folder.file("folder")));
    ASSERT_TRUE(writeFile(folder.file("linked"), Old));
    const bool linked = CreateHardLinkA(folder.file("second").c_str(), folder.file("linked").c_str(), nullptr) != 0;
    ASSERT_TRUE(writeFile(folder.file("plain"), Old));
    const struct {
        std::string path;
        bool saved;
        bool isFile;
    } cases[] = {
        {"NUL", false, false},
        {folder.file("read-only"), false, true},
        {folder.file("folder"), false, false},
        {folder.file("linked"), !linked, true},
        {folder.file("plain"), true, true},
        {folder.file("new"), true, true},
    };
    for (const auto& c : cases) {
        const Bytes before = readFile(c.path);
        const ChannelFile::FileResult result = ChannelFile::saveBytes(c.path.c_str(), New.data(), New.size());
        EXPECT_EQ(result.ok, c.saved) << c.path << ": " << result.reason;
        if (c.isFile) {
            EXPECT_EQ(readFile(c.path), c.saved ? New : before) << c.path;
        }
    }
    EXPECT_NE(GetFileAttributesA(folder.file("folder").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    if (linked) {
        EXPECT_EQ(readFile(folder.file("second")), Old);
    }
    SetFileAttributesA(folder.file("read-only").c_str(), FILE_ATTRIBUTE_NORMAL);
    std::vector<std::string> entries = folderEntries(folder.path);
    std::sort(entries.begin(), entries.end());
    const std::vector<std::string> expected =
        linked ? std::vector<std::string>{"folder", "linked", "new", "plain", "read-only", "second"}
               : std::vector<std::string>{"folder", "linked", "new", "plain", "read-only"};
    EXPECT_EQ(entries, expected) << "no temporary file is left";
}

#endif

}  // namespace
