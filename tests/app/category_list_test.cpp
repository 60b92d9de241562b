// The category list as the real main dialog loads it at start-up from the current folder's
// Category.txt, through the real combo box.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/app/editor_fixture.h"
#include "tests/support/window_answerer.h"

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
        {"8-bit names handed over unchanged", "Sp\xE9" "cial\nKult\xFCr\n", {"Sp\xE9" "cial", "Kult\xFCr"}},
        {"one lone line end", "\n", {""}},
    };
}

class CategoryListTest : public MainDialogTest, public ::testing::WithParamInterface<CategoryCase> {
protected:
    std::vector<std::string> categoryItems() const {
        std::vector<std::string> items;
        const HWND combo = item(IDC_CATEGORY);
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
    WindowAnswerer answerer(isMainDialog);  // no message is expected: a present file is never reported
    writeFileBytes(pathOf("Category.txt"), c.file);
    createDialog(nullptr);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_EQ(categoryItems(), c.items) << c.what;
    EXPECT_EQ(SendMessageA(item(IDC_CATEGORY), CB_GETCURSEL, 0, 0), CB_ERR) << c.what;
}

INSTANTIATE_TEST_SUITE_P(CategoryFiles, CategoryListTest, ::testing::ValuesIn(categoryCases()));

using MissingCategoryFileTest = MainDialogTest;

TEST_F(MissingCategoryFileTest, IsReportedOnceAndStartUpContinues) {
    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBox("Error", "Category.txt not found!", IDOK);
    createDialog(nullptr);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_EQ(SendMessageA(item(IDC_CATEGORY), CB_GETCOUNT, 0, 0), 0);
    // The rest of the start-up still happened.
    EXPECT_EQ(SendMessageA(item(IDC_POLARITY), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(item(IDC_SERVICE_TYPE), CB_GETCOUNT, 0, 0), 3);
    EXPECT_TRUE(IsWindowVisible(dialog_));
}

using StartUpTest = MainDialogTest;

TEST_F(StartUpTest, FillsTheFixedListsWithNothingSelected) {
    createDialog();
    const HWND polarity = item(IDC_POLARITY);
    const HWND serviceType = item(IDC_SERVICE_TYPE);
    char value[64] = {};
    SendMessageA(polarity, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(value));
    EXPECT_STREQ(value, "Horizontal [Left]");
    SendMessageA(polarity, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(value));
    EXPECT_STREQ(value, "Vertical [Right]");
    const char* types[] = {"Data", "TV", "Radio"};
    EXPECT_EQ(SendMessageA(serviceType, CB_GETCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; ++i) {
        SendMessageA(serviceType, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(value));
        EXPECT_STREQ(value, types[i]);
    }
    EXPECT_EQ(SendMessageA(item(IDC_CATEGORY), CB_GETCOUNT, 0, 0), TestCategoryCount);
    for (int id : {IDC_POLARITY, IDC_SERVICE_TYPE, IDC_CATEGORY}) {
        EXPECT_EQ(SendMessageA(item(id), CB_GETCURSEL, 0, 0), CB_ERR) << id;
    }
    for (int id : {IDC_NAME, IDC_PROVIDER, IDC_FREQUENCY, IDC_SID, IDC_AC3}) EXPECT_EQ(text(id), "") << id;
    EXPECT_EQ(SendMessageA(item(IDC_CHANNEL_LIST), LB_GETCOUNT, 0, 0), 0);
}

}  // namespace
