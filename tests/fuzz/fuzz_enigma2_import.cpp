// Imports arbitrary bytes as a settings folder. Any input must be either refused with at least one
// problem or accepted; what is accepted must export, and import again to the same number of
// channels; where export merged, moved or changed nothing, to exactly the same records.
//
// The first byte chooses the options (bit 0: the database is lamedb5, bit 1: only 19.2E, bit 2:
// categories, bit 3: code page 1251, bit 4: the services no bouquet lists too); the rest is the database, bouquets.tv
// and userbouquet.a.tv, apart at NUL bytes (names cannot hold one).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/enigma2_format.h"

namespace {

const CategoryNames Categories = {"News", "0123", "Same", "Same", "Новости", ""};

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_enigma2_import: %s\n", what);
    std::abort();
}

std::vector<NamedFile> splitFiles(std::string_view bytes, bool version5) {
    const char* const names[] = {version5 ? "lamedb5" : "lamedb", "bouquets.tv", "userbouquet.a.tv"};
    std::vector<NamedFile> files;
    for (const char* name : names) {
        const std::size_t end = bytes.find('\0');
        files.push_back({name, std::string(bytes.substr(0, end))});
        if (end == std::string_view::npos) break;
        bytes.remove_prefix(end + 1);
    }
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    FormatOptions options;
    options.onlySource = (data[0] & 2) != 0;
    options.source.tenthsEast = 192;
    options.context = {(data[0] & 4) != 0 ? &Categories : nullptr, (data[0] & 8) != 0 ? 1251 : 0};
    options.allServices = (data[0] & 16) != 0;
    const std::vector<NamedFile> files =
        splitFiles(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), (data[0] & 1) != 0);

    RecordList records;
    FormatReport report;
    const bool accepted = importEnigma2(files, options, records, report);
    check(accepted == report.problems.empty(), "the result disagrees with the problems");
    if (!accepted) {
        for (const ImportProblem& problem : report.problems) {
            check(!problem.why.empty(), "a problem without a reason");
            // A problem of a line is said with the file of the folder that holds it, and the field.
            bool named = false;
            for (const NamedFile& file : files) named = named || file.name == problem.file;
            check(problem.line == 0 || (named && !problem.field.empty()), "a line's problem without its file or field");
        }
        return 0;
    }
    // Categories the import would add to the file are in the file for the next round.
    CategoryNames categories = Categories;
    categories.insert(categories.end(), report.addedCategories.begin(), report.addedCategories.end());
    if (options.context.categories != nullptr) options.context.categories = &categories;

    std::vector<NamedFile> exported;
    FormatReport exportReport;
    Enigma2ExportSummary summary;
    check(exportEnigma2(records, options, exported, exportReport, &summary), "an import does not export");
    RecordList again;
    FormatReport againReport;
    check(importEnigma2(exported, options, again, againReport), "an export does not import");
    check(again.size() == records.size(), "the number of channels changed");
    check(againReport.addedCategories.empty(), "an export names a category the file lacks");
    if (summary.sharedEntries + summary.sharedTransponders + summary.radioMoved + summary.changedTexts == 0) {
        check(again.empty() || std::memcmp(again.data(), records.data(), records.size() * sizeof(ChannelRecord)) == 0,
              "a record changed on the way through export and import");
    }
    return 0;
}
