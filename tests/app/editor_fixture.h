#pragma once
// The real main dialog, created modelessly from the real template with the real dialog procedure,
// in a fresh temporary folder that is the current directory and holds a Category.txt. Channel
// files for a test are written there too.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/channel_record.h"

// Categories every editor test starts with, and the number of them.
extern const char* const TestCategories;
inline constexpr int TestCategoryCount = 5;

// A made-up channel whose fields all survive a trip through the form unchanged.
ChannelRecord testChannel(int number, const char* name);

// The bytes of a kvx file holding these records.
std::vector<unsigned char> fileBytes(const std::vector<ChannelRecord>& records);

std::vector<unsigned char> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// True for the main dialog, which the window answerer must leave alone.
bool isMainDialog(HWND window);

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog; categories is written as Category.txt first unless it is null.
    void createDialog(const char* categories = TestCategories);

    // Full path of a file in the test's folder.
    std::string pathOf(const char* name) const;

    // Writes a kvx file of these records in the test's folder and returns its full path.
    std::string writeChannelFile(const char* name, const std::vector<ChannelRecord>& records);

    // Presses Open and chooses path in the real chooser; the answerer must be set up by the caller
    // when further windows are expected, so this only covers the plain case.
    void openThroughChooser(const std::string& path);

    void command(int id, int code = 0);
    void selectChannel(int index);  // as a click does: selection, then the list's notification
    void setText(int id, const char* text);
    std::string text(int id) const;
    std::vector<std::string> listItems() const;
    int listSelection() const;
    HWND item(int id) const { return GetDlgItem(dialog_, id); }

    HWND dialog_ = nullptr;
    std::string folder_;
    std::string previousFolder_;
};
