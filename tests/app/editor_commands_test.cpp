// The editor's commands through the real main dialog: Open, Modify, Make copy, Delete and Save,
// with the real file choosers and message boxes answered as a user would.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/editor_commands.h"
#include "app/editor_dialog.h"
#include "app/file_chooser.h"
#include "channel/channel_table.h"
#include "form/record_form.h"
#include "resources/resource_ids.h"
#include "tests/app/editor_fixture.h"
#include "tests/support/window_answerer.h"

namespace {

std::vector<ChannelRecord> threeChannels() {
    return {testChannel(1, "Aurora One"), testChannel(2, "Borealis News"), testChannel(3, "Cobalt Kids")};
}

bool sameRecord(const ChannelRecord& a, const ChannelRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The record as the form leaves it after typing name: the bytes after the new NUL keep their old values.
ChannelRecord renamed(ChannelRecord record, const char* name) {
    std::snprintf(record.name, sizeof record.name, "%s", name);
    return record;
}

// Holds a file open with a share mode that denies writing, as another program may: Wine then
// refuses both opening it for writing and replacing it.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class EditorCommandsTest : public EditorTest {
protected:
    // Opens three channels and selects the one at index.
    void openThreeAndSelect(int index) {
        openThroughChooser(writeChannelFile("three.kvx", threeChannels()));
        selectChannel(index);
        ASSERT_EQ(SelectedIndex, index);
    }

    void expectFormShowsEmptyRecord() {
        EXPECT_EQ(SelectedIndex, -1);
        EXPECT_TRUE(sameRecord(CurrentRecord, ChannelRecord{}));
        EXPECT_EQ(controlText(IDC_NAME), "");
        EXPECT_EQ(controlText(IDC_PROVIDER), "");
        EXPECT_EQ(controlText(IDC_FREQUENCY), "0");
        EXPECT_EQ(controlText(IDC_SID), "0");
        EXPECT_EQ(SendMessageA(item(IDC_STREAM_LIST), LVM_GETITEMCOUNT, 0, 0), 0);
    }
};

// --- Open ---

TEST_F(EditorCommandsTest, OpenShowsEveryChannelInFileOrderWithNothingSelected) {
    openThroughChooser(writeChannelFile("three.kvx", threeChannels()));
    EXPECT_EQ(listItems(), (std::vector<std::string>{"Aurora One", "Borealis News", "Cobalt Kids"}));
    EXPECT_EQ(ChannelTable::count, 3);
    EXPECT_EQ(listSelection(), LB_ERR);
    EXPECT_TRUE(FileLoaded);
}

TEST_F(EditorCommandsTest, CancelledOpenChangesNothing) {
    openThreeAndSelect(1);
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooserCancelled("Open kvx file");
    command(IDM_OPEN);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_EQ(listItems().size(), 3u);
    EXPECT_EQ(listSelection(), 1);
    EXPECT_EQ(SelectedIndex, 1);
    EXPECT_EQ(controlText(IDC_NAME), "Borealis News");
}

// A channel of the earlier file must not reach the new list through the form.
TEST_F(EditorCommandsTest, OpenClearsTheSelectionAndTheForm) {
    openThreeAndSelect(2);
    setEditText(IDC_NAME, "Edited before the Open");
    const std::vector<ChannelRecord> two = {testChannel(7, "Delta Sport"), testChannel(8, "Echo Music")};
    openThroughChooser(writeChannelFile("two.kvx", two));

    EXPECT_EQ(listItems(), (std::vector<std::string>{"Delta Sport", "Echo Music"}));
    EXPECT_EQ(listSelection(), LB_ERR);
    expectFormShowsEmptyRecord();

    command(IDC_MODIFY);
    command(IDC_MAKE_COPY);
    command(IDC_DELETE);
    ASSERT_EQ(ChannelTable::count, 2);
    EXPECT_TRUE(sameRecord(ChannelTable::slots[0], two[0]));
    EXPECT_TRUE(sameRecord(ChannelTable::slots[1], two[1]));
    EXPECT_EQ(listItems().size(), 2u);
}

TEST_F(EditorCommandsTest, AFileThatCannotBeOpenedIsReportedAndChangesNothing) {
    openThreeAndSelect(1);
    const std::string locked = writeChannelFile("locked.kvx", {testChannel(9, "Foxtrot")});
    HeldFile holder(locked);
    ASSERT_TRUE(holder.held());

    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Open kvx file", locked.c_str());
    answerer.expectMessageBoxStartingWith(
        "Vessaly", ("The channel list could not be opened from\n" + locked + "\n\n").c_str(), IDOK);
    command(IDC_OPEN);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();

    EXPECT_EQ(listItems(), (std::vector<std::string>{"Aurora One", "Borealis News", "Cobalt Kids"}));
    EXPECT_EQ(ChannelTable::count, 3);
    EXPECT_EQ(listSelection(), 1);
    EXPECT_EQ(SelectedIndex, 1);
    EXPECT_EQ(controlText(IDC_NAME), "Borealis News");
}

// Reading this process's memory from address 0 opens but fails part-way, as a failing disk would:
// the list must not pass for the file, so the list and the form are left empty. The chooser refuses
// such a path, so the test hands it over as the chooser would have.
TEST_F(EditorCommandsTest, AReadThatFailsPartWayIsReportedAndLeavesAnEmptyList) {
    const char* failing = "Z:\\proc\\self\\mem";
    std::FILE* probe = std::fopen(failing, "r+b");
    if (probe == nullptr) GTEST_SKIP() << failing << " cannot be opened here";
    std::fclose(probe);
    openThreeAndSelect(1);

    WindowAnswerer answerer(isMainDialog);
    answerer.expectMessageBoxStartingWith(
        "Vessaly", (std::string("The channel list could not be opened from\n") + failing + "\n\n").c_str(), IDOK);
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s", failing);
    openChosenFile();
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();

    EXPECT_EQ(ChannelTable::count, 0);
    EXPECT_TRUE(listItems().empty());
    expectFormShowsEmptyRecord();
}

// Only a successful Open makes closing ask about saving.
TEST_F(EditorCommandsTest, AFailedFirstOpenLeavesTheProgramAsIfNothingWasOpened) {
    const std::string locked = writeChannelFile("locked.kvx", threeChannels());
    HeldFile holder(locked);
    ASSERT_TRUE(holder.held());
    {
        WindowAnswerer answerer(isMainDialog);
        answerer.expectChooser("Open kvx file", locked.c_str());
        answerer.expectMessageBoxStartingWith("Vessaly", "The channel list could not be opened from", IDOK);
        command(IDC_OPEN);
        EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    }
    EXPECT_FALSE(FileLoaded);
    EXPECT_EQ(listItems().size(), 0u);

    WindowAnswerer answerer(isMainDialog);  // no question may appear
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(quitRequested());
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
}

// Every chooser is prepared afresh: owned by the main dialog, proposing no name, not even the last.
TEST_F(EditorCommandsTest, ChoosersAreOwnedByTheMainDialogAndProposeNoName) {
    const std::string path = writeChannelFile("three.kvx", threeChannels());
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Open kvx file", path.c_str());
    answerer.expectChooserCancelled("Save kvx file");
    answerer.expectChooserCancelled("Open kvx file");
    command(IDC_OPEN);
    command(IDC_SAVE);
    const OPENFILENAMEA saveChooser = FileChooser;
    command(IDM_OPEN);
    ASSERT_TRUE(answerer.allAnswered()) << answerer.report();
    for (const WindowAnswerer::Seen& window : answerer.seen()) {
        EXPECT_EQ(window.owner, dialog) << window.caption;
        EXPECT_EQ(window.fileName, "") << window.caption;
    }
    EXPECT_EQ(saveChooser.lStructSize, sizeof(void*) == 4 ? 88u : 152u);  // the structure's size on each architecture
    EXPECT_EQ(saveChooser.nFilterIndex, 1u);
    EXPECT_EQ(saveChooser.nMaxFile, 260u);
    EXPECT_STREQ(saveChooser.lpstrDefExt, "*.kvx");
    EXPECT_EQ(
        std::memcmp(saveChooser.lpstrFilter, "Orvanta Channel files (*.kvx)\0*.kvx\0All files (*.*)\0*.*\0\0", 57), 0);
    EXPECT_EQ(FileChooser.lpstrDefExt, nullptr);  // the Open chooser has none
    EXPECT_EQ(listItems().size(), 3u);            // the cancelled Open changed nothing
}

// --- Modify ---

TEST_F(EditorCommandsTest, ModifyAfterANameChangeReplacesTheItemInPlaceAndSelectsIt) {
    openThreeAndSelect(1);
    setEditText(IDC_NAME, "Borealis");
    command(IDC_MODIFY);
    EXPECT_EQ(listItems(), (std::vector<std::string>{"Aurora One", "Borealis", "Cobalt Kids"}));
    EXPECT_EQ(listSelection(), 1);
    EXPECT_TRUE(sameRecord(ChannelTable::slots[1], renamed(threeChannels()[1], "Borealis")));
    // The neighbours are untouched.
    EXPECT_TRUE(sameRecord(ChannelTable::slots[0], threeChannels()[0]));
    EXPECT_TRUE(sameRecord(ChannelTable::slots[2], threeChannels()[2]));
}

TEST_F(EditorCommandsTest, ModifyAfterAFrequencyChangeLeavesTheListAlone) {
    openThreeAndSelect(1);
    // An item that was deleted and inserted again would lose this mark.
    const HWND list = item(IDC_CHANNEL_LIST);
    SendMessageA(list, LB_SETITEMDATA, 1, 0x5EED);
    setEditText(IDC_FREQUENCY, "12188");
    command(IDC_MODIFY);
    EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 1, 0), 0x5EED);
    EXPECT_EQ(listItems(), (std::vector<std::string>{"Aurora One", "Borealis News", "Cobalt Kids"}));
    EXPECT_EQ(listSelection(), 1);
    EXPECT_EQ(ChannelTable::slots[1].frequency.get(), 12188);
    ChannelRecord expected = threeChannels()[1];
    expected.frequency.set(12188);
    EXPECT_TRUE(sameRecord(ChannelTable::slots[1], expected));
}

// --- Make copy ---

TEST_F(EditorCommandsTest, MakeCopyAppendsTheFormsRecordAndSelectsAndShowsIt) {
    openThreeAndSelect(0);
    setEditText(IDC_NAME, "Aurora Two");
    setEditText(IDC_SID, "4242");
    command(IDC_MAKE_COPY);

    EXPECT_EQ(listItems(), (std::vector<std::string>{"Aurora One", "Borealis News", "Cobalt Kids", "Aurora Two"}));
    ASSERT_EQ(ChannelTable::count, 4);
    EXPECT_EQ(listSelection(), 3);
    EXPECT_EQ(SelectedIndex, 3);
    EXPECT_EQ(controlText(IDC_NAME), "Aurora Two");
    EXPECT_EQ(controlText(IDC_SID), "4242");
    ChannelRecord expected = renamed(threeChannels()[0], "Aurora Two");
    expected.sid.set(4242);
    EXPECT_TRUE(sameRecord(ChannelTable::slots[3], expected));
    // The channel it was copied from keeps its old values.
    EXPECT_TRUE(sameRecord(ChannelTable::slots[0], threeChannels()[0]));
}

TEST_F(EditorCommandsTest, MakeCopyDoesNothingWhenTheTableIsFull) {
    std::vector<ChannelRecord> full(ChannelTable::Capacity, testChannel(4, "Full House"));
    openThroughChooser(writeChannelFile("full.kvx", full));
    ASSERT_EQ(ChannelTable::count, ChannelTable::Capacity);
    selectChannel(100);
    command(IDC_MAKE_COPY);
    EXPECT_EQ(ChannelTable::count, ChannelTable::Capacity);
    EXPECT_EQ(SendMessageA(item(IDC_CHANNEL_LIST), LB_GETCOUNT, 0, 0), ChannelTable::Capacity);
    EXPECT_EQ(listSelection(), 100);
    EXPECT_EQ(SelectedIndex, 100);
}

TEST_F(EditorCommandsTest, MakeCopyWithoutASelectionDoesNothing) {
    openThroughChooser(writeChannelFile("three.kvx", threeChannels()));
    setEditText(IDC_NAME, "Typed with nothing selected");
    command(IDC_MAKE_COPY);
    EXPECT_EQ(ChannelTable::count, 3);
    EXPECT_EQ(listItems().size(), 3u);
}

// --- Delete ---

TEST_F(EditorCommandsTest, DeleteMovesTheNextChannelIntoThePlace) {
    openThreeAndSelect(0);
    command(IDC_DELETE);
    EXPECT_EQ(listItems(), (std::vector<std::string>{"Borealis News", "Cobalt Kids"}));
    EXPECT_EQ(listSelection(), 0);
    EXPECT_EQ(SelectedIndex, 0);
    EXPECT_EQ(controlText(IDC_NAME), "Borealis News");
    EXPECT_TRUE(sameRecord(ChannelTable::slots[0], threeChannels()[1]));
}

TEST_F(EditorCommandsTest, DeletingTheLastChannelSelectsAndShowsTheOneBefore) {
    openThreeAndSelect(2);
    command(IDC_DELETE);
    EXPECT_EQ(listItems(), (std::vector<std::string>{"Aurora One", "Borealis News"}));
    EXPECT_EQ(ChannelTable::count, 2);
    EXPECT_EQ(listSelection(), 1);
    EXPECT_EQ(SelectedIndex, 1);
    EXPECT_EQ(controlText(IDC_NAME), "Borealis News");
    EXPECT_TRUE(sameRecord(CurrentRecord, threeChannels()[1]));
}

TEST_F(EditorCommandsTest, DeletingTheOnlyChannelLeavesNoSelectionAndAnEmptyForm) {
    openThroughChooser(writeChannelFile("one.kvx", {testChannel(5, "Lonely Channel")}));
    selectChannel(0);
    ASSERT_EQ(controlText(IDC_NAME), "Lonely Channel");
    command(IDC_DELETE);
    EXPECT_EQ(listItems().size(), 0u);
    EXPECT_EQ(ChannelTable::count, 0);
    EXPECT_EQ(listSelection(), LB_ERR);
    expectFormShowsEmptyRecord();

    // With nothing selected the three commands do nothing.
    setEditText(IDC_NAME, "Ghost");
    command(IDC_MODIFY);
    command(IDC_MAKE_COPY);
    command(IDC_DELETE);
    EXPECT_EQ(ChannelTable::count, 0);
    EXPECT_EQ(listItems().size(), 0u);
}

// --- Save ---

TEST_F(EditorCommandsTest, SaveWritesTheTableNotTheUnappliedForm) {
    openThreeAndSelect(1);
    setEditText(IDC_NAME, "Applied");
    command(IDC_MODIFY);
    setEditText(IDC_PROVIDER, "Not applied");
    const std::string target = pathOf("saved.kvx");
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Save kvx file", target.c_str());
    command(IDC_SAVE);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();

    std::vector<ChannelRecord> expected = threeChannels();
    expected[1] = renamed(expected[1], "Applied");
    EXPECT_EQ(readFile(target), fileBytes(expected));
}

TEST_F(EditorCommandsTest, SaveOverAnExistingFileAsksFirst) {
    openThreeAndSelect(0);
    const std::string target = writeChannelFile("old.kvx", {testChannel(6, "Old")});
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Save kvx file", target.c_str());
    answerer.expectMessageBoxStartingWith("Save kvx file", "", IDYES);
    command(IDM_SAVE);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_EQ(readFile(target), fileBytes(threeChannels()));
}

TEST_F(EditorCommandsTest, AFailedSaveIsReportedAndKeepsTheOldFileAndTheTable) {
    openThreeAndSelect(0);
    command(IDC_DELETE);
    const std::vector<unsigned char> oldBytes = fileBytes({testChannel(6, "Old")});
    const std::string target = writeChannelFile("held.kvx", {testChannel(6, "Old")});
    HeldFile holder(target);
    ASSERT_TRUE(holder.held());

    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Save kvx file", target.c_str());
    answerer.expectMessageBoxStartingWith("Save kvx file", "", IDYES);
    answerer.expectMessageBoxStartingWith("Vessaly",
                                          ("The channel list could not be saved to\n" + target + "\n\n").c_str(), IDOK);
    command(IDC_SAVE);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();

    EXPECT_EQ(readFile(target), oldBytes);
    EXPECT_EQ(ChannelTable::count, 2);
    EXPECT_EQ(listItems(), (std::vector<std::string>{"Borealis News", "Cobalt Kids"}));
}

// --- Non-ASCII folder names ---

// A letter of the prefix's ANSI code page that is not ASCII, as the chooser hands it over.
std::string nonAsciiFolderName() {
    const unsigned char candidates[] = {0xE4, 0xEA, 0xE9, 0xC4};
    for (unsigned char c : candidates) {
        char name[] = {'K', 'a', 'n', static_cast<char>(c), 'l', 'e', '\0'};
        wchar_t wide[16];
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, 16) > 0 && wide[3] > 0x7F) return name;
    }
    return {};
}

TEST_F(EditorCommandsTest, AListInAFolderWithNonAsciiLettersOpensAndSaves) {
    const std::string folderName = nonAsciiFolderName();
    ASSERT_FALSE(folderName.empty()) << "no non-ASCII letter in code page " << GetACP();
    const std::string folder = pathOf(folderName.c_str());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string source = folder + "\\Liste.kvx";
    const std::string target = folder + "\\Gespeichert.kvx";
    writeFile(source, fileBytes(threeChannels()));

    openThroughChooser(source);
    ASSERT_EQ(listItems().size(), 3u);
    selectChannel(2);
    command(IDC_DELETE);
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Save kvx file", target.c_str());
    command(IDC_SAVE);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
    EXPECT_EQ(readFile(target), fileBytes({threeChannels()[0], threeChannels()[1]}));
    DeleteFileA(source.c_str());
    DeleteFileA(target.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
