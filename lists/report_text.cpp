#include "lists/report_text.h"

#include <charconv>

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

namespace {

void appendEscaped(std::string& out, std::string_view text, bool utf8, bool quotes) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (quotes && (byte == '"' || byte == '\\')) {
            out += '\\';
            out += c;
        } else if ((byte >= 0x20 && byte < 0x7F) || (byte >= 0x80 && utf8)) {
            out += c;
        } else {
            out += "\\x";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        }
    }
}

}  // namespace

void appendPrintable(std::string& out, std::string_view text, bool utf8) { appendEscaped(out, text, utf8, true); }

void appendMessageText(std::string& out, std::string_view text) { appendEscaped(out, text, true, false); }

void appendQuoted(std::string& out, std::string_view text, bool utf8) {
    out += '"';
    appendPrintable(out, text, utf8);
    out += '"';
}
