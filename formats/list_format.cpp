#include "formats/list_format.h"

#include <algorithm>
#include <charconv>

#include "lists/code_page.h"

bool parseSatelliteSource(std::string_view text, SatelliteSource& source) {
    if (text.size() < 3 || text.front() != 'S') return false;
    const char side = text.back();
    if (side != 'E' && side != 'W') return false;
    const std::string_view number = text.substr(1, text.size() - 2);
    int degrees = 0;
    const char* end = number.data() + number.size();
    const auto [after, error] = std::from_chars(number.data(), end, degrees);
    if (error != std::errc() || after == number.data() || degrees < 0) return false;
    int tenths = 0;
    if (after != end) {
        if (end - after != 2 || after[0] != '.' || after[1] < '0' || after[1] > '9') return false;
        tenths = after[1] - '0';
    }
    const int position = degrees * 10 + tenths;
    if (position > 1800) return false;
    source.tenthsEast = side == 'E' ? position : -position;
    return true;
}

namespace {

bool isCategoryNumber(std::string_view name, int& number) {
    const auto [after, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    return error == std::errc() && after == name.data() + name.size() && number >= 0 && number <= 254;
}

// The editor reads the categories file in pieces of 259 characters, a line's LF among them: a longer
// line is two categories to it, and every category after it moves by one.
constexpr std::size_t CategoryNameLimit = 258;

bool endsCategoryName(char c) {
    // LF and CR end a line, NUL ends the text the editor takes from one, and Ctrl-Z ends a file read
    // as text on Windows.
    return c == '\n' || c == '\r' || c == '\0' || c == '\x1A';
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// A name changed loses the blanks at its ends, as a group name read from a file has none there.
std::string categoryFileName(std::string_view name, const FieldContext& context, FormatReport& report) {
    std::string written(name);
    const bool ended = std::any_of(written.begin(), written.end(), endsCategoryName);
    if (ended) {
        std::replace_if(written.begin(), written.end(), endsCategoryName, ' ');
        report.notes.push_back("group " + quoted(name) +
                               ": line breaks, NUL and Ctrl-Z end a name in the categories file: written as spaces");
    }
    const auto continues = [&](std::size_t at) { return (static_cast<unsigned char>(written[at]) & 0xC0u) == 0x80u; };
    std::size_t cut = written.size();
    if (context.codePage != 0) {
        std::size_t characters = 0;
        for (std::size_t at = 0; at < written.size(); ++at) {
            if (continues(at)) continue;
            if (characters++ == CategoryNameLimit) {
                cut = at;
                break;
            }
        }
    } else if (written.size() > CategoryNameLimit) {
        cut = CategoryNameLimit;
        while (cut > 0 && continues(cut)) --cut;
    }
    if (cut < written.size()) {
        written.resize(cut);
        report.notes.push_back("group " + quoted(name) + " is longer than the " + std::to_string(CategoryNameLimit) +
                               " bytes of a name in the categories file: cut to its first " +
                               std::to_string(context.codePage != 0 ? CategoryNameLimit : cut) +
                               (context.codePage != 0 ? " characters" : " bytes"));
    }
    if (ended || cut < name.size()) {
        while (!written.empty() && isBlank(written.back())) written.pop_back();
        const std::size_t first = std::find_if_not(written.begin(), written.end(), isBlank) - written.begin();
        written.erase(0, first);
    }
    return written;
}

std::uint8_t categoryOfNoName(std::string_view name, FormatReport& report) {
    report.notes.push_back("group " + quoted(name) + " holds no name the categories file can keep: no category");
    return 255;
}

std::uint8_t categoryFromGroupName(std::string_view name, const FieldContext& context, FormatReport& report) {
    if (name.empty()) return 255;
    if (context.categories == nullptr) {
        int number = 0;
        if (isCategoryNumber(name, number)) return static_cast<std::uint8_t>(number);
        report.notes.push_back("group \"" + std::string(name) +
                               "\" is not a category number and no categories file was given: no category");
        return 255;
    }
    // Names are found and added as the file will hold them.
    const std::string written = categoryFileName(name, context, report);
    if (written.empty()) return categoryOfNoName(name, report);
    const CategoryNames& names = *context.categories;
    for (std::size_t i = 0; i < names.size() && i < 255; ++i) {
        if (names[i] == written) return static_cast<std::uint8_t>(i);
    }
    for (std::size_t i = 0; i < report.addedCategories.size(); ++i) {
        if (report.addedCategories[i] == written) return static_cast<std::uint8_t>(names.size() + i);
    }
    const std::size_t position = names.size() + report.addedCategories.size();
    if (position >= 255) {
        report.notes.push_back("group \"" + written + "\": the categories file is full (255 names): no category");
        return 255;
    }
    report.addedCategories.push_back(written);
    report.notes.push_back("group \"" + written + "\" is added to the categories file as category " +
                           std::to_string(position));
    return static_cast<std::uint8_t>(position);
}

std::string categoryGroupName(std::uint8_t category, const FieldContext& context) {
    if (category == 255) return {};
    if (context.categories != nullptr && category < context.categories->size()) return (*context.categories)[category];
    return std::to_string(category);
}

bool recordTextUtf8(const char (&field)[TextFieldSize], const FieldContext& context, std::string& out) {
    const std::string_view bytes = fieldText(field);
    if (context.codePage != 0) {
        out = codePageToUtf8(context.codePage, bytes);
        return true;
    }
    if (!isUtf8(bytes)) return false;
    out.assign(bytes);
    return true;
}

std::string problemMessage(std::string_view file, const ImportProblem& problem) {
    std::string message(file);
    if (problem.line > 0) message += ':' + std::to_string(problem.line);
    message += ": ";
    if (!problem.field.empty()) message += problem.field + ": ";
    return message + problem.why;
}

std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}
