#include "kvx/check.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "channel/channel_table.h"
#include "lists/key_table.h"
#include "lists/report_text.h"

namespace {

inline constexpr std::uint16_t MaxPid = 8191;  // packet identifiers have 13 bits

struct PidField {
    const char* column;
    LittleEndian16 ChannelRecord::*field;
};

inline constexpr PidField PidFields[] = {
    {"pmt_pid", &ChannelRecord::pmtPid},     {"pcr_pid", &ChannelRecord::pcrPid},
    {"ecm_pid", &ChannelRecord::ecmPid},     {"video_pid", &ChannelRecord::videoPid},
    {"audio_pid", &ChannelRecord::audioPid}, {"teletext_pid", &ChannelRecord::teletextPid},
    {"ac3_pid", &ChannelRecord::ac3Pid},
};

bool hasNul(const char (&field)[TextFieldSize]) { return std::memchr(field, '\0', TextFieldSize) != nullptr; }

struct Report {
    std::string_view fileName;
    std::string& out;
    std::size_t problems = 0;
};

// Starts a finding about one channel: `FILE: channel 12 "Name": `.
void beginChannel(Report& report, std::size_t index, const ChannelRecord& record) {
    ++report.problems;
    report.out += report.fileName;
    report.out += ": channel ";
    appendNumber(report.out, static_cast<std::int64_t>(index + 1));
    report.out += ' ';
    appendQuoted(report.out, fieldText(record.name), false);
    report.out += ": ";
}

void endLine(Report& report, std::string_view why) {
    report.out += ": ";
    report.out += why;
    report.out += '\n';
}

void numberFinding(Report& report, std::size_t index, const ChannelRecord& record, std::string_view field,
                   std::int64_t value, std::string_view why) {
    beginChannel(report, index, record);
    report.out += field;
    report.out += ' ';
    appendNumber(report.out, value);
    endLine(report, why);
}

void streamFinding(Report& report, std::size_t index, const ChannelRecord& record, int stream, std::string_view field,
                   std::int64_t value, std::string_view why) {
    beginChannel(report, index, record);
    report.out += "stream ";
    appendNumber(report.out, stream + 1);
    report.out += ' ';
    report.out += field;
    report.out += ' ';
    appendNumber(report.out, value);
    endLine(report, why);
}

void textFinding(Report& report, std::size_t index, const ChannelRecord& record, std::string_view field,
                 const char (&value)[TextFieldSize], std::string_view why) {
    beginChannel(report, index, record);
    report.out += field;
    report.out += ' ';
    appendQuoted(report.out, fieldText(value), false);
    endLine(report, why);
}

void checkRecord(Report& report, std::size_t index, const ChannelRecord& record, const CategoryNames* categories) {
    if (fieldText(record.name).empty())
        textFinding(report, index, record, "name", record.name, "empty, the channel list shows a blank line");
    if (!hasNul(record.name))
        textFinding(report, index, record, "name", record.name,
                    "no NUL in its 30 bytes, a reader that looks for one runs into the next field");
    if (!hasNul(record.provider))
        textFinding(report, index, record, "provider", record.provider,
                    "no NUL in its 30 bytes, a reader that looks for one runs into the next field");

    const std::uint16_t polarity = record.polarity.get();
    if (polarity != PolarityHorizontal && polarity != PolarityVertical)
        numberFinding(report, index, record, "polarity", polarity,
                      "neither H (72) nor V (86), the editor shows H and an edit of the channel writes 72");
    if (record.serviceType > 2)
        numberFinding(report, index, record, "service_type", record.serviceType,
                      "not Data (0), TV (1) or Radio (2), the editor shows none and an edit of the channel writes 255");
    // 255 is how a record says "no category" (the editor writes it for no selection), unless the file
    // names a 256th category, which the comparison then finds within it.
    constexpr std::uint8_t NoCategory = 255;
    if (categories != nullptr && record.category >= categories->size() && record.category != NoCategory)
        numberFinding(report, index, record, "category", record.category,
                      "beyond the categories file, the editor shows none and an edit of the channel writes 255");

    for (const PidField& pid : PidFields) {
        const std::uint16_t value = (record.*pid.field).get();
        if (value > MaxPid) numberFinding(report, index, record, pid.column, value, "above 8191, PIDs have 13 bits");
    }

    if (record.streamCount > MaxStreams)
        numberFinding(report, index, record, "stream_count", record.streamCount,
                      "above 32, only 32 entries fit in the record and the rest are not read");
    for (int stream = 0; stream < shownStreamCount(record); ++stream) {
        const StreamEntry& entry = record.streams[stream];
        if (entry.pid.get() > MaxPid)
            streamFinding(report, index, record, stream, "pid", entry.pid.get(), "above 8191, PIDs have 13 bits");
        if (entry.kind >= StreamKindCount)
            streamFinding(report, index, record, stream, "kind", entry.kind, "above 5, the editor shows ---");
        if (entry.langLength > MaxLangLength)
            streamFinding(report, index, record, stream, "lang_length", entry.langLength,
                          "above 3, only 3 language bytes exist");
    }
}

// False only for a record that checkRecord finds nothing in. Most records are like that, and this
// asks every rule at once, with few branches, where checkRecord asks them one by one.
bool mayHaveProblem(const ChannelRecord& record, const CategoryNames* categories) {
    const std::uint16_t polarity = record.polarity.get();
    const bool suspect = record.name[0] == '\0' || !hasNul(record.name) || !hasNul(record.provider) ||
                         (polarity != PolarityHorizontal && polarity != PolarityVertical) || record.serviceType > 2 ||
                         (categories != nullptr && record.category >= categories->size()) ||
                         record.streamCount > MaxStreams;
    // A PID above 8191 has a high byte above 0x1F.
    unsigned highBytes = 0;
    for (const PidField& pid : PidFields) highBytes |= (record.*pid.field).bytes[1];
    unsigned badStreams = 0;
    const int streams = shownStreamCount(record);
    for (int stream = 0; stream < streams; ++stream) {
        const StreamEntry& entry = record.streams[stream];
        highBytes |= entry.pid.bytes[1];
        badStreams |= static_cast<unsigned>(entry.kind >= StreamKindCount) |
                      static_cast<unsigned>(entry.langLength > MaxLangLength);
    }
    return suspect || badStreams != 0 || highBytes > (MaxPid >> 8);
}

// Frequency, polarity, TID and SID as stored: a channel with all four of an earlier one's is its copy.
bool sameTuning(const ChannelRecord& a, const ChannelRecord& b) {
    return std::memcmp(a.frequency.bytes, b.frequency.bytes, 4) == 0 &&
           std::memcmp(a.polarity.bytes, b.polarity.bytes, 2) == 0 && std::memcmp(a.tid.bytes, b.tid.bytes, 2) == 0 &&
           std::memcmp(a.sid.bytes, b.sid.bytes, 2) == 0;
}

std::uint32_t tuningHash(const WordHash& hash, const ChannelRecord& record) {
    const std::uint32_t words[] = {static_cast<std::uint32_t>(record.frequency.get()),
                                   (std::uint32_t{record.polarity.get()} << 16) | record.tid.get(), record.sid.get()};
    return hashWords(hash, words);
}

void duplicateFinding(Report& report, std::span<const ChannelRecord> records, std::size_t index, std::size_t first) {
    const ChannelRecord& record = records[index];
    beginChannel(report, index, record);
    report.out += "frequency ";
    appendNumber(report.out, record.frequency.get());
    report.out += " polarity ";
    appendPolarityText(report.out, record.polarity.get());
    report.out += " tid ";
    appendNumber(report.out, record.tid.get());
    report.out += " sid ";
    appendNumber(report.out, record.sid.get());
    report.out += ": same as channel ";
    appendNumber(report.out, static_cast<std::int64_t>(first + 1));
    report.out += ' ';
    appendQuoted(report.out, fieldText(records[first].name), false);
    report.out += '\n';
}

// `FILE: 3 records beyond 16384: ...`, with "record" and "them" in the singular for one.
void fileFinding(Report& report, std::uint64_t count, std::string_view what, std::string_view after) {
    ++report.problems;
    report.out += report.fileName;
    report.out += ": ";
    appendNumber(report.out, static_cast<std::int64_t>(count));
    report.out += ' ';
    report.out += what;
    if (count != 1) report.out += 's';
    report.out += after;
    report.out += count == 1 ? "it" : "them";
    report.out += ", and a save loses ";
    report.out += count == 1 ? "it" : "them";
    report.out += '\n';
}

}  // namespace

std::size_t checkList(std::string_view fileName, std::span<const ChannelRecord> records, const ListFileFacts& facts,
                      const CategoryNames* categories, std::string& out) {
    Report report{fileName, out};

    // One pass: each channel's findings, then whether an earlier channel has its tuning; the table
    // holds the first channel of each tuning, so a channel is reported against the first.
    KeyTable firstOfTuning = keyTableFor(records.size());
    const WordHash hash = randomWordHash(3);
    std::vector<std::uint32_t> hashes(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        if (mayHaveProblem(record, categories)) checkRecord(report, i, record, categories);
        const auto position = static_cast<std::uint32_t>(i);
        const std::uint32_t tuning = hashes[i] = tuningHash(hash, record);
        const std::uint32_t first = findOrAddKey(firstOfTuning, tuning, position, [&](std::uint32_t j) {
            return hashes[j] == tuning && sameTuning(records[j], record);
        });
        if (first != position) duplicateFinding(report, records, i, first);
    }

    if (facts.recordsBeyondCapacity > 0)
        fileFinding(report, facts.recordsBeyondCapacity, "record",
                    " beyond " + std::to_string(ChannelTable::Capacity) + ": the editor does not load ");
    if (facts.trailingBytes > 0)
        fileFinding(report, facts.trailingBytes, "trailing byte",
                    " after the last whole record: the editor does not load ");

    out += fileName;
    out += ": ";
    if (report.problems == 0)
        out += "no";
    else
        appendNumber(out, static_cast<std::int64_t>(report.problems));
    out += report.problems == 1 ? " problem in " : " problems in ";
    appendNumber(out, static_cast<std::int64_t>(records.size()));
    out += records.size() == 1 ? " channel\n" : " channels\n";
    return report.problems;
}
