// Times every command of the editor at the largest list, 16384 channels, on the real main dialog
// under Wine, through the same functions the commands call. Each figure is the minimum and median
// over repeated runs, in milliseconds, with the floor measured in the same run beside it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/channel_list.h"
#include "app/editor_commands.h"
#include "app/editor_dialog.h"
#include "app/file_chooser.h"
#include "app/window_services.h"
#include "bench/bench_list.h"
#include "channel/channel_table.h"
#include "form/record_form.h"
#include "form/stream_list.h"
#include "resources/resource_ids.h"

namespace {

constexpr int Runs = 15;
constexpr int FullList = ChannelTable::Capacity;

char WorkFolder[MAX_PATH];
char ListPath[MAX_PATH];
char SavePath[MAX_PATH];
unsigned char FileImage[FullList * sizeof(ChannelRecord) + 1];

LARGE_INTEGER Frequency;

double nowMs() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(Frequency.QuadPart);
}

// Lets the dialog repaint what the last command changed, as it would before the user sees it.
void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

struct Samples {
    double values[Runs];
    int n = 0;
    void add(double ms) { values[n++] = ms; }
    double minimum() const { return *std::min_element(values, values + n); }
    double median() {
        std::sort(values, values + n);
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    }
};

// A command's own time, until it returns, and the repaint of what it changed, which follows.
struct Figure {
    Samples work;
    Samples repaint;
};

void report(const char* what, Figure& figure, const char* target) {
    std::printf("%-46s min %7.2f  median %7.2f ms   repaint after it %6.2f ms   %s\n", what, figure.work.minimum(),
                figure.work.median(), figure.repaint.median(), target);
}

void makeFullList() {
    makeBenchList(ChannelTable::slots, FullList);
    ChannelTable::count = FullList;
}

// Open's work once the chooser has returned: load, list rebuild, empty form.
void openList() {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s", ListPath);
    openChosenFile();
}

// The first channel at or after from whose record holds all 32 streams.
int channelWithAllStreams(int from) {
    for (int i = from; i < ChannelTable::count; ++i)
        if (ChannelTable::slots[i].streamCount == MaxStreams) return i;
    return from;
}

void select(int index) {
    selectChannelItem(index);
    showSelected();
}

bool setUp() {
    QueryPerformanceFrequency(&Frequency);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::snprintf(WorkFolder, sizeof WorkFolder, "%svessaly-bench-%lu", temp, GetCurrentProcessId());
    CreateDirectoryA(WorkFolder, nullptr);
    SetCurrentDirectoryA(WorkFolder);
    FILE* categories = std::fopen("Category.txt", "w");
    if (!categories) return false;
    std::fputs("News\nSport\nMusic\nMovies\n", categories);
    std::fclose(categories);
    std::snprintf(ListPath, sizeof ListPath, "%s\\full.kvx", WorkFolder);
    std::snprintf(SavePath, sizeof SavePath, "%s\\saved.kvx", WorkFolder);

    Instance = GetModuleHandleA(nullptr);
    registerWindowClasses();
    if (!CreateDialogParamA(Instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0)) return false;
    pumpMessages();
    makeFullList();
    return ChannelTable::save(ListPath).ok;
}

void tearDown() {
    DestroyWindow(MainDialog);
    DeleteFileA(ListPath);
    DeleteFileA(SavePath);
    DeleteFileA("Category.txt");
    SetCurrentDirectoryA("..");
    RemoveDirectoryA(WorkFolder);
}

// Times work, then the repaint it causes; whatever earlier steps left to paint is painted first.
template <typename Work>
void timed(Figure& figure, Work work) {
    pumpMessages();
    const double start = nowMs();
    work();
    const double done = nowMs();
    pumpMessages();
    figure.work.add(done - start);
    figure.repaint.add(nowMs() - done);
}

void floorFigures(Figure& readFloor, Figure& fillFloor) {
    const HWND hidden = CreateWindowA("LISTBOX", "", WS_POPUP | LBS_NOTIFY | WS_VSCROLL, 0, 0, 200, 300, nullptr,
                                      nullptr, Instance, nullptr);
    for (int run = 0; run < Runs; ++run) {
        timed(readFloor, [] {
            FILE* file = std::fopen(ListPath, "rb");
            if (!file) return;
            const size_t got = std::fread(FileImage, 1, sizeof FileImage, file);
            std::fclose(file);
            if (got != FullList * sizeof(ChannelRecord)) std::printf("floor read short: %u\n", unsigned(got));
        });
        timed(fillFloor, [hidden] {
            SendMessageA(hidden, WM_SETREDRAW, FALSE, 0);
            SendMessageA(hidden, LB_RESETCONTENT, 0, 0);
            for (int i = 0; i < FullList; ++i) {
                char name[TextFieldSize + 1];
                std::memcpy(name, reinterpret_cast<const ChannelRecord*>(FileImage)[i].name, TextFieldSize);
                name[TextFieldSize] = '\0';
                SendMessageA(hidden, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            }
            SendMessageA(hidden, WM_SETREDRAW, TRUE, 0);
        });
    }
    DestroyWindow(hidden);
}

}  // namespace

int main() {
    if (!setUp()) {
        std::printf("bench: could not set up the main dialog and the list\n");
        return 1;
    }
    std::printf("Vessaly benchmark: %d channels, %d runs each; a command's time ends when it returns\n\n", FullList,
                Runs);

    Figure readFloor, fillFloor;
    floorFigures(readFloor, fillFloor);

    Figure open, copy, copyGuard, deleteFirst, deleteLast, modify, selectStreams, save;
    Figure streamRows, loadOnly, rebuildOnly, listSelection;  // parts, to see where the time goes
    for (int run = 0; run < Runs; ++run) {
        timed(open, openList);

        select(100);
        timed(copyGuard, makeChannelCopy);  // 16384 channels: the guard refuses

        select(FullList - 1);
        timed(deleteLast, deleteChannel);  // 16383 left
        select(100);
        timed(copy, makeChannelCopy);  // back to 16384

        select(0);
        timed(deleteFirst, deleteChannel);

        select(FullList / 2);
        char name[32];
        std::snprintf(name, sizeof name, "Renamed %d", run);
        SetWindowTextA(control(IDC_NAME), name);
        timed(modify, modifyChannel);

        const int withStreams = channelWithAllStreams(64 * (1 + run % 8));
        select(withStreams + 1);
        // A click moves the list box's selection itself; the editor's part is showSelected.
        timed(listSelection, [withStreams] { selectChannelItem(withStreams); });
        timed(selectStreams, showSelected);
        timed(streamRows, [] { fillStreamList(CurrentRecord); });
        timed(loadOnly, [] { ChannelTable::load(ListPath); });
        timed(rebuildOnly, rebuildChannelList);

        openList();  // the full list again, for a full-size save
        timed(save, [] {
            if (!ChannelTable::save(SavePath).ok) std::printf("bench: save failed\n");
        });
    }

    char target[64];
    std::printf("Floors, measured in this run:\n");
    report("read the file with one fread", readFloor, "");
    report("16384 strings into a hidden list, no redraw", fillFloor, "");
    const double floor = readFloor.work.median() + fillFloor.work.median();
    std::printf("\nCommands:\n");
    std::snprintf(target, sizeof target, "target < %.1f ms (2x floor) and < 50 ms", 2 * floor);
    report("Open's work (load + list rebuild)", open, target);
    report("Make copy at 16383 channels", copy, "target < 10 ms");
    report("Make copy at 16384 (refused)", copyGuard, "target < 10 ms");
    report("Delete the first of 16384", deleteFirst, "target < 10 ms");
    report("Delete the last of 16384", deleteLast, "target < 10 ms");
    report("Modify a name in the middle", modify, "target < 10 ms");
    report("Show a channel with 32 streams", selectStreams, "target < 10 ms");
    report("Save 16384 channels (temp, read-back, replace)", save, "target < 100 ms");
    std::printf("\nParts:\n");
    report("  load of 16384 records", loadOnly, "");
    report("  channel list rebuild", rebuildOnly, "");
    report("  stream list fill, 32 rows", streamRows, "");
    report("  the list box moving its selection (LB_SETCURSEL)", listSelection, "");

    tearDown();
    return 0;
}
