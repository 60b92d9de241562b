// The bouquets as Enigma2 loads them: bouquets.tv and bouquets.radio name user bouquets by
// "FROM BOUQUET"; a user bouquet holds "#SERVICE" lines, each perhaps followed by "#DESCRIPTION".
// Services are found in lamedb by SID, TSID, ONID and namespace (not by the type a bouquet gives
// them: bouquets often say TV for an HD service).
#include <algorithm>

#include "formats/enigma2_read.h"

namespace enigma2 {

namespace {

constexpr int FlagDirectory = 7;  // is a directory, must or can be descended into
constexpr int FlagMarker = 64;
constexpr int FlagGroup = 128;  // alternatives: one channel from several services

struct BouquetReader {
    std::span<const SettingsFile> files;
    const Database& database;
    Bouquets& bouquets;
    FormatReport& report;
    std::vector<bool> read;  // by position in files
    int streams = 0;         // entries that are not DVB services or markers
    int missing = 0;         // services lamedb lacks
    bool good = true;
    // The entries read, those left out too, and the last of them: a #DESCRIPTION goes to the entry
    // its #SERVICE line made, never to one before a left-out entry.
    std::size_t added = 0;
    bool lastLeftOut = false;
    int lastFile = 0;
    int lastLine = 0;
};

void addEntry(BouquetReader& reader, int position, int line, int entry) {
    Bouquets& bouquets = reader.bouquets;
    if (bouquets.runs.empty() || bouquets.runs.back().file != position)
        bouquets.runs.push_back({static_cast<int>(bouquets.entries.size()), position});
    bouquets.entries.push_back(entry);
    ++reader.added;
    reader.lastLeftOut = false;
    reader.lastFile = position;
    reader.lastLine = line;
}

int detailEntry(Bouquets& bouquets, const EntryDetail& detail) {
    bouquets.details.push_back(detail);
    return -static_cast<int>(bouquets.details.size());
}

void leaveOut(BouquetReader& reader) {
    ++reader.added;
    reader.lastLeftOut = true;
}

int fileNamed(const BouquetReader& reader, std::string_view name) {
    for (std::size_t i = 0; i < reader.files.size(); ++i) {
        if (reader.files[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

void readBouquet(BouquetReader& reader, int position);

// "... FROM BOUQUET "name" ORDER BY bouquet": the user bouquet named, read in its place.
void readNamedBouquet(BouquetReader& reader, std::string_view path, const SettingsFile& from, int line) {
    constexpr std::string_view From = "FROM BOUQUET \"";
    const std::size_t start = path.find(From);
    const std::size_t end = start == std::string_view::npos ? start : path.find('"', start + From.size());
    if (end == std::string_view::npos) {
        reader.report.notes.push_back(std::string(from.name) + ":" + std::to_string(line) + ": \"" + std::string(path) +
                                      "\" names no bouquet file: passed over");
        return;
    }
    const std::string_view name = path.substr(start + From.size(), end - start - From.size());
    const int position = fileNamed(reader, name);
    if (position < 0) {
        reader.report.notes.push_back(std::string(from.name) + ":" + std::to_string(line) + ": " + std::string(name) +
                                      " is not in the folder: passed over");
        return;
    }
    readBouquet(reader, position);
}

// "TYPE:FLAGS:D0:...:D7:PATH[:NAME]".
void readReference(BouquetReader& reader, int position, int line, std::string_view text) {
    const SettingsFile& file = reader.files[position];
    std::array<std::string_view, 12> fields{};
    const std::size_t count = splitFields(text, ':', fields);
    std::int64_t type = 0;
    std::int64_t flags = 0;
    if (count < 10 || !readDecimal(fields[0], 0, INT32_MAX, type) || !readDecimal(fields[1], 0, INT32_MAX, flags)) {
        reader.report.problems.push_back(
            {.file = std::string(file.name),
             .line = line,
             .field = "reference",
             .why = quoted(text.substr(0, 60)) + " is not TYPE:FLAGS and eight hex numbers"});
        reader.good = false;
        return;
    }
    const std::string_view path = count > 10 ? fields[10] : std::string_view{};
    if (type == 1 && (flags & FlagDirectory) != 0 && (flags & FlagGroup) == 0) {
        readNamedBouquet(reader, path, file, line);
        return;
    }
    if (type == 1 && (flags & FlagMarker) != 0) {
        const TextAt name = textAt(file.bytes, count > 11 ? fields[11] : text.substr(text.size()));
        addEntry(reader, position, line,
                 detailEntry(reader.bouquets,
                             {.service = -1, .file = position, .line = line, .nameFile = position, .name = name}));
        return;
    }
    if (type != 1 || flags != 0 || !path.empty()) {
        ++reader.streams;
        leaveOut(reader);
        return;
    }
    static constexpr const char* Names[] = {"service type", "SID", "TSID", "ONID", "namespace"};
    std::uint32_t numbers[5] = {};
    for (int i = 0; i < 5; ++i) {
        if (!readHex(fields[2 + i], i == 4 ? 0xFFFFFFFF : 0xFFFF, numbers[i])) {
            reader.report.problems.push_back(
                {.file = std::string(file.name),
                 .line = line,
                 .field = Names[i],
                 .why = quoted(fields[2 + i]) + " is not a hex number up to " + (i == 4 ? "FFFFFFFF" : "FFFF")});
            reader.good = false;
            return;
        }
    }
    const int service = findService(reader.database, numbers[4], static_cast<std::uint16_t>(numbers[2]),
                                    static_cast<std::uint16_t>(numbers[3]), static_cast<std::uint16_t>(numbers[1]));
    if (service < 0) {
        ++reader.missing;
        leaveOut(reader);
    } else {
        addEntry(reader, position, line, service);
    }
}

void readBouquet(BouquetReader& reader, int position) {
    if (reader.read[position]) return;  // a bouquet named twice, or naming itself
    reader.read[position] = true;
    const SettingsFile& file = reader.files[position];
    LineReader lines{file.bytes};
    std::string_view line;
    bool description = false;  // a #DESCRIPTION belongs to the #SERVICE line just before it
    while (lines.next(line)) {
        if (line.starts_with("#SERVICE")) {
            const std::size_t skip = line.size() > 8 && line[8] == ':' ? 10 : 9;
            const std::size_t before = reader.added;
            readReference(reader, position, lines.number,
                          line.size() > skip ? line.substr(skip) : line.substr(line.size()));
            description = reader.added == before + 1 && !reader.lastLeftOut;
        } else if (description && line.starts_with("#DESCRIPTION")) {
            const std::size_t skip = line.size() > 12 && line[12] == ':' ? 14 : 13;
            const TextAt name = textAt(file.bytes, line.size() > skip ? line.substr(skip) : line.substr(line.size()));
            Bouquets& bouquets = reader.bouquets;
            int& entry = bouquets.entries.back();
            if (entry >= 0) {
                entry = detailEntry(bouquets, {.service = entry,
                                               .file = reader.lastFile,
                                               .line = reader.lastLine,
                                               .nameFile = position,
                                               .name = name});
            } else {  // a marker takes the description for its name
                bouquets.details[-1 - entry].nameFile = position;
                bouquets.details[-1 - entry].name = name;
            }
            description = false;
        }
    }
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

bool readBouquets(std::span<const SettingsFile> files, const Database& database, Bouquets& bouquets,
                  FormatReport& report) {
    BouquetReader reader{.files = files,
                         .database = database,
                         .bouquets = bouquets,
                         .report = report,
                         .read = std::vector<bool>(files.size(), false)};
    // Room once: an entry's "#SERVICE" line is at least 20 bytes ("#SERVICE 1:64:::::::::").
    std::size_t bouquetBytes = 0;
    for (const SettingsFile& file : files) {
        if (file.name != database.file) bouquetBytes += file.bytes.size();
    }
    bouquets.entries.reserve(bouquetBytes / 20 + 1);
    bouquets.details.reserve(bouquetBytes / 20 + 1);
    for (const std::string_view list : {"bouquets.tv", "bouquets.radio"}) {
        const int position = fileNamed(reader, list);
        if (position >= 0) readBouquet(reader, position);
    }
    // User bouquets no list names: Enigma2 adds them to its lists, so they are read too, TV first.
    std::vector<int> unnamed;
    for (const std::string_view kind : {".tv", ".radio"}) {
        const std::size_t first = unnamed.size();
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!reader.read[i] && files[i].name.rfind("userbouquet.", 0) == 0 && endsWith(files[i].name, kind))
                unnamed.push_back(static_cast<int>(i));
        }
        std::sort(unnamed.begin() + static_cast<std::ptrdiff_t>(first), unnamed.end(),
                  [&](int a, int b) { return files[a].name < files[b].name; });
    }
    for (const int position : unnamed) {
        report.notes.push_back(
            std::string(files[position].name) +
            " is named by neither bouquets.tv nor bouquets.radio: " + "its channels follow the named bouquets'");
        readBouquet(reader, position);
    }
    if (reader.streams > 0) {
        report.notes.push_back(
            std::to_string(reader.streams) +
            " bouquet entries are streams or other kinds of entry, not satellite services: left out");
    }
    if (reader.missing > 0) {
        report.notes.push_back(std::to_string(reader.missing) + " bouquet entries name services " + database.file +
                               " does not hold: left out");
    }
    return reader.good;
}

}  // namespace enigma2
