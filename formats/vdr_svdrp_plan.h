#pragma once
// The SVDRP commands that turn a running recorder's channel list into the channels.conf export
// writes, planned with no I/O. The recorder's rules (measured on VDR 2.6): NEWC appends at the end,
// a group line too; group lines can be neither deleted nor moved; a channel whose ID is in the list
// is refused; the last channel cannot be deleted, nor one a timer uses; MOVC puts a channel moved
// down after its target and one moved up before it; MODC n replaces channel n; channels are numbered
// from 1, a group line ":@N" moving the next number up to N.
//
// The plan keeps what it can where it is: the wanted list's groups are found in order among the
// recorder's, and within them the longest run of channels already in order stays; what changed is
// rewritten (MODC), what moved is moved (MOVC), a channel that goes makes room for a new one at its
// place (MODC), and only what is left is added (NEWC) or deleted (DELC, by ID, last). Wanted groups
// the recorder lacks, and everything after the first of them, are added at the end. Group lines the
// recorder had and the wanted list lacks stay, emptied.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/vdr_svdrp_reply.h"

// A line of the recorder's list once the plan has run, and the command that deletes it (none: it stays).
struct SvdrpFinalLine {
    std::string text;
    std::size_t deletedBy = static_cast<std::size_t>(-1);
};

struct SvdrpPlan {
    std::vector<std::string> commands;  // in order, each answered 250 when it succeeds
    // Commands from here on delete channels by ID, one each, and change no number: one refused
    // (a timer the plan did not know of) leaves the others as planned.
    std::size_t firstDeletion = 0;
    int added = 0;    // channels the recorder lacks
    int changed = 0;  // channels kept whose line changes
    int moved = 0;    // channels kept at another place
    int removed = 0;  // channels the wanted list lacks
    int groupsAdded = 0;
    std::vector<std::string> strayGroups;    // group lines the recorder keeps that the wanted list lacks
    std::vector<std::string> heldChannels;   // lines of channels the wanted list lacks that timers keep
    std::vector<SvdrpFinalLine> finalLines;  // the listing (without numbers) once every command succeeded
};

// current: the reply to "LSTC :ids :groups"; wanted: a channels.conf; timerChannels: the IDs timers
// use ("LSTT id"). False, with why, when the list cannot be made (nothing is to be sent then).
bool planSvdrpChanges(std::span<const SvdrpChannelLine> current, std::string_view wanted,
                      std::span<const std::string> timerChannels, SvdrpPlan& plan, std::string& why);

// The recorder's ID of a channel line: SOURCE-NID-TID-SID, and -RID when RID is not 0. A line with
// neither NID nor TID has its transponder for TID: the frequency in MHz plus 100000, 200000, 300000
// or 400000 for H, V, L or R. False for a line without the fields up to SID as numbers.
bool vdrChannelId(std::string_view line, std::string& id);
