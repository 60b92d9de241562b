#include "channel/channel_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

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

// The save in progress: its temporary file open for writing, and the same file open for reading
// back what was written, piece by piece.
std::FILE* SaveWriter = nullptr;
std::FILE* SaveReader = nullptr;
bool TemporaryMade = false;  // TemporaryPath names a file this save made, not yet put in place

// Pieces go to the file at most this large; the disk is asked to start on each as soon as it has
// been read back, so for a file of megabytes it is busy while the rest is still being made.
constexpr std::size_t WritePiece = std::size_t{1} << 20;

// Reads the next size bytes of the temporary file and compares them with expected.
FileResult readBack(const unsigned char* expected, std::size_t size) {
    std::size_t done = 0;
    FileReplace::clearSystemError();
    while (done < size) {
        const std::size_t wanted = std::min(size - done, sizeof CompareBuffer);
        const std::size_t got = std::fread(CompareBuffer, 1, wanted, SaveReader);
        if (std::ferror(SaveReader) != 0) return failure("Reading %s back failed: %s", temporaryName(), systemError());
        if (got != wanted || std::memcmp(CompareBuffer, expected + done, got) != 0)
            return failure("%s does not read back as it was written.", temporaryName());
        done += got;
    }
    return success();
}

// The file holds nothing past what was written.
FileResult readBackEnd() {
    FileReplace::clearSystemError();
    const std::size_t got = std::fread(CompareBuffer, 1, 1, SaveReader);
    if (std::ferror(SaveReader) != 0) return failure("Reading %s back failed: %s", temporaryName(), systemError());
    if (got != 0) return failure("%s does not read back as it was written.", temporaryName());
    return success();
}

// Waits until the temporary file is on the disk, and closes it.
FileResult flushAndClose() {
    std::FILE* file = std::exchange(SaveWriter, nullptr);
    char why[160];
    if (!FileReplace::flushToDisk(file, why, sizeof why)) {
        std::fclose(file);
        return failure("Flushing %s to the disk failed: %s", temporaryName(), why);
    }
    FileReplace::clearSystemError();
    if (std::fclose(file) != 0) return failure("Closing %s failed: %s", temporaryName(), systemError());
    return success();
}

// Gives a failed save up, leaving no temporary file behind; result is its reason.
FileResult giveUp(const FileResult& result) {
    abandonSave();
    return result;
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

FileResult beginSave(const char* path, std::size_t sizeIfKnown) {
    abandonSave();
    FileResult result{};
    SaveWriter = createTemporary(path, result);
    if (SaveWriter == nullptr) return result;
    TemporaryMade = true;
    FileReplace::reserveRoom(SaveWriter, sizeIfKnown);
    FileReplace::clearSystemError();
    SaveReader = std::fopen(TemporaryPath, "rb");
    if (SaveReader == nullptr) return giveUp(failure("Reopening %s failed: %s", temporaryName(), systemError()));
    // Unbuffered: every byte compared comes from the file as it is now.
    std::setvbuf(SaveReader, nullptr, _IONBF, 0);
    return success();
}

FileResult savePiece(const void* bytes, std::size_t size) {
    if (SaveWriter == nullptr) return failure("No save is in progress.");
    const auto* from = static_cast<const unsigned char*>(bytes);
    for (std::size_t done = 0; done < size;) {
        const std::size_t piece = std::min(size - done, WritePiece);
        FileReplace::clearSystemError();
        if (std::fwrite(from + done, 1, piece, SaveWriter) != piece || std::fflush(SaveWriter) != 0)
            return giveUp(failure("Writing %s failed: %s", temporaryName(), systemError()));
        const FileResult compared = readBack(from + done, piece);
        if (!compared.ok) return giveUp(compared);
        FileReplace::startWritingToDisk(SaveWriter);
        done += piece;
    }
    return success();
}

FileResult finishSave(const char* path) {
    if (SaveWriter == nullptr) return failure("No save is in progress.");
    FileResult result = readBackEnd();
    if (!result.ok) return giveUp(result);
    std::fclose(std::exchange(SaveReader, nullptr));
    result = flushAndClose();
    if (!result.ok) return giveUp(result);
    char why[160];
    if (!FileReplace::replace(TemporaryPath, path, why, sizeof why))
        return giveUp(failure("Replacing the file with %s failed: %s", temporaryName(), why));
    TemporaryMade = false;
    return result;
}

void abandonSave() {
    if (SaveReader != nullptr) std::fclose(std::exchange(SaveReader, nullptr));
    if (SaveWriter != nullptr) std::fclose(std::exchange(SaveWriter, nullptr));
    if (TemporaryMade) std::remove(TemporaryPath);
    TemporaryMade = false;
}

FileResult saveBytes(const char* path, const void* bytes, std::size_t size) {
    FileResult result = beginSave(path, size);
    if (result.ok) result = savePiece(bytes, size);
    if (result.ok) result = finishSave(path);
    return result;
}

}  // namespace ChannelFile
