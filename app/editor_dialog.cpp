// The main dialog procedure: start-up, then every command and notification by control ID and code.
#include "app/editor_dialog.h"

#include "app/editor_commands.h"
#include "app/window_services.h"
#include "form/category_list.h"
#include "form/record_form.h"
#include "form/stream_list.h"
#include "resources/resource_ids.h"

bool FileLoaded = false;

namespace {

void addChoice(int comboId, const char* text) {
    SendMessageA(control(comboId), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// The table is empty and nothing is selected; the form's fields stay empty until a channel is shown.
void startUp(HWND dialog) {
    MainDialog = dialog;
    initStreamColumns(control(IDC_STREAM_LIST));
    addChoice(IDC_POLARITY, "Horizontal [Left]");
    addChoice(IDC_POLARITY, "Vertical [Right]");
    addChoice(IDC_SERVICE_TYPE, "Data");
    addChoice(IDC_SERVICE_TYPE, "TV");
    addChoice(IDC_SERVICE_TYPE, "Radio");
    loadCategories();
}

// Button clicks and menu items. Enter and Escape arrive as IDs 1 and 2 and are ignored.
void runCommand(int id) {
    switch (id) {
        case IDC_OPEN:
        case IDM_OPEN: openChannelFile(); break;
        case IDC_SAVE:
        case IDM_SAVE: saveChannelFile(); break;
        case IDC_MODIFY: modifyChannel(); break;
        case IDC_MAKE_COPY: makeChannelCopy(); break;
        case IDC_DELETE: deleteChannel(); break;
        case IDM_ABOUT: showAboutBox(); break;
        case IDM_EXIT: exitProgram(); break;
        default: break;
    }
}

// A list's selection changed: the channel list shows a channel, the drop-down lists edit the form.
void selectionChanged(int id) {
    switch (id) {
        case IDC_CHANNEL_LIST: showSelected(); break;
        case IDC_POLARITY:
        case IDC_SERVICE_TYPE:
        case IDC_CATEGORY: readForm(); break;
        default: break;
    }
}

void handleCommand(int id, int code) {
    switch (code) {
        case BN_CLICKED: runCommand(id); break;           // also menu items, whose code is 0 as well
        case LBN_SELCHANGE: selectionChanged(id); break;  // CBN_SELCHANGE has the same code
        case EN_CHANGE: readForm(); break;
        default: break;
    }
}

}  // namespace

// TRUE for the start-up message only, so the default dialog handling always follows every other one.
INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: startUp(dialog); return TRUE;
        case WM_COMMAND: handleCommand(LOWORD(wParam), HIWORD(wParam)); return FALSE;
        case WM_SYSCOMMAND:
            // The default handling that follows turns the request into an ID 2 command, ignored above.
            if (wParam == SC_CLOSE) closeRequested();
            return FALSE;
        default: return FALSE;
    }
}
