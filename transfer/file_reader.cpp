#include "transfer/file_reader.h"

#include "transfer/file_access.h"

#include <cstdlib>

FileReadResult ReadFileStart(const char* path, std::uint32_t limit, std::uint8_t** data,
                             std::uint32_t* size) {
    SystemFile file;
    if (!OpenFileToRead(path, &file))
        return FileReadResult::OpenFailed;
    std::uint64_t fileSize = 0;
    if (!SystemFileSize(file, &fileSize)) {
        CloseSystemFile(file);
        return FileReadResult::ReadFailed;
    }
    std::uint32_t expected = FileStartLength(fileSize, limit);
    std::uint8_t* buffer = static_cast<std::uint8_t*>(std::malloc(expected));
    if (!buffer && expected != 0) {
        CloseSystemFile(file);
        return FileReadResult::ReadFailed;
    }
    std::uint32_t count = ReadSystemFile(file, buffer, expected);
    // The file is never held open while it is sent; only the count decides.
    CloseSystemFile(file);
    if (count != expected) {
        std::free(buffer);
        return FileReadResult::ReadFailed;
    }
    *data = buffer;
    *size = expected;
    return FileReadResult::Read;
}
