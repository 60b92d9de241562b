// Imports arbitrary text as a channels.conf. Any text must be either refused with at least one
// problem or accepted; what is accepted must export and import again to exactly the same records,
// without a base list and over the list itself.
//
// The first byte chooses the context (bit 0: categories, bit 1: code page 1251, bit 2: only S19.2E);
// the rest is the channels.conf, or with bit 3 a recorder's answer to LSTC over SVDRP ("250-N line"
// each, bit 4: with channel IDs), read as kvx reads one from a running recorder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/vdr_format.h"
#include "formats/vdr_svdrp_reply.h"

namespace {

const CategoryNames Categories = {"News", "0123", "Sport", "Same", "Same", "Новости", ""};

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_vdr_import: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    FormatOptions options;
    options.context = {(data[0] & 1) != 0 ? &Categories : nullptr, (data[0] & 2) != 0 ? 1251 : 0};
    options.onlySource = (data[0] & 4) != 0;
    options.source.tenthsEast = 192;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string listed;
    if ((data[0] & 8) != 0) {
        std::vector<SvdrpChannelLine> lines;
        std::string why;
        if (!readSvdrpListing(text, (data[0] & 16) != 0, lines, why)) {
            check(lines.empty() && !why.empty(), "a refused answer without a reason, or with lines");
            return 0;
        }
        for (const SvdrpChannelLine& line : lines)
            check(line.line.find('\n') == std::string_view::npos && (line.number == 0) == (line.line[0] == ':'),
                  "a listing line that is not one line of its kind");
        channelsConfOfListing(lines, listed);
        text = listed;
    }

    RecordList records;
    FormatReport report;
    const bool accepted = importVdr(text, options, records, report);
    check(accepted == report.problems.empty(), "the result disagrees with the problems");
    if (!accepted) {
        check(records.empty(), "a refused import left records");
        for (const ImportProblem& problem : report.problems)
            check(problem.line >= 1 && problem.file.empty() && !problem.why.empty(),
                  "a problem without line or reason");
        return 0;
    }

    // Names the import added to the categories file are there when the list is written again.
    CategoryNames names = Categories;
    names.insert(names.end(), report.addedCategories.begin(), report.addedCategories.end());
    FormatOptions again = options;
    if (options.context.categories != nullptr) again.context.categories = &names;
    std::string exported;
    FormatReport exportReport;
    check(exportVdr(records, again, exported, exportReport), "an import does not export");
    RecordList back;
    FormatReport backReport;
    check(importVdr(exported, again, back, backReport), "an export does not import");
    check(back.size() == records.size(), "the number of records changed");
    check(back.empty() || std::memcmp(back.data(), records.data(), records.size() * sizeof(ChannelRecord)) == 0,
          "a record changed on the way through export and import");
    // And over the list it was written from, as --base gives it.
    again.base = records;
    RecordList merged;
    check(importVdr(exported, again, merged, backReport) && merged.size() == records.size(),
          "an export does not import over its own list");
    check(merged.empty() || std::memcmp(merged.data(), records.data(), records.size() * sizeof(ChannelRecord)) == 0,
          "a record changed on the way through export and import over its own list");
    return 0;
}
