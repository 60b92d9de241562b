#include "tests/channel/test_files.h"

#include <cstdio>
#include <cstring>
#include <random>

#include "channel/channel_table.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

ScratchFolder::ScratchFolder() {
#ifdef _WIN32
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static unsigned sequence = 0;
    for (;;) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%svessaly-test-%lu-%u", base, GetCurrentProcessId(), sequence++);
        if (CreateDirectoryA(name, nullptr)) {
            path = name;
            return;
        }
    }
#else
    char name[] = "/tmp/vessaly-test-XXXXXX";
    if (mkdtemp(name) != nullptr) path = name;
#endif
}

ScratchFolder::~ScratchFolder() {
    if (!path.empty()) removeTree(path);
}

bool makeFolder(const std::string& path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
#else
    return mkdir(path.c_str(), 0777) == 0;
#endif
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
#else
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    }
    closedir(dir);
#endif
    return names;
}

void removeTree(const std::string& path) {
#ifndef _WIN32
    chmod(path.c_str(), 0700);  // a test may have taken the write permission away
#endif
    for (const std::string& name : folderEntries(path)) {
        std::string inner = path;
        inner += Separator;
        inner += name;
#ifdef _WIN32
        if (GetFileAttributesA(inner.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            removeTree(inner);
        else
            DeleteFileA(inner.c_str());
#else
        struct stat info;
        if (lstat(inner.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            removeTree(inner);
        else
            unlink(inner.c_str());
#endif
    }
#ifdef _WIN32
    RemoveDirectoryA(path.c_str());
#else
    rmdir(path.c_str());
#endif
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

Bytes readFile(const std::string& path) {
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

bool fileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) std::fclose(file);
    return file != nullptr;
}

Bytes randomRecords(int n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(static_cast<std::size_t>(n) * ChannelRecordSize);
    for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(random());
    return bytes;
}

ChannelRecord recordAt(const Bytes& bytes, int index) {
    ChannelRecord record;
    std::memcpy(&record, bytes.data() + static_cast<std::size_t>(index) * ChannelRecordSize, sizeof record);
    return record;
}

Bytes tableBytes() {
    const auto* first = reinterpret_cast<const unsigned char*>(ChannelTable::slots);
    return Bytes(first, first + static_cast<std::size_t>(ChannelTable::count) * ChannelRecordSize);
}

#ifdef _WIN32
bool Unreplaceable::make(const std::string& path) {
    const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return false;
    handle_ = held;
    return true;
}

Unreplaceable::~Unreplaceable() {
    if (handle_ != nullptr) CloseHandle(handle_);
}
#else
bool Unreplaceable::make(const std::string& path) {
    if (mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    mounted_ = path;
    return true;
}

Unreplaceable::~Unreplaceable() {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
}
#endif
