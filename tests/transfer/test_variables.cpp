#include "tests/transfer/test_variables.h"

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
