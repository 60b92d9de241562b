// The recorder's answers as they come over SVDRP, the listings among them as VDR 2.6 writes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/vdr_svdrp_reply.h"

namespace {

TEST(SvdrpReply, Lines) {
    struct Case {
        const char* line;
        bool read;
        int code;
        bool last;
        const char* text;
    };
    const Case cases[] = {
        {"250-1 A:1", true, 250, false, "1 A:1"},
        {"250 Channel \"1\" deleted", true, 250, true, "Channel \"1\" deleted"},
        {"221", true, 221, true, ""},
        {"550 No channels defined", true, 550, true, "No channels defined"},
        {"25 x", false, 0, false, ""},
        {"2a0 x", false, 0, false, ""},
        {"250:x", false, 0, false, ""},
        {"SSH-2.0-OpenSSH_9.2", false, 0, false, ""},
        {"", false, 0, false, ""},
    };
    for (const Case& c : cases) {
        SvdrpLine line;
        ASSERT_EQ(readSvdrpLine(c.line, line), c.read) << c.line;
        if (!c.read) continue;
        EXPECT_EQ(line.code, c.code) << c.line;
        EXPECT_EQ(line.last, c.last) << c.line;
        EXPECT_EQ(line.text, c.text) << c.line;
    }
    SvdrpLine tooLong;
    EXPECT_FALSE(readSvdrpLine("250 " + std::string(SvdrpMaxLine, 'x'), tooLong));
    EXPECT_TRUE(isSvdrpGreeting("220 vm SVDRP VideoDiskRecorder 2.6.0; Tue Dec  8 12:23:00 2026; UTF-8"));
    EXPECT_FALSE(isSvdrpGreeting("220 box FTP server ready"));
    EXPECT_FALSE(isSvdrpGreeting("220-vm SVDRP VideoDiskRecorder 2.6.0"));
    EXPECT_FALSE(isSvdrpGreeting("HTTP/1.1 400 Bad Request"));
}

TEST(SvdrpReply, Listings) {
    struct Case {
        const char* what;
        const char* reply;
        bool withIds;
        const char* conf;  // nullptr: refused
        const char* why;
    };
    const Case cases[] = {
        {"groups and channels", "250-0 :First\r\n250-1 A;P:11000:H:S19.2E:27500:0:0:0:0:1:1:1:0\r\n250 0 :Empty\r\n",
         false, ":First\nA;P:11000:H:S19.2E:27500:0:0:0:0:1:1:1:0\n:Empty\n", ""},
        {"with IDs", "250-0 :G\n250 7 S19.2E-1-1-1 A:11000:H:S19.2E:27500:0:0:0:0:1:1:1:0\n", true,
         ":G\nA:11000:H:S19.2E:27500:0:0:0:0:1:1:1:0\n", ""},
        {"no channels", "550 No channels defined\r\n", false, "", ""},
        {"a refusal", "500 Command unrecognized: \"LSTC\"\r\n", false, nullptr, "answered 500"},
        {"unfinished", "250-0 :G\r\n250-1 A:1\r\n", false, nullptr, "without its last line"},
        {"more after the last", "250 1 A:1\n250 2 B:1\n", false, nullptr, "answer line 2"},
        {"no number", "250-0 :G\n250 A:1\n", false, nullptr, "answer line 2: no channel number"},
        {"number 0 for a channel", "250 0 A:1\n", false, nullptr, "number 0 for a channel line"},
        {"a group with a number", "250 3 :G\n", false, nullptr, "a group line with a channel number"},
        {"an ID missing", "250 1 A:1\n", true, nullptr, "no channel ID"},
        {"not SVDRP", "HTTP/1.1 200 OK\r\n", false, nullptr, "answer line 1: not an SVDRP reply line"},
    };
    for (const Case& c : cases) {
        std::vector<SvdrpChannelLine> lines;
        std::string why;
        const bool read = readSvdrpListing(c.reply, c.withIds, lines, why);
        ASSERT_EQ(read, c.conf != nullptr) << c.what << ": " << why;
        if (!read) {
            EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
            EXPECT_TRUE(lines.empty()) << c.what;
            continue;
        }
        std::string conf;
        channelsConfOfListing(lines, conf);
        EXPECT_EQ(conf, c.conf) << c.what;
    }
    std::vector<SvdrpChannelLine> lines;
    std::string why;
    ASSERT_TRUE(readSvdrpListing("250-0 :G\n250 7 S19.2E-1-1-1 A:1\n", true, lines, why));
    EXPECT_EQ(lines[1].number, 7);
    EXPECT_EQ(lines[1].id, "S19.2E-1-1-1");
}

TEST(SvdrpReply, TimerChannels) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"550 No timers defined\r\n", {}},
        {"250-1 1:S19.2E-1-1-1:2030-01-01:2000:2100:50:99:Title:\r\n250 2 "
         "0:S0.8W-0-111000-5:MTWTF--:0600:0700:50:99:x:\r\n",
         {"S19.2E-1-1-1", "S0.8W-0-111000-5"}},
    };
    for (const auto& [reply, expected] : cases) {
        std::vector<std::string> ids;
        std::string why;
        ASSERT_TRUE(readSvdrpTimerChannels(reply, ids, why)) << reply << why;
        EXPECT_EQ(ids, expected) << reply;
    }
    std::vector<std::string> ids;
    std::string why;
    EXPECT_FALSE(readSvdrpTimerChannels("250 1\n", ids, why));
    EXPECT_FALSE(readSvdrpTimerChannels("451 Timers are being edited\n", ids, why));
}

}  // namespace
