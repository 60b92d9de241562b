#pragma once
// The main dialog's layout as the program must carry it: one table of its 40 controls in template
// (and tab) order, shared by the check of the resource bytes and the checks of the live window.

#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"

namespace layout {

constexpr DWORD MainDialogStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | DS_CENTER;
constexpr short MainX = 0, MainY = 0, MainWidth = 360, MainHeight = 192;
constexpr WORD FontPoints = 8, FontWeight = 400;
constexpr BYTE FontCharset = 204;  // Cyrillic
constexpr int ControlCount = 40;
constexpr int Unaddressed = -1;  // labels and the frame

// Every child carries these two; the rest is the control's own style.
constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD ChannelListStyle = Child | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD PushButtonStyle = Child | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD TextEditStyle = Child | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD DigitEditStyle = TextEditStyle | ES_NUMBER;
constexpr DWORD DropListStyle = Child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD LabelStyle = Child | SS_LEFT | SS_CENTERIMAGE | WS_GROUP;
constexpr DWORD FrameStyle = Child | BS_GROUPBOX;
constexpr DWORD StreamListStyle = Child | LVS_REPORT | LVS_SINGLESEL | LVS_ALIGNLEFT | WS_BORDER;

struct Control {
    int id;
    const char* className;
    const char* text;
    short x, y, width, height;
    DWORD style;
};

inline constexpr Control MainControls[ControlCount] = {
    {IDC_CHANNEL_LIST, "ListBox", "", 4, 4, 144, 168, ChannelListStyle},
    {IDC_OPEN, "Button", "Open", 4, 176, 24, 12, PushButtonStyle},
    {IDC_SAVE, "Button", "Save", 28, 176, 24, 12, PushButtonStyle},
    {IDC_MAKE_COPY, "Button", "Make copy", 52, 176, 48, 12, PushButtonStyle},
    {IDC_DELETE, "Button", "Delete", 100, 176, 48, 12, PushButtonStyle},
    {IDC_NAME, "Edit", "", 212, 8, 80, 12, TextEditStyle},
    {IDC_PROVIDER, "Edit", "", 212, 24, 80, 12, TextEditStyle},
    {IDC_FREQUENCY, "Edit", "", 212, 40, 80, 12, DigitEditStyle},
    {IDC_SYMBOL_RATE, "Edit", "", 212, 56, 80, 12, DigitEditStyle},
    {IDC_POLARITY, "ComboBox", "", 212, 72, 80, 64, DropListStyle},
    {IDC_SERVICE_TYPE, "ComboBox", "", 212, 88, 80, 64, DropListStyle},
    {IDC_CATEGORY, "ComboBox", "", 212, 104, 80, 104, DropListStyle},
    {IDC_TID, "Edit", "", 320, 8, 28, 12, DigitEditStyle},
    {IDC_SID, "Edit", "", 320, 24, 28, 12, DigitEditStyle},
    {IDC_PMT, "Edit", "", 320, 40, 28, 12, DigitEditStyle},
    {IDC_PCR, "Edit", "", 320, 56, 28, 12, DigitEditStyle},
    {IDC_ECM, "Edit", "", 320, 72, 28, 12, DigitEditStyle},
    {IDC_VID, "Edit", "", 320, 88, 28, 12, DigitEditStyle},
    {IDC_AUD, "Edit", "", 320, 104, 28, 12, DigitEditStyle},
    {IDC_TTX, "Edit", "", 320, 120, 28, 12, DigitEditStyle},
    {IDC_AC3, "Edit", "", 320, 136, 28, 12, DigitEditStyle},
    {IDC_MODIFY, "Button", "Modify", 300, 152, 48, 12, PushButtonStyle},
    {Unaddressed, "Static", "TID", 300, 8, 16, 12, LabelStyle},
    {Unaddressed, "Static", "Channel name", 160, 8, 48, 12, LabelStyle},
    {Unaddressed, "Button", "", 152, 0, 204, 188, FrameStyle},
    {Unaddressed, "Static", "Provider", 160, 24, 48, 12, LabelStyle},
    {Unaddressed, "Static", "Frequency", 160, 40, 48, 12, LabelStyle},
    {Unaddressed, "Static", "Symbol rate", 160, 56, 48, 12, LabelStyle},
    {Unaddressed, "Static", "Polarity", 160, 72, 48, 12, LabelStyle},
    {Unaddressed, "Static", "SID", 300, 24, 16, 12, LabelStyle},
    {Unaddressed, "Static", "PMT", 300, 40, 16, 12, LabelStyle},
    {Unaddressed, "Static", "PCR", 300, 56, 16, 12, LabelStyle},
    {Unaddressed, "Static", "ECM", 300, 72, 16, 12, LabelStyle},
    {Unaddressed, "Static", "VID", 300, 88, 16, 12, LabelStyle},
    {Unaddressed, "Static", "AUD", 300, 104, 16, 12, LabelStyle},
    {Unaddressed, "Static", "TTX", 300, 120, 16, 12, LabelStyle},
    {Unaddressed, "Static", "AC3", 300, 136, 16, 12, LabelStyle},
    {IDC_STREAM_LIST, "SysListView32", "", 160, 120, 132, 60, StreamListStyle},
    {Unaddressed, "Static", "Service type", 160, 88, 48, 12, LabelStyle},
    {Unaddressed, "Static", "Category", 160, 104, 48, 12, LabelStyle},
};

}  // namespace layout
