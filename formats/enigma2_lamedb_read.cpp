// lamedb (version 4: a block of transponders then one of services, three lines each) and lamedb5
// (version 5: one "t:" or "s:" line each), as Enigma2's loader reads them. A bad line is a problem
// with the file, the line and the field; parts Enigma2 ignores (comments, other tuning kinds'
// fields, cache entries kvx has no field for) are skipped.
#include <charconv>

#include "formats/enigma2_read.h"

namespace enigma2 {

bool LineReader::next(std::string_view& line) {
    if (at >= text.size()) return false;
    const std::size_t end = text.find('\n', at);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    line = text.substr(at, stop - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = stop + 1;
    ++number;
    return true;
}

bool readHex(std::string_view text, std::uint32_t maximum, std::uint32_t& value) {
    std::uint32_t read = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read, 16);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || read > maximum) return false;
    value = read;
    return true;
}

bool readDecimal(std::string_view text, std::int64_t minimum, std::int64_t maximum, std::int64_t& value) {
    std::int64_t read = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || read < minimum || read > maximum)
        return false;
    value = read;
    return true;
}

namespace {

struct Reader {
    const SettingsFile& file;
    Database& database;
    FormatReport& report;
    LineReader lines{};
    RepeatedNote passedOver{};
    bool good = true;

    void problem(int line, std::string_view field, std::string why) {
        report.problems.push_back(
            {.file = std::string(file.name), .line = line, .field = std::string(field), .why = std::move(why)});
        good = false;
    }
};

bool hexField(Reader& reader, std::string_view text, std::uint32_t maximum, std::string_view field,
              std::uint32_t& value) {
    if (readHex(text, maximum, value)) return true;
    reader.problem(reader.lines.number, field,
                   quoted(text) + " is not a hex number up to " + (maximum > 0xFFFF ? "ffffffff" : "ffff"));
    return false;
}

bool decimalField(Reader& reader, std::string_view text, std::int64_t minimum, std::int64_t maximum,
                  std::string_view field, std::int64_t& value) {
    if (readDecimal(text, minimum, maximum, value)) return true;
    reader.problem(
        reader.lines.number, field,
        quoted(text) + " is not a whole number from " + std::to_string(minimum) + " to " + std::to_string(maximum));
    return false;
}

// "namespace:tsid:onid", hex.
bool readChannelKey(Reader& reader, std::string_view text, Transponder& transponder) {
    std::array<std::string_view, 3> fields;
    if (splitFields(text, ':', fields) < 3) {
        reader.problem(reader.lines.number, "transponder", quoted(text) + " is not namespace:tsid:onid");
        return false;
    }
    std::uint32_t tsid = 0;
    std::uint32_t onid = 0;
    const bool read = hexField(reader, fields[0], 0xFFFFFFFF, "namespace", transponder.dvbNamespace) &&
                      hexField(reader, fields[1], 0xFFFF, "TSID", tsid) &&
                      hexField(reader, fields[2], 0xFFFF, "ONID", onid);
    transponder.tsid = static_cast<std::uint16_t>(tsid);
    transponder.onid = static_cast<std::uint16_t>(onid);
    return read;
}

// The tuning after "s " (version 4) or "s:" (version 5): frequency:symbol_rate:polarisation:fec:
// orbital_position, then fields and ",OPTION" blocks kvx has no place for.
bool readSatellite(Reader& reader, std::string_view text, Transponder& transponder) {
    text = text.substr(0, text.find(','));
    std::array<std::string_view, 5> fields;
    if (splitFields(text, ':', fields) < 5) {
        reader.problem(reader.lines.number, "tuning",
                       quoted(text) + " has fewer than frequency:symbol_rate:polarisation:fec:position");
        return false;
    }
    std::int64_t frequency = 0;
    std::int64_t symbolRate = 0;
    std::int64_t polarisation = 0;
    std::int64_t position = 0;
    const bool read = decimalField(reader, fields[0], INT32_MIN, INT32_MAX, "frequency", frequency) &&
                      decimalField(reader, fields[1], 0, INT32_MAX, "symbol rate", symbolRate) &&
                      decimalField(reader, fields[2], 0, 3, "polarisation", polarisation) &&
                      decimalField(reader, fields[4], -3599, 3599, "orbital position", position);
    transponder.frequencyKhz = static_cast<std::int32_t>(frequency);
    transponder.symbolRate = static_cast<std::int32_t>(symbolRate);
    transponder.polarisation = static_cast<std::uint8_t>(polarisation);
    transponder.position = static_cast<std::int16_t>(circlePosition(static_cast<int>(position)));
    return read;
}

// The tuning line: "s", "t", "c" or "a", a separator, and that kind's fields.
bool readTuning(Reader& reader, std::string_view text, Transponder& transponder) {
    if (text.size() < 2 || (text[0] != 's' && text[0] != 't' && text[0] != 'c' && text[0] != 'a')) {
        reader.problem(reader.lines.number, "tuning",
                       quoted(text.substr(0, 40)) + " is not satellite, cable, terrestrial or ATSC tuning");
        return false;
    }
    transponder.satellite = text[0] == 's';
    transponder.line = reader.lines.number;
    if (!transponder.satellite) return true;
    return readSatellite(reader, text.substr(2), transponder);
}

// "sid:namespace:tsid:onid:type:number[:source]": hex keys, decimal type and number.
bool readServiceKey(Reader& reader, std::string_view text, Service& service) {
    std::array<std::string_view, 6> fields;
    if (splitFields(text, ':', fields) < 6) {
        reader.problem(reader.lines.number, "service",
                       quoted(text.substr(0, 60)) + " is not sid:namespace:tsid:onid:type:number");
        return false;
    }
    std::uint32_t sid = 0;
    std::uint32_t tsid = 0;
    std::uint32_t onid = 0;
    std::int64_t type = 0;
    std::int64_t number = 0;
    const bool read = hexField(reader, fields[0], 0xFFFF, "SID", sid) &&
                      hexField(reader, fields[1], 0xFFFFFFFF, "namespace", service.dvbNamespace) &&
                      hexField(reader, fields[2], 0xFFFF, "TSID", tsid) &&
                      hexField(reader, fields[3], 0xFFFF, "ONID", onid) &&
                      decimalField(reader, fields[4], 0, 0xFFFF, "service type", type) &&
                      decimalField(reader, fields[5], INT32_MIN, INT32_MAX, "service number", number);
    service.sid = static_cast<std::uint16_t>(sid);
    service.tsid = static_cast<std::uint16_t>(tsid);
    service.onid = static_cast<std::uint16_t>(onid);
    service.serviceType = static_cast<std::uint16_t>(type);
    return read;
}

// "c:NNvalue": a two-digit cache number, then the value in hex.
bool readCacheEntry(Reader& reader, std::string_view value, Service& service) {
    std::int64_t id = 0;
    if (value.size() < 3 || !readDecimal(value.substr(0, 2), 0, 99, id)) {
        reader.problem(reader.lines.number, "cached PID",
                       "\"c:" + std::string(value) + "\" is not a two-digit number and a hex value");
        return false;
    }
    std::uint32_t number = 0;
    if (id == CacheVideoType) {
        if (!hexField(reader, value.substr(2), 0xFFFF, "video type", number)) return false;
        service.videoType = static_cast<int>(number);
        return true;
    }
    for (std::size_t i = 0; i < std::size(CachedPids); ++i) {
        if (CachedPids[i].id != id) continue;
        if (!hexField(reader, value.substr(2), 0xFFFF, "cached PID " + std::to_string(id), number)) return false;
        service.pids[i] = static_cast<std::uint16_t>(number);
    }
    return true;
}

// "p:provider,c:...,C:...,f:..." (entries Enigma2 does not know are passed over, as it does); a line
// without "X:" at its start is the provider alone, the oldest form. An entry without "X:" ends the
// entries for Enigma2: so it does here, with a note.
bool readServiceData(Reader& reader, std::string_view text, Service& service) {
    if (text.size() < 2 || text[1] != ':') {
        service.provider = textAt(reader.file.bytes, text);
        return true;
    }
    bool read = true;
    while (!text.empty()) {
        if (text.size() < 2 || text[1] != ':') {
            if (sayInFull(reader.passedOver))
                reader.report.notes.push_back(
                    std::string(reader.file.name) + ":" + std::to_string(reader.lines.number) + ": \"" +
                    std::string(text.substr(0, 40)) +
                    "\" is not an entry (letter and ':'): the rest of the line is passed over, "
                    "as Enigma2 does");
            break;
        }
        const std::size_t comma = text.find(',');
        const std::string_view value =
            text.substr(2, comma == std::string_view::npos ? std::string_view::npos : comma - 2);
        if (text[0] == 'p') service.provider = textAt(reader.file.bytes, value);
        if (text[0] == 'c') read = readCacheEntry(reader, value, service) && read;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return read;
}

Service newService() {
    Service service{};
    service.videoType = -1;
    service.transponder = -1;
    return service;
}

void readVersion4(Reader& reader) {
    std::string_view line;
    if (!reader.lines.next(line) || line != "transponders") {
        reader.problem(reader.lines.number, "transponders", "the line after the header must be \"transponders\"");
        return;
    }
    bool ended = false;
    while (reader.lines.next(line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        Transponder transponder{};
        const bool key = readChannelKey(reader, line, transponder);
        if (!reader.lines.next(line)) break;
        if (!line.empty() && line.front() == '\t') line.remove_prefix(1);
        const bool tuning = readTuning(reader, line, transponder);
        if (key && tuning) reader.database.transponders.push_back(transponder);
        if (!reader.lines.next(line)) break;
        if (line != "/") reader.problem(reader.lines.number, "transponder", "\"/\" expected after the tuning line");
    }
    if (!ended) {
        reader.problem(reader.lines.number, "transponders", "the file ends before the transponders' \"end\"");
        return;
    }
    if (!reader.lines.next(line) || line != "services") {
        reader.problem(reader.lines.number, "services", "\"services\" expected after the transponders");
        return;
    }
    ended = false;
    while (reader.lines.next(line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        Service service = newService();
        const bool key = readServiceKey(reader, line, service);
        std::string_view name;
        if (!reader.lines.next(name)) break;
        service.name = textAt(reader.file.bytes, name);
        service.nameLine = reader.lines.number;
        std::string_view data;
        if (!reader.lines.next(data)) break;
        if (readServiceData(reader, data, service) && key) reader.database.services.push_back(service);
    }
    if (!ended) reader.problem(reader.lines.number, "services", "the file ends before the services' \"end\"");
}

// s:KEY,"NAME"[,DATA]
void readVersion5Service(Reader& reader, std::string_view line) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma + 1 >= line.size() || line[comma + 1] != '"') {
        reader.problem(reader.lines.number, "service", "a service line is s:KEY,\"NAME\" with data after it");
        return;
    }
    const std::size_t close = line.find('"', comma + 2);
    if (close == std::string_view::npos) {
        reader.problem(reader.lines.number, "name", "the name's closing '\"' is missing");
        return;
    }
    Service service = newService();
    const bool key = readServiceKey(reader, line.substr(2, comma - 2), service);
    service.name = textAt(reader.file.bytes, line.substr(comma + 2, close - comma - 2));
    service.nameLine = reader.lines.number;
    std::string_view data = line.substr(close + 1);
    bool read = true;
    if (!data.empty()) {
        if (data.front() != ',') {
            reader.problem(reader.lines.number, "service", "',' expected after the name's closing '\"'");
            return;
        }
        data.remove_prefix(1);
        if (data.size() >= 2 && data[1] == ':') read = readServiceData(reader, data, service);
    }
    if (key && read) reader.database.services.push_back(service);
}

void readVersion5(Reader& reader) {
    std::string_view line;
    while (reader.lines.next(line)) {
        if (line.starts_with("t:")) {
            const std::size_t comma = line.find(',');
            if (comma == std::string_view::npos) {
                reader.problem(reader.lines.number, "transponder", "a transponder line is t:KEY,TUNING");
                continue;
            }
            Transponder transponder{};
            const bool key = readChannelKey(reader, line.substr(2, comma - 2), transponder);
            const bool tuning = readTuning(reader, line.substr(comma + 1), transponder);
            if (key && tuning) reader.database.transponders.push_back(transponder);
        } else if (line.starts_with("s:")) {
            readVersion5Service(reader, line);
        }
    }
}

// A key as the words its hash takes: the namespace, TSID and ONID, SID. A transponder's key is the
// first two.
struct KeyWords {
    std::uint32_t words[3];
};

KeyWords keyWords(std::uint32_t dvbNamespace, std::uint16_t tsid, std::uint16_t onid, std::uint16_t sid) {
    return {{dvbNamespace, std::uint32_t{tsid} << 16 | onid, sid}};
}

std::uint32_t transponderHash(const WordHash& hash, const KeyWords& key) {
    const std::uint32_t words[2] = {key.words[0], key.words[1]};
    return hashWords(hash, words);
}

bool sameTransponder(const Transponder& t, std::uint32_t dvbNamespace, std::uint16_t tsid, std::uint16_t onid) {
    return t.dvbNamespace == dvbNamespace && t.tsid == tsid && t.onid == onid;
}

bool sameKey(const Service& a, const Service& b) {
    return a.dvbNamespace == b.dvbNamespace && a.tsid == b.tsid && a.onid == b.onid && a.sid == b.sid;
}

// Each service to its transponder (the first with its key), a service whose key repeats an earlier
// one's dropped (Enigma2 keeps one service per key), and the index by key: one pass over each table.
void linkAndIndex(Reader& reader) {
    Database& database = reader.database;
    database.hash = randomWordHash(3);
    const WordHash& hash = database.hash;
    const LargeVector<Transponder>& transponders = database.transponders;
    KeyTable transponderTable = keyTableFor(transponders.size());
    for (std::size_t i = 0; i < transponders.size(); ++i) {
        const Transponder& t = transponders[i];
        findOrAddKey(transponderTable, transponderHash(hash, keyWords(t.dvbNamespace, t.tsid, t.onid, 0)),
                     static_cast<std::uint32_t>(i), [&](std::uint32_t at) {
                         return sameTransponder(transponders[at], t.dvbNamespace, t.tsid, t.onid);
                     });
    }
    LargeVector<Service>& services = database.services;
    database.index = keyTableFor(services.size());
    std::uint32_t kept = 0;
    int repeats = 0;
    for (std::size_t i = 0; i < services.size(); ++i) {
        const Service service = services[i];
        const KeyWords key = keyWords(service.dvbNamespace, service.tsid, service.onid, service.sid);
        const std::uint32_t first = findOrAddKey(database.index, hashWords(hash, key.words), kept,
                                                 [&](std::uint32_t at) { return sameKey(services[at], service); });
        if (first != kept) {
            ++repeats;
            continue;
        }
        Service& linked = services[kept++];
        linked = service;
        const std::uint32_t transponder = findKey(transponderTable, transponderHash(hash, key), [&](std::uint32_t at) {
            return sameTransponder(transponders[at], service.dvbNamespace, service.tsid, service.onid);
        });
        linked.transponder = transponder == NoPosition ? -1 : static_cast<int>(transponder);
    }
    services.resize(kept);
    if (repeats > 0) {
        reader.report.notes.push_back(database.file + ": " + std::to_string(repeats) +
                                      " services repeat an earlier service's SID, TSID, ONID and namespace: "
                                      "the first of each is read");
    }
}

}  // namespace

bool readLamedb(const SettingsFile& file, Database& database, FormatReport& report) {
    Reader reader{.file = file, .database = database, .report = report, .lines = LineReader{file.bytes}};
    database.file = file.name;
    database.bytes = file.bytes;
    std::string_view header;
    reader.lines.next(header);
    constexpr std::string_view Start = "eDVB services /";
    std::int64_t version = 0;
    const std::size_t close = header.find('/', Start.size());
    if (header.rfind(Start, 0) != 0 || close == std::string_view::npos ||
        !readDecimal(header.substr(Start.size(), close - Start.size()), 0, 99, version)) {
        reader.problem(1, "header", "\"eDVB services /4/\" or \"eDVB services /5/\" expected");
        return false;
    }
    if (version != 3 && version != 4 && version != 5) {
        reader.problem(1, "header", "version " + std::to_string(version) + " is not read (4 or 5 expected)");
        return false;
    }
    database.version = static_cast<int>(version);
    // Room once, for a database of short names too (a service takes some 60 bytes in either version).
    database.transponders.reserve(file.bytes.size() / 64);
    database.services.reserve(file.bytes.size() / 40);
    if (version == 5)
        readVersion5(reader);
    else
        readVersion4(reader);
    sayHowManyMore(reader.passedOver, "service lines whose data is passed over in part", report.notes);
    linkAndIndex(reader);
    return reader.good;
}

std::string_view nameOf(const Database& database, const Service& service) {
    return textIn(database.bytes, service.name);
}

std::string_view providerOf(const Database& database, const Service& service) {
    return textIn(database.bytes, service.provider);
}

int dataLineOf(const Database& database, const Service& service) {
    return database.version == 5 ? service.nameLine : service.nameLine + 1;
}

int findService(const Database& database, std::uint32_t dvbNamespace, std::uint16_t tsid, std::uint16_t onid,
                std::uint16_t sid) {
    if (database.index.slots.empty()) return -1;  // no database was read
    const KeyWords key = keyWords(dvbNamespace, tsid, onid, sid);
    const std::uint32_t found = findKey(database.index, hashWords(database.hash, key.words), [&](std::uint32_t at) {
        const Service& service = database.services[at];
        return service.dvbNamespace == dvbNamespace && service.tsid == tsid && service.onid == onid &&
               service.sid == sid;
    });
    return found == NoPosition ? -1 : static_cast<int>(found);
}

}  // namespace enigma2
