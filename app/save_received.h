// What the calculator sent, saved where the user says: one Save As dialog ("Save what the
// calculator sent") for the whole batch, proposing ProposedFileName (received_file_name.h) in the
// folder last saved to during this run. Picking an existing file asks first (the dialog's own
// prompt) and then replaces it whole; cancelling asks "Discard what the calculator sent?", whose
// No brings the dialog back; a file that cannot be written is named in an error box and the
// dialog comes again. A batch too large for one file (its data section past 65535 bytes) is
// offered one variable at a time, each with the same dialog, after an error box says so.
#pragma once

#include "transfer/variable_file_writer.h"

#include <vector>

// On the job's thread, with mainWindow owning the dialogs; returns once everything is saved or
// discarded.
void SaveReceived(const std::vector<ReceivedEntry>& entries);
