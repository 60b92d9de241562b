// Reads the built program's own resources (its path is the first argument) and compares them
// with the layout: both dialog templates byte by byte through their fields, the menu, the strings,
// the icon groups and the language every resource is tagged with.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "resources/resource_ids.h"
#include "tests/resources/dialog_template.h"
#include "tests/resources/main_dialog_layout.h"

namespace {

const char* ProgramPath = nullptr;
HMODULE Program = nullptr;
constexpr WORD Russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

// The resource's bytes in the Russian language, or nullptr.
const BYTE* resourceBytes(LPCSTR type, int id, DWORD* size) {
    HRSRC found = FindResourceExA(Program, type, MAKEINTRESOURCEA(id), Russian);
    if (found == nullptr) return nullptr;
    *size = SizeofResource(Program, found);
    HGLOBAL loaded = LoadResource(Program, found);
    return loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
}

bool readDialog(int id, dialog_template::Dialog& dialog) {
    DWORD size = 0;
    const BYTE* bytes = resourceBytes(RT_DIALOG, id, &size);
    return bytes != nullptr && dialog_template::parse(bytes, size, dialog);
}

class ProgramResources : public testing::Test {
protected:
    static void SetUpTestSuite() { Program = LoadLibraryExA(ProgramPath, nullptr, LOAD_LIBRARY_AS_DATAFILE); }
    static void TearDownTestSuite() {
        if (Program != nullptr) FreeLibrary(Program);
        Program = nullptr;
    }
    void SetUp() override { ASSERT_NE(Program, nullptr) << "cannot load " << ProgramPath; }
};

TEST_F(ProgramResources, MainDialogHeaderMatchesTheLayout) {
    static dialog_template::Dialog dialog;
    ASSERT_TRUE(readDialog(IDD_MAIN, dialog));
    EXPECT_EQ(dialog.style, layout::MainDialogStyle) << std::hex << dialog.style;
    EXPECT_EQ(dialog.style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, layout::MainX);
    EXPECT_EQ(dialog.y, layout::MainY);
    EXPECT_EQ(dialog.width, layout::MainWidth);
    EXPECT_EQ(dialog.height, layout::MainHeight);
    EXPECT_EQ(dialog.menu.ordinal, IDR_MAIN_MENU);
    EXPECT_EQ(dialog.windowClass.ordinal, -1);
    EXPECT_STREQ(dialog.windowClass.text, "");
    EXPECT_STREQ(dialog.title, "Vessaly");
    EXPECT_EQ(dialog.points, layout::FontPoints);
    EXPECT_EQ(dialog.weight, layout::FontWeight);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, layout::FontCharset);
    EXPECT_STREQ(dialog.face, "Tahoma");
    EXPECT_EQ(dialog.count, layout::ControlCount);
}

TEST_F(ProgramResources, MainDialogControlsMatchTheTableInTemplateOrder) {
    static dialog_template::Dialog dialog;
    ASSERT_TRUE(readDialog(IDD_MAIN, dialog));
    ASSERT_EQ(dialog.count, layout::ControlCount);
    for (int i = 0; i < layout::ControlCount; ++i) {
        const layout::Control& want = layout::MainControls[i];
        const dialog_template::Item& got = dialog.items[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1) + " \"" + want.text + "\" ID " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(_stricmp(got.className, want.className), 0) << got.className;
        EXPECT_EQ(got.text.ordinal, -1);
        EXPECT_STREQ(got.text.text, want.text);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
        EXPECT_EQ(got.style, want.style) << std::hex << "got " << got.style << " want " << want.style;
        EXPECT_EQ(got.exStyle, 0u);
        EXPECT_EQ(got.helpId, 0u);
        EXPECT_EQ(got.creationDataSize, 0);
    }
}

TEST_F(ProgramResources, AboutBoxTemplate) {
    static dialog_template::Dialog about;
    ASSERT_TRUE(readDialog(IDD_ABOUT, about));
    EXPECT_EQ(about.style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT))
        << std::hex << about.style;
    EXPECT_EQ(about.x, 22);
    EXPECT_EQ(about.y, 17);
    EXPECT_EQ(about.width, 230);
    EXPECT_EQ(about.height, 37);
    EXPECT_EQ(about.menu.ordinal, -1);
    EXPECT_STREQ(about.menu.text, "");
    EXPECT_STREQ(about.title, "About");
    EXPECT_EQ(about.points, 8);
    EXPECT_EQ(about.weight, 400);
    EXPECT_EQ(about.italic, 0);
    EXPECT_EQ(about.charset, 204);
    EXPECT_STREQ(about.face, "Tahoma");
    ASSERT_EQ(about.count, 4);

    const dialog_template::Item& icon = about.items[0];
    EXPECT_EQ(icon.id, IDC_ABOUT_ICON);
    EXPECT_EQ(_stricmp(icon.className, "Static"), 0) << icon.className;
    EXPECT_EQ(icon.style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
    EXPECT_EQ(icon.text.ordinal, IDI_VESSALY);  // the icon group shown, by number
    EXPECT_EQ(icon.x, 14);
    EXPECT_EQ(icon.y, 9);
    EXPECT_EQ(icon.width, 20);
    EXPECT_EQ(icon.height, 20);

    const dialog_template::Item& version = about.items[1];
    EXPECT_EQ(_stricmp(version.className, "Static"), 0) << version.className;
    EXPECT_STREQ(version.text.text, "Vessaly Version 1.0");
    EXPECT_NE(version.style & SS_NOPREFIX, 0u);
    EXPECT_EQ(version.x, 49);
    EXPECT_EQ(version.y, 10);
    EXPECT_EQ(version.width, 119);
    EXPECT_EQ(version.height, 8);

    const dialog_template::Item& second = about.items[2];
    EXPECT_EQ(_stricmp(second.className, "Static"), 0) << second.className;
    EXPECT_GT(std::strlen(second.text.text), 0u);
    EXPECT_EQ(second.x, 49);
    EXPECT_EQ(second.y, 20);
    EXPECT_EQ(second.width, 119);
    EXPECT_EQ(second.height, 8);

    const dialog_template::Item& ok = about.items[3];
    EXPECT_EQ(ok.id, IDOK);
    EXPECT_EQ(_stricmp(ok.className, "Button"), 0) << ok.className;
    EXPECT_STREQ(ok.text.text, "OK");
    EXPECT_EQ(ok.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(ok.x, 195);
    EXPECT_EQ(ok.y, 6);
    EXPECT_EQ(ok.width, 30);
    EXPECT_EQ(ok.height, 11);
}

struct MenuEntry {
    const char* text;
    UINT id;  // 0 for a pop-up
};

TEST_F(ProgramResources, MenuHasFileAndHelpWithTheirCommandsAndNoShortcuts) {
    HMENU menu = LoadMenuA(Program, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_NE(menu, nullptr);
    const MenuEntry top[] = {{"&File", 0}, {"&Help", 0}};
    const MenuEntry file[] = {{"Open", IDM_OPEN}, {"Save", IDM_SAVE}, {"E&xit", IDM_EXIT}};
    const MenuEntry help[] = {{"&About ...", IDM_ABOUT}};
    struct Level {
        HMENU menu;
        const MenuEntry* entries;
        int count;
    };
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    const Level levels[] = {{menu, top, 2}, {GetSubMenu(menu, 0), file, 3}, {GetSubMenu(menu, 1), help, 1}};
    for (const Level& level : levels) {
        ASSERT_NE(level.menu, nullptr);
        ASSERT_EQ(GetMenuItemCount(level.menu), level.count);
        for (int i = 0; i < level.count; ++i) {
            SCOPED_TRACE(level.entries[i].text);
            char text[64] = {};
            MENUITEMINFOA item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
            item.dwTypeData = text;
            item.cch = sizeof text;
            ASSERT_TRUE(GetMenuItemInfoA(level.menu, i, TRUE, &item));
            EXPECT_STREQ(text, level.entries[i].text);  // also: no tab and shortcut text
            EXPECT_EQ(item.fType, static_cast<UINT>(MFT_STRING));
            EXPECT_EQ(item.fState & (MFS_DISABLED | MFS_CHECKED), 0u);
            if (level.entries[i].id == 0) {
                EXPECT_NE(item.hSubMenu, nullptr);
            } else {
                EXPECT_EQ(item.hSubMenu, nullptr);
                EXPECT_EQ(item.wID, level.entries[i].id);
            }
        }
    }
    DestroyMenu(menu);
}

BOOL CALLBACK countName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(ProgramResources, NoAcceleratorTable) {
    int count = 0;
    EnumResourceNamesA(Program, RT_ACCELERATOR, countName, reinterpret_cast<LONG_PTR>(&count));
    EXPECT_EQ(count, 0);
}

TEST_F(ProgramResources, StringTableHoldsTheFourColumnHeadersOnly) {
    const struct {
        int id;
        const char* text;
    } headers[] = {
        {IDS_COLUMN_TYPE, "Type"}, {IDS_COLUMN_PID, "PID"}, {IDS_COLUMN_LANG, "Lang"}, {IDS_COLUMN_PAGE, "Page"}};
    for (const auto& header : headers) {
        char text[256] = {};
        EXPECT_EQ(LoadStringA(Program, header.id, text, sizeof text), static_cast<int>(std::strlen(header.text)));
        EXPECT_STREQ(text, header.text) << header.id;
    }
    // The rest of their block (128 to 143) is empty.
    for (int id = 128; id <= 143; ++id) {
        if (id >= IDS_COLUMN_TYPE && id <= IDS_COLUMN_PAGE) continue;
        char text[256] = {};
        EXPECT_EQ(LoadStringA(Program, id, text, sizeof text), 0) << id;
    }
    // And there is no other block.
    int blocks = 0;
    EnumResourceNamesA(Program, RT_STRING, countName, reinterpret_cast<LONG_PTR>(&blocks));
    EXPECT_EQ(blocks, 1);
}

// One image format of an icon group: its size in pixels and bits per pixel.
struct Format {
    int size, bits;
};
constexpr Format IconFormats[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {16, 32}};

WORD readWord(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
DWORD readDword(const BYTE* p) { return readWord(p) | static_cast<DWORD>(readWord(p + 2)) << 16; }

TEST_F(ProgramResources, BothIconGroupsHoldTheEightImageFormats) {
    for (int group : {IDI_VESSALY, IDI_VESSALY_ALT}) {
        SCOPED_TRACE("icon group " + std::to_string(group));
        DWORD size = 0;
        const BYTE* directory = resourceBytes(RT_GROUP_ICON, group, &size);
        ASSERT_NE(directory, nullptr);
        ASSERT_GE(size, 6u);
        EXPECT_EQ(readWord(directory), 0);      // reserved
        EXPECT_EQ(readWord(directory + 2), 1);  // icons, not cursors
        const int count = readWord(directory + 4);
        ASSERT_EQ(count, 8);
        ASSERT_EQ(size, 6u + 14u * count);
        bool seen[8] = {};
        for (int i = 0; i < count; ++i) {
            const BYTE* entry = directory + 6 + 14 * i;
            const int width = entry[0] == 0 ? 256 : entry[0];
            const int height = entry[1] == 0 ? 256 : entry[1];
            const int bits = readWord(entry + 6);
            const int imageId = readWord(entry + 12);
            SCOPED_TRACE("entry " + std::to_string(i) + ": " + std::to_string(width) + " px, " + std::to_string(bits) +
                         " bits");
            EXPECT_EQ(width, height);
            int format = -1;
            for (int f = 0; f < 8; ++f) {
                if (IconFormats[f].size == width && IconFormats[f].bits == bits) format = f;
            }
            ASSERT_NE(format, -1) << "not one of the eight formats";
            EXPECT_FALSE(seen[format]) << "format given twice";
            seen[format] = true;

            // The image itself: a DIB of that size and depth (twice the height: colours and
            // mask) that the system accepts as an icon.
            DWORD imageSize = 0;
            const BYTE* image = resourceBytes(RT_ICON, imageId, &imageSize);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(imageSize, readDword(entry + 8));
            ASSERT_GE(imageSize, 40u);
            EXPECT_EQ(readDword(image), 40u);
            EXPECT_EQ(static_cast<int>(readDword(image + 4)), width);
            EXPECT_EQ(static_cast<int>(readDword(image + 8)), 2 * height);
            EXPECT_EQ(readWord(image + 14), bits);
            HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), imageSize, TRUE, 0x00030000, width, height,
                                                  LR_DEFAULTCOLOR);
            EXPECT_NE(icon, nullptr);
            if (icon != nullptr) DestroyIcon(icon);
        }
    }
}

struct Names {
    int ids[32];
    int count;
};

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
    Names& names = *reinterpret_cast<Names*>(param);
    if (names.count < 32) names.ids[names.count] = IS_INTRESOURCE(name) ? LOWORD(name) : -1;
    ++names.count;
    return TRUE;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
    Names& languages = *reinterpret_cast<Names*>(param);
    if (languages.count < 32) languages.ids[languages.count] = language;
    ++languages.count;
    return TRUE;
}

TEST_F(ProgramResources, EachKindHoldsItsNumbersOnlyAllInRussian) {
    const struct {
        LPCSTR type;
        const char* kind;
        int ids[3];
        int count;  // 0: any numbers (the icon images the groups refer to)
    } kinds[] = {
        {RT_DIALOG, "dialog", {IDD_ABOUT, IDD_MAIN}, 2},
        {RT_MENU, "menu", {IDR_MAIN_MENU}, 1},
        {RT_STRING, "string block", {IDS_COLUMN_TYPE / 16 + 1}, 1},
        {RT_GROUP_ICON, "icon group", {IDI_VESSALY, IDI_VESSALY_ALT}, 2},
        {RT_ICON, "icon image", {}, 0},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.kind);
        Names names{};
        EnumResourceNamesA(Program, kind.type, collectName, reinterpret_cast<LONG_PTR>(&names));
        if (kind.count != 0) {
            ASSERT_EQ(names.count, kind.count);
            for (int i = 0; i < kind.count; ++i) EXPECT_EQ(names.ids[i], kind.ids[i]);
        } else {
            ASSERT_EQ(names.count, 16);  // eight images in each of the two groups
        }
        for (int i = 0; i < names.count; ++i) {
            SCOPED_TRACE("number " + std::to_string(names.ids[i]));
            Names languages{};
            EnumResourceLanguagesA(Program, kind.type, MAKEINTRESOURCEA(names.ids[i]), collectLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            ASSERT_EQ(languages.count, 1);
            EXPECT_EQ(PRIMARYLANGID(languages.ids[0]), LANG_RUSSIAN);
            EXPECT_EQ(SUBLANGID(languages.ids[0]), SUBLANG_DEFAULT);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROGRAM.exe\n", argv[0]);
        return 2;
    }
    ProgramPath = argv[1];
    return RUN_ALL_TESTS();
}
