// A channel list from CSV: the header names the columns, every further row is one channel. Every
// fault is collected with its line and column before the import gives up, so one run shows them all.
#include "formats/csv_import.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "channel/channel_table.h"
#include "formats/csv_text.h"

namespace {

// What a header cell stands for.
enum class ColumnRole { Ignored, Record, Field, Unknown };

struct Column {
    ColumnRole role = ColumnRole::Ignored;
    const RecordField* field = nullptr;
    const char* known = nullptr;  // the column's name as export writes it; nullptr when unknown
    std::string name;             // as the header writes it
    int line = 1;
};

constexpr std::array<int, 256> makeHexValues() {
    std::array<int, 256> values{};
    for (auto& value : values) value = -1;
    for (int d = 0; d < 10; ++d) values['0' + d] = d;
    for (int d = 0; d < 6; ++d) {
        values['a' + d] = 10 + d;
        values['A' + d] = 10 + d;
    }
    return values;
}

constexpr std::array<int, 256> HexValues = makeHexValues();

// The record cell: 884 hexadecimal digits of the whole record, after an optional x.
bool readRecordCell(std::string_view cell, ChannelRecord& record) {
    if (!cell.empty() && (cell[0] == 'x' || cell[0] == 'X')) cell.remove_prefix(1);
    if (cell.size() != 2 * ChannelRecordSize) return false;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
    for (std::size_t i = 0; i < ChannelRecordSize; ++i) {
        const int high = HexValues[static_cast<unsigned char>(cell[2 * i])];
        const int low = HexValues[static_cast<unsigned char>(cell[2 * i + 1])];
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lower[i]) return false;
    }
    return true;
}

Column headerColumn(std::string_view name, int line) {
    Column column;
    column.name = name;
    column.line = line;
    for (const char* ignored : {"position", "streams"}) {
        if (equalsIgnoringCase(name, ignored)) column.known = ignored;
    }
    if (equalsIgnoringCase(name, "record")) {
        column.role = ColumnRole::Record;
        column.known = "record";
    }
    for (const RecordField& field : RecordFields) {
        if (equalsIgnoringCase(name, field.column)) {
            column.role = ColumnRole::Field;
            column.field = &field;
            column.known = field.column;
        }
    }
    if (column.known == nullptr) column.role = ColumnRole::Unknown;
    return column;
}

// Reads the header into columns; false (with its problems) when it cannot name the columns.
bool readHeader(CsvReader& reader, std::vector<CsvCell>& cells, std::vector<Column>& columns,
                std::vector<ImportProblem>& problems) {
    std::size_t count = 0;
    if (reader.at >= endOfRows(reader.csv) || !readCsvRow(reader, cells, count)) {
        problems.push_back({.line = 1, .why = "no header row: the text is empty"});
        return false;
    }
    std::string scratch;
    std::vector<const char*> seen;  // the known columns so far, at most one of each
    bool anyKnown = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (cells[i].problem != nullptr) problems.push_back({.line = cells[i].line, .why = cells[i].problem});
        Column column = headerColumn(unwrapTextCell(cells[i].text(), scratch), cells[i].line);
        anyKnown = anyKnown || column.known != nullptr;
        if (column.known != nullptr) {
            if (std::find(seen.begin(), seen.end(), column.known) != seen.end()) {
                problems.push_back({.line = column.line, .field = column.name, .why = "duplicate column"});
                column.role = ColumnRole::Ignored;
            } else {
                seen.push_back(column.known);
            }
        }
        columns.push_back(std::move(column));
    }
    if (!anyKnown) {
        problems.push_back({.line = 1, .why = "no header row: the first line names none of the columns"});
        return false;
    }
    for (const Column& column : columns) {
        if (column.role == ColumnRole::Unknown)
            problems.push_back({.line = column.line, .field = column.name, .why = "unknown column"});
    }
    return true;
}

}  // namespace

bool importCsv(std::string_view csv, const FieldContext& context, RecordList& records,
               std::vector<ImportProblem>& problems) {
    records.clear();
    const std::size_t problemsBefore = problems.size();
    constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";  // some spreadsheets start UTF-8 files with it
    if (csv.substr(0, ByteOrderMark.size()) == ByteOrderMark) csv.remove_prefix(ByteOrderMark.size());

    CsvReader reader{csv};
    std::vector<CsvCell> cells;
    std::vector<Column> columns;
    if (!readHeader(reader, cells, columns, problems)) return false;

    // About one row per record cell's worth of text; never more than a list holds.
    const std::size_t expectedRows = csv.size() / (2 * ChannelRecordSize + 64) + 1;
    records.reserve(std::min<std::size_t>(expectedRows, ChannelTable::Capacity));
    std::string scratch;
    std::string why;
    std::size_t count = 0;
    const std::size_t rowsEnd = endOfRows(csv);
    while (reader.at < rowsEnd && readCsvRow(reader, cells, count)) {
        const int line = cells[0].line;
        if (records.size() == static_cast<std::size_t>(ChannelTable::Capacity)) {
            problems.push_back(
                {.line = line, .why = std::string("more than ") + std::to_string(ChannelTable::Capacity) + " rows"});
            break;
        }
        if (count > columns.size()) {
            problems.push_back(
                {.line = line,
                 .why = std::to_string(count) + " cells, more than the header's " + std::to_string(columns.size())});
        }
        const std::size_t used = count < columns.size() ? count : columns.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (cells[i].problem != nullptr) {
                problems.push_back(
                    {.line = cells[i].line, .field = i < used ? columns[i].name : "", .why = cells[i].problem});
            }
        }

        ChannelRecord record{};
        for (std::size_t i = 0; i < used; ++i) {
            if (columns[i].role != ColumnRole::Record) continue;
            const std::string_view cell = unwrapTextCell(cells[i].text(), scratch);
            if (!cell.empty() && !readRecordCell(cell, record)) {
                problems.push_back({.line = cells[i].line,
                                    .field = columns[i].name,
                                    .why = "not a record: 884 hexadecimal digits, after an optional x, expected"});
                record = ChannelRecord{};
            }
        }
        for (std::size_t i = 0; i < used; ++i) {
            const Column& column = columns[i];
            if (column.role != ColumnRole::Field) continue;
            const std::string_view cell = unwrapTextCell(cells[i].text(), scratch);
            // An empty number cell keeps the record's value, as a missing cell does.
            if (cell.empty() && column.field->kind != FieldKind::Text) continue;
            if (!storeFieldValue(record, *column.field, cell, context, why)) {
                problems.push_back({.line = cells[i].line, .field = column.name, .why = why});
            }
        }
        records.push_back(record);
    }
    if (problems.size() == problemsBefore) return true;
    records.clear();
    return false;
}
