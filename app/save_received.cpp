#include "app/save_received.h"

#include "app/dialog_apartment.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "transfer/file_writer.h"
#include "transfer/received_file_name.h"
#include "ui/utf8_text_win32.h"

#include <commdlg.h>

#include <cstring>
#include <string>

namespace {
constexpr DWORD kPathSize = 4096;

// The folder of the last file saved in this run; empty before the first.
std::wstring lastSaveFolder;

enum class SavePick { Picked, Cancelled, Failed };

// The dialog, starting from `proposed` (a file name without folder); the path picked.
SavePick PickSavePath(const std::string& proposed, std::wstring* path) {
    std::wstring name = WideFromUtf8(proposed.c_str());
    std::size_t dot = name.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot + 1);
    wchar_t buffer[kPathSize] = {};
    name.copy(buffer, kPathSize - 1);

    OPENFILENAMEW dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = L"TI-85 Files\0*.85?\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = kPathSize;
    dialog.lpstrInitialDir = lastSaveFolder.empty() ? nullptr : lastSaveFolder.c_str();
    dialog.lpstrTitle = L"Save what the calculator sent";
    // The folder the dialog ends in stays out of the current folder, which Resend's bare names
    // rest on.
    dialog.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();

    BOOL picked;
    {
        DialogApartment apartment;
        picked = GetSaveFileNameW(&dialog);
    }
    if (!picked)
        return CommDlgExtendedError() == 0 ? SavePick::Cancelled : SavePick::Failed;
    *path = buffer;
    lastSaveFolder = path->substr(0, dialog.nFileOffset);
    return SavePick::Picked;
}

bool DiscardConfirmed() {
    return MessageBoxW(mainWindow, L"Discard what the calculator sent?", L"Calquin",
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

// Until the image is written or the user has agreed to discard it.
void SaveImage(const std::vector<std::uint8_t>& image, const std::string& proposed) {
    for (;;) {
        std::wstring path;
        SavePick pick = PickSavePath(proposed, &path);
        if (pick == SavePick::Picked) {
            // The dialog has asked before an existing file is picked.
            std::string utf8 = Utf8FromWide(path.c_str());
            if (WriteFileReplacing(utf8.c_str(), image.data(), image.size()) ==
                FileWriteResult::Written)
                return;
            ShowErrorMessage("Error writing file: %s", utf8.c_str());
            continue;
        }
        if (pick == SavePick::Failed)
            ShowErrorMessage("The Save As dialog could not be shown.");
        if (DiscardConfirmed())
            return;
    }
}

// Saves `entries` as one file; anything but Built leaves them unsaved.
FileImage Offer(const std::vector<ReceivedEntry>& entries) {
    std::vector<std::uint8_t> image;
    FileImage built = BuildVariableFile(entries, &image);
    if (built == FileImage::Built)
        SaveImage(image, ProposedFileName(entries));
    return built;
}
} // namespace

void SaveReceived(const std::vector<ReceivedEntry>& entries) {
    FileImage built = Offer(entries);
    if (built == FileImage::TooLarge && entries.size() > 1) {
        ShowErrorMessage("What the calculator sent is too large for one file: each variable is "
                         "offered on its own.");
        bool allBuilt = true;
        for (const ReceivedEntry& entry : entries)
            allBuilt = Offer({entry}) == FileImage::Built && allBuilt;
        built = allBuilt ? FileImage::Built : FileImage::TooLarge;
    }
    if (built != FileImage::Built)
        ShowErrorMessage("What the calculator sent could not be made into a file.");
}
