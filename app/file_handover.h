// Files that reach the main window other than by a drop on it, handed to it as a drop: those of
// the command line, and those that a second copy, started on the same port with files, passes
// on to the copy that holds the port (WM_COPYDATA) before it ends.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// A drop handle holding `files` (wide names), released by the job that takes it, or with
// DragFinish.
HDROP MakeFileDrop(const std::vector<std::wstring>& files);

// The main window marks itself as that of the port it holds, so that a second copy finds it.
void MarkMainWindowOfPort(HWND window);
void UnmarkMainWindow(HWND window);

// In a second copy: hands `files` to the main window of the copy that holds the port in
// portName, waiting a while for it to come up. False when there is none to take them.
bool HandFilesToRunningCopy(const std::vector<std::wstring>& files);
// In the main window: the drop that a WM_COPYDATA of a second copy carries; null for any other.
HDROP DropFromCopyData(const COPYDATASTRUCT* data);
