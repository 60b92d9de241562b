#pragma once
// Channel records for kvx tests: valid in every field, so that a test changes only what it is about.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "channel/channel_record.h"

// Writes text into a 30-byte field and zeros the rest; text of 30 bytes leaves no NUL.
inline void setText(char (&field)[TextFieldSize], std::string_view text) {
    std::memset(field, 0, TextFieldSize);
    std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), TextFieldSize));
}

// A TV channel on 11778 MHz vertical, category 0, with a video stream and an English audio stream.
inline ChannelRecord testRecord(std::string_view name, std::uint16_t tid, std::uint16_t sid) {
    ChannelRecord record{};
    record.frequency.set(11778000);
    record.symbolRate.set(27500);
    record.polarity.set(PolarityVertical);
    record.tid.set(tid);
    record.sid.set(sid);
    record.pmtPid.set(256);
    record.videoPid.set(257);
    record.audioPid.set(258);
    record.serviceType = 1;
    setText(record.provider, "Provider");
    setText(record.name, name);
    record.streamCount = 2;
    record.streams[0] = {0x1B, {{1, 1}}, 1, 0, {}, {}};               // VID, PID 257
    record.streams[1] = {0x04, {{2, 1}}, 2, 3, {'e', 'n', 'g'}, {}};  // AUD, PID 258
    return record;
}

// Draws for tests over many random lists, the same on every run.
struct TestRandom {
    std::uint32_t state;
    std::uint32_t operator()(std::uint32_t count) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % count;
    }
};
