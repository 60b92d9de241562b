#pragma once
// The files kvx reads and writes. Channel lists are read the way the editor reads them and every
// file is written through the editor's safe save, so a failed write leaves the old file as it was.

#include <string>
#include <string_view>
#include <vector>

#include "kvx/check.h"
#include "kvx/record_fields.h"

struct ChannelList {
    std::vector<ChannelRecord> records;  // the whole records the editor would take, at most 16384
    ListFileFacts facts;                 // what the editor would drop
};

// Each returns false with the reason in why; the reason does not name the file.
bool readChannelList(const char* path, ChannelList& list, std::string& why);
bool readWholeFile(const char* path, std::string& bytes, std::string& why);
bool readCategoryNames(const char* path, int codePage, CategoryNames& names, std::string& why);
bool saveWholeFile(const char* path, std::string_view bytes, std::string& why);
bool saveChannelList(const char* path, const std::vector<ChannelRecord>& records, std::string& why);
