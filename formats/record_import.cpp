#include "formats/record_import.h"

#include <algorithm>

#include "form/form_text.h"
#include "lists/code_page.h"
#include "lists/utf8.h"

bool addStream(ChannelRecord& record, std::uint8_t kind, std::uint16_t pid, std::uint8_t streamType,
               std::string_view language) {
    if (pid == 0) return true;
    if (record.streamCount >= MaxStreams) return false;
    StreamEntry& entry = record.streams[record.streamCount++];
    entry.streamType = streamType;
    entry.pid.set(pid);
    entry.kind = kind;
    const std::size_t length = std::min<std::size_t>(language.size(), MaxLangLength);
    entry.langLength = static_cast<std::uint8_t>(length);
    std::copy_n(language.begin(), length, entry.lang);
    return true;
}

StoredText storeImportedText(std::string_view text, const FieldContext& context, char (&field)[TextFieldSize],
                             std::string& converted, std::string& why) {
    std::string_view bytes = text;
    if (context.codePage != 0) {
        if (!utf8ToCodePage(context.codePage, text, converted, why)) return StoredText::Refused;
        bytes = converted;
    } else if (!isUtf8(text)) {
        why = "not UTF-8 (give --codepage with the code page it is in)";
        return StoredText::Refused;
    }
    if (bytes.find('\0') != std::string_view::npos) {
        why = "holds a NUL character";
        return StoredText::Refused;
    }
    std::size_t length = bytes.size();
    const bool cut = length > TextFieldSize - 1;
    if (cut) {
        length = TextFieldSize - 1;
        // In UTF-8 a character's later bytes are 10xxxxxx: the cut moves back to its first byte.
        while (context.codePage == 0 && length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0u) == 0x80u)
            --length;
    }
    storeFieldText(field, bytes.substr(0, length));
    return cut ? StoredText::Cut : StoredText::Whole;
}
