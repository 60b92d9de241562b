#pragma once
// Lists in every format kvx reads and writes, from and to files: a kvx list, CSV in export's form, a
// channels.conf, or a settings folder. The formats themselves are in formats/; this is their I/O.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/enigma2_format.h"
#include "formats/list_format.h"

enum class ListFormat { Detect, Kvx, Csv, Vdr, Enigma2 };

// "kvx", "csv", "vdr", "enigma2"; false for any other word.
bool parseListFormat(std::string_view word, ListFormat& format);

// The format of what path names, from the path and the content: a folder, or a file named lamedb or
// lamedb5, is a settings folder; a file that starts with CSV export's header is CSV; a file whose
// first line is a channels.conf line or group is that (a UTF-8 byte-order mark before either is
// passed over); a file of whole 442-byte records that is not text is a kvx list. Anything else
// (UTF-16 or UTF-32 text, other text, other bytes, an empty file, no regular file) is false, with
// what it looks like in why.
bool detectListFormat(const std::string& path, ListFormat& format, std::string& why);

// Reads the list at path into records. Problems and notes go to report; why is set when the file
// itself could not be read. A kvx list is read as the editor reads it (at most 16384 records); a
// CSV or channels.conf past a UTF-8 byte-order mark, and not at all in UTF-16 or UTF-32.
bool readListIn(const std::string& path, ListFormat format, const FormatOptions& options, RecordList& records,
                FormatReport& report, std::string& why);

// Writes every file of a settings folder through the safe save, creating the folder if needed;
// nothing when any of them may not be written (mayWrite).
bool saveSettingsFolder(const std::string& folder, std::span<const SettingsFile> files, std::string& why);

// Adds names at the end of the categories file through the safe save, in the file's code page and
// with its line ends.
bool appendCategoryNames(const std::string& path, const CategoryNames& names, int codePage, std::string& why);

// Says each note on standard error, and each problem as "kvx: FILE:LINE: field: why" (FILE the file
// inside the settings folder for a problem in one of its files).
void sayReport(const std::string& file, const FormatReport& report);
