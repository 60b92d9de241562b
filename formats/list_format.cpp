#include "formats/list_format.h"

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

}  // namespace

std::uint8_t categoryFromGroupName(std::string_view name, const FieldContext& context, FormatReport& report) {
    if (name.empty()) return 255;
    if (context.categories == nullptr) {
        int number = 0;
        if (isCategoryNumber(name, number)) return static_cast<std::uint8_t>(number);
        report.notes.push_back("group \"" + std::string(name) +
                               "\" is not a category number and no categories file was given: no category");
        return 255;
    }
    const CategoryNames& names = *context.categories;
    for (std::size_t i = 0; i < names.size() && i < 255; ++i) {
        if (names[i] == name) return static_cast<std::uint8_t>(i);
    }
    for (std::size_t i = 0; i < report.addedCategories.size(); ++i) {
        if (report.addedCategories[i] == name) return static_cast<std::uint8_t>(names.size() + i);
    }
    const std::size_t position = names.size() + report.addedCategories.size();
    if (position >= 255) {
        report.notes.push_back("group \"" + std::string(name) +
                               "\": the categories file is full (255 names): no category");
        return 255;
    }
    report.addedCategories.emplace_back(name);
    report.notes.push_back("group \"" + std::string(name) + "\" is added to the categories file as category " +
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
