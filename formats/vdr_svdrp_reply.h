#pragma once
// What a running recorder answers over SVDRP, read with no I/O: a reply is lines "CODE-text", the
// last "CODE text", each code three digits. The listings are read as the recorder writes them:
// "250-N line" per channel (N 0 for a group line), "550 ..." when it holds no channel.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The longest line and the largest reply kvx takes from a receiver: far above any channel line
// (a few hundred bytes) and a listing of tens of thousands of channels.
inline constexpr std::size_t SvdrpMaxLine = std::size_t{64} * 1024;
inline constexpr std::size_t SvdrpMaxReply = std::size_t{64} * 1024 * 1024;

struct SvdrpLine {
    int code = 0;
    bool last = false;  // "CODE text" ends the reply, "CODE-text" does not
    std::string_view text;
};

// Reads one reply line (without its line end). False for anything else, or a line longer than
// SvdrpMaxLine.
bool readSvdrpLine(std::string_view line, SvdrpLine& out);

// The greeting a recorder opens with: "220 host SVDRP VideoDiskRecorder ...".
bool isSvdrpGreeting(std::string_view line);

// A channel of a listing: its number (0 for a group line), the recorder's channel ID when listed
// with ":ids" (empty for a group line), and its channels.conf line.
struct SvdrpChannelLine {
    int number = 0;
    std::string_view id;
    std::string_view line;
};

// Reads the reply to "LSTC :groups" (withIds false) or "LSTC :ids :groups" (true), lines apart by
// '\n', a CR before it dropped. A reply "550 ..." is an empty list. False, with why naming the
// line, for any other reply or a line that is not a listing line.
bool readSvdrpListing(std::string_view reply, bool withIds, std::vector<SvdrpChannelLine>& lines, std::string& why);

// The listing as a channels.conf, one line each, in its order.
void channelsConfOfListing(const std::vector<SvdrpChannelLine>& lines, std::string& text);

// The channel IDs of the reply to "LSTT id" (timers: "250-N flags:ID:..."); "550 ..." is no timer.
bool readSvdrpTimerChannels(std::string_view reply, std::vector<std::string>& ids, std::string& why);
