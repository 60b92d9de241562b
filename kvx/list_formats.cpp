#include "kvx/list_formats.h"

#include <algorithm>
#include <cstdint>
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
#include "lists/report_text.h"

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

// The first line of a text, without the blank lines before it (the recorder skips them too).
std::string_view firstLine(std::string_view text) {
    const std::size_t start = std::min(text.find_first_not_of("\r\n"), text.size());
    text.remove_prefix(start);
    return text.substr(0, text.find_first_of("\r\n"));
}

// Text in UTF-16 or UTF-32, by its byte-order mark: kvx reads 8-bit text and UTF-8 only. UTF-32's
// little-endian mark starts like UTF-16's, so it is asked first.
const char* wideTextName(std::string_view text) {
    using namespace std::string_view_literals;
    if (text.starts_with("\xFF\xFE\0\0"sv) || text.starts_with("\0\0\xFE\xFF"sv)) return "UTF-32";
    if (text.starts_with("\xFF\xFE"sv) || text.starts_with("\xFE\xFF"sv)) return "UTF-16";
    return nullptr;
}

// Text as a format reads it: past a UTF-8 byte-order mark, which spreadsheets put before a CSV they
// save; false, with why, for UTF-16 and UTF-32.
bool textAsRead(std::string_view& text, std::string& why) {
    if (const char* wide = wideTextName(text)) {
        why = std::string("This is ") + wide + " text (it starts with a byte-order mark): save it as UTF-8.";
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return true;
}

// At most the first 80 characters of a line for a message, control bytes escaped, between quotes.
std::string quotedStart(std::string_view line) {
    constexpr std::size_t Shown = 80;
    std::size_t cut = 0;
    for (std::size_t characters = 0; cut < line.size() && characters < Shown; ++characters) {
        ++cut;
        while (cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) ++cut;
    }
    std::string out = "\"";
    appendMessageText(out, line.substr(0, cut));
    out += cut < line.size() ? "...\"" : "\"";
    return out;
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
        if (!readFileBytes(entry.path().string().c_str(), FileRole::Settings, read, fileWhy)) {
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

bool detectListFormat(const std::string& path, ListFormat& format, std::string& why) {
    if (isReceiverName(path)) {  // a receiver named where a file is
        format = receiverFormat(path);
        return true;
    }
    if (isSettingsPath(path)) {
        format = ListFormat::Enigma2;
        return true;
    }
    char start[512];
    std::size_t got = 0;
    std::uint64_t size = 0;
    if (!peekFile(path.c_str(), start, sizeof start, got, size, why)) return false;
    const std::string_view bytes(start, got);
    std::string_view text = bytes;
    if (!textAsRead(text, why)) return false;
    const std::string_view line = firstLine(text);
    if (line.starts_with("position,")) {
        format = ListFormat::Csv;
        return true;
    }
    if (looksLikeVdr(line)) {
        format = ListFormat::Vdr;
        return true;
    }
    // A kvx list is whole records, and no record is text: each holds NUL bytes (zero fields, the
    // padding of its names). Anything else is refused for what it is, never matched against.
    const std::string_view record = bytes.substr(0, ChannelRecordSize);
    if (size > 0 && size % ChannelRecordSize == 0 && record.find('\0') != std::string_view::npos) {
        format = ListFormat::Kvx;
        return true;
    }
    if (size == 0) {
        why = "The file is empty: no list of any format kvx reads.";
    } else if (text.find('\0') == std::string_view::npos) {
        why =
            "This is text, but neither CSV in export's form (whose first line starts \"position,\") nor a "
            "channels.conf: its first line is " +
            quotedStart(line) + ".";
    } else {
        why = "This is no list kvx reads: binary, but " + std::to_string(size) +
              " bytes are not whole 442-byte records of a kvx list.";
    }
    return false;
}

bool readListIn(const std::string& path, ListFormat format, const FormatOptions& options, RecordList& records,
                FormatReport& report, std::string& why) {
    if (isReceiverName(path)) return readReceiverList(path, format, options, records, report, why);
    if (format == ListFormat::Detect && !detectListFormat(path, format, why)) return false;
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
    FileBytes file;
    if (!readFileBytes(path.c_str(), format == ListFormat::Vdr ? FileRole::Vdr : FileRole::Csv, file, why))
        return false;
    std::string_view text = file.view();
    if (!textAsRead(text, why)) return false;
    reserveOutput(records, ChannelTable::Capacity);  // room only: a list is written into it once
    if (format == ListFormat::Vdr) return importVdr(text, options, records, report);
    return importCsv(text, options.context, records, report.problems);
}

bool saveSettingsFolder(const std::string& folder, std::span<const SettingsFile> files, std::string& why) {
    if (folder == "-") return mayWrite(folder, FileRole::Settings, why);  // says why not
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
        if (!mayWrite(paths.back(), FileRole::Settings, why)) {
            why.insert(0, std::string(file.name) + ": ");
            return false;
        }
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
    if (!readWholeFile(path.c_str(), FileRole::Categories, text, why)) return false;
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
    return saveWholeFile(path.c_str(), FileRole::Categories, text, why);
}

// Notes and problems quote names and lines from the file: every one is printed escaped.
void sayReport(const std::string& file, const FormatReport& report) {
    std::string out;
    const auto say = [&](std::string_view message) {
        out = "kvx: ";
        appendMessageText(out, message);
        out += '\n';
        std::fputs(out.c_str(), stderr);
    };
    for (const std::string& note : report.notes) {
        std::string message = file;
        (message += ": ") += note;
        say(message);
    }
    for (const ImportProblem& problem : report.problems) {
        // A problem in one file of a settings folder (named by the folder or by its lamedb) is said
        // with that file's own path.
        std::string where = file;
        if (!problem.file.empty()) {
            std::error_code error;
            const fs::path folder =
                fs::is_directory(fs::path(file), error) ? fs::path(file) : fs::path(file).parent_path();
            where = (folder / problem.file).string();
        }
        say(problemMessage(where, problem));
    }
}
