// A list as a settings folder: each channel's Enigma2 values and texts, the channels that end up in
// one lamedb entry or on one transponder line, then the files.
#include <algorithm>
#include <memory>

#include "formats/enigma2_format.h"
#include "formats/enigma2_values.h"
#include "formats/enigma2_write.h"
#include "lists/channel_match.h"

namespace {

using enigma2::ChangedTexts;
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

// Notes said about many channels, by kind.
struct ChannelNotes {
    enigma2::RepeatedNote texts, transponders, entries;
};

// One channel's texts as the lines hold them, worked out in room kept from channel to channel.
struct TextScratch {
    std::string name, name5, provider;
};

// True when a line holds the text as the record does: UTF-8, with no line break and not the
// character that ends it on the line.
bool holdsAsIs(std::string_view text, char end) {
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == end) return false;
    }
    return isUtf8(text);
}

// The name and provider as the lines hold them, with a note for each change; kept in the plan only
// where they differ from the record's bytes. False when a text is not UTF-8 and no code page was
// given.
bool planTexts(SettingsPlan& plan, int position, TextScratch& scratch, FormatReport& report,
               Enigma2ExportSummary& summary, ChannelNotes& notes) {
    const ChannelRecord& record = plan.records[position];
    // Most texts go out as they are: no copy, no note.
    if (plan.context->codePage == 0 && holdsAsIs(fieldText(record.name), '"') &&
        holdsAsIs(fieldText(record.provider), ','))
        return true;
    bool good = true;
    if (!recordTextUtf8(record.name, *plan.context, scratch.name)) {
        report.problems.push_back({.field = channelLabel(record, position) + ": name",
                                   .why = "not UTF-8: give --codepage with the list's code page"});
        good = false;
    } else {
        if (enigma2::replaceLineBreaks(scratch.name)) {
            ++summary.changedTexts;
            if (enigma2::sayInFull(notes.texts))
                report.notes.push_back(channelLabel(record, position) +
                                       ": line breaks in the name are written as spaces");
        }
        scratch.name5 = scratch.name;
        if (enigma2::replaceQuotes(scratch.name5) && enigma2::sayInFull(notes.texts)) {
            report.notes.push_back(channelLabel(record, position) +
                                   ": lamedb5 names cannot hold '\"': written there with ' instead");
        }
    }
    if (!recordTextUtf8(record.provider, *plan.context, scratch.provider)) {
        report.problems.push_back({.field = channelLabel(record, position) + ": provider",
                                   .why = "not UTF-8: give --codepage with the list's code page"});
        return false;
    }
    const bool breaks = enigma2::replaceLineBreaks(scratch.provider);
    if (enigma2::replaceProviderCommas(scratch.provider) || breaks) {
        ++summary.changedTexts;
        if (enigma2::sayInFull(notes.texts))
            report.notes.push_back(channelLabel(record, position) + ": provider written as \"" + scratch.provider +
                                   "\" (Enigma2 provider names cannot hold ',' or line breaks)");
    }
    if (!good) return false;
    const std::string_view name = fieldText(record.name);
    if (scratch.name == name && scratch.name5 == name && scratch.provider == fieldText(record.provider)) return true;
    ChangedTexts& changed = plan.changed.emplace_back();
    changed.position = position;
    changed.name = keep(plan, scratch.name);
    changed.nameLength = static_cast<std::uint32_t>(scratch.name.size());
    changed.name5 = keep(plan, scratch.name5);
    changed.name5Length = static_cast<std::uint32_t>(scratch.name5.size());
    changed.provider = keep(plan, scratch.provider);
    changed.providerLength = static_cast<std::uint32_t>(scratch.provider.size());
    return true;
}

// Positions sorted by key (namespace, TSID, SID), so that the channels of one key, and those of one
// transponder, are one run; list order within one key.
std::vector<int> keyOrder(const SettingsPlan& plan) {
    std::vector<int> order;
    order.reserve(plan.keys.size());
    for (int i = 0; i < static_cast<int>(plan.keys.size()); ++i) order.push_back(i);
    std::sort(order.begin(), order.end(),
              [&plan](int a, int b) { return plan.keys[a] != plan.keys[b] ? plan.keys[a] < plan.keys[b] : a < b; });
    return order;
}

bool sameTuning(const ChannelRecord& a, const ChannelRecord& b) {
    return frequencyKhz(a) == frequencyKhz(b) && enigma2::symbolRateOf(a) == enigma2::symbolRateOf(b) &&
           enigma2::polarisationOf(a) == enigma2::polarisationOf(b);
}

// Enigma2 keeps one transponder per namespace, TSID and ONID: the first channel of each in the list
// owns it. Noted in list order within each transponder.
void planTransponders(SettingsPlan& plan, const std::vector<int>& order, FormatReport& report,
                      Enigma2ExportSummary& summary, ChannelNotes& notes) {
    std::vector<int> group;
    for (std::size_t begin = 0; begin < order.size();) {
        const std::uint64_t transponder = plan.keys[order[begin]] >> 16;
        std::size_t end = begin + 1;
        while (end < order.size() && plan.keys[order[end]] >> 16 == transponder) ++end;
        group.assign(order.begin() + static_cast<std::ptrdiff_t>(begin),
                     order.begin() + static_cast<std::ptrdiff_t>(end));
        std::sort(group.begin(), group.end());
        const int owner = group.front();
        for (const int position : group) {
            plan.kinds[position].ownsTransponder = position == owner;
            if (sameTuning(plan.records[position], plan.records[owner])) continue;
            ++summary.sharedTransponders;
            if (enigma2::sayInFull(notes.transponders))
                report.notes.push_back(channelLabel(plan.records[position], position) +
                                       ": its TSID and namespace are those of the transponder of channel " +
                                       std::to_string(owner + 1) +
                                       ", which Enigma2 keeps once: written with that channel's tuning");
        }
        begin = end;
    }
}

// And one service per those and the SID.
void planEntries(SettingsPlan& plan, const std::vector<int>& order, FormatReport& report, Enigma2ExportSummary& summary,
                 ChannelNotes& notes) {
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int position = order[i];
        const bool first = i == 0 || plan.keys[order[i - 1]] != plan.keys[position];
        const int owner = first ? position : plan.entries[order[i - 1]];
        plan.entries[position] = owner;
        if (!first) {
            ++summary.sharedEntries;
            if (enigma2::sayInFull(notes.entries))
                report.notes.push_back(channelLabel(plan.records[position], position) +
                                       " shares SID, TID and transponder with channel " + std::to_string(owner + 1) +
                                       ": one lamedb entry, so import gives it that channel's fields");
        }
    }
}

constexpr std::string_view FileNames[] = {"lamedb",         "lamedb5",          "bouquets.tv",
                                          "bouquets.radio", enigma2::TvBouquet, enigma2::RadioBouquet};

}  // namespace

namespace enigma2 {

ChannelTexts channelTexts(const SettingsPlan& plan, int position) {
    const auto found = std::lower_bound(plan.changed.begin(), plan.changed.end(), position,
                                        [](const ChangedTexts& changed, int at) { return changed.position < at; });
    if (found == plan.changed.end() || found->position != position) {
        const ChannelRecord& record = plan.records[position];
        const std::string_view name = fieldText(record.name);
        return {name, name, fieldText(record.provider)};
    }
    const std::string_view texts(plan.texts);
    return {texts.substr(found->name, found->nameLength), texts.substr(found->name5, found->name5Length),
            texts.substr(found->provider, found->providerLength)};
}

}  // namespace enigma2

std::size_t enigma2ExportSize(std::span<const ChannelRecord> records) {
    // Per channel, both lamedb versions' transponder and service lines with their numbers (about 320
    // bytes), a bouquet reference and marker (about 100), and the name and provider as written.
    return 1024 + records.size() * (420 + 4 * TextFieldSize);
}

bool exportEnigma2(std::span<const ChannelRecord> records, const FormatOptions& options, std::string& bytes,
                   std::vector<SettingsFile>& files, FormatReport& report, Enigma2ExportSummary* summary) {
    Enigma2ExportSummary counts;
    SettingsPlan plan;
    plan.records = records;
    plan.tenthsEast = options.source.tenthsEast;
    plan.networkId = options.networkId;
    plan.context = &options.context;
    plan.keys.reserve(records.size());
    plan.kinds.reserve(records.size());
    TextScratch scratch;
    ChannelNotes notes;
    bool good = true;
    int radioSoFar = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        const std::uint32_t dvbNamespace = enigma2::dvbNamespace(
            plan.tenthsEast, frequencyKhz(record), enigma2::polarisationOf(record), plan.networkId, record.tid.get());
        plan.keys.push_back(std::uint64_t{dvbNamespace} << 32 | std::uint64_t{record.tid.get()} << 16 |
                            record.sid.get());
        plan.kinds.push_back({.serviceType = static_cast<std::uint8_t>(enigma2::serviceTypeOf(record)),
                              .category = record.category,
                              .ownsTransponder = false});
        good = planTexts(plan, static_cast<int>(i), scratch, report, counts, notes) && good;
        if (enigma2::isRadioRecord(record))
            ++radioSoFar;
        else
            counts.radioMoved = radioSoFar;  // every radio channel before this one moves
    }
    enigma2::sayHowManyMore(notes.texts, "channels whose name or provider is written changed", report.notes);
    if (!good) return false;
    plan.entries = std::make_unique_for_overwrite<int[]>(records.size());
    const std::vector<int> order = keyOrder(plan);
    planTransponders(plan, order, report, counts, notes);
    planEntries(plan, order, report, counts, notes);
    enigma2::sayHowManyMore(notes.transponders, "channels written with another channel's tuning", report.notes);
    enigma2::sayHowManyMore(notes.entries, "channels that share another channel's lamedb entry", report.notes);
    if (counts.radioMoved > 0) {
        report.notes.push_back("the list mixes TV and radio: Enigma2 keeps them in two bouquets, so " +
                               std::to_string(counts.radioMoved) +
                               " radio channels come back after the TV and data channels");
    }
    // The files one after another in bytes, which the caller reserved; their views are taken once
    // all are written, as bytes may have grown.
    bytes.clear();
    std::size_t ends[std::size(FileNames)];
    enigma2::writeLamedb(plan, 4, bytes);
    ends[0] = bytes.size();
    enigma2::writeLamedb(plan, 5, bytes);
    ends[1] = bytes.size();
    enigma2::writeBouquetList(false, bytes);
    ends[2] = bytes.size();
    enigma2::writeBouquetList(true, bytes);
    ends[3] = bytes.size();
    enigma2::writeUserBouquet(plan, false, bytes);
    ends[4] = bytes.size();
    enigma2::writeUserBouquet(plan, true, bytes);
    ends[5] = bytes.size();
    files.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < std::size(FileNames); ++i) {
        files.push_back({FileNames[i], std::string_view(bytes).substr(start, ends[i] - start)});
        start = ends[i];
    }
    if (summary != nullptr) *summary = counts;
    return true;
}

bool exportEnigma2(std::span<const ChannelRecord> records, const FormatOptions& options, std::vector<NamedFile>& files,
                   FormatReport& report, Enigma2ExportSummary* summary) {
    std::string bytes;
    bytes.reserve(enigma2ExportSize(records));
    std::vector<SettingsFile> written;
    files.clear();
    if (!exportEnigma2(records, options, bytes, written, report, summary)) return false;
    for (const SettingsFile& file : written) files.push_back({std::string(file.name), std::string(file.bytes)});
    return true;
}
