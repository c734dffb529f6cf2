#include "app/transfer_jobs.h"

#include "app/dialog_apartment.h"
#include "app/main_window.h"
#include "ui/utf8_text_win32.h"

#include <commdlg.h>

#include <cstring>
#include <string>

char* lastFilePath = nullptr;
unsigned long workerThreadId = 0;

namespace {
constexpr DWORD kFileNamesSize = 2048;

// The dialog's selection, in UTF-8: one full path, or a folder followed by bare file names,
// each ended by a zero, and an empty string at the end; empty when the user picked nothing.
std::string PickFiles() {
    // Zeroed whole, so that the answer converts whole and the parsing never runs past it.
    wchar_t names[kFileNamesSize] = {};
    OPENFILENAMEW dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = mainWindow;
    dialog.hInstance = nullptr;
    dialog.lpstrFilter = L"TI-85 Files\0*.85?\0";
    dialog.lpstrCustomFilter = nullptr;
    dialog.nMaxCustFilter = 0;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = names;
    dialog.nMaxFile = kFileNamesSize;
    dialog.lpstrFileTitle = nullptr;
    dialog.nMaxFileTitle = 0;
    dialog.lpstrInitialDir = nullptr;
    dialog.lpstrTitle = L"Select TI-85 file(s)";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
    dialog.lpstrDefExt = L"85s";

    BOOL picked;
    {
        DialogApartment apartment;
        picked = GetOpenFileNameW(&dialog);
    }
    return picked ? Utf8FromWide(names, kFileNamesSize) : std::string();
}

// The dialog's answer: one full path, or a folder followed by bare file names (sent as they
// stand, relative to the folder the dialog has made current), ended by an empty string.
struct Selection {
    const char* next;
    const char* end;
};

Selection ParseSelection(const char* names, const char* end) {
    std::size_t firstLength = strnlen(names, end - names);
    if (names + firstLength == end)
        return {end, end}; // unterminated: no answer
    const char* behindFirst = names + firstLength + 1;
    if (behindFirst < end && *behindFirst != '\0')
        return {behindFirst, end}; // the folder, then the file names
    return {names, behindFirst};   // one full path
}

const char* NextSelectedPath(void* context) {
    Selection* selection = static_cast<Selection*>(context);
    if (selection->next >= selection->end || *selection->next == '\0')
        return nullptr;
    std::size_t length = strnlen(selection->next, selection->end - selection->next);
    if (selection->next + length == selection->end)
        return nullptr; // unterminated: not part of the answer
    const char* path = selection->next;
    selection->next += length + 1;
    return path;
}

struct DroppedFiles {
    HDROP drop;
    UINT count;
    UINT index;
    std::string path;
};

// Each path is fetched whole, however long: its length is asked first.
const char* NextDroppedPath(void* context) {
    DroppedFiles* files = static_cast<DroppedFiles*>(context);
    if (files->index >= files->count)
        return nullptr;
    UINT length = DragQueryFileW(files->drop, files->index, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    DragQueryFileW(files->drop, files->index, &path[0], length + 1);
    files->path = Utf8FromWide(path.c_str());
    ++files->index;
    return files->path.c_str();
}
} // namespace

DWORD EndJob(WindowJob& job) {
    EndTransferJob(job.job);
    workerThreadId = 0;
    PostMessageA(mainWindow, WM_JOB_ENDED, job.number, 0);
    return 0;
}

DWORD WINAPI SendJob(LPVOID windowJob) {
    WindowJob& job = *static_cast<WindowJob*>(windowJob);
    std::string names = PickFiles();
    if (!names.empty()) {
        Selection selection = ParseSelection(names.data(), names.data() + names.size());
        SendBatch(job.job, NextSelectedPath, &selection, &lastFilePath);
    }
    return EndJob(job);
}

DWORD WINAPI ResendJob(LPVOID windowJob) {
    WindowJob& job = *static_cast<WindowJob*>(windowJob);
    ResendLastFile(job.job, lastFilePath);
    return EndJob(job);
}

DWORD WINAPI DropJob(LPVOID windowJob) {
    WindowJob& job = *static_cast<WindowJob*>(windowJob);
    DroppedFiles files{job.drop, 0, 0, std::string()};
    files.count = DragQueryFileW(files.drop, 0xFFFFFFFF, nullptr, 0);
    SendBatch(job.job, NextDroppedPath, &files, &lastFilePath);
    DragFinish(files.drop);
    return EndJob(job);
}
