#pragma once
// A channel list as the settings of a Linux satellite receiver: the service database (lamedb,
// version 4, and lamedb5, version 5) and the bouquets that hold the order (bouquets.tv,
// bouquets.radio and the user bouquets they name).

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

// The files of a settings folder, by name: lamedb, lamedb5, bouquets.tv, bouquets.radio and the user
// bouquets userbouquet.kvx.tv and userbouquet.kvx.radio. Names and providers that had to change are
// noted with the channel's position; so are channels that share one database entry. False, with
// problems, when a text cannot be written (not UTF-8 without a code page).
bool exportEnigma2(std::span<const ChannelRecord> records, const FormatOptions& options, std::vector<NamedFile>& files,
                   FormatReport& report, Enigma2ExportSummary* summary = nullptr);

// A settings file as import reads it: its name and bytes, held by the caller for the import's
// length (kvx maps the folder's files and reads them in place).
struct Enigma2File {
    std::string_view name;
    std::string_view bytes;
};

// Reads the satellite services of the folder's files (lamedb, else lamedb5; the bouquets for the
// order) into records. False, with a problem for each bad line, its column naming the file first
// ("lamedb: frequency").
bool importEnigma2(std::span<const Enigma2File> files, const FormatOptions& options,
                   std::vector<ChannelRecord>& records, FormatReport& report);
// The same over files held whole, as export writes them.
bool importEnigma2(std::span<const NamedFile> files, const FormatOptions& options, std::vector<ChannelRecord>& records,
                   FormatReport& report);

// True when the file name is one the settings folder reader takes.
bool isEnigma2SettingsFile(std::string_view name);
