#include "kvx/list_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "channel/channel_file.h"
#include "channel/channel_table.h"
#include "channel/file_replace.h"
#include "form/category_file.h"
#include "lists/code_page.h"

namespace {

// The few calls of reading a file whose names differ between Windows and other systems.
#ifdef _WIN32
int openForReading(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }
long long readSome(int file, char* into, std::size_t size) {
    return _read(file, into, static_cast<unsigned>(std::min<std::size_t>(size, 1U << 30)));
}
void closeFile(int file) { _close(file); }
// Windows keeps a file that is mapped from being replaced, and kvx often replaces the list it read
// (sort, import over its base): the bytes are read there, never mapped.
bool regularFileSize(int file, std::size_t& size) {
    struct _stat64 facts {};
    if (_fstat64(file, &facts) != 0 || (facts.st_mode & _S_IFMT) != _S_IFREG) return false;
    size = static_cast<std::size_t>(facts.st_size);
    return true;
}
#else
int openForReading(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }
long long readSome(int file, char* into, std::size_t size) { return read(file, into, size); }
void closeFile(int file) { close(file); }
bool regularFileSize(int file, std::size_t& size) {
    struct stat facts {};
    if (fstat(file, &facts) != 0 || !S_ISREG(facts.st_mode)) return false;
    size = static_cast<std::size_t>(facts.st_size);
    return true;
}
#endif

constexpr std::size_t PipePiece = std::size_t{64} * 1024;

// Reads the open file to its end into memory sized from the file (a byte more, so that its end is
// seen without growing); a pipe, whose size is unknown, or a file that grows while it is read, in
// pieces that double.
bool readToEnd(int file, std::size_t knownSize, FileBytes& bytes) {
    std::size_t capacity = knownSize + 1;
    std::unique_ptr<char[]> contents = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t size = 0;
    for (;;) {
        if (size == capacity) {
            // Only past the size the file had when it was opened.
            const std::size_t larger = 2 * capacity + PipePiece;
            std::unique_ptr<char[]> moved = std::make_unique_for_overwrite<char[]>(larger);
            std::memcpy(moved.get(), contents.get(), size);
            contents = std::move(moved);
            capacity = larger;
        }
        const long long got = readSome(file, contents.get() + size, capacity - size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        size += static_cast<std::size_t>(got);
    }
    bytes.contents = std::move(contents);
    bytes.data = bytes.contents.get();
    bytes.size = size;
    return true;
}

// Reads a regular file of size bytes into room of its own in large pages. Mapping the file would
// cost no copy, but every later pass over a mapped list walks its thousands of small pages again,
// and on a virtual machine that costs more than the copy. False where the room cannot be had or the
// read fails.
bool readIntoLargePages(int file, std::size_t size, FileBytes& bytes) {
    char* into = static_cast<char*>(takeLargeRoomIfAny(size));
    if (into == nullptr) return false;
    std::size_t got = 0;
    while (got < size) {
        const long long read = readSome(file, into + got, size - got);
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) {
            giveLargeRoomBack(into, size);
            return false;
        }
        if (read == 0) break;  // the file shrank since its size was taken
        got += static_cast<std::size_t>(read);
    }
    bytes.data = into;
    bytes.size = got;
    bytes.largeRoom = into;
    bytes.largeRoomSize = size;
    return true;
}

}  // namespace

FileBytes::FileBytes(FileBytes&& other) noexcept
    : data(std::exchange(other.data, nullptr)),
      size(std::exchange(other.size, 0)),
      largeRoom(std::exchange(other.largeRoom, nullptr)),
      largeRoomSize(std::exchange(other.largeRoomSize, 0)),
      contents(std::move(other.contents)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    if (this != &other) {
        if (largeRoom != nullptr) giveLargeRoomBack(largeRoom, largeRoomSize);
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
        largeRoom = std::exchange(other.largeRoom, nullptr);
        largeRoomSize = std::exchange(other.largeRoomSize, 0);
        contents = std::move(other.contents);
    }
    return *this;
}

FileBytes::~FileBytes() {
    if (largeRoom != nullptr) giveLargeRoomBack(largeRoom, largeRoomSize);
}

bool readFileBytes(const char* path, FileBytes& bytes, std::string& why) {
    bytes = FileBytes{};
    char system[160];
    FileReplace::clearSystemError();
    const int file = openForReading(path);
    if (file == -1) {
        FileReplace::systemErrorText(system, sizeof system);
        why = std::string("Cannot open the file: ") + system;
        return false;
    }
    std::size_t size = 0;
    const bool regular = regularFileSize(file, size);
    FileReplace::clearSystemError();
    // A small file goes into ordinary memory: most of a large page for it would be cleared for nothing.
    const bool large = regular && takesLargePages(size);
    const bool read =
        large ? readIntoLargePages(file, size, bytes) : readToEnd(file, regular ? size : PipePiece, bytes);
    if (!read) FileReplace::systemErrorText(system, sizeof system);  // before close, which may set its own
    closeFile(file);
    if (!read) why = std::string("Reading the file failed: ") + system;
    return read;
}

bool readChannelList(const char* path, ChannelList& list, std::string& why) {
    list.records = {};
    list.facts = ListFileFacts{};
    if (!readFileBytes(path, list.file, why)) return false;
    // Records are arrays of bytes (alignment 1), so the file's bytes are the records themselves.
    const std::size_t whole = list.file.size / ChannelRecordSize;
    const std::size_t kept = std::min<std::size_t>(whole, ChannelTable::Capacity);
    list.records = {reinterpret_cast<const ChannelRecord*>(list.file.data), kept};
    list.facts.recordsBeyondCapacity = whole - kept;
    list.facts.trailingBytes = list.file.size % ChannelRecordSize;
    return true;
}

bool readWholeFile(const char* path, std::string& bytes, std::string& why) {
    FileBytes file;
    if (!readFileBytes(path, file, why)) return false;
    bytes.assign(file.view());
    return true;
}

namespace {

struct CategoryReading {
    int codePage;
    CategoryNames* names;
};

void addCategoryName(const char* name, void* context) {
    auto* reading = static_cast<CategoryReading*>(context);
    reading->names->push_back(reading->codePage == 0 ? std::string(name) : codePageToUtf8(reading->codePage, name));
}

}  // namespace

bool readCategoryNames(const char* path, int codePage, CategoryNames& names, std::string& why) {
    names.clear();
    CategoryReading reading{codePage, &names};
    FileReplace::clearSystemError();
    if (readCategoryFile(path, addCategoryName, &reading)) return true;
    char system[160];
    FileReplace::systemErrorText(system, sizeof system);
    why = std::string("Cannot open the categories file: ") + system;
    return false;
}

bool saveWholeFile(const char* path, std::string_view bytes, std::string& why) {
    const ChannelFile::FileResult result = ChannelFile::saveBytes(path, bytes.data(), bytes.size());
    if (!result.ok) why = result.reason;
    return result.ok;
}

bool saveChannelList(const char* path, std::span<const ChannelRecord> records, std::string& why) {
    const ChannelFile::FileResult result = ChannelFile::saveBytes(path, records.data(), records.size_bytes());
    if (!result.ok) why = result.reason;
    return result.ok;
}

// A large page more than asked for, so that the last large page written lies wholly inside the room.
void reserveOutput(std::string& text, std::size_t size) {
    text.reserve(text.size() + size + largePageSize());
    adviseLargePages(text.data(), text.capacity(), text.size() + size);
}

void reserveOutput(RecordList& records, std::size_t count) { records.reserve(records.size() + count); }

void copyRecords(std::span<const ChannelRecord> records, RecordList& copy) {
    copy.clear();
    reserveOutput(copy, records.size());
    copy.assign(records.begin(), records.end());
}
