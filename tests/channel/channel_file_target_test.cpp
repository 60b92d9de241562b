// What a save writes over: only a regular file or a new name, through a symbolic link to the file
// it names, keeping the old file's permissions; everything else is refused and left as it was.
// Each case is made for real on the system the test runs on, and checked by what is on the disk
// afterwards: the kind of each name, its permissions, its bytes, and no temporary file left.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "channel/channel_file.h"
#include "tests/channel/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

const Bytes Old = randomRecords(3, 40);
const Bytes New = randomRecords(2, 41);

#ifndef _WIN32
// "file 0640", "link", "fifo", "device", "folder", "none": what a name is, without following it.
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

unsigned currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::string newFileKind() {
    char mode[16];
    std::snprintf(mode, sizeof mode, "file %04o", 0666 & ~currentUmask());
    return mode;
}

// The old list at path with the given permissions.
bool oldFile(const std::string& path, mode_t mode) { return writeFile(path, Old) && chmod(path.c_str(), mode) == 0; }

struct TargetCase {
    const char* what;
    // Makes "target" (and any other name) in the folder; false when this system cannot make it.
    bool (*make)(const ScratchFolder& folder);
    bool saved;
    // After the save: each name's kind, and the bytes of those that are files ("" for none).
    std::vector<std::pair<const char*, std::string>> kinds;
    std::vector<std::pair<const char*, const Bytes*>> bytes;
};

TEST(SaveTarget, WritesOnlyOverARegularFileOrANewNameAndKeepsWhatTheOldFileWas) {
    const std::string created = newFileKind();
    const TargetCase cases[] = {
        {"a new name", [](const ScratchFolder&) { return true; }, true, {{"target", created}}, {{"target", &New}}},
        {"a file only its owner may read and write",
         [](const ScratchFolder& f) { return oldFile(f.file("target"), 0600); },
         true,
         {{"target", "file 0600"}},
         {{"target", &New}}},
        {"a file its group may read, with the set-group-ID bit",
         [](const ScratchFolder& f) { return oldFile(f.file("target"), 02640); },
         true,
         {{"target", "file 2640"}},
         {{"target", &New}}},
        {"a read-only file",
         [](const ScratchFolder& f) { return oldFile(f.file("target"), 0444); },
         false,
         {{"target", "file 0444"}},
         {{"target", &Old}}},
        {"a symbolic link to a file in another folder",
         [](const ScratchFolder& f) {
             return makeFolder(f.file("real")) && oldFile(f.file("real/list.kvx"), 0640) &&
                    symlink("real/list.kvx", f.file("target").c_str()) == 0;
         },
         true,
         {{"target", "link"}, {"real/list.kvx", "file 0640"}},
         {{"real/list.kvx", &New}}},
        {"a symbolic link to a link to a read-only file",
         [](const ScratchFolder& f) {
             return oldFile(f.file("real"), 0400) && symlink("real", f.file("middle").c_str()) == 0 &&
                    symlink("middle", f.file("target").c_str()) == 0;
         },
         false,
         {{"target", "link"}, {"middle", "link"}, {"real", "file 0400"}},
         {{"real", &Old}}},
        {"a symbolic link to nothing",
         [](const ScratchFolder& f) { return symlink("gone", f.file("target").c_str()) == 0; },
         false,
         {{"target", "link"}, {"gone", "none"}},
         {}},
        {"a FIFO",
         [](const ScratchFolder& f) { return mkfifo(f.file("target").c_str(), 0644) == 0; },
         false,
         {{"target", "fifo"}},
         {}},
        {"a character device (root only)",
         [](const ScratchFolder& f) { return mknod(f.file("target").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
         false,
         {{"target", "device"}},
         {}},
        {"a folder",
         [](const ScratchFolder& f) { return makeFolder(f.file("target")); },
         false,
         {{"target", "folder"}},
         {}},
        {"a file with a second name (hard link)",
         [](const ScratchFolder& f) {
             return oldFile(f.file("target"), 0644) && link(f.file("target").c_str(), f.file("other").c_str()) == 0;
         },
         false,
         {{"target", "file 0644"}, {"other", "file 0644"}},
         {{"target", &Old}, {"other", &Old}}},
    };
    for (const TargetCase& c : cases) {
        ScratchFolder folder;
        if (!c.make(folder)) {
            // Only root may make a device.
            if (geteuid() != 0 && std::string(c.what).find("root only") != std::string::npos) continue;
            ADD_FAILURE() << c.what << ": cannot be made here";
            continue;
        }
        std::vector<std::string> before = folderEntries(folder.path);
        const ChannelFile::FileResult result =
            ChannelFile::saveBytes(folder.file("target").c_str(), New.data(), New.size());
        EXPECT_EQ(result.ok, c.saved) << c.what << ": " << result.reason;
        if (!c.saved) {
            EXPECT_NE(result.reason[0], '\0') << c.what;
        }
        for (const auto& [name, kind] : c.kinds) EXPECT_EQ(kindOf(folder.file(name)), kind) << c.what << ", " << name;
        for (const auto& [name, bytes] : c.bytes)
            EXPECT_EQ(readFile(folder.file(name)), *bytes) << c.what << ", " << name;
        std::vector<std::string> after = folderEntries(folder.path);
        if (c.saved && before.empty()) before.push_back("target");
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, before) << c.what << ": no temporary file is left";
    }
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
