// kvx: check, export, import, diff, sort, order and dedupe channel lists from a terminal. Results go to standard
// output, messages to standard error. Exit status: 0 success (no problem, no difference), 1 problems
// found or lists differ, 2 bad usage, unreadable input or nothing written.
#include <cstdio>
#include <exception>

#include "kvx/command_line.h"

Subcommand addCheckCommand(CLI::App& app);
Subcommand addExportCommand(CLI::App& app);
Subcommand addImportCommand(CLI::App& app);
Subcommand addDiffCommand(CLI::App& app);
Subcommand addSortCommand(CLI::App& app);
Subcommand addOrderCommand(CLI::App& app);
Subcommand addDupesCommand(CLI::App& app);

namespace {

// One row per subcommand, in the order help lists them.
Subcommand (*const Subcommands[])(CLI::App&) = {addCheckCommand, addExportCommand, addImportCommand, addDiffCommand,
                                                addSortCommand,  addOrderCommand,  addDupesCommand};

int run(int argc, char** argv) {
    // Named here, so that help says "kvx" whatever path the program was started by.
    CLI::App app{
        "kvx: check, export, import, diff, sort and order kvx channel lists, find channels listed twice; lists for "
        "and from other receivers",
        "kvx"};
    app.set_version_flag("--version", "kvx " KVX_VERSION);
    app.require_subcommand(1);
    std::vector<Subcommand> commands;
    for (const auto add : Subcommands) commands.push_back(add(app));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? Success : Trouble;
    }
    for (const Subcommand& command : commands) {
        if (command.command->parsed()) return command.run();
    }
    return Trouble;
}

}  // namespace

// A list too large for memory, or any other failure of the standard library, ends the command with a
// message rather than an abort; nothing has been written then.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kvx: %s\n", failure.what());
        return Trouble;
    }
}
