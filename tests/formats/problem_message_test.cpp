// Every format says a problem the same way, "FILE:LINE: field: why": FILE the file read, or for a
// settings folder the file inside it that holds the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/csv_import.h"
#include "formats/enigma2_format.h"
#include "formats/vdr_format.h"

namespace {

enum class Read { Csv, Vdr, Enigma2 };

struct Case {
    int line;
    Read read;
    std::vector<NamedFile> files;  // one file, named as kvx was given it; a settings folder's files
    const char* message;           // of the first problem
};

// lamedb: 1 header, 2 transponders, 3 key, 4 tuning, 5 "/", 6 end, 7 services, 8 key, 9 name, 10 data.
std::string lamedb(const std::string& tuning = "11778000:27500000:1:0:192:2:0", const std::string& name = "Name") {
    return "eDVB services /4/\ntransponders\n00c00000:0437:0001\n\ts " + tuning + "\n/\nend\nservices\n" +
           "283d:00c00000:0437:0001:1:0:0\n" + name + "\np:Prov,c:000100\nend\n";
}

const std::string Service = "#SERVICE 1:0:1:283D:437:1:C00000:0:0:0:\n";

const Case Cases[] = {
    {__LINE__, Read::Csv, {{"list.csv", ""}}, "list.csv:1: no header row: the text is empty"},
    {__LINE__, Read::Csv, {{"list.csv", "name,colour\r\nA,1\r\n"}}, "list.csv:1: colour: unknown column"},
    {__LINE__,
     Read::Csv,
     {{"list.csv", "name,sid\r\nA,1\r\nB,x\r\n"}},
     "list.csv:3: sid: not a whole number (0 to 65535 expected)"},
    {__LINE__,
     Read::Vdr,
     {{"channels.conf", "A:11778:H:S19.2E:27500:0:0:0:0:0:1:1:0\n"}},
     "channels.conf:1: sid: 0: the recorder refuses a channel without a service ID, and with it the whole file"},
    {__LINE__,
     Read::Vdr,
     {{"channels.conf", "\n\xE9t\xE9:11778:H:S19.2E:27500:0:0:0:0:5:1:1:0\n"}},
     "channels.conf:2: name: not UTF-8 (give --codepage with the code page it is in)"},
    {__LINE__,
     Read::Vdr,
     {{"channels.conf", "A;\xE9:11778:H:S19.2E:27500:0:0:0:0:5:1:1:0\n"}},
     "channels.conf:1: name: provider: not UTF-8 (give --codepage with the code page it is in)"},
    {__LINE__, Read::Vdr, {{"channels.conf", ":\xE9\n"}}, "channels.conf:1: group: not UTF-8"},
    {__LINE__,
     Read::Enigma2,
     {{"lamedb", lamedb("117780x0:27500000:1:0:192:2:0")}},
     "settings/lamedb:4: frequency: \"117780x0\" is not a whole number from -2147483648 to 2147483647"},
    {__LINE__,
     Read::Enigma2,
     {{"lamedb5", "eDVB services /5/\nt:00c00000:0437\n"}},
     "settings/lamedb5:2: transponder: a transponder line is t:KEY,TUNING"},
    {__LINE__,
     Read::Enigma2,
     {{"lamedb", lamedb("11778000:27500000:1:0:192:2:0", std::string("N\0e", 3))}},
     "settings/lamedb:9: name: holds a NUL character"},
    {__LINE__,
     Read::Enigma2,
     {{"lamedb", lamedb()}, {"userbouquet.a.tv", "#NAME A\n#SERVICE 1:0:1:28X3D:437:1:C00000:0:0:0:\n"}},
     "settings/userbouquet.a.tv:2: SID: \"28X3D\" is not a hex number up to FFFF"},
    {__LINE__,
     Read::Enigma2,
     {{"lamedb", lamedb()}, {"userbouquet.a.tv", "#NAME A\n" + Service + "#DESCRIPTION N\xE9\n"}},
     "settings/userbouquet.a.tv:2: name: not UTF-8 (give --codepage with the code page it is in)"},
    {__LINE__, Read::Enigma2, {{"bouquets.tv", ""}}, "settings: the settings folder holds neither lamedb nor lamedb5"},
};

TEST(ProblemMessage, FileLineFieldAndWhyInEveryFormat) {
    for (const Case& c : Cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        RecordList records;
        FormatReport report;
        const std::string& text = c.files[0].bytes;
        std::string path = c.files[0].name;
        if (c.read == Read::Csv) {
            EXPECT_FALSE(importCsv(text, FieldContext{}, records, report.problems));
        } else if (c.read == Read::Vdr) {
            EXPECT_FALSE(importVdr(text, FormatOptions{}, records, report));
        } else {
            EXPECT_FALSE(importEnigma2(c.files, FormatOptions{}, records, report));
            path = "settings";
        }
        ASSERT_FALSE(report.problems.empty());
        const ImportProblem& problem = report.problems.front();
        // kvx says a problem in a file of the folder with that file's path.
        EXPECT_EQ(problemMessage(problem.file.empty() ? path : path + "/" + problem.file, problem), c.message);
    }
}

// Export's problems have no line: the list read and the channel.
TEST(ProblemMessage, ExportNamesTheChannel) {
    ChannelRecord record{};
    record.sid.set(1);
    record.name[0] = '\xE9';
    std::string text;
    FormatReport report;
    EXPECT_FALSE(exportVdr({&record, 1}, FormatOptions{}, text, report));
    ASSERT_EQ(report.problems.size(), 1U);
    EXPECT_EQ(problemMessage("list.kvx", report.problems[0]),
              "list.kvx: name: channel 1: not UTF-8 (give --codepage with the list's code page)");
}

}  // namespace
