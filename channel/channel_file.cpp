#include "channel/channel_file.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "channel/file_replace.h"

namespace ChannelFile {

namespace {

constexpr std::size_t PathLimit = 260;  // the platform's path buffer, NUL included

// The temporary file of the save in progress, next to the target.
char TemporaryPath[PathLimit];

// Read-back of the temporary file, and the count of what lies beyond a full read.
unsigned char CompareBuffer[64 * 1024];

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
    // va_start has just set it up; the analyzer loses track of it across the variadic call.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
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

// Writes the bytes to the open temporary file and closes it; every step is checked.
FileResult writeTemporary(std::FILE* file, const void* bytes, std::size_t size) {
    FileReplace::reserveRoom(file, size);
    FileReplace::clearSystemError();
    if ((size > 0 && std::fwrite(bytes, 1, size, file) != size) || std::fflush(file) != 0) {
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

// Reads the closed temporary file back and compares it with the bytes, byte for byte: through a
// mapping of the system's cached copy where there is one, else in pieces.
FileResult verifyTemporary(const void* bytes, std::size_t total) {
    std::size_t mappedSize = 0;
    if (const void* mapped = FileReplace::mapFile(TemporaryPath, mappedSize)) {
        const bool same = mappedSize == total && std::memcmp(mapped, bytes, total) == 0;
        FileReplace::unmapFile(mapped, mappedSize);
        if (!same) return failure("%s does not read back as it was written.", temporaryName());
        return success();
    }
    FileReplace::clearSystemError();
    std::FILE* file = std::fopen(TemporaryPath, "rb");
    if (file == nullptr) return failure("Reopening %s failed: %s", temporaryName(), systemError());
    const auto* expected = static_cast<const unsigned char*>(bytes);
    std::size_t done = 0;
    bool same = true;
    FileReplace::clearSystemError();
    while (same) {
        const std::size_t got = std::fread(CompareBuffer, 1, sizeof CompareBuffer, file);
        same = got <= total - done && (got == 0 || std::memcmp(CompareBuffer, expected + done, got) == 0);
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

FileResult readRecords(const char* path, const char* mode, ChannelRecord* records, std::size_t capacity,
                       ReadCounts& counts) {
    counts = ReadCounts{};
    FileReplace::clearSystemError();
    std::FILE* file = std::fopen(path, mode);
    if (file == nullptr) {
        const bool forUpdate = std::strchr(mode, '+') != nullptr;
        return failure(forUpdate ? "Cannot open the file for reading and writing: %s" : "Cannot open the file: %s",
                       systemError());
    }
    counts.opened = true;
    // One read straight into the records; a trailing piece shorter than a record lands after the
    // last whole one and is not counted.
    FileReplace::clearSystemError();
    const std::size_t wanted = capacity * ChannelRecordSize;
    const std::size_t got = std::fread(records, 1, wanted, file);
    std::uint64_t beyond = 0;
    if (got == wanted && std::ferror(file) == 0) {
        std::size_t more = 0;
        while ((more = std::fread(CompareBuffer, 1, sizeof CompareBuffer, file)) > 0) beyond += more;
    }
    if (std::ferror(file) != 0) {
        systemError();  // before fclose, which may set its own
        std::fclose(file);
        return failure("Reading the file failed: %s", SystemError);
    }
    std::fclose(file);
    counts.records = got / ChannelRecordSize;
    counts.recordsBeyond = beyond / ChannelRecordSize;
    counts.trailingBytes = beyond > 0 ? beyond % ChannelRecordSize : got % ChannelRecordSize;
    return success();
}

FileResult saveBytes(const char* path, const void* bytes, std::size_t size) {
    FileResult result{};
    std::FILE* file = createTemporary(path, result);
    if (file == nullptr) return result;
    result = writeTemporary(file, bytes, size);
    if (result.ok) result = verifyTemporary(bytes, size);
    if (result.ok) {
        char why[160];
        if (FileReplace::replace(TemporaryPath, path, why, sizeof why)) return result;
        result = failure("Replacing the file with %s failed: %s", temporaryName(), why);
    }
    std::remove(TemporaryPath);
    return result;
}

}  // namespace ChannelFile
