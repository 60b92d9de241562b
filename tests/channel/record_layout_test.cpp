#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "channel/channel_record.h"

namespace {

struct Image {
    unsigned char bytes[ChannelRecordSize] = {};
    void put(std::size_t offset, std::initializer_list<unsigned char> values) {
        for (unsigned char value : values) bytes[offset++] = value;
    }
    ChannelRecord record() const {
        ChannelRecord decoded;
        std::memcpy(&decoded, bytes, sizeof decoded);
        return decoded;
    }
};

TEST(RecordLayout, DecodesEveryFieldOfAHandWrittenImage) {
    Image image;
    image.put(0, {0x10, 0x32, 0x54, 0xF6});  // frequency, negative
    image.put(4, {0x70, 0x6B});
    image.put(6, {'V', 0});
    image.put(8, {0xA1, 0xA2, 0xA3, 0xA4});
    image.put(12, {0x01, 0x02, 0x03, 0x84, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A});  // tid sid pmt pcr ecm
    image.put(22, {2});
    std::memcpy(image.bytes + 23, "Provider", 9);
    std::memcpy(image.bytes + 53, "Channel One", 12);
    image.put(83, {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0xB1, 0xB2, 3});  // 4 pids, reserved, count
    image.put(94, {0x1B, 0x00, 0x01, 1, 0, 0, 0, 0, 0, 0});
    image.put(104, {0x06, 0x34, 0x12, 4, 3, 'r', 'u', 's', 0x88, 0x01});
    image.put(404, {0xFF, 0xFE, 0xFF, 9, 3, 'e', 'n', 'g', 0x01, 0x00});  // entry 31, the last
    image.put(414, {0xC1, 0xC2, 0xC3, 7});
    image.put(418, {0xD0});
    image.put(441, {0xD7});

    const ChannelRecord r = image.record();
    EXPECT_EQ(r.frequency.get(), -0x09ABCDF0);
    EXPECT_EQ(r.symbolRate.get(), 27504);
    EXPECT_EQ(r.polarity.get(), PolarityVertical);
    EXPECT_EQ(r.reserved8[0], 0xA1);
    EXPECT_EQ(r.reserved8[3], 0xA4);
    EXPECT_EQ(r.tid.get(), 0x0201);
    EXPECT_EQ(r.sid.get(), 0x8403);
    EXPECT_EQ(r.pmtPid.get(), 0x0605);
    EXPECT_EQ(r.pcrPid.get(), 0x0807);
    EXPECT_EQ(r.ecmPid.get(), 0x0A09);
    EXPECT_EQ(r.serviceType, 2);
    EXPECT_EQ(fieldText(r.provider), "Provider");
    EXPECT_EQ(fieldText(r.name), "Channel One");
    EXPECT_EQ(r.videoPid.get(), 0x1211);
    EXPECT_EQ(r.audioPid.get(), 0x1413);
    EXPECT_EQ(r.teletextPid.get(), 0x1615);
    EXPECT_EQ(r.ac3Pid.get(), 0x1817);
    EXPECT_EQ(r.reserved91[0], 0xB1);
    EXPECT_EQ(r.reserved91[1], 0xB2);
    EXPECT_EQ(r.streamCount, 3);

    EXPECT_EQ(r.streams[0].streamType, 0x1B);
    EXPECT_EQ(r.streams[0].pid.get(), 0x0100);
    EXPECT_STREQ(StreamKindNames[r.streams[0].kind], "VID");
    EXPECT_EQ(r.streams[1].pid.get(), 0x1234);
    EXPECT_EQ(r.streams[1].kind, StreamKindTeletext);
    EXPECT_EQ(std::string(r.streams[1].lang, 3), "rus");
    EXPECT_EQ(r.streams[1].page.get(), 0x0188);
    EXPECT_EQ(r.streams[31].streamType, 0xFF);
    EXPECT_EQ(r.streams[31].pid.get(), 0xFFFE);
    EXPECT_EQ(r.streams[31].kind, 9);
    EXPECT_EQ(r.streams[31].langLength, 3);
    EXPECT_EQ(std::string(r.streams[31].lang, 3), "eng");
    EXPECT_EQ(r.streams[31].page.get(), 1);

    EXPECT_EQ(r.reserved414[0], 0xC1);
    EXPECT_EQ(r.reserved414[2], 0xC3);
    EXPECT_EQ(r.category, 7);
    EXPECT_EQ(r.reserved418[0], 0xD0);
    EXPECT_EQ(r.reserved418[23], 0xD7);
}

TEST(RecordLayout, SettersWriteLittleEndianAndTouchNothingElse) {
    Image image;
    std::memset(image.bytes, 0x5A, sizeof image.bytes);
    ChannelRecord r = image.record();
    r.frequency.set(-2);
    r.polarity.set(PolarityHorizontal);
    r.streams[0].pid.set(0xABCD);  // odd offset 95
    image.put(0, {0xFE, 0xFF, 0xFF, 0xFF});
    image.put(6, {72, 0});
    image.put(95, {0xCD, 0xAB});
    EXPECT_EQ(std::memcmp(&r, image.bytes, sizeof r), 0);

    r.frequency.set(INT32_MIN);
    EXPECT_EQ(r.frequency.get(), INT32_MIN);
    r.frequency.set(INT32_MAX);
    EXPECT_EQ(r.frequency.get(), INT32_MAX);
}

// A file may hold any bytes at all: the views must keep every read inside the record.
TEST(RecordViews, ClampBrokenCountsAndCutTextsWithoutNul) {
    ChannelRecord r{};
    r.streamCount = 255;
    EXPECT_EQ(shownStreamCount(r), MaxStreams);
    r.streamCount = 32;
    EXPECT_EQ(shownStreamCount(r), 32);
    r.streamCount = 31;
    EXPECT_EQ(shownStreamCount(r), 31);

    r.streams[0].langLength = 255;
    EXPECT_EQ(shownLangLength(r.streams[0]), MaxLangLength);
    r.streams[0].langLength = 2;
    EXPECT_EQ(shownLangLength(r.streams[0]), 2);

    std::memset(r.name, 'N', sizeof r.name);
    r.videoPid.set(0x4141);  // the bytes right after the name are not NUL either
    EXPECT_EQ(fieldText(r.name), std::string(30, 'N'));
    EXPECT_STREQ(fieldTextCopy(r.name).text, std::string(30, 'N').c_str());

    std::memcpy(r.provider, "Astra\0garbage", 13);
    EXPECT_EQ(fieldText(r.provider), "Astra");
    EXPECT_STREQ(fieldTextCopy(r.provider).text, "Astra");
}

}  // namespace
