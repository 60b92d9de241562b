#pragma once
// What the lists of other receivers share: the satellite a list is for, what export and import are
// told beyond the records, and what they say back. Each format lives in its own file and turns
// records into text and back with no I/O.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lists/large_pages.h"
#include "lists/record_fields.h"
#include "lists/utf8.h"

// An orbital position in tenths of a degree, east positive: 192 is 19.2E, -8 is 0.8W.
struct SatelliteSource {
    int tenthsEast = 0;
};

// Reads the form "S19.2E", "S13E", "S0.8W" (S, degrees with at most one decimal, E or W). False for
// anything else, and for positions past 180 degrees.
bool parseSatelliteSource(std::string_view text, SatelliteSource& source);

// What export and import are told beyond the records.
struct FormatOptions {
    FieldContext context;                 // categories file and code page, as for CSV
    SatelliteSource source;               // export: the satellite of every channel; import: see onlySource
    bool onlySource = false;              // import: only entries of source become records
    std::uint16_t networkId = 0;          // export: the original network ID written for every channel
    std::span<const ChannelRecord> base;  // import: the list whose records matched channels start from
    bool allServices = false;             // import of settings: services no bouquet lists become channels too
};

// Where a file read or a list written is wrong, said as "FILE:LINE: field: why".
struct ImportProblem {
    std::string file{};   // a file inside the folder read (a settings folder's "lamedb"); empty for the file read
    int line = 0;         // from 1; 0 for a problem of no one line (a whole file, or a channel export cannot write)
    std::string field{};  // the column or field, empty for a problem of a whole line or file
    std::string why{};
};

// The problem as a message, "FILE:LINE: field: why", without LINE or field where it has none. file
// names the file the problem is in: the file read, or problem.file inside the folder read.
std::string problemMessage(std::string_view file, const ImportProblem& problem);

// What a format says back. Notes go to standard error whether or not the work succeeded; problems
// mean nothing is written.
struct FormatReport {
    std::vector<std::string> notes;
    std::vector<ImportProblem> problems;  // line 0 when a problem has no line (export)
    CategoryNames addedCategories;        // import: names to add at the categories file's end, in order
};

// A file of a format that spans several (a settings folder): its name in the folder and its bytes.
struct NamedFile {
    std::string name;
    std::string bytes;
};

// The category byte for a group name read from another receiver's list. With a categories file, the
// name's position there; a name not there is added after the file's names (once, with a note). The
// name is looked for and added as the editor will read it from the file (categoryFileName). With
// none, a name that is a number 0 to 254 is that category, any other name gives 255 (no category) with
// a note; an empty name gives 255, and so does one with nothing left for the file.
std::uint8_t categoryFromGroupName(std::string_view name, const FieldContext& context, FormatReport& report);

// A group name as the categories file holds it for the editor: line breaks, NUL and Ctrl-Z as
// spaces, cut to 258 bytes at a character's start (258 characters in a one-byte code page), and,
// where it changed, without blanks at its ends; each change with a note into report.
std::string categoryFileName(std::string_view name, const FieldContext& context, FormatReport& report);

// 255, with a note that the group name (not empty) left nothing the categories file can hold.
std::uint8_t categoryOfNoName(std::string_view name, FormatReport& report);

// The group name written for a category byte: the file's name when given and in range, else the
// number; 255 (no category) gives the empty name.
std::string categoryGroupName(std::uint8_t category, const FieldContext& context);

// A record's name or provider as the UTF-8 other receivers' lists hold: converted from the code page
// when one is given, else its bytes, which must be UTF-8. False, leaving out as it was, when they
// are not.
bool recordTextUtf8(const char (&field)[TextFieldSize], const FieldContext& context, std::string& out);

// Text between quotes, for messages that name a value read from a file.
std::string quoted(std::string_view text);
