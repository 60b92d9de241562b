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

// Bouquets nested deeper than anything a receiver makes are read after the named bouquets instead
// of in their place.
constexpr std::size_t MaxOpen = 64;

enum class FileState : std::uint8_t {
    Unread,
    Open,  // being read: a bouquet named inside it is read in its place, then its lines go on
    Read,
    TooDeep,  // named where more bouquets were open than MaxOpen: not read yet
};

// A bouquet whose lines are being read. The bouquets open inside one another are a stack of these
// rather than calls on the program's stack, whose depth a folder would set.
struct OpenBouquet {
    int file;
    LineReader lines;
    std::size_t before = 0;    // entries added before its FROM BOUQUET line whose bouquet is open
    bool description = false;  // a #DESCRIPTION belongs to the #SERVICE line just before it
};

struct BouquetReader {
    std::span<const SettingsFile> files;
    const Database& database;
    Bouquets& bouquets;
    FormatReport& report;
    std::vector<FileState> state;  // by position in files
    std::vector<int> byName{};     // positions in files, sorted by name
    std::vector<OpenBouquet> open{};
    int streams = 0;  // entries that are not DVB services or markers
    int missing = 0;  // services lamedb lacks
    RepeatedNote again{}, tooDeep{}, unnamed{};
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

// The first file of that name, or -1: a search in the sorted names, as a folder may hold many.
int fileNamed(const BouquetReader& reader, std::string_view name) {
    const auto found =
        std::lower_bound(reader.byName.begin(), reader.byName.end(), name,
                         [&](int at, std::string_view sought) { return reader.files[at].name < sought; });
    return found != reader.byName.end() && reader.files[*found].name == name ? *found : -1;
}

std::string placeOf(const SettingsFile& file, int line) { return std::string(file.name) + ":" + std::to_string(line); }

// "... FROM BOUQUET "name" ORDER BY bouquet": the position of the user bouquet named, to be read in
// its place; -1 when it is not read there.
int namedBouquet(BouquetReader& reader, std::string_view path, const SettingsFile& from, int line) {
    constexpr std::string_view From = "FROM BOUQUET \"";
    const std::size_t start = path.find(From);
    const std::size_t end = start == std::string_view::npos ? start : path.find('"', start + From.size());
    if (end == std::string_view::npos) {
        reader.report.notes.push_back(placeOf(from, line) + ": \"" + std::string(path) +
                                      "\" names no bouquet file: passed over");
        return -1;
    }
    const std::string_view name = path.substr(start + From.size(), end - start - From.size());
    const int position = fileNamed(reader, name);
    if (position < 0) {
        reader.report.notes.push_back(placeOf(from, line) + ": " + std::string(name) +
                                      " is not in the folder: passed over");
        return -1;
    }
    const FileState state = reader.state[position];
    if (state == FileState::Open || state == FileState::Read) {
        if (sayInFull(reader.again))
            reader.report.notes.push_back(placeOf(from, line) + ": " + std::string(name) +
                                          (state == FileState::Open
                                               ? " names this bouquet, itself or through others (a cycle)"
                                               : " is named a second time") +
                                          ": not read again");
        return -1;
    }
    if (reader.open.size() >= MaxOpen) {
        reader.state[position] = FileState::TooDeep;
        if (sayInFull(reader.tooDeep))
            reader.report.notes.push_back(placeOf(from, line) + ": " + std::string(name) + " is nested more than " +
                                          std::to_string(MaxOpen) +
                                          " bouquets deep: read after the named bouquets instead");
        return -1;
    }
    return position;
}

// "TYPE:FLAGS:D0:...:D7:PATH[:NAME]". The position of a bouquet it names to be read in its place, else -1.
int readReference(BouquetReader& reader, int position, int line, std::string_view text) {
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
        return -1;
    }
    const std::string_view path = count > 10 ? fields[10] : std::string_view{};
    if (type == 1 && (flags & FlagDirectory) != 0 && (flags & FlagGroup) == 0)
        return namedBouquet(reader, path, file, line);
    if (type == 1 && (flags & FlagMarker) != 0) {
        const TextAt name = textAt(file.bytes, count > 11 ? fields[11] : text.substr(text.size()));
        addEntry(reader, position, line,
                 detailEntry(reader.bouquets,
                             {.service = -1, .file = position, .line = line, .nameFile = position, .name = name}));
        return -1;
    }
    if (type != 1 || flags != 0 || !path.empty()) {
        ++reader.streams;
        leaveOut(reader);
        return -1;
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
            return -1;
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
    return -1;
}

void openBouquet(BouquetReader& reader, int position) {
    reader.state[position] = FileState::Open;
    reader.open.push_back({.file = position, .lines = LineReader{reader.files[position].bytes}});
}

// A #DESCRIPTION line: the name of the entry the #SERVICE line before it made.
void describe(BouquetReader& reader, int position, std::string_view text) {
    const SettingsFile& file = reader.files[position];
    const TextAt name = textAt(file.bytes, text);
    Bouquets& bouquets = reader.bouquets;
    int& entry = bouquets.entries.back();
    if (entry >= 0) {
        entry = detailEntry(
            bouquets,
            {.service = entry, .file = reader.lastFile, .line = reader.lastLine, .nameFile = position, .name = name});
    } else {  // a marker takes the description for its name
        bouquets.details[-1 - entry].nameFile = position;
        bouquets.details[-1 - entry].name = name;
    }
}

// The bouquet and, each in its place, the bouquets it names.
void readBouquet(BouquetReader& reader, int root) {
    if (reader.state[root] == FileState::Open || reader.state[root] == FileState::Read) return;
    openBouquet(reader, root);
    while (!reader.open.empty()) {
        OpenBouquet& top = reader.open.back();
        std::string_view line;
        if (!top.lines.next(line)) {
            reader.state[top.file] = FileState::Read;
            reader.open.pop_back();
            if (reader.open.empty()) break;
            // A description after the FROM BOUQUET line names the one entry the bouquet held.
            OpenBouquet& outer = reader.open.back();
            outer.description = reader.added == outer.before + 1 && !reader.lastLeftOut;
            continue;
        }
        if (line.starts_with("#SERVICE")) {
            const std::size_t skip = line.size() > 8 && line[8] == ':' ? 10 : 9;
            const std::size_t before = reader.added;
            const int named = readReference(reader, top.file, top.lines.number,
                                            line.size() > skip ? line.substr(skip) : line.substr(line.size()));
            top.description = reader.added == before + 1 && !reader.lastLeftOut;
            if (named >= 0) {
                top.before = before;
                openBouquet(reader, named);  // top is not used after this: the stack may move
            }
        } else if (top.description && line.starts_with("#DESCRIPTION")) {
            const std::size_t skip = line.size() > 12 && line[12] == ':' ? 14 : 13;
            describe(reader, top.file, line.size() > skip ? line.substr(skip) : line.substr(line.size()));
            top.description = false;
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
                         .state = std::vector<FileState>(files.size(), FileState::Unread)};
    reader.open.reserve(MaxOpen);
    reader.byName.resize(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) reader.byName[i] = static_cast<int>(i);
    std::stable_sort(reader.byName.begin(), reader.byName.end(),
                     [&](int a, int b) { return files[a].name < files[b].name; });
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
    // User bouquets not read yet: Enigma2 adds those no list names to its lists, so they are read
    // too, TV first; so are those nested too deep.
    std::vector<int> unread;
    for (const std::string_view kind : {".tv", ".radio"}) {
        for (const int i : reader.byName) {
            const std::string_view name = files[i].name;
            if (reader.state[i] != FileState::Read && name.starts_with("userbouquet.") && endsWith(name, kind))
                unread.push_back(i);
        }
    }
    for (const int position : unread) {
        if (reader.state[position] == FileState::Read) continue;  // read inside one before it
        if (reader.state[position] == FileState::Unread && sayInFull(reader.unnamed)) {
            report.notes.push_back(std::string(files[position].name) +
                                   " is named by neither bouquets.tv nor bouquets.radio: its channels follow the "
                                   "named bouquets'");
        }
        readBouquet(reader, position);
    }
    sayHowManyMore(reader.again, "bouquets named again: not read again", report.notes);
    sayHowManyMore(reader.tooDeep, "bouquets nested too deep: read after the named bouquets", report.notes);
    sayHowManyMore(reader.unnamed, "user bouquets no list names: read after the named bouquets", report.notes);
    if (reader.streams > 0) {
        report.notes.push_back(
            std::to_string(reader.streams) +
            " bouquet entries are streams or other kinds of entry, not satellite services: left out");
    }
    if (reader.missing > 0) {
        report.notes.push_back(std::to_string(reader.missing) + " bouquet entries name services " + database.file +
                               " does not hold: left out");
    }
    bouquets.read = reader.added;
    return reader.good;
}

}  // namespace enigma2
