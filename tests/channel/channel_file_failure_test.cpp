// Files that cannot be read or written: the table and the user's file must survive every failure,
// and the failure must be reported. Each case makes the system refuse for real.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "channel/channel_table.h"
#include "tests/channel/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// What the user reads as the reason of a failure: the system's message for its error code on
// Windows, the C library's text for errno elsewhere.
std::string systemWords(int errnoValue, unsigned long windowsError) {
#ifdef _WIN32
    (void)errnoValue;
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, windowsError, 0, text,
                   sizeof text, nullptr);
    std::string words = text;
    words.erase(words.find_last_not_of(" \r\n") + 1);
    return words;
#else
    (void)windowsError;
    return std::strerror(errnoValue);
#endif
}

#ifdef _WIN32
// Holds path open for reading while denying others write access, as another program might.
struct HeldOpen {
    HANDLE handle;
    explicit HeldOpen(const std::string& path)
        : handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~HeldOpen() { release(); }
    void release() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};
#else
bool runningAsRoot() { return geteuid() == 0; }

// A mount made by the test for its own length. Root can write anywhere, so a read-only or full
// file system is the way to make the system refuse it.
struct Mount {
    std::string point;
    ~Mount() {
        if (!point.empty()) umount2(point.c_str(), MNT_DETACH);
    }
    bool tmpfs(const std::string& folder, const char* options) {
        if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options) != 0) return false;
        point = folder;
        return true;
    }
    bool makeReadOnly() { return mount("tmpfs", point.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") == 0; }
    bool bindOnItself(const std::string& path) {
        if (mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
        point = path;
        return true;
    }
};

// A folder holding name with old in it, on a file system that takes no writes (root), or
// without write permission (anyone else).
void makeUnwritableFolder(Mount& mount, const std::string& folder, const std::string& name, const Bytes& old) {
    ASSERT_TRUE(makeFolder(folder));
    if (runningAsRoot()) {
        if (!mount.tmpfs(folder, "size=64k")) GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        ASSERT_TRUE(writeFile(folder + "/" + name, old));
        ASSERT_TRUE(mount.makeReadOnly()) << std::strerror(errno);
    } else {
        ASSERT_TRUE(writeFile(folder + "/" + name, old));
        ASSERT_EQ(chmod((folder + "/" + name).c_str(), 0444), 0);
        ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    }
}
#endif

class FileFailure : public ::testing::Test {
protected:
    ScratchFolder folder;
    const Bytes table = randomRecords(4, 20);

    void SetUp() override {
        ASSERT_TRUE(writeFile(folder.file("table.kvx"), table));
        ASSERT_TRUE(ChannelTable::load(folder.file("table.kvx").c_str()).ok);
        ASSERT_EQ(ChannelTable::count, 4);
    }
    void expectTableAsItWas() {
        EXPECT_EQ(ChannelTable::count, 4);
        EXPECT_EQ(tableBytes(), table);
    }
    // The failed save reported itself, left the old file byte for byte, and left no other file.
    static void expectOldFileKept(const ChannelTable::FileResult& result, const std::string& inFolder,
                                  const std::string& name, const Bytes& old) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason[0], '\0');
        EXPECT_EQ(readFile(inFolder + Separator + name), old);
        EXPECT_EQ(folderEntries(inFolder), std::vector<std::string>{name});
    }
};

TEST_F(FileFailure, MissingFileLeavesTableAsItWas) {
    const ChannelTable::FileResult result = ChannelTable::load(folder.file("missing.kvx").c_str());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(std::string(result.reason).find(systemWords(ENOENT, 2 /* ERROR_FILE_NOT_FOUND */)), std::string::npos)
        << result.reason;
    expectTableAsItWas();
}

// Mode "r+b" needs write access, so a file that can only be read does not open.
TEST_F(FileFailure, FileThatCannotBeWrittenDoesNotLoadAndLeavesTableAsItWas) {
#ifdef _WIN32
    ASSERT_TRUE(writeFile(folder.file("held.kvx"), randomRecords(2, 21)));
    HeldOpen held(folder.file("held.kvx"));
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    const ChannelTable::FileResult result = ChannelTable::load(folder.file("held.kvx").c_str());
    // The user is told in the system's own words that another program holds the file.
    EXPECT_NE(std::string(result.reason).find(systemWords(EACCES, ERROR_SHARING_VIOLATION)), std::string::npos)
        << result.reason;
#else
    Mount mount;
    makeUnwritableFolder(mount, folder.file("locked"), "list.kvx", randomRecords(2, 21));
    if (IsSkipped() || HasFatalFailure()) return;
    const ChannelTable::FileResult result = ChannelTable::load(folder.file("locked/list.kvx").c_str());
#endif
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason[0], '\0');
    expectTableAsItWas();
}

// Reading this process's memory from address 0 fails with an I/O error instead of an end of file.
TEST_F(FileFailure, ReadErrorEmptiesTable) {
#ifdef _WIN32
    const char* path = "Z:\\proc\\self\\mem";
#else
    const char* path = "/proc/self/mem";
#endif
    std::FILE* probe = std::fopen(path, "r+b");
    if (probe == nullptr) GTEST_SKIP() << path << " cannot be opened here";
    std::fclose(probe);
    const ChannelTable::FileResult result = ChannelTable::load(path);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason[0], '\0');
    EXPECT_EQ(ChannelTable::count, 0);
}

TEST_F(FileFailure, TargetThatCannotBeReplacedKeepsOldFile) {
    const Bytes old = randomRecords(2, 22);
    ASSERT_TRUE(writeFile(folder.file("old.kvx"), old));
#ifdef _WIN32
    HeldOpen held(folder.file("old.kvx"));
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    const ChannelTable::FileResult result = ChannelTable::save(folder.file("old.kvx").c_str());
    held.release();
#else
    if (!runningAsRoot()) GTEST_SKIP() << "needs root: a file mounted on itself is what cannot be replaced here";
    Mount mount;
    if (!mount.bindOnItself(folder.file("old.kvx"))) GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    const ChannelTable::FileResult result = ChannelTable::save(folder.file("old.kvx").c_str());
#endif
    ASSERT_NE(std::strstr(result.reason, "Replacing"), nullptr) << result.reason;  // it failed at the last step
    std::remove(folder.file("table.kvx").c_str());
    expectOldFileKept(result, folder.path, "old.kvx", old);
    expectTableAsItWas();
}

TEST_F(FileFailure, FolderWithoutWritePermissionKeepsOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine runs the tests as root and has no folder permissions to take away";
#else
    const Bytes old = randomRecords(2, 23);
    Mount mount;
    makeUnwritableFolder(mount, folder.file("locked"), "old.kvx", old);
    if (IsSkipped() || HasFatalFailure()) return;
    const ChannelTable::FileResult result = ChannelTable::save(folder.file("locked/old.kvx").c_str());
    expectOldFileKept(result, folder.file("locked"), "old.kvx", old);
    expectTableAsItWas();
#endif
}

TEST_F(FileFailure, FullDiskKeepsOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "a small file system can only be mounted by the native test";
#else
    if (!runningAsRoot()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const Bytes old = randomRecords(2, 24);
    const Bytes big = randomRecords(1000, 25);  // 442,000 bytes for a 64 KiB file system
    ASSERT_TRUE(writeFile(folder.file("big.kvx"), big));
    ASSERT_TRUE(ChannelTable::load(folder.file("big.kvx").c_str()).ok);
    ASSERT_TRUE(makeFolder(folder.file("small")));
    Mount mount;
    if (!mount.tmpfs(folder.file("small"), "size=64k")) GTEST_SKIP() << "cannot mount: " << std::strerror(errno);
    ASSERT_TRUE(writeFile(folder.file("small/old.kvx"), old));
    const ChannelTable::FileResult result = ChannelTable::save(folder.file("small/old.kvx").c_str());
    EXPECT_NE(std::strstr(result.reason, std::strerror(ENOSPC)), nullptr) << result.reason;
    expectOldFileKept(result, folder.file("small"), "old.kvx", old);
    EXPECT_EQ(tableBytes(), big);
#endif
}

// The temporary file sits next to the target; where its name would pass the platform's 259
// characters the save must fail before writing anything.
TEST_F(FileFailure, NoRoomInThePathForTheTemporaryFileKeepsOldFile) {
    const std::string deep = folder.path + Separator + std::string(248 - folder.path.size() - 1, 'd');
    ASSERT_EQ(deep.size(), 248u);
    ASSERT_TRUE(makeFolder(deep));
    const Bytes old = randomRecords(1, 26);
    ASSERT_TRUE(writeFile(deep + Separator + "a.kvx", old));
    const ChannelTable::FileResult result = ChannelTable::save((deep + Separator + "a.kvx").c_str());
    expectOldFileKept(result, deep, "a.kvx", old);
    expectTableAsItWas();
}

TEST_F(FileFailure, MissingFolderCreatesNothing) {
    const ChannelTable::FileResult result = ChannelTable::save(folder.file("gone/list.kvx").c_str());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(std::string(result.reason).find(systemWords(ENOENT, 3 /* ERROR_PATH_NOT_FOUND */)), std::string::npos)
        << result.reason;
    EXPECT_EQ(folderEntries(folder.path), std::vector<std::string>{"table.kvx"});
    expectTableAsItWas();
}

}  // namespace
