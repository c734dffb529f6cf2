// Sending one variable file, entry by entry. True: the caller goes on with its next file
// (or entry); false: the batch (or file) ends.
#pragma once

#include "transfer/transfer_job.h"

#include <cstdint>

bool SendFile(TransferJob& job, const char* path);
// `entry` points at a VariableEntry inside the file buffer that SendFile owns.
bool SendVariable(TransferJob& job, const std::uint8_t* entry);
