// Writing a new file whole (the platform's seam, beside transfer/file_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>

enum class FileWriteResult {
    Written,
    Exists,      // a file of that name is there already, and is left as it was
    WriteFailed, // nothing is left behind, under the name or under a temporary one; a file that
                 // was to be replaced is left as it was
};

// The bytes go to a temporary name beside `path` first and are moved to `path` in one step once
// they are all on disk, so that `path` never holds half a file, whatever happens meanwhile. An
// existing file is never replaced, not even one made while this writes.
FileWriteResult WriteNewFile(const char* path, const std::uint8_t* data, std::size_t size);

// The same for a file that the user has agreed to replace (in the Save As dialog): an existing
// file is replaced in that one step, and stays as it was if anything fails before it. Written or
// WriteFailed.
FileWriteResult WriteFileReplacing(const char* path, const std::uint8_t* data, std::size_t size);
