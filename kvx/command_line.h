#pragma once
// What kvx's subcommands share: exit statuses, messages, the options several of them take, and the
// files they read and write. Each subcommand lives in its own command_*.cpp with one entry that
// adds it to the command line; main.cpp holds the table of them.

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

#include "formats/list_format.h"
#include "kvx/list_files.h"
#include "lists/record_fields.h"

constexpr int Success = 0;
constexpr int Found = 1;    // problems found, lists differ, duplicates found
constexpr int Trouble = 2;  // bad usage, unreadable input, nothing written

// A subcommand as main sees it: the parsed CLI11 subcommand and what runs it.
struct Subcommand {
    CLI::App* command;
    int (*run)();
};

// "kvx: FILE: why" on standard error, control bytes escaped: a file name or a reason may hold bytes
// from a file. Every message kvx prints goes through here or through appendMessageText.
void complain(std::string_view file, std::string_view why);

// Writes text to standard output unchanged (binary on Windows). False when writing failed.
bool writeResults(std::string_view text);

// Standard output when output is empty or "-" (text roles only), else the file through mayWrite and
// the safe save; the exit status.
int deliver(const std::string& output, FileRole role, std::string_view text);

// deliver for output made in pieces, each written while the next is made: startDelivery, then
// deliverPiece for each piece in order, then finishDelivery for the exit status. A file is replaced
// only when every piece was written; each failure is said once.
bool startDelivery(const std::string& output, FileRole role);
bool deliverPiece(std::string_view piece);
int finishDelivery();

// Reads a channel list, saying why on standard error when it cannot.
bool readList(const std::string& path, ChannelList& list);

// Says what the editor would leave out of the list: a trailing piece. (A file of more records than
// the editor holds is refused unread.)
void warnDropped(const std::string& path, const ChannelList& list);

// For commands that write files: false, said, when path may not be written as role (mayWrite).
bool checkOutput(const std::string& path, FileRole role);

// --source, when given: only that satellite's channels of another receiver's list count. False, said,
// when the text is not a satellite position.
bool takeSourceOption(const std::string& text, FormatOptions& options);

// --all-services, for commands that read a settings folder as a list: its services no bouquet lists
// become channels too, after the bouquets' channels.
void addAllServicesOption(CLI::App* command, bool& allServices);

// The categories file and code page options, and what they give once checked.
struct TextOptions {
    std::string categories;
    int codePage = 0;
};

void addCategoriesOption(CLI::App* command, TextOptions& options);
void addCodePageOption(CLI::App* command, TextOptions& options);

// Checks the code page and reads the categories file; context then points into names.
bool prepareContext(const TextOptions& options, FieldContext& context, CategoryNames& names);
