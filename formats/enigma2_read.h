#pragma once
// The settings folder's files read into tables that point into the files' bytes: lamedb's
// transponders and services, indexed once by key, and the bouquets' entries in order.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/enigma2_format.h"
#include "formats/enigma2_values.h"
#include "formats/list_format.h"
#include "lists/key_table.h"
#include "lists/large_pages.h"

namespace enigma2 {

// A text of a file as its place there: half the room of a view, in tables of thousands of rows.
// The import takes no file of 4 GB or more.
struct TextAt {
    std::uint32_t at = 0;
    std::uint32_t size = 0;
};

inline TextAt textAt(std::string_view file, std::string_view text) {
    return {static_cast<std::uint32_t>(text.data() - file.data()), static_cast<std::uint32_t>(text.size())};
}

inline std::string_view textIn(std::string_view file, TextAt text) { return file.substr(text.at, text.size); }

struct Transponder {
    std::uint32_t dvbNamespace;
    std::uint16_t tsid;
    std::uint16_t onid;
    std::int32_t frequencyKhz;
    std::int32_t symbolRate;    // symbols per second, not negative
    int line;                   // of the tuning, for messages
    std::int16_t position;      // 0 to 3599 tenths of a degree east
    std::uint8_t polarisation;  // 0 to 3
    bool satellite;             // cable, terrestrial and ATSC transponders are kept only to be counted
};

struct Service {
    std::uint32_t dvbNamespace;
    std::uint16_t tsid;
    std::uint16_t onid;
    std::uint16_t sid;
    std::uint16_t serviceType;
    TextAt name;  // in Database::bytes
    TextAt provider;
    std::array<std::uint16_t, std::size(CachedPids)> pids;  // as CachedPids; 0 where lamedb has none
    int videoType;                                          // -1 where lamedb has none
    int nameLine;     // of the name; the p: and c: data are on the next line in version 4, on it in 5
    int transponder;  // into Database::transponders; -1 where lamedb has no transponder for it
};

struct Database {
    std::string file;  // "lamedb" or "lamedb5", for messages
    std::string_view bytes;
    int version = 4;
    LargeVector<Transponder> transponders;
    LargeVector<Service> services;  // the first of each key only
    // Services by key (namespace, TSID, ONID, SID). The hash is drawn for each run, so that no lamedb
    // can choose keys that crowd a few slots.
    KeyTable index;
    WordHash hash;  // of the words of keyWords
};

// Reads a lamedb of version 4 or 5 (the header says which, whatever the file's name). False, with a
// problem for each bad line; the tables then hold what was read.
bool readLamedb(const SettingsFile& file, Database& database, FormatReport& report);

std::string_view nameOf(const Database& database, const Service& service);
std::string_view providerOf(const Database& database, const Service& service);
int dataLineOf(const Database& database, const Service& service);

// The service with that key, or -1.
int findService(const Database& database, std::uint32_t dvbNamespace, std::uint16_t tsid, std::uint16_t onid,
                std::uint16_t sid);

// A bouquet entry that is more than a service under lamedb's name: a marker, or a service the
// bouquet names itself.
struct EntryDetail {
    int service;   // into Database::services; -1 for a marker
    int file;      // into the files, for messages
    int line;      // of its #SERVICE line
    int nameFile;  // the file name is in: a #DESCRIPTION after a FROM BOUQUET line names the one
                   // entry of the bouquet read there
    TextAt name;   // a marker's name; a service's name as the bouquet renames it
};

// Where a file's entries start: a bouquet named inside another is read in its place, and the
// other's entries go on after it.
struct EntryRun {
    int first;  // into Bouquets::entries
    int file;
};

// The bouquets' entries in order: a service under lamedb's name is its position in
// Database::services, any other entry -1 - its position in details.
struct Bouquets {
    LargeVector<int> entries;
    LargeVector<EntryDetail> details;
    std::vector<EntryRun> runs;
    std::size_t read = 0;  // entries the bouquets hold, those left out too: 0 where the folder has no bouquet
};

// The entries of bouquets.tv's user bouquets, then bouquets.radio's, then those of user bouquets
// neither names (with a note). Each bouquet file is read once: one named again (twice, or in a
// cycle) is not read again, one nested more than 64 deep is read after the others, each with a note.
// Entries for services lamedb lacks, streams and other kinds of entries are left out and counted in
// notes. False, with problems, for a bad service reference.
bool readBouquets(std::span<const SettingsFile> files, const Database& database, Bouquets& bouquets,
                  FormatReport& report);

// Text helpers the readers share.
struct LineReader {
    std::string_view text;
    std::size_t at = 0;
    int number = 0;
    bool next(std::string_view& line);  // without its LF and a CR before it
};

template <std::size_t N>
std::size_t splitFields(std::string_view text, char separator, std::array<std::string_view, N>& fields) {
    std::size_t count = 0;
    while (count < N) {
        std::size_t end = 0;  // fields are a few characters: a plain scan beats a call to search
        while (end < text.size() && text[end] != separator) ++end;
        fields[count++] = text.substr(0, end);
        if (end == text.size()) break;
        text.remove_prefix(end + 1);
    }
    return count;
}

bool readHex(std::string_view text, std::uint32_t maximum, std::uint32_t& value);
bool readDecimal(std::string_view text, std::int64_t minimum, std::int64_t maximum, std::int64_t& value);

}  // namespace enigma2
