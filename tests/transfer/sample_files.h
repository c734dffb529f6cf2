// Variable files built byte by byte for the tests, and the temporary files that hold them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A LengthBlock: the 16-bit little-endian length of `payload`, then the payload.
Bytes LengthBlockOf(const Bytes& payload);
// A variable header: data length, type byte, name length, name.
Bytes VariableHeader(std::uint8_t type, const std::string& name, std::uint16_t dataLength);
// `count` bytes counting up from `first`, so that any shift or loss shows.
Bytes Pattern(std::size_t count, std::uint8_t first = 0);

// The header block and then the data block.
Bytes Entry(const Bytes& header, const Bytes& data);
Bytes Entry(const std::string& name, const Bytes& data);
// A backup entry: its header block and the three chunks.
Bytes BackupEntry(const Bytes& chunk1, const Bytes& chunk2, const Bytes& chunk3);

struct FileLayout {
    std::uint8_t headerGapFill = 0; // offsets 8 to 52
    Bytes trailer;                  // after the data section
};
// Signature, header gap, L, the entries back to back, then the trailer.
Bytes VariableFileOf(const std::vector<Bytes>& entries, const FileLayout& layout = {});

// A file cut short: a prefix of a whole file, either as it stands (its data section then runs
// past its end) or with L made to end at the cut. The latter is sound exactly when the cut falls
// between two entries; every other cut is damage.
struct CutFile {
    Bytes bytes;
    bool sound;
};
// Every cut of VariableFileOf(entries), from 0 bytes to one byte short of the whole.
std::vector<CutFile> CutsOf(const std::vector<Bytes>& entries);

// A file of its own in the test's temporary folder, removed when this goes.
class TempFile {
  public:
    explicit TempFile(const Bytes& contents, const std::string& name = "sample.85g");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* Path() const { return path.c_str(); }

  private:
    std::string path;
};

// A path in the temporary folder that does not exist.
std::string MissingPath();
