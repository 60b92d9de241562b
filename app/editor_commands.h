#pragma once
// The main dialog's commands, one function each, called from the dialog procedure's command switch.

void openChannelFile();  // Open: choose a kvx file, load it, show its channel list
void saveChannelFile();  // Save: choose a kvx file, write the channel table to it
void modifyChannel();    // Modify: apply the form to the selected channel
void makeChannelCopy();  // Make copy: append the form's record as a new channel and select it
void deleteChannel();    // Delete: remove the selected channel
void showAboutBox();     // About: the modal About box
void exitProgram();      // Exit: quit at once, with no question
void closeRequested();   // the close box, Alt+F4 or the system menu: ask to save once a file was opened

// The work after a chooser returned with a path in PathBuffer.
void openChosenFile();  // load it and show its channel list; a failure is shown and changes nothing
bool saveChosenFile();  // save to it; a failure is shown, leaves the old file and returns false
