// CSV cells: quoting on the way out, one pass over the text on the way in (a cell without doubled
// quotes is a view into the text, never a copy), and the text form spreadsheets leave alone.
#include "formats/csv_text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool equalsIgnoringCase(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

// The characters that can end a cell without quotes (CR only before LF); one look-up per character
// keeps the scan over the records' long hexadecimal cells short.
constexpr std::array<bool, 256> makeEndsUnquotedCell() {
    std::array<bool, 256> ends{};
    ends[','] = ends['\n'] = ends['\r'] = true;
    return ends;
}

constexpr std::array<bool, 256> EndsUnquotedCell = makeEndsUnquotedCell();

// Where the run of characters from at that cannot end an unquoted cell stops. Short cells are looked
// at byte by byte; past 32 bytes (a record's 885 digits) memchr finds the nearest comma, line feed and
// carriage return many bytes at a time.
std::size_t endOfUnquotedRun(std::string_view csv, std::size_t at) {
    const std::size_t bytewise = std::min(csv.size(), at + 32);
    while (at < bytewise && !EndsUnquotedCell[static_cast<unsigned char>(csv[at])]) ++at;
    if (at < bytewise || at == csv.size()) return at;
    const char* from = csv.data() + at;
    std::size_t end = csv.size() - at;
    for (const char c : {',', '\n', '\r'}) {
        if (const void* found = std::memchr(from, c, end))
            end = static_cast<std::size_t>(static_cast<const char*>(found) - from);
    }
    return at + end;
}

std::size_t countLineBreaks(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

void appendCsvCell(std::string& out, std::string_view text) {
    // One look at each character (a search for any of a set looks the set up for every character).
    const bool plain =
        std::none_of(text.begin(), text.end(), [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
    if (plain) {
        out.append(text);
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

bool spreadsheetWouldConvert(std::string_view text) {
    if (text.empty()) return false;
    const char first = text.front();
    if (first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' || first == '\r' ||
        first == '\n' || first == ' ')
        return true;
    if (text.back() == ' ' || text.back() == '\t') return true;
    if (std::any_of(text.begin(), text.end(), isDigit)) return true;
    return equalsIgnoringCase(text, "TRUE") || equalsIgnoringCase(text, "FALSE");
}

void appendTextCell(std::string& out, std::string_view text) {
    if (!spreadsheetWouldConvert(text)) {
        appendCsvCell(out, text);
        return;
    }
    // ="text" with the formula's quotes doubled, then quoted as a CSV cell, which doubles every quote
    // again: a"b becomes "=""a""""b""".
    out += "\"=\"\"";
    for (const char c : text) {
        if (c == '"')
            out += "\"\"\"\"";
        else
            out += c;
    }
    out += "\"\"\"";
}

std::string_view unwrapTextCell(std::string_view cell, std::string& scratch) {
    if (cell.size() < 3 || cell[0] != '=' || cell[1] != '"' || cell.back() != '"') return cell;
    const std::string_view inside = cell.substr(2, cell.size() - 3);
    std::size_t quote = inside.find('"');
    if (quote == std::string_view::npos) return inside;
    scratch.clear();
    std::size_t from = 0;
    while (quote != std::string_view::npos) {
        if (quote + 1 >= inside.size() || inside[quote + 1] != '"') return cell;  // a lone quote: not a text formula
        scratch.append(inside.substr(from, quote + 1 - from));
        from = quote + 2;
        quote = inside.find('"', from);
    }
    scratch.append(inside.substr(from));
    return scratch;
}

bool readCsvRow(CsvReader& reader, std::vector<CsvCell>& cells, std::size_t& count) {
    const std::string_view csv = reader.csv;
    std::size_t at = reader.at;
    count = 0;
    if (at >= csv.size()) return false;
    for (;;) {
        if (count == cells.size()) cells.emplace_back();
        CsvCell& cell = cells[count++];
        cell.line = reader.line;
        cell.copied = false;
        cell.problem = nullptr;
        const bool quoted = at < csv.size() && csv[at] == '"';
        if (quoted) {
            ++at;
            std::size_t quote = csv.find('"', at);
            if (quote != std::string_view::npos && (quote + 1 >= csv.size() || csv[quote + 1] != '"')) {
                cell.raw = csv.substr(at, quote - at);  // the common case: no quote inside
                at = quote + 1;
            } else {
                cell.copied = true;
                cell.unquoted.clear();
                for (;;) {
                    if (quote == std::string_view::npos) {
                        cell.unquoted.append(csv.substr(at));
                        cell.problem = "a quoted cell is not closed";
                        at = csv.size();
                        break;
                    }
                    cell.unquoted.append(csv.substr(at, quote - at));
                    if (quote + 1 < csv.size() && csv[quote + 1] == '"') {
                        cell.unquoted += '"';
                        at = quote + 2;
                        quote = csv.find('"', at);
                    } else {
                        at = quote + 1;
                        break;
                    }
                }
            }
            reader.line += static_cast<int>(countLineBreaks(cell.text()));
            if (at < csv.size() && csv[at] != ',' && csv[at] != '\n' &&
                !(csv[at] == '\r' && at + 1 < csv.size() && csv[at + 1] == '\n')) {
                cell.problem = "text after the closing quote";
                while (at < csv.size() && csv[at] != ',' && csv[at] != '\n') ++at;
            }
        } else {
            const std::size_t start = at;
            for (;;) {
                at = endOfUnquotedRun(csv, at);
                if (at < csv.size() && csv[at] == '\r' && !(at + 1 < csv.size() && csv[at + 1] == '\n')) {
                    ++at;  // a CR alone is part of the cell
                    continue;
                }
                break;
            }
            cell.raw = csv.substr(start, at - start);
        }
        if (at >= csv.size()) break;
        if (csv[at] == ',') {
            ++at;
            continue;
        }
        at += csv[at] == '\r' ? 2 : 1;  // the row's line break
        ++reader.line;
        break;
    }
    reader.at = at;
    return true;
}

std::size_t endOfRows(std::string_view csv) {
    const std::size_t last = csv.find_last_not_of("\r\n");
    return last == std::string_view::npos ? 0 : last + 1;
}
