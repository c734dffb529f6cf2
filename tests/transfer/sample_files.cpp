#include "tests/transfer/sample_files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace {
void AppendLength(Bytes* bytes, std::size_t length) {
    bytes->push_back(static_cast<std::uint8_t>(length & 0xFF));
    bytes->push_back(static_cast<std::uint8_t>(length >> 8));
}

std::string UniquePath(const std::string& name) {
    static std::atomic<int> counter{0};
    return ::testing::TempDir() + "calquin_" + std::to_string(getpid()) + "_" +
           std::to_string(counter++) + "_" + name;
}
} // namespace

Bytes LengthBlockOf(const Bytes& payload) {
    Bytes block;
    AppendLength(&block, payload.size());
    block.resize(2 + payload.size());
    std::copy(payload.begin(), payload.end(), block.begin() + 2);
    return block;
}

Bytes VariableHeader(std::uint8_t type, const std::string& name, std::uint16_t dataLength) {
    Bytes header;
    AppendLength(&header, dataLength);
    header.push_back(type);
    header.push_back(static_cast<std::uint8_t>(name.size()));
    header.insert(header.end(), name.begin(), name.end());
    return header;
}

Bytes Pattern(std::size_t count, std::uint8_t first) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

Bytes Entry(const Bytes& header, const Bytes& data) {
    Bytes entry = LengthBlockOf(header);
    Bytes block = LengthBlockOf(data);
    entry.insert(entry.end(), block.begin(), block.end());
    return entry;
}

Bytes Entry(const std::string& name, const Bytes& data) {
    return Entry(VariableHeader(0x00, name, static_cast<std::uint16_t>(data.size())), data);
}

Bytes BackupEntry(const Bytes& chunk1, const Bytes& chunk2, const Bytes& chunk3) {
    Bytes header = VariableHeader(0x1D, "", static_cast<std::uint16_t>(chunk1.size()));
    // The rest of a backup header goes out unread; here it holds the other chunks' lengths.
    AppendLength(&header, chunk2.size());
    AppendLength(&header, chunk3.size());
    header.push_back(0x95);
    Bytes entry = Entry(header, chunk1);
    for (const Bytes* chunk : {&chunk2, &chunk3}) {
        Bytes block = LengthBlockOf(*chunk);
        entry.insert(entry.end(), block.begin(), block.end());
    }
    return entry;
}

Bytes VariableFileOf(const std::vector<Bytes>& entries, const FileLayout& layout) {
    Bytes file = {'*', '*', 'T', 'I', '8', '5', '*', '*'};
    file.resize(53, layout.headerGapFill);
    Bytes section;
    for (const Bytes& entry : entries)
        section.insert(section.end(), entry.begin(), entry.end());
    AppendLength(&file, section.size());
    file.insert(file.end(), section.begin(), section.end());
    file.insert(file.end(), layout.trailer.begin(), layout.trailer.end());
    return file;
}

std::vector<CutFile> CutsOf(const std::vector<Bytes>& entries) {
    Bytes whole = VariableFileOf(entries);
    std::set<std::size_t> between = {55};
    std::size_t start = 55;
    for (const Bytes& entry : entries)
        between.insert(start += entry.size());
    std::vector<CutFile> cuts;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<long>(size));
        cuts.push_back({cut, false});
        if (size < 55)
            continue;
        cut[53] = static_cast<std::uint8_t>((size - 55) & 0xFF);
        cut[54] = static_cast<std::uint8_t>((size - 55) >> 8);
        cuts.push_back({cut, between.count(size) != 0});
    }
    return cuts;
}

TempFile::TempFile(const Bytes& contents, const std::string& name) : path(UniquePath(name)) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
}

TempFile::~TempFile() {
    std::remove(path.c_str());
}

std::string MissingPath() {
    return UniquePath("missing.85g");
}
