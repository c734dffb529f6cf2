#include "transfer/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool OpenFileToRead(const char* path, SystemFile* file) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A directory opens here but not under Windows: the same answer as there.
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(fd);
        return false;
    }
    file->handle = fd;
    return true;
}

bool SystemFileSize(SystemFile file, std::uint64_t* size) {
    struct stat status {};
    if (fstat(static_cast<int>(file.handle), &status) != 0 || status.st_size < 0)
        return false;
    *size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

std::uint32_t ReadSystemFile(SystemFile file, std::uint8_t* into, std::uint32_t count) {
    // read() may legally stop short; keep going until the bytes wanted, the file's end or an
    // error.
    std::uint32_t done = 0;
    while (done < count) {
        ssize_t got = read(static_cast<int>(file.handle), into + done, count - done);
        if (got <= 0)
            break;
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

void CloseSystemFile(SystemFile file) {
    close(static_cast<int>(file.handle));
}
