#pragma once
// A channel list from CSV in export's form: rows are the new list, in their order. Each row starts
// from its record cell (a zeroed record when the cell is empty or the column absent) and the named
// columns are written over it.

#include <string>
#include <string_view>
#include <vector>

#include "lists/large_pages.h"
#include "lists/record_fields.h"

struct ImportProblem {
    int line;            // line of the CSV text where the row or cell starts, from 1
    std::string column;  // the column's name, empty for a problem of the whole row or file
    std::string why;
};

// Fills records, or reports every bad cell and returns false (records then hold nothing useful).
bool importCsv(std::string_view csv, const FieldContext& context, RecordList& records,
               std::vector<ImportProblem>& problems);
