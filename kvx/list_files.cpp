#include "kvx/list_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
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
#else
// Without waiting: opening a FIFO for reading would wait for a writer that may never come.
int openForReading(const char* path) { return open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); }
long long readSome(int file, char* into, std::size_t size) { return read(file, into, size); }
void closeFile(int file) { close(file); }
#endif

// Every file this command has read, with what it was read as.
struct FileRead {
    FileReplace::FileIdentity identity;
    FileRole role;
};
std::vector<FileRead> FilesRead;

const char* roleName(FileRole role) {
    switch (role) {
        case FileRole::List: return "kvx list";
        case FileRole::Csv: return "CSV";
        case FileRole::Vdr: return "channels.conf";
        case FileRole::Settings: return "Enigma2 settings file";
        case FileRole::Categories: return "categories file";
        case FileRole::Password: return "password file";
    }
    return "file";
}

std::string systemWords() {
    char system[160];
    FileReplace::systemErrorText(system, sizeof system);
    return system;
}

// Opens path for reading when it is a regular file of at most limit bytes; else -1 with why. What
// is decided comes from the open file, so a name changed in between cannot slip another file in.
int openRegularFile(const char* path, const char* what, std::size_t limit, FileReplace::OpenFileFacts& facts,
                    std::string& why) {
    FileReplace::clearSystemError();
    const int file = openForReading(path);
    if (file == -1) {
        why = std::string("Cannot open ") + what + ": " + systemWords();
        return -1;
    }
    if (!FileReplace::examineOpenFile(file, facts)) {
        why = "Cannot examine the file: " + systemWords();
    } else if (!facts.regular) {
        why = std::string("This is ") + facts.kind + ", not a regular file: it is not read.";
    } else if (facts.size > limit && limit == ListSizeLimit) {
        why = "It is " + std::to_string(facts.size) + " bytes, " + std::to_string(facts.size / ChannelRecordSize) +
              " records: more than the 16384 a list holds; it is not read.";
    } else if (facts.size > limit) {
        why = "It is " + std::to_string(facts.size) + " bytes: more than the " + std::to_string(limit >> 20) +
              " MB kvx reads as text; it is not read.";
    } else {
        return file;
    }
    closeFile(file);
    return -1;
}

std::size_t limitOf(FileRole role) { return role == FileRole::List ? ListSizeLimit : TextSizeLimit; }

// Reads the open file into size bytes at into until they are full or the file ends (it may have
// shrunk since its size was taken); got is how many came. False where a read fails.
bool readUpTo(int file, char* into, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        const long long read = readSome(file, into + got, size - got);
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) return false;
        if (read == 0) break;
        got += static_cast<std::size_t>(read);
    }
    return true;
}

// Reads up to size bytes of the open file into memory of that size; a file that shrank since its
// size was taken gives what it has, one that grew no more than its size.
bool readKnownSize(int file, std::size_t size, FileBytes& bytes) {
    std::unique_ptr<char[]> contents = std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(size, 1));
    std::size_t got = 0;
    if (!readUpTo(file, contents.get(), size, got)) return false;
    bytes.contents = std::move(contents);
    bytes.data = bytes.contents.get();
    bytes.size = got;
    return true;
}

// Reads a regular file of size bytes into room of its own in large pages. Mapping the file would
// cost no copy, but every later pass over a mapped list walks its thousands of small pages again,
// and on a virtual machine that costs more than the copy (a command that only reads a list once
// maps it instead). False where the room cannot be had or the read fails.
bool readIntoLargePages(int file, std::size_t size, FileBytes& bytes) {
    char* into = static_cast<char*>(takeLargeRoomIfAny(size));
    if (into == nullptr) return false;
    std::size_t got = 0;
    if (!readUpTo(file, into, size, got)) {
        giveLargeRoomBack(into, size);
        return false;
    }
    bytes.data = into;
    bytes.size = got;
    bytes.largeRoom = into;
    bytes.largeRoomSize = size;
    return true;
}

#ifndef _WIN32
bool ReadsInPlace = false;

constexpr char FileCutShort[] = "kvx: a file was cut short by another program while it was read; nothing was written\n";

// Reading a mapped page past the end of a file that shrank raises SIGBUS: say so and stop.
void stopOnFileCutShort(int /*signal*/) {
    const ssize_t said = write(STDERR_FILENO, FileCutShort, sizeof FileCutShort - 1);
    static_cast<void>(said);
    _exit(2);
}

// Maps the open regular file of size bytes. Its pages are mapped as they are first read, the kernel
// mapping their neighbours with them; making them all at once (MAP_POPULATE) measured slower here.
// False where it cannot be mapped, for the caller to read it instead.
bool mapWholeFile(int file, std::size_t size, FileBytes& bytes) {
    void* at = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file, 0);
    if (at == MAP_FAILED) return false;
    bytes.data = static_cast<const char*>(at);
    bytes.size = size;
    bytes.mapped = at;
    bytes.mappedSize = size;
    return true;
}
#endif

void giveBack(FileBytes& bytes) {
    if (bytes.largeRoom != nullptr) giveLargeRoomBack(bytes.largeRoom, bytes.largeRoomSize);
#ifndef _WIN32
    if (bytes.mapped != nullptr) munmap(bytes.mapped, bytes.mappedSize);
#endif
}

}  // namespace

void readInPlace() {
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = stopOnFileCutShort;
    sigemptyset(&action.sa_mask);
    ReadsInPlace = sigaction(SIGBUS, &action, nullptr) == 0;
#endif
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : data(std::exchange(other.data, nullptr)),
      size(std::exchange(other.size, 0)),
      largeRoom(std::exchange(other.largeRoom, nullptr)),
      largeRoomSize(std::exchange(other.largeRoomSize, 0)),
      mapped(std::exchange(other.mapped, nullptr)),
      mappedSize(std::exchange(other.mappedSize, 0)),
      contents(std::move(other.contents)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    if (this != &other) {
        giveBack(*this);
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
        largeRoom = std::exchange(other.largeRoom, nullptr);
        largeRoomSize = std::exchange(other.largeRoomSize, 0);
        mapped = std::exchange(other.mapped, nullptr);
        mappedSize = std::exchange(other.mappedSize, 0);
        contents = std::move(other.contents);
    }
    return *this;
}

FileBytes::~FileBytes() { giveBack(*this); }

bool readFileBytes(const char* path, FileRole role, FileBytes& bytes, std::string& why) {
    bytes = FileBytes{};
    FileReplace::OpenFileFacts facts{};
    const int file = openRegularFile(path, "the file", limitOf(role), facts, why);
    if (file == -1) return false;
    FilesRead.push_back({facts.identity, role});
    const auto size = static_cast<std::size_t>(facts.size);
    FileReplace::clearSystemError();
    // A small file goes into ordinary memory: most of a large page for it would be cleared for nothing.
    bool read = false;
#ifndef _WIN32
    read = ReadsInPlace && takesLargePages(size) && mapWholeFile(file, size, bytes);
#endif
    if (!read) read = takesLargePages(size) ? readIntoLargePages(file, size, bytes) : readKnownSize(file, size, bytes);
    const std::string system = read ? std::string() : systemWords();  // before close, which may set its own
    closeFile(file);
    if (!read) why = "Reading the file failed: " + system;
    return read;
}

bool peekFile(const char* path, char* start, std::size_t capacity, std::size_t& got, std::uint64_t& size,
              std::string& why) {
    got = 0;
    FileReplace::OpenFileFacts facts{};
    const int file = openRegularFile(path, "the file", TextSizeLimit, facts, why);
    if (file == -1) return false;
    size = facts.size;
    static_cast<void>(readUpTo(file, start, capacity, got));  // a failed read leaves what came before it
    closeFile(file);
    return true;
}

bool readChannelList(const char* path, ChannelList& list, std::string& why) {
    list.records = {};
    list.facts = ListFileFacts{};
    if (!readFileBytes(path, FileRole::List, list.file, why)) return false;
    // Records are arrays of bytes (alignment 1), so the file's bytes are the records themselves.
    const std::size_t whole = list.file.size / ChannelRecordSize;
    const std::size_t kept = std::min<std::size_t>(whole, ChannelTable::Capacity);
    list.records = {reinterpret_cast<const ChannelRecord*>(list.file.data), kept};
    list.facts.recordsBeyondCapacity = whole - kept;
    list.facts.trailingBytes = list.file.size % ChannelRecordSize;
    return true;
}

bool readWholeFile(const char* path, FileRole role, std::string& bytes, std::string& why) {
    FileBytes file;
    if (!readFileBytes(path, role, file, why)) return false;
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
    FileReplace::OpenFileFacts facts{};
    const int file = openRegularFile(path, "the categories file", TextSizeLimit, facts, why);
    if (file == -1) return false;
    FilesRead.push_back({facts.identity, FileRole::Categories});
#ifdef _WIN32
    _setmode(file, _O_TEXT);  // as the editor reads it
    std::FILE* lines = _fdopen(file, "r");
#else
    std::FILE* lines = fdopen(file, "r");
#endif
    if (lines == nullptr) {
        why = "Cannot read the categories file: " + systemWords();
        closeFile(file);
        return false;
    }
    CategoryReading reading{codePage, &names};
    readCategoryLines(lines, addCategoryName, &reading);
    std::fclose(lines);
    return true;
}

bool mayWrite(const std::string& path, FileRole role, std::string& why) {
    if (path == "-") {
        why = std::string("Standard output takes text (CSV, channels.conf); a ") + roleName(role) +
              " is written to a file.";
        return false;
    }
    const ChannelFile::FileResult target = ChannelFile::checkTarget(path.c_str());
    if (!target.ok) {
        why = target.reason;
        return false;
    }
    FileReplace::FileIdentity identity{};
    if (!FileReplace::identityOfPath(path.c_str(), identity)) return true;  // a new file
    for (const FileRead& read : FilesRead) {
        if (read.identity == identity && read.role != role) {
            why = std::string("This is also the ") + roleName(read.role) + " read here: a " + roleName(role) +
                  " written over it would lose it; nothing was written.";
            return false;
        }
    }
    return true;
}

bool saveWholeFile(const char* path, FileRole role, std::string_view bytes, std::string& why) {
    if (!mayWrite(path, role, why)) return false;
    const ChannelFile::FileResult result = ChannelFile::saveBytes(path, bytes.data(), bytes.size());
    if (!result.ok) why = result.reason;
    return result.ok;
}

bool saveChannelList(const char* path, std::span<const ChannelRecord> records, std::string& why) {
    if (!mayWrite(path, FileRole::List, why)) return false;
    // A result that lost every channel is kept from replacing a list that has some.
    std::error_code error;
    const std::uintmax_t old = std::filesystem::file_size(path, error);
    if (records.empty() && !error && old >= ChannelRecordSize) {
        why = "The result holds no channel, the file " + std::to_string(old / ChannelRecordSize) +
              ": nothing was written.";
        return false;
    }
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
