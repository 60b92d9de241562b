#include "formats/record_import.h"

#include <algorithm>

#include "lists/code_page.h"
#include "lists/utf8.h"

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
    // As storeFieldText stores a text, but at once: the bytes after the NUL stay, and a text the field
    // holds already leaves it untouched.
    const std::string_view stored = bytes.substr(0, length);
    if (stored != fieldText(field)) {
        std::copy_n(stored.data(), length, field);
        field[length] = '\0';
    }
    return cut ? StoredText::Cut : StoredText::Whole;
}
