#include "kvx/list_formats.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef __linux__
#include <fcntl.h>
#endif

#include "channel/channel_table.h"
#include "channel/file_replace.h"
#include "formats/csv_import.h"
#include "formats/enigma2_format.h"
#include "formats/vdr_format.h"
#include "kvx/code_page.h"
#include "kvx/list_files.h"

bool parseListFormat(std::string_view word, ListFormat& format) {
    static const std::pair<const char*, ListFormat> words[] = {
        {"kvx", ListFormat::Kvx}, {"csv", ListFormat::Csv}, {"vdr", ListFormat::Vdr}, {"enigma2", ListFormat::Enigma2}};
    for (const auto& [name, value] : words) {
        if (word == name) {
            format = value;
            return true;
        }
    }
    return false;
}

namespace {

namespace fs = std::filesystem;

bool isSettingsPath(const std::string& path) {
    std::error_code error;
    if (fs::is_directory(fs::path(path), error)) return true;
    const std::string name = fs::path(path).filename().string();
    return name == "lamedb" || name == "lamedb5";
}

// The first line of a file, at most a few hundred bytes of it.
std::string firstLine(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return {};
    char start[512];
    const std::size_t got = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    std::string line(start, got);
    line.erase(0, line.find_first_not_of("\r\n"));  // blank lines before the first are skipped, as the recorder does
    const std::size_t end = line.find_first_of("\r\n");
    if (end != std::string::npos) line.resize(end);
    return line;
}

// A channels.conf line: a group (":Name") or at least nine fields apart by colons (the recorder
// still reads its old nine-field form), with no NUL.
bool looksLikeVdr(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) return false;
    if (!line.empty() && line.front() == ':') return true;
    std::size_t colons = 0;
    for (const char c : line) colons += c == ':';
    return colons >= 8;
}

// A settings file's name and its bytes, mapped: the import reads them in place.
struct SettingsFile {
    std::string name;
    FileBytes bytes;
};

bool readSettingsFolder(const std::string& path, std::vector<SettingsFile>& files, std::string& why) {
    fs::path folder = fs::path(path);
    std::error_code error;
    if (!fs::is_directory(folder, error)) folder = folder.parent_path();
    if (folder.empty()) folder = ".";
    fs::directory_iterator entries(folder, error);
    if (error) {
        why = "Cannot read the settings folder: " + error.message();
        return false;
    }
    // lamedb5 is read only where there is no lamedb: no need to load its bytes otherwise.
    const bool lamedb = fs::is_regular_file(folder / "lamedb", error);
    for (const fs::directory_entry& entry : entries) {
        std::string name = entry.path().filename().string();
        if (!isEnigma2SettingsFile(name) || (lamedb && name == "lamedb5")) continue;
        FileBytes read;
        std::string fileWhy;
        if (!readFileBytes(entry.path().string().c_str(), read, fileWhy)) {
            why = name;
            why += ": ";
            why += fileWhy;
            return false;
        }
        files.push_back({std::move(name), std::move(read)});
    }
    return true;
}

}  // namespace

ListFormat detectListFormat(const std::string& path) {
    if (isSettingsPath(path)) return ListFormat::Enigma2;
    const std::string line = firstLine(path);
    if (line.rfind("position,", 0) == 0) return ListFormat::Csv;
    if (looksLikeVdr(line)) return ListFormat::Vdr;
    return ListFormat::Kvx;
}

bool readListIn(const std::string& path, ListFormat format, const FormatOptions& options,
                std::vector<ChannelRecord>& records, FormatReport& report, std::string& why) {
    if (format == ListFormat::Detect) format = detectListFormat(path);
    if (format == ListFormat::Kvx) {
        ChannelList list;
        if (!readChannelList(path.c_str(), list, why)) return false;
        copyRecords(list.records, records);
        return true;
    }
    if (format == ListFormat::Enigma2) {
        std::vector<SettingsFile> files;
        if (!readSettingsFolder(path, files, why)) return false;
        std::vector<Enigma2File> views;  // made once the files no longer move: a short name lives in its string
        views.reserve(files.size());
        for (const SettingsFile& file : files) views.push_back({file.name, file.bytes.view()});
        reserveOutput(records, ChannelTable::Capacity);  // room only: the list is written into it once
        return importEnigma2(views, options, records, report);
    }
    FileBytes text;
    if (!readFileBytes(path.c_str(), text, why)) return false;
    reserveOutput(records, ChannelTable::Capacity);  // room only: a list is written into it once
    if (format == ListFormat::Vdr) return importVdr(text.view(), options, records, report);
    return importCsv(text.view(), options.context, records, report.problems);
}

namespace {

// One file of a settings folder on its way: written to a temporary file beside its place, which
// replaces the file only once every file of the folder is written, on the disk and read back.
struct PendingFile {
    std::string_view name;
    std::string_view bytes;
    std::string path;
    std::string temporary;
    std::FILE* file = nullptr;  // open from creation until flushed
    bool created = false;
};

std::string systemError() {
    char system[160];
    FileReplace::systemErrorText(system, sizeof system);
    return system;
}

// Asks the system to start putting the file's bytes on the disk, so that the folder's files go
// together and each flush after only waits; only a wish, never an error.
void startWriting(std::FILE* file) {
#ifdef __linux__
    sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    static_cast<void>(file);
#endif
}

bool writeTemporary(PendingFile& pending, std::string& why) {
    FileReplace::clearSystemError();
    pending.file = FileReplace::createNew(pending.temporary.c_str());
    if (pending.file == nullptr) {
        why = "Cannot create a temporary file in the folder: " + systemError();
        return false;
    }
    pending.created = true;
    FileReplace::reserveRoom(pending.file, pending.bytes.size());
    FileReplace::clearSystemError();
    const std::size_t size = pending.bytes.size();
    if ((size > 0 && std::fwrite(pending.bytes.data(), 1, size, pending.file) != size) ||
        std::fflush(pending.file) != 0) {
        why = "Writing " + pending.temporary + " failed: " + systemError();
        return false;
    }
    startWriting(pending.file);
    return true;
}

// Through a mapping of the system's cached copy where there is one, else in pieces.
bool readsBack(const PendingFile& pending, std::string& why) {
    std::size_t mappedSize = 0;
    if (const void* mapped = FileReplace::mapFile(pending.temporary.c_str(), mappedSize)) {
        const bool same =
            mappedSize == pending.bytes.size() && std::memcmp(mapped, pending.bytes.data(), mappedSize) == 0;
        FileReplace::unmapFile(mapped, mappedSize);
        if (!same) why = pending.temporary + " does not read back as it was written.";
        return same;
    }
    FileBytes read;
    if (!readFileBytes(pending.temporary.c_str(), read, why)) return false;
    if (read.view() == pending.bytes) return true;
    why = pending.temporary + " does not read back as it was written.";
    return false;
}

bool flushTemporary(PendingFile& pending, std::string& why) {
    char system[160];
    const bool flushed = FileReplace::flushToDisk(pending.file, system, sizeof system);
    FileReplace::clearSystemError();
    const bool closed = std::fclose(pending.file) == 0;
    pending.file = nullptr;
    if (!flushed) {
        why = "Flushing " + pending.temporary + " to the disk failed: " + system;
        return false;
    }
    if (!closed) {
        why = "Closing " + pending.temporary + " failed: " + systemError();
        return false;
    }
    return readsBack(pending, why);
}

// Closes and removes what is left of the files not put in place.
void dropTemporaries(std::vector<PendingFile>& pending) {
    for (PendingFile& file : pending) {
        if (file.file != nullptr) std::fclose(file.file);
        if (file.created) std::remove(file.temporary.c_str());
        file.file = nullptr;
        file.created = false;
    }
}

}  // namespace

bool saveSettingsFolder(const std::string& folder, std::span<const SettingsFile> files, std::string& why) {
    std::error_code error;
    fs::create_directories(fs::path(folder), error);
    if (error) {
        why = "Cannot create the folder: " + error.message();
        return false;
    }
    const std::string process = std::to_string(FileReplace::processNumber());
    std::vector<PendingFile> pending;
    pending.reserve(files.size());
    for (const SettingsFile& file : files) {
        pending.push_back(
            {file.name, file.bytes, (fs::path(folder) / fs::path(file.name)).string(),
             (fs::path(folder) / fs::path("~vs" + process + "_" + std::string(file.name) + ".tmp")).string()});
    }
    // Every file written, then each flushed and read back, then each put in place: a file that cannot
    // be written, flushed or read back leaves every file of the folder as it was.
    for (PendingFile& file : pending) {
        if (!writeTemporary(file, why)) {
            why.insert(0, std::string(file.name) + ": ");
            dropTemporaries(pending);
            return false;
        }
    }
    for (PendingFile& file : pending) {
        if (!flushTemporary(file, why)) {
            why.insert(0, std::string(file.name) + ": ");
            dropTemporaries(pending);
            return false;
        }
    }
    for (PendingFile& file : pending) {
        char system[160];
        if (!FileReplace::replace(file.temporary.c_str(), file.path.c_str(), system, sizeof system)) {
            why = std::string(file.name) + ": Replacing the file with " + file.temporary + " failed: " + system;
            dropTemporaries(pending);
            return false;
        }
        file.created = false;  // it is the file now
    }
    return true;
}

bool appendCategoryNames(const std::string& path, const CategoryNames& names, int codePage, std::string& why) {
    std::string text;
    if (!readWholeFile(path.c_str(), text, why)) return false;
    const bool crlf = text.find("\r\n") != std::string::npos;
    const char* lineEnd = crlf ? "\r\n" : "\n";
    if (!text.empty() && text.back() != '\n') text += lineEnd;
    for (const std::string& name : names) {
        if (codePage == 0) {
            text += name;
        } else if (std::string converted; utf8ToCodePage(codePage, name, converted, why)) {
            text += converted;
        } else {
            why.insert(0, "category \"" + name + "\": ");
            return false;
        }
        text += lineEnd;
    }
    return saveWholeFile(path.c_str(), text, why);
}

void sayReport(const std::string& file, const FormatReport& report) {
    for (const std::string& note : report.notes) std::fprintf(stderr, "kvx: %s: %s\n", file.c_str(), note.c_str());
    for (const ImportProblem& problem : report.problems) {
        if (problem.line > 0) {
            std::fprintf(stderr, "kvx: %s:%d: %s%s%s\n", file.c_str(), problem.line, problem.column.c_str(),
                         problem.column.empty() ? "" : ": ", problem.why.c_str());
        } else {
            std::fprintf(stderr, "kvx: %s: %s%s%s\n", file.c_str(), problem.column.c_str(),
                         problem.column.empty() ? "" : ": ", problem.why.c_str());
        }
    }
}
