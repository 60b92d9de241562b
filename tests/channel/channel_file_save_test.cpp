// The safe save writes any size of file exactly, over a larger or smaller old file, and leaves no
// temporary file behind: sizes around the read-back's pieces and the system's pages, and none at all.
#include <gtest/gtest.h>

#include <cstddef>

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
