#pragma once
// CSV cells (RFC 4180: comma, quotes doubled inside quoted cells, CRLF or LF between rows) and the
// form of a text cell that spreadsheets keep as text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// --- Writing ---

// Appends text as one cell: in quotes, with " doubled, when it holds a comma, a quote or a line break.
void appendCsvCell(std::string& out, std::string_view text);

// True when a spreadsheet could read the text as something else: a number, date, time, percentage,
// truth value or formula. The rule is deliberately wide: any digit, a first character among
// = + - @ tab CR LF and space, a last character space or tab, or TRUE / FALSE in any case.
bool spreadsheetWouldConvert(std::string_view text);

// Appends a text cell: as the formula ="text" (quotes in text doubled) when a spreadsheet would
// convert the plain text, which spreadsheets show and save as the text itself; then as a CSV cell.
void appendTextCell(std::string& out, std::string_view text);

// The text a cell stands for: the inside of a cell of the form ="..." (with "" for each "), any other
// cell as it is. The result views cell or scratch.
std::string_view unwrapTextCell(std::string_view cell, std::string& scratch);

// --- Reading ---

struct CsvCell {
    std::string_view raw;  // the cell in the CSV text, when it needed no unquoting
    std::string unquoted;  // the cell's text when it had doubled quotes inside
    bool copied = false;
    int line = 0;                   // where the cell starts, from 1
    const char* problem = nullptr;  // a syntax fault of this cell; its text is then what could be read

    std::string_view text() const { return copied ? std::string_view(unquoted) : raw; }
};

struct CsvReader {
    std::string_view csv;
    std::size_t at = 0;
    int line = 1;
};

// Reads the next row into cells[0..count) (the vector only grows, so its cells keep their buffers
// from row to row). False when the text has ended.
bool readCsvRow(CsvReader& reader, std::vector<CsvCell>& cells, std::size_t& count);

// Where the rows end: the blank lines after the last row are not rows.
std::size_t endOfRows(std::string_view csv);
