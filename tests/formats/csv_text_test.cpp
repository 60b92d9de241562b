// CSV rows split into the same cells whether a cell is short or long (a record's 885 digits), wherever
// its end lies: a comma, a line feed, CR LF, the end of the text; a carriage return alone is text.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "formats/csv_text.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string join(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (const std::string_view piece : pieces) text += piece;
    return text;
}

Rows readAll(std::string_view csv) {
    CsvReader reader{csv};
    std::vector<CsvCell> cells;
    std::size_t count = 0;
    Rows rows;
    while (reader.at < endOfRows(csv) && readCsvRow(reader, cells, count)) {
        rows.emplace_back();
        for (std::size_t i = 0; i < count; ++i) rows.back().emplace_back(cells[i].text());
    }
    return rows;
}

TEST(CsvText, CellsEndWhereverTheirEndLiesWhateverTheirLength) {
    for (const std::size_t length : {1, 31, 32, 33, 40, 885}) {
        const std::string a(length, 'a');
        const std::string b(length, 'b');
        struct Case {
            std::string csv;
            Rows rows;
        };
        const Case cases[] = {
            {join({a, ",", b, "\r\n", b, ",", a, "\r\n"}), {{a, b}, {b, a}}},
            {join({a, ",", b, "\n", b, "\n"}), {{a, b}, {b}}},
            {join({a, "\r", b, ",", b, "\r\n"}), {{join({a, "\r", b}), b}}},
            {join({a, ",", b, "\r"}), {{a, join({b, "\r"})}}},
            {join({a, ",", b}), {{a, b}}},
            {join({a, ",\"", b, "\",", a, "\r\n,\r\n"}), {{a, b, a}, {"", ""}}},
            {join({a, b, "\r\r\n", a}), {{join({a, b, "\r"})}, {a}}},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(length) + " bytes: " + c.csv.substr(0, 80));
            EXPECT_EQ(readAll(c.csv), c.rows);
        }
    }
}

}  // namespace
