// The safe save writes any size of file exactly, over a larger or smaller old file, and leaves no
// temporary file behind: sizes around the read-back's pieces and the system's pages, and none at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "channel/channel_file.h"
#include "test_files.h"

namespace {

Bytes patterned(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    unsigned value = seed;
    for (unsigned char& byte : bytes) {
        value = value * 1103515245U + 12345U;
        byte = static_cast<unsigned char>(value >> 16);
    }
    return bytes;
}

TEST(SaveBytes, WritesEverySizeExactlyOverAnOldFile) {
    const std::size_t sizes[] = {0, 1, 441, 4095, 4096, 4097, 65535, 65536, 65537, (std::size_t{1} << 20) + 3};
    const std::size_t oldSizes[] = {0, 5000, 70000};
    ScratchFolder folder;
    const std::string target = folder.file("list.kvx");
    unsigned seed = 1;
    for (const std::size_t oldSize : oldSizes) {
        for (const std::size_t size : sizes) {
            ASSERT_TRUE(writeFile(target, patterned(oldSize, seed++)));
            const Bytes bytes = patterned(size, seed++);
            const ChannelFile::FileResult result = ChannelFile::saveBytes(target.c_str(), bytes.data(), bytes.size());
            EXPECT_TRUE(result.ok) << size << " over " << oldSize << ": " << result.reason;
            EXPECT_EQ(readFile(target), bytes) << size << " over " << oldSize;
            EXPECT_EQ(folderEntries(folder.path), std::vector<std::string>{"list.kvx"}) << size << " over " << oldSize;
        }
    }
}

}  // namespace

// A file saved in pieces is the pieces in order, whatever their sizes (none, empty ones, pieces
// larger than the save writes at once); a save given up at any point leaves the old file as it was.
TEST(SaveInPieces, WritesThePiecesInOrderOrLeavesTheOldFile) {
    const std::vector<std::vector<std::size_t>> cuts = {
        {}, {0}, {1, 0, 441}, {65536, 3, 65537}, {(std::size_t{1} << 20) + 5, 7}, {4096, 4096, 4096, 0, 1}};
    ScratchFolder folder;
    const std::string target = folder.file("list.csv");
    const Bytes old = patterned(3000, 99);
    unsigned seed = 100;
    for (const std::vector<std::size_t>& pieces : cuts) {
        for (const bool giveUp : {false, true}) {
            ASSERT_TRUE(writeFile(target, old));
            Bytes whole;
            ASSERT_TRUE(ChannelFile::beginSave(target.c_str(), 0).ok);
            for (const std::size_t size : pieces) {
                const Bytes piece = patterned(size, seed++);
                whole.insert(whole.end(), piece.begin(), piece.end());
                const ChannelFile::FileResult result = ChannelFile::savePiece(piece.data(), piece.size());
                ASSERT_TRUE(result.ok) << result.reason;
            }
            if (giveUp) {
                ChannelFile::abandonSave();
                EXPECT_EQ(readFile(target), old) << pieces.size() << " pieces given up";
                EXPECT_FALSE(ChannelFile::finishSave().ok) << "nothing left to finish";
            } else {
                const ChannelFile::FileResult result = ChannelFile::finishSave();
                EXPECT_TRUE(result.ok) << result.reason;
                EXPECT_EQ(readFile(target), whole) << pieces.size() << " pieces";
            }
            EXPECT_EQ(folderEntries(folder.path), std::vector<std::string>{"list.csv"});
        }
    }
    EXPECT_FALSE(ChannelFile::savePiece("x", 1).ok) << "a piece with no save begun";
}

// Files saved as one are all replaced, or none is when one of them cannot be written (its folder is
// missing) or must not be (a folder holds its name); when one cannot be put in place (another
// program keeps it), those before it are replaced and the rest kept. No temporary file is left.
TEST(SaveFiles, ReplacesAllOrNoneOrThoseBeforeTheOneThatCannotBePutInPlace) {
    enum class Failure { MissingFolder, FolderInTheWay, CannotBePutInPlace };
    constexpr std::size_t Count = 4;
    for (std::size_t failing = 0; failing <= Count; ++failing) {  // failing == Count: none fails
        for (const Failure how : {Failure::MissingFolder, Failure::FolderInTheWay, Failure::CannotBePutInPlace}) {
            if (failing == Count && how != Failure::MissingFolder) continue;
            ScratchFolder folder;
            Unreplaceable kept;
            std::vector<std::string> paths;
            std::vector<Bytes> olds;
            std::vector<Bytes> news;
            std::vector<std::string> expectedEntries;
            for (std::size_t i = 0; i < Count; ++i) {
                const std::string name(1, static_cast<char>('a' + i));
                olds.push_back(patterned(100 + 7000 * i, static_cast<unsigned>(i)));
                news.push_back(patterned(70000 - 9000 * i, static_cast<unsigned>(50 + i)));
                if (i == failing && how == Failure::MissingFolder) {
                    paths.push_back(folder.file("missing") + Separator + name);
                    continue;
                }
                paths.push_back(folder.file(name));
                expectedEntries.push_back(name);
                if (i == failing && how == Failure::FolderInTheWay) {
                    ASSERT_TRUE(makeFolder(paths.back()));
                } else {
                    ASSERT_TRUE(writeFile(paths.back(), olds.back()));
                }
            }
            if (failing < Count && how == Failure::CannotBePutInPlace && !kept.make(paths[failing])) {
                std::printf("cannot keep a file from being replaced here (root only): case skipped\n");
                continue;
            }
            std::vector<ChannelFile::FileToSave> saves;
            for (std::size_t i = 0; i < Count; ++i) saves.push_back({paths[i].c_str(), news[i].data(), news[i].size()});
            ChannelFile::SaveProgress progress{};
            const ChannelFile::FileResult result = ChannelFile::saveFiles(saves.data(), saves.size(), progress);
            const bool inPlace = how == Failure::CannotBePutInPlace;
            const std::string what =
                std::to_string(failing) + " failing, case " + std::to_string(static_cast<int>(how));
            EXPECT_EQ(result.ok, failing == Count) << what << ": " << result.reason;
            if (failing < Count) {
                EXPECT_EQ(progress.failedFile, failing) << what;
                EXPECT_EQ(progress.replaced, inPlace ? failing : 0) << what;
            }
            for (std::size_t i = 0; i < Count; ++i) {
                if (i == failing && how != Failure::CannotBePutInPlace) continue;
                const bool replaced = failing == Count || (inPlace && i < failing);
                EXPECT_EQ(readFile(paths[i]), replaced ? news[i] : olds[i]) << what << ", file " << i;
            }
            std::vector<std::string> entries = folderEntries(folder.path);
            std::sort(entries.begin(), entries.end());
            EXPECT_EQ(entries, expectedEntries) << what;
        }
    }
}
