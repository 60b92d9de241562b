// lamedb and lamedb5 as Enigma2 writes them: LF line ends, lowercase hex keys, decimal tuning.
#include "formats/enigma2_values.h"
#include "formats/enigma2_write.h"
#include "kvx/channel_match.h"

namespace enigma2 {

namespace {

// Tuning export does not know is written as Enigma2 reads "not known": FEC auto, inversion unknown,
// no flags, DVB-S (which needs no modulation fields).
constexpr std::string_view UnknownFec = "0";
constexpr std::string_view UnknownInversionAndFlags = "2:0";

void appendChannelKey(std::string& out, const SettingsPlan& plan, int position) {
    const ChannelRecord& record = plan.records[position];
    appendHex(out, namespaceOf(plan, position), 8, false);
    out += ':';
    appendHex(out, record.tid.get(), 4, false);
    out += ':';
    appendHex(out, plan.networkId, 4, false);
}

void appendSatellite(std::string& out, const SettingsPlan& plan, int position) {
    const ChannelRecord& record = plan.records[position];
    appendDecimal(out, frequencyKhz(record));
    out += ':';
    appendDecimal(out, symbolRateOf(record));
    out += ':';
    appendDecimal(out, polarisationOf(record));
    out += ':';
    out += UnknownFec;
    out += ':';
    appendDecimal(out, plan.tenthsEast);
    out += ':';
    out += UnknownInversionAndFlags;
}

void appendServiceKey(std::string& out, const SettingsPlan& plan, int position) {
    const ChannelRecord& record = plan.records[position];
    appendHex(out, record.sid.get(), 4, false);
    out += ':';
    appendChannelKey(out, plan, position);
    out += ':';
    appendDecimal(out, serviceTypeOf(record));
    out += ":0:0";  // service number and source ID, which Enigma2 writes as 0
}

// p:, then c: for each cached PID and the video type. Version 4 pads the values to four digits and
// always writes the provider, first on its line; version 5 writes neither padding nor an empty
// provider, every entry after a comma that follows the name.
void appendServiceData(std::string& out, const ChannelRecord& record, std::string_view provider, int version) {
    if (version == 4) {
        out += "p:";
        out += provider;
    } else if (!provider.empty()) {
        out += ",p:";
        out += provider;
    }
    int videoType = videoTypeOf(record);
    const int digits = version == 4 ? 4 : 1;
    for (const CachedPid& cached : CachedPids) {
        if (cached.id > CacheVideoType && videoType >= 0) {  // in the order of the numbers
            out += ",c:05";
            appendHex(out, static_cast<std::uint32_t>(videoType), digits, false);
            videoType = -1;
        }
        const std::uint16_t pid = (record.*cached.field).get();
        if (pid == 0) continue;
        out += ",c:";
        if (cached.id < 10) out += '0';
        appendDecimal(out, cached.id);
        appendHex(out, pid, digits, false);
    }
}

void writeVersion4(const SettingsPlan& plan, std::string& out) {
    out += "eDVB services /4/\ntransponders\n";
    const int count = static_cast<int>(plan.records.size());
    for (int i = 0; i < count; ++i) {
        if (plan.sharing[i].transponder != i) continue;
        appendChannelKey(out, plan, i);
        out += "\n\ts ";
        appendSatellite(out, plan, i);
        out += "\n/\n";
    }
    out += "end\nservices\n";
    for (int i = 0; i < count; ++i) {
        if (plan.sharing[i].entry != i) continue;
        const ChannelTexts texts = channelTexts(plan, i);
        appendServiceKey(out, plan, i);
        out += '\n';
        out += texts.name;
        out += '\n';
        appendServiceData(out, plan.records[i], texts.provider, 4);
        out += '\n';
    }
    out += "end\nHave a lot of bugs!\n";
}

void writeVersion5(const SettingsPlan& plan, std::string& out) {
    out += "eDVB services /5/\n";
    out += "# Transponders: t:dvb_namespace:transport_stream_id:original_network_id,FEPARMS\n";
    out += "#     DVBS  FEPARMS:   s:frequency:symbol_rate:polarisation:fec:orbital_position:inversion:flags\n";
    out +=
        "# Services    : s:service_id:dvb_namespace:transport_stream_id:original_network_id:service_type:"
        "service_number:source_id,\"service_name\"[,p:provider_name][,c:cached_pid]*\n";
    const int count = static_cast<int>(plan.records.size());
    int transponders = 0;
    int services = 0;
    for (int i = 0; i < count; ++i) {
        if (plan.sharing[i].transponder != i) continue;
        out += "t:";
        appendChannelKey(out, plan, i);
        out += ",s:";
        appendSatellite(out, plan, i);
        out += '\n';
        ++transponders;
    }
    for (int i = 0; i < count; ++i) {
        if (plan.sharing[i].entry != i) continue;
        const ChannelTexts texts = channelTexts(plan, i);
        out += "s:";
        appendServiceKey(out, plan, i);
        out += ",\"";
        out += texts.name5;
        out += '"';
        appendServiceData(out, plan.records[i], texts.provider, 5);
        out += '\n';
        ++services;
    }
    out += "# done. ";
    appendDecimal(out, transponders);
    out += " channels and ";
    appendDecimal(out, services);
    out += " services\n";
}

}  // namespace

void writeLamedb(const SettingsPlan& plan, int version, std::string& out) {
    if (version == 4)
        writeVersion4(plan, out);
    else
        writeVersion5(plan, out);
}

}  // namespace enigma2
