// Imports arbitrary text as a CSV channel list. Any text must be either refused with at least one
// problem or accepted; what is accepted must export and import again to exactly the same records.
//
// The first byte chooses the context (bit 0: categories, bit 1: code page 1251); the rest is the CSV.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/csv_export.h"
#include "formats/csv_import.h"

namespace {

// UTF-8, as the caller hands them over; a number-like name, a formula, and a name two share.
const CategoryNames Categories = {"News", "0123", "=SUM(1)", "Same", "Same", "Новости", ""};

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_kvx_import: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const FieldContext context{(data[0] & 1) != 0 ? &Categories : nullptr, (data[0] & 2) != 0 ? 1251 : 0};
    const std::string_view csv(reinterpret_cast<const char*>(data + 1), size - 1);

    RecordList records;
    std::vector<ImportProblem> problems;
    const bool accepted = importCsv(csv, context, records, problems);
    check(accepted == problems.empty(), "the result disagrees with the problems");
    if (!accepted) {
        check(records.empty(), "a refused import left records");
        for (const ImportProblem& problem : problems)
            check(problem.line >= 1 && !problem.why.empty(), "a problem without line or reason");
        return 0;
    }

    std::string exported;
    exportCsv(records, context, exported);
    RecordList again;
    check(importCsv(exported, context, again, problems), "an export does not import");
    check(again.size() == records.size(), "the number of records changed");
    check(again.empty() || std::memcmp(again.data(), records.data(), records.size() * sizeof(ChannelRecord)) == 0,
          "a record changed on the way through export and import");
    return 0;
}
