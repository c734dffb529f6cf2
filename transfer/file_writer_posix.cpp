#include "transfer/file_writer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
constexpr int kTemporaryAttempts = 100;

// Hidden and beside the file, on the same file system, so that moving it is one step.
std::string TemporaryPath(const std::string& path, int attempt) {
    std::size_t slash = path.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameStart) + "." + path.substr(nameStart) + "." +
           std::to_string(getpid()) + "-" + std::to_string(attempt) + ".part";
}

int CreateTemporary(const std::string& path, std::string* temporary) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        *temporary = TemporaryPath(path, attempt);
        int file = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0 || errno != EEXIST)
            return file;
    }
    return -1;
}

bool WriteAll(int file, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(file, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Unless a file of that name exists: in one step where the file system can; where it cannot
// refuse an existing name while renaming, a second name for the file (which an existing name
// refuses) and then the temporary one removed.
FileWriteResult MoveIntoPlace(const char* temporary, const char* path) {
    if (renameat2(AT_FDCWD, temporary, AT_FDCWD, path, RENAME_NOREPLACE) == 0)
        return FileWriteResult::Written;
    if ((errno == EINVAL || errno == ENOSYS) && link(temporary, path) == 0) {
        unlink(temporary);
        return FileWriteResult::Written;
    }
    return errno == EEXIST ? FileWriteResult::Exists : FileWriteResult::WriteFailed;
}

// rename(2) replaces in one step: the name holds the old bytes or the new ones, never neither.
FileWriteResult MoveReplacing(const char* temporary, const char* path) {
    return rename(temporary, path) == 0 ? FileWriteResult::Written : FileWriteResult::WriteFailed;
}

// The bytes on disk under a temporary name, then `move` puts them under `path`; the temporary
// file goes whenever they do not get there.
FileWriteResult WriteThenMove(const char* path, const std::uint8_t* data, std::size_t size,
                              FileWriteResult (*move)(const char*, const char*)) {
    std::string temporary;
    int file = CreateTemporary(path, &temporary);
    if (file < 0)
        return FileWriteResult::WriteFailed;
    bool written = WriteAll(file, data, size) && fsync(file) == 0;
    written = close(file) == 0 && written;
    FileWriteResult result = written ? move(temporary.c_str(), path) : FileWriteResult::WriteFailed;
    if (result != FileWriteResult::Written)
        unlink(temporary.c_str());
    return result;
}
} // namespace

FileWriteResult WriteNewFile(const char* path, const std::uint8_t* data, std::size_t size) {
    return WriteThenMove(path, data, size, MoveIntoPlace);
}

FileWriteResult WriteFileReplacing(const char* path, const std::uint8_t* data, std::size_t size) {
    return WriteThenMove(path, data, size, MoveReplacing);
}
