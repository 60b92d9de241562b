#pragma once
// The channel fields kvx reads and writes by name: the CSV columns between position and streams, in
// the order export writes them, and the names check and diff print.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "channel/channel_record.h"

enum class FieldKind {
    Text,         // 30-byte name or provider
    Signed32,     // frequency
    Unsigned16,   // symbol rate, TID, SID and the PIDs
    Polarity,     // "H", "V", or the stored number when it is neither 72 nor 86
    ServiceType,  // "Data", "TV", "Radio", or the stored number
    Category,     // the name from the categories file when given and in range, else the number
};

struct RecordField {
    const char* column;  // CSV column name: "name", "symbol_rate", "pmt_pid", ...
    FieldKind kind;
    std::size_t offset;  // of the field in the 442-byte record
};

inline constexpr int RecordFieldCount = 16;

// name, provider, frequency, symbol_rate, polarity, tid, sid, pmt_pid, pcr_pid, ecm_pid, video_pid,
// audio_pid, teletext_pid, ac3_pid, service_type, category.
extern const RecordField RecordFields[RecordFieldCount];

const RecordField* findRecordField(std::string_view column);  // nullptr for an unknown column

std::size_t fieldSize(FieldKind kind);  // bytes the field takes in the record

// The polarity as its cell shows it: "H" for 72, "V" for 86, else the stored number.
void appendPolarityText(std::string& out, std::uint16_t polarity);

// Category names in file order (position n is category byte n), already in the form cells use:
// converted to UTF-8 when a code page is given.
using CategoryNames = std::vector<std::string>;

// What turns field bytes into cell text and back.
struct FieldContext {
    const CategoryNames* categories = nullptr;  // nullptr: no categories file, categories are numbers
    int codePage = 0;                           // 0: text bytes pass unchanged; else that 8-bit code page <-> UTF-8
};

// The cell text of a field, before any CSV quoting. Text fields are their bytes up to the first NUL
// (all 30 when there is none), converted to UTF-8 when a code page is given (a byte the code page
// does not define becomes U+FFFD).
std::string fieldValueText(const ChannelRecord& record, const RecordField& field, const FieldContext& context);

// fieldValueText appended to out, for callers that write many cells.
void appendFieldValueText(std::string& out, const ChannelRecord& record, const RecordField& field,
                          const FieldContext& context);

// True when the field's cell text is words rather than a number: names, providers, category names.
bool fieldValueIsText(const ChannelRecord& record, const RecordField& field, const FieldContext& context);

// Writes a cell's text into the field. A cell equal to fieldValueText of the record as it stands
// leaves every byte untouched, so a round trip changes nothing. Otherwise text must fit 29 bytes
// (after conversion to the code page; the bytes after the NUL keep their contents) and numbers
// their field's range. Returns false with the reason in why, leaving the record unchanged.
bool storeFieldValue(ChannelRecord& record, const RecordField& field, std::string_view cell,
                     const FieldContext& context, std::string& why);
