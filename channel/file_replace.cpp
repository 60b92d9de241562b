#include "channel/file_replace.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace FileReplace {

namespace {

#ifdef _WIN32
// The system's own words for a Win32 error code, without the trailing line break.
void systemMessage(DWORD error, char* why, std::size_t whySize) {
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        why, static_cast<DWORD>(whySize), nullptr);
    if (length == 0) {
        std::snprintf(why, whySize, "system error %lu", static_cast<unsigned long>(error));
        return;
    }
    std::size_t end = length;
    while (end > 0 && (why[end - 1] == '\r' || why[end - 1] == '\n' || why[end - 1] == ' ')) --end;
    why[end] = '\0';
}
#endif

}  // namespace

#ifdef _WIN32

std::size_t folderLength(const char* path) {
    // In a double-byte code page the second byte of a character can equal '\\', so walk by characters.
    std::size_t folder = 0;
    std::size_t i = 0;
    while (path[i] != '\0') {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
            i += 2;
            continue;
        }
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') folder = i + 1;
        ++i;
    }
    return folder;
}

unsigned long processNumber() { return GetCurrentProcessId(); }

void clearSystemError() {
    SetLastError(ERROR_SUCCESS);
    errno = 0;
}

void systemErrorText(char* why, std::size_t whySize) {
    const DWORD error = GetLastError();
    if (error != ERROR_SUCCESS) {
        systemMessage(error, why, whySize);
        return;
    }
    std::snprintf(why, whySize, "%s", std::strerror(errno));
}

std::FILE* createNew(const char* path) {
    const int fd = _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd == -1) return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
    return file;
}

bool flushToDisk(std::FILE* file, char* why, std::size_t whySize) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
        systemMessage(GetLastError(), why, whySize);
        return false;
    }
    return true;
}

void reserveRoom(std::FILE* /*file*/, std::size_t /*size*/) {}

void startWritingToDisk(std::FILE* /*file*/) {}

bool replace(const char* source, const char* target, char* why, std::size_t whySize) {
    if (!MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        systemMessage(GetLastError(), why, whySize);
        return false;
    }
    return true;
}

#else

std::size_t folderLength(const char* path) {
    const char* last = std::strrchr(path, '/');
    return last == nullptr ? 0 : static_cast<std::size_t>(last - path) + 1;
}

unsigned long processNumber() { return static_cast<unsigned long>(getpid()); }

void clearSystemError() { errno = 0; }

void systemErrorText(char* why, std::size_t whySize) { std::snprintf(why, whySize, "%s", std::strerror(errno)); }

std::FILE* createNew(const char* path) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd == -1) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
    return file;
}

bool flushToDisk(std::FILE* file, char* why, std::size_t whySize) {
    if (fsync(fileno(file)) != 0) {
        std::snprintf(why, whySize, "%s", std::strerror(errno));
        return false;
    }
    return true;
}

void reserveRoom(std::FILE* file, std::size_t size) {
#ifdef __linux__
    // fallocate, not posix_fallocate: where the file system cannot set room aside, the latter would
    // write the whole size once more to make it.
    if (size > 0) fallocate(fileno(file), 0, 0, static_cast<off_t>(size));
#else
    (void)file;
    (void)size;
#endif
}

void startWritingToDisk(std::FILE* file) {
#ifdef __linux__
    // Pages already on their way are left alone, so asking after each piece costs little.
    sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
#endif
}

bool replace(const char* source, const char* target, char* why, std::size_t whySize) {
    if (std::rename(source, target) != 0) {
        std::snprintf(why, whySize, "%s", std::strerror(errno));
        return false;
    }
    return true;
}

#endif

}  // namespace FileReplace
