#pragma once
// Answers the message boxes and file choosers that a test's own actions open on the test's thread,
// through the real windows: a WH_CBT hook notices each window as it is activated, checks it against
// the next expected answer, and presses the button (typing a path into a chooser first). Anything
// unexpected is recorded and closed, and a watchdog closes a window that is still open after a few
// seconds, so that a test never hangs in a modal loop. Windows of other threads are never counted or
// touched, even when Wine reports their activation to the hook.

#include <windows.h>

#include <string>
#include <vector>

class WindowAnswerer {
public:
    // Windows this predicate accepts are the test's own (the main dialog) and are never answered.
    using OwnWindowTest = bool (*)(HWND window);

    explicit WindowAnswerer(OwnWindowTest isOwnWindow = nullptr);
    ~WindowAnswerer();
    WindowAnswerer(const WindowAnswerer&) = delete;
    WindowAnswerer& operator=(const WindowAnswerer&) = delete;

    // A message box with exactly this caption and text; button is IDYES, IDNO, IDCANCEL, IDOK...
    void expectMessageBox(const char* caption, const char* text, int button);
    // A message box with this caption whose text starts with prefix (for texts the system words).
    void expectMessageBoxStartingWith(const char* caption, const char* prefix, int button);
    // A file chooser with this title: path is typed into its file-name box and OK is pressed.
    void expectChooser(const char* title, const char* path);
    // A file chooser with this title, cancelled.
    void expectChooserCancelled(const char* title);

    // True when every expected window appeared, matched and was answered, and nothing else came.
    bool allAnswered() const;
    // What happened, one line per window, with the problems; for failure messages.
    std::string report() const;
    // Every window answered or refused, in the order they appeared.
    struct Seen {
        std::string caption;
        std::string text;      // a message box's text
        std::string fileName;  // what a chooser's file-name box held when it appeared
        HWND owner;
    };
    const std::vector<Seen>& seen() const { return seen_; }

private:
    struct Expected {
        bool chooser;
        bool prefixOnly;
        std::string caption;
        std::string text;  // message text, or the chooser's path
        int button;
    };

    static LRESULT CALLBACK cbtHook(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK actTimer(HWND, UINT, UINT_PTR id, DWORD);
    static void CALLBACK watchdogTimer(HWND, UINT, UINT_PTR id, DWORD);

    void windowActivated(HWND window);
    void act();
    void watchdog();

    OwnWindowTest isOwnWindow_;
    HHOOK hook_ = nullptr;
    std::vector<Expected> expected_;
    std::size_t next_ = 0;
    std::vector<HWND> handled_;  // windows already answered or refused, until destroyed
    HWND pending_ = nullptr;     // the window the next act() answers
    int pendingButton_ = 0;
    std::string pendingPath_;
    bool pendingChooser_ = false;
    UINT_PTR actTimerId_ = 0;
    UINT_PTR watchdogId_ = 0;
    std::vector<std::string> log_;
    std::vector<std::string> problems_;
    std::vector<Seen> seen_;
};
