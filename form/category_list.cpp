// The category drop-down list: one item per line of "Category.txt", in file order, so that an
// item's position is what a record stores.
#include "form/category_list.h"

#include <windows.h>

#include "form/category_file.h"
#include "form/dialog_controls.h"
#include "resources/resource_ids.h"

namespace {

void addCategory(const char* name, void* categories) {
    SendMessageA(static_cast<HWND>(categories), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

}  // namespace

void loadCategories() {
    if (!readCategoryFile("Category.txt", addCategory, control(IDC_CATEGORY))) {
        MessageBoxA(nullptr, "Category.txt not found!", "Error", MB_ICONERROR);
    }
}
