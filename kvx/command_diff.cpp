// kvx diff: what changed from one list to another.
#include "kvx/command_line.h"
#include "kvx/diff.h"

namespace {

std::string OldFile;
std::string NewFile;
TextOptions Text;

int runDiff() {
    readInPlace();
    ChannelList before;
    ChannelList after;
    if (!readList(OldFile, before) || !readList(NewFile, after)) return Trouble;
    CategoryNames names;
    FieldContext context;
    if (!prepareContext(Text, context, names)) return Trouble;
    warnDropped(OldFile, before);
    warnDropped(NewFile, after);
    std::string report;
    const std::size_t differences = diffLists(before.records, after.records, context, report);
    if (!writeResults(report)) return Trouble;
    return differences == 0 ? Success : Found;
}

}  // namespace

Subcommand addDiffCommand(CLI::App& app) {
    CLI::App* command =
        app.add_subcommand("diff", "Show what changed from OLD to NEW, channels matched by TID and SID");
    command->add_option("OLD", OldFile, "Channel list before")->required();
    command->add_option("NEW", NewFile, "Channel list after")->required();
    addCategoriesOption(command, Text);
    addCodePageOption(command, Text);
    return {command, runDiff};
}
