// A list as a settings folder: each channel's Enigma2 values and texts, the channels that end up in
// one lamedb entry or on one transponder line, then the files.
#include <algorithm>
#include <tuple>

#include "formats/enigma2_format.h"
#include "formats/enigma2_values.h"
#include "formats/enigma2_write.h"
#include "kvx/channel_match.h"

namespace {

using enigma2::PlannedChannel;
using enigma2::SettingsPlan;

std::string channelLabel(const ChannelRecord& record, int position) {
    return "channel " + std::to_string(position + 1) + " \"" + std::string(fieldText(record.name)) + "\"";
}

// Appends text to the plan's texts, returning where it starts.
std::uint32_t keep(SettingsPlan& plan, std::string_view text) {
    const auto at = static_cast<std::uint32_t>(plan.texts.size());
    plan.texts += text;
    return at;
}

// The name and provider as the lines hold them, with a note for each change. False when a text is
// not UTF-8 and no code page was given.
// Notes said about many channels, by kind.
struct ChannelNotes {
    enigma2::RepeatedNote texts, transponders, entries;
};

bool planTexts(SettingsPlan& plan, int position, std::string& scratch, FormatReport& report,
               Enigma2ExportSummary& summary, ChannelNotes& notes) {
    const ChannelRecord& record = plan.records[position];
    PlannedChannel& channel = plan.channels[position];
    bool good = true;
    if (!recordTextUtf8(record.name, *plan.context, scratch)) {
        report.problems.push_back(
            {0, channelLabel(record, position) + ": name", "not UTF-8: give --codepage with the list's code page"});
        good = false;
    } else {
        if (enigma2::replaceLineBreaks(scratch)) {
            ++summary.changedTexts;
            if (enigma2::sayInFull(notes.texts))
                report.notes.push_back(channelLabel(record, position) +
                                       ": line breaks in the name are written as spaces");
        }
        channel.name = keep(plan, scratch);
        channel.nameLength = static_cast<std::uint32_t>(scratch.size());
        if (enigma2::replaceQuotes(scratch) && enigma2::sayInFull(notes.texts)) {
            report.notes.push_back(channelLabel(record, position) +
                                   ": lamedb5 names cannot hold '\"': written there with ' instead");
        }
        channel.name5 = keep(plan, scratch);
        channel.name5Length = static_cast<std::uint32_t>(scratch.size());
    }
    if (!recordTextUtf8(record.provider, *plan.context, scratch)) {
        report.problems.push_back(
            {0, channelLabel(record, position) + ": provider", "not UTF-8: give --codepage with the list's code page"});
        return false;
    }
    const bool breaks = enigma2::replaceLineBreaks(scratch);
    if (enigma2::replaceProviderCommas(scratch) || breaks) {
        ++summary.changedTexts;
        if (enigma2::sayInFull(notes.texts))
            report.notes.push_back(channelLabel(record, position) + ": provider written as \"" + scratch +
                                   "\" (Enigma2 provider names cannot hold ',' or line breaks)");
    }
    channel.provider = keep(plan, scratch);
    channel.providerLength = static_cast<std::uint32_t>(scratch.size());
    return good;
}

// Positions sorted once by a key, so that the channels of one key are one run in list order.
struct KeyedPosition {
    std::uint32_t dvbNamespace;
    std::uint16_t tsid;
    std::uint16_t sid;
    int position;
    bool operator<(const KeyedPosition& other) const {
        return std::tie(dvbNamespace, tsid, sid, position) <
               std::tie(other.dvbNamespace, other.tsid, other.sid, other.position);
    }
};

std::vector<KeyedPosition> sortedKeys(const SettingsPlan& plan, bool withSid) {
    std::vector<KeyedPosition> keys(plan.channels.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = {plan.channels[i].dvbNamespace, plan.records[i].tid.get(),
                   static_cast<std::uint16_t>(withSid ? plan.records[i].sid.get() : 0), static_cast<int>(i)};
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

bool sameKey(const KeyedPosition& a, const KeyedPosition& b) {
    return a.dvbNamespace == b.dvbNamespace && a.tsid == b.tsid && a.sid == b.sid;
}

// Enigma2 keeps one transponder per namespace, TSID and ONID, and one service per those and the SID.
void planSharing(SettingsPlan& plan, FormatReport& report, Enigma2ExportSummary& summary, ChannelNotes& notes) {
    const std::vector<KeyedPosition> transponders = sortedKeys(plan, false);
    for (std::size_t i = 0; i < transponders.size(); ++i) {
        const bool first = i == 0 || !sameKey(transponders[i - 1], transponders[i]);
        const int position = transponders[i].position;
        const int owner = first ? position : plan.channels[transponders[i - 1].position].transponder;
        plan.channels[position].transponder = owner;
        const PlannedChannel& mine = plan.channels[position];
        const PlannedChannel& theirs = plan.channels[owner];
        if (mine.frequencyKhz != theirs.frequencyKhz || mine.symbolRate != theirs.symbolRate ||
            mine.polarisation != theirs.polarisation) {
            ++summary.sharedTransponders;
            if (enigma2::sayInFull(notes.transponders))
                report.notes.push_back(channelLabel(plan.records[position], position) +
                                       ": its TSID and namespace are those of the transponder of channel " +
                                       std::to_string(owner + 1) +
                                       ", which Enigma2 keeps once: written with that channel's tuning");
        }
    }
    const std::vector<KeyedPosition> services = sortedKeys(plan, true);
    for (std::size_t i = 0; i < services.size(); ++i) {
        const bool first = i == 0 || !sameKey(services[i - 1], services[i]);
        const int position = services[i].position;
        const int owner = first ? position : plan.channels[services[i - 1].position].entry;
        plan.channels[position].entry = owner;
        if (!first) {
            ++summary.sharedEntries;
            if (enigma2::sayInFull(notes.entries))
                report.notes.push_back(channelLabel(plan.records[position], position) +
                                       " shares SID, TID and transponder with channel " + std::to_string(owner + 1) +
                                       ": one lamedb entry, so import gives it that channel's fields");
        }
    }
}

// Radio channels that precede a TV or data channel come back after all of those.
void noteRadioOrder(const SettingsPlan& plan, FormatReport& report, Enigma2ExportSummary& summary) {
    int radioSoFar = 0;
    for (const ChannelRecord& record : plan.records) {
        if (enigma2::isRadioRecord(record))
            ++radioSoFar;
        else
            summary.radioMoved = radioSoFar;  // every radio channel before this one moves
    }
    if (summary.radioMoved > 0) {
        report.notes.push_back("the list mixes TV and radio: Enigma2 keeps them in two bouquets, so " +
                               std::to_string(summary.radioMoved) +
                               " radio channels come back after the TV and data channels");
    }
}

}  // namespace

bool exportEnigma2(std::span<const ChannelRecord> records, const FormatOptions& options, std::vector<NamedFile>& files,
                   FormatReport& report, Enigma2ExportSummary* summary) {
    Enigma2ExportSummary counts;
    SettingsPlan plan;
    plan.records = records;
    plan.tenthsEast = options.source.tenthsEast;
    plan.networkId = options.networkId;
    plan.context = &options.context;
    plan.channels.resize(records.size());
    plan.texts.reserve(records.size() * 72);
    std::string scratch;
    scratch.reserve(128);
    ChannelNotes notes;
    bool good = true;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        PlannedChannel& channel = plan.channels[i];
        channel.frequencyKhz = frequencyKhz(record);
        channel.symbolRate = static_cast<std::int64_t>(record.symbolRate.get()) * 1000;
        channel.polarisation = enigma2::polarisationOf(record);
        channel.dvbNamespace = enigma2::dvbNamespace(plan.tenthsEast, channel.frequencyKhz, channel.polarisation,
                                                     plan.networkId, record.tid.get());
        good = planTexts(plan, static_cast<int>(i), scratch, report, counts, notes) && good;
    }
    enigma2::sayHowManyMore(notes.texts, "channels whose name or provider is written changed", report.notes);
    if (!good) return false;
    planSharing(plan, report, counts, notes);
    enigma2::sayHowManyMore(notes.transponders, "channels written with another channel's tuning", report.notes);
    enigma2::sayHowManyMore(notes.entries, "channels that share another channel's lamedb entry", report.notes);
    noteRadioOrder(plan, report, counts);
    files.clear();
    files.push_back({"lamedb", {}});
    enigma2::writeLamedb(plan, 4, files.back().bytes);
    files.push_back({"lamedb5", {}});
    enigma2::writeLamedb(plan, 5, files.back().bytes);
    enigma2::writeBouquets(plan, files);
    if (summary != nullptr) *summary = counts;
    return true;
}
