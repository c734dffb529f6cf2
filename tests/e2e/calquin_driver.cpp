// Drives calquin.exe from a second process in the same Wine session, as a user would: it finds
// the program's windows, reads their controls and presses their buttons. It reads one command
// per line on standard input and answers each with one line: "ok[ <result>]", "timeout[ <what
// it saw>]" or "none" (no such window or control). Every wait has the deadline the command
// gives, in milliseconds.
//
//   wait <window> <ms>              the window is there
//   count <window> <ms> <n>         waits until there are exactly n such windows (of any copy of
//                                   the program); answers with the count it last saw
//   gone <window> <ms>              the window is not there any more
//   text <window> <id>              the control's text
//   until <window> <id> <ms> <text> waits for the control to read <text>; answers with every
//                                   distinct text it showed meanwhile, separated by '|'
//   reaches <window> <id> <ms> <n> <text>   the same, until it comes to read <text> the n-th
//                                   time (counting from the answer's first text)
//   above <window> <id> <ms> <n>    waits for the control's text to start with a number above n
//   enabled <window> <id> <ms>      waits for the control to be enabled
//   combo <window> <id>             the combo box's selected entry
//   choose <window> <id> <text>     selects the combo box's entry <text>
//   click <window> <id>             a button press (a posted WM_COMMAND)
//   message <ms>                    waits for a message box: "ok <caption>|<text>"
//   dismiss <ms>                    presses OK in the message box
//   pick <ms> <names>               types <names> (the rest of the line) into the open-file
//                                   dialog and presses Open
//   save <ms> <name>                the same in the Save As dialog, and presses Save
//   xid <window>                    the X11 window that Wine made for the window (for drops)
//   quit
//
// Windows: main, welcome, setup, files (the open-file dialog), save (the Save As dialog of what
// the calculator sent; its file name is control 1148), overwrite (the Save As dialog's own
// question before it replaces a file; Yes 6, No 7), message (the program's message boxes; Yes 6,
// No 7). Texts are UTF-8 both ways.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {
const int kFileNameCombo = 0x47C; // cmb13 of the Explorer-style open-file dialog
const int kFileNameEdit = 0x480;  // edt1 of the old-style one
const int kSendButton = 102;

struct Search {
    std::string kind;
    HWND found = nullptr;
    int count = 0;
};

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return wide;
}

std::string Utf8(const wchar_t* wide) {
    char text[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

std::string WindowText(HWND window) {
    wchar_t wide[1024] = {};
    GetWindowTextW(window, wide, 1024);
    return Utf8(wide);
}

// A control's own text, asked of it: GetWindowText of another process's window gives its caption,
// which for a combo box is not what its edit field holds.
std::string ControlText(HWND control) {
    wchar_t wide[1024] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(wide), SMTO_BLOCK, 2000,
                        &ignored);
    return Utf8(wide);
}

bool IsDialog(HWND window) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    return std::strcmp(name, "#32770") == 0;
}

bool Matches(HWND window, const std::string& kind) {
    if (!IsWindowVisible(window) || !IsDialog(window))
        return false;
    std::string caption = WindowText(window);
    bool program = caption == "Calquin" || caption == "Calquin Error";
    if (kind == "main")
        return caption == "Calquin" && GetDlgItem(window, kSendButton) != nullptr;
    if (kind == "message")
        return program && GetDlgItem(window, kSendButton) == nullptr;
    if (kind == "welcome")
        return caption == "Welcome to Calquin!";
    if (kind == "setup")
        return caption == "Calquin Setup";
    if (kind == "files")
        return caption == "Select TI-85 file(s)";
    bool nameBox = GetDlgItem(window, kFileNameCombo) || GetDlgItem(window, kFileNameEdit);
    if (kind == "save")
        return caption == "Save what the calculator sent" && nameBox;
    if (kind == "overwrite") {
        HWND owner = GetWindow(window, GW_OWNER);
        return !nameBox && owner && Matches(owner, "save");
    }
    return false;
}

BOOL CALLBACK Visit(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    if (!Matches(window, search->kind))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND Find(const std::string& kind) {
    Search search{kind};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CountVisit(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    search->count += Matches(window, search->kind);
    return TRUE;
}

int Count(const std::string& kind) {
    Search search{kind};
    EnumWindows(CountVisit, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

// Polls `done` every few milliseconds until it holds or `milliseconds` have passed.
template <typename Condition> bool WaitFor(DWORD milliseconds, Condition done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(5);
    }
}

HWND WaitForWindow(const std::string& kind, DWORD milliseconds) {
    HWND window = nullptr;
    WaitFor(milliseconds, [&] { return (window = Find(kind)) != nullptr; });
    return window;
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

BOOL CALLBACK FindStatic(HWND child, LPARAM context) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    std::string text = WindowText(child);
    if (lstrcmpiA(name, "Static") != 0 || text.empty())
        return TRUE;
    *reinterpret_cast<std::string*>(context) = text;
    return FALSE;
}

std::string MessageText(HWND box) {
    std::string text;
    EnumChildWindows(box, FindStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Line feeds would end the answer; they travel as "\n".
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n')
            line += "\\n";
        else if (c != '\r')
            line += c;
    }
    return line;
}

std::string ComboSelection(HWND combo) {
    DWORD_PTR index = 0;
    if (!SendMessageTimeoutA(combo, CB_GETCURSEL, 0, 0, SMTO_BLOCK, 2000, &index) ||
        static_cast<LRESULT>(index) == CB_ERR)
        return "";
    // Asked in UTF-16: Wine hands the ANSI form of this message across processes unconverted.
    wchar_t wide[256] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide), SMTO_BLOCK,
                        2000, &ignored);
    return Utf8(wide);
}

std::string Answer(const std::string& line) {
    std::istringstream words(line);
    std::string command, kind;
    words >> command;
    bool typed = command == "pick" || command == "save";
    if (command == "message" || command == "dismiss" || typed)
        kind = command == "pick" ? "files" : command == "save" ? "save" : "message";
    else
        words >> kind;
    DWORD milliseconds = 0;
    int id = 0;

    if (command == "wait" || command == "gone") {
        words >> milliseconds;
        bool present = command == "wait";
        return WaitFor(milliseconds, [&] { return (Find(kind) != nullptr) == present; })
                   ? "ok"
                   : "timeout";
    }
    if (command == "count") {
        int wanted = 0, seen = 0;
        words >> milliseconds >> wanted;
        bool reached = WaitFor(milliseconds, [&] { return (seen = Count(kind)) == wanted; });
        return (reached ? "ok " : "timeout ") + std::to_string(seen);
    }
    if (command == "message" || command == "dismiss" || typed)
        words >> milliseconds;
    if (command == "message") {
        HWND box = WaitForWindow(kind, milliseconds);
        return box ? "ok " + WindowText(box) + "|" + OneLine(MessageText(box)) : "timeout";
    }
    if (command == "dismiss") {
        HWND box = WaitForWindow(kind, milliseconds);
        if (!box)
            return "timeout";
        Press(box, IDOK);
        return WaitFor(milliseconds, [&] { return !IsWindow(box) || !IsWindowVisible(box); })
                   ? "ok"
                   : "timeout";
    }
    if (typed) {
        std::string names;
        std::getline(words >> std::ws, names);
        HWND dialog = WaitForWindow(kind, milliseconds);
        if (!dialog)
            return "timeout";
        HWND name = GetDlgItem(dialog, kFileNameCombo);
        if (!name)
            name = GetDlgItem(dialog, kFileNameEdit);
        DWORD_PTR ignored = 0;
        std::wstring wide = Wide(names);
        SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_BLOCK,
                            2000, &ignored);
        Press(dialog, IDOK);
        return "ok";
    }

    HWND window = Find(kind);
    if (!window)
        return "none";
    if (command == "xid") {
        HANDLE x11 = GetPropA(window, "__wine_x11_whole_window");
        return x11 ? "ok " + std::to_string(reinterpret_cast<UINT_PTR>(x11)) : "none";
    }
    words >> id;
    HWND control = GetDlgItem(window, id);
    if (!control)
        return "none";
    if (command == "text")
        return "ok " + OneLine(ControlText(control));
    if (command == "combo")
        return "ok " + ComboSelection(control);
    if (command == "choose") {
        std::string entry;
        words >> entry;
        std::wstring wide = Wide(entry);
        DWORD_PTR index = static_cast<DWORD_PTR>(CB_ERR);
        SendMessageTimeoutW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(wide.c_str()), SMTO_BLOCK, 2000, &index);
        return static_cast<LRESULT>(index) == CB_ERR ? "none" : "ok";
    }
    if (command == "click") {
        Press(window, id);
        return "ok";
    }
    if (command == "enabled") {
        words >> milliseconds;
        return WaitFor(milliseconds, [&] { return IsWindowEnabled(control) != FALSE; }) ? "ok"
                                                                                        : "timeout";
    }
    if (command == "above") {
        int floor = 0;
        words >> milliseconds >> floor;
        std::string text;
        bool above = WaitFor(milliseconds, [&] {
            text = IsWindow(control) ? WindowText(control) : "";
            return !text.empty() && std::atoi(text.c_str()) > floor;
        });
        return (above ? "ok " : "timeout ") + OneLine(text);
    }
    if (command == "until" || command == "reaches") {
        std::string wanted, seen;
        int times = 1;
        words >> milliseconds;
        if (command == "reaches")
            words >> times;
        std::getline(words >> std::ws, wanted);
        std::vector<std::string> shown;
        int count = 0;
        bool reached = WaitFor(milliseconds, [&] {
            std::string text = IsWindow(control) ? WindowText(control) : "";
            if (shown.empty() || shown.back() != text) {
                shown.push_back(text);
                count += text == wanted;
            }
            return count >= times;
        });
        for (const std::string& text : shown)
            seen += (seen.empty() ? "" : "|") + OneLine(text);
        return (reached ? "ok " : "timeout ") + seen;
    }
    return "none";
}
} // namespace

int main() {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line == "quit")
            break;
        std::printf("%s\n", Answer(line).c_str());
        std::fflush(stdout);
    }
    return 0;
}
