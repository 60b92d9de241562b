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
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
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

bool identityOfHandle(HANDLE handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION facts{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &facts)) return false;
    identity.volume = facts.dwVolumeSerialNumber;
    identity.index = (static_cast<std::uint64_t>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow;
    return true;
}

// Opens what path names only to look at it: no access asked, so no other program's share mode
// stands in the way; a folder opens too.
HANDLE openToExamine(const char* path) {
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}
#else
const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}
#endif

bool copyPath(const char* path, SaveTarget& target, char* why, std::size_t whySize) {
    const int length = std::snprintf(target.path, sizeof target.path, "%s", path);
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof target.path) return true;
    std::snprintf(why, whySize, "The file's path is too long.");
    return false;
}

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

bool examineTarget(const char* path, SaveTarget& target, char* why, std::size_t whySize) {
    target = SaveTarget{};
    if (!copyPath(path, target, why, whySize)) return false;
    const HANDLE handle = openToExamine(path);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;  // creating says which
        // Something is there that will not even be looked at (CON under Wine): no file to replace.
        char words[160];
        systemMessage(error, words, sizeof words);
        std::snprintf(why, whySize, "Cannot examine the file: %s", words);
        return false;
    }
    const DWORD type = GetFileType(handle);
    BY_HANDLE_FILE_INFORMATION facts{};
    const bool known = GetFileInformationByHandle(handle, &facts) != 0;
    CloseHandle(handle);
    // NUL, CON, COM1 and pipes are no files: a save would write to the device, or fail half-way.
    if (type != FILE_TYPE_DISK) {
        std::snprintf(why, whySize, "This is %s, not a file: it is left as it is.",
                      type == FILE_TYPE_PIPE ? "a pipe" : "a device");
        return false;
    }
    if (known && (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        std::snprintf(why, whySize, "This is a folder, not a file: it is left as it is.");
        return false;
    }
    if (known && (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        std::snprintf(why, whySize, "The file is read-only: it is left as it is.");
        return false;
    }
    if (known && facts.nNumberOfLinks > 1) {
        std::snprintf(why, whySize,
                      "The file has %lu names (hard links): a new file would part them, so it is left as it is.",
                      static_cast<unsigned long>(facts.nNumberOfLinks));
        return false;
    }
    target.exists = true;
    return true;
}

// A new file on Windows has the ordinary attributes, and a read-only old file was refused.
bool keepTargetFacts(std::FILE* /*file*/, const SaveTarget& /*target*/, char* /*why*/, std::size_t /*whySize*/) {
    return true;
}

bool examineOpenFile(int descriptor, OpenFileFacts& facts) {
    facts = OpenFileFacts{};
    struct _stat64 status {};
    if (_fstat64(descriptor, &status) != 0) return false;
    const auto type = status.st_mode & _S_IFMT;
    facts.regular = type == _S_IFREG;
    facts.size = static_cast<std::uint64_t>(status.st_size);
    facts.kind = type == _S_IFDIR ? "a folder" : type == _S_IFIFO ? "a pipe" : "a device";
    identityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)), facts.identity);
    return true;
}

bool identityOfPath(const char* path, FileIdentity& identity) {
    const HANDLE handle = openToExamine(path);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = identityOfHandle(handle, identity);
    CloseHandle(handle);
    return known;
}

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

bool examineTarget(const char* path, SaveTarget& target, char* why, std::size_t whySize) {
    target = SaveTarget{};
    struct stat facts {};
    if (lstat(path, &facts) != 0) {
        if (errno == ENOENT) return copyPath(path, target, why, whySize);  // a new file
        std::snprintf(why, whySize, "Cannot examine the file: %s", std::strerror(errno));
        return false;
    }
    if (S_ISLNK(facts.st_mode)) {
        // The file the link names is replaced beside itself; the link is left as it is.
        char named[PATH_MAX];
        if (realpath(path, named) == nullptr) {
            if (errno == ENOENT)
                std::snprintf(why, whySize,
                              "The link names a file that does not exist: nothing is written through it.");
            else
                std::snprintf(why, whySize, "Cannot follow the link: %s", std::strerror(errno));
            return false;
        }
        if (!copyPath(named, target, why, whySize)) return false;
        if (stat(target.path, &facts) != 0) {
            std::snprintf(why, whySize, "Cannot examine the file the link names: %s", std::strerror(errno));
            return false;
        }
    } else if (!copyPath(path, target, why, whySize)) {
        return false;
    }
    if (!S_ISREG(facts.st_mode)) {
        std::snprintf(why, whySize, "This is %s, not a regular file: it is left as it is.", kindOf(facts.st_mode));
        return false;
    }
    // Root may write anything, so the owner's write bit says whether the file is meant to change.
    if ((facts.st_mode & S_IWUSR) == 0 || (geteuid() != 0 && access(target.path, W_OK) != 0)) {
        std::snprintf(why, whySize, "The file is read-only: it is left as it is.");
        return false;
    }
    if (facts.st_nlink > 1) {
        std::snprintf(why, whySize,
                      "The file has %lu names (hard links): a new file would part them, so it is left as it is.",
                      static_cast<unsigned long>(facts.st_nlink));
        return false;
    }
    target.exists = true;
    target.mode = facts.st_mode & 07777;
    target.owner = facts.st_uid;
    target.group = facts.st_gid;
    return true;
}

bool keepTargetFacts(std::FILE* file, const SaveTarget& target, char* why, std::size_t whySize) {
    if (!target.exists) return true;
    const int descriptor = fileno(file);
    // Owner first: a change of owner clears the set-ID bits that the mode then puts back. An owner
    // or group this process may not give leaves the new file its own, as cp and sed -i do.
    (void)(fchown(descriptor, target.owner, target.group) == 0 ||
           fchown(descriptor, static_cast<uid_t>(-1), target.group) == 0);
    if (fchmod(descriptor, static_cast<mode_t>(target.mode)) != 0) {
        std::snprintf(why, whySize, "Cannot give the new file the old one's permissions: %s", std::strerror(errno));
        return false;
    }
    return true;
}

bool examineOpenFile(int descriptor, OpenFileFacts& facts) {
    facts = OpenFileFacts{};
    struct stat status {};
    if (fstat(descriptor, &status) != 0) return false;
    facts.regular = S_ISREG(status.st_mode);
    facts.size = static_cast<std::uint64_t>(status.st_size);
    facts.kind = kindOf(status.st_mode);
    facts.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    return true;
}

bool identityOfPath(const char* path, FileIdentity& identity) {
    struct stat facts {};
    if (stat(path, &facts) != 0) return false;
    identity = {static_cast<std::uint64_t>(facts.st_dev), static_cast<std::uint64_t>(facts.st_ino)};
    return true;
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
