// A channels.conf into records: each satellite channel line becomes a record, from a zeroed one or
// from the base list's record of the same service, whose bytes stay where the line holds what export
// writes for them.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "form/form_text.h"
#include "formats/record_import.h"
#include "formats/vdr_format.h"
#include "formats/vdr_line.h"
#include "lists/channel_match.h"
#include "lists/utf8.h"

namespace {

// What a channels.conf holds that a record cannot, or the other way round, counted over the file.
struct ImportCounts {
    int shortNames = 0;
    int parameters = 0;
    int conditionalAccess = 0;
    int networkIds = 0;
    int languages = 0;
    int pids = 0;
    int streams = 0;
    int otherKinds = 0;
    int otherPositions = 0;
    int withoutBase = 0;
};

// An import's state over the whole file: what it was told, what it says, and room kept from line to
// line so that a line allocates nothing once the texts have grown.
struct VdrImport {
    const FormatOptions& options;
    FormatReport& report;
    ImportCounts counts{};
    VdrChannel channel{};  // the line read, or export's line of a base record
    std::string text{}, changed{}, converted{}, why{};
    // The group line whose category is known, its name as kvx would write it, and that category: a
    // group line's channels follow one another.
    const char* namedGroup = nullptr;
    std::string groupText{}, group{};
    int groupCategory = -1;  // -1 until it is looked up
};

// The channel's streams, in the order export writes them, into a record that holds none yet.
void addStreams(const VdrChannel& channel, ChannelRecord& record, ImportCounts& counts) {
    const auto add = [&](std::uint8_t kind, int pid, int type, std::string_view language) {
        counts.streams +=
            !addStream(record, kind, static_cast<std::uint16_t>(pid), static_cast<std::uint8_t>(type), language);
    };
    add(StreamKindVideo, channel.videoPid, channel.videoType, {});
    for (int i = 0; i < channel.audioCount; ++i)
        add(StreamKindAudio, channel.audio[i].pid, channel.audio[i].type, channel.audio[i].languageText());
    for (int i = 0; i < channel.dolbyCount; ++i)
        add(StreamKindAc3, channel.dolby[i].pid, PrivateDataStreamType, channel.dolby[i].languageText());
    add(StreamKindTeletext, channel.teletextPid, PrivateDataStreamType, {});
    for (int i = 0; i < channel.subtitleCount; ++i)
        add(StreamKindSubtitle, channel.subtitles[i].pid, PrivateDataStreamType, channel.subtitles[i].languageText());
}

// Everything of a zeroed record the line gives, but its texts and category.
void recordOfChannel(const VdrChannel& channel, ChannelRecord& record, ImportCounts& counts) {
    record.frequency.set(channel.frequency);
    record.symbolRate.set(static_cast<std::uint16_t>(channel.symbolRate));
    record.polarity.set(vdrPolarity(channel.polarization));
    record.tid.set(static_cast<std::uint16_t>(channel.tid));
    record.sid.set(static_cast<std::uint16_t>(channel.sid));
    record.videoPid.set(static_cast<std::uint16_t>(channel.videoPid));
    record.pcrPid.set(static_cast<std::uint16_t>(channel.pcrPid));
    record.audioPid.set(channel.audioCount > 0 ? channel.audio[0].pid : 0);
    record.ac3Pid.set(channel.dolbyCount > 0 ? channel.dolby[0].pid : 0);
    record.teletextPid.set(static_cast<std::uint16_t>(channel.teletextPid));
    record.serviceType = channel.videoPid != 0 ? 1 : channel.audioCount + channel.dolbyCount > 0 ? 2 : 0;
    addStreams(channel, record, counts);
}

// A name or provider of line number `line` into a zeroed field: a text too long is cut with a note, one
// that cannot be stored is a problem of the line's name field.
void storeLineText(VdrImport& import, int line, std::string_view text, char (&field)[TextFieldSize],
                   std::string_view what) {
    const std::string_view stored = vdrTextFromLine(text, import.text);
    switch (storeImportedText(stored, import.options.context, field, import.converted, import.why)) {
        case StoredText::Whole: return;
        case StoredText::Cut:
            import.report.notes.push_back("line " + std::to_string(line) + ": the " + std::string(what) +
                                          " is cut to the 29 bytes a record holds: " + quoted(fieldText(field)));
            return;
        case StoredText::Refused:
            import.report.problems.push_back(
                {.line = line, .field = "name", .why = what == "name" ? import.why : "provider: " + import.why});
            return;
    }
}

// A group line's name as kvx would write it, made once for the run of channels that follow it.
const std::string& groupName(VdrImport& import, std::string_view groupLine) {
    if (groupLine.data() != import.namedGroup) {
        import.namedGroup = groupLine.data();
        vdrGroupNameChange(vdrTextFromLine(groupLine, import.groupText), import.group);
        import.groupCategory = -1;
    }
    return import.group;
}

// The category of a group line's channels (255 before any group line), looked up at the first of
// them that needs it: a name not in the categories file is added there, with its notes into report.
std::uint8_t groupCategory(VdrImport& import, std::string_view groupLine, FormatReport& report) {
    if (groupLine.data() == nullptr) return 255;
    const std::string& name = groupName(import, groupLine);
    if (import.groupCategory >= 0) return static_cast<std::uint8_t>(import.groupCategory);
    const FieldContext& context = import.options.context;
    if (context.categories == nullptr) {
        import.groupCategory = categoryFromGroupName(name, context, report);
    } else {
        // The name the categories file can hold, as a group line carries it: exported and read back,
        // it is the same category.
        std::string carried;
        vdrGroupNameChange(categoryFileName(name, context, report), carried);
        import.groupCategory = carried.empty() && !name.empty() ? categoryOfNoName(name, report)
                                                                : categoryFromGroupName(carried, context, report);
    }
    return static_cast<std::uint8_t>(import.groupCategory);
}

// The line read into a new record of records, with what it holds that the record cannot counted.
void addRecordOfLine(VdrImport& import, int line, RecordList& records) {
    const VdrChannel& channel = import.channel;
    ChannelRecord& record = records.emplace_back();
    recordOfChannel(channel, record, import.counts);
    storeLineText(import, line, channel.name.empty() ? channel.shortName : channel.name, record.name, "name");
    storeLineText(import, line, channel.provider, record.provider, "provider");
    ImportCounts& counts = import.counts;
    counts.shortNames += !channel.name.empty() && !channel.shortName.empty();
    counts.parameters += channel.parameters.size() > 1;
    counts.conditionalAccess += channel.conditionalAccess;
    counts.networkIds += channel.nid != 0;
    counts.languages += channel.cutLanguages;
    counts.pids += channel.droppedPids;
}

// True for a channel of the satellite asked for; the others are counted.
bool wanted(VdrImport& import, const VdrChannel& channel) {
    if (channel.sourceKind != 'S') {
        ++import.counts.otherKinds;
        return false;
    }
    if (import.options.onlySource && channel.sourceTenthsEast != import.options.source.tenthsEast) {
        ++import.counts.otherPositions;
        return false;
    }
    return true;
}

// Every line of the file: each wanted channel a record, each bad line a problem. Without a base a
// record's category is its group's, found as the record is read, with the notes kept in groups; with
// one, groupOf keeps the group line each record follows (no data before any) until the records are
// matched.
void readLines(VdrImport& import, std::string_view text, RecordList& records, FormatReport& groups,
               std::vector<std::string_view>& groupOf) {
    const bool withBase = !import.options.base.empty();
    std::string_view groupLine;
    VdrChannel& channel = import.channel;
    VdrLineError error;
    int line = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view content = text.substr(at, end - at);
        at = end + 1;
        ++line;
        if (content.find_first_not_of(" \t\r\v\f") == std::string_view::npos)
            continue;  // skipped, as the recorder does
        if (!parseVdrLine(content, channel, error)) {
            import.report.problems.push_back({.line = line, .field = error.field, .why = error.why});
            continue;
        }
        if (channel.group) {
            // vdrTextFromLine changes only ASCII characters: the name is UTF-8 when the line's text is.
            if (isUtf8(channel.name))
                groupLine = channel.name;
            else
                import.report.problems.push_back({.line = line, .field = "group", .why = "not UTF-8"});
            continue;
        }
        if (!wanted(import, channel)) continue;
        if (channel.name.empty() && channel.shortName.empty()) {
            import.report.notes.push_back("line " + std::to_string(line) + ": a channel without a name is left out");
            continue;
        }
        addRecordOfLine(import, line, records);
        if (withBase) {
            groupOf.push_back(groupLine);
        } else {
            ++import.counts.withoutBase;
            records.back().category = groupCategory(import, groupLine, groups);
        }
    }
}

// The line's streams written over the base's: an entry of the same kind and PID keeps what the line
// does not carry (pages, the type of AC-3, teletext and subtitle entries, teletext languages).
void mergeStreams(ChannelRecord& merged, const ChannelRecord& fromLine) {
    const ChannelRecord base = merged;
    merged.streamCount = fromLine.streamCount;
    for (int i = 0; i < fromLine.streamCount; ++i) {
        const StreamEntry& line = fromLine.streams[i];
        StreamEntry entry = line;
        for (int k = 0; k < shownStreamCount(base); ++k) {
            const StreamEntry& old = base.streams[k];
            if (old.kind != line.kind || old.pid.get() != line.pid.get()) continue;
            entry = old;
            if (line.kind == StreamKindVideo || line.kind == StreamKindAudio) entry.streamType = line.streamType;
            if (line.kind != StreamKindTeletext) {
                entry.langLength = line.langLength;
                std::memcpy(entry.lang, line.lang, MaxLangLength);
            }
            break;
        }
        merged.streams[i] = entry;
    }
}

// True when the line's streams are those export writes for the base (exported).
bool sameStreams(const ChannelRecord& fromLine, const VdrChannel& exported) {
    ChannelRecord written{};
    ImportCounts ignored;
    addStreams(exported, written, ignored);
    return fromLine.streamCount == written.streamCount &&
           std::memcmp(fromLine.streams, written.streams, sizeof(StreamEntry) * written.streamCount) == 0;
}

// True when the line's text, as the record holds it, is the one export writes for the base's: both
// stored alike, so that a name cut on reading still matches.
bool sameText(VdrImport& import, const char (&fromLine)[TextFieldSize], const char (&base)[TextFieldSize],
              bool isProvider) {
    const FieldContext& context = import.options.context;
    if (!vdrLineText(base, context, isProvider, import.text, import.changed)) return false;
    char written[TextFieldSize] = {};
    return storeImportedText(import.text, context, written, import.converted, import.why) != StoredText::Refused &&
           fieldText(written) == fieldText(fromLine);
}

std::uint16_t firstPid(const VdrPid* pids, int count) { return count > 0 ? pids[0].pid : 0; }

// The base record with each field the line carries taken from the line's record where the line
// holds another value than export writes for the base.
void applyToBase(VdrImport& import, const ChannelRecord& fromLine, ChannelRecord& record) {
    const VdrChannel& exported = import.channel;
    vdrChannelOfRecord(record, import.options, import.channel);
    // Export writes these as the record holds them: the line's value is the base's where its bytes are.
    record.frequency = fromLine.frequency;
    record.symbolRate = fromLine.symbolRate;
    record.tid = fromLine.tid;
    record.sid = fromLine.sid;
    record.videoPid = fromLine.videoPid;
    record.teletextPid = fromLine.teletextPid;
    if (fromLine.polarity.get() != vdrPolarity(exported.polarization)) record.polarity = fromLine.polarity;
    if (fromLine.pcrPid.get() != exported.pcrPid) record.pcrPid = fromLine.pcrPid;
    if (fromLine.audioPid.get() != firstPid(exported.audio, exported.audioCount)) record.audioPid = fromLine.audioPid;
    if (fromLine.ac3Pid.get() != firstPid(exported.dolby, exported.dolbyCount)) record.ac3Pid = fromLine.ac3Pid;
    if (!sameStreams(fromLine, exported)) mergeStreams(record, fromLine);
    if (!sameText(import, fromLine.name, record.name, false)) storeFieldText(record.name, fieldText(fromLine.name));
    if (!sameText(import, fromLine.provider, record.provider, true))
        storeFieldText(record.provider, fieldText(fromLine.provider));
}

// Each record that matches a base record becomes that record with what the line changed written
// over it; its group changes its category only where it differs from the group export writes for
// the base's category. The others keep what the line gave, and their group's category.
void applyBaseList(VdrImport& import, RecordList& records, std::span<const std::string_view> groupOf) {
    const FormatOptions& options = import.options;
    const std::vector<int> matches = matchByService(records, options.base);
    std::string baseGroup;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string_view groupLine = groupOf[i];
        const int match = matches[i];
        if (match == NoMatch) {
            ++import.counts.withoutBase;
            records[i].category = groupCategory(import, groupLine, import.report);
            continue;
        }
        ChannelRecord merged = options.base[static_cast<std::size_t>(match)];
        applyToBase(import, records[i], merged);
        if (groupLine.data() != nullptr) {
            vdrGroupNameChange(categoryGroupName(merged.category, options.context), baseGroup);
            if (baseGroup != groupName(import, groupLine))
                merged.category = groupCategory(import, groupLine, import.report);
        }
        records[i] = merged;
    }
}

void noteCount(FormatReport& report, int count, const char* what) {
    if (count > 0) report.notes.push_back(std::to_string(count) + " " + what);
}

void noteCounts(const ImportCounts& counts, FormatReport& report) {
    noteCount(report, counts.withoutBase,
              "channels have no base record: their PMT and ECM PIDs and their teletext and subtitle pages are not "
              "in a channels.conf and are 0, their service type comes from their PIDs (give --base with the list "
              "they came from to keep them)");
    noteCount(report, counts.shortNames, "short names (after a name's last ',') are not kept");
    noteCount(report, counts.parameters,
              "channels: transmission parameters other than the polarization (FEC, modulation, DVB-S2, ...) are "
              "not kept");
    noteCount(report, counts.conditionalAccess, "channels list CA system IDs, which a record does not hold");
    noteCount(report, counts.networkIds, "channels give a network ID (NID), which a record does not hold");
    noteCount(report, counts.languages, "languages longer than three letters or with odd characters are cut");
    noteCount(report, counts.pids, "PIDs past the recorder's limits (32 audio, 16 AC-3, 32 subtitles) are left out");
    noteCount(report, counts.streams, "streams past the 32 a record holds are left out");
    noteCount(report, counts.otherKinds, "channels of cable, terrestrial or other sources are left out");
    noteCount(report, counts.otherPositions, "channels of other satellites than --source are left out");
}

}  // namespace

bool importVdr(std::string_view text, const FormatOptions& options, RecordList& records, FormatReport& report) {
    // records is written in the room the caller reserved: reserving by the line count here would move
    // it to fresh, small-paged memory whenever group lines make the file longer than that room.
    records.clear();
    VdrImport import{.options = options, .report = report};
    // Without a base the groups' notes and added categories are kept apart until the whole file is
    // read, so that they follow the notes about lines as they would after the file, and are dropped
    // with a file that fails.
    FormatReport groups;
    groups.addedCategories = report.addedCategories;
    std::vector<std::string_view> groupOf;
    if (!options.base.empty()) groupOf.reserve(records.capacity());
    readLines(import, text, records, groups, groupOf);
    if (!report.problems.empty()) {
        records.clear();
        return false;
    }
    if (options.base.empty()) {
        report.notes.insert(report.notes.end(), groups.notes.begin(), groups.notes.end());
        report.addedCategories = std::move(groups.addedCategories);
    } else {
        applyBaseList(import, records, groupOf);
    }
    noteCounts(import.counts, report);
    return true;
}
