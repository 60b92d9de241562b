// The category drop-down list: one item per line of "Category.txt", in file order, so that an
// item's position is what a record stores.
#include "form/category_list.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/window_services.h"
#include "resources/resource_ids.h"

namespace {

char LineBuffer[260];

// Removes one line end: a line feed, or a carriage return and a line feed.
void stripLineEnd(char* line) {
    std::size_t length = std::strlen(line);
    if (length == 0 || line[length - 1] != '\n') return;
    line[--length] = '\0';
    if (length > 0 && line[length - 1] == '\r') line[length - 1] = '\0';
}

}  // namespace

void loadCategories() {
    std::FILE* file = std::fopen("Category.txt", "r");
    if (file == nullptr) {
        MessageBoxA(nullptr, "Category.txt not found!", "Error", MB_ICONERROR);
        return;
    }
    const HWND categories = control(IDC_CATEGORY);
    // A longer line arrives in 259-character pieces, each its own item.
    while (std::fgets(LineBuffer, sizeof LineBuffer, file) != nullptr) {
        stripLineEnd(LineBuffer);
        SendMessageA(categories, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LineBuffer));
    }
    std::fclose(file);
}
