// kvx export: a channel list as CSV for spreadsheets, a channels.conf, or a settings folder.
#include <algorithm>

#include "formats/csv_export.h"
#include "formats/enigma2_format.h"
#include "formats/vdr_format.h"
#include "kvx/command_line.h"
#include "kvx/list_formats.h"
#include "kvx/receiver_lists.h"
#include "kvx/receiver_options.h"

namespace {

std::string File;
std::string Output;
std::string Format = "csv";
std::string Source;
int NetworkId = 0;
TextOptions Text;
std::string Reload;
bool DryRun = false;

// A receiver named by -o takes the format it holds; --reload and --dry-run go where they mean something.
bool receiverOptionsFit(ListFormat format) {
    if (isReceiverName(Output) && receiverFormat(Output) != format) {
        complain(Output, "an ftp:// box takes --format enigma2, an svdrp:// recorder --format vdr");
        return false;
    }
    if (!Reload.empty() && format != ListFormat::Enigma2) {
        complain(File, "--reload goes with --format enigma2");
        return false;
    }
    if (DryRun && (format != ListFormat::Vdr || !isReceiverName(Output))) {
        complain(File, "--dry-run goes with --format vdr -o svdrp://...");
        return false;
    }
    return true;
}

// A CSV is written this many rows (about 256 KB) at a time, each piece while the disk still works
// on the one before, from room used again for every piece: a 17 MB text is never whole in memory,
// and the little fresh memory the room takes is a few dozen pages.
constexpr std::size_t CsvPieceRows = 256;

int deliverCsv(std::span<const ChannelRecord> records, const FieldContext& context) {
    if (!startDelivery(Output, FileRole::Csv)) return Trouble;
    std::string piece;
    reserveOutput(piece, csvExportSize(records.first(std::min(CsvPieceRows, records.size())), context));
    appendCsvHeader(piece);
    std::size_t first = 0;
    do {  // an empty list still gets its header
        const std::span<const ChannelRecord> rows =
            records.subspan(first, std::min(CsvPieceRows, records.size() - first));
        piece.reserve(csvExportSize(rows, context));
        appendCsvRows(rows, first + 1, context, piece);
        if (!deliverPiece(piece)) return Trouble;
        piece.clear();
        first += rows.size();
    } while (first < records.size());
    return finishDelivery();
}

int runExport() {
    ListFormat format = ListFormat::Csv;
    parseListFormat(Format, format);
    FormatOptions options;
    if (format != ListFormat::Csv) {
        if (Source.empty() || !parseSatelliteSource(Source, options.source)) {
            complain(File, "--format " + Format + " needs --source with the satellite, in the form S19.2E");
            return Trouble;
        }
        if (format == ListFormat::Enigma2 && (Output.empty() || Output == "-")) {
            complain(File, "--format enigma2 needs -o with the settings folder to write");
            return Trouble;
        }
        options.networkId = static_cast<std::uint16_t>(NetworkId);
    }
    if (!receiverOptionsFit(format)) return Trouble;
    ChannelList list;
    if (!readList(File, list)) return Trouble;
    CategoryNames names;
    if (!prepareContext(Text, options.context, names)) return Trouble;
    warnDropped(File, list);
    if (format == ListFormat::Csv) return deliverCsv(list.records, options.context);
    FormatReport report;
    std::string text;
    if (format == ListFormat::Vdr)
        reserveOutput(text, vdrExportSize(list.records));
    else
        reserveOutput(text, enigma2ExportSize(list.records));  // the folder's files, one after another
    std::vector<SettingsFile> files;
    const bool exported = format == ListFormat::Vdr ? exportVdr(list.records, options, text, report)
                                                    : exportEnigma2(list.records, options, text, files, report);
    sayReport(File, report);
    if (!exported) {
        complain(File, std::to_string(report.problems.size()) + " problems; nothing was written");
        return Trouble;
    }
    if (format == ListFormat::Vdr)
        return isReceiverName(Output) ? sendChannelsConf(Output, text, DryRun) : deliver(Output, FileRole::Vdr, text);
    if (isReceiverName(Output)) return sendSettings(Output, files, Reload);
    std::string why;
    if (saveSettingsFolder(Output, files, why)) return Reload.empty() ? Success : reloadBox(Reload, "");
    complain(Output, why);
    return Trouble;
}

}  // namespace

Subcommand addExportCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand(
        "export", "Write a channel list as CSV for spreadsheets, a VDR channels.conf, or Enigma2 settings");
    command->add_option("FILE", File, "Channel list")->required();
    command
        ->add_option("-o,--output", Output,
                     "File to write (default, or -: standard output); for enigma2 the settings folder, created or "
                     "its files replaced; or a receiver: ftp://USER@BOX/FOLDER (enigma2), svdrp://VDR[:PORT] (vdr)")
        ->transform(receiverName());
    command->add_option("--format", Format, "csv (the default), vdr or enigma2")
        ->check(CLI::IsMember({"csv", "vdr", "enigma2"}));
    command->add_option("--source", Source, "vdr and enigma2: the satellite of the list, as S19.2E or S0.8W");
    command->add_option("--nid", NetworkId, "vdr and enigma2: the original network ID of the list (default 0)")
        ->check(CLI::Range(0, 65535));
    command
        ->add_option("--reload", Reload,
                     "enigma2: then ask the box's web interface (http://[USER@]BOX[:PORT]) to read its lists again")
        ->transform(receiverName());
    command->add_flag("--dry-run", DryRun, "vdr to svdrp://: only say what would change");
    addPasswordOption(command);
    addCategoriesOption(command, Text);
    addCodePageOption(command, Text);
    return {command, runExport};
}
