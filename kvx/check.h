#pragma once
// Finds the records of a channel list that break the record's own rules or look suspicious.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "lists/record_fields.h"

// What reading the file found beyond the whole records it returned.
struct ListFileFacts {
    std::uint64_t recordsBeyondCapacity = 0;  // whole records past 16384, which the editor drops
    std::uint64_t trailingBytes = 0;          // a piece shorter than a record at the end
};

// Appends one line per problem to out, each starting "FILE: ", then a count line. Returns the
// number of problems. categories: nullptr when no categories file was given.
std::size_t checkList(std::string_view fileName, std::span<const ChannelRecord> records, const ListFileFacts& facts,
                      const CategoryNames* categories, std::string& out);
