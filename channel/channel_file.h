#pragma once
// The kvx file on disk: reading whole records, and the safe save that every writer of a list (the
// editor, kvx) goes through. No user-interface calls.

#include <cstddef>
#include <cstdint>

#include "channel/channel_record.h"

namespace ChannelFile {

// Why a read or save failed, in words fit for a message box. Empty when it succeeded.
struct FileResult {
    bool ok;
    char reason[256];
};

// What a read found: whole records stored, and what lay beyond them in the file.
struct ReadCounts {
    bool opened;                  // the file was opened, so the records may have been written to
    std::size_t records;          // whole records stored, at most the capacity
    std::uint64_t recordsBeyond;  // whole records past the capacity, not stored
    std::uint64_t trailingBytes;  // a last piece shorter than a record
};

// Reads the file at path, opened with mode ("rb", or "r+b" to insist that it is writable), into
// records[0..capacity) with one read. A file that cannot be opened leaves records untouched. On a
// read error part-way the records hold an unknown part of the file and counts.records is 0. A
// trailing piece may land in the slot after the last whole record.
FileResult readRecords(const char* path, const char* mode, ChannelRecord* records, std::size_t capacity,
                       ReadCounts& counts);

// Writes size bytes to path through a temporary file in the same folder that is checked and read
// back before it replaces the target in one step. On failure the target is untouched and no
// temporary file is left.
//
// Every save writes only over a regular file or a new name. A symbolic link is followed: the file it
// names is replaced (its temporary file beside it) and the link stays. The new file keeps the old
// one's permission bits, and its owner and group where the system allows. Refused before anything
// is written, and left as they are: a FIFO, device, socket or folder; a read-only file; a file with
// other hard links (replacing it would part them, and writing into it in place could leave it half
// written); a link to nothing.
FileResult saveBytes(const char* path, const void* bytes, std::size_t size);

// The same save for a file made while it is written, so that it never has to be whole in memory:
// beginSave, savePiece for each piece in order, finishSave. Each piece is read back as soon as it
// is written and the disk starts on it at once. A step that fails gives the save up (the target
// untouched, no temporary file left); abandonSave gives it up at any other point. One save at a time.
// sizeIfKnown (0: unknown) lets the system set the file's room aside in one step.
FileResult beginSave(const char* path, std::size_t sizeIfKnown);
FileResult savePiece(const void* bytes, std::size_t size);
FileResult finishSave();
void abandonSave();

// Whether a save of path would be refused, and why, without writing anything: for a command that
// must know before it writes any of its files.
FileResult checkTarget(const char* path);

// Several files saved as one: each is written to its temporary file and read back, then all are
// flushed to the disk, and only then is each put in place, in order. A failure before that last
// step leaves every target untouched; one while putting them in place leaves the files before it
// replaced and the rest untouched. No temporary file is left either way.
struct FileToSave {
    const char* path;
    const void* bytes;
    std::size_t size;
};
struct SaveProgress {
    std::size_t failedFile;  // on failure, the index of the file that failed
    std::size_t replaced;    // how many files, from the first, are in place
};
inline constexpr std::size_t SavesTogether = 8;
FileResult saveFiles(const FileToSave* files, std::size_t count, SaveProgress& progress);

}  // namespace ChannelFile
