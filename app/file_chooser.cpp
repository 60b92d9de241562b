// The Open and Save file choosers with the fields, filter, titles and flags the editor hands over.
#include "app/file_chooser.h"

#include <cstring>

#include "app/window_services.h"

char PathBuffer[MAX_PATH];
OPENFILENAMEA FileChooser;

namespace {

// The size the chooser is told: the full structure, with the reserved fields and FlagsEx. The
// chooser refuses any other size, and the structure's size differs between the two architectures.
constexpr DWORD ChooserStructSize = sizeof(OPENFILENAMEA);
#if defined(__i386__)
static_assert(ChooserStructSize == 88, "the 32-bit program hands the chooser 88 bytes");
#endif

const char ChooserFilter[] = "Orvanta Channel files (*.kvx)\0*.kvx\0All files (*.*)\0*.*\0";

void prepareChooser() {
    std::memset(&FileChooser, 0, sizeof FileChooser);
    std::memset(PathBuffer, 0, sizeof PathBuffer);
    FileChooser.lStructSize = ChooserStructSize;
    FileChooser.hwndOwner = MainDialog;
    FileChooser.lpstrFilter = ChooserFilter;  // the literal's own NUL ends the list with a second NUL
    FileChooser.nFilterIndex = 1;
    FileChooser.lpstrFile = PathBuffer;
    FileChooser.nMaxFile = sizeof PathBuffer;
}

}  // namespace

bool chooseFileToOpen() {
    prepareChooser();
    FileChooser.lpstrTitle = "Open kvx file";
    FileChooser.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    return GetOpenFileNameA(&FileChooser) == 1;
}

bool chooseFileToSave() {
    prepareChooser();
    FileChooser.lpstrTitle = "Save kvx file";
    FileChooser.lpstrDefExt = "*.kvx";  // handed over as it is; the chooser decides what it appends
    FileChooser.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    return GetSaveFileNameA(&FileChooser) == 1;
}
