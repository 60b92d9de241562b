#pragma once
// The channel list (control IDC_CHANNEL_LIST) kept in step with the channel table: item i always
// shows the name of table slot i. Every change touches as few items as it can, because under Wine
// each message to a visible list box may repaint it.

#include <cstdint>

// Empties the list and adds every channel name in table order, with redraw suspended.
void rebuildChannelList();

// Adds the name of the table's last channel as the list's last item.
void addLastChannelItem();

// Shows text as item index, at the same place.
void renameChannelItem(std::int32_t index, const char* text);

void deleteChannelItem(std::int32_t index);

// Selects item index (-1 clears); raises no selection notification.
void selectChannelItem(std::int32_t index);

std::int32_t channelItemCount();
