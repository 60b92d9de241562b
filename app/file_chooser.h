#pragma once
// The Open and Save file choosers. Both are prepared afresh each time, so they never propose a file
// name and never remember the previous one; the chosen path lands in PathBuffer.

#include <windows.h>
#include <commdlg.h>

extern char PathBuffer[MAX_PATH];
extern OPENFILENAMEA FileChooser;

// True when the user chose an existing kvx file; its full path is then in PathBuffer.
bool chooseFileToOpen();

// True when the user chose a file name to save to; its full path is then in PathBuffer.
bool chooseFileToSave();
