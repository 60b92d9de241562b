#include "kvx/command_line.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "channel/channel_file.h"
#include "lists/code_page.h"
#include "lists/report_text.h"

void complain(std::string_view file, std::string_view why) {
    std::string line = "kvx: ";
    appendMessageText(line, file);
    line += ": ";
    appendMessageText(line, why);
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

// Results go out unchanged: on Windows standard output would otherwise turn every line feed of a
// CSV into a carriage return and a line feed.
bool writeResults(std::string_view text) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

namespace {

// "-" is standard output, as for cat and sort, for text; a binary list is refused there by mayWrite.
bool toStandardOutput(const std::string& output, FileRole role) {
    return output.empty() || (output == "-" && (role == FileRole::Csv || role == FileRole::Vdr));
}

}  // namespace

int deliver(const std::string& output, FileRole role, std::string_view text) {
    if (toStandardOutput(output, role)) {
        if (writeResults(text)) return Success;
        complain("standard output", "writing failed");
        return Trouble;
    }
    std::string why;
    if (saveWholeFile(output.c_str(), role, text, why)) return Success;
    complain(output, why);
    return Trouble;
}

namespace {

std::string Delivering;  // where the pieces go: standard output when empty
bool DeliveryFailed = false;

}  // namespace

bool startDelivery(const std::string& output, FileRole role) {
    Delivering = toStandardOutput(output, role) ? std::string() : output;
    DeliveryFailed = false;
    if (Delivering.empty()) return true;
    if (!checkOutput(output, role)) {
        DeliveryFailed = true;
        return false;
    }
    const ChannelFile::FileResult result = ChannelFile::beginSave(output.c_str(), 0);
    if (!result.ok) {
        complain(output, result.reason);
        DeliveryFailed = true;
    }
    return result.ok;
}

bool deliverPiece(std::string_view piece) {
    if (DeliveryFailed) return false;
    if (Delivering.empty()) {
        DeliveryFailed = !writeResults(piece);
        if (DeliveryFailed) complain("standard output", "writing failed");
        return !DeliveryFailed;
    }
    const ChannelFile::FileResult result = ChannelFile::savePiece(piece.data(), piece.size());
    if (!result.ok) {
        complain(Delivering, result.reason);
        DeliveryFailed = true;
    }
    return result.ok;
}

int finishDelivery() {
    if (DeliveryFailed) return Trouble;
    if (Delivering.empty()) return Success;
    const ChannelFile::FileResult result = ChannelFile::finishSave();
    if (result.ok) return Success;
    complain(Delivering, result.reason);
    return Trouble;
}

bool readList(const std::string& path, ChannelList& list) {
    std::string why;
    if (readChannelList(path.c_str(), list, why)) return true;
    complain(path, why);
    return false;
}

// Commands other than check say what they leave out.
void warnDropped(const std::string& path, const ChannelList& list) {
    if (list.facts.trailingBytes > 0) {
        complain(path, std::to_string(list.facts.trailingBytes) +
                           " trailing bytes after the last whole record are left out, as the editor leaves them out");
    }
}

bool checkOutput(const std::string& path, FileRole role) {
    std::string why;
    if (mayWrite(path, role, why)) return true;
    complain(path, why);
    return false;
}

bool takeSourceOption(const std::string& text, FormatOptions& options) {
    if (text.empty()) return true;
    if (!parseSatelliteSource(text, options.source)) {
        complain(text, "--source takes the satellite in the form S19.2E or S0.8W");
        return false;
    }
    options.onlySource = true;
    return true;
}

void addAllServicesOption(CLI::App* command, bool& allServices) {
    command->add_flag("--all-services", allServices,
                      "enigma2: also the services of lamedb no bouquet lists, after the bouquets' channels (a "
                      "folder without bouquets gives them anyway)");
}

void addCategoriesOption(CLI::App* command, TextOptions& options) {
    command->add_option("--categories", options.categories,
                        "Category file (one name a line, as the editor's Category.txt): categories by name");
}

void addCodePageOption(CLI::App* command, TextOptions& options) {
    command
        ->add_option("--codepage", options.codePage,
                     "8-bit code page of names and providers (for example 1251): texts outside are UTF-8")
        ->check(CLI::Range(1, 65535));
}

bool prepareContext(const TextOptions& options, FieldContext& context, CategoryNames& names) {
    if (options.codePage != 0 && !codePageAvailable(options.codePage)) {
        std::fprintf(stderr, "kvx: code page %d is not available on this system\n", options.codePage);
        return false;
    }
    context.codePage = options.codePage;
    if (options.categories.empty()) return true;
    std::string why;
    if (!readCategoryNames(options.categories.c_str(), options.codePage, names, why)) {
        complain(options.categories, why);
        return false;
    }
    context.categories = &names;
    return true;
}
