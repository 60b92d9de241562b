// lamedb and lamedb5 as Enigma2 writes them: LF line ends, lowercase hex keys, decimal tuning.
#include "formats/enigma2_values.h"
#include "formats/enigma2_write.h"
#include "lists/channel_match.h"

namespace enigma2 {

namespace {

// Tuning export does not know is written as Enigma2 reads "not known": FEC auto, inversion unknown,
// no flags, DVB-S (which needs no modulation fields).
constexpr std::string_view UnknownFec = "0";
constexpr std::string_view UnknownInversionAndFlags = "2:0";

void appendChannelKey(TextOut& out, const SettingsPlan& plan, int position) {
    const ChannelRecord& record = plan.records[position];
    putHex(out, namespaceOf(plan, position), 8, false);
    put(out, ':');
    putHex(out, record.tid.get(), 4, false);
    put(out, ':');
    putHex(out, plan.networkId, 4, false);
}

void appendSatellite(TextOut& out, const SettingsPlan& plan, int position) {
    const ChannelRecord& record = plan.records[position];
    putDecimal(out, frequencyKhz(record));
    put(out, ':');
    putDecimal(out, symbolRateOf(record));
    put(out, ':');
    putDecimal(out, polarisationOf(record));
    put(out, ':');
    put(out, UnknownFec);
    put(out, ':');
    putDecimal(out, plan.tenthsEast);
    put(out, ':');
    put(out, UnknownInversionAndFlags);
}

void appendServiceKey(TextOut& out, const SettingsPlan& plan, int position) {
    const ChannelRecord& record = plan.records[position];
    putHex(out, record.sid.get(), 4, false);
    put(out, ':');
    appendChannelKey(out, plan, position);
    put(out, ':');
    putDecimal(out, serviceTypeOf(record));
    put(out, ":0:0");  // service number and source ID, which Enigma2 writes as 0
}

// p:, then c: for each cached PID and the video type. Version 4 pads the values to four digits and
// always writes the provider, first on its line; version 5 writes neither padding nor an empty
// provider, every entry after a comma that follows the name.
void appendServiceData(TextOut& out, const ChannelRecord& record, std::string_view provider, int version) {
    if (version == 4) {
        put(out, "p:");
        put(out, provider);
    } else if (!provider.empty()) {
        put(out, ",p:");
        put(out, provider);
    }
    int videoType = videoTypeOf(record);
    const int digits = version == 4 ? 4 : 1;
    for (const CachedPid& cached : CachedPids) {
        if (cached.id > CacheVideoType && videoType >= 0) {  // in the order of the numbers
            put(out, ",c:05");
            putHex(out, static_cast<std::uint32_t>(videoType), digits, false);
            videoType = -1;
        }
        const std::uint16_t pid = (record.*cached.field).get();
        if (pid == 0) continue;
        put(out, ",c:");
        if (cached.id < 10) put(out, '0');
        putDecimal(out, cached.id);
        putHex(out, pid, digits, false);
    }
}

void writeVersion4(const SettingsPlan& plan, TextOut& out) {
    put(out, "eDVB services /4/\ntransponders\n");
    const int count = static_cast<int>(plan.records.size());
    for (int i = 0; i < count; ++i) {
        if (!plan.kinds[i].ownsTransponder) continue;
        appendChannelKey(out, plan, i);
        put(out, "\n\ts ");
        appendSatellite(out, plan, i);
        put(out, "\n/\n");
    }
    put(out, "end\nservices\n");
    for (int i = 0; i < count; ++i) {
        if (plan.entries[i] != i) continue;
        const ChannelTexts texts = channelTexts(plan, i);
        appendServiceKey(out, plan, i);
        put(out, '\n');
        put(out, texts.name);
        put(out, '\n');
        appendServiceData(out, plan.records[i], texts.provider, 4);
        put(out, '\n');
    }
    put(out, "end\nHave a lot of bugs!\n");
}

void writeVersion5(const SettingsPlan& plan, TextOut& out) {
    put(out, "eDVB services /5/\n");
    put(out, "# Transponders: t:dvb_namespace:transport_stream_id:original_network_id,FEPARMS\n");
    put(out, "#     DVBS  FEPARMS:   s:frequency:symbol_rate:polarisation:fec:orbital_position:inversion:flags\n");
    put(out,
        "# Services    : s:service_id:dvb_namespace:transport_stream_id:original_network_id:service_type:"
        "service_number:source_id,\"service_name\"[,p:provider_name][,c:cached_pid]*\n");
    const int count = static_cast<int>(plan.records.size());
    int transponders = 0;
    int services = 0;
    for (int i = 0; i < count; ++i) {
        if (!plan.kinds[i].ownsTransponder) continue;
        put(out, "t:");
        appendChannelKey(out, plan, i);
        put(out, ",s:");
        appendSatellite(out, plan, i);
        put(out, '\n');
        ++transponders;
    }
    for (int i = 0; i < count; ++i) {
        if (plan.entries[i] != i) continue;
        const ChannelTexts texts = channelTexts(plan, i);
        put(out, "s:");
        appendServiceKey(out, plan, i);
        put(out, ",\"");
        put(out, texts.name5);
        put(out, '"');
        appendServiceData(out, plan.records[i], texts.provider, 5);
        put(out, '\n');
        ++services;
    }
    put(out, "# done. ");
    putDecimal(out, transponders);
    put(out, " channels and ");
    putDecimal(out, services);
    put(out, " services\n");
}

}  // namespace

void writeLamedb(const SettingsPlan& plan, int version, std::string& file) {
    TextOut out;
    out.file = &file;
    if (version == 4)
        writeVersion4(plan, out);
    else
        writeVersion5(plan, out);
    finish(out);
}

}  // namespace enigma2
