// calquin --receive: one batch from the calculator, each variable written as a file of its own
// in a folder as soon as it has arrived whole, its path printed on standard output.
#pragma once

#include "transfer/batch_receiver.h"

#include <string>

// Writes each variable as its own file (a backup as one .85b): the name the calculator gave it
// with its type's extension, made safe (received_file_name.h), never over an existing file (a
// taken name gets -2, -3, ...). A file that cannot be written is reported on standard error and
// the batch goes on.
class FolderOfReceivedFiles : public ReceivedVariables {
  public:
    // `folder` empty: the current folder, and the paths printed are the bare names.
    explicit FolderOfReceivedFiles(std::string folder) : folder(std::move(folder)) {}

    void VariableReceived(const ReceivedEntry& entry) override;

    unsigned written = 0;
    unsigned failed = 0;

  private:
    std::string PathOf(const std::string& name) const;

    std::string folder;
};
