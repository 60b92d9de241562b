// Channel files and command helpers for the editor's tests.
#include "tests/app/editor_fixture.h"

#include <cstdio>
#include <cstring>

#include "resources/resource_ids.h"
#include "tests/support/window_answerer.h"

namespace {

constexpr int FixtureCategoryCount = 3;  // ThreeCategories

}  // namespace

ChannelRecord testChannel(int number, const char* name) {
    ChannelRecord record{};
    record.frequency.set(10700 + 25 * number);
    record.symbolRate.set(27500);
    record.polarity.set(number % 2 == 0 ? PolarityHorizontal : PolarityVertical);
    record.tid.set(static_cast<std::uint16_t>(1000 + number));
    record.sid.set(static_cast<std::uint16_t>(2000 + number));
    record.pmtPid.set(static_cast<std::uint16_t>(256 + number));
    record.pcrPid.set(static_cast<std::uint16_t>(512 + number));
    record.serviceType = static_cast<std::uint8_t>(1 + number % 2);
    std::snprintf(record.provider, sizeof record.provider, "Provider %d", number % 3);
    std::snprintf(record.name, sizeof record.name, "%s", name);
    record.videoPid.set(static_cast<std::uint16_t>(512 + number));
    record.audioPid.set(static_cast<std::uint16_t>(650 + number));
    record.teletextPid.set(static_cast<std::uint16_t>(576 + number));
    record.streamCount = 2;
    record.streams[0] = StreamEntry{2, {}, 1, 0, {}, {}};
    record.streams[0].pid.set(static_cast<std::uint16_t>(512 + number));
    record.streams[1] = StreamEntry{4, {}, 2, 3, {'e', 'n', 'g'}, {}};
    record.streams[1].pid.set(static_cast<std::uint16_t>(650 + number));
    record.reserved8[1] = static_cast<std::uint8_t>(0xA0 + number % 16);  // bytes the form never shows
    record.reserved418[23] = 0x5A;
    record.category = static_cast<std::uint8_t>(number % FixtureCategoryCount);
    return record;
}

std::vector<unsigned char> fileBytes(const std::vector<ChannelRecord>& records) {
    std::vector<unsigned char> bytes(records.size() * sizeof(ChannelRecord));
    if (!records.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
    return bytes;
}

bool isMainDialog(HWND window) { return GetDlgItem(window, IDC_CHANNEL_LIST) != nullptr; }

std::string EditorTest::writeChannelFile(const char* name, const std::vector<ChannelRecord>& records) {
    std::string path = pathOf(name);
    EXPECT_TRUE(writeFile(path, fileBytes(records))) << path;
    return path;
}

void EditorTest::openThroughChooser(const std::string& path) {
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Open kvx file", path.c_str());
    command(IDC_OPEN);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
}

void EditorTest::command(int id, int code) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(item(id)));
}

void EditorTest::selectChannel(int index) {
    SendMessageA(item(IDC_CHANNEL_LIST), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    command(IDC_CHANNEL_LIST, LBN_SELCHANGE);
}

void EditorTest::pressCloseBox() { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool EditorTest::quitRequested() {
    pumpMessages();
    return quitPosted;
}

std::vector<std::string> EditorTest::listItems() const {
    std::vector<std::string> items;
    const HWND list = item(IDC_CHANNEL_LIST);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char value[260] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(value));
        items.push_back(value);
    }
    return items;
}

int EditorTest::listSelection() const {
    return static_cast<int>(SendMessageA(item(IDC_CHANNEL_LIST), LB_GETCURSEL, 0, 0));
}
