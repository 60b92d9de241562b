#pragma once
// The files kvx reads and writes. A file is read once, into memory sized from the file (natively in
// large pages, so that passes over a list do not walk thousands of small pages), and every file is
// written in one go through the editor's safe save, so a failed write leaves the old file as it was.

#include <cstddef>
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
    std::unique_ptr<char[]> contents;  // else the bytes as read

    FileBytes() = default;
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes();

    std::string_view view() const { return {data, size}; }
};

struct ChannelList {
    std::span<const ChannelRecord> records;  // the whole records the editor would take, at most 16384
    ListFileFacts facts;                     // what the editor would drop
    FileBytes file;                          // what records views
};

// Each returns false with the reason in why; the reason does not name the file.
bool readFileBytes(const char* path, FileBytes& bytes, std::string& why);
bool readChannelList(const char* path, ChannelList& list, std::string& why);
bool readWholeFile(const char* path, std::string& bytes, std::string& why);
bool readCategoryNames(const char* path, int codePage, CategoryNames& names, std::string& why);
bool saveWholeFile(const char* path, std::string_view bytes, std::string& why);
bool saveChannelList(const char* path, std::span<const ChannelRecord> records, std::string& why);

// Reserves room for a large output (a text, a list being built) before it is written once from start
// to end. Natively the room is asked for in large pages: on a virtual machine every small page
// written for the first time costs microseconds, a few thousand of them as much as the work itself.
// A list's room is wholly large pages (see RecordList); a text's from its first large page's border.
void reserveOutput(std::string& text, std::size_t size);
void reserveOutput(RecordList& records, std::size_t count);

// A copy of records that can be changed, in room reserved as above.
void copyRecords(std::span<const ChannelRecord> records, RecordList& copy);
