// The category list as the real main dialog loads it at start-up from the current folder's
// Category.txt, through the real combo box.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/main_dialog_fixture.h"

namespace {

struct CategoryCase {
    const char* what;
    std::string file;
    std::vector<std::string> items;
};

void PrintTo(const CategoryCase& c, std::ostream* out) { *out << c.what; }

std::vector<CategoryCase> categoryCases() {
    const std::string line259(259, 'a');
    const std::string line258(258, 'c');
    const std::string line300(300, 'b');
    return {
        {"three lines ending in a line feed", "News\nSport\nMusic\n", {"News", "Sport", "Music"}},
        {"three lines, the last without a line feed", "News\nSport\nMusic", {"News", "Sport", "Music"}},
        {"an empty file", "", {}},
        {"an empty line in the middle", "News\n\nMusic\n", {"News", "", "Music"}},
        {"CR LF line ends", "News\r\nSport\r\nMusic\r\n", {"News", "Sport", "Music"}},
        {"a line of exactly 259 characters", line259 + "\nNext\n", {line259, "", "Next"}},
        // The CR of a CR LF is gone before the 259 are counted, so the line fits in one read.
        {"258 characters and CR LF", line258 + "\r\nNext\r\n", {line258, "Next"}},
        {"a line longer than 259 characters", line300 + "\n", {std::string(259, 'b'), std::string(41, 'b')}},
        {"8-bit names handed over unchanged",
         "Sp\xE9"
         "cial\nKult\xFCr\n",
         {"Sp\xE9"
          "cial",
          "Kult\xFCr"}},
        {"one lone line end", "\n", {""}},
    };
}

class CategoryListTest : public MainDialogFixture, public ::testing::WithParamInterface<CategoryCase> {
protected:
    std::optional<std::string> categoryFile() const override { return GetParam().file; }

    std::vector<std::string> categoryItems() const {
        std::vector<std::string> items;
        const HWND combo = GetDlgItem(dialog, IDC_CATEGORY);
        const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char value[300] = {};
            if (SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(sizeof value)) {
                items.push_back("<too long>");
                continue;
            }
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(value));
            items.push_back(value);
        }
        return items;
    }
};

TEST_P(CategoryListTest, OneItemPerLineInFileOrder) {
    const CategoryCase& c = GetParam();
    EXPECT_EQ(startupMessageBoxes, 0) << "a present file is never reported: " << startupMessageText;
    EXPECT_EQ(categoryItems(), c.items) << c.what;
    EXPECT_EQ(comboSelection(IDC_CATEGORY), CB_ERR) << c.what;
}

INSTANTIATE_TEST_SUITE_P(CategoryFiles, CategoryListTest, ::testing::ValuesIn(categoryCases()));

class MissingCategoryFileTest : public MainDialogFixture {
protected:
    std::optional<std::string> categoryFile() const override { return std::nullopt; }
};

// The real message box is answered by the fixture while the dialog starts.
TEST_F(MissingCategoryFileTest, IsReportedOnceAndStartUpContinues) {
    EXPECT_EQ(startupMessageBoxes, 1);
    EXPECT_EQ(startupMessageCaption, "Error");
    EXPECT_EQ(startupMessageText, "Category.txt not found!");
    EXPECT_EQ(comboCount(IDC_CATEGORY), 0);
    // The rest of the start-up still happened.
    EXPECT_EQ(comboCount(IDC_POLARITY), 2);
    EXPECT_EQ(comboCount(IDC_SERVICE_TYPE), 3);
    EXPECT_TRUE(IsWindowVisible(dialog));
}

using StartUpTest = MainDialogFixture;

TEST_F(StartUpTest, FillsTheFixedListsWithNothingSelected) {
    const HWND polarity = GetDlgItem(dialog, IDC_POLARITY);
    const HWND serviceType = GetDlgItem(dialog, IDC_SERVICE_TYPE);
    char value[64] = {};
    ASSERT_EQ(comboCount(IDC_POLARITY), 2);
    SendMessageA(polarity, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(value));
    EXPECT_STREQ(value, "Horizontal [Left]");
    SendMessageA(polarity, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(value));
    EXPECT_STREQ(value, "Vertical [Right]");
    const char* types[] = {"Data", "TV", "Radio"};
    ASSERT_EQ(comboCount(IDC_SERVICE_TYPE), 3);
    for (int i = 0; i < 3; ++i) {
        SendMessageA(serviceType, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(value));
        EXPECT_STREQ(value, types[i]);
    }
    EXPECT_EQ(comboCount(IDC_CATEGORY), 3);
    for (int id : {IDC_POLARITY, IDC_SERVICE_TYPE, IDC_CATEGORY}) EXPECT_EQ(comboSelection(id), CB_ERR) << id;
    for (int id : {IDC_NAME, IDC_PROVIDER, IDC_FREQUENCY, IDC_SID, IDC_AC3}) EXPECT_EQ(controlText(id), "") << id;
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_CHANNEL_LIST), LB_GETCOUNT, 0, 0), 0);
}

}  // namespace
