// The built program itself, started as a new process in a folder with a Category.txt and a channel
// list, and driven from outside as a user's clicks and keys would: open the list through the real
// chooser, edit a channel, Modify, Make copy, Delete, save to a new file, close and answer the
// question. The saved bytes and the exit code are what count.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/app/editor_fixture.h"
#include "tests/support/window_owner.h"

namespace {

constexpr DWORD WaitLimitMs = 20000;
constexpr int ChooserFileNameBox = 0x47c;  // cmb13
constexpr int MessageTextId = 0xFFFF;

// The build hands over a Unix path; Wine shows the Unix root as drive Z:.
std::string programPath() {
    std::string path = VESSALY_EXE_PATH;
    if (!path.empty() && path[0] == '/') {
        for (char& c : path) c = c == '/' ? '\\' : c;
        path = "Z:" + path;
    }
    return path;
}

struct WindowSearch {
    DWORD process;
    const char* caption;  // null: any caption
    bool wantMainDialog;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    // Other test programs on the display show windows with the same captions: only the child's count.
    if (!madeByProcess(window, search->process) || !IsWindowVisible(window)) return TRUE;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0) return TRUE;
    const bool isMain = GetDlgItem(window, IDC_CHANNEL_LIST) != nullptr;
    if (isMain != search->wantMainDialog) return TRUE;
    if (search->caption != nullptr) {
        char caption[256] = {};
        SendMessageA(window, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption));
        if (std::strcmp(caption, search->caption) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

// Waits for a top-level dialog of the process: the main dialog, or another one with this caption.
HWND waitForWindow(DWORD process, const char* caption, bool mainDialog) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < WaitLimitMs) {
        WindowSearch search{process, caption, mainDialog, nullptr};
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        Sleep(20);
    }
    return nullptr;
}

template <typename Condition>
bool waitUntil(Condition condition) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < WaitLimitMs) {
        if (condition()) return true;
        Sleep(20);
    }
    return condition();
}

HWND findDescendant(HWND parent, const char* wantedClass) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        if (std::strcmp(className, wantedClass) == 0) return child;
        if (HWND inner = findDescendant(child, wantedClass)) return inner;
    }
    return nullptr;
}

std::string textOf(HWND window) {
    char text[512] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        char folder[MAX_PATH];
        std::snprintf(folder, sizeof folder, "%svessaly-e2e-%lu", temp, GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(folder, nullptr)) << folder;
        folder_ = folder;
    }

    void TearDown() override {
        if (process_.hProcess != nullptr) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        for (const char* name : {"Category.txt", "input.kvx", "output.kvx"}) DeleteFileA(pathOf(name).c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    std::string pathOf(const char* name) const { return folder_ + "\\" + name; }

    // Presses a button of the program's chooser: the path typed into its file-name box, then OK.
    void chooseFile(const char* title, const std::string& path) {
        const HWND chooser = waitForWindow(process_.dwProcessId, title, false);
        ASSERT_NE(chooser, nullptr) << "no chooser \"" << title << "\"";
        HWND edit = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            const HWND box = GetDlgItem(chooser, ChooserFileNameBox);
            edit = box != nullptr ? findDescendant(box, "Edit") : nullptr;
            return edit != nullptr;
        }));
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(chooser); })) << "the chooser stayed open";
    }

    void command(int id, int code = 0) {
        SendMessageA(main_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(main_, id)));
    }

    void selectChannel(int index) {
        SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        command(IDC_CHANNEL_LIST, LBN_SELCHANGE);
    }

    int channelCount() const { return static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0)); }
    int selection() const { return static_cast<int>(SendMessageA(list_, LB_GETCURSEL, 0, 0)); }
    std::string field(int id) const { return textOf(GetDlgItem(main_, id)); }

    std::string folder_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(EndToEndTest, OpenEditCopyDeleteSaveAndClose) {
    ASSERT_TRUE(
        writeFile(pathOf("Category.txt"), std::vector<unsigned char>{'N', 'e', 'w', 's', '\n', 'S', 'p', 'o', 'r', 't',
                                                                     '\n', 'M', 'u', 's', 'i', 'c', '\n'}));
    const std::vector<ChannelRecord> channels = {testChannel(1, "Aurora One"), testChannel(2, "Borealis News"),
                                                 testChannel(3, "Cobalt Kids"), testChannel(4, "Delta Sport")};
    ASSERT_TRUE(writeFile(pathOf("input.kvx"), fileBytes(channels)));

    std::string program = programPath();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(program.data(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &startup,
                               &process_))
        << program << " error " << GetLastError();
    main_ = waitForWindow(process_.dwProcessId, nullptr, true);
    ASSERT_NE(main_, nullptr) << "the main window never appeared";
    list_ = GetDlgItem(main_, IDC_CHANNEL_LIST);

    // Open, through the program's own chooser.
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(IDC_OPEN, BN_CLICKED), 0);
    chooseFile("Open kvx file", pathOf("input.kvx"));
    ASSERT_TRUE(waitUntil([&] { return channelCount() == 4; })) << channelCount();
    EXPECT_EQ(selection(), LB_ERR);

    // Select the second channel, rename it, change its SID, apply.
    selectChannel(1);
    EXPECT_EQ(field(IDC_NAME), "Borealis News");
    EXPECT_EQ(field(IDC_SID), "2002");
    SendMessageA(GetDlgItem(main_, IDC_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Borealis World"));
    SendMessageA(GetDlgItem(main_, IDC_SID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("4242"));
    command(IDC_MODIFY);
    EXPECT_EQ(selection(), 1);

    // Copy it to the end: the copy is selected and shown.
    command(IDC_MAKE_COPY);
    EXPECT_EQ(channelCount(), 5);
    EXPECT_EQ(selection(), 4);
    EXPECT_EQ(field(IDC_NAME), "Borealis World");

    // Delete the first channel: the next one moves into its place.
    selectChannel(0);
    command(IDC_DELETE);
    EXPECT_EQ(channelCount(), 4);
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(field(IDC_NAME), "Borealis World");

    // Save to a new file.
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), 0);
    chooseFile("Save kvx file", pathOf("output.kvx"));

    // Close, and do not save again.
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    const HWND question = waitForWindow(process_.dwProcessId, "Vessaly", false);
    ASSERT_NE(question, nullptr) << "no save question";
    EXPECT_EQ(textOf(GetDlgItem(question, MessageTextId)), "Save changes?");
    PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);

    ASSERT_EQ(WaitForSingleObject(process_.hProcess, WaitLimitMs), WAIT_OBJECT_0) << "the program did not end";
    DWORD exitCode = 1;
    ASSERT_TRUE(GetExitCodeProcess(process_.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 0u);

    ChannelRecord edited = channels[1];
    std::strcpy(edited.name, "Borealis World");  // the bytes after the new end keep their old values
    edited.sid.set(4242);
    EXPECT_EQ(readFile(pathOf("output.kvx")), fileBytes({edited, channels[2], channels[3], edited}));
    EXPECT_EQ(readFile(pathOf("input.kvx")), fileBytes(channels));
}

}  // namespace
