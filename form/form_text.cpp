// The form's text rules: number parsing and formatting, text cuts and the stream list's cell texts.
#include "form/form_text.h"

#include <cstdio>

namespace {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// The C runtime under Wine wraps a number beyond 32 bits around; the program promises the saturating
// atoi of the platform's documentation instead, so the rule is written out here. The magnitude stops
// growing once it passes 2^31, so no length of digits can overflow.
std::int32_t parseNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    constexpr std::int64_t Limit = std::int64_t{1} << 31;  // |INT_MIN|
    std::int64_t magnitude = 0;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        if (magnitude <= Limit) magnitude = magnitude * 10 + (text[at] - '0');
    }
    if (negative) return magnitude >= Limit ? INT32_MIN : static_cast<std::int32_t>(-magnitude);
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

void storeFieldText(char (&field)[TextFieldSize], std::string_view text) {
    const std::string_view end = text.substr(0, text.find('\0'));
    if (end == fieldText(field)) return;
    std::size_t length = 0;
    while (length < text.size() && length < TextFieldSize - 1 && text[length] != '\0') {
        field[length] = text[length];
        ++length;
    }
    field[length] = '\0';
}

void signedNumberText(std::int32_t value, TextBuffer& out) {
    std::snprintf(out, sizeof out, "%d", static_cast<int>(value));
}

void unsignedNumberText(std::uint16_t value, TextBuffer& out) {
    std::snprintf(out, sizeof out, "%u", static_cast<unsigned>(value));
}

void streamTypeText(const StreamEntry& entry, TextBuffer& out) {
    const int type = entry.streamType;
    if (entry.kind < StreamKindCount) {
        std::snprintf(out, sizeof out, "%02d %s", type, StreamKindNames[entry.kind]);
    } else {
        std::snprintf(out, sizeof out, "%02d ---", type);
    }
}

void streamPidText(const StreamEntry& entry, TextBuffer& out) {
    std::snprintf(out, sizeof out, "%03d", static_cast<int>(entry.pid.get()));
}

void streamLangText(const StreamEntry& entry, TextBuffer& out) {
    const int length = shownLangLength(entry);
    for (int i = 0; i < length; ++i) out[i] = entry.lang[i];
    out[length] = '\0';
}

bool streamPageText(const StreamEntry& entry, TextBuffer& out) {
    if (entry.kind != StreamKindTeletext && entry.kind != StreamKindSubtitle) {
        out[0] = '\0';
        return false;
    }
    std::snprintf(out, sizeof out, "%02d", static_cast<int>(entry.page.get()));
    return true;
}
