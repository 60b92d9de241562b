// kvx import: a channel list from CSV in export's form, a channels.conf, or a settings folder.
#include "kvx/command_line.h"
#include "kvx/list_formats.h"
#include "kvx/receiver_options.h"

namespace {

std::string File;
std::string Output;
std::string Format;
std::string Base;
std::string Source;
bool AllServices = false;
TextOptions Text;

int runImport() {
    ListFormat format = ListFormat::Detect;
    if (!Format.empty()) parseListFormat(Format, format);
    std::string why;
    if (format == ListFormat::Detect && !detectListFormat(File, format, why)) {
        complain(File, why);
        return Trouble;
    }
    if (format == ListFormat::Kvx) {
        complain(File, "This is a kvx list already: import reads CSV, a channels.conf or Enigma2 settings.");
        return Trouble;
    }
    FormatOptions options;
    if (!takeSourceOption(Source, options)) return Trouble;
    if (AllServices && format != ListFormat::Enigma2) complain(File, "--all-services is not used: no settings folder");
    options.allServices = AllServices;
    CategoryNames names;
    if (!prepareContext(Text, options.context, names)) return Trouble;
    ChannelList base;
    if (!Base.empty()) {
        if (!readList(Base, base)) return Trouble;
        if (format == ListFormat::Csv) {
            complain(Base, "not used: each CSV row carries its own record");
        } else {
            warnDropped(Base, base);
            options.base = base.records;
        }
    }
    RecordList records;
    FormatReport report;
    const bool read = readListIn(File, format, options, records, report, why);
    sayReport(File, report);
    if (!why.empty()) {
        complain(File, why);
        return Trouble;
    }
    if (!read) {
        complain(File, std::to_string(report.problems.size()) + " problems; nothing was written");
        return Trouble;
    }
    if (records.size() > 16384) {
        complain(File,
                 std::to_string(records.size()) + " channels: the editor holds at most 16384; nothing was written");
        return Trouble;
    }
    // The categories file first: a list that names categories the file lacks would show them wrong.
    // So the list's own target is checked before either is written.
    if (!checkOutput(Output, FileRole::List)) return Trouble;
    if (!report.addedCategories.empty() &&
        !appendCategoryNames(Text.categories, report.addedCategories, Text.codePage, why)) {
        complain(Text.categories, why);
        return Trouble;
    }
    if (!saveChannelList(Output.c_str(), records, why)) {
        complain(Output, why);
        return Trouble;
    }
    return Success;
}

}  // namespace

Subcommand addImportCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand(
        "import", "Build a channel list from CSV in export's form, a VDR channels.conf, or Enigma2 settings");
    command
        ->add_option("IN", File,
                     "CSV file, channels.conf, or settings folder (or its lamedb); or a receiver: "
                     "ftp://USER@BOX/FOLDER (Enigma2 settings) or svdrp://VDR[:PORT] (a running VDR)")
        ->required()
        ->transform(receiverName());
    addPasswordOption(command);
    command->add_option("-o,--output", Output, "Channel list to write")->required();
    command->add_option("--format", Format, "csv, vdr or enigma2 (default: recognised from the content)")
        ->check(CLI::IsMember({"csv", "vdr", "enigma2"}));
    command->add_option("--base", Base,
                        "vdr and enigma2: a kvx list whose records matched channels start from, so that "
                        "what the format does not carry is kept");
    command->add_option("--source", Source, "vdr and enigma2: only channels of this satellite, as S19.2E");
    addAllServicesOption(command, AllServices);
    addCategoriesOption(command, Text);
    addCodePageOption(command, Text);
    return {command, runImport};
}
