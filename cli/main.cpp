// calquin [--port DEVICE] FILE...: the Linux program. It sends the files as one batch through
// the same core as the Windows program, with the POSIX seams: the port's modem lines by ioctl,
// status and messages on standard error, files read with POSIX calls. With --receive it waits
// for the calculator to send one batch and writes each variable as a file (receive_files.h).
#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "cli/help_text.h"
#include "cli/port_problem.h"
#include "cli/receive_files.h"
#include "cli/serial_devices.h"
#include "cli/stop_signals.h"
#include "link/link_port_posix.h"
#include "transfer/transfer_job.h"
#include "ui/status_text.h"
#include "ui/terminal_events.h"
#include "ui/terminal_output.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {
void Print(std::FILE* stream, const std::string& text) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

int ReportUsageError(const Arguments& arguments) {
    std::string text;
    for (const std::string& problem : arguments.problems)
        text += "calquin: " + EscapedPath(problem.c_str()) + "\n";
    text += UsageLine() + "Try 'calquin --help' for more.\n";
    if (arguments.noPort)
        text += SerialDevicesText(ListSerialDevices());
    Print(stderr, text);
    return kUsageStatus;
}

struct FileList {
    const std::vector<std::string>* files;
    std::size_t next;
};

const char* NextFile(void* context) {
    FileList* list = static_cast<FileList*>(context);
    if (list->next >= list->files->size())
        return nullptr;
    return (*list->files)[list->next++].c_str();
}

// What the calculator did that no message has said yet.
void ReportCalculatorAnswers(const BatchReport& report) {
    if (report.endedByCalculator)
        WritePermanentLine("calquin: The calculator ended the batch.");
    else if (report.declinedVariables == 1)
        WritePermanentLine("calquin: The calculator skipped a variable.");
    else if (report.declinedVariables > 1)
        WritePermanentLine("calquin: The calculator skipped " +
                           std::to_string(report.declinedVariables) + " variables.");
}

// The batch on an open port; the port is closed, lines released, whatever became of it.
RunSummary SendFiles(SerialDevice& device, const std::vector<std::string>& files) {
    Port port(device);
    TerminalEvents events;
    TransferJob job(port, events);
    WatchedJob watched(job);
    FileList list{&files, 0};
    SendBatch(job, NextFile, &list, nullptr);
    EndTransferJob(job);
    device.Close();
    RunSummary summary;
    summary.linkOutcome = job.Link().Outcome();
    summary.report = job.report;
    if (summary.linkOutcome == LinkOutcome::Running)
        ReportCalculatorAnswers(summary.report);
    return summary;
}

bool IsFolder(const std::string& folder) {
    struct stat status;
    return folder.empty() || (stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode));
}

// One batch from the calculator into `folder`; the port is closed, lines released, whatever
// became of it.
RunSummary ReceiveFiles(SerialDevice& device, const std::string& folder) {
    RunSummary summary;
    Port port(device);
    TerminalEvents events;
    TransferJob job(port, events);
    WatchedJob watched(job);
    FolderOfReceivedFiles files(folder);
    WritePermanentLine("calquin: waiting for the calculator to send (Ctrl-C to stop)");
    ReceiveBatch(job.Link(), files);
    EndTransferJob(job);
    device.Close();
    summary.linkOutcome = job.Link().Outcome();
    summary.writeFailed = files.failed > 0;
    return summary;
}
} // namespace

int main(int argc, char** argv) {
    Arguments arguments = ParseArguments(argc, argv, std::getenv("CALQUIN_PORT"));
    switch (arguments.action) {
    case Action::Help:
        Print(stdout, HelpText());
        return 0;
    case Action::Version:
        Print(stdout, VersionText());
        return 0;
    case Action::UsageError:
        return ReportUsageError(arguments);
    case Action::Send:
    case Action::Receive:
        break;
    }
    std::signal(SIGPIPE, SIG_IGN); // a closed stderr must not end a transfer half-way
    WatchStopSignals();

    const std::string folder = arguments.files.empty() ? "" : arguments.files[0];
    if (arguments.action == Action::Receive && !IsFolder(folder)) {
        Print(stderr, "calquin: no such folder: " + EscapedPath(folder.c_str()) + "\n");
        return 1;
    }
    SerialDevice device;
    PortOpenResult opened = device.Open(arguments.port.c_str());
    RunSummary summary;
    if (opened.opening == PortOpening::Opened) {
        summary = arguments.action == Action::Receive ? ReceiveFiles(device, folder)
                                                      : SendFiles(device, arguments.files);
    } else {
        Print(stderr, PortProblemText(arguments.port.c_str(), opened));
        summary.portFailed = true;
    }
    summary.stopSignal = StopSignal();
    return ExitStatus(summary);
}
