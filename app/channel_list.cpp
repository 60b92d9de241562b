// The channel list's items, mirroring the channel table.
#include "app/channel_list.h"

#include <windows.h>

#include "app/window_services.h"
#include "channel/channel_table.h"
#include "resources/resource_ids.h"

namespace {

HWND channelList() { return control(IDC_CHANNEL_LIST); }

// Under Wine a visible list box repaints for every item it gains or loses, and redraws its scroll
// bar at once whenever its range is set, which takes milliseconds each time. While the list
// changes it is kept out of drawing altogether: the list box's own switch stops the items, and the
// window's switch (DefWindowProc) stops the scroll bar; afterwards the list is repainted once.
void beginChange(HWND list) {
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    DefWindowProcA(list, WM_SETREDRAW, FALSE, 0);
}

// The frame holds the scroll bar: it needs repainting only when the number of items changed.
void endChange(HWND list, bool countChanged) {
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    DefWindowProcA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | (countChanged ? RDW_FRAME : 0));
}

void addName(HWND list, std::int32_t index) {
    const FieldText name = ChannelTable::nameAt(index);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.text));
}

}  // namespace

void rebuildChannelList() {
    const HWND list = channelList();
    beginChange(list);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const std::int32_t count = ChannelTable::count;
    SendMessageA(list, LB_INITSTORAGE, static_cast<WPARAM>(count), static_cast<LPARAM>(count) * (TextFieldSize + 1));
    for (std::int32_t i = 0; i < count; ++i) addName(list, i);
    endChange(list, true);
}

void addLastChannelItem() {
    const HWND list = channelList();
    beginChange(list);
    addName(list, ChannelTable::count - 1);
    const LRESULT items = SendMessageA(list, LB_GETCOUNT, 0, 0);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(items - 1), 0);
    endChange(list, true);
}

void renameChannelItem(std::int32_t index, const char* text) {
    const HWND list = channelList();
    beginChange(list);
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    endChange(list, false);
}

void deleteChannelItem(std::int32_t index, std::int32_t selectAfter) {
    const HWND list = channelList();
    beginChange(list);
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selectAfter), 0);
    endChange(list, true);
}

void selectChannelItem(std::int32_t index) { SendMessageA(channelList(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

std::int32_t channelItemCount() { return static_cast<std::int32_t>(SendMessageA(channelList(), LB_GETCOUNT, 0, 0)); }
