#pragma once
// Pieces of the lines check and diff print: numbers, and texts between quotes that stay one line of
// plain text whatever a record holds.

#include <cstdint>
#include <string>
#include <string_view>

void appendNumber(std::string& out, std::int64_t value);

// Quote and backslash escaped (\", \\), control bytes as \xNN. Bytes from 0x80 are kept when utf8
// says a code page made them UTF-8, and escaped as \xNN when they are a record's own bytes.
void appendPrintable(std::string& out, std::string_view text, bool utf8);
void appendQuoted(std::string& out, std::string_view text, bool utf8);

// A message's text, which may hold bytes from a file: control bytes as \xNN, as above, so that a
// terminal never receives an escape sequence a file chose; quotes, backslashes and bytes from 0x80
// (UTF-8, or a name's own code page) stay as they are.
void appendMessageText(std::string& out, std::string_view text);
