// The safe save writes any size of file exactly, over a larger or smaller old file, and leaves no
// temporary file behind: sizes around the read-back's pieces and the system's pages, and none at all.
#include <gtest/gtest.h>

#include <cstddef>
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
                EXPECT_FALSE(ChannelFile::finishSave(target.c_str()).ok) << "nothing left to finish";
            } else {
                const ChannelFile::FileResult result = ChannelFile::finishSave(target.c_str());
                EXPECT_TRUE(result.ok) << result.reason;
                EXPECT_EQ(readFile(target), whole) << pieces.size() << " pieces";
            }
            EXPECT_EQ(folderEntries(folder.path), std::vector<std::string>{"list.csv"});
        }
    }
    EXPECT_FALSE(ChannelFile::savePiece("x", 1).ok) << "a piece with no save begun";
}
