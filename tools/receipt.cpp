#include "tools/receipt.h"

#include "protocol/packet.h"

#include <cstdio>
#include <fstream>

namespace {
std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string Numbered(std::size_t index) {
    char text[24];
    std::snprintf(text, sizeof text, "%02zu", index);
    return text;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string Sizes(const ReceivedVariable& variable, bool checksums) {
    std::string text;
    for (const auto& chunk : variable.chunks) {
        if (!text.empty())
            text += ",";
        text += checksums ? Hex(ByteSum(chunk), 4) : std::to_string(chunk.size());
    }
    return text;
}

unsigned TypeOf(const ReceivedVariable& variable) {
    return variable.header.size() > 2 ? variable.header[2] : 0;
}
} // namespace

std::string CommandName(std::uint8_t command) {
    switch (command) {
    case VAR:
        return "VAR";
    case CTS:
        return "CTS";
    case DATA:
        return "DATA";
    case SKIP:
        return "SKIP";
    case ACK:
        return "ACK";
    case EOT:
        return "EOT";
    default:
        return Hex(command, 2);
    }
}

std::uint16_t ByteSum(const std::vector<std::uint8_t>& bytes) {
    std::uint16_t sum = 0;
    for (std::uint8_t byte : bytes)
        sum = static_cast<std::uint16_t>(sum + byte);
    return sum;
}

std::string TraceLine(const PacketRecord& packet) {
    std::string line = packet.direction == LinkDirection::PcToCalculator ? "PC " : "TI ";
    line += CommandName(packet.command) + " length=" + std::to_string(packet.length);
    if (packet.length != 0)
        line += packet.checksumGood ? " checksum=good" : " checksum=bad";
    if (packet.command == VAR)
        line += " name=" + packet.name;
    if (packet.command == SKIP && !packet.payload.empty())
        line += " reason=" + std::to_string(packet.payload[0]);
    return line;
}

bool WriteReceipt(const std::string& folder, const std::vector<PacketRecord>& packets,
                  const std::vector<ReceivedVariable>& variables, const std::string& result) {
    bool ok = true;
    std::ofstream trace(folder + "/trace.txt", std::ios::trunc);
    for (const PacketRecord& packet : packets)
        trace << TraceLine(packet) << "\n";
    ok = ok && static_cast<bool>(trace);

    std::ofstream summary(folder + "/variables.txt", std::ios::trunc);
    for (std::size_t index = 0; index < variables.size(); ++index) {
        const ReceivedVariable& variable = variables[index];
        std::string stem = folder + "/" + Numbered(index);
        summary << Numbered(index) << " name=" << variable.name
                << " type=" << Hex(TypeOf(variable), 2) << " header=" << variable.header.size()
                << " data=" << Sizes(variable, false) << " checksum=" << Sizes(variable, true)
                << "\n";
        ok = WriteBytes(stem + ".header", variable.header) && ok;
        if (variable.backup) {
            for (std::size_t chunk = 0; chunk < variable.chunks.size(); ++chunk)
                ok = WriteBytes(stem + ".chunk" + std::to_string(chunk + 1),
                                variable.chunks[chunk]) &&
                     ok;
        } else if (!variable.chunks.empty()) {
            ok = WriteBytes(stem + ".data", variable.chunks[0]) && ok;
        }
    }
    ok = ok && static_cast<bool>(summary);

    std::ofstream ending(folder + "/result.txt", std::ios::trunc);
    ending << result << "\n";
    return ok && static_cast<bool>(ending);
}

void PrintReceipt(std::ostream& out, const std::vector<ReceivedVariable>& variables, int eotCount,
                  const std::string& result) {
    out << "Simulated TI-85: received " << variables.size() << " variable(s)\n";
    for (const ReceivedVariable& variable : variables)
        out << "  " << (variable.backup ? "backup" : variable.name) << "  type "
            << Hex(TypeOf(variable), 2) << "  " << Sizes(variable, false) << " bytes  checksum "
            << Sizes(variable, true) << "\n";
    out << "  end of transmission: " << (eotCount > 0 ? "acknowledged" : "none") << "\n";
    out << "  session: " << result << "\n";
}
