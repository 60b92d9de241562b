#include "formats/vdr_svdrp_reply.h"

#include <algorithm>
#include <charconv>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The reply's lines in turn, each without its line end.
struct ReplyLines {
    std::string_view text;
    std::size_t at = 0;
    int number = 0;

    bool next(std::string_view& line) {
        if (at >= text.size()) return false;
        const std::size_t end = std::min(text.find('\n', at), text.size());
        line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at = end + 1;
        ++number;
        return true;
    }
};

std::string lineWhy(int number, std::string_view what) {
    return "answer line " + std::to_string(number) + ": " + std::string(what);
}

// "N rest": the number and what follows its blank.
bool splitNumber(std::string_view text, int& number, std::string_view& rest) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data() || number < 0) return false;
    const std::size_t digits = static_cast<std::size_t>(end - text.data());
    if (digits >= text.size() || text[digits] != ' ') return false;
    rest = text.substr(digits + 1);
    return true;
}

// Reads every line of a reply whose lines all carry code 250; a lone "550 ..." line is an empty
// answer (none set). Calls take(number, text) for each line.
template <typename Take>
bool readReply(std::string_view reply, bool& none, std::string& why, Take take) {
    ReplyLines lines{reply};
    std::string_view line;
    SvdrpLine parsed;
    bool ended = false;
    none = false;
    while (lines.next(line)) {
        if (ended) {
            why = lineWhy(lines.number, "more after the reply's last line");
            return false;
        }
        if (!readSvdrpLine(line, parsed)) {
            why = lineWhy(lines.number, "not an SVDRP reply line");
            return false;
        }
        ended = parsed.last;
        if (parsed.code == 550 && lines.number == 1 && parsed.last) {
            none = true;
            continue;
        }
        if (parsed.code != 250) {
            why = lineWhy(lines.number, "the recorder answered " + std::string(line.substr(0, 200)));
            return false;
        }
        if (!take(lines.number, parsed.text)) return false;
    }
    if (!ended) {
        why = "the reply ends without its last line";
        return false;
    }
    return true;
}

}  // namespace

bool readSvdrpLine(std::string_view line, SvdrpLine& out) {
    if (line.size() < 3 || line.size() > SvdrpMaxLine) return false;
    if (!isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2])) return false;
    if (line.size() > 3 && line[3] != '-' && line[3] != ' ') return false;
    out.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    out.last = line.size() == 3 || line[3] == ' ';
    out.text = line.size() > 4 ? line.substr(4) : std::string_view{};
    return true;
}

bool isSvdrpGreeting(std::string_view line) {
    SvdrpLine parsed;
    return readSvdrpLine(line, parsed) && parsed.code == 220 && parsed.last &&
           parsed.text.find("SVDRP") != std::string_view::npos;
}

bool readSvdrpListing(std::string_view reply, bool withIds, std::vector<SvdrpChannelLine>& lines, std::string& why) {
    lines.clear();
    bool none = false;
    const bool read = readReply(reply, none, why, [&](int number, std::string_view text) {
        SvdrpChannelLine channel;
        std::string_view rest;
        if (!splitNumber(text, channel.number, rest)) {
            why = lineWhy(number, "no channel number");
            return false;
        }
        const bool group = channel.number == 0;
        if (withIds && !group) {
            const std::size_t blank = rest.find(' ');
            if (blank == 0 || blank == std::string_view::npos) {
                why = lineWhy(number, "no channel ID");
                return false;
            }
            channel.id = rest.substr(0, blank);
            rest.remove_prefix(blank + 1);
        }
        if (rest.empty() || (rest.front() == ':') != group) {
            why = lineWhy(number, group ? "number 0 for a channel line" : "a group line with a channel number");
            return false;
        }
        channel.line = rest;
        lines.push_back(channel);
        return true;
    });
    if (!read) lines.clear();
    return read;
}

void channelsConfOfListing(const std::vector<SvdrpChannelLine>& lines, std::string& text) {
    std::size_t size = 0;
    for (const SvdrpChannelLine& line : lines) size += line.line.size() + 1;
    text.clear();
    text.reserve(size);
    for (const SvdrpChannelLine& line : lines) {
        text += line.line;
        text += '\n';
    }
}

bool readSvdrpTimerChannels(std::string_view reply, std::vector<std::string>& ids, std::string& why) {
    ids.clear();
    bool none = false;
    return readReply(reply, none, why, [&](int number, std::string_view text) {
        // "N flags:channel:day:start:stop:..."
        int timer = 0;
        std::string_view rest;
        if (!splitNumber(text, timer, rest) || rest.find(':') == std::string_view::npos) {
            why = lineWhy(number, "not a timer line");
            return false;
        }
        rest.remove_prefix(rest.find(':') + 1);
        ids.emplace_back(rest.substr(0, rest.find(':')));
        return true;
    });
}
