// The CSV goes through a real spreadsheet: LibreOffice opens the exported file and saves it as CSV
// again, and importing that must give back every byte of the records.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/csv_export.h"
#include "formats/csv_import.h"
#include "lists/code_page.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

namespace fs = std::filesystem;

const CategoryNames Categories = {"News", "Sport", "Movies", "Kids", "1990s", "Radio"};

// Channels like the sample list's, under names a spreadsheet would turn into something else. The
// names are UTF-8 here; with a code page the records hold them in its bytes.
std::vector<ChannelRecord> listFor(int codePage) {
    std::vector<std::string> names = {"Norrvik 1", "Meridian Docs", "Первый канал", "Россия 1",    "ТНТ4",
                                      "\"Ёлка\"",  "0123",          "1E5",          "=SUM(1)",     "-5",
                                      "+5",        "@home",         "TRUE",         "false",       "12/05",
                                      "10:30",     "50%",           "1,5",          "Say \"hi\"",  " padded ",
                                      "#N/A",      "'quoted",       "x0",           "line\nbreak", "line\n2"};
    std::string bytes, why;
    for (std::string& name : names) {
        if (codePage != 0 && utf8ToCodePage(codePage, name, bytes, why)) name = bytes;
    }
    std::vector<ChannelRecord> list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ChannelRecord record =
            testRecord(names[i], static_cast<std::uint16_t>(1011 + i / 4), static_cast<std::uint16_t>(10111 + i));
        setText(record.provider, names[names.size() - 1 - i]);
        record.polarity.set(i % 2 == 0 ? PolarityVertical : PolarityHorizontal);
        record.serviceType = static_cast<std::uint8_t>(i % 3);
        record.category = static_cast<std::uint8_t>(i % 8);  // past the categories: a number
        list.push_back(record);
    }
    list[0].streams[2] = {0x06, {{0x18, 0x01}}, 4, 3, {'s', 'w', 'e'}, {{100, 0}}};      // teletext
    list[0].streams[3] = {0x06, {{0x19, 0x01}}, 5, 3, {'s', 'w', 'e'}, {{0x78, 0x03}}};  // subtitles, page 888
    list[0].streamCount = 4;
    list[1].frequency.set(INT32_MIN);
    list[1].polarity.set(0);
    list[1].serviceType = 7;
    list[1].category = 200;
    std::memset(list[1].reserved418, 0xA5, sizeof list[1].reserved418);
    list[2].frequency.set(INT32_MAX);
    list[2].ecmPid.set(65535);
    return list;
}

std::string readText(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

}  // namespace

TEST(SpreadsheetRoundTrip, LibreOfficeKeepsEveryByte) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "soffice (LibreOffice) is not installed: the spreadsheet round trip is not tested";
    }
    ASSERT_TRUE(codePageAvailable(1251));
    std::string folderName = (fs::temp_directory_path() / "kvx-spreadsheet-XXXXXX").string();
    ASSERT_NE(mkdtemp(folderName.data()), nullptr);
    const fs::path folder = folderName;
    fs::create_directory(folder / "in");
    const int codePages[] = {0, 1251};
    std::string files;
    for (const int codePage : codePages) {
        std::string csv;
        exportCsv(listFor(codePage), FieldContext{&Categories, codePage}, csv);
        const fs::path file = folder / "in" / ("list-" + std::to_string(codePage) + ".csv");
        std::ofstream(file, std::ios::binary) << csv;
        files += " '" + file.string() + "'";
    }
    // Both files in one run, since starting LibreOffice is most of the time; its own profile, so that
    // a LibreOffice already open or a parallel run cannot interfere.
    const std::string command = "timeout 300 soffice -env:UserInstallation=file://" + (folder / "profile").string() +
                                " --headless --infilter=CSV:44,34,76"
                                " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir '" +
                                (folder / "out").string() + "'" + files + " >'" + (folder / "log").string() + "' 2>&1";
    const int status = std::system(command.c_str());

    for (const int codePage : codePages) {
        SCOPED_TRACE("code page " + std::to_string(codePage));
        const std::string converted = readText(folder / "out" / ("list-" + std::to_string(codePage) + ".csv"));
        ASSERT_FALSE(converted.empty()) << "soffice (status " << status << ") wrote nothing:\n"
                                        << readText(folder / "log");
        const std::vector<ChannelRecord> list = listFor(codePage);
        RecordList back;
        std::vector<ImportProblem> problems;
        EXPECT_TRUE(importCsv(converted, FieldContext{&Categories, codePage}, back, problems));
        for (const ImportProblem& p : problems) ADD_FAILURE() << p.line << " " << p.field << ": " << p.why;
        ASSERT_EQ(back.size(), list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(std::memcmp(&back[i], &list[i], sizeof(ChannelRecord)), 0)
                << "row " << i + 2 << ": name " << fieldText(list[i].name) << " came back as "
                << fieldText(back[i].name);
        }
    }
    fs::remove_all(folder);
}
