#pragma once
// The files kvx reads and writes. A file is read once, into memory sized from the file (natively in
// large pages, so that passes over a list do not walk thousands of small pages), and every file is
// written in one go through the editor's safe save, so a failed write leaves the old file as it was.
//
// Only regular files are read: the open file (never waiting on a FIFO) says what it is and how large
// it is before a byte is read, and a file larger than its kind can be is refused unread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kvx/check.h"
#include "lists/large_pages.h"
#include "lists/record_fields.h"

// A whole file's bytes, read-only, held until this is destroyed. Moving it keeps the bytes where
// they are, so views into them stay valid.
struct FileBytes {
    const char* data = nullptr;
    std::size_t size = 0;
    void* largeRoom = nullptr;  // the room the bytes were read into, when taken in large pages
    std::size_t largeRoomSize = 0;
    void* mapped = nullptr;  // the file itself, mapped, for a command that writes nothing
    std::size_t mappedSize = 0;
    std::unique_ptr<char[]> contents;  // else the bytes as read

    FileBytes() = default;
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes();

    std::string_view view() const { return {data, size}; }
};

// What kvx takes a file for, reading or writing it: no command writes one kind over a file it read
// as another (an export over its own list, an import over its own CSV), however the path is spelled.
enum class FileRole { List, Csv, Vdr, Settings, Categories, Password };

// A list of 16384 records and a trailing piece; any text (a CSV of 16384 channels is about 17 MB).
inline constexpr std::size_t ListSizeLimit = std::size_t{16384} * ChannelRecordSize + ChannelRecordSize - 1;
inline constexpr std::size_t TextSizeLimit = std::size_t{64} << 20;

struct ChannelList {
    std::span<const ChannelRecord> records;  // the whole records the editor would take, at most 16384
    ListFileFacts facts;                     // what the editor would drop
    FileBytes file;                          // what records views
};

// For a command that writes nothing (check, diff, dupes without --remove): large files are then
// mapped where the system already holds them instead of copied into fresh memory, which costs more
// than the work itself. A file cut short by another program while mapped ends the command with a
// message and exit status 2; having written nothing, it loses nothing.
void readInPlace();

// Each returns false with the reason in why; the reason does not name the file. Each file read is
// remembered with its role for mayWrite.
bool readFileBytes(const char* path, FileRole role, FileBytes& bytes, std::string& why);
bool readChannelList(const char* path, ChannelList& list, std::string& why);
bool readWholeFile(const char* path, FileRole role, std::string& bytes, std::string& why);
bool readCategoryNames(const char* path, int codePage, CategoryNames& names, std::string& why);

// The first bytes of a regular file, at most capacity of them, and its whole size: enough to tell
// its format. Not remembered as read.
bool peekFile(const char* path, char* start, std::size_t capacity, std::size_t& got, std::uint64_t& size,
              std::string& why);

// Whether path may be written as role, before anything is written: false, with why, where the safe
// save would refuse the target, where this command read the same file as another role, and for "-"
// (standard output takes text only, and the callers that write text take "-" before asking).
bool mayWrite(const std::string& path, FileRole role, std::string& why);

// Through mayWrite and the safe save. A list with no channel is not saved over one that has some.
bool saveWholeFile(const char* path, FileRole role, std::string_view bytes, std::string& why);
bool saveChannelList(const char* path, std::span<const ChannelRecord> records, std::string& why);

// Reserves room for a large output (a text, a list being built) before it is written once from start
// to end. Natively the room is asked for in large pages: on a virtual machine every small page
// written for the first time costs microseconds, a few thousand of them as much as the work itself.
// A list's room is wholly large pages (see RecordList); a text's from its first large page's border.
void reserveOutput(std::string& text, std::size_t size);
void reserveOutput(RecordList& records, std::size_t count);

// A copy of records that can be changed, in room reserved as above.
void copyRecords(std::span<const ChannelRecord> records, RecordList& copy);
