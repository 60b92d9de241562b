// The sample list of examples/ in the real main dialog with the examples' Category.txt: every
// channel shows in the form and reads back from it unchanged, so a user who edits one field of a
// sample channel changes only that field; saving after that reproduces the sample byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "channel/channel_table.h"
#include "form/record_form.h"
#include "resources/resource_ids.h"
#include "tests/app/editor_fixture.h"
#include "tests/support/window_answerer.h"

namespace {

// The build hands over a Unix path; Wine shows the Unix root as drive Z:.
std::string examplePath(const char* name) {
    std::string path = std::string(VESSALY_EXAMPLES_DIR) + "/" + name;
    if (path[0] == '/') path = "Z:" + path;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

class SampleListTest : public EditorTest {
protected:
    std::optional<std::string> categoryFile() const override {
        const std::vector<unsigned char> bytes = readFile(examplePath("Category.txt"));
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(SampleListTest, EveryChannelShowsAndReadsBackUnchanged) {
    const std::vector<unsigned char> sample = readFile(examplePath("sample.kvx"));
    ASSERT_FALSE(sample.empty());
    ASSERT_EQ(sample.size() % sizeof(ChannelRecord), 0u);
    const int channels = static_cast<int>(sample.size() / sizeof(ChannelRecord));
    const std::string copy = pathOf("sample.kvx");
    ASSERT_TRUE(writeFile(copy, sample));
    const int categories = comboCount(IDC_CATEGORY);
    ASSERT_GE(categories, 12);

    openThroughChooser(copy);
    ASSERT_EQ(ChannelTable::count, channels);
    const std::vector<std::string> names = listItems();
    for (int i = 0; i < channels; ++i) {
        ChannelRecord original;
        std::memcpy(&original, sample.data() + i * sizeof original, sizeof original);
        selectChannel(i);
        EXPECT_EQ(controlText(IDC_NAME), names[i]) << i;
        EXPECT_LT(original.category, categories) << names[i];
        EXPECT_EQ(comboSelection(IDC_CATEGORY), original.category) << names[i];
        EXPECT_GT(listViewRowCount(IDC_STREAM_LIST), 0) << names[i];
        // Any edit reads the whole form back into the buffer.
        setEditText(IDC_NAME, names[i].c_str());
        EXPECT_EQ(std::memcmp(&CurrentRecord, &original, sizeof original), 0) << names[i];
        command(IDC_MODIFY);
    }

    const std::string target = pathOf("resaved.kvx");
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Save kvx file", target.c_str());
    command(IDC_SAVE);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_EQ(readFile(target), sample);
}

}  // namespace
