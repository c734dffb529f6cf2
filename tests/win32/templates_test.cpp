// The dialog templates and the icon as stored in calquin.exe, compared with their tables.
#include "tests/win32/ui_driver.h"
#include "tests/win32/win32_check.h"
#include "ui/control_ids.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPushButton = kChild | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER;
constexpr DWORD kDialogStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_CENTER | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;

// A class or a text: a name, or a resource ordinal (0xFFFF, then the number).
struct NameOrOrdinal {
    std::string name;
    int ordinal = -1;
};

struct Control {
    int id;
    NameOrOrdinal className;
    NameOrOrdinal text;
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct Dialog {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu, className;
    std::string caption;
    int pointSize = 0;
    std::string font;
    std::vector<Control> controls;
};

class Reader {
  public:
    explicit Reader(const BYTE* at) : at(at) {}
    WORD Word() {
        WORD value;
        std::memcpy(&value, at, 2);
        at += 2;
        return value;
    }
    DWORD Dword() { return Word() | static_cast<DWORD>(Word()) << 16; }
    short Short() { return static_cast<short>(Word()); }
    std::string Text() {
        std::string text;
        for (WORD c = Word(); c != 0; c = Word())
            text += static_cast<char>(c);
        return text;
    }
    NameOrOrdinal Name() {
        NameOrOrdinal name;
        WORD first;
        std::memcpy(&first, at, 2);
        if (first == 0xFFFF) {
            Word();
            name.ordinal = Word();
        } else {
            name.name = Text();
        }
        return name;
    }
    void AlignToDword(const BYTE* base) {
        while ((at - base) % 4)
            ++at;
    }
    const BYTE* Position() const { return at; }
    void Skip(std::size_t bytes) { at += bytes; }

  private:
    const BYTE* at;
};

HMODULE LoadProgram() {
    return LoadLibraryExA(PathArgument("exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

const BYTE* Resource(HMODULE module, LPCSTR type, int id, DWORD* size = nullptr) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found)
        return nullptr;
    if (size)
        *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

bool ReadDialog(HMODULE module, int id, Dialog* dialog) {
    const BYTE* base = Resource(module, RT_DIALOG, id);
    if (!CHECK(base))
        return false;
    Reader reader(base);
    dialog->style = reader.Dword();
    if (!CHECK((dialog->style & 0xFFFF0000) != 0xFFFF0000)) // the classic layout, not the EX
        return false;
    dialog->exStyle = reader.Dword();
    WORD count = reader.Word();
    dialog->x = reader.Short();
    dialog->y = reader.Short();
    dialog->cx = reader.Short();
    dialog->cy = reader.Short();
    dialog->menu = reader.Name();
    dialog->className = reader.Name();
    dialog->caption = reader.Text();
    if (dialog->style & DS_SETFONT) {
        dialog->pointSize = reader.Word();
        dialog->font = reader.Text();
    }
    for (WORD i = 0; i < count; ++i) {
        reader.AlignToDword(base);
        Control control;
        control.style = reader.Dword();
        control.exStyle = reader.Dword();
        control.x = reader.Short();
        control.y = reader.Short();
        control.cx = reader.Short();
        control.cy = reader.Short();
        control.id = static_cast<short>(reader.Word());
        control.className = reader.Name();
        control.text = reader.Name();
        reader.Skip(reader.Word());
        dialog->controls.push_back(control);
    }
    return true;
}

// The predefined classes may be stored by name or by their atom.
bool SameClass(const NameOrOrdinal& stored, const char* name) {
    static const std::pair<const char*, int> atoms[] = {{"button", 0x80},    {"edit", 0x81},
                                                        {"static", 0x82},    {"listbox", 0x83},
                                                        {"scrollbar", 0x84}, {"combobox", 0x85}};
    if (stored.ordinal < 0)
        return lstrcmpiA(stored.name.c_str(), name) == 0;
    for (const auto& atom : atoms)
        if (lstrcmpiA(atom.first, name) == 0)
            return stored.ordinal == atom.second;
    return false;
}

struct Expected {
    int id;
    const char* className;
    const char* text; // null: resource ordinal 1, the icon
    short x, y, cx, cy;
    DWORD style;
};

void CheckDialog(const Dialog& dialog, const char* caption, short cx, short cy, DWORD style,
                 DWORD exStyle, const std::vector<Expected>& controls) {
    CHECK_EQ(dialog.caption, caption);
    CHECK_EQ(dialog.style, style);
    CHECK_EQ(dialog.exStyle, exStyle);
    CHECK(dialog.x == 0 && dialog.y == 0);
    CHECK_EQ(dialog.cx, cx);
    CHECK_EQ(dialog.cy, cy);
    CHECK(dialog.menu.ordinal < 0 && dialog.menu.name.empty());
    CHECK(dialog.className.ordinal < 0 && dialog.className.name.empty());
    CHECK_EQ(dialog.pointSize, 8);
    CHECK_EQ(dialog.font, "MS Sans Serif");
    if (!CHECK_EQ(dialog.controls.size(), controls.size()))
        return;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& control = dialog.controls[i];
        const Expected& expected = controls[i];
        std::string where = std::string(caption) + " control " + std::to_string(i);
        CHECK_EQ(control.id, expected.id);
        if (!SameClass(control.className, expected.className))
            ReportFailure(__FILE__, __LINE__, where + ": class is not " + expected.className);
        if (expected.text) {
            CHECK_EQ(control.text.name, expected.text);
        } else {
            CHECK_EQ(control.text.ordinal, IDI_MAIN);
        }
        if (control.x != expected.x || control.y != expected.y || control.cx != expected.cx ||
            control.cy != expected.cy)
            ReportFailure(__FILE__, __LINE__, where + ": rectangle differs");
        CHECK_EQ(control.style, expected.style);
        CHECK_EQ(control.exStyle, 0UL);
    }
}
} // namespace

WIN32_TEST(TemplateOfTheMainWindow) {
    HMODULE program = LoadProgram();
    Dialog dialog;
    if (!CHECK(program) || !ReadDialog(program, IDD_MAIN, &dialog))
        return;
    const std::string about = dialog.controls.size() > 6 ? dialog.controls[6].text.name : "";
    // The about text: "Calquin", then two lines of credits.
    CHECK_EQ(about.substr(0, about.find('\n')), "Calquin");
    CHECK_EQ(std::count(about.begin(), about.end(), '\n'), 2);
    CheckDialog(dialog, "Calquin", 238, 71, kDialogStyle | WS_SYSMENU | WS_MINIMIZEBOX,
                WS_EX_DLGMODALFRAME | WS_EX_ACCEPTFILES,
                {{-1, "static", nullptr, 8, 8, 11, 10, kChild | SS_ICON},
                 {IDC_PROGRESS, "msctls_progress32", "", 61, 52, 118, 10, kChild},
                 {-1, "static", "Status", 7, 52, 24, 8, kChild | SS_LEFT},
                 {-1, "static", "Current Variable", 7, 40, 56, 8, kChild | SS_LEFT},
                 {IDC_VARIABLE, "static", "", 61, 40, 118, 8, kChild | SS_LEFT},
                 {IDC_PERCENT, "static", "", 34, 52, 24, 8, kChild | SS_RIGHT},
                 {-1, "static", about.c_str(), 32, 4, 145, 28, kChild | SS_LEFT},
                 {IDC_SEND, "button", "Send...", 181, 4, 50, 12, kPushButton},
                 {IDC_RESEND, "button", "Resend", 181, 20, 50, 12, kPushButton},
                 {IDC_SETUP, "button", "Setup...", 181, 36, 50, 12, kPushButton},
                 {IDOK, "button", "Close", 181, 52, 50, 12, kPushButton}});
    FreeLibrary(program);
}

WIN32_TEST(TemplatesOfThePortDialogs) {
    HMODULE program = LoadProgram();
    Dialog setup, welcome;
    if (!CHECK(program) || !ReadDialog(program, IDD_SETUP, &setup) ||
        !ReadDialog(program, IDD_WELCOME, &welcome))
        return;
    CheckDialog(
        setup, "Calquin Setup", 134, 44, kDialogStyle, 0,
        {{IDC_PORT_GROUP, "button", "COM port", 4, 4, 68, 32, kChild | BS_GROUPBOX | WS_GROUP},
         {IDOK, "button", "OK", 80, 4, 50, 14, kPushButton},
         {IDCANCEL, "button", "Cancel", 80, 24, 50, 14, kPushButton},
         {IDC_PORT_COMBO, "combobox", "", 8, 16, 60, 48, kChild | WS_TABSTOP | CBS_DROPDOWNLIST}});
    CheckDialog(welcome, "Welcome to Calquin!", 240, 63, kDialogStyle, 0,
                {{IDOK, "button", "OK", 184, 24, 52, 14, kPushButton},
                 {IDCANCEL, "button", "Quit", 184, 44, 52, 14, kPushButton},
                 {-1, "static",
                  "Thanks for using Calquin. This program is designed primary as a tool to send "
                  "backups and files to the TI-85 using the $4 serial link.\n\nPlease select a "
                  "COM port for your TI-85.",
                  4, 4, 176, 52, kChild | SS_LEFT},
                 {IDC_PORT_COMBO, "combobox", "", 184, 4, 52, 14,
                  kChild | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT}});
    FreeLibrary(program);
}

namespace {
BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)
} // namespace

WIN32_TEST(IconGroupOneHoldsFiveMaskedImages) {
    HMODULE program = LoadProgram();
    if (!CHECK(program))
        return;
    std::vector<ULONG_PTR> groups;
    EnumResourceNamesA(program, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    CHECK_EQ(groups.size(), 1U);
    CHECK(groups.size() == 1 && groups[0] == IDI_MAIN);

    const BYTE* group = Resource(program, RT_GROUP_ICON, IDI_MAIN);
    if (!CHECK(group))
        return;
    WORD header[3];
    std::memcpy(header, group, sizeof header);
    CHECK_EQ(header[1], 1); // icons
    std::set<std::pair<int, int>> formats;
    for (WORD i = 0; i < header[2]; ++i) {
        IconGroupEntry entry;
        std::memcpy(&entry, group + 6 + i * sizeof entry, sizeof entry);
        formats.insert({entry.width, entry.bitCount});
        DWORD size = 0;
        const BYTE* image = Resource(program, RT_ICON, entry.id, &size);
        if (!CHECK(image))
            continue;
        BITMAPINFOHEADER info;
        std::memcpy(&info, image, sizeof info);
        int side = entry.width;
        CHECK_EQ(info.biWidth, side);
        CHECK_EQ(info.biHeight, 2 * side); // colours and mask
        CHECK_EQ(info.biBitCount, entry.bitCount);
        DWORD colours = 1u << info.biBitCount;
        DWORD colourRow = (side * info.biBitCount + 31) / 32 * 4;
        DWORD maskRow = (side + 31) / 32 * 4;
        DWORD maskAt = sizeof info + colours * 4 + colourRow * side;
        CHECK_EQ(size, maskAt + maskRow * side);
        // The tile's rounded corner shows through; its middle does not. Rows are bottom-up.
        const BYTE* mask = image + maskAt;
        CHECK((mask[0] & 0x80) != 0);
        CHECK((mask[(side / 2) * maskRow + side / 16] & (0x80 >> (side / 2 % 8))) == 0);
    }
    std::set<std::pair<int, int>> wanted = {{16, 4}, {32, 4}, {16, 8}, {32, 8}, {48, 8}};
    CHECK(formats == wanted);
    CHECK_EQ(header[2], 5);
    FreeLibrary(program);
}
