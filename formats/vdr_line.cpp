#include "formats/vdr_line.h"

#include <algorithm>
#include <charconv>

#include "channel/channel_record.h"
#include "formats/list_format.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

void appendInt(std::string& out, std::int64_t value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// A whole number, blanks around it allowed as the recorder allows them; nothing else.
bool readInt(std::string_view text, std::int64_t minimum, std::int64_t maximum, const char* field, int& value,
             VdrLineError& error) {
    // Almost every number of a line is a few digits alone: read at once, in range or not.
    std::int64_t digits = 0;
    std::size_t at = 0;
    while (at < text.size() && at < 9 && text[at] >= '0' && text[at] <= '9') digits = digits * 10 + (text[at++] - '0');
    if (at > 0 && at == text.size() && digits >= minimum && digits <= maximum) {
        value = static_cast<int>(digits);
        return true;
    }
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t number = 0;
    const auto [after, code] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || code == std::errc::invalid_argument || after != text.data() + text.size()) {
        error = {field, quoted(text) + " is not a whole number"};
        return false;
    }
    if (code == std::errc::result_out_of_range || number < minimum || number > maximum) {
        error = {field, std::string(text) + " is out of range (" + std::to_string(minimum) + " to " +
                            std::to_string(maximum) + ")"};
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

// The next piece of text up to sep (or all of it), removed from text. Pieces are a few characters:
// a plain loop is quicker than a library search for each.
std::string_view take(std::string_view& text, char sep) {
    std::size_t at = 0;
    while (at < text.size() && text[at] != sep) ++at;
    const std::string_view piece = text.substr(0, at);
    text = at == text.size() ? std::string_view() : text.substr(at + 1);
    return piece;
}

// One list of PIDs as the recorder writes them: "101=deu@3,102=@4"; an empty list is "0".
void appendPids(std::string& out, const VdrPid* pids, int count, bool typed) {
    if (count == 0) out += '0';
    for (int i = 0; i < count; ++i) {
        if (i > 0) out += ',';
        appendInt(out, pids[i].pid);
        const char* delimiter = "=";
        if (pids[i].languageLength > 0) {
            out += '=';
            out.append(pids[i].languageText());
            delimiter = "";
        }
        if (typed && pids[i].type != 0) {
            out += delimiter;
            out += '@';
            appendInt(out, pids[i].type);
        }
    }
}

struct PidList {
    VdrPid* pids;
    int capacity;
    int* count;
    int defaultType;  // 0: the list has no types
};

bool readPids(std::string_view text, const PidList& list, const char* field, VdrChannel& channel, VdrLineError& error) {
    while (!text.empty()) {
        const std::string_view token = take(text, ',');
        if (trimmed(token).empty()) continue;  // the recorder skips empty pieces
        std::string_view rest = token;
        const std::string_view pidText = take(rest, '=');
        int pid = 0;
        if (!readInt(pidText, 0, 0xFFFF, field, pid, error)) return false;
        VdrPid entry;
        entry.pid = static_cast<std::uint16_t>(pid);
        entry.type = list.defaultType;
        if (token.size() > pidText.size()) {
            std::string_view language = rest;
            const std::size_t at = rest.find('@');
            if (list.defaultType != 0 && at != std::string_view::npos) {
                language = rest.substr(0, at);
                if (!readInt(rest.substr(at + 1), 1, 255, field, entry.type, error)) return false;
            }
            language = language.substr(0, 7);  // what the recorder keeps of it
            if (language.size() > VdrLanguageSize) {
                ++channel.cutLanguages;
                language = language.substr(0, VdrLanguageSize);
            }
            if (vdrLanguageWritable(language)) {
                entry.languageLength = static_cast<int>(language.size());
                for (std::size_t i = 0; i < language.size(); ++i) entry.language[i] = language[i];
            } else {
                ++channel.cutLanguages;
            }
        }
        if (pid == 0) continue;  // a 0 ends the recorder's lists
        if (*list.count == list.capacity) {
            ++channel.droppedPids;
            continue;
        }
        list.pids[(*list.count)++] = entry;
    }
    return true;
}

bool readVideo(std::string_view text, VdrChannel& channel, VdrLineError& error) {
    const std::size_t equals = text.find('=');
    int type = 0;
    if (equals != std::string_view::npos) {
        if (!readInt(text.substr(equals + 1), 0, 255, "vpid", type, error)) return false;
        text = text.substr(0, equals);
    }
    const std::size_t plus = text.find('+');
    int pcr = 0;
    if (plus != std::string_view::npos) {
        if (!readInt(text.substr(plus + 1), 0, 0xFFFF, "vpid", pcr, error)) return false;
        text = text.substr(0, plus);
    }
    if (!readInt(text, 0, 0xFFFF, "vpid", channel.videoPid, error)) return false;
    channel.pcrPid = pcr != 0 ? pcr : channel.videoPid;
    channel.videoType = channel.videoPid == 0 ? 0 : type != 0 ? type : VdrVideoType;
    return true;
}

// "S19.2E", "S13E"; other kinds of source ("C", "T", "A", "I") are known only by their letter.
bool readSource(std::string_view text, VdrChannel& channel, VdrLineError& error) {
    if (text.empty() || text.front() < 'A' || text.front() > 'Z') {
        error = {"source", quoted(text) + " is not a source (S19.2E for a satellite)"};
        return false;
    }
    channel.sourceKind = text.front();
    if (channel.sourceKind != 'S') return true;
    int degrees = 0;
    int tenths = 0;
    std::string_view rest = text.substr(1);
    const auto [after, code] = std::from_chars(rest.data(), rest.data() + rest.size(), degrees);
    bool ok = code == std::errc() && after != rest.data() && degrees >= 0 && degrees <= 180;
    rest = rest.substr(static_cast<std::size_t>(after - rest.data()));
    if (ok && rest.size() == 3 && rest[0] == '.' && rest[1] >= '0' && rest[1] <= '9') {
        tenths = rest[1] - '0';
        rest.remove_prefix(2);
    }
    ok = ok && rest.size() == 1 && (rest[0] == 'E' || rest[0] == 'W') && degrees * 10 + tenths <= 1800;
    if (!ok) {
        error = {"source", quoted(text) + " is not a satellite position like S19.2E"};
        return false;
    }
    channel.sourceTenthsEast = (degrees * 10 + tenths) * (rest[0] == 'E' ? 1 : -1);
    return true;
}

bool readPolarization(std::string_view parameters, VdrChannel& channel, VdrLineError& error) {
    for (const char c : parameters) {
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper == 'H' || upper == 'V' || upper == 'L' || upper == 'R') {
            channel.polarization = upper;
            return true;
        }
    }
    error = {"parameters", quoted(parameters) + " gives no polarization (H, V, L or R)"};
    return false;
}

void readName(std::string_view text, VdrChannel& channel) {
    const std::size_t semicolon = text.find(';');
    if (semicolon != std::string_view::npos) {
        channel.provider = text.substr(semicolon + 1);
        text = text.substr(0, semicolon);
    }
    const std::size_t comma = text.rfind(',');  // a long name may hold ',': the short one is after the last
    if (comma != std::string_view::npos) {
        channel.shortName = text.substr(comma + 1);
        text = text.substr(0, comma);
    }
    channel.name = text;
}

bool readGroup(std::string_view line, VdrChannel& channel) {
    std::string_view rest = line.substr(1);
    if (!rest.empty() && rest[0] == '@') {  // ":@N Name" numbers the channels that follow
        rest.remove_prefix(1);
        int number = 0;
        const auto [after, code] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
        if (code == std::errc() && number > 0) rest = rest.substr(static_cast<std::size_t>(after - rest.data()));
    }
    channel.group = true;
    channel.name = trimmed(rest);
    return true;
}

// A channel as a fresh VdrChannel but for its PID arrays, whose entries past their counts are never
// read: clearing their 1.3 KB for every line would cost more than reading the line.
void clearChannel(VdrChannel& channel) {
    channel.group = false;
    channel.name = channel.shortName = channel.provider = channel.parameters = {};
    channel.frequency = 0;
    channel.polarization = 'H';
    channel.sourceKind = 'S';
    channel.sourceTenthsEast = channel.symbolRate = 0;
    channel.videoPid = channel.pcrPid = channel.videoType = 0;
    channel.audioCount = channel.dolbyCount = channel.subtitleCount = 0;
    channel.teletextPid = 0;
    channel.conditionalAccess = false;
    channel.cutLanguages = channel.droppedPids = 0;
    channel.sid = channel.nid = channel.tid = channel.rid = 0;
}

// The polarizations a line gives, and the record's polarity for each: the letter's character code,
// as the editor keeps H and V. L and R (circular) the editor shows as H.
struct Polarization {
    char letter;
    std::uint16_t polarity;
};
constexpr Polarization Polarizations[] = {{'H', PolarityHorizontal}, {'V', PolarityVertical}, {'L', 'L'}, {'R', 'R'}};
static_assert(PolarityHorizontal == 'H' && PolarityVertical == 'V');

constexpr const char* FieldNames[] = {"name", "frequency", "parameters", "source", "srate", "vpid", "apid",
                                      "tpid", "caid",      "sid",        "nid",    "tid",   "rid"};
constexpr int FieldCount = 13;

}  // namespace

std::uint16_t vdrPolarity(char polarization) {
    for (const Polarization& known : Polarizations) {
        if (known.letter == polarization) return known.polarity;
    }
    return PolarityHorizontal;
}

char vdrPolarization(std::uint16_t polarity) {
    for (const Polarization& known : Polarizations) {
        if (known.polarity == polarity) return known.letter;
    }
    return 'H';
}

void appendVdrText(std::string& out, std::string_view text) {
    for (const char c : text) out += c == ':' ? '|' : c;
}

std::string_view vdrTextFromLine(std::string_view text, std::string& out) {
    if (text.find('|') == std::string_view::npos && text.find('\r') == std::string_view::npos) return text;
    out.assign(text);
    for (char& c : out) c = c == '|' ? ':' : c == '\r' ? ' ' : c;  // a CR is a line end to most programs
    return out;
}

bool vdrLanguageWritable(std::string_view language) {
    for (const char c : language) {
        if (c <= ' ' || c > '~' || c == ',' || c == ';' || c == ':' || c == '=' || c == '@') return false;
    }
    return true;
}

bool vdrNameChange(std::string_view name, bool isProvider, std::string& out) {
    const auto changes = [isProvider](char c) {
        return c == '\n' || c == '\r' || c == '|' || (c == ';' && !isProvider);
    };
    if (std::none_of(name.begin(), name.end(), changes)) return false;  // almost every name: no copy
    out.assign(name);
    for (char& c : out) {
        if (c == '\n' || c == '\r') c = ' ';
        if (c == ';' && !isProvider) c = ',';
        if (c == '|') c = ':';
    }
    return true;
}

bool vdrGroupNameChange(std::string_view name, std::string& out) {
    out.clear();
    std::string_view text = name;
    while (!text.empty() && (isBlank(text.front()) || text.front() == '@')) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    for (const char c : text) {
        char now = c == ',' ? ';' : c == '|' ? ':' : c;
        if (now == '\n' || now == '\r') now = ' ';
        out += now;
    }
    return out != name;
}

void appendVdrLine(std::string& out, const VdrChannel& channel) {
    if (channel.group) {
        out += ':';
        appendVdrText(out, channel.name);
        out += '\n';
        return;
    }
    appendVdrText(out, channel.name);
    if (!channel.shortName.empty()) {
        out += ',';
        appendVdrText(out, channel.shortName);
    } else if (channel.name.find(',') != std::string_view::npos) {
        out += ',';  // so that the last ',' of the name is not read as the start of a short name
    }
    if (!channel.provider.empty()) {
        out += ';';
        appendVdrText(out, channel.provider);
    }
    out += ':';
    appendInt(out, channel.frequency);
    out += ':';
    if (channel.parameters.empty())
        out += channel.polarization;
    else
        out.append(channel.parameters);
    out += ":S";
    const int position = channel.sourceTenthsEast < 0 ? -channel.sourceTenthsEast : channel.sourceTenthsEast;
    appendInt(out, position / 10);
    out += '.';
    appendInt(out, position % 10);
    out += channel.sourceTenthsEast < 0 ? 'W' : 'E';
    out += ':';
    appendInt(out, channel.symbolRate);
    out += ':';
    appendInt(out, channel.videoPid);
    if (channel.pcrPid != 0 && channel.pcrPid != channel.videoPid) {
        out += '+';
        appendInt(out, channel.pcrPid);
    }
    if (channel.videoPid != 0 && channel.videoType != 0) {
        out += '=';
        appendInt(out, channel.videoType);
    }
    out += ':';
    appendPids(out, channel.audio, channel.audioCount, true);
    if (channel.dolbyCount > 0) {
        out += ';';
        appendPids(out, channel.dolby, channel.dolbyCount, true);
    }
    out += ':';
    appendInt(out, channel.teletextPid);
    if (channel.subtitleCount > 0) {
        out += ';';
        appendPids(out, channel.subtitles, channel.subtitleCount, false);
    }
    out += ":0:";
    appendInt(out, channel.sid);
    out += ':';
    appendInt(out, channel.nid);
    out += ':';
    appendInt(out, channel.tid);
    out += ':';
    appendInt(out, channel.rid);
    out += '\n';
}

bool parseVdrLine(std::string_view line, VdrChannel& channel, VdrLineError& error) {
    clearChannel(channel);
    while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
    if (!line.empty() && line.front() == ':') return readGroup(line, channel);
    std::string_view fields[FieldCount];
    int count = 0;
    std::string_view rest = line;
    while (count < FieldCount && !rest.empty()) fields[count++] = take(rest, ':');
    if (!rest.empty()) {
        error = {"rid", "more than the 13 fields of a channels.conf line"};
        return false;
    }
    if (count < 9) {
        error = {count > 0 ? FieldNames[count - 1] : "name",
                 std::to_string(count) + " fields, a channels.conf line has at least 9"};
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (fields[i].empty() && (i <= 8 && i != 1 && i != 4)) {
            error = {FieldNames[i], "empty"};
            return false;
        }
    }
    if (count == 9) {  // the old form: CA where the teletext PID is now, the SID last
        fields[9] = fields[8];
        fields[8] = fields[7];
        fields[7] = "0";
    }
    readName(fields[0], channel);
    int symbolRate = 0;
    int frequency = 0;
    if (!readInt(fields[1], INT32_MIN, INT32_MAX, "frequency", frequency, error) ||
        !readSource(fields[3], channel, error) ||
        (channel.sourceKind == 'S' && !readPolarization(fields[2], channel, error)) ||
        !readInt(fields[4], 0, 0xFFFF, "srate", symbolRate, error) || !readVideo(fields[5], channel, error))
        return false;
    channel.frequency = frequency;
    channel.symbolRate = symbolRate;
    channel.parameters = fields[2];
    std::string_view audio = fields[6];
    const std::string_view audioOnly = take(audio, ';');
    const PidList audioList{
        .pids = channel.audio, .capacity = VdrMaxAudio, .count = &channel.audioCount, .defaultType = VdrAudioType};
    const PidList dolbyList{
        .pids = channel.dolby, .capacity = VdrMaxDolby, .count = &channel.dolbyCount, .defaultType = VdrDolbyType};
    if (!readPids(audioOnly, audioList, "apid", channel, error) || !readPids(audio, dolbyList, "apid", channel, error))
        return false;
    std::string_view teletext = fields[7];
    const std::string_view teletextOnly = take(teletext, ';');
    const PidList subtitleList{
        .pids = channel.subtitles, .capacity = VdrMaxSubtitles, .count = &channel.subtitleCount, .defaultType = 0};
    if (!readInt(teletextOnly, 0, 0xFFFF, "tpid", channel.teletextPid, error) ||
        !readPids(teletext, subtitleList, "tpid", channel, error))
        return false;
    for (const char c : fields[8]) {  // CA IDs in hexadecimal: only whether there are any is kept
        if (c == ',') continue;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) break;
        channel.conditionalAccess = channel.conditionalAccess || c != '0';
    }
    if (!readInt(fields[9], 0, 0xFFFF, "sid", channel.sid, error)) return false;
    if (channel.sid == 0) {
        error = {"sid", "0: the recorder refuses a channel without a service ID, and with it the whole file"};
        return false;
    }
    return (count <= 10 || readInt(fields[10], 0, 0xFFFF, "nid", channel.nid, error)) &&
           (count <= 11 || readInt(fields[11], 0, 0xFFFF, "tid", channel.tid, error)) &&
           (count <= 12 || readInt(fields[12], 0, 0xFFFF, "rid", channel.rid, error));
}
