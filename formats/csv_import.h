#pragma once
// A channel list from CSV in export's form: rows are the new list, in their order. Each row starts
// from its record cell (a zeroed record when the cell is empty or the column absent) and the named
// columns are written over it.

#include <string>
#include <string_view>
#include <vector>

#include "formats/list_format.h"
#include "lists/large_pages.h"
#include "lists/record_fields.h"

// Fills records, or reports every bad cell and returns false (records then hold nothing useful). A
// problem's line is where its row or cell starts; its field the column's name, empty for a problem of
// the whole row or file.
bool importCsv(std::string_view csv, const FieldContext& context, RecordList& records,
               std::vector<ImportProblem>& problems);
