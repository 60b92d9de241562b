// kvx order: a channel list ordered like a reference (a kvx list, CSV, channels.conf or settings
// folder), so that a curated order, and with --copy its names and categories, survives a rescan.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "kvx/command_line.h"
#include "kvx/list_formats.h"
#include "kvx/order.h"
#include "kvx/receiver_options.h"
#include "lists/code_page.h"
#include "lists/report_text.h"

namespace {

std::string File;
std::string Like;
std::string Output;
std::string Unmatched = "append";
std::string NewCategory;
std::vector<std::string> Copy;
std::string Source;
bool AllServices = false;
bool Explain = false;
TextOptions Text;

const char* const TierNames[] = {"new", "tier 1", "tier 2", "tier 3", "tier 4"};
const char* const TierMeanings[] = {"", "SID, TID, frequency and polarity", "SID and TID",
                                    "SID, frequency and polarity", "name"};

void appendName(std::string& out, const ChannelRecord& record) {
    if (Text.codePage != 0)
        appendQuoted(out, codePageToUtf8(Text.codePage, fieldText(record.name)), true);
    else
        appendQuoted(out, fieldText(record.name), false);
}

bool wanted(const char* word) { return std::find(Copy.begin(), Copy.end(), word) != Copy.end(); }

// The category of new channels: a name from the categories file (added to it when missing), or a
// number when no file is given.
bool newCategoryByte(const FieldContext& context, FormatReport& additions, int& category) {
    if (NewCategory.empty()) return true;
    if (context.categories == nullptr) {
        int number = -1;
        const auto [after, error] =
            std::from_chars(NewCategory.data(), NewCategory.data() + NewCategory.size(), number);
        if (error != std::errc() || after != NewCategory.data() + NewCategory.size() || number < 0 || number > 255) {
            complain(NewCategory, "--unmatched-category takes a name with --categories, else a number 0 to 255");
            return false;
        }
        category = number;
        return true;
    }
    const std::size_t added = additions.addedCategories.size();
    category = categoryFromGroupName(NewCategory, context, additions);
    if (additions.addedCategories.size() > added) {
        additions.notes.back() =
            "\"" + NewCategory + "\" is added to the categories file as category " + std::to_string(category);
    }
    return true;
}

void sayCounts(const OrderResult& result, std::size_t referenceSize, std::span<const ChannelRecord> reference) {
    std::string out;
    for (int tier = 1; tier <= 4; ++tier) {
        out += "kvx: ";
        out += TierNames[tier];
        out += " (";
        out += TierMeanings[tier];
        out += "): ";
        appendNumber(out, result.perTier[tier]);
        out += '\n';
    }
    out += "kvx: new: ";
    appendNumber(out, result.newCount);
    out += Unmatched == "drop" ? ", left out\n" : ", after the others\n";
    out += "kvx: not found: ";
    appendNumber(out, static_cast<std::int64_t>(result.missing.size()));
    out += " of ";
    appendNumber(out, static_cast<std::int64_t>(referenceSize));
    out += '\n';
    for (const int r : result.missing) {
        out += "kvx: ";
        appendMessageText(out, Like);
        out += ": not found: ";
        appendNumber(out, r + std::int64_t{1});
        out += ' ';
        appendName(out, reference[r]);
        out += '\n';
    }
    std::fputs(out.c_str(), stderr);
}

std::string explanation(const OrderResult& result, std::span<const ChannelRecord> records) {
    std::string out;
    for (std::size_t i = 0; i < records.size(); ++i) {
        appendNumber(out, static_cast<std::int64_t>(i + 1));
        out += ' ';
        appendName(out, records[i]);
        out += ' ';
        out += TierNames[static_cast<std::size_t>(result.placedBy[i])];
        out += '\n';
    }
    return out;
}

int runOrder() {
    ChannelList list;
    if (!readList(File, list)) return Trouble;
    warnDropped(File, list);
    FormatOptions options;
    if (!takeSourceOption(Source, options)) return Trouble;
    CategoryNames names;
    if (!prepareContext(Text, options.context, names)) return Trouble;

    ListFormat format = ListFormat::Detect;
    std::string why;
    if (!detectListFormat(Like, format, why)) {
        complain(Like, why);
        return Trouble;
    }
    if (!Source.empty() && (format == ListFormat::Kvx || format == ListFormat::Csv))
        complain(Like, "a kvx list or CSV names no satellite: --source leaves all its channels");
    if (AllServices && format != ListFormat::Enigma2) complain(Like, "--all-services is not used: no settings folder");
    options.allServices = AllServices;
    // A kvx reference is used where it lies in the file read; the other formats are converted.
    ChannelList referenceList;
    RecordList converted;
    FormatReport report;
    const bool read = format == ListFormat::Kvx ? readChannelList(Like.c_str(), referenceList, why)
                                                : readListIn(Like, format, options, converted, report, why);
    const std::span<const ChannelRecord> reference =
        format == ListFormat::Kvx ? referenceList.records : std::span<const ChannelRecord>(converted);
    sayReport(Like, report);
    if (!why.empty()) {
        complain(Like, why);
        return Trouble;
    }
    if (!read) {
        complain(Like, std::to_string(report.problems.size()) + " problems; nothing was written");
        return Trouble;
    }
    if (reference.empty()) {
        complain(Like, "no channel to order by; nothing was written");
        return Trouble;
    }

    OrderCopy copy;
    copy.names = wanted("names");
    copy.categories = wanted("categories");
    copy.codePage = Text.codePage;
    // Categories the reference names beyond the file matter only when they are copied.
    FormatReport additions;
    if (copy.categories) additions.addedCategories = report.addedCategories;
    if (Unmatched == "drop" && !NewCategory.empty()) {
        complain(NewCategory, "--unmatched-category is not used: --unmatched drop leaves the new channels out");
    } else if (!newCategoryByte(options.context, additions, copy.newCategory)) {
        return Trouble;
    }
    for (const std::string& note : additions.notes) complain(Text.categories.empty() ? File : Text.categories, note);

    const OrderResult result = orderLike(reference, list.records, Text.codePage, Unmatched == "drop");
    std::vector<std::string> notes;
    RecordList records;
    reserveOutput(records, result.order.size());
    arrangeLike(list.records, result, reference, copy, records, notes);
    for (const std::string& note : notes) complain(File, note);
    sayCounts(result, reference.size(), reference);
    // A reference that found none of the list's channels is the wrong reference, whatever --unmatched
    // says: the list would come back empty, or in its old order with every channel counted as new.
    if (static_cast<std::size_t>(result.newCount) == list.records.size() && !list.records.empty()) {
        complain(Like, "no channel of " + File + " is in it; nothing was written");
        return Trouble;
    }

    // The categories file first: a list that names categories the file lacks would show them wrong.
    // So the list's own target is checked before either is written.
    const std::string& target = Output.empty() ? File : Output;
    if (!checkOutput(target, FileRole::List)) return Trouble;
    if (!additions.addedCategories.empty() &&
        !appendCategoryNames(Text.categories, additions.addedCategories, Text.codePage, why)) {
        complain(Text.categories, why);
        return Trouble;
    }
    if (!saveChannelList(target.c_str(), records, why)) {
        complain(target, why);
        return Trouble;
    }
    if (Explain && !writeResults(explanation(result, records))) {
        complain("standard output", "writing failed");
        return Trouble;
    }
    return Success;
}

}  // namespace

Subcommand addOrderCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand(
        "order",
        "Order a channel list like a reference list (a rescan keeps its curated order); replaces LIST "
        "unless -o is given");
    command->add_option("LIST", File, "Channel list to order")->required();
    command
        ->add_option("--like", Like,
                     "Reference: a kvx list, CSV in export's form, a VDR channels.conf or an Enigma2 settings folder, "
                     "or a receiver (ftp://USER@BOX/FOLDER, svdrp://VDR[:PORT])")
        ->required()
        ->transform(receiverName());
    addPasswordOption(command);
    command->add_option("-o,--output", Output, "Channel list to write (default: LIST itself)");
    command->add_option("--unmatched", Unmatched, "Channels the reference lacks: append (after the others) or drop")
        ->check(CLI::IsMember({"append", "drop"}));
    command->add_option("--unmatched-category", NewCategory,
                        "Category of the channels the reference lacks (added to the categories file if missing)");
    command->add_option("--copy", Copy, "names,categories: the reference's name or category on each matched channel")
        ->delimiter(',')
        ->check(CLI::IsMember({"names", "categories"}));
    command->add_option("--source", Source, "vdr and enigma2 references: only channels of this satellite, as S19.2E");
    addAllServicesOption(command, AllServices);
    command->add_flag("--explain", Explain, "One line per channel of the result: position, name, how it was placed");
    addCategoriesOption(command, Text);
    addCodePageOption(command, Text);
    return {command, runOrder};
}
