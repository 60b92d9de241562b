// A channels.conf into records: each satellite channel line becomes a record, from a zeroed one or
// from the base list's record of the same service, whose bytes stay where the line says what export
// would write for them.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "form/form_text.h"
#include "formats/vdr_format.h"
#include "formats/vdr_line.h"
#include "lists/channel_match.h"
#include "lists/code_page.h"

namespace {

constexpr std::uint8_t KindVideo = 1, KindAudio = 2, KindDolby = 3;
constexpr std::uint8_t PrivateStreamType = 6;  // the PES type AC-3, teletext and subtitles come in

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

void addStream(ChannelRecord& record, int type, std::uint16_t pid, std::uint8_t kind, const VdrPid* language,
               ImportCounts& counts) {
    if (record.streamCount >= MaxStreams) {
        ++counts.streams;
        return;
    }
    StreamEntry& entry = record.streams[record.streamCount++];
    entry.streamType = static_cast<std::uint8_t>(type);
    entry.pid.set(pid);
    entry.kind = kind;
    if (language != nullptr) {
        entry.langLength = static_cast<std::uint8_t>(language->languageLength);
        std::memcpy(entry.lang, language->language, MaxLangLength);
    }
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
    if (channel.videoPid != 0)
        addStream(record, channel.videoType, static_cast<std::uint16_t>(channel.videoPid), KindVideo, nullptr, counts);
    for (int i = 0; i < channel.audioCount; ++i)
        addStream(record, channel.audio[i].type, channel.audio[i].pid, KindAudio, &channel.audio[i], counts);
    for (int i = 0; i < channel.dolbyCount; ++i)
        addStream(record, PrivateStreamType, channel.dolby[i].pid, KindDolby, &channel.dolby[i], counts);
    if (channel.teletextPid != 0)
        addStream(record, PrivateStreamType, static_cast<std::uint16_t>(channel.teletextPid), StreamKindTeletext,
                  nullptr, counts);
    for (int i = 0; i < channel.subtitleCount; ++i)
        addStream(record, PrivateStreamType, channel.subtitles[i].pid, StreamKindSubtitle, &channel.subtitles[i],
                  counts);
}

// Scratch texts kept over the whole file, so that a line allocates nothing once they have grown.
struct TextScratch {
    std::string utf8;
    std::string converted;
};

// A name or provider of a line into a zeroed text field. Longer texts are cut to the 29 bytes the
// field holds, at a character's start (cut is set). False with why when the text cannot be stored.
bool storeLineText(std::string_view text, const FieldContext& context, char (&field)[TextFieldSize],
                   TextScratch& scratch, bool& cut, std::string& why) {
    // Without a code page the line's bytes are stored as they are, but for the '|' and CR that
    // vdrTextFromLine changes while they are copied: those are ASCII, so the text is UTF-8, holds a
    // NUL and starts a character where the changed text would.
    std::string_view bytes = text;
    if (context.codePage != 0) {
        vdrTextFromLine(text, scratch.utf8);
        if (!utf8ToCodePage(context.codePage, scratch.utf8, scratch.converted, why)) return false;
        bytes = scratch.converted;
    } else if (!isUtf8(bytes)) {
        why = "not UTF-8 (give --codepage with the code page it is in)";
        return false;
    }
    if (bytes.find('\0') != std::string_view::npos) {
        why = "holds a NUL character";
        return false;
    }
    std::size_t length = bytes.size();
    cut = length > TextFieldSize - 1;
    if (cut) {
        length = TextFieldSize - 1;
        if (context.codePage == 0) {
            while (length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0u) == 0x80u) --length;
        }
    }
    if (context.codePage != 0) {
        std::memcpy(field, bytes.data(), length);
        return true;
    }
    for (std::size_t i = 0; i < length; ++i) field[i] = bytes[i] == '|' ? ':' : bytes[i] == '\r' ? ' ' : bytes[i];
    return true;
}

struct CarriedField {
    std::size_t offset;
    std::size_t size;
};

// The fields a line gives wholly; names, providers, streams and the category are merged apart.
constexpr CarriedField CarriedFields[] = {
    {offsetof(ChannelRecord, frequency), 4},   {offsetof(ChannelRecord, symbolRate), 2},
    {offsetof(ChannelRecord, polarity), 2},    {offsetof(ChannelRecord, tid), 2},
    {offsetof(ChannelRecord, sid), 2},         {offsetof(ChannelRecord, pcrPid), 2},
    {offsetof(ChannelRecord, videoPid), 2},    {offsetof(ChannelRecord, audioPid), 2},
    {offsetof(ChannelRecord, teletextPid), 2}, {offsetof(ChannelRecord, ac3Pid), 2},
};

const std::uint8_t* bytesOf(const ChannelRecord& record, std::size_t offset) {
    return reinterpret_cast<const std::uint8_t*>(&record) + offset;
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
            if (line.kind == KindVideo || line.kind == KindAudio) entry.streamType = line.streamType;
            if (line.kind != StreamKindTeletext) {
                entry.langLength = line.langLength;
                std::memcpy(entry.lang, line.lang, MaxLangLength);
            }
            break;
        }
        merged.streams[i] = entry;
    }
}

// base with what the line gives written over it, field by field, where the line's value differs
// from the value the base's own exported line gives (fromBase).
// With force (the base's line could not be written) every value of the line is written.
void mergeRecord(ChannelRecord& merged, const ChannelRecord& fromLine, const ChannelRecord& fromBase, bool force) {
    for (const CarriedField& field : CarriedFields) {
        if (force || std::memcmp(bytesOf(fromLine, field.offset), bytesOf(fromBase, field.offset), field.size) != 0)
            std::memcpy(reinterpret_cast<std::uint8_t*>(&merged) + field.offset, bytesOf(fromLine, field.offset),
                        field.size);
    }
    if (force || fieldText(fromLine.name) != fieldText(fromBase.name))
        storeFieldText(merged.name, fieldText(fromLine.name));
    if (force || fieldText(fromLine.provider) != fieldText(fromBase.provider))
        storeFieldText(merged.provider, fieldText(fromLine.provider));
    const bool sameStreams =
        !force && fromLine.streamCount == fromBase.streamCount &&
        std::memcmp(fromLine.streams, fromBase.streams, sizeof(StreamEntry) * fromLine.streamCount) == 0;
    if (!sameStreams) mergeStreams(merged, fromLine);
}

// The record the base's own line reads back as (texts included). False when export could not
// write the base record.
bool recordOfBase(const ChannelRecord& base, const FormatOptions& options, std::string& line, TextScratch& scratch,
                  ChannelRecord& out) {
    line.clear();
    if (!appendVdrLineOfRecord(base, options, line)) return false;
    line.pop_back();  // its line end
    static VdrChannel channel;
    VdrLineError error;
    if (!parseVdrLine(line, channel, error)) return false;
    out = ChannelRecord{};
    ImportCounts ignored;
    recordOfChannel(channel, out, ignored);
    bool cut = false;
    std::string why;
    const std::string_view name = channel.name.empty() ? channel.shortName : channel.name;
    return storeLineText(name, options.context, out.name, scratch, cut, why) &&
           storeLineText(channel.provider, options.context, out.provider, scratch, cut, why);
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
    const bool withBase = !options.base.empty();
    // Without a base a record's category is its group's, found as the record is read. The group's
    // notes and added categories are kept apart until the whole file is read, so that they follow
    // the notes about lines as they would after the file, and are dropped with a file that fails.
    FormatReport groups;
    groups.addedCategories = report.addedCategories;
    const char* namedGroup = nullptr;  // the group line whose category is known
    std::uint8_t groupCategory = 255;
    // With a base the category depends on the record's match: per record, the name of the group line
    // it follows, as it stands in text (no data before any), read where needed after the matching.
    std::vector<std::string_view> groupOf;
    if (withBase) groupOf.reserve(records.capacity());
    std::string_view groupLine;
    std::string groupText, group;
    ImportCounts counts;
    TextScratch scratch;
    std::string why;
    static VdrChannel channel;
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
            report.problems.push_back({line, error.field, error.why});
            continue;
        }
        if (channel.group) {
            // vdrTextFromLine changes only ASCII characters: the name is UTF-8 when the line's text is.
            if (!isUtf8(channel.name)) {
                report.problems.push_back({line, "group", "not UTF-8"});
                continue;
            }
            groupLine = channel.name;
            continue;
        }
        if (channel.sourceKind != 'S') {
            ++counts.otherKinds;
            continue;
        }
        if (options.onlySource && channel.sourceTenthsEast != options.source.tenthsEast) {
            ++counts.otherPositions;
            continue;
        }
        const std::string_view name = channel.name.empty() ? channel.shortName : channel.name;
        if (name.empty()) {
            report.notes.push_back("line " + std::to_string(line) + ": a channel without a name is left out");
            continue;
        }
        ChannelRecord& record = records.emplace_back();
        recordOfChannel(channel, record, counts);
        bool cut = false;
        if (!storeLineText(name, options.context, record.name, scratch, cut, why)) {
            report.problems.push_back({line, "name", why});
        } else if (cut) {
            report.notes.push_back("line " + std::to_string(line) +
                                   ": the name is cut to the 29 bytes a record holds: \"" +
                                   std::string(fieldText(record.name)) + "\"");
        }
        if (!storeLineText(channel.provider, options.context, record.provider, scratch, cut, why)) {
            report.problems.push_back({line, "name", "provider: " + why});
        } else if (cut) {
            report.notes.push_back("line " + std::to_string(line) +
                                   ": the provider is cut to the 29 bytes a record holds: \"" +
                                   std::string(fieldText(record.provider)) + "\"");
        }
        counts.shortNames += !channel.name.empty() && !channel.shortName.empty();
        counts.parameters += channel.parameters.size() > 1;
        counts.conditionalAccess += channel.conditionalAccess;
        counts.networkIds += channel.nid != 0;
        counts.languages += channel.cutLanguages;
        counts.pids += channel.droppedPids;
        if (withBase) {
            groupOf.push_back(groupLine);
            continue;
        }
        ++counts.withoutBase;
        if (groupLine.data() == nullptr) {
            record.category = 255;
            continue;
        }
        if (groupLine.data() != namedGroup) {  // a group line's records follow one another
            namedGroup = groupLine.data();
            vdrTextFromLine(groupLine, groupText);
            vdrGroupNameChange(groupText, group);  // the name kvx would write for it
            groupCategory = categoryFromGroupName(group, options.context, groups);
        }
        record.category = groupCategory;
    }
    if (!report.problems.empty()) {
        records.clear();
        return false;
    }
    if (!withBase) {
        report.notes.insert(report.notes.end(), groups.notes.begin(), groups.notes.end());
        report.addedCategories = std::move(groups.addedCategories);
        noteCounts(counts, report);
        return true;
    }

    const std::vector<int> matches = matchByService(records, options.base);
    // A group line's records follow one another: its name and category are kept while they last.
    std::string baseGroup;
    int known = -1;  // the category of group, resolved when first needed
    std::string baseLine;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const bool grouped = groupOf[i].data() != nullptr;
        if (grouped && groupOf[i].data() != namedGroup) {
            namedGroup = groupOf[i].data();
            vdrTextFromLine(groupOf[i], groupText);
            vdrGroupNameChange(groupText, group);  // the name kvx would write for it
            known = -1;
        }
        const auto category = [&]() -> std::uint8_t {
            if (!grouped) return 255;
            if (known < 0) known = categoryFromGroupName(group, options.context, report);
            return static_cast<std::uint8_t>(known);
        };
        const int match = matches[i];
        if (match == NoMatch) {
            ++counts.withoutBase;
            records[i].category = category();
            continue;
        }
        const ChannelRecord& base = options.base[static_cast<std::size_t>(match)];
        ChannelRecord merged = base;
        ChannelRecord fromBase;
        const bool baseWritten = recordOfBase(base, options, baseLine, scratch, fromBase);
        mergeRecord(merged, records[i], fromBase, !baseWritten);
        if (grouped) {
            vdrGroupNameChange(categoryGroupName(base.category, options.context), baseGroup);
            if (baseGroup != group) merged.category = category();
        }
        records[i] = merged;
    }
    noteCounts(counts, report);
    return true;
}
