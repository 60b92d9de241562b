#include "channel/channel_table.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "channel/file_replace.h"

namespace ChannelTable {

ChannelRecord slots[Capacity];
std::int32_t count = 0;

namespace {

constexpr std::size_t PathLimit = 260;  // the platform's path buffer, NUL included

// The temporary file of the save in progress, next to the target.
char TemporaryPath[PathLimit];

// Read-back of the temporary file, a whole number of records at a time.
constexpr std::size_t CompareRecords = 148;
unsigned char CompareBuffer[CompareRecords * ChannelRecordSize];

// Distinguishes successive temporary names of one process.
unsigned long TemporarySequence = 0;

// The system's words for the file call that just failed; valid until the next call.
char SystemError[160];

const char* systemError() {
    FileReplace::systemErrorText(SystemError, sizeof SystemError);
    return SystemError;
}

FileResult success() {
    FileResult result{};
    result.ok = true;
    return result;
}

__attribute__((format(printf, 1, 2))) FileResult failure(const char* format, ...) {
    FileResult result{};
    result.ok = false;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(result.reason, sizeof result.reason, format, arguments);
    va_end(arguments);
    return result;
}

// The file name part of the temporary path, for messages that already name the target.
const char* temporaryName() { return TemporaryPath + FileReplace::folderLength(TemporaryPath); }

// Creates a temporary file in the folder of target under a name that exists nowhere yet.
std::FILE* createTemporary(const char* target, FileResult& result) {
    const std::size_t folder = FileReplace::folderLength(target);
    const unsigned long process = FileReplace::processNumber();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int length = std::snprintf(TemporaryPath, sizeof TemporaryPath, "%.*s~vs%lx_%lx.tmp",
                                         static_cast<int>(folder), target, process, TemporarySequence++);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof TemporaryPath) {
            result = failure("The folder's path is too long for a temporary file next to the file.");
            return nullptr;
        }
        FileReplace::clearSystemError();
        std::FILE* file = FileReplace::createNew(TemporaryPath);
        if (file != nullptr) return file;
        if (errno != EEXIST) {
            result = failure("Cannot create a temporary file in the file's folder: %s", systemError());
            return nullptr;
        }
    }
    result = failure("Cannot find a free name for a temporary file in the file's folder.");
    return nullptr;
}

// Writes slots 0..count-1 to the open temporary file and closes it; every step is checked.
FileResult writeTemporary(std::FILE* file) {
    const auto records = static_cast<std::size_t>(count);
    FileReplace::clearSystemError();
    if (std::fwrite(slots, ChannelRecordSize, records, file) != records || std::fflush(file) != 0) {
        const FileResult result = failure("Writing %s failed: %s", temporaryName(), systemError());
        std::fclose(file);
        return result;
    }
    char why[160];
    if (!FileReplace::flushToDisk(file, why, sizeof why)) {
        std::fclose(file);
        return failure("Flushing %s to the disk failed: %s", temporaryName(), why);
    }
    FileReplace::clearSystemError();
    if (std::fclose(file) != 0) return failure("Closing %s failed: %s", temporaryName(), systemError());
    return success();
}

// Reads the closed temporary file back and compares it with the table, byte for byte.
FileResult verifyTemporary() {
    FileReplace::clearSystemError();
    std::FILE* file = std::fopen(TemporaryPath, "rb");
    if (file == nullptr) return failure("Reopening %s failed: %s", temporaryName(), systemError());
    const auto* expected = reinterpret_cast<const unsigned char*>(slots);
    const std::size_t total = static_cast<std::size_t>(count) * ChannelRecordSize;
    std::size_t done = 0;
    bool same = true;
    FileReplace::clearSystemError();
    while (same) {
        const std::size_t got = std::fread(CompareBuffer, 1, sizeof CompareBuffer, file);
        same = got <= total - done && std::memcmp(CompareBuffer, expected + done, got) == 0;
        done += same ? got : 0;
        if (got < sizeof CompareBuffer) break;
    }
    const bool readFailed = std::ferror(file) != 0;
    if (readFailed) systemError();  // before fclose, which may set its own
    std::fclose(file);
    if (readFailed) return failure("Reading %s back failed: %s", temporaryName(), SystemError);
    if (!same || done != total) return failure("%s does not read back as it was written.", temporaryName());
    return success();
}

}  // namespace

FileResult load(const char* path) {
    FileReplace::clearSystemError();
    std::FILE* file = std::fopen(path, "r+b");
    if (file == nullptr) return failure("Cannot open the file for reading and writing: %s", systemError());
    // One read straight into the slots: whole records only, at most Capacity of them; a trailing
    // piece shorter than a record lands in the first unused slot and is not counted.
    FileReplace::clearSystemError();
    const std::size_t records = std::fread(slots, ChannelRecordSize, Capacity, file);
    if (std::ferror(file) != 0) {
        systemError();  // before fclose, which may set its own
        std::fclose(file);
        count = 0;  // a partly read list must never pass for the file
        return failure("Reading the file failed: %s", SystemError);
    }
    std::fclose(file);
    count = static_cast<std::int32_t>(records);
    return success();
}

FileResult save(const char* path) {
    FileResult result{};
    std::FILE* file = createTemporary(path, result);
    if (file == nullptr) return result;
    result = writeTemporary(file);
    if (result.ok) result = verifyTemporary();
    if (result.ok) {
        char why[160];
        if (FileReplace::replace(TemporaryPath, path, why, sizeof why)) return result;
        result = failure("Replacing the file with %s failed: %s", temporaryName(), why);
    }
    std::remove(TemporaryPath);
    return result;
}

void replace(std::int32_t index, const ChannelRecord& record) {
    if (index < 0 || index >= count) return;
    std::memmove(&slots[index], &record, sizeof record);  // record may be this very slot
}

void append(const ChannelRecord& record) {
    if (count >= Capacity) return;
    std::memmove(&slots[count], &record, sizeof record);
    ++count;
}

void remove(std::int32_t index) {
    if (index < 0 || index >= count) return;
    std::memmove(&slots[index], &slots[index + 1], static_cast<std::size_t>(count - index - 1) * sizeof(ChannelRecord));
    --count;
}

FieldText nameAt(std::int32_t index) {
    if (index < 0 || index >= Capacity) return FieldText{};
    return fieldTextCopy(slots[index].name);
}

}  // namespace ChannelTable
