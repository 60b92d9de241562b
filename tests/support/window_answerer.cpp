// A WH_CBT hook on the test's thread that answers the windows a test expects and refuses the rest.
#include "tests/support/window_answerer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tests/support/window_owner.h"

namespace {

WindowAnswerer* Current = nullptr;

constexpr int MessageTextId = 0xFFFF;         // the static control holding a message box's text
constexpr int ChooserFileNameBox = 0x47c;     // cmb13: the chooser's file-name combo box
constexpr int ChooserOldFileNameBox = 0x480;  // edt1, where a chooser has no combo box
constexpr UINT ActDelayMs = 20;
constexpr UINT WatchdogMs = 8000;

std::string windowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND findDescendant(HWND parent, const char* wantedClass) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (className(child) == wantedClass) return child;
        if (HWND inner = findDescendant(child, wantedClass)) return inner;
    }
    return nullptr;
}

HWND chooserFileNameEdit(HWND chooser) {
    if (HWND combo = GetDlgItem(chooser, ChooserFileNameBox)) {
        if (HWND edit = findDescendant(combo, "Edit")) return edit;
    }
    return GetDlgItem(chooser, ChooserOldFileNameBox);
}

bool isChooser(HWND window) { return chooserFileNameEdit(window) != nullptr; }

void pressButton(HWND window, int button) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
}

void refuse(HWND window) {
    pressButton(window, IDCANCEL);
    PostMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

WindowAnswerer::WindowAnswerer(OwnWindowTest isOwnWindow) : isOwnWindow_(isOwnWindow) {
    Current = this;
    hook_ = SetWindowsHookExA(WH_CBT, cbtHook, nullptr, GetCurrentThreadId());
    if (hook_ == nullptr) problems_.push_back("the window hook could not be installed");
}

WindowAnswerer::~WindowAnswerer() {
    if (actTimerId_ != 0) KillTimer(nullptr, actTimerId_);
    if (watchdogId_ != 0) KillTimer(nullptr, watchdogId_);
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (Current == this) Current = nullptr;
}

void WindowAnswerer::expectMessageBox(const char* caption, const char* text, int button) {
    expected_.push_back({false, false, caption, text, button});
}

void WindowAnswerer::expectMessageBoxStartingWith(const char* caption, const char* prefix, int button) {
    expected_.push_back({false, true, caption, prefix, button});
}

void WindowAnswerer::expectChooser(const char* title, const char* path) {
    expected_.push_back({true, false, title, path, IDOK});
}

void WindowAnswerer::expectChooserCancelled(const char* title) {
    expected_.push_back({true, false, title, "", IDCANCEL});
}

bool WindowAnswerer::allAnswered() const { return problems_.empty() && next_ == expected_.size(); }

std::string WindowAnswerer::report() const {
    std::string out;
    for (const std::string& line : log_) out += "  seen: " + line + "\n";
    for (const std::string& line : problems_) out += "  problem: " + line + "\n";
    for (std::size_t i = next_; i < expected_.size(); ++i) {
        out += "  never appeared: " + std::string(expected_[i].chooser ? "chooser \"" : "message box \"") +
               expected_[i].caption + "\" " + expected_[i].text + "\n";
    }
    return out;
}

LRESULT CALLBACK WindowAnswerer::cbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (Current != nullptr) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_ACTIVATE) Current->windowActivated(window);
        if (code == HCBT_DESTROYWND) {
            auto& handled = Current->handled_;
            handled.erase(std::remove(handled.begin(), handled.end(), window), handled.end());
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void WindowAnswerer::windowActivated(HWND window) {
    if (!madeByThisThread(window)) return;  // none (activation leaving us) or another program's
    if (isOwnWindow_ != nullptr && isOwnWindow_(window)) return;
    if (std::find(handled_.begin(), handled_.end(), window) != handled_.end()) return;
    handled_.push_back(window);

    const std::string caption = windowText(window);
    const bool chooser = isChooser(window);
    std::string text;
    if (HWND message = GetDlgItem(window, MessageTextId)) text = windowText(message);
    char handle[32];
    std::snprintf(handle, sizeof handle, " [%p]", static_cast<void*>(window));
    const std::string seen =
        (chooser ? "chooser \"" : "window \"") + caption + "\" (" + className(window) + handle + ") " + text;
    log_.push_back(seen);
    seen_.push_back({caption, text, chooser ? windowText(chooserFileNameEdit(window)) : std::string(),
                     GetWindow(window, GW_OWNER)});

    if (next_ >= expected_.size()) {
        problems_.push_back("unexpected " + seen);
        refuse(window);
    } else {
        const Expected& want = expected_[next_];
        const bool textMatches = want.chooser || (want.prefixOnly ? text.rfind(want.text, 0) == 0 : text == want.text);
        if (want.chooser != chooser || want.caption != caption || !textMatches) {
            problems_.push_back("expected " + std::string(want.chooser ? "chooser \"" : "message box \"") +
                                want.caption + "\" " + (want.chooser ? "" : want.text) + ", got " + seen);
            refuse(window);
        } else {
            ++next_;
            pending_ = window;
            pendingChooser_ = want.chooser;
            pendingButton_ = want.button;
            pendingPath_ = want.text;
            // The answer waits until the window's own activation has finished.
            actTimerId_ = SetTimer(nullptr, 0, ActDelayMs, actTimer);
        }
    }
    if (watchdogId_ != 0) KillTimer(nullptr, watchdogId_);
    watchdogId_ = SetTimer(nullptr, 0, WatchdogMs, watchdogTimer);
}

void CALLBACK WindowAnswerer::actTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (Current != nullptr && Current->actTimerId_ == id) {
        Current->actTimerId_ = 0;
        Current->act();
    }
}

void WindowAnswerer::act() {
    if (pending_ == nullptr || !IsWindow(pending_)) return;
    if (pendingChooser_ && pendingButton_ == IDOK) SetWindowTextA(chooserFileNameEdit(pending_), pendingPath_.c_str());
    pressButton(pending_, pendingButton_);
    pending_ = nullptr;
}

void CALLBACK WindowAnswerer::watchdogTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (Current != nullptr && Current->watchdogId_ == id) {
        Current->watchdogId_ = 0;
        Current->watchdog();
    }
}

void WindowAnswerer::watchdog() {
    for (HWND window : handled_) {
        if (!IsWindow(window)) continue;
        problems_.push_back("still open after the watchdog's wait: \"" + windowText(window) + "\"");
        refuse(window);
    }
    if (!handled_.empty()) watchdogId_ = SetTimer(nullptr, 0, WatchdogMs, watchdogTimer);
}
