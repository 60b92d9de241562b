// The channel list's items, mirroring the channel table.
#include "app/channel_list.h"

#include <windows.h>

#include "app/window_services.h"
#include "channel/channel_table.h"
#include "resources/resource_ids.h"

namespace {

HWND channelList() { return control(IDC_CHANNEL_LIST); }

}  // namespace

void rebuildChannelList() {
    const HWND list = channelList();
    // A repaint per added item costs milliseconds under Wine; one repaint at the end instead.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const std::int32_t count = ChannelTable::count;
    SendMessageA(list, LB_INITSTORAGE, static_cast<WPARAM>(count),
                 static_cast<LPARAM>(count) * (TextFieldSize + 1));
    for (std::int32_t i = 0; i < count; ++i) {
        const FieldText name = ChannelTable::nameAt(i);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.text));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void addLastChannelItem() {
    const FieldText name = ChannelTable::nameAt(ChannelTable::count - 1);
    SendMessageA(channelList(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.text));
}

void renameChannelItem(std::int32_t index, const char* text) {
    const HWND list = channelList();
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
}

void deleteChannelItem(std::int32_t index) {
    SendMessageA(channelList(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void selectChannelItem(std::int32_t index) {
    SendMessageA(channelList(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::int32_t channelItemCount() {
    return static_cast<std::int32_t>(SendMessageA(channelList(), LB_GETCOUNT, 0, 0));
}
