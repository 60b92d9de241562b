// The main dialog fixture for the editor's tests.
#include "tests/app/editor_fixture.h"

#include <cstdio>
#include <cstring>

#include "app/editor_dialog.h"
#include "app/window_services.h"
#include "channel/channel_table.h"
#include "form/record_form.h"
#include "resources/resource_ids.h"
#include "tests/support/window_answerer.h"

const char* const TestCategories = "News\nSport\nMusic\nMovies\nKids\n";

ChannelRecord testChannel(int number, const char* name) {
    ChannelRecord record{};
    record.frequency.set(10700 + 25 * number);
    record.symbolRate.set(27500);
    record.polarity.set(number % 2 == 0 ? PolarityHorizontal : PolarityVertical);
    record.tid.set(static_cast<std::uint16_t>(1000 + number));
    record.sid.set(static_cast<std::uint16_t>(2000 + number));
    record.pmtPid.set(static_cast<std::uint16_t>(256 + number));
    record.pcrPid.set(static_cast<std::uint16_t>(512 + number));
    record.ecmPid.set(0);
    record.serviceType = static_cast<std::uint8_t>(1 + number % 2);
    std::snprintf(record.provider, sizeof record.provider, "Provider %d", number % 3);
    std::snprintf(record.name, sizeof record.name, "%s", name);
    record.videoPid.set(static_cast<std::uint16_t>(512 + number));
    record.audioPid.set(static_cast<std::uint16_t>(650 + number));
    record.teletextPid.set(static_cast<std::uint16_t>(576 + number));
    record.ac3Pid.set(0);
    record.streamCount = 2;
    record.streams[0] = StreamEntry{2, {}, 1, 0, {}, {}};
    record.streams[0].pid.set(static_cast<std::uint16_t>(512 + number));
    record.streams[1] = StreamEntry{4, {}, 2, 3, {'e', 'n', 'g'}, {}};
    record.streams[1].pid.set(static_cast<std::uint16_t>(650 + number));
    record.reserved8[1] = static_cast<std::uint8_t>(0xA0 + number % 16);  // bytes the form never shows
    record.reserved418[23] = 0x5A;
    record.category = static_cast<std::uint8_t>(number % TestCategoryCount);
    return record;
}

std::vector<unsigned char> fileBytes(const std::vector<ChannelRecord>& records) {
    std::vector<unsigned char> bytes(records.size() * sizeof(ChannelRecord));
    if (!records.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
    return bytes;
}

std::vector<unsigned char> readFileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    unsigned char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    writeFileBytes(path, std::string(bytes.begin(), bytes.end()));
}

bool isMainDialog(HWND window) { return GetDlgItem(window, IDC_CHANNEL_LIST) != nullptr; }

namespace {

void removeFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeFolder(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

void MainDialogTest::SetUp() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char folder[MAX_PATH];
    static unsigned sequence = 0;
    std::snprintf(folder, sizeof folder, "%svessaly-editor-%lu-%u", temp, GetCurrentProcessId(), ++sequence);
    ASSERT_TRUE(CreateDirectoryA(folder, nullptr)) << folder;
    folder_ = folder;
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    previousFolder_ = current;
    ASSERT_TRUE(SetCurrentDirectoryA(folder));

    // Each test starts the program afresh: the state a new process would have.
    FileLoaded = false;
    ChannelTable::count = 0;
    SelectedIndex = -1;
    CurrentRecord = ChannelRecord{};
    FormUpdating = false;
    Instance = GetModuleHandleA(nullptr);
    registerWindowClasses();
}

void MainDialogTest::createDialog(const char* categories) {
    if (categories != nullptr) writeFileBytes(pathOf("Category.txt"), std::string(categories));
    dialog_ = CreateDialogParamA(Instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ASSERT_EQ(MainDialog, dialog_);
    takeQuitMessage();
}

void MainDialogTest::TearDown() {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    dialog_ = nullptr;
    MainDialog = nullptr;
    takeQuitMessage();
    SetCurrentDirectoryA(previousFolder_.c_str());
    if (!folder_.empty()) removeFolder(folder_);

}

std::string MainDialogTest::pathOf(const char* name) const { return folder_ + "\\" + name; }

std::string MainDialogTest::writeChannelFile(const char* name, const std::vector<ChannelRecord>& records) {
    const std::string path = pathOf(name);
    writeFileBytes(path, fileBytes(records));
    return path;
}

void MainDialogTest::openThroughChooser(const std::string& path) {
    WindowAnswerer answerer(isMainDialog);
    answerer.expectChooser("Open kvx file", path.c_str());
    command(IDC_OPEN);
    EXPECT_TRUE(answerer.allAnswered()) << answerer.report();
}

void MainDialogTest::command(int id, int code) {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(item(id)));
}

void MainDialogTest::selectChannel(int index) {
    SendMessageA(item(IDC_CHANNEL_LIST), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    command(IDC_CHANNEL_LIST, LBN_SELCHANGE);
}

void MainDialogTest::setText(int id, const char* value) { SetWindowTextA(item(id), value); }

std::string MainDialogTest::text(int id) const {
    char value[260] = {};
    GetWindowTextA(item(id), value, sizeof value);
    return value;
}

std::vector<std::string> MainDialogTest::listItems() const {
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

int MainDialogTest::listSelection() const {
    return static_cast<int>(SendMessageA(item(IDC_CHANNEL_LIST), LB_GETCURSEL, 0, 0));
}
