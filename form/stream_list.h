#pragma once
// The read-only stream list of the form: four columns, one row per stream entry.

#include <windows.h>

#include "channel/channel_record.h"

// Inserts the four columns; false if the control refused one (no further columns are inserted).
bool initStreamColumns(HWND listView);

// Rebuilds the rows of the main dialog's stream list from record.streams.
void fillStreamList(const ChannelRecord& record);
