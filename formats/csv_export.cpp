// A channel list as CSV. One pass, appending to one string reserved for the whole text: at 16384
// channels the text is about 17 MB, most of it the records' hexadecimal digits.
#include "formats/csv_export.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "form/form_text.h"
#include "formats/csv_text.h"

namespace {

constexpr std::array<char, 512> makeHexDigits() {
    constexpr char Digits[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = Digits[b >> 4];
        pairs[2 * b + 1] = Digits[b & 15];
    }
    return pairs;
}

constexpr std::array<char, 512> HexDigits = makeHexDigits();

void appendRecordCell(std::string& out, const ChannelRecord& record) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    // Built on the stack and appended in one go: the text's fresh memory is written once, not
    // cleared first by a resize and then written again.
    char cell[1 + 2 * ChannelRecordSize];
    char* at = cell;
    *at++ = 'x';  // a cell of digits alone would come back from a spreadsheet as a number
    for (std::size_t i = 0; i < ChannelRecordSize; ++i, at += 2)
        std::memcpy(at, &HexDigits[2 * std::size_t{bytes[i]}], 2);
    out.append(cell, sizeof cell);
}

// A number with zeros in front up to width digits, as printf's %0Nd writes it.
void appendPadded(std::string& out, unsigned value, std::size_t width) {
    char digits[16];
    const std::size_t length =
        static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    if (length < width) out.append(width - length, '0');
    out.append(digits, length);
}

// "02 VID 101; 04 AUD 102 eng; 06 TTX 103 page 100": the stream list's cells as the editor shows them,
// for reading only (numbers written here rather than by printf: a list has some 60000 streams).
// Language bytes outside printable ASCII show as '?', so the cell stays readable text.
void appendStreamSummary(std::string& out, const ChannelRecord& record) {
    TextBuffer text;
    for (int i = 0; i < shownStreamCount(record); ++i) {
        const StreamEntry& entry = record.streams[i];
        if (i > 0) out += "; ";
        appendPadded(out, entry.streamType, 2);
        out += ' ';
        out += entry.kind < StreamKindCount ? StreamKindNames[entry.kind] : "---";
        out += ' ';
        appendPadded(out, entry.pid.get(), 3);
        streamLangText(entry, text);
        if (text[0] != '\0') {
            out += ' ';
            for (const char* c = text; *c != '\0'; ++c) out += *c >= 0x20 && *c < 0x7F ? *c : '?';
        }
        if (entry.kind == StreamKindTeletext || entry.kind == StreamKindSubtitle) {
            out += " page ";
            appendPadded(out, entry.page.get(), 2);
        }
    }
}

// The most a text cell takes for text of size bytes: a code page makes a byte at most 3 bytes of
// UTF-8, and the formula form ="..." inside CSV quotes makes a quote 4 bytes.
constexpr std::size_t textCellSize(std::size_t size) { return 7 + 4 * size; }

// The most one stream takes in the summary: "; 255 ---", " 65535", " " and a language of 3 bytes
// (each a doubled quote at worst), " page 65535".
constexpr std::size_t StreamSummarySize = 9 + 6 + 1 + 6 + 11;

// The most a row takes but for its category and streams: position, the commas, name and provider,
// frequency, the 16-bit fields and polarity, service type, the quotes of the streams cell, and the
// record cell with its line end.
constexpr std::size_t FixedRowSize =
    20 + 18 + 2 * textCellSize(TextFieldSize) + 11 + std::size_t{11} * 5 + 5 + 2 + (1 + 2 * ChannelRecordSize) + 2;

}  // namespace

std::size_t csvExportSize(std::span<const ChannelRecord> records, const FieldContext& context) {
    std::size_t size = 32;  // the header's own words and its line end
    for (const RecordField& field : RecordFields) size += 1 + std::strlen(field.column);
    std::size_t categoryCell = 3;
    if (context.categories != nullptr) {
        for (const std::string& name : *context.categories)
            categoryCell = std::max(categoryCell, textCellSize(name.size()));
    }
    // Only the stream count is read: the rest of a record is read once, by the export itself.
    size += records.size() * (FixedRowSize + categoryCell);
    for (const ChannelRecord& record : records)
        size += StreamSummarySize * static_cast<std::size_t>(shownStreamCount(record));
    return size;
}

void appendCsvHeader(std::string& out) {
    out += "position";
    for (const RecordField& field : RecordFields) {
        out += ',';
        out += field.column;
    }
    out += ",streams,record\r\n";
}

void appendCsvRows(std::span<const ChannelRecord> records, std::size_t firstPosition, const FieldContext& context,
                   std::string& out) {
    std::string cell;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ChannelRecord& record = records[i];
        char position[24];
        out.append(position, std::to_chars(position, position + sizeof position, firstPosition + i).ptr);
        for (const RecordField& field : RecordFields) {
            out += ',';
            if (fieldValueIsText(record, field, context)) {
                cell.clear();
                appendFieldValueText(cell, record, field, context);
                appendTextCell(out, cell);
            } else {
                appendFieldValueText(out, record, field, context);  // numbers and short names, never quoted
            }
        }
        out += ',';
        cell.clear();
        appendStreamSummary(cell, record);
        appendCsvCell(out, cell);
        out += ',';
        appendRecordCell(out, record);
        out += "\r\n";
    }
}

void exportCsv(std::span<const ChannelRecord> records, const FieldContext& context, std::string& out) {
    appendCsvHeader(out);
    appendCsvRows(records, 1, context, out);
}
