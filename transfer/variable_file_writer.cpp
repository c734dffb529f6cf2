#include "transfer/variable_file_writer.h"

#include "transfer/variable_file.h"

#include <cstring>

namespace {
constexpr std::uint8_t kFileHeader[] = {'*', '*', 'T', 'I', '8', '5', '*', '*', 0x1A, 0x0C, 0x00};
constexpr std::size_t kCommentLength = 42;
static_assert(sizeof kFileHeader + kCommentLength == kDataSectionLengthOffset,
              "the data-section length follows the comment");
static_assert(sizeof kReceivedComment <= kCommentLength, "the comment fits its field");

void AppendLength(std::vector<std::uint8_t>* bytes, std::size_t length) {
    bytes->push_back(static_cast<std::uint8_t>(length & 0xFF));
    bytes->push_back(static_cast<std::uint8_t>(length >> 8));
}

void AppendBlock(std::vector<std::uint8_t>* bytes, const std::vector<std::uint8_t>& payload) {
    AppendLength(bytes, payload.size());
    bytes->insert(bytes->end(), payload.begin(), payload.end());
}

// Header block, data blocks: 2 + n bytes each.
std::size_t EntrySize(const ReceivedEntry& entry) {
    std::size_t size = 2 + entry.header.size();
    for (const std::vector<std::uint8_t>& chunk : entry.chunks)
        size += 2 + chunk.size();
    return size;
}
} // namespace

bool IsBackup(const ReceivedEntry& entry) {
    return entry.header.size() >= 3 && entry.header[2] == kBackupType;
}

FileImage BuildVariableFile(const std::vector<ReceivedEntry>& entries,
                            std::vector<std::uint8_t>* image) {
    std::size_t sectionLength = 0;
    for (const ReceivedEntry& entry : entries) {
        if (entry.chunks.size() != (IsBackup(entry) ? 3u : 1u))
            return FileImage::MissingChunks;
        // Summed entry by entry, so that no total of huge payloads can wrap around.
        sectionLength += EntrySize(entry);
        if (sectionLength > 0xFFFF)
            return FileImage::TooLarge;
    }
    std::vector<std::uint8_t> bytes(std::begin(kFileHeader), std::end(kFileHeader));
    bytes.resize(kDataSectionLengthOffset, 0);
    std::memcpy(bytes.data() + sizeof kFileHeader, kReceivedComment, sizeof kReceivedComment - 1);
    AppendLength(&bytes, sectionLength);
    for (const ReceivedEntry& entry : entries) {
        AppendBlock(&bytes, entry.header);
        for (const std::vector<std::uint8_t>& chunk : entry.chunks)
            AppendBlock(&bytes, chunk);
    }
    std::uint16_t sum = 0;
    for (std::size_t at = kDataSectionStart; at < bytes.size(); ++at)
        sum = static_cast<std::uint16_t>(sum + bytes[at]);
    AppendLength(&bytes, sum);
    image->swap(bytes);
    return FileImage::Built;
}
