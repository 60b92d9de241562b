#pragma once
// What a name is, without following it, for tests that check what a save left behind.
#ifndef _WIN32
#include <sys/stat.h>

#include <cstdio>
#include <string>

// "file_0640" (with its permission bits), "link", "fifo", "device", "folder" or "none".
inline std::string kindOf(const char* path) {
    struct stat facts {};
    if (lstat(path, &facts) != 0) return "none";
    if (S_ISLNK(facts.st_mode)) return "link";
    if (S_ISFIFO(facts.st_mode)) return "fifo";
    if (S_ISCHR(facts.st_mode)) return "device";
    if (S_ISDIR(facts.st_mode)) return "folder";
    char mode[16];
    std::snprintf(mode, sizeof mode, "file_%04o", static_cast<unsigned>(facts.st_mode & 07777));
    return mode;
}
#endif
