// A channel list as a channels.conf: each record to the recorder's line (formats/vdr_line.h), a group
// line before each run of one category.
#include "formats/vdr_format.h"

#include <bitset>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "formats/vdr_line.h"
#include "lists/utf8.h"

namespace {

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
    if (!ownListed) pids[count++] = VdrPid{.pid = ownPid, .type = defaultType};
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
    channel.pcrPid = record.pcrPid.get() != 0 ? record.pcrPid.get() : channel.videoPid;  // as the recorder reads it
    channel.videoType = 0;
    if (channel.videoPid != 0) {
        channel.videoType = VdrVideoType;
        for (int i = 0; i < shownStreamCount(record); ++i) {
            const StreamEntry& entry = record.streams[i];
            if (entry.kind == StreamKindVideo && entry.pid.get() == channel.videoPid && entry.streamType != 0) {
                channel.videoType = entry.streamType;
                break;
            }
        }
    }
    streamPids(record, StreamKindAudio, record.audioPid.get(), VdrAudioType, channel.audio, VdrMaxAudio,
               channel.audioCount, counts);
    streamPids(record, StreamKindAc3, record.ac3Pid.get(), VdrDolbyType, channel.dolby, VdrMaxDolby, channel.dolbyCount,
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

// The name or provider as the line holds it (UTF-8, changed where the format needs it). False when
// the record's bytes are not UTF-8 and no code page says what they are.
bool lineText(const char (&field)[TextFieldSize], const FieldContext& context, bool isProvider, std::string& text,
              std::string& changed, bool& wasChanged) {
    if (!recordTextUtf8(field, context, text)) return false;
    wasChanged = vdrNameChange(text, isProvider, changed);
    if (wasChanged) text.swap(changed);
    return true;
}

// An export's state over the whole list: what it was told, what it says, and room kept from record
// to record so that a line allocates nothing once the texts have grown.
struct VdrExport {
    const FormatOptions& options;
    FormatReport& report;
    std::string& out;
    std::vector<std::string> leftOut{};  // notes on channels left out, said before the others
    ExportCounts counts{};
    RepeatTable repeatTable{};
    int repeats = 0;
    std::string name{}, provider{}, scratch{}, group{}, groupText{};
    std::bitset<256> groupNoted{};  // categories whose group name change is noted
    int lastCategory = -1;
    VdrChannel channel{};
    VdrChannel groupLine{};  // made once: a VdrChannel is more than a kilobyte to clear
};

// True, with a note, for a record the recorder would refuse.
bool leftOut(VdrExport& vdr, const ChannelRecord& record, std::size_t index) {
    if (record.sid.get() == 0) {
        vdr.leftOut.push_back(positionText(index) + " " + quoted(fieldText(record.name)) +
                              " is left out: the recorder refuses a channel with SID 0");
        return true;
    }
    if (fieldText(record.name).empty()) {
        vdr.leftOut.push_back(positionText(index) + " is left out: the recorder refuses a channel without a name");
        return true;
    }
    return false;
}

// The record's name and provider as the line holds them, into the export's texts, with a note where
// one had to change. False, with a problem, when one cannot be written.
bool readTexts(VdrExport& vdr, const ChannelRecord& record, std::size_t index) {
    bool nameChanged = false, providerChanged = false;
    const FieldContext& context = vdr.options.context;
    const bool nameRead = lineText(record.name, context, false, vdr.name, vdr.scratch, nameChanged);
    const bool providerRead = lineText(record.provider, context, true, vdr.provider, vdr.scratch, providerChanged);
    if (!nameRead || !providerRead) {
        vdr.report.problems.push_back(
            {.field = nameRead ? "provider" : "name",
             .why = positionText(index) + ": not UTF-8 (give --codepage with the list's code page)"});
        return false;
    }
    if (nameChanged || providerChanged) {
        vdr.report.notes.push_back(positionText(index) + ": " + (nameChanged ? "name" : "provider") +
                                   " is written as " + quoted(nameChanged ? vdr.name : vdr.provider) +
                                   " (a channels.conf name cannot hold ';', '|' reads back as ':', " +
                                   "and a line end would end the line)");
    }
    return true;
}

// The group line of a category, written where a run of its channels starts. False, with a problem,
// when the category's name cannot be written.
bool writeGroupLine(VdrExport& vdr, std::uint8_t category) {
    vdr.lastCategory = category;
    vdr.groupText = categoryGroupName(category, vdr.options.context);
    if (!isUtf8(vdr.groupText)) {
        vdr.report.problems.push_back(
            {.field = "category",
             .why = "category " + std::to_string(category) + ": its name is not UTF-8 (give --codepage)"});
        return false;
    }
    if (vdrGroupNameChange(vdr.groupText, vdr.group) && !vdr.groupNoted[category]) {
        vdr.groupNoted[category] = true;
        vdr.report.notes.push_back("category " + quoted(vdr.groupText) + " is written as group " + quoted(vdr.group) +
                                   " (the recorder drops blanks and '@' at its start, and ',' " +
                                   "and '|' change on its rewriting)");
    }
    vdr.groupLine.name = vdr.group;
    appendVdrLine(vdr.out, vdr.groupLine);
    return true;
}

void noteExportCounts(const VdrExport& vdr) {
    std::vector<std::string>& notes = vdr.report.notes;
    if (vdr.repeats > 0)
        notes.push_back(std::to_string(vdr.repeats) +
                        " channels repeat the TID and SID of an earlier one: they are written with RID 1, 2, ...");
    if (vdr.counts.polarity > 0)
        notes.push_back(std::to_string(vdr.counts.polarity) +
                        " channels have a polarity other than H, V, L or R: written as H");
    if (vdr.counts.languages > 0)
        notes.push_back(std::to_string(vdr.counts.languages) +
                        " stream languages hold characters a channels.conf cannot: written without them");
    if (vdr.counts.streams > 0)
        notes.push_back(std::to_string(vdr.counts.streams) +
                        " streams past the recorder's limits (32 audio, 16 AC-3, 32 subtitles) are left out");
}

}  // namespace

void vdrChannelOfRecord(const ChannelRecord& record, const FormatOptions& options, VdrChannel& channel) {
    ExportCounts ignored;
    channelOfRecord(record, options, 0, channel, ignored);
}

bool vdrLineText(const char (&field)[TextFieldSize], const FieldContext& context, bool isProvider, std::string& text,
                 std::string& scratch) {
    bool changed = false;
    return lineText(field, context, isProvider, text, scratch, changed);
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
    const std::size_t notesBefore = report.notes.size();
    VdrExport vdr{.options = options, .report = report, .out = out};
    vdr.groupLine.group = true;
    startRepeats(vdr.repeatTable, records.size());
    out.reserve(out.size() + vdrExportSize(records));  // no more when the caller reserved it
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        // Read first, with the record's first bytes: the category ends the record, and waiting for
        // it only once the line is half made would be a wait of its own for every record.
        const std::uint8_t category = record.category;
        if (leftOut(vdr, record, i)) continue;
        const std::uint16_t rid = repeatId(vdr.repeatTable, record);
        if (!readTexts(vdr, record, i)) continue;
        if (category != vdr.lastCategory && !writeGroupLine(vdr, category)) continue;
        vdr.channel.name = vdr.name;
        vdr.channel.provider = vdr.provider;
        channelOfRecord(record, options, rid, vdr.channel, vdr.counts);
        vdr.repeats += rid != 0;
        appendVdrLine(out, vdr.channel);
    }
    report.notes.insert(report.notes.begin() + static_cast<std::ptrdiff_t>(notesBefore),
                        std::make_move_iterator(vdr.leftOut.begin()), std::make_move_iterator(vdr.leftOut.end()));
    noteExportCounts(vdr);
    return report.problems.empty();
}
