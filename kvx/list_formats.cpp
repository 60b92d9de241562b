#include "kvx/list_formats.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "channel/channel_table.h"
#include "formats/csv_import.h"
#include "formats/enigma2_format.h"
#include "formats/vdr_format.h"
#include "kvx/list_files.h"
#include "kvx/receiver_lists.h"
#include "lists/code_page.h"

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

// A settings file's name and its bytes as read: the import reads them in place.
struct ReadSettingsFile {
    std::string name;
    FileBytes bytes;
};

bool readSettingsFolder(const std::string& path, std::vector<ReadSettingsFile>& files, std::string& why) {
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
    if (isReceiverName(path)) return receiverFormat(path);  // a receiver named where a file is
    if (isSettingsPath(path)) return ListFormat::Enigma2;
    const std::string line = firstLine(path);
    if (line.rfind("position,", 0) == 0) return ListFormat::Csv;
    if (looksLikeVdr(line)) return ListFormat::Vdr;
    return ListFormat::Kvx;
}

bool readListIn(const std::string& path, ListFormat format, const FormatOptions& options, RecordList& records,
                FormatReport& report, std::string& why) {
    if (isReceiverName(path)) return readReceiverList(path, format, options, records, report, why);
    if (format == ListFormat::Detect) format = detectListFormat(path);
    if (format == ListFormat::Kvx) {
        ChannelList list;
        if (!readChannelList(path.c_str(), list, why)) return false;
        copyRecords(list.records, records);
        return true;
    }
    if (format == ListFormat::Enigma2) {
        std::vector<ReadSettingsFile> files;
        if (!readSettingsFolder(path, files, why)) return false;
        std::vector<SettingsFile> views;  // made once the files no longer move: a short name lives in its string
        views.reserve(files.size());
        for (const ReadSettingsFile& file : files) views.push_back({file.name, file.bytes.view()});
        reserveOutput(records, ChannelTable::Capacity);  // room only: the list is written into it once
        return importEnigma2(views, options, records, report);
    }
    FileBytes text;
    if (!readFileBytes(path.c_str(), text, why)) return false;
    reserveOutput(records, ChannelTable::Capacity);  // room only: a list is written into it once
    if (format == ListFormat::Vdr) return importVdr(text.view(), options, records, report);
    return importCsv(text.view(), options.context, records, report.problems);
}

bool saveSettingsFolder(const std::string& folder, std::span<const SettingsFile> files, std::string& why) {
    std::error_code error;
    fs::create_directories(fs::path(folder), error);
    if (error) {
        why = "Cannot create the folder: " + error.message();
        return false;
    }
    // Saved as one, so that a failure while writing leaves the whole folder as it was.
    std::vector<std::string> paths;
    std::vector<ChannelFile::FileToSave> saves;
    paths.reserve(files.size());
    for (const SettingsFile& file : files) {
        paths.push_back((fs::path(folder) / fs::path(file.name)).string());
        saves.push_back({paths.back().c_str(), file.bytes.data(), file.bytes.size()});
    }
    ChannelFile::SaveProgress progress{};
    const ChannelFile::FileResult result = ChannelFile::saveFiles(saves.data(), saves.size(), progress);
    if (result.ok) return true;
    why = std::string(files[progress.failedFile].name) + ": " + result.reason;
    if (progress.replaced > 0) {
        why += " (already replaced:";
        for (std::size_t i = 0; i < progress.replaced; ++i) (why += " ") += files[i].name;
        why += ")";
    }
    return false;
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
