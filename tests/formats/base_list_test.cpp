// One rule over a base list in every format: a file edited in one field gives the base record with
// that field changed and every other byte kept, even where export writes a field otherwise than the
// record holds it (a polarity that is neither H nor V, PCR PID 0, an own audio PID listed second).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "formats/enigma2_format.h"
#include "formats/vdr_format.h"
#include "tests/kvx/kvx_test_records.h"

namespace {

StreamEntry stream(std::uint8_t type, std::uint16_t pid, std::uint8_t kind, const char* language, std::uint16_t page) {
    StreamEntry entry{};
    entry.streamType = type;
    entry.pid.set(pid);
    entry.kind = kind;
    entry.langLength = static_cast<std::uint8_t>(std::strlen(language));
    std::memcpy(entry.lang, language, entry.langLength);
    entry.page.set(page);
    return entry;
}

ChannelRecord baseRecord() {
    ChannelRecord record = testRecord("Kestrel HD", 0x437, 0x283D);
    std::memcpy(record.name + 11, "kept", 4);  // bytes after the NUL
    setText(record.provider, "Kestrel");
    record.frequency.set(11778);
    record.polarity.set(0);  // shown as H
    record.pmtPid.set(0x64);
    record.ecmPid.set(0x1F0);
    record.videoPid.set(0x1FF);
    record.pcrPid.set(0);  // the video PID's
    record.audioPid.set(0x200);
    record.ac3Pid.set(0x202);
    record.teletextPid.set(0x205);
    record.category = 255;
    record.reserved8[1] = 8;
    record.reserved418[5] = 9;
    record.streamCount = 6;
    record.streams[0] = stream(0x1B, 0x1FF, StreamKindVideo, "", 0);
    record.streams[1] = stream(0x04, 0x201, StreamKindAudio, "deu", 0);  // before the record's own audio PID
    record.streams[2] = stream(0x04, 0x200, StreamKindAudio, "eng", 0);
    record.streams[3] = stream(0x06, 0x202, StreamKindAc3, "eng", 0);
    record.streams[4] = stream(0x06, 0x205, StreamKindTeletext, "deu", 100);
    record.streams[5] = stream(0x06, 0x206, StreamKindSubtitle, "deu", 888);
    return record;
}

enum class Format { Vdr, Enigma2 };

struct Edit {
    int line;
    Format format;
    const char* from;  // replaced in the channels.conf, or in lamedb; "" for none
    const char* to;
    std::function<void(ChannelRecord&)> change;  // what that does to the base record
};

void setName(char (&field)[TextFieldSize], const char* text) { std::memcpy(field, text, std::strlen(text) + 1); }

const Edit Edits[] = {
    {__LINE__, Format::Vdr, "", "", [](ChannelRecord&) {}},
    {__LINE__, Format::Vdr, ":11778:H:", ":11779:H:", [](ChannelRecord& r) { r.frequency.set(11779); }},
    {__LINE__, Format::Vdr, ":11778:H:", ":11778:V:", [](ChannelRecord& r) { r.polarity.set(PolarityVertical); }},
    {__LINE__, Format::Vdr, ":511=27:", ":511+300=27:", [](ChannelRecord& r) { r.pcrPid.set(300); }},
    {__LINE__, Format::Vdr, ":511=27:", ":511=36:", [](ChannelRecord& r) { r.streams[0].streamType = 36; }},
    {__LINE__, Format::Vdr, "513=deu@4", "513=fra@4",
     [](ChannelRecord& r) { std::memcpy(r.streams[1].lang, "fra", 3); }},
    {__LINE__, Format::Vdr, "513=deu@4,512=eng@4", "512=eng@4,513=deu@4",
     [](ChannelRecord& r) { std::swap(r.streams[1], r.streams[2]); }},
    {__LINE__, Format::Vdr, "513=deu@4,512=eng@4", "514=deu@4,512=eng@4",
     [](ChannelRecord& r) {
         r.audioPid.set(514);
         r.streams[1].pid.set(514);
     }},
    {__LINE__, Format::Vdr, ":517;", ":520;",
     [](ChannelRecord& r) {
         r.teletextPid.set(520);
         r.streams[4] = stream(0x06, 520, StreamKindTeletext, "", 0);
     }},
    {__LINE__, Format::Vdr, "Kestrel HD;", "Kestrel UHD;", [](ChannelRecord& r) { setName(r.name, "Kestrel UHD"); }},
    {__LINE__, Format::Vdr, ";Kestrel:", ";Kestrel TV:", [](ChannelRecord& r) { setName(r.provider, "Kestrel TV"); }},
    {__LINE__, Format::Enigma2, "", "", [](ChannelRecord&) {}},
    {__LINE__, Format::Enigma2, "s 11778000:", "s 11779000:", [](ChannelRecord& r) { r.frequency.set(11779); }},
    {__LINE__, Format::Enigma2,
     ":27500000:0:", ":27500000:1:", [](ChannelRecord& r) { r.polarity.set(PolarityVertical); }},
    {__LINE__, Format::Enigma2, "c:050001", "c:050006", [](ChannelRecord& r) { r.streams[0].streamType = 0x24; }},
    {__LINE__, Format::Enigma2, "c:010200", "c:010300", [](ChannelRecord& r) { r.audioPid.set(0x300); }},
    {__LINE__, Format::Enigma2, "\nKestrel HD\n", "\nKestrel UHD\n",
     [](ChannelRecord& r) { setName(r.name, "Kestrel UHD"); }},
    {__LINE__, Format::Enigma2, "p:Kestrel,", "p:Kestrel TV,",
     [](ChannelRecord& r) { setName(r.provider, "Kestrel TV"); }},
};

FormatOptions exportOptions() {
    FormatOptions options;
    options.source.tenthsEast = 192;
    options.networkId = 1;
    return options;
}

// The file export writes for the record, with the edit made; false when the edit's text is not there.
bool editedExport(const ChannelRecord& record, const Edit& edit, std::string& vdr, std::vector<NamedFile>& settings) {
    FormatReport report;
    std::string* text = &vdr;
    if (edit.format == Format::Vdr) {
        EXPECT_TRUE(exportVdr({&record, 1}, exportOptions(), vdr, report));
    } else {
        EXPECT_TRUE(exportEnigma2({&record, 1}, exportOptions(), settings, report));
        for (NamedFile& file : settings) {
            if (file.name == "lamedb") text = &file.bytes;
        }
    }
    if (*edit.from == '\0') return true;
    const std::size_t at = text->find(edit.from);
    if (at == std::string::npos) {
        ADD_FAILURE() << "\"" << edit.from << "\" is not in\n" << *text;
        return false;
    }
    text->replace(at, std::strlen(edit.from), edit.to);
    return true;
}

TEST(BaseList, AnEditChangesItsFieldAndKeepsEveryOtherByte) {
    const ChannelRecord base = baseRecord();
    for (const Edit& edit : Edits) {
        SCOPED_TRACE("line " + std::to_string(edit.line));
        std::string vdr;
        std::vector<NamedFile> settings;
        if (!editedExport(base, edit, vdr, settings)) continue;
        FormatOptions options = exportOptions();
        options.base = {&base, 1};
        RecordList records;
        FormatReport report;
        const bool read = edit.format == Format::Vdr ? importVdr(vdr, options, records, report)
                                                     : importEnigma2(settings, options, records, report);
        ASSERT_TRUE(read);
        ASSERT_EQ(records.size(), 1U);
        ChannelRecord want = base;
        edit.change(want);
        for (std::size_t b = 0; b < ChannelRecordSize; ++b) {
            EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&records[0])[b], reinterpret_cast<std::uint8_t*>(&want)[b])
                << "byte " << b;
        }
    }
}

}  // namespace
