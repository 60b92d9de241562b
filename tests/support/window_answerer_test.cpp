// The window answerer answers only its own thread's windows. Other test programs share the display,
// and Wine tells this thread's activation hook about their windows too: when one of our windows goes
// while another program's window is in front, Wine tries to activate that one from here. A window of
// another thread with the same caption and kind must be neither counted nor pressed.
#include "tests/support/window_answerer.h"

#include <windows.h>

#include <commdlg.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr DWORD WaitLimitMs = 10000;

enum class Kind { MessageBox, Chooser };

struct Case {
    Kind kind;
    const char* caption;
    const char* text;  // a message box's text, or the path typed into a chooser
    int answer;        // what the answerer presses on our own window
};

// Shows a window of this kind and returns the button that closed it (IDOK for a chooser that chose).
int showWindow(const Case& shown) {
    if (shown.kind == Kind::MessageBox) return MessageBoxA(nullptr, shown.text, shown.caption, MB_YESNOCANCEL);
    char file[MAX_PATH] = "";
    OPENFILENAMEA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.lpstrFile = file;
    chooser.nMaxFile = sizeof file;
    chooser.lpstrTitle = shown.caption;
    chooser.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    return GetOpenFileNameA(&chooser) ? IDOK : IDCANCEL;
}

struct Decoy {
    Case shown;
    int result = 0;
};

DWORD WINAPI showDecoy(void* parameter) {
    auto* decoy = static_cast<Decoy*>(parameter);
    decoy->result = showWindow(decoy->shown);
    return 0;
}

BOOL CALLBACK findVisibleDialog(HWND window, LPARAM found) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND waitForDialogOf(DWORD thread) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < WaitLimitMs; Sleep(20)) {
        HWND found = nullptr;
        EnumThreadWindows(thread, findVisibleDialog, reinterpret_cast<LPARAM>(&found));
        if (found != nullptr) return found;
    }
    return nullptr;
}

void pumpFor(DWORD milliseconds) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
}

TEST(WindowAnswererTest, LeavesAnotherThreadsWindowOfTheSameCaptionAlone) {
    const Case cases[] = {
        {Kind::MessageBox, "Vessaly", "Save changes?", IDNO},
        {Kind::Chooser, "Open kvx file", "C:\\list.kvx", IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        Decoy decoy{c};
        DWORD decoyThread = 0;
        const HANDLE thread = CreateThread(nullptr, 0, showDecoy, &decoy, 0, &decoyThread);
        ASSERT_NE(thread, nullptr);
        const HWND decoyWindow = waitForDialogOf(decoyThread);
        ASSERT_NE(decoyWindow, nullptr) << "the other thread's window never appeared";

        int own = 0;
        {
            WindowAnswerer answerer;
            if (c.kind == Kind::MessageBox) {
                answerer.expectMessageBox(c.caption, c.text, c.answer);
            } else {
                answerer.expectChooser(c.caption, c.text);
            }
            // What Wine does here when our window closes while the other one is in front.
            SetActiveWindow(decoyWindow);
            own = showWindow(c);
            pumpFor(200);  // a press wrongly meant for the other window would land now
            EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
        }
        EXPECT_EQ(own, c.answer);
        EXPECT_TRUE(IsWindow(decoyWindow)) << "the other thread's window was answered";

        PostMessageA(decoyWindow, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_EQ(WaitForSingleObject(thread, WaitLimitMs), WAIT_OBJECT_0);
        CloseHandle(thread);
        EXPECT_EQ(decoy.result, IDCANCEL);
    }
}

}  // namespace
