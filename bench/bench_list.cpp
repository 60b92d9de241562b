#include "bench/bench_list.h"

#include <cstdio>
#include <cstring>

void makeBenchList(ChannelRecord* records, int count) {
    for (int i = 0; i < count; ++i) {
        ChannelRecord& r = records[i];
        std::memset(&r, 0, sizeof r);
        // MHz, as lists store it: eight channels to a transponder, transponders 1 MHz apart.
        r.frequency.set(10700 + (i / 8) % 2000);
        r.symbolRate.set(27500);
        r.polarity.set((i / 8) % 2 ? 86 : 72);
        r.sid.set(static_cast<std::uint16_t>(i + 1));
        r.tid.set(static_cast<std::uint16_t>(i / 8));
        r.serviceType = static_cast<std::uint8_t>(i % 3);
        r.category = static_cast<std::uint8_t>(i % 4);
        std::snprintf(r.provider, sizeof r.provider, "Provider %d", i % 97);
        std::snprintf(r.name, sizeof r.name, "Channel %05d", i);
        const int streams = i % 64 == 0 ? MaxStreams : 3;
        r.streamCount = static_cast<std::uint8_t>(streams);
        for (int s = 0; s < streams; ++s) {
            StreamEntry& e = r.streams[s];
            e.streamType = static_cast<std::uint8_t>(s % 2 ? 4 : 2);
            e.pid.set(static_cast<std::uint16_t>(100 + s));
            e.kind = static_cast<std::uint8_t>(s % 6);
            e.langLength = 3;
            std::memcpy(e.lang, "eng", 3);
            e.page.set(static_cast<std::uint16_t>(100 + s));
        }
    }
}
