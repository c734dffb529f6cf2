#include "transfer/file_reader.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileReadResult ReadFileStart(const char* path, std::uint32_t limit, std::uint8_t** data,
                             std::uint32_t* size) {
    int file = open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return FileReadResult::OpenFailed;
    struct stat status {};
    bool sized = fstat(file, &status) == 0;
    if (sized && S_ISDIR(status.st_mode)) {
        // A directory opens here but not under Windows: the same answer as there.
        close(file);
        return FileReadResult::OpenFailed;
    }
    if (!sized || status.st_size < 0) {
        close(file);
        return FileReadResult::ReadFailed;
    }
    std::uint32_t expected = FileStartLength(static_cast<std::uint64_t>(status.st_size), limit);
    std::uint8_t* buffer = static_cast<std::uint8_t*>(std::malloc(expected));
    if (!buffer && expected != 0) {
        close(file);
        return FileReadResult::ReadFailed;
    }
    // read() may legally stop short; keep going until the bytes wanted, the file's end or an
    // error.
    std::uint32_t count = 0;
    while (count < expected) {
        ssize_t got = read(file, buffer + count, expected - count);
        if (got <= 0)
            break;
        count += static_cast<std::uint32_t>(got);
    }
    close(file);
    if (count != expected) {
        std::free(buffer);
        return FileReadResult::ReadFailed;
    }
    *data = buffer;
    *size = expected;
    return FileReadResult::Read;
}
