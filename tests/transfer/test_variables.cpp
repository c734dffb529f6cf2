#include "tests/transfer/test_variables.h"

#include <algorithm>

namespace {
constexpr std::uint8_t kProgramType = 0x12;
constexpr std::uint8_t kBackupType = 0x1D;

Bytes Concatenated(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
} // namespace

TestVariable Variable(const std::string& name, std::size_t size, std::uint8_t seed) {
    return {VariableHeader(kProgramType, name, static_cast<std::uint16_t>(size)),
            {Pattern(size, seed)}};
}

TestVariable Backup(std::size_t size1, std::size_t size2, std::size_t size3) {
    return {VariableHeader(kBackupType, "", static_cast<std::uint16_t>(size1)),
            {Pattern(size1, 1), Pattern(size2, 2), Pattern(size3, 3)}};
}

Bytes FileOf(const std::vector<TestVariable>& variables) {
    std::vector<Bytes> entries;
    for (const TestVariable& variable : variables) {
        std::vector<Bytes> blocks = {LengthBlockOf(variable.header)};
        for (const Bytes& chunk : variable.chunks)
            blocks.push_back(LengthBlockOf(chunk));
        entries.push_back(Concatenated(blocks));
    }
    return VariableFileOf(entries);
}

Bytes ReceivedFileOf(const std::vector<TestVariable>& variables) {
    Bytes file = FileOf(variables);
    const Bytes start = {0x1A, 0x0C, 0x00, 'R', 'e', 'c', 'e', 'i', 'v', 'e', 'd',
                         ' ',  'b',  'y',  ' ', 'C', 'a', 'l', 'q', 'u', 'i', 'n'};
    std::copy(start.begin(), start.end(), file.begin() + 8);
    unsigned sum = 0;
    for (std::size_t i = 55; i < file.size(); ++i)
        sum += file[i];
    file.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    file.push_back(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
    return file;
}

std::string Taken() {
    return "PC:VAR TI:ACK TI:CTS PC:ACK PC:DATA TI:ACK ";
}
std::string Declined() {
    return "PC:VAR TI:ACK TI:SKIP PC:ACK ";
}
std::string TakenBackup() {
    return "PC:VAR TI:ACK TI:CTS PC:ACK PC:DATA TI:ACK PC:DATA TI:ACK PC:DATA TI:ACK ";
}
std::string EndOfTransmission() {
    return "PC:EOT TI:ACK ";
}
