#pragma once
// A channel list as the settings of a Linux satellite receiver: the service database (lamedb,
// version 4, and lamedb5, version 5) and the bouquets that hold the order (bouquets.tv,
// bouquets.radio and the user bouquets they name).

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/list_format.h"

// What export had to merge or move, beyond its notes: a list with none of these comes back from
// import as it went out.
struct Enigma2ExportSummary {
    int sharedEntries = 0;       // channels written as another channel's lamedb entry
    int sharedTransponders = 0;  // channels whose transponder is written with another channel's tuning
    int radioMoved = 0;          // radio channels that come back after TV or data channels they preceded
    int changedTexts = 0;        // names and providers lamedb holds with a character replaced
};

// One file of a settings folder: its name and its bytes, views into what export wrote or into the
// file import reads, held by the caller.
struct SettingsFile {
    std::string_view name;
    std::string_view bytes;
};

// The files of a settings folder, by name: lamedb, lamedb5, bouquets.tv, bouquets.radio and the user
// bouquets userbouquet.kvx.tv and userbouquet.kvx.radio. Names and providers that had to change are
// noted with the channel's position; so are channels that share one database entry. False, with
// problems, when a text cannot be written (not UTF-8 without a code page).
//
// The files are written one after another into bytes (cleared first; reserve enigma2ExportSize for
// it), files viewing each in turn.
bool exportEnigma2(std::span<const ChannelRecord> records, const FormatOptions& options, std::string& bytes,
                   std::vector<SettingsFile>& files, FormatReport& report, Enigma2ExportSummary* summary = nullptr);

// Room for the bytes of a list's settings folder; more when names and providers are converted from a
// code page.
std::size_t enigma2ExportSize(std::span<const ChannelRecord> records);

// The same files, each in its own string, for callers that keep them apart.
bool exportEnigma2(std::span<const ChannelRecord> records, const FormatOptions& options, std::vector<NamedFile>& files,
                   FormatReport& report, Enigma2ExportSummary* summary = nullptr);

// Reads the satellite services of the folder's files (lamedb, else lamedb5; the bouquets for the
// order) into records; the files' bytes are read in place. False, with a problem for each bad line
// that names the file holding it.
bool importEnigma2(std::span<const SettingsFile> files, const FormatOptions& options, RecordList& records,
                   FormatReport& report);
// The same over files held whole, as export writes them.
bool importEnigma2(std::span<const NamedFile> files, const FormatOptions& options, RecordList& records,
                   FormatReport& report);

// True when the file name is one the settings folder reader takes.
bool isEnigma2SettingsFile(std::string_view name);
