// Export then import gives back every byte of every record, whatever the bytes; an edited cell lands
// in its field and nowhere else.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "form/form_text.h"
#include "formats/csv_export.h"
#include "formats/csv_import.h"
#include "formats/csv_text.h"
#include "lists/code_page.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

// Names a spreadsheet would read as something else, and names that need CSV quoting.
const char* const AwkwardNames[] = {"0123",         "1E5",         "=SUM(1)", "-5",     "+5",    "@home", "TRUE",
                                    "false",        "12/05",       "50%",     "a,b",    "\"",    "=\"\"", "x00ff",
                                    "two\r\nlines", "line\nbreak", " lead",   "trail ", "\ttab", "",      "Say \"hi\""};

// UTF-8, as the caller hands them over; two categories share a name.
const CategoryNames Categories = {"News", "0123", "=SUM(1)", "Same", "Same", "Новости", "a,\"b\"", " "};

// Random bytes break every rule: names without a NUL, stream counts past 32, language lengths past 3,
// odd polarities, service types and categories. Some records get an awkward name or sane numbers.
std::vector<ChannelRecord> randomRecords(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<ChannelRecord> records(count);
    for (int i = 0; i < count; ++i) {
        ChannelRecord& record = records[i];
        auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
        for (std::size_t b = 0; b < ChannelRecordSize; ++b) bytes[b] = static_cast<std::uint8_t>(random());
        if (i % 4 == 0) record.name[random() % TextFieldSize] = '\0';  // bytes after the NUL
        if (i % 4 == 1) {
            const char* name = AwkwardNames[(i / 4) % std::size(AwkwardNames)];
            std::memcpy(record.name, name, std::strlen(name) + 1);
        }
        if (i % 4 == 2) {
            record.polarity.set(i % 8 == 2 ? PolarityVertical : PolarityHorizontal);
            record.serviceType = static_cast<std::uint8_t>(i % 3);
            record.category = static_cast<std::uint8_t>(i % 10);
        }
    }
    return records;
}

std::vector<ChannelRecord> importOrFail(const std::string& csv, const FieldContext& context) {
    RecordList records;
    std::vector<ImportProblem> problems;
    EXPECT_TRUE(importCsv(csv, context, records, problems));
    for (const ImportProblem& problem : problems)
        ADD_FAILURE() << problem.line << " " << problem.field << ": " << problem.why;
    return {records.begin(), records.end()};
}

bool sameBytes(std::span<const ChannelRecord> a, std::span<const ChannelRecord> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(ChannelRecord)) == 0;
}

}  // namespace

TEST(CsvRoundTrip, EveryByteComesBackWithAndWithoutCategoriesAndCodePage) {
    ASSERT_TRUE(codePageAvailable(1251));
    const std::vector<ChannelRecord> records = randomRecords(800, 20240611);
    for (const CategoryNames* categories : {static_cast<const CategoryNames*>(nullptr), &Categories}) {
        for (const int codePage : {0, 1251}) {
            SCOPED_TRACE("categories " + std::to_string(categories != nullptr) + ", code page " +
                         std::to_string(codePage));
            std::string csv;
            exportCsv(records, FieldContext{categories, codePage}, csv);
            EXPECT_TRUE(sameBytes(importOrFail(csv, FieldContext{categories, codePage}), records));
        }
    }
}

// The room export reserves holds its text, so the text is never moved while it grows: random records,
// and the longest cells there are (quotes everywhere, bytes a code page makes 3 bytes of UTF-8, every
// stream with a page and quotes for a language).
TEST(CsvExport, ReservedSizeHoldsTheWholeText) {
    std::vector<ChannelRecord> records = randomRecords(400, 7);
    for (const char fill : {'"', '\x98', '\xE9', '1'}) {
        ChannelRecord record = testRecord("", 65535, 65535);
        std::memset(record.name, fill, TextFieldSize);
        std::memset(record.provider, fill, TextFieldSize);
        record.frequency.set(INT32_MIN);
        record.polarity.set(65535);
        record.serviceType = 255;
        record.category = 7;
        record.streamCount = 255;
        for (StreamEntry& entry : record.streams) entry = {255, {{255, 255}}, 4, 3, {'"', '"', '"'}, {{255, 255}}};
        records.push_back(record);
    }
    const CategoryNames longNames = {"\"\"\"\"\"\"\"\"", "x", "=1", "", "", "", "", "\"=\"\"\""};
    for (const CategoryNames* categories : {static_cast<const CategoryNames*>(nullptr), &Categories, &longNames}) {
        for (const int codePage : {0, 1251}) {
            const FieldContext context{categories, codePage};
            for (std::size_t count : {std::size_t{0}, std::size_t{1}, records.size()}) {
                const std::span<const ChannelRecord> some(records.data() + records.size() - count, count);
                std::string csv;
                exportCsv(some, context, csv);
                const std::size_t reserved = csvExportSize(some, context);
                EXPECT_LE(csv.size(), reserved) << count << " records, code page " << codePage;
                EXPECT_LE(reserved, csv.size() * 3 / 2 + 1024) << "far more than the text needs";
            }
        }
    }
}

// The streams cell reads as the editor's stream list shows each entry, whatever the entry's bytes.
TEST(CsvExport, StreamsCellShowsTheEditorsStreamTexts) {
    const std::vector<ChannelRecord> records = randomRecords(300, 99);
    std::string csv;
    exportCsv(records, FieldContext{}, csv);
    CsvReader reader{csv};
    std::vector<CsvCell> cells;
    std::size_t count = 0;
    ASSERT_TRUE(readCsvRow(reader, cells, count));  // the header
    for (const ChannelRecord& record : records) {
        ASSERT_TRUE(readCsvRow(reader, cells, count));
        ASSERT_EQ(count, std::size_t{RecordFieldCount} + 3);
        std::string expected;
        TextBuffer text;
        for (int i = 0; i < shownStreamCount(record); ++i) {
            const StreamEntry& entry = record.streams[i];
            expected += i > 0 ? "; " : "";
            streamTypeText(entry, text);
            expected += text;
            streamPidText(entry, text);
            expected += std::string(" ") + text;
            streamLangText(entry, text);
            if (text[0] != '\0') expected += ' ';
            for (const char* c = text; *c != '\0'; ++c) expected += *c >= 0x20 && *c < 0x7F ? *c : '?';
            if (streamPageText(entry, text)) expected += std::string(" page ") + text;
        }
        EXPECT_EQ(cells[count - 2].text(), expected);
    }
}

TEST(CsvExport, OneRecordInItsColumnsAndCellForms) {
    ChannelRecord record = testRecord("0123", 1, 17501);
    setText(record.provider, "a,\"b\"");
    record.category = 1;
    record.streams[2] = {0x06, {{103, 0}}, 4, 9, {'"', 1, 'u'}, {{100, 0}}};  // TTX; odd language bytes
    record.streamCount = 3;
    std::string csv;
    exportCsv({&record, 1}, FieldContext{&Categories, 0}, csv);
    EXPECT_EQ(csv.substr(0, csv.rfind(",x") + 18),
              "position,name,provider,frequency,symbol_rate,polarity,tid,sid,pmt_pid,pcr_pid,ecm_pid,video_pid,"
              "audio_pid,teletext_pid,ac3_pid,service_type,category,streams,record\r\n"
              "1,\"=\"\"0123\"\"\",\"a,\"\"b\"\"\",11778000,27500,V,1,17501,256,0,0,257,258,0,0,TV,\"=\"\"0123\"\"\","
              "\"27 VID 257; 04 AUD 258 eng; 06 TTX 103 \"\"?u page 100\",xd0b7b3006c6b5600");
    EXPECT_EQ(csv.size() - csv.rfind(",x"), 1 + 1 + 2 * ChannelRecordSize + 2);
}

// Each cell is written over a known record, or over a zeroed one when there is no record cell.
TEST(CsvImport, CellsAreWrittenOverTheRecordCell) {
    ChannelRecord base = testRecord("Old", 1, 7);
    std::memcpy(base.name + 4, "tail", 4);  // after the NUL
    base.category = 2;
    std::string exported;
    exportCsv({&base, 1}, FieldContext{}, exported);
    const std::string hex = exported.substr(exported.rfind(",x") + 1, 1 + 2 * ChannelRecordSize);
    struct Case {
        const char* column;
        const char* cell;
        int codePage;
        void (*expect)(ChannelRecord&);
    };
    const Case cases[] = {
        {"name", "New", 0, [](ChannelRecord& r) { std::memcpy(r.name, "New", 4); }},
        {"name", "\"=\"\"0123\"\"\"", 0, [](ChannelRecord& r) { std::memcpy(r.name, "0123", 5); }},
        {"name", "", 0, [](ChannelRecord& r) { r.name[0] = '\0'; }},
        {"name", "Первый", 1251, [](ChannelRecord& r) { std::memcpy(r.name, "\xCF\xE5\xF0\xE2\xFB\xE9", 7); }},
        {"name", "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ", 1251,
         [](ChannelRecord& r) { std::memset(r.name, 0xC6, 29), r.name[29] = '\0'; }},
        {"provider", "\"a,\"\"b\"\"\"", 0, [](ChannelRecord& r) { std::memcpy(r.provider, "a,\"b\"", 6); }},
        {"frequency", "-5", 0, [](ChannelRecord& r) { r.frequency.set(-5); }},
        {"frequency", "", 0, [](ChannelRecord&) {}},
        {"sid", "65535", 0, [](ChannelRecord& r) { r.sid.set(65535); }},
        {"ac3_pid", "+0042", 0, [](ChannelRecord& r) { r.ac3Pid.set(42); }},
        {"polarity", "h", 0, [](ChannelRecord& r) { r.polarity.set(PolarityHorizontal); }},
        {"polarity", "0", 0, [](ChannelRecord& r) { r.polarity.set(0); }},
        {"service_type", "radio", 0, [](ChannelRecord& r) { r.serviceType = 2; }},
        {"service_type", "200", 0, [](ChannelRecord& r) { r.serviceType = 200; }},
        {"category", "Новости", 0, [](ChannelRecord& r) { r.category = 5; }},
        {"category", "Same", 0, [](ChannelRecord& r) { r.category = 3; }},
        {"category", "250", 0, [](ChannelRecord& r) { r.category = 250; }},
    };
    for (const Case& c : cases) {
        for (const bool withRecord : {true, false}) {
            SCOPED_TRACE(std::string(c.column) + " = " + c.cell + (withRecord ? ", with the record" : ""));
            ChannelRecord expected = withRecord ? base : ChannelRecord{};
            c.expect(expected);
            const std::string csv =
                std::string(c.column) + ",record\r\n" + c.cell + "," + (withRecord ? hex : "") + "\r\n";
            EXPECT_TRUE(sameBytes(importOrFail(csv, FieldContext{&Categories, c.codePage}),
                                  std::span<const ChannelRecord>(&expected, 1)));
        }
    }
}
