// How the program ends: the close box with its save question, Exit, and the Enter and Escape
// commands that must not end anything. A quit shows as a quit message posted to the test's thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/editor_dialog.h"
#include "channel/channel_table.h"
#include "resources/resource_ids.h"
#include "tests/app/editor_fixture.h"
#include "tests/support/window_answerer.h"

namespace {

class CloseTest : public EditorTest {
protected:
    void openSample() {
        openThroughChooser(writeChannelFile("list.kvx", {testChannel(1, "Aurora One"), testChannel(2, "Borealis")}));
        ASSERT_TRUE(FileLoaded);
    }
};

TEST_F(CloseTest, BeforeAnyOpenQuitsAtOnceWithoutAQuestion) {
    WindowAnswerer answerer(isMainDialog);
    pressCloseBox();
    EXPECT_TRUE(quitRequested());
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    // Only the quit message ends the program: the dialog itself is never closed.
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(CloseTest, AfterOpenAsksAndCancelStaysOpen) {
    openSample();
    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBox("Vessaly", "Save changes?", IDCANCEL);
    pressCloseBox();
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_FALSE(quitRequested());
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(CloseTest, NoQuitsWithoutSaving) {
    openSample();
    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBox("Vessaly", "Save changes?", IDNO);
    pressCloseBox();
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_TRUE(quitRequested());
}

TEST_F(CloseTest, YesWithACancelledChooserStaysOpen) {
    openSample();
    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBox("Vessaly", "Save changes?", IDYES);
    answerer.expectChooserCancelled("Save kvx file");
    pressCloseBox();
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_FALSE(quitRequested());
}

TEST_F(CloseTest, YesSavesAndQuits) {
    openSample();
    selectChannel(0);
    command(IDC_DELETE);
    const std::string target = pathOf("closing.kvx");
    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBox("Vessaly", "Save changes?", IDYES);
    answerer.expectChooser("Save kvx file", target.c_str());
    pressCloseBox();
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_TRUE(quitRequested());
    EXPECT_EQ(readFile(target), fileBytes({testChannel(2, "Borealis")}));
}

// Nothing quits over unsaved work: a save that failed keeps the program open.
TEST_F(CloseTest, YesWithAFailedSaveStaysOpenAndKeepsTheOldFile) {
    openSample();
    const std::vector<unsigned char> oldBytes = fileBytes({testChannel(9, "Old")});
    const std::string target = writeChannelFile("held.kvx", {testChannel(9, "Old")});
    const HANDLE holder =
        CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBox("Vessaly", "Save changes?", IDYES);
    answerer.expectChooser("Save kvx file", target.c_str());
    answerer.expectMessageBoxStartingWith("Save kvx file", "", IDYES);  // the chooser's overwrite question
    answerer.expectMessageBoxStartingWith("Vessaly", "The channel list could not be saved to", IDOK);
    pressCloseBox();
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_FALSE(quitRequested());
    for (const WindowAnswerer::Seen& window : answerer.seen()) {
        if (window.caption == "Vessaly") {
            EXPECT_EQ(window.owner, dialog) << window.text;
        }
    }
    CloseHandle(holder);
    EXPECT_EQ(readFile(target), oldBytes);
    EXPECT_EQ(ChannelTable::count, 2);
}

// The question depends on the Open alone: a save in between does not silence it.
TEST_F(CloseTest, AfterASaveStillAsks) {
    openSample();
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Save kvx file", pathOf("copy.kvx").c_str());
    answerer.expectMessageBox("Vessaly", "Save changes?", IDCANCEL);
    command(IDC_SAVE);
    pressCloseBox();
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_FALSE(quitRequested());
}

TEST_F(CloseTest, ExitAfterOpenQuitsWithoutAQuestion) {
    openSample();
    WindowAnswerer answerer(isMainDialog);
    command(IDM_EXIT);
    EXPECT_TRUE(quitRequested());
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
}

TEST_F(CloseTest, EnterAndEscapeDoNothing) {
    openSample();
    selectChannel(1);
    WindowAnswerer answerer(isMainDialog);
    command(IDOK);
    command(IDCANCEL);
    // The keys themselves, through the dialog's own keyboard handling, with the focus on the list.
    SetFocus(item(IDC_CHANNEL_LIST));
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        MSG press{};
        press.hwnd = item(IDC_CHANNEL_LIST);
        press.message = WM_KEYDOWN;
        press.wParam = key;
        EXPECT_TRUE(IsDialogMessageA(dialog, &press)) << key;
    }
    EXPECT_FALSE(quitRequested());
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(listItems(), (std::vector<std::string>{"Aurora One", "Borealis"}));
    EXPECT_EQ(listSelection(), 1);
    EXPECT_EQ(ChannelTable::count, 2);
}

TEST_F(CloseTest, AboutShowsTheAboutBoxAndReturns) {
    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBoxStartingWith("About", "", IDOK);
    command(IDM_ABOUT);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_FALSE(quitRequested());
}

}  // namespace
