#pragma once
// Scratch folders and whole-file reads and writes for the channel tests, through the same 8-bit
// path calls the program uses, so names outside ASCII reach the system unchanged.

#include <string>
#include <vector>

#include "channel/channel_record.h"

using Bytes = std::vector<unsigned char>;

#ifdef _WIN32
inline constexpr char Separator = '\\';
#else
inline constexpr char Separator = '/';
#endif

// A new empty folder under the system's temporary folder; removed with everything in it.
struct ScratchFolder {
    std::string path;
    ScratchFolder();
    ~ScratchFolder();
    std::string file(const std::string& name) const { return path + Separator + name; }
};

bool makeFolder(const std::string& path);
void removeTree(const std::string& path);
bool writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);  // empty when the file cannot be read
bool fileExists(const std::string& path);
std::vector<std::string> folderEntries(const std::string& folder);  // names, without "." and ".."

// Keeps an existing file from being replaced while this lives, as another program might: held open
// without sharing writes on Windows (Wine then refuses to replace it); elsewhere mounted on itself,
// which only root may do. make is false where this system cannot.
class Unreplaceable {
public:
    Unreplaceable() = default;
    Unreplaceable(const Unreplaceable&) = delete;
    Unreplaceable& operator=(const Unreplaceable&) = delete;
    ~Unreplaceable();
    bool make(const std::string& path);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    std::string mounted_;
#endif
};

// n records of random bytes (reserved bytes included), seeded so a failure repeats.
Bytes randomRecords(int n, unsigned seed);
ChannelRecord recordAt(const Bytes& bytes, int index);
Bytes tableBytes();  // slots 0..count-1 as one byte image
