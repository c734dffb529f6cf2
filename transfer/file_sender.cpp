#include "transfer/file_sender.h"

#include "link/link_state.h"
#include "protocol/packet.h"
#include "transfer/after_exchange.h"
#include "transfer/batch_report.h"
#include "transfer/batch_stop.h"
#include "transfer/file_reader.h"
#include "transfer/variable_file.h"
#include "ui/message_box.h"
#include "ui/status_display.h"

#include <cstdlib>
#include <initializer_list>

namespace {
// The SKIP reasons a TI-85 gives when it declines a variable (1: the user chose to exit).
constexpr std::uint8_t kSkipThisOne = 2;    // the user chose to skip this variable
constexpr std::uint8_t kSkipMemoryFull = 3; // no room for it

// A declined variable: only "skip this one" lets the file go on; exit, a full memory and any
// reason the program does not know end the file and the batch.
bool GoesOnAfterSkip(std::uint8_t reason) {
    if (reason == kSkipMemoryFull)
        NoteCalculatorOutOfMemory();
    NoteDeclinedVariable(reason != kSkipThisOne);
    return reason == kSkipThisOne;
}

// Chunks 2 and 3, each behind the one before; then the backup has ended the file.
void SendRemainingChunks(const std::uint8_t* chunk1) {
    const std::uint8_t* chunk = chunk1;
    for (const char* label : {"Chunk2", "Chunk3"}) {
        ShowVariableName(label);
        chunk = BlockAfter(chunk);
        SendPacket(DATA, chunk, true);
        if (LinkGivenUp())
            return;
    }
    bytesSent = 0;
}

// A stop asked for between variables ends the file before its next variable.
bool SendEntry(const std::uint8_t* entry, void*) {
    return !BatchStopRequested() && SendVariable(entry);
}

void ReportRefusedFile(FileCheck check, const char* path) {
    NoteRefusedFile();
    if (check == FileCheck::WrongSignature)
        ShowErrorMessage("File: %s has incorrect signature", path);
    else
        ShowErrorMessage("File: %s is damaged or truncated", path);
}
} // namespace

bool SendVariable(const std::uint8_t* entry) {
    const std::uint8_t* data = EntryDataBlock(entry);
    SendPacket(VAR, entry, true);
    if (LinkGivenUp())
        return false;
    bool backup = IsBackupEntry(entry);
    if (backup)
        ShowVariableName("Chunk1");
    bool declined = false;
    std::uint8_t answer = ReadVariableReply(&declined);
    if (LinkGivenUp())
        return false;
    SendAck();
    if (LinkGivenUp())
        return false;
    if (declined)
        return GoesOnAfterSkip(answer) && !backup; // a backup's chunks cannot be stepped over
    if (answer != CTS) {
        NoteBatchEndedByCalculator();
        return false;
    }
    SendPacket(DATA, data, true);
    if (LinkGivenUp())
        return false;
    if (!backup)
        return true;
    SendRemainingChunks(data);
    return false;
}

bool SendFile(const char* path) {
    std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    // Bytes beyond the format's reach never matter: a huge file is read and judged by its start.
    switch (ReadFileStart(path, kVariableFileReach, &bytes, &size)) {
    case FileReadResult::OpenFailed:
        NoteRefusedFile();
        ShowErrorMessage("Error opening file: %s", path);
        return true;
    case FileReadResult::ReadFailed:
        NoteRefusedFile();
        ShowErrorMessage("Error while reading file: %s", path);
        return true;
    case FileReadResult::Read:
        break;
    }
    VariableFile file{bytes, size};
    // The whole walk is checked before anything goes out, so a damaged file sends nothing.
    FileCheck check = CheckVariableFile(file);
    bool goOn = true;
    if (check != FileCheck::Sound)
        ReportRefusedFile(check, path);
    else
        goOn = WalkEntries(file, SendEntry, nullptr) && !LinkGivenUp();
    std::free(bytes);
    return goOn;
}
