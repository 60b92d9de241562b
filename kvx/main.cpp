// kvx: check, export, import, diff and sort channel lists from a terminal. Results go to standard
// output, messages to standard error. Exit status: 0 success (no problem, no difference), 1 problems
// found or lists differ, 2 bad usage, unreadable input or nothing written.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "kvx/check.h"
#include "kvx/code_page.h"
#include "kvx/csv_export.h"
#include "kvx/csv_import.h"
#include "kvx/diff.h"
#include "kvx/list_files.h"
#include "kvx/sort.h"

namespace {

constexpr int Success = 0;
constexpr int Found = 1;
constexpr int Trouble = 2;

struct Options {
    std::string file;
    std::string otherFile;
    std::string output;
    std::string categories;
    int codePage = 0;
    std::string sortBy;
    bool reverse = false;
};

Options Given;

void complain(const std::string& file, const std::string& why) {
    std::fprintf(stderr, "kvx: %s: %s\n", file.c_str(), why.c_str());
}

// Results go out unchanged: on Windows standard output would otherwise turn every line feed of a
// CSV into a carriage return and a line feed.
bool writeResults(const std::string& text) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// Standard output, or the file named by -o through the safe save.
int deliver(const std::string& text) {
    if (Given.output.empty()) {
        if (writeResults(text)) return Success;
        complain("standard output", "writing failed");
        return Trouble;
    }
    std::string why;
    if (saveWholeFile(Given.output.c_str(), text, why)) return Success;
    complain(Given.output, why);
    return Trouble;
}

bool readList(const std::string& path, ChannelList& list) {
    std::string why;
    if (readChannelList(path.c_str(), list, why)) return true;
    complain(path, why);
    return false;
}

// The editor takes at most 16384 whole records; commands other than check say what they leave out.
void warnDropped(const std::string& path, const ChannelList& list) {
    if (list.facts.recordsBeyondCapacity > 0) {
        complain(path, std::to_string(list.facts.recordsBeyondCapacity) +
                           " records beyond 16384 are left out, as the editor leaves them out");
    }
    if (list.facts.trailingBytes > 0) {
        complain(path, std::to_string(list.facts.trailingBytes) +
                           " trailing bytes after the last whole record are left out, as the editor leaves them out");
    }
}

// The categories file and the code page, checked once for every command that takes them.
bool prepareContext(FieldContext& context, CategoryNames& names) {
    if (Given.codePage != 0 && !codePageAvailable(Given.codePage)) {
        std::fprintf(stderr, "kvx: code page %d is not available on this system\n", Given.codePage);
        return false;
    }
    context.codePage = Given.codePage;
    if (Given.categories.empty()) return true;
    std::string why;
    if (!readCategoryNames(Given.categories.c_str(), Given.codePage, names, why)) {
        complain(Given.categories, why);
        return false;
    }
    context.categories = &names;
    return true;
}

int runCheck() {
    ChannelList list;
    if (!readList(Given.file, list)) return Trouble;
    CategoryNames names;
    FieldContext context;
    if (!prepareContext(context, names)) return Trouble;
    std::string report;
    const std::size_t problems = checkList(Given.file, list.records, list.facts, context.categories, report);
    if (!writeResults(report)) return Trouble;
    return problems == 0 ? Success : Found;
}

int runExport() {
    ChannelList list;
    if (!readList(Given.file, list)) return Trouble;
    CategoryNames names;
    FieldContext context;
    if (!prepareContext(context, names)) return Trouble;
    warnDropped(Given.file, list);
    std::string csv;
    exportCsv(list.records, context, csv);
    return deliver(csv);
}

int runImport() {
    std::string csv;
    std::string why;
    if (!readWholeFile(Given.file.c_str(), csv, why)) {
        complain(Given.file, why);
        return Trouble;
    }
    CategoryNames names;
    FieldContext context;
    if (!prepareContext(context, names)) return Trouble;
    std::vector<ChannelRecord> records;
    std::vector<ImportProblem> problems;
    if (!importCsv(csv, context, records, problems)) {
        for (const ImportProblem& problem : problems) {
            std::fprintf(stderr, "kvx: %s:%d: %s%s%s\n", Given.file.c_str(), problem.line, problem.column.c_str(),
                         problem.column.empty() ? "" : ": ", problem.why.c_str());
        }
        std::fprintf(stderr, "kvx: %s: %zu problems; nothing was written\n", Given.file.c_str(), problems.size());
        return Trouble;
    }
    if (!saveChannelList(Given.output.c_str(), records, why)) {
        complain(Given.output, why);
        return Trouble;
    }
    return Success;
}

int runDiff() {
    ChannelList before;
    ChannelList after;
    if (!readList(Given.file, before) || !readList(Given.otherFile, after)) return Trouble;
    CategoryNames names;
    FieldContext context;
    if (!prepareContext(context, names)) return Trouble;
    warnDropped(Given.file, before);
    warnDropped(Given.otherFile, after);
    std::string report;
    const std::size_t differences = diffLists(before.records, after.records, context, report);
    if (!writeResults(report)) return Trouble;
    return differences == 0 ? Success : Found;
}

int runSort() {
    ChannelList list;
    if (!readList(Given.file, list)) return Trouble;
    // Writing the sorted list would lose the records the editor cannot hold.
    if (list.facts.recordsBeyondCapacity > 0) {
        complain(Given.file, std::to_string(list.facts.recordsBeyondCapacity) +
                                 " records beyond 16384 would be lost; nothing was written");
        return Trouble;
    }
    warnDropped(Given.file, list);
    static const std::pair<const char*, SortKey> keys[] = {{"name", SortKey::Name},
                                                           {"provider", SortKey::Provider},
                                                           {"frequency", SortKey::Frequency},
                                                           {"sid", SortKey::Sid},
                                                           {"category", SortKey::Category}};
    SortKey key = SortKey::Name;
    for (const auto& [word, value] : keys) {
        if (Given.sortBy == word) key = value;
    }
    sortList(list.records, key, Given.reverse);
    const std::string& target = Given.output.empty() ? Given.file : Given.output;
    std::string why;
    if (!saveChannelList(target.c_str(), list.records, why)) {
        complain(target, why);
        return Trouble;
    }
    return Success;
}

void addCategoriesOption(CLI::App* command) {
    command->add_option("--categories", Given.categories,
                        "Category file (one name a line, as the editor's Category.txt): categories by name");
}

void addCodePageOption(CLI::App* command) {
    command
        ->add_option("--codepage", Given.codePage,
                     "8-bit code page of names and providers (for example 1251): text cells are UTF-8")
        ->check(CLI::Range(1, 65535));
}

int run(int argc, char** argv) {
    CLI::App app{"kvx: check, export, import, diff and sort kvx channel lists"};
    app.set_version_flag("--version", "kvx 1.0");
    app.require_subcommand(1);

    CLI::App* check = app.add_subcommand("check", "Report damaged or suspicious channels, one line each");
    check->add_option("FILE", Given.file, "Channel list")->required();
    addCategoriesOption(check);

    CLI::App* exporter = app.add_subcommand("export", "Write a channel list as CSV for spreadsheets");
    exporter->add_option("FILE", Given.file, "Channel list")->required();
    exporter->add_option("-o,--output", Given.output, "CSV file to write (default: standard output)");
    addCategoriesOption(exporter);
    addCodePageOption(exporter);

    CLI::App* importer = app.add_subcommand("import", "Build a channel list from CSV in export's form");
    importer->add_option("CSV", Given.file, "CSV file")->required();
    importer->add_option("-o,--output", Given.output, "Channel list to write")->required();
    addCategoriesOption(importer);
    addCodePageOption(importer);

    CLI::App* differ = app.add_subcommand("diff", "Show what changed from OLD to NEW, channels matched by TID and SID");
    differ->add_option("OLD", Given.file, "Channel list before")->required();
    differ->add_option("NEW", Given.otherFile, "Channel list after")->required();
    addCategoriesOption(differ);
    addCodePageOption(differ);

    CLI::App* sorter = app.add_subcommand("sort", "Sort a channel list (stable); replaces FILE unless -o is given");
    sorter->add_option("FILE", Given.file, "Channel list")->required();
    sorter->add_option("--by", Given.sortBy, "Sort key")
        ->required()
        ->check(CLI::IsMember({"name", "provider", "frequency", "sid", "category"}));
    sorter->add_flag("--reverse", Given.reverse, "Descending order");
    sorter->add_option("-o,--output", Given.output, "Channel list to write (default: FILE itself)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? Success : Trouble;
    }

    if (check->parsed()) return runCheck();
    if (exporter->parsed()) return runExport();
    if (importer->parsed()) return runImport();
    if (differ->parsed()) return runDiff();
    return runSort();
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
