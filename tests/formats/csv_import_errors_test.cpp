// Every fault in an imported CSV is reported with its line, its column and why, and then nothing is
// imported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/csv_import.h"

namespace {

const CategoryNames Categories = {"News", "Sport"};

struct Case {
    std::string csv;
    int line;
    const char* column;
    const char* why;  // a fragment of the reason
    bool categories = false;
    int codePage = 0;
};

}  // namespace

TEST(CsvImportErrors, EachFaultIsReportedAtItsLineAndColumnAndNothingIsImported) {
    const std::string hex(884, '0');
    const std::vector<Case> cases = {
        {"name,sid\r\nok,1\r\n123456789012345678901234567890,2\r\n", 3, "name", "30 bytes"},
        {"name\r\n\"=\"\"123456789012345678901234567890\"\"\"\r\n", 2, "name", "30 bytes"},
        {"name\r\n日本\r\n", 2, "name", "U+65E5 is not in code page 1251", false, 1251},
        {"name\r\n\xC3(\r\n", 2, "name", "not UTF-8", false, 1251},
        {"name\r\n\"Очень, очень длинное название!\"\r\n", 2, "name", "30 bytes in code page 1251", false, 1251},
        {"frequency\r\n2147483648\r\n", 2, "frequency", "out of range"},
        {"frequency\r\n99999999999999999999999\r\n", 2, "frequency", "out of range"},
        {"frequency\r\n1E5\r\n", 2, "frequency", "not a whole number"},
        {"sid\r\n65536\r\n", 2, "sid", "out of range"},
        {"ecm_pid\r\n-1\r\n", 2, "ecm_pid", "0 to 65535"},
        {"tid\r\n 12\r\n", 2, "tid", "not a whole number"},
        {"sid\r\n\"=\"\"70000\"\"\"\r\n", 2, "sid", "out of range"},
        {"polarity\r\nX\r\n", 2, "polarity", "unknown polarity"},
        {"polarity\r\n65536\r\n", 2, "polarity", "unknown polarity"},
        {"service_type\r\nTelevision\r\n", 2, "service_type", "unknown service type"},
        {"service_type\r\n256\r\n", 2, "service_type", "0 to 255"},
        {"category\r\nSport\r\n", 2, "category", "no categories file"},
        {"category\r\nWeather\r\n", 2, "category", "unknown category", true},
        {"category\r\n256\r\n", 2, "category", "unknown category", true},
        {"record\r\nx00\r\n", 2, "record", "884 hexadecimal digits"},
        {"record\r\nxg" + hex.substr(1) + "\r\n", 2, "record", "884 hexadecimal digits"},
        {"record\r\n\"x" + hex.substr(1) + ",\"\r\n", 2, "record", "884 hexadecimal digits"},
        {"name,colour\r\n", 1, "colour", "unknown column"},
        {"name,Name\r\n", 1, "Name", "duplicate column"},
        {"", 1, "", "no header row"},
        {"\r\n\r\n", 1, "", "no header row"},
        {"1,Channel One,x" + hex + "\r\n", 1, "", "no header row"},
        {"name\r\na,b\r\n", 2, "", "2 cells"},
        {"name,sid\r\n\"two\nlines\",1\r\nc,70000\r\n", 4, "sid", "out of range"},
        {"name\r\n\"open\r\n", 2, "name", "not closed"},
        {"name,sid\r\n\"a\"b,1\r\n", 2, "name", "after the closing quote"},
        {"name\r\n" + std::string(16385, '\n') + "a\r\n", 16386, "", "more than 16384 rows"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv.substr(0, 80));
        RecordList records(3);
        std::vector<ImportProblem> problems;
        EXPECT_FALSE(
            importCsv(c.csv, FieldContext{c.categories ? &Categories : nullptr, c.codePage}, records, problems));
        EXPECT_TRUE(records.empty());
        ASSERT_EQ(problems.size(), 1u) << (problems.empty() ? "" : problems[1].why);
        EXPECT_EQ(problems[0].line, c.line);
        EXPECT_EQ(problems[0].field, c.column);
        EXPECT_NE(problems[0].why.find(c.why), std::string::npos) << problems[0].why;
    }

    // Several faults in one text: each is found, a row spanning lines puts its cells on their own lines.
    const std::string several =
        "name,colour,sid,record\r\n"
        "ok,,1,\r\n"
        "123456789012345678901234567890,,2,\r\n"
        "\"two\nlines\",,70000,x00\r\n"
        "a,b,c,d,e\r\n";
    const std::vector<std::pair<int, std::string>> expected = {{1, "colour"}, {3, "name"},   {5, "record"}, {5, "sid"},
                                                               {6, ""},       {6, "record"}, {6, "sid"}};
    RecordList records(3);
    std::vector<ImportProblem> problems;
    EXPECT_FALSE(importCsv(several, FieldContext{}, records, problems));
    EXPECT_TRUE(records.empty());
    std::vector<std::pair<int, std::string>> found;
    found.reserve(problems.size());
    for (const ImportProblem& problem : problems) found.emplace_back(problem.line, problem.field);
    EXPECT_EQ(found, expected);
}
