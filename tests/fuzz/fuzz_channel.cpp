// Loads arbitrary bytes as a channel file, looks at every record through the views the form uses,
// and saves the table again: the saved file must be exactly the whole records that were loaded.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "channel/channel_table.h"
#include "form/form_text.h"

namespace {

char Folder[64];
char InputPath[96];
char SavedPath[96];
unsigned char SavedBytes[64 * 1024];

// Each record is looked at in a heap block of exactly its size, so that a view reading past the
// record meets the address sanitizer's red zone instead of the next slot.
ChannelRecord* Lone = nullptr;

volatile unsigned Sink;  // keeps the reads below from being optimised away

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_channel: %s\n", what);
    std::abort();
}

void removeFiles() {
    std::remove(InputPath);
    std::remove(SavedPath);
    rmdir(Folder);
}

// The form's texts for one record: the stream cells and the numbers, which must read back as stored.
void exerciseFormTexts(const ChannelRecord& record) {
    TextBuffer text;
    for (int i = 0; i < shownStreamCount(record); ++i) {
        const StreamEntry& entry = record.streams[i];
        streamTypeText(entry, text);
        check(std::strlen(text) >= 6 && std::strlen(text) <= 7, "type cell of an unexpected length");
        streamPidText(entry, text);
        check(parseNumber(text) == entry.pid.get(), "pid cell does not read back");
        streamLangText(entry, text);
        check(std::strlen(text) <= static_cast<std::size_t>(shownLangLength(entry)), "lang cell too long");
        const bool page = streamPageText(entry, text);
        check(page == (entry.kind == StreamKindTeletext || entry.kind == StreamKindSubtitle),
              "page cell on the wrong kind");
        check(!page || parseNumber(text) == entry.page.get(), "page cell does not read back");
    }
    signedNumberText(record.frequency.get(), text);
    check(parseNumber(text) == record.frequency.get(), "frequency text does not read back");
    unsignedNumberText(record.sid.get(), text);
    check(wrap16(parseNumber(text)) == record.sid.get(), "16-bit text does not read back");
}

// The form's conversions of a control text (the first 259 bytes of the input, as a text field
// would hold them), checked against the C library's saturating strtol.
void exerciseControlText(const std::uint8_t* data, std::size_t size) {
    TextBuffer text;
    const std::size_t length = size < TextBufferSize - 1 ? size : TextBufferSize - 1;
    std::memcpy(text, data, length);
    text[length] = '\0';
    const long long reference = std::strtoll(text, nullptr, 10);  // 64 bits saturate far past 32
    const std::int32_t expected = reference > INT32_MAX   ? INT32_MAX
                                  : reference < INT32_MIN ? INT32_MIN
                                                          : static_cast<std::int32_t>(reference);
    check(parseNumber(text) == expected, "parseNumber differs from the saturating reference");

    char field[TextFieldSize];
    std::memset(field, '#', sizeof field);  // a loaded field without a NUL
    storeFieldText(field, text);
    if (fieldText(field).size() == TextFieldSize) {
        check(std::strncmp(text, field, TextFieldSize) == 0 && text[TextFieldSize] == '\0',
              "a field without a NUL was kept for a different text");
        return;
    }
    const std::size_t stored = std::strlen(field);
    check(stored <= std::strlen(text), "stored text too long");
    check(std::memcmp(field, text, stored) == 0, "stored text is not the text's start");
    for (std::size_t i = stored + 1; i < TextFieldSize; ++i) check(field[i] == '#', "bytes after the NUL changed");
}

// Everything the program reads out of one record on its way to the screen. Add new views here.
void exerciseRecord(const ChannelRecord& record) {
    unsigned sum = 0;
    const int streams = shownStreamCount(record);
    check(streams >= 0 && streams <= MaxStreams, "stream count outside 0..32");
    for (int i = 0; i < streams; ++i) {
        const StreamEntry& entry = record.streams[i];
        const int length = shownLangLength(entry);
        check(length >= 0 && length <= MaxLangLength, "language length outside 0..3");
        for (int j = 0; j < length; ++j) sum += static_cast<unsigned char>(entry.lang[j]);
        sum += entry.pid.get() + entry.page.get() + entry.streamType;
    }
    for (const char(*field)[TextFieldSize] : {&record.name, &record.provider}) {
        const auto text = fieldText(*field);
        check(text.size() <= TextFieldSize, "text longer than its field");
        for (const char c : text) sum += static_cast<unsigned char>(c);
        check(std::strlen(fieldTextCopy(*field).text) == text.size(), "copied text differs from the text");
    }
    exerciseFormTexts(record);
    Sink = Sink + sum;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // tmpfs when there is one: every input is written, loaded and saved with a flush to disk.
    std::snprintf(Folder, sizeof Folder, "%s",
                  access("/dev/shm", W_OK) == 0 ? "/dev/shm/fuzz_channel-XXXXXX" : "/tmp/fuzz_channel-XXXXXX");
    if (mkdtemp(Folder) == nullptr) {
        std::perror("fuzz_channel: mkdtemp");
        std::exit(1);
    }
    std::snprintf(InputPath, sizeof InputPath, "%s/input.kvx", Folder);
    std::snprintf(SavedPath, sizeof SavedPath, "%s/saved.kvx", Folder);
    Lone = static_cast<ChannelRecord*>(std::malloc(sizeof(ChannelRecord)));
    std::atexit(removeFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    exerciseControlText(data, size);
    std::FILE* input = std::fopen(InputPath, "wb");
    check(input != nullptr && std::fwrite(data, 1, size, input) == size && std::fclose(input) == 0,
          "cannot write the input file");

    const ChannelTable::FileResult loaded = ChannelTable::load(InputPath);
    check(loaded.ok, loaded.reason);
    const std::size_t whole = size / ChannelRecordSize;
    const std::size_t expected = whole < ChannelTable::Capacity ? whole : ChannelTable::Capacity;
    check(static_cast<std::size_t>(ChannelTable::count) == expected, "count is not the number of whole records");

    for (std::int32_t i = 0; i < ChannelTable::count; ++i) {
        std::memcpy(Lone, &ChannelTable::slots[i], sizeof(ChannelRecord));
        exerciseRecord(*Lone);
        const FieldText name = ChannelTable::nameAt(i);
        check(std::strcmp(name.text, fieldTextCopy(ChannelTable::slots[i].name).text) == 0, "nameAt differs");
    }

    const ChannelTable::FileResult saved = ChannelTable::save(SavedPath);
    check(saved.ok, saved.reason);
    std::FILE* output = std::fopen(SavedPath, "rb");
    check(output != nullptr, "the saved file does not open");
    const std::size_t savedSize = expected * ChannelRecordSize;
    std::size_t done = 0;
    std::size_t got;
    while ((got = std::fread(SavedBytes, 1, sizeof SavedBytes, output)) > 0) {
        check(done + got <= savedSize, "the saved file is too long");
        check(std::memcmp(SavedBytes, data + done, got) == 0, "the saved file differs from the loaded records");
        done += got;
    }
    std::fclose(output);
    check(done == savedSize, "the saved file is too short");
    return 0;
}
