// The main dialog's commands: Open, Save, Modify, Make copy, Delete, About, Exit and the close
// procedure. The channel list and the channel table change together, so item i stays slot i.
#include "app/editor_commands.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/channel_list.h"
#include "app/editor_dialog.h"
#include "app/file_chooser.h"
#include "app/window_services.h"
#include "channel/channel_table.h"
#include "form/record_form.h"
#include "resources/resource_ids.h"

namespace {

// Room for the sentence, the path and the reason.
char MessageText[MAX_PATH + sizeof ChannelTable::FileResult::reason + 64];

void reportFileFailure(const char* what, const ChannelTable::FileResult& result) {
    std::snprintf(MessageText, sizeof MessageText, "%s\n%s\n\n%s", what, PathBuffer, result.reason);
    MessageBoxA(MainDialog, MessageText, "Vessaly", MB_OK | MB_ICONERROR);
}

bool selectionNamesChannel() { return SelectedIndex >= 0 && SelectedIndex < ChannelTable::count; }

}  // namespace

void openChannelFile() {
    if (chooseFileToOpen()) openChosenFile();
}

void openChosenFile() {
    const ChannelTable::FileResult result = ChannelTable::load(PathBuffer);
    if (!result.ok) {
        // A file that could not be opened leaves the table as it was; one that failed part-way
        // leaves it empty, and then the list and the form must follow it.
        if (channelItemCount() != ChannelTable::count) {
            rebuildChannelList();
            showSelected();
        }
        reportFileFailure("The channel list could not be opened from", result);
        return;
    }
    rebuildChannelList();
    // The rebuilt list has no selection: the form must not keep a channel of the earlier file, or
    // Modify, Make copy and Delete would write it into the new list.
    showSelected();
    FileLoaded = true;
}

bool saveChosenFile() {
    const ChannelTable::FileResult result = ChannelTable::save(PathBuffer);
    if (!result.ok) reportFileFailure("The channel list could not be saved to", result);
    return result.ok;
}

void saveChannelFile() {
    if (chooseFileToSave()) saveChosenFile();
}

void modifyChannel() {
    if (!selectionNamesChannel()) return;
    const FieldText shown = ChannelTable::nameAt(SelectedIndex);
    const FieldText edited = fieldTextCopy(CurrentRecord.name);
    if (std::strcmp(edited.text, shown.text) != 0) renameChannelItem(SelectedIndex, edited.text);
    ChannelTable::replace(SelectedIndex, CurrentRecord);
}

void makeChannelCopy() {
    if (ChannelTable::count >= ChannelTable::Capacity || SelectedIndex == -1) return;
    ChannelTable::append(CurrentRecord);
    // Only the new last item changes, so the list grows by one instead of being rebuilt.
    addLastChannelItem();
    showSelected();
}

void deleteChannel() {
    if (!selectionNamesChannel()) return;
    const std::int32_t index = SelectedIndex;
    ChannelTable::remove(index);
    // The channel that moved up takes the place; after the last one, the one before it.
    deleteChannelItem(index, index == ChannelTable::count ? index - 1 : index);
    showSelected();
}

void showAboutBox() { DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_ABOUT), MainDialog, aboutBoxProc, 0); }

void exitProgram() { PostQuitMessage(0); }

void closeRequested() {
    if (!FileLoaded) {
        PostQuitMessage(0);
        return;
    }
    switch (MessageBoxA(MainDialog, "Save changes?", "Vessaly", MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDYES:
            // Only a save that reached the disk ends the program; otherwise the work stays open.
            if (chooseFileToSave() && saveChosenFile()) PostQuitMessage(0);
            break;
        case IDNO: PostQuitMessage(0); break;
        default: break;
    }
}
