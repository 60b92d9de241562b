// The named fields of a record: their cell texts and how a cell's text is stored back.
#include "lists/record_fields.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "form/form_text.h"
#include "lists/code_page.h"
#include "lists/report_text.h"

const RecordField RecordFields[RecordFieldCount] = {
    {"name", FieldKind::Text, offsetof(ChannelRecord, name)},
    {"provider", FieldKind::Text, offsetof(ChannelRecord, provider)},
    {"frequency", FieldKind::Signed32, offsetof(ChannelRecord, frequency)},
    {"symbol_rate", FieldKind::Unsigned16, offsetof(ChannelRecord, symbolRate)},
    {"polarity", FieldKind::Polarity, offsetof(ChannelRecord, polarity)},
    {"tid", FieldKind::Unsigned16, offsetof(ChannelRecord, tid)},
    {"sid", FieldKind::Unsigned16, offsetof(ChannelRecord, sid)},
    {"pmt_pid", FieldKind::Unsigned16, offsetof(ChannelRecord, pmtPid)},
    {"pcr_pid", FieldKind::Unsigned16, offsetof(ChannelRecord, pcrPid)},
    {"ecm_pid", FieldKind::Unsigned16, offsetof(ChannelRecord, ecmPid)},
    {"video_pid", FieldKind::Unsigned16, offsetof(ChannelRecord, videoPid)},
    {"audio_pid", FieldKind::Unsigned16, offsetof(ChannelRecord, audioPid)},
    {"teletext_pid", FieldKind::Unsigned16, offsetof(ChannelRecord, teletextPid)},
    {"ac3_pid", FieldKind::Unsigned16, offsetof(ChannelRecord, ac3Pid)},
    {"service_type", FieldKind::ServiceType, offsetof(ChannelRecord, serviceType)},
    {"category", FieldKind::Category, offsetof(ChannelRecord, category)},
};

namespace {

constexpr const char* ServiceTypeNames[] = {"Data", "TV", "Radio"};

char (&textField(ChannelRecord& record, const RecordField& field))[TextFieldSize] {
    return field.offset == offsetof(ChannelRecord, name) ? record.name : record.provider;
}

const char (&textField(const ChannelRecord& record, const RecordField& field))[TextFieldSize] {
    return field.offset == offsetof(ChannelRecord, name) ? record.name : record.provider;
}

const std::uint8_t* fieldBytes(const ChannelRecord& record, const RecordField& field) {
    return reinterpret_cast<const std::uint8_t*>(&record) + field.offset;
}

std::uint8_t* fieldBytes(ChannelRecord& record, const RecordField& field) {
    return reinterpret_cast<std::uint8_t*>(&record) + field.offset;
}

std::uint16_t read16(const ChannelRecord& record, const RecordField& field) {
    LittleEndian16 value;
    std::memcpy(&value, fieldBytes(record, field), sizeof value);
    return value.get();
}

void write16(ChannelRecord& record, const RecordField& field, std::uint16_t number) {
    LittleEndian16 value;
    value.set(number);
    std::memcpy(fieldBytes(record, field), &value, sizeof value);
}

bool equalsIgnoringCase(std::string_view text, std::string_view name) {
    if (text.size() != name.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(text[i]) != lower(name[i])) return false;
    }
    return true;
}

enum class NumberRead { Ok, NotNumber, OutOfRange };

// A whole decimal number, optionally signed, nothing else: spreadsheets write numbers that way, and
// anything looser would hide a typing mistake.
NumberRead readNumber(std::string_view cell, std::int64_t minimum, std::int64_t maximum, std::int64_t& number) {
    std::size_t at = 0;
    const bool negative = !cell.empty() && cell[0] == '-';
    if (!cell.empty() && (cell[0] == '-' || cell[0] == '+')) at = 1;
    if (at == cell.size()) return NumberRead::NotNumber;
    std::int64_t magnitude = 0;
    for (; at < cell.size(); ++at) {
        const char c = cell[at];
        if (c < '0' || c > '9') return NumberRead::NotNumber;
        if (magnitude <= INT64_C(1) << 40) magnitude = magnitude * 10 + (c - '0');  // stops growing past any field
    }
    number = negative ? -magnitude : magnitude;
    return number < minimum || number > maximum ? NumberRead::OutOfRange : NumberRead::Ok;
}

bool readNumberOrExplain(std::string_view cell, std::int64_t minimum, std::int64_t maximum, std::int64_t& number,
                         std::string& why) {
    switch (readNumber(cell, minimum, maximum, number)) {
        case NumberRead::Ok: return true;
        case NumberRead::NotNumber: why = "not a whole number"; break;
        case NumberRead::OutOfRange: why = "out of range"; break;
    }
    why += std::string(" (") + std::to_string(minimum) + " to " + std::to_string(maximum) + " expected)";
    return false;
}

// One of names (any case) as values[i], or a number 0..maximum, or false with why naming what was
// expected.
bool readNamedNumber(std::string_view cell, std::int64_t maximum, const char* const* names, const std::int64_t* values,
                     int nameCount, const char* what, std::int64_t& number, std::string& why) {
    for (int i = 0; i < nameCount; ++i) {
        if (equalsIgnoringCase(cell, names[i])) {
            number = values[i];
            return true;
        }
    }
    if (readNumber(cell, 0, maximum, number) == NumberRead::Ok) return true;
    why = std::string("unknown ") + what + " (";
    for (int i = 0; i < nameCount; ++i) why += std::string(names[i]) + ", ";
    why += std::string("or a number 0 to ") + std::to_string(maximum) + " expected)";
    return false;
}

const std::string* categoryName(const ChannelRecord& record, const FieldContext& context) {
    if (context.categories == nullptr || record.category >= context.categories->size()) return nullptr;
    return &(*context.categories)[record.category];
}

// The conversions of the text cell being stored, kept from cell to cell so that an import converts
// without an allocation per cell.
std::string StoredAsUtf8;
std::string CellInCodePage;

bool storeText(ChannelRecord& record, const RecordField& field, std::string_view cell, const FieldContext& context,
               std::string& why) {
    char(&bytes)[TextFieldSize] = textField(record, field);
    std::string& converted = CellInCodePage;
    std::string_view text = cell;
    if (context.codePage == 0) {
        if (cell == fieldText(bytes)) return true;
    } else {
        StoredAsUtf8.clear();
        appendCodePageToUtf8(StoredAsUtf8, context.codePage, fieldText(bytes));
        if (cell == StoredAsUtf8) return true;
        if (!utf8ToCodePage(context.codePage, cell, converted, why)) return false;
        text = converted;
    }
    if (text.find('\0') != std::string_view::npos) {
        why = "holds a NUL character";
        return false;
    }
    if (text.size() > TextFieldSize - 1) {
        why = std::to_string(text.size()) + " bytes";
        if (context.codePage != 0) why += std::string(" in code page ") + std::to_string(context.codePage);
        why += ", more than the 29 the field holds";
        return false;
    }
    storeFieldText(bytes, text);
    return true;
}

}  // namespace

void appendPolarityText(std::string& out, std::uint16_t polarity) {
    if (polarity == PolarityHorizontal)
        out += 'H';
    else if (polarity == PolarityVertical)
        out += 'V';
    else
        appendNumber(out, polarity);
}

std::size_t fieldSize(FieldKind kind) {
    switch (kind) {
        case FieldKind::Text: return TextFieldSize;
        case FieldKind::Signed32: return 4;
        case FieldKind::Unsigned16:
        case FieldKind::Polarity: return 2;
        case FieldKind::ServiceType:
        case FieldKind::Category: return 1;
    }
    return 0;
}

const RecordField* findRecordField(std::string_view column) {
    for (const RecordField& field : RecordFields) {
        if (column == field.column) return &field;
    }
    return nullptr;
}

void appendFieldValueText(std::string& out, const ChannelRecord& record, const RecordField& field,
                          const FieldContext& context) {
    switch (field.kind) {
        case FieldKind::Text: {
            const std::string_view text = fieldText(textField(record, field));
            if (context.codePage == 0)
                out.append(text);
            else
                appendCodePageToUtf8(out, context.codePage, text);
            return;
        }
        case FieldKind::Signed32: {
            LittleEndian32 value;
            std::memcpy(&value, fieldBytes(record, field), sizeof value);
            appendNumber(out, value.get());
            return;
        }
        case FieldKind::Unsigned16: appendNumber(out, read16(record, field)); return;
        case FieldKind::Polarity: appendPolarityText(out, read16(record, field)); return;
        case FieldKind::ServiceType:
            if (record.serviceType < std::size(ServiceTypeNames))
                out.append(ServiceTypeNames[record.serviceType]);
            else
                appendNumber(out, record.serviceType);
            return;
        case FieldKind::Category:
            if (const std::string* name = categoryName(record, context))
                out.append(*name);
            else
                appendNumber(out, record.category);
            return;
    }
}

bool fieldValueIsText(const ChannelRecord& record, const RecordField& field, const FieldContext& context) {
    return field.kind == FieldKind::Text ||
           (field.kind == FieldKind::Category && categoryName(record, context) != nullptr);
}

std::string fieldValueText(const ChannelRecord& record, const RecordField& field, const FieldContext& context) {
    std::string text;
    appendFieldValueText(text, record, field, context);
    return text;
}

bool storeFieldValue(ChannelRecord& record, const RecordField& field, std::string_view cell,
                     const FieldContext& context, std::string& why) {
    std::int64_t number = 0;
    switch (field.kind) {
        case FieldKind::Text: return storeText(record, field, cell, context, why);
        case FieldKind::Signed32: {
            if (!readNumberOrExplain(cell, INT32_MIN, INT32_MAX, number, why)) return false;
            LittleEndian32 value;
            value.set(static_cast<std::int32_t>(number));
            std::memcpy(fieldBytes(record, field), &value, sizeof value);
            return true;
        }
        case FieldKind::Unsigned16:
            if (!readNumberOrExplain(cell, 0, UINT16_MAX, number, why)) return false;
            write16(record, field, static_cast<std::uint16_t>(number));
            return true;
        case FieldKind::Polarity: {
            constexpr const char* Names[] = {"H", "V"};
            constexpr std::int64_t Values[] = {PolarityHorizontal, PolarityVertical};
            if (!readNamedNumber(cell, UINT16_MAX, Names, Values, 2, "polarity", number, why)) return false;
            write16(record, field, static_cast<std::uint16_t>(number));
            return true;
        }
        case FieldKind::ServiceType: {
            constexpr std::int64_t Values[] = {0, 1, 2};
            if (!readNamedNumber(cell, UINT8_MAX, ServiceTypeNames, Values, 3, "service type", number, why))
                return false;
            record.serviceType = static_cast<std::uint8_t>(number);
            return true;
        }
        case FieldKind::Category: {
            // A name two categories share stands for the record's own category when it has that name.
            if (const std::string* name = categoryName(record, context); name != nullptr && cell == *name) return true;
            if (context.categories != nullptr) {
                const CategoryNames& names = *context.categories;
                for (std::size_t i = 0; i < names.size(); ++i) {
                    if (names[i] != cell) continue;
                    if (i > UINT8_MAX) {
                        why = std::string("category at position ") + std::to_string(i) +
                              " in the categories file, past the 255 a record can hold";
                        return false;
                    }
                    record.category = static_cast<std::uint8_t>(i);
                    return true;
                }
            }
            if (readNumber(cell, 0, UINT8_MAX, number) != NumberRead::Ok) {
                why = context.categories != nullptr
                          ? "unknown category (a name from the categories file or a number 0 to 255 expected)"
                          : "not a category number 0 to 255 (no categories file was given)";
                return false;
            }
            record.category = static_cast<std::uint8_t>(number);
            return true;
        }
    }
    return false;
}
