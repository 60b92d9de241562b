// kvx check: one line per damaged or suspicious channel.
#include "kvx/check.h"
#include "kvx/command_line.h"

namespace {

std::string File;
TextOptions Text;

int runCheck() {
    readInPlace();
    ChannelList list;
    if (!readList(File, list)) return Trouble;
    CategoryNames names;
    FieldContext context;
    if (!prepareContext(Text, context, names)) return Trouble;
    std::string report;
    const std::size_t problems = checkList(File, list.records, list.facts, context.categories, report);
    if (!writeResults(report)) return Trouble;
    return problems == 0 ? Success : Found;
}

}  // namespace

Subcommand addCheckCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand("check", "Report damaged or suspicious channels, one line each");
    command->add_option("FILE", File, "Channel list")->required();
    addCategoriesOption(command, Text);
    return {command, runCheck};
}
