#pragma once
// A channel list as CSV (RFC 4180, comma, CRLF, header row): position, the record fields, a readable
// stream summary, and the whole record as "x" and 884 hexadecimal digits.

#include <cstddef>
#include <span>
#include <string>

#include "lists/record_fields.h"

// Appends the header and one row per record, in list order, into the room the caller reserved
// (csvExportSize: reading the records for it once is enough). Text cells a spreadsheet would turn
// into a number, date, truth value or formula are written in a form that keeps them text.
void exportCsv(std::span<const ChannelRecord> records, const FieldContext& context, std::string& out);

// The same text in parts, for a list written while it is made: the header, then rows for records
// whose first is at firstPosition (from 1) in the list.
void appendCsvHeader(std::string& out);
void appendCsvRows(std::span<const ChannelRecord> records, std::size_t firstPosition, const FieldContext& context,
                   std::string& out);

// At least the bytes exportCsv appends for records (the longest form every cell could take, from the
// stream counts alone): room for the whole text reserved once, so the text is never moved while it
// grows.
std::size_t csvExportSize(std::span<const ChannelRecord> records, const FieldContext& context);
