#pragma once
// A channel list as a channels.conf of the Linux video recorder: one line per channel, group lines
// (":Name") before each run of channels of one category.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/list_format.h"

struct VdrChannel;

// Appends the list. Channels the recorder would refuse (SID 0, empty name) are left out with a note;
// names or providers that had to change are noted with the channel's position. False, with problems,
// when a text cannot be written (not UTF-8 without a code page).
bool exportVdr(std::span<const ChannelRecord> records, const FormatOptions& options, std::string& out,
               FormatReport& report);

// Room that the text exportVdr appends for records almost always fits in, so that it can be
// reserved once (a larger text only grows).
std::size_t vdrExportSize(std::span<const ChannelRecord> records);

// What export writes for one record, for import to compare a line with: the channel line but for its
// texts (RID 0), and a name or provider as the line holds it (UTF-8, changed as vdrNameChange says;
// false when the record's bytes are not UTF-8 and no code page is given).
void vdrChannelOfRecord(const ChannelRecord& record, const FormatOptions& options, VdrChannel& channel);
bool vdrLineText(const char (&field)[TextFieldSize], const FieldContext& context, bool isProvider, std::string& text,
                 std::string& scratch);

// Reads the list's satellite channels into records (replacing what it held). False, with a problem
// for each bad line (line, field, why), when the text is not a channels.conf the recorder would load.
bool importVdr(std::string_view text, const FormatOptions& options, RecordList& records, FormatReport& report);
