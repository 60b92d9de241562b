#pragma once
// The category drop-down list, filled once at start-up from "Category.txt" in the current directory.

void loadCategories();
