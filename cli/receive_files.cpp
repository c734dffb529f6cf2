#include "cli/receive_files.h"

#include "transfer/file_writer.h"
#include "transfer/received_file_name.h"
#include "ui/status_text.h"
#include "ui/terminal_output.h"

#include <cstdio>
#include <sys/stat.h>

namespace {
struct FolderContext {
    const std::string* folder;
};

// A name is taken by anything there: a file, a folder, a link that leads nowhere.
bool TakenIn(const std::string& name, void* context) {
    const std::string& folder = *static_cast<FolderContext*>(context)->folder;
    struct stat status;
    return lstat((folder.empty() ? name : folder + "/" + name).c_str(), &status) == 0;
}

// A file made under the chosen name meanwhile by another program is left alone: the next free
// name is tried.
constexpr int kWriteAttempts = 5;
} // namespace

std::string FolderOfReceivedFiles::PathOf(const std::string& name) const {
    return folder.empty() ? name : folder + "/" + name;
}

void FolderOfReceivedFiles::VariableReceived(const ReceivedEntry& entry) {
    std::vector<std::uint8_t> image;
    const std::vector<ReceivedEntry> one = {entry};
    const std::string proposed = ProposedFileName(one);
    FileWriteResult result = FileWriteResult::WriteFailed;
    std::string path = PathOf(proposed);
    if (BuildVariableFile(one, &image) == FileImage::Built) {
        FolderContext context{&folder};
        for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
            std::string name = FreeFileName(proposed, TakenIn, &context);
            if (name.empty())
                break;
            path = PathOf(name);
            result = WriteNewFile(path.c_str(), image.data(), image.size());
            if (result != FileWriteResult::Exists)
                break;
        }
    }
    if (result != FileWriteResult::Written) {
        ++failed;
        WritePermanentLine("calquin: Could not write " + EscapedPath(path.c_str()));
        return;
    }
    ++written;
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
}
