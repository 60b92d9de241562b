#pragma once
// The editor's tests on the shared main dialog fixture: channel files written into the test's
// folder, the commands pressed as the buttons send them, and the channel list read back.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/channel/test_files.h"  // readFile, writeFile

#include "channel/channel_record.h"
#include "tests/support/main_dialog_fixture.h"

// A made-up channel whose fields all survive a trip through the form unchanged (its category is
// one of the fixture's three).
ChannelRecord testChannel(int number, const char* name);

// The bytes of a kvx file holding these records.
std::vector<unsigned char> fileBytes(const std::vector<ChannelRecord>& records);

// True for the main dialog, which the window answerer must leave alone.
bool isMainDialog(HWND window);

class EditorTest : public MainDialogFixture {
protected:
    // Writes a kvx file of these records in the test's folder and returns its full path.
    std::string writeChannelFile(const char* name, const std::vector<ChannelRecord>& records);

    // Presses Open and chooses path in the real chooser, which must then open it without a word.
    void openThroughChooser(const std::string& path);

    // A button click or menu item (code 0), or a notification, as the control sends it.
    void command(int id, int code = 0);
    void selectChannel(int index);  // as a click does: the selection, then the list's notification
    // The close box: the system command, then the default handling the dialog procedure lets run.
    void pressCloseBox();
    // Delivers waiting messages; true if a quit message was among them since the test began.
    bool quitRequested();

    std::vector<std::string> listItems() const;
    int listSelection() const;
    HWND item(int id) const { return GetDlgItem(dialog, id); }
};
