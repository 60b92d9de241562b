// A channel list as a channels.conf and back: records to the recorder's lines (formats/vdr_line.h)
// and lines to records, with the base list's bytes kept where the line says what export would.
#include "formats/vdr_format.h"

#include <bitset>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "form/form_text.h"
#include "formats/vdr_line.h"
#include "lists/channel_match.h"
#include "lists/code_page.h"

namespace {

constexpr std::uint8_t KindVideo = 1, KindAudio = 2, KindDolby = 3;

std::string positionText(std::size_t index) { return "channel " + std::to_string(index + 1); }

// What export could not write as the record holds it, counted over the list.
struct ExportCounts {
    int polarity = 0;
    int languages = 0;
    int streams = 0;
};

char polarizationOf(std::uint16_t polarity, ExportCounts& counts) {
    const char polarization = vdrPolarization(polarity);
    counts.polarity += vdrPolarity(polarization) != polarity;
    return polarization;
}

VdrPid pidOf(const StreamEntry& entry, int type, ExportCounts& counts) {
    VdrPid pid;
    pid.pid = entry.pid.get();
    pid.type = type;
    const std::string_view language(entry.lang, static_cast<std::size_t>(shownLangLength(entry)));
    if (vdrLanguageWritable(language)) {
        pid.languageLength = static_cast<int>(language.size());
        std::memcpy(pid.language, language.data(), language.size());
    } else {
        ++counts.languages;
    }
    return pid;
}

// The record's streams of one kind as a PID list, the record's own PID of that kind first when no
// stream entry holds it.
void streamPids(const ChannelRecord& record, std::uint8_t kind, std::uint16_t ownPid, int defaultType, VdrPid* pids,
                int capacity, int& count, ExportCounts& counts) {
    count = 0;
    const int streams = shownStreamCount(record);
    bool ownListed = ownPid == 0;
    for (int i = 0; i < streams && !ownListed; ++i)
        ownListed = record.streams[i].kind == kind && record.streams[i].pid.get() == ownPid;
    if (!ownListed) pids[count++] = VdrPid{ownPid, defaultType, 0, {}};
    for (int i = 0; i < streams; ++i) {
        const StreamEntry& entry = record.streams[i];
        if (entry.kind != kind || entry.pid.get() == 0) continue;
        if (count == capacity) {
            ++counts.streams;
            continue;
        }
        const int type = defaultType == VdrDolbyType || entry.streamType == 0 ? defaultType : entry.streamType;
        pids[count++] = pidOf(entry, type, counts);
    }
}

// The line of a record, all but its texts (name and provider are the caller's).
void channelOfRecord(const ChannelRecord& record, const FormatOptions& options, int rid, VdrChannel& channel,
                     ExportCounts& counts) {
    channel.frequency = record.frequency.get();
    channel.polarization = polarizationOf(record.polarity.get(), counts);
    channel.sourceTenthsEast = options.source.tenthsEast;
    channel.symbolRate = record.symbolRate.get();
    channel.videoPid = record.videoPid.get();
    channel.pcrPid = record.pcrPid.get();
    channel.videoType = 0;
    if (channel.videoPid != 0) {
        channel.videoType = VdrVideoType;
        for (int i = 0; i < shownStreamCount(record); ++i) {
            const StreamEntry& entry = record.streams[i];
            if (entry.kind == KindVideo && entry.pid.get() == channel.videoPid && entry.streamType != 0) {
                channel.videoType = entry.streamType;
                break;
            }
        }
    }
    streamPids(record, KindAudio, record.audioPid.get(), VdrAudioType, channel.audio, VdrMaxAudio, channel.audioCount,
               counts);
    streamPids(record, KindDolby, record.ac3Pid.get(), VdrDolbyType, channel.dolby, VdrMaxDolby, channel.dolbyCount,
               counts);
    channel.teletextPid = record.teletextPid.get();
    channel.subtitleCount = 0;
    for (int i = 0; i < shownStreamCount(record); ++i) {
        const StreamEntry& entry = record.streams[i];
        if (entry.kind != StreamKindSubtitle || entry.pid.get() == 0) continue;
        if (channel.subtitleCount == VdrMaxSubtitles) {
            ++counts.streams;
            continue;
        }
        channel.subtitles[channel.subtitleCount++] = pidOf(entry, 0, counts);
    }
    channel.sid = record.sid.get();
    channel.nid = options.networkId;
    channel.tid = record.tid.get();
    channel.rid = rid;
}

// RID 1, 2, ... for the second and later channels with one TID and SID: the recorder keeps only the
// first of channels that share source, NID, TID, SID and RID. An open table holds the TIDs and SIDs
// seen (never 0: SID 0 is not written); the RIDs last given beside them only once a TID and SID repeats.
struct RepeatTable {
    std::vector<std::uint32_t> keys;
    std::vector<std::uint16_t> rids;
    std::size_t mask = 0;
};

void startRepeats(RepeatTable& table, std::size_t records) {
    std::size_t size = 16;
    while (size < 2 * records) size *= 2;  // at most half full: probes stay short
    table.keys.assign(size, 0);
    table.mask = size - 1;
}

std::uint16_t repeatId(RepeatTable& table, const ChannelRecord& record) {
    const std::uint32_t key = (static_cast<std::uint32_t>(record.tid.get()) << 16) | record.sid.get();
    std::size_t slot = static_cast<std::size_t>((std::uint64_t{key} * 0x9E3779B97F4A7C15u) >> 32) & table.mask;
    while (table.keys[slot] != 0 && table.keys[slot] != key) slot = (slot + 1) & table.mask;
    if (table.keys[slot] == 0) {
        table.keys[slot] = key;
        return 0;
    }
    if (table.rids.empty()) table.rids.assign(table.keys.size(), 0);
    return ++table.rids[slot];
}

void quoteInto(std::string& note, std::string_view text) {
    note += '"';
    note += text;
    note += '"';
}

// The name or provider as the line holds it (UTF-8, changed where the format needs it). False when
// the record's bytes are not UTF-8 and no code page says what they are.
bool lineText(const char (&field)[TextFieldSize], const FieldContext& context, bool isProvider, std::string& text,
              std::string& changed, bool& wasChanged) {
    if (!recordTextUtf8(field, context, text)) return false;
    wasChanged = vdrNameChange(text, isProvider, changed);
    if (wasChanged) text.swap(changed);
    return true;
}

}  // namespace

bool appendVdrLineOfRecord(const ChannelRecord& record, const FormatOptions& options, std::string& out) {
    static std::string name, provider, scratch;  // kept between calls: no allocation per channel
    static VdrChannel channel;
    bool changed = false;
    if (!lineText(record.name, options.context, false, name, scratch, changed) ||
        !lineText(record.provider, options.context, true, provider, scratch, changed))
        return false;
    ExportCounts counts;
    channel.name = name;
    channel.provider = provider;
    channelOfRecord(record, options, 0, channel, counts);
    appendVdrLine(out, channel);
    return true;
}

std::size_t vdrExportSize(std::span<const ChannelRecord> records) {
    // Numbers, colons and texts of a line, each stream's "PID=lan@type," and a group line: room for
    // the most a line takes, so that finding it needs no look at the records themselves (the room
    // only costs memory where it is written).
    constexpr std::size_t LineSize = 128, StreamSize = 16, GroupLineSize = 64;
    return records.size() * (LineSize + StreamSize * MaxStreams + GroupLineSize);
}

bool exportVdr(std::span<const ChannelRecord> records, const FormatOptions& options, std::string& out,
               FormatReport& report) {
    // The records are read once, in one pass. The notes on channels left out come first, as a reader
    // looks for them first.
    std::vector<std::string> leftOut;
    const std::size_t notesBefore = report.notes.size();
    RepeatTable repeatTable;
    startRepeats(repeatTable, records.size());
    out.reserve(out.size() + vdrExportSize(records));  // no more when the caller reserved it
    std::string name, provider, scratch, group, groupText;
    std::bitset<256> groupNoted;
    int lastCategory = -1;
    ExportCounts counts;
    VdrChannel channel;
    VdrChannel groupLine;  // made once: a VdrChannel is more than a kilobyte to clear
    groupLine.group = true;
    int repeats = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        // Read first, with the record's first bytes: the category ends the record, and waiting for
        // it only once the line is half made would be a wait of its own for every record.
        const std::uint8_t category = record.category;
        if (record.sid.get() == 0) {
            std::string note = positionText(i) + " ";
            quoteInto(note, fieldText(record.name));
            leftOut.push_back(note + " is left out: the recorder refuses a channel with SID 0");
            continue;
        }
        if (fieldText(record.name).empty()) {
            leftOut.push_back(positionText(i) + " is left out: the recorder refuses a channel without a name");
            continue;
        }
        const std::uint16_t rid = repeatId(repeatTable, record);
        bool nameChanged = false, providerChanged = false;
        const bool nameRead = lineText(record.name, options.context, false, name, scratch, nameChanged);
        const bool providerRead = lineText(record.provider, options.context, true, provider, scratch, providerChanged);
        if (!nameRead || !providerRead) {
            report.problems.push_back({0, nameRead ? "provider" : "name",
                                       positionText(i) + ": not UTF-8 (give --codepage with the list's code page)"});
            continue;
        }
        if (nameChanged || providerChanged) {
            std::string note = positionText(i) + ": " + (nameChanged ? "name" : "provider") + " is written as ";
            quoteInto(note, nameChanged ? name : provider);
            report.notes.push_back(note + " (a channels.conf name cannot hold ';', '|' reads back as ':', " +
                                   "and a line end would end the line)");
        }
        if (category != lastCategory) {
            lastCategory = category;
            groupText = categoryGroupName(category, options.context);
            if (!isUtf8(groupText)) {
                report.problems.push_back(
                    {0, "category",
                     "category " + std::to_string(category) + ": its name is not UTF-8 (give --codepage)"});
                continue;
            }
            if (vdrGroupNameChange(groupText, group) && !groupNoted[category]) {
                groupNoted[category] = true;
                std::string note = "category ";
                quoteInto(note, groupText);
                note += " is written as group ";
                quoteInto(note, group);
                report.notes.push_back(note + " (the recorder drops blanks and '@' at its start, and ',' " +
                                       "and '|' change on its rewriting)");
            }
            groupLine.name = group;
            appendVdrLine(out, groupLine);
        }
        channel.name = name;
        channel.provider = provider;
        channelOfRecord(record, options, rid, channel, counts);
        repeats += rid != 0;
        appendVdrLine(out, channel);
    }
    report.notes.insert(report.notes.begin() + static_cast<std::ptrdiff_t>(notesBefore),
                        std::make_move_iterator(leftOut.begin()), std::make_move_iterator(leftOut.end()));
    if (repeats > 0)
        report.notes.push_back(
            std::to_string(repeats) +
            " channels repeat the TID and SID of an earlier one: they are written with RID 1, 2, ...");
    if (counts.polarity > 0)
        report.notes.push_back(std::to_string(counts.polarity) +
                               " channels have a polarity other than H, V, L or R: written as H");
    if (counts.languages > 0)
        report.notes.push_back(std::to_string(counts.languages) +
                               " stream languages hold characters a channels.conf cannot: written without them");
    if (counts.streams > 0)
        report.notes.push_back(std::to_string(counts.streams) +
                               " streams past the recorder's limits (32 audio, 16 AC-3, 32 subtitles) are left out");
    return report.problems.empty();
}
