#pragma once
// Settings folders for the Enigma2 tests: the hand-made one under tests/formats/enigma2, the sample
// list, and records of random bytes.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "formats/list_format.h"

inline std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The folder's files, in name order; the names left out are not read.
inline std::vector<NamedFile> folderFiles(const std::filesystem::path& folder,
                                          const std::vector<std::string>& leftOut = {}) {
    std::vector<NamedFile> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(leftOut.begin(), leftOut.end(), name) == leftOut.end())
            files.push_back({name, fileBytes(entry.path())});
    }
    std::sort(files.begin(), files.end(), [](const NamedFile& a, const NamedFile& b) { return a.name < b.name; });
    return files;
}

inline std::vector<ChannelRecord> sampleRecords() {
    const std::string bytes = fileBytes(std::filesystem::path(VESSALY_EXAMPLES_DIR) / "sample.kvx");
    std::vector<ChannelRecord> records(bytes.size() / sizeof(ChannelRecord));
    std::memcpy(records.data(), bytes.data(), records.size() * sizeof(ChannelRecord));
    return records;
}

inline CategoryNames sampleCategories() {
    std::istringstream lines(fileBytes(std::filesystem::path(VESSALY_EXAMPLES_DIR) / "Category.txt"));
    CategoryNames names;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        names.push_back(line);
    }
    return names;
}

// Radio channels after the others, each group in its order: the order a settings folder gives back.
inline void moveRadioLast(std::vector<ChannelRecord>& records) {
    std::stable_partition(records.begin(), records.end(),
                          [](const ChannelRecord& record) { return record.serviceType != 2; });
}

// Random bytes in every field; names and providers random text (without the comma and line breaks
// the settings cannot hold) with random bytes after their NUL, or all 30 bytes without one; TIDs
// distinct, so that no two channels share a transponder key.
inline std::vector<ChannelRecord> randomSettingsRecords(int count, unsigned seed, bool anyTextBytes) {
    std::mt19937 random(seed);
    std::vector<ChannelRecord> records(count);
    for (int i = 0; i < count; ++i) {
        ChannelRecord& record = records[i];
        auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
        for (std::size_t b = 0; b < sizeof record; ++b) bytes[b] = static_cast<std::uint8_t>(random());
        for (char* field : {record.name, record.provider}) {
            const std::size_t length = random() % (TextFieldSize + 1);
            for (std::size_t c = 0; c < length; ++c) {
                char byte = 0;
                do {
                    byte = anyTextBytes ? static_cast<char>(random()) : static_cast<char>(' ' + random() % 95);
                } while (byte == '\0' || byte == ',' || byte == '\r' || byte == '\n');
                field[c] = byte;
            }
            if (length < TextFieldSize) field[length] = '\0';
        }
        record.tid.set(static_cast<std::uint16_t>(i * 3 + 1));
    }
    moveRadioLast(records);
    return records;
}

inline bool sameBytes(std::span<const ChannelRecord> a, std::span<const ChannelRecord> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(ChannelRecord)) == 0;
}
