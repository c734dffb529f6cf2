// Variable files as a batch for the simulated TI-85 to send: each file's entries in file order,
// read with the program's own reader, so that the calculator sends what Calquin would.
#pragma once

#include "sim/simulated_ti85.h"

#include <string>
#include <vector>

// Appends the file's variables (a backup with its three chunks) to `batch`. False, with the
// reason in `error`, when the file cannot be read or is no sound variable file.
bool AppendFileToBatch(const std::string& path, std::vector<ReceivedVariable>* batch,
                       std::string* error);
