#pragma once
// The record form: the buffer between the form's controls and the channel table, the remembered
// selection, and the two transfers between buffer and controls.

#include <cstdint>

#include "channel/channel_record.h"

extern ChannelRecord CurrentRecord;  // the record bound to the form
extern std::int32_t SelectedIndex;   // channel list selection as last taken by showSelected; -1 for none
extern bool FormUpdating;            // true only while showSelected writes the controls

// Binds the form to the channel selected in the channel list (the empty record when none).
void showSelected();

// Reads the sixteen form controls into CurrentRecord; does nothing while FormUpdating.
void readForm();
