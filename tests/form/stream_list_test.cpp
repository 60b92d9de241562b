// The stream list in the real main dialog: its columns, and the rows a selected channel shows.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form/stream_list.h"
#include "tests/form/form_window_support.h"

namespace {

using Row = std::vector<std::string>;

std::vector<Row> streamRows() {
    std::vector<Row> rows;
    const int count = listViewRowCount(IDC_STREAM_LIST);
    for (int row = 0; row < count; ++row) {
        Row cells;
        for (int column = 0; column < 4; ++column) cells.push_back(listViewCell(IDC_STREAM_LIST, row, column));
        rows.push_back(cells);
    }
    return rows;
}

using StreamListTest = MainDialogFixture;

TEST_F(StreamListTest, HasTheFourColumnsWithTheirHeadersWidthsAndAlignment) {
    struct Expected {
        const char* header;
        int width;
        int format;
    };
    const Expected expected[] = {
        {"Type", 46, LVCFMT_LEFT}, {"PID", 44, LVCFMT_RIGHT}, {"Lang", 44, LVCFMT_RIGHT}, {"Page", 44, LVCFMT_RIGHT}};
    const HWND listView = GetDlgItem(dialog, IDC_STREAM_LIST);
    for (int index = 0; index < 4; ++index) {
        char header[256] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.pszText = header;
        column.cchTextMax = sizeof header;
        ASSERT_TRUE(SendMessageA(listView, LVM_GETCOLUMNA, index, reinterpret_cast<LPARAM>(&column))) << index;
        EXPECT_STREQ(header, expected[index].header);
        EXPECT_EQ(column.cx, expected[index].width) << index;
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, expected[index].format) << index;
        EXPECT_EQ(column.iSubItem, index);
    }
    LVCOLUMNA fifth{};
    fifth.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(listView, LVM_GETCOLUMNA, 4, reinterpret_cast<LPARAM>(&fifth)));
    EXPECT_EQ(listViewRowCount(IDC_STREAM_LIST), 0);
}

// A stand-in list view that accepts columns until a given insert and refuses that one.
struct ColumnInserts {
    int refuseAt = -1;
    int calls = 0;
    std::vector<std::string> headers;
};
ColumnInserts Inserts;

LRESULT CALLBACK refusingListView(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != LVM_INSERTCOLUMNA) return DefWindowProcA(window, message, wParam, lParam);
    const auto* column = reinterpret_cast<const LVCOLUMNA*>(lParam);
    if (Inserts.calls++ == Inserts.refuseAt) return -1;
    Inserts.headers.push_back(column->pszText);
    return static_cast<LRESULT>(wParam);
}

HWND createRefusingListView() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = refusingListView;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RefusingListView";
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    return CreateWindowA("RefusingListView", "", 0, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

TEST_F(StreamListTest, StopsAtTheFirstRefusedColumn) {
    const HWND fake = createRefusingListView();
    ASSERT_NE(fake, nullptr);
    Inserts = ColumnInserts{};
    Inserts.refuseAt = 1;
    EXPECT_FALSE(initStreamColumns(fake));
    EXPECT_EQ(Inserts.calls, 2);
    EXPECT_EQ(Inserts.headers, std::vector<std::string>{"Type"});

    Inserts = ColumnInserts{};
    EXPECT_TRUE(initStreamColumns(fake));
    EXPECT_EQ(Inserts.headers, (std::vector<std::string>{"Type", "PID", "Lang", "Page"}));
    DestroyWindow(fake);
}

TEST_F(StreamListTest, ShowsTheEntriesLastFirstWithExactCells) {
    putChannels({channelWithStreams("Three streams", {streamEntry(2, 101, 1), streamEntry(4, 102, 2, 3, "eng"),
                                                      streamEntry(6, 103, 4, 0, "", 100)})});
    showChannel(0);
    const std::vector<Row> expected = {
        {"06 TTX", "103", "", "100"},
        {"04 AUD", "102", "eng", ""},
        {"02 VID", "101", "", ""},
    };
    EXPECT_EQ(streamRows(), expected);
}

TEST_F(StreamListTest, ShowsKindNamesNumbersAndPagesAsFormatted) {
    putChannels(
        {channelWithStreams("Odd streams", {
                                               streamEntry(3, 7, 0),                 // kind 0 through its name
                                               streamEntry(3, 8, 200, 0, "", 9),     // beyond the names
                                               streamEntry(12, 9, 5, 2, "deu", 5),   // subtitle page 5
                                               streamEntry(1, 65535, 1, 0, "", 77),  // a video page is not shown
                                               streamEntry(1, 0, 2, 255, "ita"),     // length past the 3 bytes
                                           })});
    showChannel(0);
    const std::vector<Row> expected = {
        {"01 AUD", "000", "ita", ""}, {"01 VID", "65535", "", ""}, {"12 SUB", "009", "de", "05"},
        {"03 ---", "008", "", ""},    {"03 ---", "007", "", ""},
    };
    EXPECT_EQ(streamRows(), expected);
}

TEST_F(StreamListTest, IsRebuiltForEveryChannelAndEmptyForNoStreams) {
    ChannelRecord many = namedChannel("More than fit");
    many.streamCount = 200;  // a damaged record: only the 32 entries it holds are shown
    for (int i = 0; i < MaxStreams; ++i) many.streams[i] = streamEntry(static_cast<std::uint8_t>(i), 100 + i, 1);
    putChannels({channelWithStreams("Two", {streamEntry(1, 1, 1), streamEntry(2, 2, 2)}), namedChannel("None"), many});

    showChannel(0);
    EXPECT_EQ(listViewRowCount(IDC_STREAM_LIST), 2);
    showChannel(1);
    EXPECT_EQ(listViewRowCount(IDC_STREAM_LIST), 0);
    showChannel(2);
    ASSERT_EQ(listViewRowCount(IDC_STREAM_LIST), MaxStreams);
    EXPECT_EQ(listViewCell(IDC_STREAM_LIST, 0, 0), "31 VID");
    EXPECT_EQ(listViewCell(IDC_STREAM_LIST, MaxStreams - 1, 1), "100");
    showChannel(0);
    EXPECT_EQ(streamRows(), (std::vector<Row>{{"02 AUD", "002", "", ""}, {"01 VID", "001", "", ""}}));
}

}  // namespace
