// The real windows made from the program's templates: the About box opened modally with the
// program's own procedure and closed every way a user can, and the main dialog's window with each
// control at its place, its fixed frame, its tab order and its digit-only fields.
//
// The main dialog's own procedure belongs to the editor; the layout lives in the template, so the
// window checks here create it with a procedure that does nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/editor_dialog.h"
#include "app/window_services.h"
#include "resources/resource_ids.h"
#include "tests/resources/main_dialog_layout.h"
#include "tests/support/window_owner.h"

namespace {

HINSTANCE self() { return GetModuleHandleA(nullptr); }

// ---- About box ------------------------------------------------------------------------------

enum class CloseBy { OkClick, Enter, Escape, CloseBox, AltF4 };
constexpr INT_PTR WatchdogResult = 99;
constexpr UINT_PTR WatchdogDelay = 5000;

struct AboutRun {
    CloseBy how;
    HHOOK hook;
    HWND about;
    HWND owner;
    UINT_PTR actTimer, watchdogTimer;
    // What the box looked like just before it was closed.
    bool ownerEnabled;
    HWND boxOwner;
    HWND focus;
    HWND okButton;
    char title[64];
    bool iconShown;
    bool watchdogFired;
};
AboutRun Box;

void CALLBACK watchdog(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, Box.watchdogTimer);
    Box.watchdogFired = true;
    if (Box.about != nullptr) EndDialog(Box.about, WatchdogResult);
}

void CALLBACK closeAbout(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, Box.actTimer);
    HWND about = Box.about;
    Box.ownerEnabled = IsWindowEnabled(Box.owner) != FALSE;
    Box.boxOwner = GetWindow(about, GW_OWNER);
    Box.focus = GetFocus();
    Box.okButton = GetDlgItem(about, IDOK);
    GetWindowTextA(about, Box.title, sizeof Box.title);
    Box.iconShown = SendDlgItemMessageA(about, IDC_ABOUT_ICON, STM_GETICON, 0, 0) != 0;
    // Keys go to the focused control, through the box's own loop and its dialog-message handling.
    HWND keys = Box.focus != nullptr ? Box.focus : about;
    switch (Box.how) {
        case CloseBy::OkClick: SendMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0); break;
        case CloseBy::Enter: PostMessageA(keys, WM_KEYDOWN, VK_RETURN, 1); break;
        case CloseBy::Escape: PostMessageA(keys, WM_KEYDOWN, VK_ESCAPE, 1); break;
        case CloseBy::CloseBox: PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        case CloseBy::AltF4:
            PostMessageA(keys, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));  // bit 29: Alt is down
            break;
    }
}

LRESULT CALLBACK findAbout(int code, WPARAM wParam, LPARAM lParam) {
    // The hook also hears of other programs' windows; only a box of this thread is ours.
    if (code == HCBT_ACTIVATE && Box.about == nullptr && madeByThisThread(reinterpret_cast<HWND>(wParam))) {
        char className[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
        if (std::strcmp(className, "#32770") == 0) {
            Box.about = reinterpret_cast<HWND>(wParam);
            Box.actTimer = SetTimer(nullptr, 0, 100, closeAbout);
        }
    }
    return CallNextHookEx(Box.hook, code, wParam, lParam);
}

// Watches for the About box while `open` runs, closes it the given way and returns what `open`
// returned. Box.owner must be set.
template <typename Open>
INT_PTR watchAbout(CloseBy how, Open open) {
    const HWND owner = Box.owner;
    Box = AboutRun{};
    Box.how = how;
    Box.owner = owner;
    Box.hook = SetWindowsHookExA(WH_CBT, findAbout, nullptr, GetCurrentThreadId());
    Box.watchdogTimer = SetTimer(nullptr, 0, WatchdogDelay, watchdog);
    const INT_PTR result = open();
    KillTimer(nullptr, Box.watchdogTimer);
    UnhookWindowsHookEx(Box.hook);
    return result;
}

// Opens the About box over a plain owner window, closes it the given way and returns its result.
INT_PTR openAndClose(CloseBy how) {
    Box.owner = CreateWindowExA(0, "Static", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                nullptr, self(), nullptr);
    return watchAbout(how,
                      [] { return DialogBoxParamA(self(), MAKEINTRESOURCEA(IDD_ABOUT), Box.owner, aboutBoxProc, 0); });
}

class AboutBox : public testing::Test {
protected:
    void TearDown() override {
        if (Box.owner != nullptr) {
            EXPECT_TRUE(IsWindowEnabled(Box.owner)) << "the owner stays disabled";
            DestroyWindow(Box.owner);
        }
    }
};

TEST_F(AboutBox, OpensOverItsOwnerWithIconAndFocusOnOk) {
    const INT_PTR result = openAndClose(CloseBy::OkClick);
    ASSERT_NE(Box.about, nullptr) << "no About box appeared";
    EXPECT_STREQ(Box.title, "About");
    EXPECT_EQ(Box.boxOwner, Box.owner);
    EXPECT_FALSE(Box.ownerEnabled) << "the box is modal: its owner is disabled while it is up";
    EXPECT_TRUE(Box.iconShown) << "the icon control shows no icon";
    EXPECT_NE(Box.okButton, nullptr);
    EXPECT_EQ(Box.focus, Box.okButton);
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(IsWindow(Box.about));
}

TEST_F(AboutBox, ClosesWithEachWayAndReturnsItsId) {
    const struct {
        CloseBy how;
        const char* name;
        INT_PTR result;
    } cases[] = {
        {CloseBy::OkClick, "OK button", IDOK}, {CloseBy::Enter, "Enter", IDOK},
        {CloseBy::Escape, "Escape", IDCANCEL}, {CloseBy::CloseBox, "close box", IDCANCEL},
        {CloseBy::AltF4, "Alt+F4", IDCANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const INT_PTR result = openAndClose(c.how);
        ASSERT_NE(Box.about, nullptr);
        EXPECT_FALSE(Box.watchdogFired) << "the box did not close";
        EXPECT_EQ(result, c.result);
        EXPECT_TRUE(IsWindowEnabled(Box.owner));
        DestroyWindow(Box.owner);
        Box.owner = nullptr;
    }
}

TEST(AboutBoxProcedure, LeavesEverythingButOkAndCancelToTheDefaultHandling) {
    // Commands other than 1 and 2 (whatever their notification code) and other messages are not
    // handled, and the box stays open.
    HWND about = CreateDialogParamA(self(), MAKEINTRESOURCEA(IDD_ABOUT), nullptr, aboutBoxProc, 0);
    ASSERT_NE(about, nullptr);
    ShowWindow(about, SW_SHOWNA);
    EXPECT_EQ(aboutBoxProc(about, WM_COMMAND, MAKEWPARAM(3, 0), 0), FALSE);
    EXPECT_EQ(aboutBoxProc(about, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_ICON + 1000, 0), 0), FALSE);
    EXPECT_EQ(aboutBoxProc(about, WM_SYSCOMMAND, SC_CLOSE, 0), FALSE);
    EXPECT_EQ(aboutBoxProc(about, WM_CLOSE, 0, 0), FALSE);
    EXPECT_EQ(aboutBoxProc(about, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_TRUE(IsWindowVisible(about));
    // The ID is the low 16 bits: a notification code above them does not hide it.
    EXPECT_EQ(aboutBoxProc(about, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0), TRUE);
    EXPECT_FALSE(IsWindowVisible(about)) << "ended, so hidden";
    DestroyWindow(about);
}

TEST(AboutBoxFromTheMenu, HelpAboutOpensItOverTheRealMainDialog) {
    // The editor's own dialog procedure, started in the examples folder where Category.txt is.
    registerWindowClasses();
    Instance = self();
    HWND main = CreateDialogParamA(self(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
    ASSERT_NE(main, nullptr);
    Box.owner = main;
    // What the menu item "&About ..." sends.
    watchAbout(CloseBy::OkClick, [main] { return SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0); });
    ASSERT_NE(Box.about, nullptr) << "no About box appeared";
    EXPECT_STREQ(Box.title, "About");
    EXPECT_EQ(Box.boxOwner, main);
    EXPECT_FALSE(Box.ownerEnabled) << "the About box is modal over the main dialog";
    EXPECT_TRUE(Box.iconShown);
    EXPECT_FALSE(Box.watchdogFired);
    EXPECT_FALSE(IsWindow(Box.about));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_TRUE(IsWindow(main)) << "closing the About box leaves the main dialog";
    DestroyWindow(main);
    Box.owner = nullptr;
}

// ---- Running the main dialog ----------------------------------------------------------------

struct StartUp {
    HWND dialog;
    HWND streamListSeen;
    char streamListClass[32];
    HINSTANCE instanceSeen;
};
StartUp Started;

// Looks at the dialog as the editor's start-up would find it, then ends the run the only way the
// program does: the quit message.
INT_PTR CALLBACK lookAndQuit(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    Started.dialog = dialog;
    Started.instanceSeen = Instance;
    MainDialog = dialog;
    Started.streamListSeen = control(IDC_STREAM_LIST);
    GetClassNameA(Started.streamListSeen, Started.streamListClass, sizeof Started.streamListClass);
    PostQuitMessage(0);
    return TRUE;
}

// The modal loop hands the quit message on to the thread's queue when it ends; the tests after
// this one run their own loops, so it is taken out here.
void dropQuitMessage() {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

bool RunWatchdogFired = false;

void CALLBACK endStuckRun(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    RunWatchdogFired = true;
    PostQuitMessage(0);
}

TEST(RunMainDialog, CreatesTheDialogWithItsListViewAndReturnsZeroOnTheQuitMessage) {
    Started = StartUp{};
    RunWatchdogFired = false;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, WatchdogDelay, endStuckRun);
    EXPECT_EQ(runMainDialog(self(), lookAndQuit), 0);
    KillTimer(nullptr, watchdog);
    dropQuitMessage();
    EXPECT_FALSE(RunWatchdogFired) << "the quit message did not end the run";
    ASSERT_NE(Started.dialog, nullptr) << "the main dialog was not created";
    EXPECT_EQ(Started.instanceSeen, self()) << "the instance is remembered before the dialog runs";
    EXPECT_NE(Started.streamListSeen, nullptr);
    EXPECT_STREQ(Started.streamListClass, "SysListView32");
    EXPECT_FALSE(IsWindow(Started.dialog)) << "the loop's end takes the dialog away";
    MainDialog = nullptr;
}

TEST(RunMainDialog, ReturnsZeroAtOnceWhenTheDialogCannotBeCreated) {
    // A module without the template: no dialog, no start-up, still exit code 0.
    Started = StartUp{};
    EXPECT_EQ(runMainDialog(GetModuleHandleA("kernel32.dll"), lookAndQuit), 0);
    dropQuitMessage();
    EXPECT_EQ(Started.dialog, nullptr);
    Instance = nullptr;
}

// ---- Main dialog window ---------------------------------------------------------------------

INT_PTR CALLBACK layoutOnly(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

class MainWindow : public testing::Test {
protected:
    static void SetUpTestSuite() { registerWindowClasses(); }
    void SetUp() override {
        dialog = CreateDialogParamA(self(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, layoutOnly, 0);
        ASSERT_NE(dialog, nullptr) << "the main dialog cannot be created, error " << GetLastError();
    }
    void TearDown() override {
        if (dialog != nullptr) DestroyWindow(dialog);
    }

    // A rectangle in dialog units as client pixels of this dialog.
    RECT pixels(int x, int y, int width, int height) const {
        RECT rect{x, y, x + width, y + height};
        MapDialogRect(dialog, &rect);
        return rect;
    }
    RECT placeOf(HWND window) const {
        RECT rect{};
        GetWindowRect(window, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    HWND dialog = nullptr;
};

TEST_F(MainWindow, EveryControlSitsWhereTheLayoutPutsIt) {
    HWND child = GetWindow(dialog, GW_CHILD);
    for (int i = 0; i < layout::ControlCount; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const layout::Control& want = layout::MainControls[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1) + " \"" + want.text + "\" ID " + std::to_string(want.id));
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), want.id);
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        EXPECT_EQ(_stricmp(className, want.className), 0) << className;
        char text[64] = {};
        GetWindowTextA(child, text, sizeof text);
        if (_stricmp(want.className, "Edit") != 0) {
            EXPECT_STREQ(text, want.text);
        }
        EXPECT_TRUE(IsWindowVisible(child));

        const RECT expected = pixels(want.x, want.y, want.width, want.height);
        const RECT actual = placeOf(child);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        if (_stricmp(want.className, "ComboBox") == 0) {
            // A closed drop-down list is one line high; the template's height is the open list's.
            EXPECT_LT(actual.bottom, expected.bottom);
            EXPECT_GT(actual.bottom, actual.top);
        } else {
            EXPECT_EQ(actual.bottom, expected.bottom);
        }
        // The window keeps the template's style bits, but for two the system moves: a dialog
        // control's border becomes its sunken client edge, and a scroll bar style shows only
        // while there is something to scroll (a combo box hands it to its drop-down list).
        const DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE));
        const DWORD kept = want.style & ~static_cast<DWORD>(WS_BORDER | WS_VSCROLL);
        EXPECT_EQ(style & kept, kept) << std::hex << style;
        const bool bordered = (style & WS_BORDER) != 0 || (exStyle & WS_EX_CLIENTEDGE) != 0;
        EXPECT_EQ(bordered, (want.style & WS_BORDER) != 0) << std::hex << style << " " << exStyle;
    }
    EXPECT_EQ(child, nullptr) << "more children than the layout's 40";
}

TEST_F(MainWindow, HasAFixedFrameItsTitleAndMenuAndIsCentred) {
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u) << "resizable or maximizable";
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    char title[32] = {};
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "Vessaly");
    HMENU menu = GetMenu(dialog);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), 0) << "the dialog sets no icon";

    // The client area is the template's 360 x 192 units, below the menu bar.
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT whole = pixels(0, 0, layout::MainWidth, layout::MainHeight);
    EXPECT_EQ(client.right, whole.right);
    EXPECT_EQ(client.bottom, whole.bottom);

    RECT work{}, window{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(dialog, &window);

    // The frame offers no edge or corner to drag.
    const POINT frame[] = {{window.left, (window.top + window.bottom) / 2},
                           {window.right - 1, (window.top + window.bottom) / 2},
                           {(window.left + window.right) / 2, window.bottom - 1},
                           {window.right - 1, window.bottom - 1},
                           {window.left, window.top}};
    for (const POINT& at : frame) {
        const LRESULT hit = SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
        EXPECT_TRUE(hit < HTLEFT || hit > HTBOTTOMRIGHT) << "sizing edge " << hit << " at " << at.x << "," << at.y;
    }

    EXPECT_LE(std::abs((window.left + window.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (work.top + work.bottom)), 2);
}

TEST_F(MainWindow, FocusStartsOnTheChannelListAndTabRunsInLayoutOrder) {
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_CHANNEL_LIST));
    const int order[] = {IDC_CHANNEL_LIST, IDC_OPEN,     IDC_SAVE,        IDC_MAKE_COPY,   IDC_DELETE,
                         IDC_NAME,         IDC_PROVIDER, IDC_FREQUENCY,   IDC_SYMBOL_RATE, IDC_POLARITY,
                         IDC_SERVICE_TYPE, IDC_CATEGORY, IDC_TID,         IDC_SID,         IDC_PMT,
                         IDC_PCR,          IDC_ECM,      IDC_VID,         IDC_AUD,         IDC_TTX,
                         IDC_AC3,          IDC_MODIFY,   IDC_CHANNEL_LIST};
    HWND at = GetDlgItem(dialog, IDC_CHANNEL_LIST);
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
        at = GetNextDlgTabItem(dialog, at, FALSE);
        EXPECT_EQ(GetDlgCtrlID(at), order[i]) << "tab step " << i;
    }
}

TEST_F(MainWindow, NumberFieldsRefuseLettersAndMinusTextFieldsTakeThem) {
    for (const layout::Control& field : layout::MainControls) {
        if (_stricmp(field.className, "Edit") != 0) continue;
        SCOPED_TRACE("field ID " + std::to_string(field.id));
        HWND edit = GetDlgItem(dialog, field.id);
        for (char typed : {'a', '-', '7', 'Z', '0'}) SendMessageA(edit, WM_CHAR, typed, 1);
        char text[16] = {};
        GetWindowTextA(edit, text, sizeof text);
        EXPECT_STREQ(text, (field.style & ES_NUMBER) ? "70" : "a-7Z0");
    }
}

// The part of a control's client area its own painting changes from its background (the colour
// of its top-left pixel), as it paints itself into a bitmap.
RECT inkOf(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    HDC windowDc = GetDC(control);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memoryDc, bitmap);
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memoryDc), PRF_CLIENT | PRF_ERASEBKGND);
    const COLORREF background = GetPixel(memoryDc, 0, 0);
    RECT ink{client.right, client.bottom, -1, -1};
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            if (GetPixel(memoryDc, x, y) == background) continue;
            ink.left = std::min<LONG>(ink.left, x);
            ink.top = std::min<LONG>(ink.top, y);
            ink.right = std::max<LONG>(ink.right, x);
            ink.bottom = std::max<LONG>(ink.bottom, y);
        }
    }
    SelectObject(memoryDc, old);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(control, windowDc);
    return ink;
}

TEST_F(MainWindow, LabelsShowTheirWholeTextWithRoomToSpare) {
    // A cut label has ink up to its last column; a whole one leaves blank columns and rows around
    // its text. (The painted ink is measured rather than the font's text extents, which Wine
    // reports wider than it draws.)
    HWND child = GetWindow(dialog, GW_CHILD);
    for (int i = 0; i < layout::ControlCount; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const layout::Control& want = layout::MainControls[i];
        if (want.style != layout::LabelStyle) continue;
        SCOPED_TRACE(want.text);
        RECT client{};
        GetClientRect(child, &client);
        const RECT ink = inkOf(child);
        ASSERT_GE(ink.right, 0) << "nothing painted";
        EXPECT_GT(ink.left, -1);
        EXPECT_LT(ink.right, client.right - 1);
        EXPECT_GT(ink.top, 0);
        EXPECT_LT(ink.bottom, client.bottom - 1);
    }
}

TEST_F(MainWindow, ButtonTextsFitWithinTheirFrames) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, font);
    for (const layout::Control& want : layout::MainControls) {
        if (want.style != layout::PushButtonStyle) continue;
        SCOPED_TRACE(want.text);
        SIZE extent{};
        GetTextExtentPoint32A(dc, want.text, static_cast<int>(std::strlen(want.text)), &extent);
        const RECT place = pixels(want.x, want.y, want.width, want.height);
        EXPECT_LE(extent.cx, place.right - place.left - 2 * GetSystemMetrics(SM_CXEDGE));
        EXPECT_LE(extent.cy, place.bottom - place.top - 2 * GetSystemMetrics(SM_CYEDGE));
    }
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
}

}  // namespace
