// The main window from the program's resources, driven by messages: closing, Cancel, the
// one-job rule, drops, Send... and Resend. The test program opens no serial port, so the jobs
// here end without the link: the dialog cancelled, files that cannot be sent, a port whose
// status cannot be read.
#include "app/app_instance.h"
#include "app/file_handover.h"
#include "app/main_window.h"
#include "app/transfer_jobs.h"
#include "app/window_lines.h"
#include "link/link_port_win32.h"
#include "tests/win32/ui_driver.h"
#include "tests/win32/win32_check.h"
#include "ui/control_ids.h"
#include "ui/utf8_text_win32.h"

#include <commctrl.h>
#include <dlgs.h>

#include <cstdlib>
#include <cstring>

namespace {
const char kErrorCaption[] = "Calquin Error";
const char kFileDialog[] = "Select TI-85 file(s)";

// Runs the main window, started with the files of `startFiles` (or none), while `drive` acts on
// it; `drive` must end it. Its result.
// The port is the program's own line seam on LinkPort, which the test program never opens.
INT_PTR RunMainWindow(const std::function<void(HWND)>& drive, HDROP startFiles = nullptr) {
    static Win32Lines portLines(mainWindow);
    static WindowLines lines(portLines);
    static Port port(lines);
    appInstance = GetModuleHandleA(nullptr);
    mainWindow = nullptr;
    MainWindowStart start{&port, startFiles};
    auto show = [&start] {
        return DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                               reinterpret_cast<LPARAM>(&start));
    };
    return RunModal(show, [&] {
        if (!CHECK(WaitUntil([] { return mainWindow && IsWindowVisible(mainWindow); })))
            return;
        drive(mainWindow);
    });
}

bool Enabled(HWND window, int id) {
    return IsWindowEnabled(GetDlgItem(window, id)) != FALSE;
}

bool JobThreadAlive() {
    return workerThread && WaitForSingleObject(workerThread, 0) == WAIT_TIMEOUT;
}

// Idle: "Close", the job buttons back, the last job's thread handle closed.
bool WaitForIdle(HWND window) {
    return WaitUntil([&] {
        return workerThread == nullptr && workerThreadId == 0 && Enabled(window, IDC_SEND) &&
               Enabled(window, IDC_RESEND) && ItemText(window, IDOK) == "Close";
    });
}

void CheckRunning(HWND window) {
    CHECK(JobThreadAlive());
    CHECK(!Enabled(window, IDC_SEND));
    CHECK(!Enabled(window, IDC_RESEND));
    CHECK(Enabled(window, IDC_SETUP));
}

// Waits for the job's message box with this caption and checks its text.
HWND WaitForMessage(const char* caption, const std::string& text) {
    HWND box = WaitForWindow(caption, mainWindow);
    if (CHECK(box))
        CHECK_EQ(MessageBoxText(box), text);
    return box;
}

void Dismiss(HWND box) {
    if (!box)
        return;
    PressButton(box, IDOK);
    CHECK(WaitUntil([&] { return !IsWindow(box); }));
}

void DismissMessage(const char* caption, const std::string& text) {
    Dismiss(WaitForMessage(caption, text));
}

void ForgetLastFile() {
    std::free(lastFilePath);
    lastFilePath = nullptr;
}

// A variable file with one real variable: header "A", ten data bytes.
std::string VariableFile() {
    std::string file = "**TI85**";
    file += std::string("\x1a\x0c\x00", 3) + std::string(42, ' ');
    file += std::string("\x13\x00", 2);
    file += std::string("\x05\x00\x0a\x00\x00\x01\x41", 7);
    file += std::string("\x0a\x00", 2) + std::string(10, '\x42');
    file += std::string("\x00\x00", 2);
    return file;
}
} // namespace

WIN32_TEST(MainWindowOpensIdleAndCloseEndsIt) {
    INT_PTR result = RunMainWindow([](HWND window) {
        CHECK_EQ(ItemText(window, IDOK), "Close");
        CHECK(Enabled(window, IDC_SEND) && Enabled(window, IDC_RESEND));
        CHECK(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        PBRANGE range = {};
        SendDlgItemMessageA(window, IDC_PROGRESS, PBM_GETRANGE, FALSE,
                            reinterpret_cast<LPARAM>(&range));
        CHECK_EQ(range.iLow, 0);
        CHECK_EQ(range.iHigh, 100);
        // The idle program listens for the calculator; on this unreadable port the listener
        // ends without a message of its own (a box would hold its thread) or a label.
        CHECK(WaitUntil([] { return workerThread == nullptr; }));
        CHECK(!FindProcessWindow(kErrorCaption) && !FindProcessWindow("Calquin", window));
        CHECK_EQ(ItemText(window, IDOK), "Close");
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
    CHECK(!IsWindow(mainWindow));
}

WIN32_TEST(MainWindowEscapeAndTheCloseBoxActLikeClose) {
    CHECK_EQ(RunMainWindow([](HWND window) { PressEscape(window); }), 0);
    CHECK_EQ(RunMainWindow([](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }),
             0);
    CHECK_EQ(RunMainWindow([](HWND window) { PressButton(window, IDCANCEL); }), 0);
}

WIN32_TEST(MainWindowRunsOneDropJobAtATimeAndCancelLeavesItRunning) {
    ScratchFolder folder;
    std::string first = folder.Path() + "\\missing-one.85n";
    std::string second = folder.Path() + "\\missing-two.85n";
    INT_PTR result = RunMainWindow([&](HWND window) {
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({first, second})), 0);
        CHECK_EQ(ItemText(window, IDOK), "Cancel");
        CHECK(workerThreadId != 0);
        CheckRunning(window);
        HANDLE job = workerThread;
        HWND box = WaitForWindow(kErrorCaption);
        if (!CHECK(box))
            return;
        CHECK_EQ(MessageBoxText(box), "Error opening file: " + first);
        // An end message that is not this job's (one of an earlier job, come late) leaves it be.
        SendMessageA(window, WM_JOB_ENDED, 0, 0);
        CHECK(workerThread == job);
        CHECK_EQ(ItemText(window, IDOK), "Cancel");

        // A second drop while the job runs: refused, and its handle released all the same.
        HDROP refused = MakeDrop({second});
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(refused), 0);
        CHECK(workerThread == job);
        CHECK_EQ(GlobalSize(refused), 0UL);
        // Send... and Resend are refused too, even when their commands arrive.
        SendMessageA(window, WM_COMMAND, IDC_RESEND, 0);
        CHECK(workerThread == job);

        // Cancel relabels at once; the job goes on with its batch.
        SendMessageA(window, WM_COMMAND, IDOK, 0);
        CHECK_EQ(ItemText(window, IDOK), "Close");
        CHECK_EQ(workerThreadId, 0UL);
        CheckRunning(window);
        HDROP afterCancel = MakeDrop({second});
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(afterCancel), 0);
        CHECK(workerThread == job);
        CHECK_EQ(GlobalSize(afterCancel), 0UL);

        Dismiss(box);
        DismissMessage(kErrorCaption, "Error opening file: " + second);
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, second);
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
}

WIN32_TEST(MainWindowDropOfAPathLongerThanMaxPathFetchesItWhole) {
    std::string path = "C:\\" + std::string(150, 'd') + "\\" + std::string(150, 'f') + ".85n";
    INT_PTR result = RunMainWindow([&](HWND window) {
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({path})), 0);
        DismissMessage(kErrorCaption, "Error opening file: " + path);
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, path);
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
}

WIN32_TEST(MainWindowResendBeforeAnythingWasSentSaysSo) {
    ForgetLastFile();
    INT_PTR result = RunMainWindow([](HWND window) {
        PressButton(window, IDC_RESEND);
        DismissMessage(kErrorCaption, "Error opening file: (no file has been sent yet)");
        CHECK(WaitForIdle(window));
        CHECK(lastFilePath == nullptr);
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
}

WIN32_TEST(MainWindowSendWithTheDialogCancelledEndsQuietly) {
    ForgetLastFile();
    lastFilePath = static_cast<char*>(std::malloc(8));
    std::strcpy(lastFilePath, "old.85n");
    INT_PTR result = RunMainWindow([](HWND window) {
        PressButton(window, IDC_SEND);
        HWND dialog = WaitForWindow(kFileDialog);
        if (!CHECK(dialog))
            return;
        CHECK_EQ(ItemText(window, IDOK), "Cancel");
        CheckRunning(window);
        CHECK(!IsWindowEnabled(window)); // the dialog is owned by the main window
        char filter[64] = {};
        SendDlgItemMessageA(dialog, cmb1, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(filter));
        CHECK_EQ(std::string(filter).rfind("TI-85 Files", 0), 0U);
        PressButton(dialog, IDCANCEL);
        CHECK(WaitForIdle(window));
        CHECK(FindProcessWindow(kErrorCaption) == nullptr);
        CHECK_STR(lastFilePath, "old.85n");
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
}

namespace {
// Types `names` into the file dialog and presses its Open button.
void PickInFileDialog(const std::string& names) {
    HWND dialog = WaitForWindow(kFileDialog);
    if (!CHECK(dialog))
        return;
    HWND name = GetDlgItem(dialog, cmb13);
    if (!name)
        name = GetDlgItem(dialog, edt1);
    SetWindowTextW(name, WideFromUtf8(names.c_str()).c_str());
    PressButton(dialog, IDOK);
}
} // namespace

WIN32_TEST(MainWindowSendsThePickedFilesInTheDialogsOrder) {
    ScratchFolder folder;
    std::string single = folder.Write("single.85s", "not a variable file");
    folder.Write("first.85n", "**TI84**");
    folder.Write("second.85n", "**ti85**");
    char oldDirectory[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, oldDirectory);
    SetCurrentDirectoryA(folder.Path().c_str());
    INT_PTR result = RunMainWindow([&](HWND window) {
        // One file: its full path is sent.
        PressButton(window, IDC_SEND);
        PickInFileDialog(single);
        DismissMessage(kErrorCaption, "File: " + single + " has incorrect signature");
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, single);

        // Several files: bare names, in the dialog's order, each stored before it is sent.
        PressButton(window, IDC_SEND);
        PickInFileDialog("\"first.85n\" \"second.85n\"");
        HWND box = WaitForMessage(kErrorCaption, "File: first.85n has incorrect signature");
        CHECK_STR(lastFilePath, "first.85n");
        Dismiss(box);
        DismissMessage(kErrorCaption, "File: second.85n has incorrect signature");
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, "second.85n");

        // Resend opens the bare name in the folder the dialog left current.
        PressButton(window, IDC_RESEND);
        DismissMessage(kErrorCaption, "File: second.85n has incorrect signature");
        CHECK(WaitForIdle(window));
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
    SetCurrentDirectoryA(oldDirectory);
}

WIN32_TEST(MainWindowNamesInAnyLanguageArePickedDroppedAndResentWhole) {
    // Names no ANSI code page holds together; files the program opens and refuses by signature.
    const std::string greek = "\xce\xb5\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba"
                              "\xce\xac.85n";                                // ελληνικά
    const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.85n"; // 日本語
    ScratchFolder folder;
    std::string greekPath = folder.Write(greek, "**TI84**");
    std::string japanesePath = folder.Write(japanese, "**TI84**");
    auto refused = [](const std::string& path) {
        return "File: " + path + " has incorrect signature";
    };
    char oldDirectory[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, oldDirectory);
    INT_PTR result = RunMainWindow([&](HWND window) {
        PressButton(window, IDC_SEND);
        PickInFileDialog(greekPath);
        DismissMessage(kErrorCaption, refused(greekPath));
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, greekPath);

        PressButton(window, IDC_SEND);
        PickInFileDialog("\"" + japanese + "\" \"" + greek + "\"");
        DismissMessage(kErrorCaption, refused(japanese));
        DismissMessage(kErrorCaption, refused(greek));
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, greek);

        SendMessageA(window, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(MakeDrop({greekPath, japanesePath})), 0);
        DismissMessage(kErrorCaption, refused(greekPath));
        DismissMessage(kErrorCaption, refused(japanesePath));
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, japanesePath);

        PressButton(window, IDC_RESEND);
        DismissMessage(kErrorCaption, refused(japanesePath));
        CHECK(WaitForIdle(window));
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
    SetCurrentDirectoryA(oldDirectory);
}

WIN32_TEST(MainWindowSendsTheFilesItIsStartedWithOnceItIsUp) {
    ScratchFolder folder;
    std::string first = folder.Path() + "\\first.85n", second = folder.Path() + "\\second.85n";
    HDROP files = MakeFileDrop({WideFromUtf8(first.c_str()), WideFromUtf8(second.c_str())});
    INT_PTR result = RunMainWindow(
        [&](HWND window) {
            DismissMessage(kErrorCaption, "Error opening file: " + first);
            DismissMessage(kErrorCaption, "Error opening file: " + second);
            CHECK(WaitForIdle(window));
            PressButton(window, IDOK);
        },
        files);
    CHECK_EQ(result, 0);
}

WIN32_TEST(MainWindowTakesFilesHandedOverByASecondCopyAsADrop) {
    ScratchFolder folder;
    std::string first = folder.Path() + "\\first.85n", second = folder.Path() + "\\second.85n";
    INT_PTR result = RunMainWindow([&](HWND window) {
        // What is not a list of files from a second copy is not taken.
        COPYDATASTRUCT foreign = {7, 4, const_cast<wchar_t*>(L"a\0")};
        CHECK_EQ(SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&foreign)), 0L);
        // No job: the idle listener at most, which ends by itself on this unreadable port.
        CHECK(WaitUntil([] { return workerThread == nullptr; }));

        CHECK(HandFilesToRunningCopy({WideFromUtf8(first.c_str())}));
        HWND box = WaitForMessage(kErrorCaption, "Error opening file: " + first);
        HANDLE job = workerThread;
        // While a job runs, files handed over are refused, as a drop is.
        CHECK(HandFilesToRunningCopy({WideFromUtf8(second.c_str())}));
        CHECK(workerThread == job);
        Dismiss(box);
        CHECK(WaitForIdle(window));
        CHECK(FindProcessWindow(kErrorCaption) == nullptr);
        CHECK_STR(lastFilePath, first);
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
}

WIN32_TEST(MainWindowJobGivenUpOnTheLinkKeepsItsFileForResend) {
    ScratchFolder folder;
    std::string file = folder.Write("one.85n", VariableFile());
    HANDLE savedPort = LinkPort;
    LinkPort = nullptr; // a port whose status cannot be read
    INT_PTR result = RunMainWindow([&](HWND window) {
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})), 0);
        DismissMessage("Calquin", "There was an error calling GetCommModemStatus");
        CHECK(WaitForIdle(window));
        CHECK(FindProcessWindow(kErrorCaption) == nullptr);
        CHECK_STR(lastFilePath, file);

        PressButton(window, IDC_RESEND);
        DismissMessage("Calquin", "There was an error calling GetCommModemStatus");
        CHECK(WaitForIdle(window));
        CHECK_STR(lastFilePath, file);
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
    LinkPort = savedPort;
}

WIN32_TEST(MainWindowSetupLeavesTheMainWindowWorking) {
    INT_PTR result = RunMainWindow([](HWND window) {
        PressButton(window, IDC_SETUP);
        HWND setup = WaitForWindow("Calquin Setup");
        if (!CHECK(setup))
            return;
        CHECK(IsWindowEnabled(window)); // no owner: the main window stays usable
        PressButton(setup, IDCANCEL);
        CHECK(WaitUntil([&] { return !IsWindow(setup); }));
        PressButton(window, IDOK);
    });
    CHECK_EQ(result, 0);
}

WIN32_TEST(MainWindowClosingWaitsForTheJobBeforeThePortMayClose) {
    ScratchFolder folder;
    std::string missing = folder.Path() + "\\missing.85n";
    HWND box = nullptr;
    INT_PTR result = RunMainWindow([&](HWND window) {
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({missing})), 0);
        box = WaitForWindow(kErrorCaption);
        SendMessageA(window, WM_COMMAND, IDOK, 0); // Cancel
        SendMessageA(window, WM_COMMAND, IDOK, 0); // then Close, with the job still running
    });
    CHECK_EQ(result, 0);
    // The job stands in its message box: it has not ended, so the port must stay open.
    CHECK(JobThreadAlive());
    CHECK(!StopJobForClosing(300));
    CHECK(workerThread != nullptr);
    if (CHECK(box))
        PressButton(box, IDOK);
    CHECK(StopJobForClosing(kWindowDeadline));
    CHECK(workerThread == nullptr);
}
