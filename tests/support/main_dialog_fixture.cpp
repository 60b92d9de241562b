// The real main dialog for tests, in a temporary current directory with the Category.txt a test wants.
#include "tests/support/main_dialog_fixture.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/editor_dialog.h"
#include "app/window_services.h"
#include "channel/channel_table.h"
#include "form/record_form.h"
#include "resources/resource_ids.h"
#include "tests/support/window_owner.h"

namespace {

constexpr UINT WatchdogMilliseconds = 5000;
constexpr int MessageBoxTextId = 0xFFFF;  // the static text control of a message box

struct StartupWindows {
    HHOOK hook = nullptr;
    HWND lastAnswered = nullptr;
    int boxes = 0;
    bool watchdogFired = false;
    std::string caption;
    std::string text;
};

StartupWindows Startup;

// A dialog box of this thread other than the main dialog; another program's windows do not count.
bool isStartupBox(HWND window) {
    if (!madeByThisThread(window) || window == MainDialog) return false;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    return std::strcmp(className, "#32770") == 0;
}

// A dialog box that opens while the main dialog starts (the category error box) is answered with OK.
LRESULT CALLBACK answerStartupBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (window != Startup.lastAnswered && isStartupBox(window)) {
            char caption[256] = "";
            char text[1024] = "";
            GetWindowTextA(window, caption, sizeof caption);
            GetDlgItemTextA(window, MessageBoxTextId, text, sizeof text);
            Startup.lastAnswered = window;
            ++Startup.boxes;
            Startup.caption = caption;
            Startup.text = text;
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(Startup.hook, code, wParam, lParam);
}

BOOL CALLBACK closeStartupBox(HWND window, LPARAM) {
    if (isStartupBox(window)) {
        Startup.watchdogFired = true;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

void CALLBACK startupWatchdog(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), closeStartupBox, 0);
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string makeTemporaryDirectory() {
    static int counter = 0;
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char path[MAX_PATH + 64];
        std::snprintf(path, sizeof path, "%svessaly-test-%lu-%d", temp,
                      static_cast<unsigned long>(GetCurrentProcessId()), ++counter);
        if (CreateDirectoryA(path, nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return {};
}

// Removes the directory and the files a test left in it (tests make no subdirectories).
void removeDirectory(const std::string& directory) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                const std::string path = directory + "\\" + found.cFileName;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(directory.c_str());
}

// What a fresh start of the program has.
void resetProgramState() {
    ChannelTable::count = 0;
    std::memset(&CurrentRecord, 0, sizeof CurrentRecord);
    SelectedIndex = -1;
    FormUpdating = false;
    FileLoaded = false;
    MainDialog = nullptr;
}

HWND dialogControl(int id) { return GetDlgItem(MainDialog, id); }

}  // namespace

void MainDialogFixture::SetUp() {
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    previousDirectory_ = previous;
    directory = makeTemporaryDirectory();
    ASSERT_FALSE(directory.empty()) << "no temporary directory";
    const std::optional<std::string> categories = categoryFile();
    if (categories) {
        ASSERT_TRUE(writeWholeFile(pathOf("Category.txt"), *categories));
    }
    ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str()));

    Instance = GetModuleHandleA(nullptr);
    registerWindowClasses();
    resetProgramState();

    Startup = StartupWindows{};
    Startup.hook = SetWindowsHookExA(WH_CBT, answerStartupBoxes, nullptr, GetCurrentThreadId());
    const UINT_PTR watchdog = SetTimer(nullptr, 0, WatchdogMilliseconds, startupWatchdog);
    dialog = CreateDialogParamA(Instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
    KillTimer(nullptr, watchdog);
    UnhookWindowsHookEx(Startup.hook);
    startupMessageBoxes = Startup.boxes;
    startupMessageCaption = Startup.caption;
    startupMessageText = Startup.text;

    ASSERT_NE(dialog, nullptr) << "the main dialog was not created, error " << GetLastError();
    ASSERT_EQ(MainDialog, dialog) << "start-up did not remember the main dialog";
    ASSERT_FALSE(Startup.watchdogFired) << "a window blocked the start-up and had to be closed";
    pumpMessages();
}

void MainDialogFixture::TearDown() {
    if (dialog != nullptr) {
        DestroyWindow(dialog);
        dialog = nullptr;
        pumpMessages();
    }
    MainDialog = nullptr;
    if (!previousDirectory_.empty()) SetCurrentDirectoryA(previousDirectory_.c_str());
    if (!directory.empty()) removeDirectory(directory);
}

std::string MainDialogFixture::pathOf(const char* name) const { return directory + "\\" + name; }

void MainDialogFixture::pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitPosted = true;
            continue;
        }
        if (dialog != nullptr && IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void setEditText(int id, const char* text) { SetWindowTextA(dialogControl(id), text); }

void typeIntoEdit(int id, const char* text) {
    const HWND edit = dialogControl(id);
    for (const char* c = text; *c != '\0'; ++c) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
}

void chooseComboItem(int id, int index) {
    const HWND combo = dialogControl(id);
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    SendMessageA(MainDialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void chooseListItem(int id, int index) {
    const HWND list = dialogControl(id);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(MainDialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

std::string controlText(int id) {
    char text[1024] = "";
    GetWindowTextA(dialogControl(id), text, sizeof text);
    return text;
}

int comboSelection(int id) { return static_cast<int>(SendMessageA(dialogControl(id), CB_GETCURSEL, 0, 0)); }

int comboCount(int id) { return static_cast<int>(SendMessageA(dialogControl(id), CB_GETCOUNT, 0, 0)); }

int listViewRowCount(int id) { return static_cast<int>(SendMessageA(dialogControl(id), LVM_GETITEMCOUNT, 0, 0)); }

std::string listViewCell(int id, int row, int column) {
    char text[512] = "";
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(dialogControl(id), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}
