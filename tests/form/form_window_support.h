#pragma once
// Channels for the form tests: put straight into the channel table, with the channel list filled the
// way the editor fills it after an Open, so that a click on an item shows that slot.

#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "app/window_services.h"
#include "channel/channel_table.h"
#include "resources/resource_ids.h"
#include "tests/support/main_dialog_fixture.h"

inline ChannelRecord namedChannel(const char* name) {
    ChannelRecord record{};
    std::strncpy(record.name, name, TextFieldSize - 1);
    return record;
}

inline StreamEntry streamEntry(std::uint8_t type, std::uint16_t pid, std::uint8_t kind, std::uint8_t langLength = 0,
                               const char* lang = "", std::uint16_t page = 0) {
    StreamEntry entry{};
    entry.streamType = type;
    entry.pid.set(pid);
    entry.kind = kind;
    entry.langLength = langLength;
    for (int i = 0; i < MaxLangLength && lang[i] != '\0'; ++i) entry.lang[i] = lang[i];
    entry.page.set(page);
    return entry;
}

inline ChannelRecord channelWithStreams(const char* name, std::initializer_list<StreamEntry> entries) {
    ChannelRecord record = namedChannel(name);
    for (const StreamEntry& entry : entries) record.streams[record.streamCount++] = entry;
    return record;
}

// Replaces the table and the channel list with these channels; nothing is selected.
inline void putChannels(std::initializer_list<ChannelRecord> records) {
    const HWND list = GetDlgItem(MainDialog, IDC_CHANNEL_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    ChannelTable::count = 0;
    for (const ChannelRecord& record : records) {
        ChannelTable::slots[ChannelTable::count++] = record;
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fieldTextCopy(record.name).text));
    }
}

inline void showChannel(int index) { chooseListItem(IDC_CHANNEL_LIST, index); }

inline bool sameBytes(const ChannelRecord& a, const ChannelRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
