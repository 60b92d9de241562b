// The channels.conf line reader and writer mirror each other: every line in the recorder's own form
// is written back byte for byte, every line the recorder refuses is refused with its field.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "formats/vdr_line.h"

namespace {

// Lines as the recorder writes them (each was checked against its rewriting).
const char* const CanonicalLines[] = {
    "Alpha;Norrvik Media:11778:V:S19.2E:27500:257=27:258=eng@4,259=deu@3;260=eng@106:261;262=eng:0:1001:1:1000:0",
    "A,B,;Pro|v;id,er:10729:HC34M2S0:S13.0E:22000:0+386:386=@4:0:0:5:0:0:0",
    "Name,Short;P:12000:L:S0.8W:1:100+101=2:0;200=@106:0:0:7:1:2:3",
    "Quiet:-5:R:S180.0E:0:0:0:0:0:9:0:0:0",
    "x|y:1:H:S19.2E:1:1=36:2=abc@17,3=q@255;4=@122,5=d@106:6;7,8=fr:0:65535:65535:65535:65535",
    ":News",
    ":",
    ":a|b; c",
};

TEST(VdrLine, CanonicalLinesAreWrittenBackByteForByte) {
    for (const char* line : CanonicalLines) {
        VdrChannel channel;
        VdrLineError error;
        ASSERT_TRUE(parseVdrLine(line, channel, error)) << line << ": " << error.field << ": " << error.why;
        std::string written;
        appendVdrLine(written, channel);
        EXPECT_EQ(written, std::string(line) + "\n");
    }
}

// What the recorder reads from lines it accepts in other forms than its own.
struct ReadCase {
    const char* line;
    int videoPid, pcrPid, videoType;
    int audioCount, firstAudioType, dolbyCount, firstDolbyType;
    int sid, tid;
    char polarization;
    int tenthsEast;
    const char* name;
    const char* written;  // the recorder's own form of the line
};

const ReadCase ReadCases[] = {
    {"A:1:h:S19.2E:1:255:256:0:0:7:1:2:0", 255, 255, 2, 1, 4, 0, 0, 7, 2, 'H', 192, "A",
     "A:1:H:S19.2E:1:255=2:256=@4:0:0:7:1:2:0\n"},  // 'h' is kept as written; lower case is old
    {"B:1:V:S13E:1:0=2:0;300:0:0:8:0:3", 0, 0, 0, 0, 0, 1, 106, 8, 3, 'V', 130, "B",
     "B:1:V:S13.0E:1:0:0;300=@106:0:0:8:0:3:0\n"},
    {"C,Short:1:CR:S1W:1:5+5=27:6=deutsch@3,0=x:7:0:9", 5, 5, 27, 1, 3, 0, 0, 9, 0, 'R', -10, "C",
     nullptr},  // the old nine-field form: CA where teletext is now, the SID last
    {"D:1:H:S19.2E:1: 10 + 11 : ,,12,, :0:0:10 :1 :2 :0  \r", 10, 11, 2, 1, 4, 0, 0, 10, 2, 'H', 192, "D",
     "D:1:H:S19.2E:1:10+11=2:12=@4:0:0:10:1:2:0\n"},
};

TEST(VdrLine, ReadsOtherFormsAsTheRecorderDoes) {
    for (const ReadCase& c : ReadCases) {
        VdrChannel channel;
        VdrLineError error;
        ASSERT_TRUE(parseVdrLine(c.line, channel, error)) << c.line << ": " << error.field << ": " << error.why;
        EXPECT_EQ(channel.videoPid, c.videoPid) << c.line;
        EXPECT_EQ(channel.pcrPid, c.pcrPid) << c.line;
        EXPECT_EQ(channel.videoType, c.videoType) << c.line;
        EXPECT_EQ(channel.audioCount, c.audioCount) << c.line;
        if (c.audioCount > 0) EXPECT_EQ(channel.audio[0].type, c.firstAudioType) << c.line;
        EXPECT_EQ(channel.dolbyCount, c.dolbyCount) << c.line;
        if (c.dolbyCount > 0) EXPECT_EQ(channel.dolby[0].type, c.firstDolbyType) << c.line;
        EXPECT_EQ(channel.sid, c.sid) << c.line;
        EXPECT_EQ(channel.tid, c.tid) << c.line;
        EXPECT_EQ(channel.polarization, c.polarization) << c.line;
        EXPECT_EQ(channel.sourceTenthsEast, c.tenthsEast) << c.line;
        EXPECT_EQ(channel.name, c.name) << c.line;
        if (c.written == nullptr) continue;
        channel.parameters = {};
        std::string written;
        appendVdrLine(written, channel);
        EXPECT_EQ(written, c.written);
    }
}

TEST(VdrLine, LanguagesAreCutToWhatARecordHolds) {
    VdrChannel channel;
    VdrLineError error;
    ASSERT_TRUE(parseVdrLine("A:1:H:S1E:1:0:1=deu+eng@3,2=a b@3,3=de@4:0:0:1:0:1:0", channel, error));
    ASSERT_EQ(channel.audioCount, 3);
    EXPECT_EQ(channel.audio[0].languageText(), "deu");
    EXPECT_EQ(channel.audio[1].languageText(), "");  // a blank cannot be written back
    EXPECT_EQ(channel.audio[2].languageText(), "de");
    EXPECT_EQ(channel.cutLanguages, 2);
}

// The reader leaves a channel's PID arrays as they were past their counts: a line read over any other
// must read as it does alone, whatever the other held.
TEST(VdrLine, ALineReadOverAnotherReadsAsAlone) {
    std::vector<std::string> lines(std::begin(CanonicalLines), std::end(CanonicalLines));
    for (const ReadCase& c : ReadCases) lines.emplace_back(c.line);
    lines.emplace_back("A:1:H:S1E:1:0:1=deu+eng@3,2=a b@3,3=de@4:0:0:1:0:1:0");
    lines.emplace_back("T:474:B8:T:0:1:2:0:0:3:0:0:0");
    lines.emplace_back("CA:11778:V:S19.2E:27500:257:258:0:1702,0d05:1001:1:1000:0");
    const auto read = [](const std::string& line, VdrChannel& channel) {
        VdrLineError error;
        EXPECT_TRUE(parseVdrLine(line, channel, error)) << line << ": " << error.why;
        std::string said = channel.group ? "group " : "";
        said += std::string(channel.shortName) + "|" + std::string(channel.parameters) + "|" + channel.sourceKind +
                "|" + std::to_string(channel.conditionalAccess) + "|" + std::to_string(channel.cutLanguages) + "|" +
                std::to_string(channel.droppedPids) + "|";
        channel.parameters = {};
        if (channel.sourceKind == 'S') appendVdrLine(said, channel);
        return said;
    };
    for (const std::string& before : lines) {
        for (const std::string& line : lines) {
            VdrChannel alone;
            VdrChannel reused;
            read(before, reused);
            EXPECT_EQ(read(line, reused), read(line, alone)) << line << " after " << before;
        }
    }
}

struct BadLine {
    const char* line;
    const char* field;
    const char* why;  // a part of the reason
};

const BadLine BadLines[] = {
    {"A:1:H:S19.2E:1:0:0:0", "tpid", "8 fields"},
    {"A:x:H:S19.2E:1:0:0:0:0:1:0:0:0", "frequency", "not a whole number"},
    {"A:99999999999:H:S19.2E:1:0:0:0:0:1:0:0:0", "frequency", "out of range"},
    {"A:1:C34:S19.2E:1:0:0:0:0:1:0:0:0", "parameters", "polarization"},
    {"A:1:H:19.2E:1:0:0:0:0:1:0:0:0", "source", "not a source"},
    {"A:1:H:S19.2:1:0:0:0:0:1:0:0:0", "source", "satellite position"},
    {"A:1:H:S190E:1:0:0:0:0:1:0:0:0", "source", "satellite position"},
    {"A:1:H::1:0:0:0:0:1:0:0:0", "source", "empty"},
    {"A:1:H:S19.2E:70000:0:0:0:0:1:0:0:0", "srate", "out of range"},
    {"A:1:H:S19.2E:1:1+x:0:0:0:1:0:0:0", "vpid", "not a whole number"},
    {"A:1:H:S19.2E:1:1=256:0:0:0:1:0:0:0", "vpid", "out of range"},
    {"A:1:H:S19.2E:1:1:2=eng@0:0:0:1:0:0:0", "apid", "out of range"},
    {"A:1:H:S19.2E:1:1:2;x:0:0:1:0:0:0", "apid", "not a whole number"},
    {"A:1:H:S19.2E:1:1:2:x:0:1:0:0:0", "tpid", "not a whole number"},
    {"A:1:H:S19.2E:1:1:2:3;70000:0:1:0:0:0", "tpid", "out of range"},
    {"A:1:H:S19.2E:1:1:2:3:0:0:1:2:0", "sid", "0: the recorder refuses"},
    {"A:1:H:S19.2E:1:1:2:3:0:1:0:70000:0", "tid", "out of range"},
    {"A:1:H:S19.2E:1:1:2:3:0:1:0:1:0:9", "rid", "more than the 13 fields"},
    {"A:1:H:S19.2E:1:1:2:3:0:1x:0:1:0", "sid", "not a whole number"},
};

TEST(VdrLine, RefusedLinesNameTheirField) {
    for (const BadLine& bad : BadLines) {
        VdrChannel channel;
        VdrLineError error;
        EXPECT_FALSE(parseVdrLine(bad.line, channel, error)) << bad.line;
        EXPECT_STREQ(error.field, bad.field) << bad.line;
        EXPECT_NE(error.why.find(bad.why), std::string::npos) << bad.line << ": " << error.why;
    }
}

}  // namespace
