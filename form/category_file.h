#pragma once
// The lines of a category file as the category list takes them, free of any window call, so that
// the editor and kvx number the categories alike.

#include <cstdio>

// Calls add once per item, in file order: each line without its line end (a line feed, or a
// carriage return and a line feed); a line longer than 259 characters arrives as several items.
// False when the file cannot be opened.
bool readCategoryFile(const char* path, void (*add)(const char* name, void* context), void* context);

// The same for a file already open for reading, which stays open.
void readCategoryLines(std::FILE* file, void (*add)(const char* name, void* context), void* context);
