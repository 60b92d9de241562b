// Sets the scene for each of scripts/screenshot.sh's pictures. Run inside a Wine virtual desktop,
// it starts the program (so that both share that desktop), waits for the main window, optionally
// opens a list through the real Open chooser and selects a channel as a click would, then shows
// the main window and the About box in turn, telling the script through files in OUTPUT_DIR where
// each one is (see `picture`). Every step is a message a user's action sends; nothing in the
// program knows it is being driven.
//
//   vessaly_screenshot_driver PROGRAM OUTPUT_DIR [LIST_FILE [CHANNEL]]
//
// Last writes OUTPUT_DIR/driver-result.txt with the exit code: 0 on success, 1 when a window did
// not appear in time or the script took no picture, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/resource_ids.h"
#include "tests/support/window_owner.h"

namespace {

constexpr DWORD WaitLimit = 15000;  // milliseconds
constexpr DWORD Step = 50;

DWORD Program = 0;  // the started program's process: only its windows are looked for

struct DialogSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK matchProgramDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    if (!madeByProcess(window, Program)) return TRUE;
    char className[16] = "";
    char caption[64] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(className, "#32770") != 0 || std::strcmp(caption, search->caption) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// A top-level dialog box of the program with this caption; other programs on the desktop may show
// windows with the same one.
HWND programDialog(const char* caption) {
    DialogSearch search{caption, nullptr};
    EnumWindows(matchProgramDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls until `find` gives a visible window, or the limit passes.
template <typename Find>
HWND waitFor(Find find) {
    for (DWORD waited = 0; waited < WaitLimit; waited += Step) {
        HWND window = find();
        if (window != nullptr && IsWindowVisible(window)) return window;
        Sleep(Step);
    }
    return nullptr;
}

HWND mainWindow() {
    return waitFor([] { return programDialog("Vessaly"); });
}

int fail(const char* what) {
    std::fprintf(stderr, "screenshot driver: %s\n", what);
    return 1;
}

// The chooser's file-name box: the edit inside the combo box cmb13 (0x47c), or edt1 (0x480).
HWND fileNameBox(HWND chooser) {
    HWND combo = GetDlgItem(chooser, 0x47c);
    if (combo != nullptr) {
        HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
        if (edit == nullptr)
            edit = FindWindowExA(FindWindowExA(combo, nullptr, "ComboBox", nullptr), nullptr, "Edit", nullptr);
        if (edit != nullptr) return edit;
    }
    return GetDlgItem(chooser, 0x480);
}

int openFile(HWND main, const char* path) {
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_OPEN, 0), 0);
    HWND chooser = waitFor([] { return programDialog("Open kvx file"); });
    if (chooser == nullptr) return fail("no Open chooser");
    HWND name = waitFor([chooser] { return fileNameBox(chooser); });
    if (name == nullptr) return fail("no file name box in the chooser");
    // A full path: the chooser starts in the folder it used last, not in the current one.
    char fullPath[MAX_PATH];
    if (GetFullPathNameA(path, sizeof fullPath, fullPath, nullptr) >= sizeof fullPath) {
        return fail("list path too long");
    }
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fullPath));
    SendMessageA(GetDlgItem(chooser, IDOK), BM_CLICK, 0, 0);
    HWND list = GetDlgItem(main, IDC_CHANNEL_LIST);
    for (DWORD waited = 0; waited < WaitLimit; waited += Step) {
        if (!IsWindow(chooser) && SendMessageA(list, LB_GETCOUNT, 0, 0) > 0) return 0;
        Sleep(Step);
    }
    return fail("the list stayed empty");
}

int selectChannel(HWND main, int index) {
    HWND list = GetDlgItem(main, IDC_CHANNEL_LIST);
    if (SendMessageA(list, LB_SETCURSEL, index, 0) == LB_ERR) return fail("no such channel");
    // Setting the selection from code raises no notification; a click would.
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_CHANNEL_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return 0;
}

HWND aboutBox() { return programDialog("About"); }

// Hands one window to the script for its picture: writes OUTPUT_DIR/NAME.ready with the window's
// place on the screen ("x y width height"), then waits until the script answers with NAME.taken.
// The picture itself comes from the X display, where Wine's drawing of every window has landed.
bool picture(HWND window, const char* directory, const char* name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(700);  // the program paints on its own thread
    RECT rect{};
    GetWindowRect(window, &rect);
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s\\%s.ready", directory, name);
    std::FILE* ready = std::fopen(path, "w");
    if (ready == nullptr) return false;
    std::fprintf(ready, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (std::fclose(ready) != 0) return false;
    std::snprintf(path, sizeof path, "%s\\%s.taken", directory, name);
    for (DWORD waited = 0; waited < 2 * WaitLimit; waited += Step) {
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(Step);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: %s PROGRAM OUTPUT_DIR [LIST_FILE [CHANNEL]]\n", argv[0]);
        return 2;
    }
    char command[MAX_PATH + 2];
    std::snprintf(command, sizeof command, "\"%s\"", argv[1]);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program)) {
        return fail("cannot start the program");
    }
    Program = program.dwProcessId;
    int result = 0;
    char path[MAX_PATH];
    HWND main = mainWindow();
    if (main == nullptr) {
        result = fail("no main window");
    } else {
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        if (argc >= 4) result = openFile(main, argv[3]);
        if (result == 0 && argc == 5) result = selectChannel(main, std::atoi(argv[4]));
        if (result == 0 && !picture(main, argv[2], "main")) result = fail("no picture of the main window");

        PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
        HWND about = waitFor(aboutBox);
        if (about == nullptr) {
            result = fail("no About box");
        } else {
            if (!picture(about, argv[2], "about")) result = fail("no picture of the About box");
            PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
            for (DWORD waited = 0; aboutBox() != nullptr && waited < WaitLimit; waited += Step) {
                Sleep(Step);
            }
        }
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    }
    DWORD exitCode = 0;
    if (WaitForSingleObject(program.hProcess, WaitLimit) != WAIT_OBJECT_0) {
        TerminateProcess(program.hProcess, 1);
        result = fail("the program did not end");
    } else if (!GetExitCodeProcess(program.hProcess, &exitCode) || exitCode != 0) {
        result = fail("the program ended with an exit code other than 0");
    }
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
    // The script cannot see this exit code through the desktop's launcher: leave it in a file.
    std::snprintf(path, sizeof path, "%s\\driver-result.txt", argv[2]);
    if (std::FILE* done = std::fopen(path, "w")) {
        std::fprintf(done, "%d\n", result);
        std::fclose(done);
    }
    return result;
}
