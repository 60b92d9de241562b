#pragma once
// The real main dialog for tests: created from template IDD_MAIN with the real mainDialogProc, but
// modeless (CreateDialogParamA) so that the test keeps control, in a fresh temporary current directory
// that holds the Category.txt the test asks for (or none). Module state is put back to what a fresh
// start has: empty table, no selection, zero buffer, no file loaded.
//
// A missing Category.txt makes the start-up show its error box; the fixture answers it with OK and
// records its caption and text. A watchdog closes any other window that would block start-up.

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

// The Category.txt most tests start with: three categories at positions 0, 1 and 2.
inline constexpr const char* ThreeCategories = "News\nSport\nMusic\n";

class MainDialogFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The bytes of Category.txt, written exactly; std::nullopt for no file at all. Tests override
    // this to start with another list.
    virtual std::optional<std::string> categoryFile() const { return std::string(ThreeCategories); }

    // Full path of a file in the test's temporary current directory.
    std::string pathOf(const char* name) const;

    HWND dialog = nullptr;
    std::string directory;              // the temporary current directory, without a trailing '\'
    int startupMessageBoxes = 0;        // message boxes shown while the dialog started
    std::string startupMessageCaption;  // caption and text of the last of them
    std::string startupMessageText;
    bool quitPosted = false;  // a quit message reached pumpMessages

    // Delivers every waiting message of this thread, through the dialog's keyboard handling.
    void pumpMessages();

private:
    std::string previousDirectory_;
};

// --- Driving controls of the main dialog as a user would ---

// Sets an edit's text as a paste does: the edit reports EN_CHANGE to the dialog before this returns.
void setEditText(int id, const char* text);

// Types text into an edit character by character (WM_CHAR), after its current text; a number field
// refuses what is not a digit.
void typeIntoEdit(int id, const char* text);

// Picks item index of a drop-down list as a user's pick does: the selection, then CBN_SELCHANGE.
void chooseComboItem(int id, int index);

// Selects item index of the channel list as a click does: the selection, then LBN_SELCHANGE.
void chooseListItem(int id, int index);

// --- Reading controls ---

std::string controlText(int id);
int comboSelection(int id);  // -1 for none
int comboCount(int id);
int listViewRowCount(int id);
std::string listViewCell(int id, int row, int column);
