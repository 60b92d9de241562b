#pragma once
// What every import does to the records it makes, whatever the format: a name or provider read from
// the file stored in its 30-byte field, and the stream entries the file gives added.
//
// With a base list every import keeps one rule: a field the file carries keeps the base record's
// bytes where the file holds the value export writes for the base, and takes the file's value where
// it holds another. Export may write a field otherwise than the record holds it (MHz as kHz, a
// polarity other than H and V as H): the base's bytes are then what the file means, so a list
// exported and imported over itself comes back byte for byte. Each format compares the fields it
// carries in its applyToBase.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "channel/channel_record.h"
#include "lists/record_fields.h"

// Stream types (as a PMT gives them) of streams whose type the file does not say.
inline constexpr std::uint8_t MpegAudioStreamType = 0x04;
inline constexpr std::uint8_t PrivateDataStreamType = 0x06;  // AC-3, teletext and subtitles come as private data

// Adds a stream entry of that kind, PID and type, with its language (three letters at most). Nothing
// for PID 0. False when the record already holds the 32 entries it can. Here, so that an import adding
// a few for every channel makes no call for each.
inline bool addStream(ChannelRecord& record, std::uint8_t kind, std::uint16_t pid, std::uint8_t streamType,
                      std::string_view language = {}) {
    if (pid == 0) return true;
    if (record.streamCount >= MaxStreams) return false;
    StreamEntry& entry = record.streams[record.streamCount++];
    entry.streamType = streamType;
    entry.pid.set(pid);
    entry.kind = kind;
    const std::size_t length = std::min<std::size_t>(language.size(), MaxLangLength);
    entry.langLength = static_cast<std::uint8_t>(length);
    std::copy_n(language.begin(), length, entry.lang);
    return true;
}

enum class StoredText { Whole, Cut, Refused };

// A name or provider read from a file, already in UTF-8 as the record takes it, into a field: in the
// context's code page when it gives one, else as it is, which must be UTF-8. The field holds 29 bytes
// before its NUL: a longer text is cut at a character's start (Cut). Refused, with why, for a text
// that holds a NUL or that the code page cannot hold; the field is then as it was. converted is room
// the caller keeps, so that the texts of a whole file allocate once.
StoredText storeImportedText(std::string_view text, const FieldContext& context, char (&field)[TextFieldSize],
                             std::string& converted, std::string& why);
