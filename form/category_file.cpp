#include "form/category_file.h"

#include <cstdio>
#include <cstring>

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

bool readCategoryFile(const char* path, void (*add)(const char* name, void* context), void* context) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return false;
    readCategoryLines(file, add, context);
    std::fclose(file);
    return true;
}

void readCategoryLines(std::FILE* file, void (*add)(const char* name, void* context), void* context) {
    // A longer line arrives in 259-character pieces, each its own item.
    while (std::fgets(LineBuffer, sizeof LineBuffer, file) != nullptr) {
        stripLineEnd(LineBuffer);
        add(LineBuffer, context);
    }
}
