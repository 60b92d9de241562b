#pragma once
// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items) from resource
// bytes, so that tests can compare what the program carries with the layout. Every read is checked
// against the resource's size; texts are the templates' UTF-16 strings as ASCII.

#include <windows.h>

namespace dialog_template {

constexpr int MaxControls = 64;
constexpr int TextSize = 128;

// A name-or-ordinal field: an ordinal when `ordinal` is not -1, else `text`.
struct NameOrOrdinal {
    int ordinal = -1;
    char text[TextSize] = {};
};

struct Item {
    DWORD helpId, exStyle, style;
    short x, y, width, height;
    int id;
    char className[TextSize];  // predefined ordinals 0x80..0x85 are given by their class names
    NameOrOrdinal text;
    WORD creationDataSize;
};

struct Dialog {
    DWORD helpId, exStyle, style;
    WORD count;
    short x, y, width, height;
    NameOrOrdinal menu, windowClass;
    char title[TextSize];
    WORD points, weight;
    BYTE italic, charset;
    char face[TextSize];
    Item items[MaxControls];
};

// False when the bytes are not a complete extended template of at most MaxControls items.
bool parse(const BYTE* bytes, DWORD size, Dialog& out);

}  // namespace dialog_template
