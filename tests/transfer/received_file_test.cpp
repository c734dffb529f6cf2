#include "transfer/file_writer.h"
#include "transfer/received_file_name.h"
#include "transfer/variable_file.h"
#include "transfer/variable_file_writer.h"

#include "tests/support/same_variables.h"
#include "tests/support/temporary_folder.h"
#include "tests/transfer/sample_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {
const Bytes kHeaderA = {0x0A, 0x00, 0x00, 0x01, 'A'};

ReceivedEntry Variable(const Bytes& header, const Bytes& data) {
    return ReceivedEntry{header, {data}};
}

// A backup header whose chunks are 300, 0 and 3 bytes long.
ReceivedEntry BackupOf300Ones() {
    return ReceivedEntry{{0x2C, 0x01, 0x1D, 0x00, 0x00, 0x00, 0x03, 0x00, 0x95},
                         {Bytes(300, 0xFF), {}, {1, 2, 3}}};
}

Bytes Built(const std::vector<ReceivedEntry>& entries) {
    Bytes image;
    EXPECT_EQ(BuildVariableFile(entries, &image), FileImage::Built);
    return image;
}

// Signature, 1A 0C 00, the comment padded to 42 bytes, then L.
Bytes FileHeader(std::size_t sectionLength) {
    Bytes bytes = {'*', '*', 'T', 'I', '8', '5', '*', '*', 0x1A, 0x0C, 0x00};
    const char comment[] = "Received by Calquin";
    bytes.insert(bytes.end(), comment, comment + std::strlen(comment));
    bytes.resize(53, 0x00);
    bytes.push_back(static_cast<std::uint8_t>(sectionLength & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(sectionLength >> 8));
    return bytes;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes bytes;
    for (const Bytes& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

// What the reader finds: each entry's header payload and its data payloads.
std::vector<ReceivedEntry> ReadBack(const Bytes& image) {
    VariableFile file{image.data(), static_cast<std::uint32_t>(image.size())};
    EXPECT_EQ(CheckVariableFile(file), FileCheck::Sound);
    std::vector<ReceivedEntry> entries;
    WalkEntries(
        file,
        [](const std::uint8_t* entry, void* context) {
            auto* found = static_cast<std::vector<ReceivedEntry>*>(context);
            auto payload = [](const std::uint8_t* block) {
                return Bytes(block + 2, block + 2 + BlockLength(block));
            };
            ReceivedEntry read{payload(entry), {}};
            const std::uint8_t* block = EntryDataBlock(entry);
            for (int chunk = IsBackupEntry(entry) ? 3 : 1; chunk > 0; --chunk) {
                read.chunks.push_back(payload(block));
                block = BlockAfter(block);
            }
            found->push_back(read);
            return true;
        },
        &entries);
    return entries;
}
} // namespace

TEST(ReceivedFile, OneVariableIsWrittenByteForByteWithItsChecksum) {
    Bytes data = Pattern(10, 0xC0);
    Bytes expected = Joined({FileHeader(19),
                             {0x05, 0x00},
                             kHeaderA,
                             {0x0A, 0x00},
                             data,
                             {0x08, 0x08}}); // 91 + 1965 = 0x0808
    Bytes image = Built({Variable(kHeaderA, data)});
    EXPECT_EQ(image, expected);
    ExpectSameVariables<ReceivedEntry>(ReadBack(image), {Variable(kHeaderA, data)});
}

TEST(ReceivedFile, SeveralVariablesFollowEachOtherInOneDataSection) {
    std::vector<ReceivedEntry> entries = {Variable(kHeaderA, Pattern(10, 0xC0)),
                                          Variable(VariableHeader(0x12, "PRG", 0), {}),
                                          Variable(VariableHeader(0x0C, "S", 3), {'a', 'b', 'c'})};
    Bytes section =
        Joined({Entry(kHeaderA, Pattern(10, 0xC0)), Entry(VariableHeader(0x12, "PRG", 0), {}),
                Entry(VariableHeader(0x0C, "S", 3), {'a', 'b', 'c'})});
    std::size_t sum = 0;
    for (std::uint8_t byte : section)
        sum += byte;
    Bytes image = Built(entries);
    EXPECT_EQ(image, Joined({FileHeader(section.size()),
                             section,
                             {static_cast<std::uint8_t>(sum & 0xFF),
                              static_cast<std::uint8_t>(sum >> 8 & 0xFF)}}));
    ExpectSameVariables(ReadBack(image), entries);
}

// Its 300 bytes of 0xFF carry the sum past 65535: only the low 16 bits are stored.
TEST(ReceivedFile, ABackupCarriesItsThreeChunksBehindItsHeader) {
    ReceivedEntry backup = BackupOf300Ones();
    Bytes expected = Joined({FileHeader(320),
                             {0x09, 0x00},
                             backup.header,
                             {0x2C, 0x01},
                             Bytes(300, 0xFF),
                             {0x00, 0x00},
                             {0x03, 0x00, 0x01, 0x02, 0x03},
                             {0xF5, 0x2B}});
    Bytes image = Built({backup});
    EXPECT_EQ(image, expected);
    ExpectSameVariables<ReceivedEntry>(ReadBack(image), {backup});
}

TEST(ReceivedFile, WhatItsLengthsCannotSayIsRefusedAndNothingIsBuilt) {
    // Header block 7 bytes, data block 2 + D: the data section is full at D = 65526.
    Bytes image = {0x42};
    EXPECT_EQ(BuildVariableFile({Variable(kHeaderA, Bytes(65526))}, &image), FileImage::Built);
    EXPECT_EQ(image[53], 0xFF);
    EXPECT_EQ(image[54], 0xFF);
    EXPECT_EQ(image.size(), 55u + 65535u + 2u);
    image = {0x42};
    EXPECT_EQ(BuildVariableFile({Variable(kHeaderA, Bytes(65527))}, &image), FileImage::TooLarge);
    EXPECT_EQ(image, Bytes{0x42});
    std::vector<ReceivedEntry> many(2, Variable(kHeaderA, Bytes(40000)));
    EXPECT_EQ(BuildVariableFile(many, &image), FileImage::TooLarge);
    ReceivedEntry backup = BackupOf300Ones();
    backup.chunks[2] = Bytes(65535);
    EXPECT_EQ(BuildVariableFile({backup}, &image), FileImage::TooLarge);

    backup.chunks.pop_back();
    EXPECT_EQ(BuildVariableFile({backup}, &image), FileImage::MissingChunks);
    EXPECT_EQ(BuildVariableFile({ReceivedEntry{kHeaderA, {}}}, &image), FileImage::MissingChunks);
    EXPECT_EQ(image, Bytes{0x42});
}

TEST(ReceivedFile, EveryTypeByteHasOneExtension) {
    const std::pair<std::uint8_t, const char*> known[] = {
        {0x00, ".85n"}, {0x01, ".85c"}, {0x02, ".85v"}, {0x03, ".85v"}, {0x04, ".85l"},
        {0x05, ".85l"}, {0x06, ".85m"}, {0x07, ".85m"}, {0x08, ".85k"}, {0x09, ".85k"},
        {0x0A, ".85y"}, {0x0C, ".85s"}, {0x0D, ".85d"}, {0x10, ".85d"}, {0x11, ".85i"},
        {0x12, ".85p"}, {0x1D, ".85b"}};
    std::set<int> listed;
    for (const auto& [type, extension] : known) {
        EXPECT_EQ(TypeExtension(type), extension) << int(type);
        listed.insert(type);
    }
    for (int type = 0; type < 256; ++type) {
        if (listed.count(type) || (type >= 0x0D && type <= 0x10))
            continue;
        char expected[8];
        std::snprintf(expected, sizeof expected, ".85_%02X", type);
        EXPECT_EQ(TypeExtension(static_cast<std::uint8_t>(type)), expected);
    }
}

namespace {
// Safe on Windows and on Linux: visible ASCII Windows takes in a name, no dot or space at either
// end, no device name before the first dot.
bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name.front() == '.' || name.back() == '.')
        return false;
    for (char c : name)
        if (c <= 0x20 || c >= 0x7F || std::strchr("/\\:*?\"<>|", c))
            return false;
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (stem == device)
            return false;
    return !(stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
             std::isdigit(static_cast<unsigned char>(stem[3])));
}
} // namespace

TEST(ReceivedFile, NamesBecomeSafeFileNames) {
    EXPECT_EQ(SafeFileName("PRGM1"), "PRGM1");
    EXPECT_EQ(SafeFileName("A.B"), "A.B");
    EXPECT_EQ(SafeFileName("\x5b\xc1x"), "[_xc1x");
    EXPECT_EQ(SafeFileName("a/b\\c:d*e?f\"g<h>i|j"),
              "a_x2fb_x5cc_x3ad_x2ae_x3ff_x22g_x3ch_x3ei_x7cj");
    EXPECT_EQ(SafeFileName("_x41"), "_x5fx41"); // never mistaken for an escape
    EXPECT_EQ(SafeFileName(".A."), "_x2eA_x2e");
    EXPECT_EQ(SafeFileName(" \x01\x7f"), "_x20_x01_x7f");
    EXPECT_EQ(SafeFileName("CON"), "CO_x4e");
    EXPECT_EQ(SafeFileName("nul.X"), "nu_x6c.X");
    EXPECT_EQ(SafeFileName("COM1"), "COM_x31");
    EXPECT_EQ(SafeFileName("CONX"), "CONX");
    EXPECT_EQ(SafeFileName(""), "unnamed");
    EXPECT_EQ(SafeFileName(std::string(40, 'Q').c_str()), std::string(32, 'Q'));

    // Every byte, alone and at either end of a name, and with an extension behind it.
    for (int byte = 1; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        for (const std::string& name : {std::string(1, c), std::string("A") + c,
                                        c + std::string("A"), "CO" + std::string(1, c)}) {
            EXPECT_TRUE(IsSafeFileName(SafeFileName(name.c_str()))) << byte << " in " << name;
            EXPECT_TRUE(IsSafeFileName(SafeFileName(name.c_str()) + ".85n")) << byte;
        }
    }
}

TEST(ReceivedFile, AFileNameIsProposedForWhatArrived) {
    ReceivedEntry program = Variable(VariableHeader(0x12, "PRG\xc1", 0), {});
    EXPECT_EQ(ProposedFileName({program}), "PRG_xc1.85p");
    EXPECT_EQ(ProposedFileName({Variable(VariableHeader(0x0B, "", 0), {})}), "unnamed.85_0B");
    EXPECT_EQ(ProposedFileName({BackupOf300Ones()}), "backup.85b");
    EXPECT_EQ(ProposedFileName({program, program}), "received.85g");
}

TEST(ReceivedFile, ATakenNameGetsTheFirstFreeNumber) {
    std::set<std::string> names = {"A.85n", "A-2.85n", "README"};
    NameTaken taken = [](const std::string& name, void* context) {
        return static_cast<std::set<std::string>*>(context)->count(name) != 0;
    };
    EXPECT_EQ(FreeFileName("B.85n", taken, &names), "B.85n");
    EXPECT_EQ(FreeFileName("A.85n", taken, &names), "A-3.85n");
    EXPECT_EQ(FreeFileName("README", taken, &names), "README-2");
    NameTaken everything = [](const std::string&, void*) { return true; };
    EXPECT_EQ(FreeFileName("A.85n", everything, nullptr), "");
}

namespace {
Bytes Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderList(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST(ReceivedFile, AFileIsWrittenWholeAndReplacesAnotherOnlyWhenAsked) {
    TemporaryFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    Bytes image = Built({BackupOf300Ones()});
    std::string path = folder.File("backup.85b");
    ASSERT_EQ(WriteNewFile(path.c_str(), image.data(), image.size()), FileWriteResult::Written);
    EXPECT_EQ(Contents(path), image);

    Bytes other = Built({Variable(kHeaderA, {1})});
    EXPECT_EQ(WriteNewFile(path.c_str(), other.data(), other.size()), FileWriteResult::Exists);
    EXPECT_EQ(Contents(path), image);
    // No temporary file is left behind, written or refused.
    EXPECT_EQ(FolderList(folder.Path()), std::vector<std::string>{"backup.85b"});

    EXPECT_EQ(WriteFileReplacing(path.c_str(), other.data(), other.size()),
              FileWriteResult::Written);
    EXPECT_EQ(Contents(path), other);
    // A move that fails (onto a folder) leaves what was there, and no temporary file.
    std::filesystem::create_directories(folder.File("taken/inside"));
    EXPECT_EQ(WriteFileReplacing(folder.File("taken").c_str(), image.data(), image.size()),
              FileWriteResult::WriteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("taken/inside")));

    std::string nowhere = folder.File("missing/A.85n");
    EXPECT_EQ(WriteNewFile(nowhere.c_str(), other.data(), other.size()),
              FileWriteResult::WriteFailed);
    EXPECT_EQ(WriteFileReplacing(nowhere.c_str(), other.data(), other.size()),
              FileWriteResult::WriteFailed);
    EXPECT_EQ(FolderList(folder.Path()), (std::vector<std::string>{"backup.85b", "taken"}));
}
