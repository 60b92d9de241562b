#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "channel/channel_table.h"
#include "tests/channel/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

class ChannelListFile : public ::testing::Test {
protected:
    ScratchFolder folder;

    // Writes bytes to name in the scratch folder and loads it; the load must succeed.
    void loadBytes(const Bytes& bytes, const char* name = "list.kvx") {
        ASSERT_TRUE(writeFile(folder.file(name), bytes));
        const ChannelTable::FileResult result = ChannelTable::load(folder.file(name).c_str());
        ASSERT_TRUE(result.ok) << result.reason;
    }
    void saveAs(const std::string& path) {
        const ChannelTable::FileResult result = ChannelTable::save(path.c_str());
        ASSERT_TRUE(result.ok) << result.reason;
    }
};

TEST_F(ChannelListFile, TrailingPieceIsDroppedAndSavedFileHoldsWholeRecordsOnly) {
    Bytes file = randomRecords(3, 1);
    file.insert(file.end(), 100, 0x77);
    loadBytes(file);
    EXPECT_EQ(ChannelTable::count, 3);
    saveAs(folder.file("saved.kvx"));
    const Bytes saved = readFile(folder.file("saved.kvx"));
    ASSERT_EQ(saved.size(), 1326u);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), file.begin()));
}

TEST_F(ChannelListFile, TakesAtMost16384Records) {
    const Bytes file = randomRecords(ChannelTable::Capacity + 1, 2);
    loadBytes(file);
    ASSERT_EQ(ChannelTable::count, 16384);
    saveAs(folder.file("saved.kvx"));
    const Bytes saved = readFile(folder.file("saved.kvx"));
    ASSERT_EQ(saved.size(), 16384u * ChannelRecordSize);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), file.begin()));
}

TEST_F(ChannelListFile, EmptyFileGivesEmptyTableAndSavingItEmptiesTheTarget) {
    loadBytes(randomRecords(4, 3), "four.kvx");
    loadBytes({}, "empty.kvx");
    EXPECT_EQ(ChannelTable::count, 0);
    saveAs(folder.file("four.kvx"));
    EXPECT_TRUE(fileExists(folder.file("four.kvx")));
    EXPECT_TRUE(readFile(folder.file("four.kvx")).empty());
}

TEST_F(ChannelListFile, ShortFileAfterLongOneLeavesOnlyItsOwnRecords) {
    loadBytes(randomRecords(10, 4), "ten.kvx");
    const Bytes two = randomRecords(2, 5);
    loadBytes(two, "two.kvx");
    ASSERT_EQ(ChannelTable::count, 2);
    saveAs(folder.file("ten.kvx"));
    EXPECT_EQ(readFile(folder.file("ten.kvx")), two);
}

// Random bytes everywhere, reserved bytes and texts without NUL included, come back unchanged,
// also when the file is saved over itself.
TEST_F(ChannelListFile, LoadThenSaveIsByteIdentical) {
    const Bytes file = randomRecords(300, 6);
    loadBytes(file);
    saveAs(folder.file("list.kvx"));
    EXPECT_EQ(readFile(folder.file("list.kvx")), file);
    ASSERT_TRUE(ChannelTable::load(folder.file("list.kvx").c_str()).ok);
    EXPECT_EQ(tableBytes(), file);
    EXPECT_EQ(folderEntries(folder.path).size(), 1u);  // no temporary file left behind
}

TEST_F(ChannelListFile, EditsMoveWholeRecords) {
    const Bytes file = randomRecords(5, 7);
    loadBytes(file);

    ChannelTable::remove(4);  // the last slot: only the count drops
    ASSERT_EQ(ChannelTable::count, 4);
    EXPECT_EQ(tableBytes(), Bytes(file.begin(), file.begin() + 4 * ChannelRecordSize));

    ChannelTable::remove(0);  // the first: everything moves down one slot, order kept
    ASSERT_EQ(ChannelTable::count, 3);
    EXPECT_EQ(tableBytes(), Bytes(file.begin() + ChannelRecordSize, file.begin() + 4 * ChannelRecordSize));

    const ChannelRecord fifth = recordAt(file, 4);
    ChannelTable::append(fifth);
    ChannelTable::replace(0, fifth);
    ChannelTable::replace(1, ChannelTable::slots[1]);
    ASSERT_EQ(ChannelTable::count, 4);
    EXPECT_EQ(std::memcmp(&ChannelTable::slots[3], &fifth, sizeof fifth), 0);
    EXPECT_EQ(std::memcmp(&ChannelTable::slots[0], &fifth, sizeof fifth), 0);
    EXPECT_EQ(std::memcmp(&ChannelTable::slots[1], &file[2 * ChannelRecordSize], ChannelRecordSize), 0);
}

TEST_F(ChannelListFile, NameAtCutsANameWithoutNulAt30Bytes) {
    Bytes file = randomRecords(2, 8);
    std::memset(&file[53], 'X', 30);
    file[83] = 'Y';  // the video PID right after the name
    std::memcpy(&file[ChannelRecordSize + 53], "BBC\0junk", 8);
    loadBytes(file);
    EXPECT_STREQ(ChannelTable::nameAt(0).text, std::string(30, 'X').c_str());
    EXPECT_STREQ(ChannelTable::nameAt(1).text, "BBC");
}

// The chooser hands over 8-bit paths in the system code page; they go to the system unchanged.
TEST_F(ChannelListFile, FolderAndFileNamesOutsideAsciiLoadAndSave) {
#ifdef _WIN32
    // Pick a name the current ANSI code page can spell: Cyrillic in 1251, Latin letters in 1252.
    const wchar_t* candidates[] = {L"\x041A\x0430\x043D\x0430\x043B\x044B", L"Kan\x00E4le-\x00E9t\x00E9"};
    std::wstring wideName;
    std::string name;
    for (const wchar_t* candidate : candidates) {
        char narrow[64];
        BOOL lossy = FALSE;
        const int length =
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, candidate, -1, narrow, sizeof narrow, nullptr, &lossy);
        if (length > 0 && !lossy) {
            wideName = candidate;
            name = narrow;
            break;
        }
    }
    if (name.empty()) GTEST_SKIP() << "ANSI code page " << GetACP() << " spells none of the test's names";
    std::cout << "[ INFO     ] ANSI code page " << GetACP() << '\n';
    // Wine stores such names only under a UTF-8 locale; without one even the wide calls fail.
    const std::wstring probe = std::wstring(folder.path.begin(), folder.path.end()) + L"\\" + wideName;
    if (!CreateDirectoryW(probe.c_str(), nullptr)) GTEST_SKIP() << "this system cannot store the name (locale?)";
    RemoveDirectoryW(probe.c_str());
#else
    const std::string name = "\xD0\x9A\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB\xD1\x8B";  // Cyrillic, UTF-8
#endif
    ASSERT_TRUE(std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; }));
    const std::string subfolder = folder.file(name);
    ASSERT_TRUE(makeFolder(subfolder));
    const std::string path = subfolder + Separator + name + ".kvx";
    const Bytes file = randomRecords(3, 9);
    ASSERT_TRUE(writeFile(path, file));
    ASSERT_TRUE(ChannelTable::load(path.c_str()).ok);
    ASSERT_EQ(ChannelTable::count, 3);
    ChannelTable::remove(1);
    saveAs(path);
    Bytes expected(file.begin(), file.begin() + ChannelRecordSize);
    expected.insert(expected.end(), file.begin() + 2 * ChannelRecordSize, file.end());
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(folderEntries(subfolder).size(), 1u);
#ifdef _WIN32
    // The saved file carries the intended letters, not a mangled spelling of them.
    std::wstring widePath(folder.path.begin(), folder.path.end());  // the scratch path is ASCII
    widePath += L"\\" + wideName + L"\\" + wideName + L".kvx";
    EXPECT_NE(GetFileAttributesW(widePath.c_str()), INVALID_FILE_ATTRIBUTES);
#endif
}

}  // namespace

// What a read reports beyond the records it stores: kvx's check names both kinds of dropped bytes.
TEST(ChannelFileRead, CountsWholeRecordsRecordsBeyondCapacityAndTrailingBytes) {
    constexpr std::size_t Capacity = 4;
    struct Case {
        std::size_t bytes;
        std::size_t records;
        std::uint64_t beyond;
        std::uint64_t trailing;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {441, 0, 0, 441},
        {442, 1, 0, 0},
        {3 * ChannelRecordSize + 100, 3, 0, 100},
        {4 * ChannelRecordSize, 4, 0, 0},
        {4 * ChannelRecordSize + 1, 4, 0, 1},
        {7 * ChannelRecordSize + 5, 4, 3, 5},
        {(4 + 200) * ChannelRecordSize, 4, 200, 0},  // more than one read's worth beyond
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        const Bytes file = randomRecords(static_cast<int>(c.bytes / 442 + 1), static_cast<unsigned>(c.bytes));
        ASSERT_TRUE(writeFile(folder.file("list.kvx"), Bytes(file.begin(), file.begin() + static_cast<long>(c.bytes))));
        ChannelRecord records[Capacity + 1]{};
        ChannelFile::ReadCounts counts{};
        const ChannelFile::FileResult result =
            ChannelFile::readRecords(folder.file("list.kvx").c_str(), "rb", records, Capacity, counts);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_TRUE(counts.opened);
        EXPECT_EQ(counts.records, c.records) << c.bytes << " bytes";
        EXPECT_EQ(counts.recordsBeyond, c.beyond) << c.bytes << " bytes";
        EXPECT_EQ(counts.trailingBytes, c.trailing) << c.bytes << " bytes";
        EXPECT_EQ(std::memcmp(records, file.data(), c.records * ChannelRecordSize), 0) << c.bytes << " bytes";
    }
}
