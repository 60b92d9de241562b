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

using FileReplace::PathLimit;

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

// A save in progress: the file it replaces, its temporary file next to that, open for writing,
// and the same file open for reading back what was written, piece by piece.
struct PendingSave {
    FileReplace::SaveTarget target;
    char temporaryPath[PathLimit];
    std::FILE* writer;
    std::FILE* reader;
    bool made;  // temporaryPath names a file this save made, not yet put in place
};

// The single save is the first; saveFiles uses as many as it has files.
PendingSave Pending[SavesTogether];

// The file name part of the temporary path, for messages that already name the target.
const char* temporaryName(const PendingSave& save) {
    return save.temporaryPath + FileReplace::folderLength(save.temporaryPath);
}

// Creates a temporary file in the folder of target under a name that exists nowhere yet.
std::FILE* createTemporary(const char* target, char (&path)[PathLimit], FileResult& result) {
    const std::size_t folder = FileReplace::folderLength(target);
    const unsigned long process = FileReplace::processNumber();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int length = std::snprintf(path, sizeof path, "%.*s~vs%lx_%lx.tmp", static_cast<int>(folder), target,
                                         process, TemporarySequence++);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) {
            result = failure("The folder's path is too long for a temporary file next to the file.");
            return nullptr;
        }
        FileReplace::clearSystemError();
        std::FILE* file = FileReplace::createNew(path);
        if (file != nullptr) return file;
        if (errno != EEXIST) {
            result = failure("Cannot create a temporary file in the file's folder: %s", systemError());
            return nullptr;
        }
    }
    result = failure("Cannot find a free name for a temporary file in the file's folder.");
    return nullptr;
}

// Pieces go to the file at most this large; the disk is asked to start on each as soon as it has
// been read back, so for a file of megabytes it is busy while the rest is still being made.
constexpr std::size_t WritePiece = std::size_t{1} << 20;

// Removes what a save has made so far: the target stays as it was.
void abandon(PendingSave& save) {
    if (save.reader != nullptr) std::fclose(std::exchange(save.reader, nullptr));
    if (save.writer != nullptr) std::fclose(std::exchange(save.writer, nullptr));
    if (save.made) std::remove(save.temporaryPath);
    save.made = false;
}

void abandonAll(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) abandon(Pending[i]);
}

// The target is examined before anything is written: what must not be replaced is left alone.
FileResult examine(const char* path, FileReplace::SaveTarget& target) {
    char why[sizeof FileResult::reason];
    if (FileReplace::examineTarget(path, target, why, sizeof why)) return success();
    return failure("%s", why);
}

FileResult begin(PendingSave& save, const char* path, std::size_t sizeIfKnown) {
    abandon(save);
    FileResult result = examine(path, save.target);
    if (!result.ok) return result;
    save.writer = createTemporary(save.target.path, save.temporaryPath, result);
    if (save.writer == nullptr) return result;
    save.made = true;
    FileReplace::reserveRoom(save.writer, sizeIfKnown);
    FileReplace::clearSystemError();
    save.reader = std::fopen(save.temporaryPath, "rb");
    if (save.reader == nullptr) return failure("Reopening %s failed: %s", temporaryName(save), systemError());
    // Unbuffered: every byte compared comes from the file as it is now.
    std::setvbuf(save.reader, nullptr, _IONBF, 0);
    // Only now: the old file's permissions may not let the temporary file be opened again.
    char why[160];
    if (!FileReplace::keepTargetFacts(save.writer, save.target, why, sizeof why)) return failure("%s", why);
    return success();
}

// Reads the next size bytes of the temporary file and compares them with expected.
FileResult readBack(const PendingSave& save, const unsigned char* expected, std::size_t size) {
    std::size_t done = 0;
    FileReplace::clearSystemError();
    while (done < size) {
        const std::size_t wanted = std::min(size - done, sizeof CompareBuffer);
        const std::size_t got = std::fread(CompareBuffer, 1, wanted, save.reader);
        if (std::ferror(save.reader) != 0)
            return failure("Reading %s back failed: %s", temporaryName(save), systemError());
        if (got != wanted || std::memcmp(CompareBuffer, expected + done, got) != 0)
            return failure("%s does not read back as it was written.", temporaryName(save));
        done += got;
    }
    return success();
}

FileResult write(const PendingSave& save, const void* bytes, std::size_t size) {
    const auto* from = static_cast<const unsigned char*>(bytes);
    for (std::size_t done = 0; done < size;) {
        const std::size_t piece = std::min(size - done, WritePiece);
        FileReplace::clearSystemError();
        if (std::fwrite(from + done, 1, piece, save.writer) != piece || std::fflush(save.writer) != 0)
            return failure("Writing %s failed: %s", temporaryName(save), systemError());
        const FileResult compared = readBack(save, from + done, piece);
        if (!compared.ok) return compared;
        FileReplace::startWritingToDisk(save.writer);
        done += piece;
    }
    return success();
}

// Checks that the file holds nothing past what was written, and stops reading it.
FileResult endWriting(PendingSave& save) {
    FileReplace::clearSystemError();
    const std::size_t got = std::fread(CompareBuffer, 1, 1, save.reader);
    if (std::ferror(save.reader) != 0) return failure("Reading %s back failed: %s", temporaryName(save), systemError());
    if (got != 0) return failure("%s does not read back as it was written.", temporaryName(save));
    std::fclose(std::exchange(save.reader, nullptr));
    return success();
}

// Waits until the temporary file is on the disk, and closes it.
FileResult flushAndClose(PendingSave& save) {
    std::FILE* file = std::exchange(save.writer, nullptr);
    char why[160];
    if (!FileReplace::flushToDisk(file, why, sizeof why)) {
        std::fclose(file);
        return failure("Flushing %s to the disk failed: %s", temporaryName(save), why);
    }
    FileReplace::clearSystemError();
    if (std::fclose(file) != 0) return failure("Closing %s failed: %s", temporaryName(save), systemError());
    return success();
}

FileResult putInPlace(PendingSave& save) {
    char why[160];
    if (!FileReplace::replace(save.temporaryPath, save.target.path, why, sizeof why))
        return failure("Replacing the file with %s failed: %s", temporaryName(save), why);
    save.made = false;
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
    const FileResult result = begin(Pending[0], path, sizeIfKnown);
    return result.ok ? result : giveUp(result);
}

FileResult savePiece(const void* bytes, std::size_t size) {
    if (Pending[0].writer == nullptr) return failure("No save is in progress.");
    const FileResult result = write(Pending[0], bytes, size);
    return result.ok ? result : giveUp(result);
}

FileResult checkTarget(const char* path) {
    FileReplace::SaveTarget target{};
    return examine(path, target);
}

FileResult finishSave() {
    PendingSave& save = Pending[0];
    if (save.writer == nullptr) return failure("No save is in progress.");
    FileResult result = endWriting(save);
    if (result.ok) result = flushAndClose(save);
    if (result.ok) result = putInPlace(save);
    return result.ok ? result : giveUp(result);
}

void abandonSave() { abandon(Pending[0]); }

FileResult saveBytes(const char* path, const void* bytes, std::size_t size) {
    FileResult result = beginSave(path, size);
    if (result.ok) result = savePiece(bytes, size);
    if (result.ok) result = finishSave();
    return result;
}

// All files are written and read back before any is flushed, so the disk takes them together, and
// all are on the disk before the first one replaces its target.
FileResult saveFiles(const FileToSave* files, std::size_t count, SaveProgress& progress) {
    progress = SaveProgress{};
    if (count > SavesTogether) return failure("Too many files to save together.");
    abandonAll(SavesTogether);
    for (; progress.failedFile < count; ++progress.failedFile) {
        const FileToSave& file = files[progress.failedFile];
        PendingSave& save = Pending[progress.failedFile];
        FileResult result = begin(save, file.path, file.size);
        if (result.ok) result = write(save, file.bytes, file.size);
        if (result.ok) result = endWriting(save);
        if (!result.ok) {
            abandonAll(count);
            return result;
        }
    }
    for (progress.failedFile = 0; progress.failedFile < count; ++progress.failedFile) {
        const FileResult result = flushAndClose(Pending[progress.failedFile]);
        if (!result.ok) {
            abandonAll(count);
            return result;
        }
    }
    for (progress.failedFile = 0; progress.failedFile < count; ++progress.failedFile) {
        const FileResult result = putInPlace(Pending[progress.failedFile]);
        if (!result.ok) {
            abandonAll(count);
            return result;
        }
        ++progress.replaced;
    }
    return success();
}

}  // namespace ChannelFile
