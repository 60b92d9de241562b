#include "tests/resources/dialog_template.h"

#include <cstdio>
#include <cstring>

namespace dialog_template {
namespace {

struct Reader {
    const BYTE* bytes;
    DWORD size;
    DWORD at = 0;
    bool ok = true;

    WORD word() {
        if (!ok || at > size || size - at < 2) {
            ok = false;
            return 0;
        }
        const WORD value = static_cast<WORD>(bytes[at] | static_cast<WORD>(bytes[at + 1]) << 8);
        at += 2;
        return value;
    }
    DWORD dword() {
        const DWORD low = word();
        return low | static_cast<DWORD>(word()) << 16;
    }
    short coordinate() { return static_cast<short>(word()); }
    BYTE byte() {
        if (!ok || at >= size) {
            ok = false;
            return 0;
        }
        return bytes[at++];
    }
    void alignDword() { at = (at + 3) & ~3u; }

    // A NUL-terminated UTF-16 string; characters beyond ASCII become '?'.
    void string(char (&text)[TextSize]) {
        int length = 0;
        for (WORD c = word(); ok && c != 0; c = word()) {
            if (length == TextSize - 1) {
                ok = false;
                break;
            }
            text[length++] = c < 128 ? static_cast<char>(c) : '?';
        }
        text[length] = '\0';
    }
    void nameOrOrdinal(NameOrOrdinal& field) {
        if (ok && at <= size && size - at >= 2 && bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
            word();
            field.ordinal = word();
            field.text[0] = '\0';
        } else {
            field.ordinal = -1;
            string(field.text);
        }
    }
};

const char* predefinedClass(int ordinal) {
    switch (ordinal) {
        case 0x80: return "Button";
        case 0x81: return "Edit";
        case 0x82: return "Static";
        case 0x83: return "ListBox";
        case 0x84: return "ScrollBar";
        case 0x85: return "ComboBox";
        default: return nullptr;
    }
}

}  // namespace

bool parse(const BYTE* bytes, DWORD size, Dialog& out) {
    if (bytes == nullptr) return false;
    Reader in{bytes, size};
    const WORD version = in.word();
    const WORD signature = in.word();
    if (!in.ok || version != 1 || signature != 0xFFFF) return false;
    out.helpId = in.dword();
    out.exStyle = in.dword();
    out.style = in.dword();
    out.count = in.word();
    out.x = in.coordinate();
    out.y = in.coordinate();
    out.width = in.coordinate();
    out.height = in.coordinate();
    in.nameOrOrdinal(out.menu);
    in.nameOrOrdinal(out.windowClass);
    in.string(out.title);
    out.points = out.weight = 0;
    out.italic = out.charset = 0;
    out.face[0] = '\0';
    if (out.style & DS_SETFONT) {  // DS_SHELLFONT includes it
        out.points = in.word();
        out.weight = in.word();
        out.italic = in.byte();
        out.charset = in.byte();
        in.string(out.face);
    }
    if (!in.ok || out.count > MaxControls) return false;
    for (int i = 0; i < out.count; ++i) {
        Item& item = out.items[i];
        in.alignDword();
        item.helpId = in.dword();
        item.exStyle = in.dword();
        item.style = in.dword();
        item.x = in.coordinate();
        item.y = in.coordinate();
        item.width = in.coordinate();
        item.height = in.coordinate();
        item.id = static_cast<int>(in.dword());
        NameOrOrdinal windowClass;
        in.nameOrOrdinal(windowClass);
        const char* known = predefinedClass(windowClass.ordinal);
        if (windowClass.ordinal != -1 && known == nullptr) return false;
        std::snprintf(item.className, sizeof item.className, "%s", known != nullptr ? known : windowClass.text);
        in.nameOrOrdinal(item.text);
        item.creationDataSize = in.word();
        in.at += item.creationDataSize;
        if (!in.ok || in.at > size) return false;
    }
    return in.ok;
}

}  // namespace dialog_template
