#pragma once
// The few file steps of a save whose system calls differ between Windows and other systems. Paths
// are the 8-bit strings the file chooser returns and go to the system unchanged.

#include <cstddef>
#include <cstdio>

namespace FileReplace {

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
