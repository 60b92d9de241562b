#pragma once
// The few file steps of a save whose system calls differ between Windows and other systems. Paths
// are the 8-bit strings the file chooser returns and go to the system unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace FileReplace {

// The platform's path buffer, NUL included; the temporary file's name must fit in it too.
inline constexpr std::size_t PathLimit = 260;

// The file a save replaces, as found before anything is written.
struct SaveTarget {
    char path[PathLimit];  // the file itself: the path given, or the file a symbolic link there names
    bool exists;           // else the save makes a new file
    unsigned mode;         // permission bits of the old file (not used on Windows)
    unsigned owner;
    unsigned group;
};

// Finds the file a save of path replaces and refuses, with the reason in why, what a save must not
// replace: anything but a regular file (a FIFO, a device, a folder), a file that is read-only, a
// file with other names (hard links: a new file would part them), a link to nothing. A symbolic
// link is followed, so that the file it names is replaced and the link stays.
bool examineTarget(const char* path, SaveTarget& target, char* why, std::size_t whySize);

// Gives the new file the old one's permission bits, and its owner and group where the system lets
// this process set them, so that a save changes the bytes and nothing else.
bool keepTargetFacts(std::FILE* file, const SaveTarget& target, char* why, std::size_t whySize);

// What tells one file apart from every other on the machine, whatever path names it: the device
// and inode, on Windows the volume serial number and the file index.
struct FileIdentity {
    std::uint64_t volume;
    std::uint64_t index;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file path names, through links; false when there is none.
bool identityOfPath(const char* path, FileIdentity& identity);

// What a file open for reading (a C library file descriptor) is, from the open file itself, not
// from its name, which may name another file by now.
struct OpenFileFacts {
    bool regular;
    std::uint64_t size;     // of a regular file
    const char* kind;       // of anything else: "a FIFO (named pipe)", "a character device", ...
    FileIdentity identity;  // all zero where the system cannot tell
};
bool examineOpenFile(int descriptor, OpenFileFacts& facts);

// Length of the folder part of path, its last separator included; 0 for a bare file name.
std::size_t folderLength(const char* path);

// A number that tells this process apart from others saving into the same folder.
unsigned long processNumber();

// Creates path as a new file open for binary writing; fails if anything of that name exists.
std::FILE* createNew(const char* path);

// Pushes the bytes already handed to the system (after fflush) through to the disk.
bool flushToDisk(std::FILE* file, char* why, std::size_t whySize);

// Tells the system how large the new file will be, so that it can set its room aside in one step
// instead of while the bytes arrive; only a wish, never an error.
void reserveRoom(std::FILE* file, std::size_t size);

// Asks the system to start writing what has been handed to it (after fflush) to the disk, and
// returns at once, so that flushToDisk later waits for less. Only a wish, never an error.
void startWritingToDisk(std::FILE* file);

// Forgets the last system error, so that the next failure reported is the failing call's own.
void clearSystemError();

// The system's own words for the last failed file call: on Windows the message of its error code
// (the C library's errno text stands in only when the call left no code), elsewhere the errno text.
void systemErrorText(char* why, std::size_t whySize);

// Puts the file source in the place of target in one step, replacing an existing target.
bool replace(const char* source, const char* target, char* why, std::size_t whySize);

}  // namespace FileReplace
