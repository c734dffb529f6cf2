#include "transfer/file_sender.h"

#include "protocol/packet.h"
#include "transfer/file_reader.h"
#include "transfer/variable_file.h"
#include "ui/job_events.h"

#include <cstdlib>
#include <initializer_list>

namespace {
// The SKIP reasons a TI-85 gives when it declines a variable (1: the user chose to exit).
constexpr std::uint8_t kSkipThisOne = 2;    // the user chose to skip this variable
constexpr std::uint8_t kSkipMemoryFull = 3; // no room for it

// A declined variable: only "skip this one" lets the file go on; exit, a full memory and any
// reason the program does not know end the file and the batch.
bool GoesOnAfterSkip(TransferJob& job, std::uint8_t reason) {
    if (reason == kSkipMemoryFull)
        job.outOfMemory = true;
    job.report.NoteDeclinedVariable(reason != kSkipThisOne);
    return reason == kSkipThisOne;
}

// Chunks 2 and 3, each behind the one before; then the backup has ended the file.
void SendRemainingChunks(JobLink& link, const std::uint8_t* chunk1) {
    const std::uint8_t* chunk = chunk1;
    for (const char* label : {"Chunk2", "Chunk3"}) {
        link.Events().VariableStarted(label);
        chunk = BlockAfter(chunk);
        SendPacket(link, DATA, chunk, true);
        if (link.GivenUp())
            return;
    }
    link.bytesSent = 0;
}

// A stop asked for between variables ends the file before its next variable.
bool SendEntry(const std::uint8_t* entry, void* context) {
    TransferJob& job = *static_cast<TransferJob*>(context);
    return !job.BatchStopRequested() && SendVariable(job, entry);
}

void ReportRefusedFile(TransferJob& job, const char* format, const char* path) {
    job.report.NoteRefusedFile();
    job.Events().Message(MessageKind::Error, format, path);
}

const char* RefusalText(FileCheck check) {
    return check == FileCheck::WrongSignature ? "File: %s has incorrect signature"
                                              : "File: %s is damaged or truncated";
}
} // namespace

bool SendVariable(TransferJob& job, const std::uint8_t* entry) {
    JobLink& link = job.Link();
    const std::uint8_t* data = EntryDataBlock(entry);
    SendPacket(link, VAR, entry, true);
    if (link.GivenUp())
        return false;
    bool backup = IsBackupEntry(entry);
    if (backup)
        job.Events().VariableStarted("Chunk1");
    bool declined = false;
    std::uint8_t answer = ReadVariableReply(link, &declined);
    if (link.GivenUp())
        return false;
    SendAck(link);
    if (link.GivenUp())
        return false;
    if (declined)
        return GoesOnAfterSkip(job, answer) && !backup; // a backup's chunks cannot be stepped over
    if (answer != CTS) {
        job.report.NoteBatchEndedByCalculator();
        return false;
    }
    SendPacket(link, DATA, data, true);
    if (link.GivenUp())
        return false;
    if (!backup)
        return true;
    SendRemainingChunks(link, data);
    return false;
}

bool SendFile(TransferJob& job, const char* path) {
    std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    // Bytes beyond the format's reach never matter: a huge file is read and judged by its start.
    switch (ReadFileStart(path, kVariableFileReach, &bytes, &size)) {
    case FileReadResult::OpenFailed:
        ReportRefusedFile(job, "Error opening file: %s", path);
        return true;
    case FileReadResult::ReadFailed:
        ReportRefusedFile(job, "Error while reading file: %s", path);
        return true;
    case FileReadResult::Read:
        break;
    }
    VariableFile file{bytes, size};
    // The whole walk is checked before anything goes out, so a damaged file sends nothing.
    FileCheck check = CheckVariableFile(file);
    bool goOn = true;
    if (check != FileCheck::Sound)
        ReportRefusedFile(job, RefusalText(check), path);
    else
        goOn = WalkEntries(file, SendEntry, &job) && !job.Link().GivenUp();
    std::free(bytes);
    return goOn;
}
