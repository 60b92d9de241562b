// A settings folder as a list: the bouquets' services in their order (TV bouquets, then radio);
// the satellite services of lamedb no bouquet lists follow them when asked for, or make the list
// where the folder has no bouquet. Each channel starts from a zeroed record,
// or with --base from the record it matches, where only what Enigma2 carries is written over and a
// value equal to what export writes for the record leaves its bytes untouched.
#include <bitset>
#include <charconv>

#include "formats/enigma2_format.h"
#include "formats/enigma2_read.h"
#include "formats/record_import.h"
#include "lists/channel_match.h"

namespace {

using namespace enigma2;

// A channel as it is written: made as the bouquets' entries are walked, never kept in a table.
struct Channel {
    int service;
    int renamedBy;  // the entry detail whose name it takes, else -1 for lamedb's
    int marker;     // the entry detail of its category's marker; -1 before any marker of its bouquet
};

struct Import {
    std::span<const SettingsFile> files;
    const Database& database;
    const Bouquets& bouquets;
    const FormatOptions& options;
    FormatReport& report;
    std::vector<bool> usable{};  // by service: on a satellite transponder, and on the position asked for
    std::vector<bool> listed{};  // by service: in a bouquet
    bool unlistedToo = false;    // the services no bouquet lists become channels, after the others
    std::size_t channels = 0;
    int lastMarker = -1;  // the marker whose category was looked up last, and that category
    std::uint8_t lastCategory = 255;
    std::string scratch{}, converted{}, why{};
    int roundedFrequencies = 0;
    int roundedSymbolRates = 0;
    int circular = 0;
    RepeatedNote cuts{};
    bool good = true;
};

void problem(Import& import, std::string_view file, int line, std::string_view field, std::string why) {
    import.report.problems.push_back(
        {.file = std::string(file), .line = line, .field = std::string(field), .why = std::move(why)});
    import.good = false;
}

// The services that can become channels: on a satellite transponder, and on the position asked for.
void findUsableServices(Import& import) {
    const Database& database = import.database;
    std::vector<bool>& usable = import.usable;
    usable.assign(database.services.size(), false);
    int noTransponder = 0, notSatellite = 0, elsewhere = 0;
    std::bitset<3600> positions;
    const int wanted = circlePosition(import.options.source.tenthsEast);
    for (std::size_t i = 0; i < usable.size(); ++i) {
        const Service& service = database.services[i];
        if (service.transponder < 0) {
            ++noTransponder;
            continue;
        }
        const Transponder& transponder = database.transponders[service.transponder];
        if (!transponder.satellite) {
            ++notSatellite;
        } else if (import.options.onlySource && transponder.position != wanted) {
            ++elsewhere;
        } else {
            usable[i] = true;
            positions.set(static_cast<std::size_t>(transponder.position));
        }
    }
    FormatReport& report = import.report;
    if (noTransponder > 0) {
        report.notes.push_back(std::to_string(noTransponder) + " services of " + database.file +
                               " have no transponder there: left out");
    }
    if (notSatellite > 0) {
        report.notes.push_back(std::to_string(notSatellite) +
                               " services on cable, terrestrial or ATSC transponders: left out");
    }
    if (elsewhere > 0) {
        report.notes.push_back(std::to_string(elsewhere) + " services on other satellites than --source: left out");
    }
    if (positions.count() > 1) {
        report.notes.push_back("the services are on " + std::to_string(positions.count()) +
                               " satellites, all read into one list: --source picks one");
    }
}

std::int64_t ksymbolsOf(const Transponder& transponder) { return (std::int64_t{transponder.symbolRate} + 500) / 1000; }

// A symbol rate no record can hold fails the import, once for each channel on that transponder.
void checkSymbolRate(Import& import, int service) {
    const Transponder& transponder = import.database.transponders[import.database.services[service].transponder];
    if (ksymbolsOf(transponder) > 0xFFFF) {
        problem(import, import.database.file, transponder.line, "symbol rate",
                std::to_string(transponder.symbolRate) + " symbols/s is more than the 65535 ksym/s a list holds");
    }
}

// Which services become channels and which of them bouquets list; the channels' symbol rates checked
// in the channels' order, before any record is written.
void planChannels(Import& import) {
    const Database& database = import.database;
    findUsableServices(import);
    import.listed.assign(database.services.size(), false);
    for (const int entry : import.bouquets.entries) {
        const int service = entry >= 0 ? entry : import.bouquets.details[-1 - entry].service;
        if (service < 0 || !import.usable[service]) continue;
        import.listed[service] = true;
        checkSymbolRate(import, service);
        ++import.channels;
    }
    // A receiver's lamedb holds every service it found, its bouquets the few hundred its user
    // watches: those no bouquet lists are channels only when asked for, or when there is no bouquet.
    const bool noBouquet = import.bouquets.read == 0;
    import.unlistedToo = import.options.allServices || noBouquet;
    int unlisted = 0;
    for (std::size_t i = 0; i < database.services.size(); ++i) {
        if (!import.usable[i] || import.listed[i]) continue;
        if (import.unlistedToo) checkSymbolRate(import, static_cast<int>(i));
        ++unlisted;
    }
    if (unlisted == 0) return;
    const std::string count = std::to_string(unlisted);
    if (!import.unlistedToo) {
        import.report.notes.push_back(count + " services of " + database.file +
                                      " are in no bouquet: left out (--all-services takes them)");
    } else if (noBouquet) {
        import.report.notes.push_back("the folder holds no bouquet entry: its " + count + " services are read in " +
                                      database.file + "'s order");
        import.channels += static_cast<std::size_t>(unlisted);
    } else {
        import.report.notes.push_back(count + " services of " + database.file +
                                      " are in no bouquet: they follow the bouquets' channels, in " + database.file +
                                      "'s order");
        import.channels += static_cast<std::size_t>(unlisted);
    }
}

// The bouquets' entries, then the services no bouquet lists where they are taken, as channels, in that order.
template <typename Visit>
void forEachChannel(const Import& import, Visit visit) {
    const Bouquets& bouquets = import.bouquets;
    int marker = -1;
    std::size_t run = 0;
    for (std::size_t i = 0; i < bouquets.entries.size(); ++i) {
        if (run + 1 < bouquets.runs.size() && static_cast<std::size_t>(bouquets.runs[run + 1].first) == i) {
            ++run;
            marker = -1;  // each bouquet starts with no category
        }
        const int entry = bouquets.entries[i];
        if (entry >= 0) {
            if (import.usable[entry]) visit(Channel{.service = entry, .renamedBy = -1, .marker = marker});
            continue;
        }
        const int detail = -1 - entry;
        const int service = bouquets.details[detail].service;
        if (service < 0)
            marker = detail;
        else if (import.usable[service])
            visit(Channel{.service = service, .renamedBy = detail, .marker = marker});
    }
    if (!import.unlistedToo) return;
    for (std::size_t i = 0; i < import.usable.size(); ++i) {
        if (import.usable[i] && !import.listed[i])
            visit(Channel{.service = static_cast<int>(i), .renamedBy = -1, .marker = -1});
    }
}

// A name or provider as the record holds it: CR as a space (as export writes it), stored as every
// import stores a text; a note when it is cut.
void storeText(Import& import, char (&field)[TextFieldSize], std::string_view text, std::string_view file, int line,
               std::string_view what) {
    import.scratch.assign(text);
    replaceLineBreaks(import.scratch);
    switch (storeImportedText(import.scratch, import.options.context, field, import.converted, import.why)) {
        case StoredText::Whole: return;
        case StoredText::Cut:
            if (sayInFull(import.cuts))
                import.report.notes.push_back(std::string(file) + ":" + std::to_string(line) + ": " +
                                              std::string(what) + " \"" + std::string(text) +
                                              "\" is longer than the 29 bytes a record holds: cut to " +
                                              std::to_string(fieldText(field).size()) + " bytes");
            return;
        case StoredText::Refused: problem(import, file, line, what, import.why); return;
    }
}

// Lists hold MHz, or kHz where the value is above 100000.
std::int32_t storedFrequency(Import& import, std::int64_t khz) {
    const std::int64_t mhz = khz / 1000;
    if (khz % 1000 == 0 && mhz <= 100000 && mhz >= -100000) return static_cast<std::int32_t>(mhz);
    if (khz > 100000 || khz < -100000) return static_cast<std::int32_t>(khz);
    ++import.roundedFrequencies;
    return static_cast<std::int32_t>((khz + (khz < 0 ? -500 : 500)) / 1000);
}

// Every field Enigma2 carries but the texts, into a zeroed record: enough to match a base record.
void fillNumbers(Import& import, const Channel& channel, ChannelRecord& record) {
    const Service& service = import.database.services[channel.service];
    const Transponder& transponder = import.database.transponders[service.transponder];
    record.frequency.set(storedFrequency(import, transponder.frequencyKhz));
    const std::int64_t ksymbols = ksymbolsOf(transponder);
    if (transponder.symbolRate % 1000 != 0) ++import.roundedSymbolRates;
    record.symbolRate.set(static_cast<std::uint16_t>(ksymbols));
    const int polarisation = transponder.polarisation;
    if (polarisation == PolarisationLeft || polarisation == PolarisationRight) ++import.circular;
    const bool vertical = polarisation == PolarisationVertical || polarisation == PolarisationRight;
    record.polarity.set(vertical ? PolarityVertical : PolarityHorizontal);
    record.tid.set(service.tsid);
    record.sid.set(service.sid);
    for (std::size_t i = 0; i < std::size(CachedPids); ++i) (record.*CachedPids[i].field).set(service.pids[i]);
    record.serviceType = recordServiceType(service.serviceType);
    addStream(record, StreamKindVideo, record.videoPid.get(), streamTypeForVideoType(service.videoType));
    addStream(record, StreamKindAudio, record.audioPid.get(), MpegAudioStreamType);
    addStream(record, StreamKindAc3, record.ac3Pid.get(), PrivateDataStreamType);
    addStream(record, StreamKindTeletext, record.teletextPid.get(), PrivateDataStreamType);
}

std::string_view detailName(const Import& import, int detail) {
    const EntryDetail& entry = import.bouquets.details[detail];
    return textIn(import.files[entry.nameFile].bytes, entry.name);
}

// The bouquet's name for the channel, else lamedb's.
std::string_view channelName(const Import& import, const Channel& channel) {
    if (channel.renamedBy >= 0) return detailName(import, channel.renamedBy);
    return nameOf(import.database, import.database.services[channel.service]);
}

void storeName(Import& import, const Channel& channel, ChannelRecord& record) {
    if (channel.renamedBy >= 0) {
        const EntryDetail& entry = import.bouquets.details[channel.renamedBy];
        storeText(import, record.name, detailName(import, channel.renamedBy), import.files[entry.file].name, entry.line,
                  "name");
    } else {
        const Service& service = import.database.services[channel.service];
        storeText(import, record.name, nameOf(import.database, service), import.database.file, service.nameLine,
                  "name");
    }
}

void storeProvider(Import& import, const Channel& channel, ChannelRecord& record) {
    const Service& service = import.database.services[channel.service];
    storeText(import, record.provider, providerOf(import.database, service), import.database.file,
              dataLineOf(import.database, service), "provider");
}

// True when the texts are the same, a CR in read being the space export writes for one.
bool sameWritten(std::string_view written, std::string_view read) {
    if (written.size() != read.size()) return false;
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (written[i] != (read[i] == '\r' ? ' ' : read[i])) return false;
    }
    return true;
}

// The text export writes for a name or provider, compared with the text read.
bool exportedTextIs(Import& import, const char (&field)[TextFieldSize], std::string_view text, bool provider) {
    if (!recordTextUtf8(field, import.options.context, import.scratch)) return false;
    replaceLineBreaks(import.scratch);
    if (provider) replaceProviderCommas(import.scratch);
    if (!provider && import.database.version == 5) replaceQuotes(import.scratch);
    return sameWritten(import.scratch, text);
}

void setVideoStreamType(ChannelRecord& record, std::uint16_t pid, int videoType) {
    for (int i = 0; i < shownStreamCount(record); ++i) {
        StreamEntry& entry = record.streams[i];
        if (entry.kind == StreamKindVideo && entry.pid.get() == pid) {
            entry.streamType = streamTypeForVideoType(videoType);
            return;
        }
    }
}

// The base record with each field Enigma2 carries taken from filled where it differs from what
// export writes for the base.
void applyToBase(Import& import, const Channel& channel, const ChannelRecord& filled, ChannelRecord& record) {
    const Service& service = import.database.services[channel.service];
    const Transponder& transponder = import.database.transponders[service.transponder];
    if (frequencyKhz(record) != transponder.frequencyKhz) record.frequency = filled.frequency;
    if (static_cast<std::int64_t>(record.symbolRate.get()) * 1000 != transponder.symbolRate)
        record.symbolRate = filled.symbolRate;
    if (polarisationOf(record) != transponder.polarisation) record.polarity = filled.polarity;
    record.tid = filled.tid;
    record.sid = filled.sid;
    const int videoType = service.videoType == 0 ? -1 : service.videoType;
    if (videoTypeOf(record) != videoType) setVideoStreamType(record, record.videoPid.get(), videoType);
    for (const CachedPid& cached : CachedPids) record.*cached.field = filled.*cached.field;
    if (serviceTypeOf(record) != service.serviceType) record.serviceType = filled.serviceType;
    if (!exportedTextIs(import, record.name, channelName(import, channel), false)) storeName(import, channel, record);
    if (!exportedTextIs(import, record.provider, providerOf(import.database, service), true))
        storeProvider(import, channel, record);
}

bool groupNameIs(std::uint8_t category, const FieldContext& context, std::string_view name) {
    if (category == 255) return name.empty();
    if (context.categories != nullptr && category < context.categories->size())
        return sameWritten((*context.categories)[category], name);
    char digits[4];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, static_cast<int>(category));
    return error == std::errc() && std::string_view(digits, static_cast<std::size_t>(end - digits)) == name;
}

// A marker's channels come one after another: its category is looked up once, at the first of them
// that needs it.
std::uint8_t markerCategory(Import& import, int marker) {
    if (marker < 0) return 255;
    if (marker != import.lastMarker) {
        import.scratch.assign(detailName(import, marker));
        replaceLineBreaks(import.scratch);
        import.lastCategory = categoryFromGroupName(import.scratch, import.options.context, import.report);
        import.lastMarker = marker;
    }
    return import.lastCategory;
}

void sayWhatIsMissing(Import& import, bool base) {
    FormatReport& report = import.report;
    sayHowManyMore(import.cuts, "names or providers cut to 29 bytes", report.notes);
    report.notes.push_back(
        std::string("audio languages, teletext pages and the ECM PID are not in Enigma2's settings: ") +
        (base ? "kept from --base for the channels it matches, empty for the others" : "left empty"));
    if (import.roundedFrequencies > 0) {
        report.notes.push_back(std::to_string(import.roundedFrequencies) +
                               " frequencies below 100000 kHz that are not whole MHz: rounded to MHz");
    }
    if (import.roundedSymbolRates > 0) {
        report.notes.push_back(std::to_string(import.roundedSymbolRates) +
                               " symbol rates that are not whole ksym/s: rounded");
    }
    if (import.circular > 0) {
        report.notes.push_back(std::to_string(import.circular) +
                               " channels on circular polarisation: left as H, right as V");
    }
}

const SettingsFile* fileNamed(std::span<const SettingsFile> files, std::string_view name) {
    for (const SettingsFile& file : files) {
        if (file.name == name) return &file;
    }
    return nullptr;
}

}  // namespace

bool importEnigma2(std::span<const SettingsFile> files, const FormatOptions& options, RecordList& records,
                   FormatReport& report) {
    for (const SettingsFile& file : files) {
        if (file.bytes.size() >= UINT32_MAX) {  // the tables keep places in the files in 32 bits
            report.problems.push_back({.file = std::string(file.name), .why = "4 GB or more: not a settings file"});
            return false;
        }
    }
    const SettingsFile* lamedb = fileNamed(files, "lamedb");
    if (lamedb == nullptr) lamedb = fileNamed(files, "lamedb5");
    if (lamedb == nullptr) {
        report.problems.push_back({.why = "the settings folder holds neither lamedb nor lamedb5"});
        return false;
    }
    Database database;
    bool good = readLamedb(*lamedb, database, report);
    Bouquets bouquets;
    good = readBouquets(files, database, bouquets, report) && good;
    if (!good) return false;
    Import import{.files = files, .database = database, .bouquets = bouquets, .options = options, .report = report};
    planChannels(import);
    if (!import.good) return false;
    // Each record is written whole in one go; only a base needs every record's numbers first, to match.
    const bool base = !options.base.empty();
    records.clear();
    records.reserve(import.channels);
    forEachChannel(import, [&](const Channel& channel) {
        ChannelRecord& record = records.emplace_back();
        fillNumbers(import, channel, record);
        if (base) return;
        storeName(import, channel, record);
        storeProvider(import, channel, record);
        record.category = markerCategory(import, channel.marker);
    });
    if (base) {
        const std::vector<int> matches = matchByService(records, options.base);
        std::size_t next = 0;
        forEachChannel(import, [&](const Channel& channel) {
            const std::size_t i = next++;
            ChannelRecord& record = records[i];
            if (matches[i] == NoMatch) {
                storeName(import, channel, record);
                storeProvider(import, channel, record);
            } else {
                const ChannelRecord filled = record;
                record = options.base[matches[i]];
                applyToBase(import, channel, filled, record);
                const std::string_view group =
                    channel.marker < 0 ? std::string_view{} : detailName(import, channel.marker);
                if (groupNameIs(record.category, options.context, group)) return;
            }
            record.category = markerCategory(import, channel.marker);
        });
    }
    sayWhatIsMissing(import, base);
    return import.good;
}

bool importEnigma2(std::span<const NamedFile> files, const FormatOptions& options, RecordList& records,
                   FormatReport& report) {
    std::vector<SettingsFile> views;
    views.reserve(files.size());
    for (const NamedFile& file : files) views.push_back({file.name, file.bytes});
    return importEnigma2(views, options, records, report);
}
