#include "tools/batch_files.h"

#include "protocol/variable_name.h"
#include "transfer/file_reader.h"
#include "transfer/variable_file.h"

#include <cstdlib>

namespace {
std::vector<std::uint8_t> PayloadOf(const std::uint8_t* block) {
    return std::vector<std::uint8_t>(block + 2, block + 2 + BlockLength(block));
}

bool AppendEntry(const std::uint8_t* entry, void* context) {
    ReceivedVariable variable;
    variable.header = PayloadOf(entry);
    variable.backup = IsBackupEntry(entry);
    char name[kMaxVariableNameLength + 1];
    CopyVariableName(variable.header.data(), variable.header.size(), name);
    variable.name = name;
    const std::uint8_t* block = EntryDataBlock(entry);
    for (int chunk = variable.backup ? 3 : 1; chunk > 0; --chunk, block = BlockAfter(block))
        variable.chunks.push_back(PayloadOf(block));
    static_cast<std::vector<ReceivedVariable>*>(context)->push_back(variable);
    return true;
}
} // namespace

bool AppendFileToBatch(const std::string& path, std::vector<ReceivedVariable>* batch,
                       std::string* error) {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    if (ReadFileStart(path.c_str(), kVariableFileReach, &data, &size) != FileReadResult::Read) {
        *error = "cannot read " + path;
        return false;
    }
    VariableFile file{data, size};
    bool sound = CheckVariableFile(file) == FileCheck::Sound;
    if (sound)
        WalkEntries(file, AppendEntry, batch);
    else
        *error = path + " is no sound variable file";
    std::free(data);
    return sound;
}
