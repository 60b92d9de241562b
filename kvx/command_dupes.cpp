// kvx dupes: channels a list holds twice (the same service), and names on several transponders;
// --remove keeps the first of each same-service group.
#include <cstdio>

#include "kvx/command_line.h"
#include "kvx/dupes.h"
#include "lists/code_page.h"
#include "lists/report_text.h"

namespace {

std::string File;
std::string Output;
bool Remove = false;
TextOptions Text;

void appendName(std::string& out, const ChannelRecord& record) {
    if (Text.codePage != 0)
        appendQuoted(out, codePageToUtf8(Text.codePage, fieldText(record.name)), true);
    else
        appendQuoted(out, fieldText(record.name), false);
}

// `same service: 3 "One", 17 "One HD"`; same-name lines say where each channel is.
void appendGroups(std::string& out, const char* what, const ChannelGroups& groups,
                  std::span<const ChannelRecord> records, bool transponders) {
    for (std::size_t g = 0; g < groups.count(); ++g) {
        out += what;
        const char* separator = ": ";
        for (const int position : groups[g]) {
            out += separator;
            separator = ", ";
            appendNumber(out, position + std::int64_t{1});
            out += ' ';
            appendName(out, records[position]);
            if (!transponders) continue;
            out += " (";
            appendNumber(out, records[position].frequency.get());
            out += ' ';
            appendPolarityText(out, records[position].polarity.get());
            out += ')';
        }
        out += '\n';
    }
}

int runDupes() {
    if (Text.codePage != 0 && !codePageAvailable(Text.codePage)) {
        std::fprintf(stderr, "kvx: code page %d is not available on this system\n", Text.codePage);
        return Trouble;
    }
    if (!Remove) readInPlace();
    ChannelList list;
    if (!readList(File, list)) return Trouble;
    warnDropped(File, list);
    const ChannelGroups services = sameServiceGroups(list.records);
    const ChannelGroups names = sameNameGroups(list.records, Text.codePage);
    std::string out;
    appendGroups(out, "same service", services, list.records, false);
    appendGroups(out, "same name", names, list.records, true);
    out += File + ": ";
    appendNumber(out, static_cast<std::int64_t>(services.count()));
    out += services.count() == 1 ? " group of one service, " : " groups of one service, ";
    appendNumber(out, static_cast<std::int64_t>(names.count()));
    out += names.count() == 1 ? " name on several transponders\n" : " names on several transponders\n";
    if (!Remove) {
        if (!writeResults(out)) {
            complain("standard output", "writing failed");
            return Trouble;
        }
        return services.count() > 0 ? Found : Success;
    }

    std::vector<int> removed;
    const std::vector<ChannelRecord> kept = withoutDuplicates(list.records, services, removed);
    out += "removed:";
    for (const int position : removed) {
        out += ' ';
        appendNumber(out, position + std::int64_t{1});
    }
    out += removed.empty() ? " none\n" : "\n";
    // Nothing to remove leaves LIST as it is; an output file is written all the same.
    if (!removed.empty() || !Output.empty()) {
        const std::string& target = Output.empty() ? File : Output;
        std::string why;
        if (!saveChannelList(target.c_str(), kept, why)) {
            complain(target, why);
            return Trouble;
        }
    }
    if (!writeResults(out)) {
        complain("standard output", "writing failed");
        return Trouble;
    }
    return Success;
}

}  // namespace

Subcommand addDupesCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand(
        "dupes",
        "Channels listed twice (one service) and names on several transponders; exit 1 when a service is "
        "listed twice");
    command->add_option("LIST", File, "Channel list")->required();
    CLI::Option* remove =
        command->add_flag("--remove", Remove, "Keep the first channel of each service; replaces LIST unless -o");
    command->add_option("-o,--output", Output, "With --remove: channel list to write (default: LIST itself)")
        ->needs(remove);
    addCodePageOption(command, Text);
    return {command, runDupes};
}
