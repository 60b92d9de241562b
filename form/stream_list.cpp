// The stream list: four fixed columns, and one row per stream entry of the record shown.
#include "form/stream_list.h"

#include <commctrl.h>

#include <iterator>

#include "form/dialog_controls.h"
#include "form/form_text.h"
#include "resources/resource_ids.h"

namespace {

struct StreamColumn {
    int header;  // string resource
    int width;   // pixels
    int format;
};

constexpr StreamColumn StreamColumns[] = {
    {IDS_COLUMN_TYPE, 46, LVCFMT_LEFT},
    {IDS_COLUMN_PID, 44, LVCFMT_RIGHT},
    {IDS_COLUMN_LANG, 44, LVCFMT_RIGHT},
    {IDS_COLUMN_PAGE, 44, LVCFMT_RIGHT},
};

void setCell(HWND listView, int row, int column, char* text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = text;
    SendMessageA(listView, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// Every row goes in on top, so the list shows the entries last first.
void addRow(HWND listView, const StreamEntry& entry) {
    TextBuffer text;
    streamTypeText(entry, text);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = 0;
    item.iSubItem = 0;
    item.pszText = text;
    const LRESULT row = SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (row < 0) return;
    streamPidText(entry, text);
    setCell(listView, static_cast<int>(row), 1, text);
    streamLangText(entry, text);
    setCell(listView, static_cast<int>(row), 2, text);
    if (streamPageText(entry, text)) setCell(listView, static_cast<int>(row), 3, text);
}

}  // namespace

bool initStreamColumns(HWND listView) {
    for (int index = 0; index < static_cast<int>(std::size(StreamColumns)); ++index) {
        char header[256] = "";
        LoadStringA(Instance, StreamColumns[index].header, header, sizeof header);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = StreamColumns[index].format;
        column.cx = StreamColumns[index].width;
        column.pszText = header;
        column.iSubItem = index;
        if (SendMessageA(listView, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)) == -1) return false;
    }
    return true;
}

// Called on every selection: the list is refilled with drawing held back and painted once at the end.
// Under Wine the list view redraws its scroll bar at once whenever a row changes its range, even with
// its own redraw switched off; the window's switch (DefWindowProc) holds that back too.
void fillStreamList(const ChannelRecord& record) {
    const HWND listView = control(IDC_STREAM_LIST);
    SendMessageA(listView, WM_SETREDRAW, FALSE, 0);
    DefWindowProcA(listView, WM_SETREDRAW, FALSE, 0);
    SendMessageA(listView, LVM_DELETEALLITEMS, 0, 0);
    const int entries = shownStreamCount(record);  // never past the 32 entries the record holds
    for (int i = 0; i < entries; ++i) addRow(listView, record.streams[i]);
    SendMessageA(listView, WM_SETREDRAW, TRUE, 0);  // updates the scroll bar while it cannot draw yet
    DefWindowProcA(listView, WM_SETREDRAW, TRUE, 0);
    // The frame holds the scroll bar, whose range and position the refill may have changed.
    RedrawWindow(listView, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}
