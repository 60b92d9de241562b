#include "kvx/list_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "channel/channel_file.h"
#include "channel/channel_table.h"
#include "channel/file_replace.h"
#include "form/category_file.h"
#include "kvx/code_page.h"

bool readChannelList(const char* path, ChannelList& list, std::string& why) {
    list.records.resize(ChannelTable::Capacity);
    ChannelFile::ReadCounts counts{};
    const ChannelFile::FileResult result =
        ChannelFile::readRecords(path, "rb", list.records.data(), list.records.size(), counts);
    if (!result.ok) {
        list.records.clear();
        why = result.reason;
        return false;
    }
    list.records.resize(counts.records);
    list.facts.recordsBeyondCapacity = counts.recordsBeyond;
    list.facts.trailingBytes = counts.trailingBytes;
    return true;
}

bool readWholeFile(const char* path, std::string& bytes, std::string& why) {
    char system[160];
    FileReplace::clearSystemError();
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        FileReplace::systemErrorText(system, sizeof system);
        why = std::string("Cannot open the file: ") + system;
        return false;
    }
    bytes.clear();
    char piece[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) bytes.append(piece, got);
    const bool failed = std::ferror(file) != 0;
    if (failed) FileReplace::systemErrorText(system, sizeof system);
    std::fclose(file);
    if (failed) why = std::string("Reading the file failed: ") + system;
    return !failed;
}

namespace {

struct CategoryReading {
    int codePage;
    CategoryNames* names;
};

void addCategoryName(const char* name, void* context) {
    auto* reading = static_cast<CategoryReading*>(context);
    reading->names->push_back(reading->codePage == 0 ? std::string(name) : codePageToUtf8(reading->codePage, name));
}

}  // namespace

bool readCategoryNames(const char* path, int codePage, CategoryNames& names, std::string& why) {
    names.clear();
    CategoryReading reading{codePage, &names};
    FileReplace::clearSystemError();
    if (readCategoryFile(path, addCategoryName, &reading)) return true;
    char system[160];
    FileReplace::systemErrorText(system, sizeof system);
    why = std::string("Cannot open the categories file: ") + system;
    return false;
}

bool saveWholeFile(const char* path, std::string_view bytes, std::string& why) {
    const ChannelFile::FileResult result = ChannelFile::saveBytes(path, bytes.data(), bytes.size());
    if (!result.ok) why = result.reason;
    return result.ok;
}

bool saveChannelList(const char* path, const std::vector<ChannelRecord>& records, std::string& why) {
    const ChannelFile::FileResult result =
        ChannelFile::saveBytes(path, records.data(), records.size() * sizeof(ChannelRecord));
    if (!result.ok) why = result.reason;
    return result.ok;
}
