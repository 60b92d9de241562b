#pragma once
// The channel list (control IDC_CHANNEL_LIST) kept in step with the channel table: item i always
// shows the name of table slot i. Every change touches as few items as it can and draws once,
// because under Wine each change of a visible list box may repaint it and its scroll bar.

#include <cstdint>

// Empties the list and adds every channel name in table order; nothing is selected.
void rebuildChannelList();

// Adds the name of the table's last channel as the list's last item and selects that item.
void addLastChannelItem();

// Shows text as item index, at the same place, and selects it.
void renameChannelItem(std::int32_t index, const char* text);

// Deletes item index, then selects item selectAfter (-1: nothing).
void deleteChannelItem(std::int32_t index, std::int32_t selectAfter);

// Selects item index (-1 clears); raises no selection notification.
void selectChannelItem(std::int32_t index);

std::int32_t channelItemCount();
