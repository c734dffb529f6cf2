#include "transfer/variable_file.h"

#include "tests/transfer/sample_files.h"

#include <gtest/gtest.h>

namespace {
VariableFile View(const Bytes& bytes) {
    return VariableFile{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
}

struct Walk {
    std::vector<std::size_t> entries;    // offsets handed on
    std::vector<std::size_t> dataBlocks; // and their data blocks
    bool completed = false;
};

struct WalkState {
    Walk* walk;
    const std::uint8_t* start;
};

Walk WalkOf(const Bytes& bytes) {
    Walk walk;
    VariableFile file = View(bytes);
    EXPECT_EQ(CheckVariableFile(file), FileCheck::Sound);
    WalkState state{&walk, bytes.data()};
    walk.completed = WalkEntries(
        file,
        [](const std::uint8_t* entry, void* context) {
            WalkState* state = static_cast<WalkState*>(context);
            state->walk->entries.push_back(static_cast<std::size_t>(entry - state->start));
            state->walk->dataBlocks.push_back(
                static_cast<std::size_t>(EntryDataBlock(entry) - state->start));
            return true;
        },
        &state);
    return walk;
}

const Bytes kHeaderA = {0x0A, 0x00, 0x00, 0x01, 'A'};

Bytes WithDataSectionLength(Bytes file, std::size_t length) {
    file[53] = static_cast<std::uint8_t>(length & 0xFF);
    file[54] = static_cast<std::uint8_t>(length >> 8);
    return file;
}
} // namespace

TEST(VariableFile, TheSeventyFourByteFileWalksToItsEnd) {
    Bytes file = VariableFileOf({Entry(kHeaderA, Pattern(10, 0xC0))});
    ASSERT_EQ(file.size(), 74u);
    EXPECT_EQ(file[53], 0x13);
    EXPECT_EQ(file[54], 0x00);
    Walk walk = WalkOf(file);
    EXPECT_EQ(walk.entries, std::vector<std::size_t>{55});
    EXPECT_EQ(walk.dataBlocks, std::vector<std::size_t>{62});
    EXPECT_TRUE(walk.completed);
    EXPECT_EQ(DataSectionEnd(View(file)), 74u);
    EXPECT_EQ(BlockLength(file.data() + 55), 5);
    EXPECT_EQ(BlockAfter(file.data() + 62), file.data() + 74);
}

TEST(VariableFile, AnEmptyDataSectionIsACompleteFile) {
    Walk walk = WalkOf(VariableFileOf({}));
    EXPECT_TRUE(walk.entries.empty());
    EXPECT_TRUE(walk.completed);
}

TEST(VariableFile, EntriesFollowEachOtherByTheirOwnBlockLengths) {
    // Two entries, one with D = 0, one whose header's data-length field says 100.
    Bytes first = Entry("AB", Pattern(7));
    Bytes empty = Entry("E", {});
    Bytes lying = Entry(VariableHeader(0x00, "L", 100), Pattern(3));
    Walk walk = WalkOf(VariableFileOf({first, empty, lying}));
    std::size_t second = 55 + (6 + 2) + (7 + 2);
    EXPECT_EQ(walk.entries, (std::vector<std::size_t>{55, second, second + 9}));
    EXPECT_EQ(walk.dataBlocks[1], second + 7);
    EXPECT_EQ(walk.dataBlocks[2], second + 9 + 7);
    EXPECT_TRUE(walk.completed);
}

TEST(VariableFile, TheHeaderGapAndWhatFollowsTheDataSectionChangeNothing) {
    std::vector<Bytes> entries = {Entry("X", Pattern(4)), Entry("Y", Pattern(2))};
    Walk clean = WalkOf(VariableFileOf(entries));
    Walk junk = WalkOf(VariableFileOf(entries, {0xFF, Pattern(300, 0x80)}));
    EXPECT_EQ(junk.entries, clean.entries);
    EXPECT_TRUE(junk.completed);
    // NUL bytes in the gap too.
    EXPECT_EQ(WalkOf(VariableFileOf(entries, {0x00, {}})).entries, clean.entries);
}

TEST(VariableFile, AnEntryMayReachPastTheDataSectionInsideTheFile) {
    // L covers only the first block; the entry is handed on whole and the walk ends past L.
    Bytes file = WithDataSectionLength(VariableFileOf({Entry("A", Pattern(5))}), 1);
    Walk walk = WalkOf(file);
    EXPECT_EQ(walk.entries, std::vector<std::size_t>{55});
    EXPECT_TRUE(walk.completed);
}

TEST(VariableFile, TheSignatureIsEightExactBytes) {
    Bytes good = VariableFileOf({Entry("A", Pattern(2))});
    for (std::size_t at = 0; at < 8; ++at) {
        Bytes bad = good;
        bad[at] ^= 0x01;
        EXPECT_EQ(CheckVariableFile(View(bad)), FileCheck::WrongSignature) << at;
    }
    Bytes lower = good;
    lower[2] = 't';
    EXPECT_EQ(CheckVariableFile(View(lower)), FileCheck::WrongSignature);
    // A short file that is not even the start of a signature is not a variable file at all.
    Bytes shortAndWrong = {'*', '*', 'X'};
    EXPECT_EQ(CheckVariableFile(View(shortAndWrong)), FileCheck::WrongSignature);
}

TEST(VariableFile, ABackupEndsTheWalkAndWhatLiesBehindItIsNeverChecked) {
    Bytes backup = BackupEntry(Pattern(6), Pattern(3), Pattern(4));
    // Behind the backup: an entry whose blocks would run far past the end of the file.
    Bytes file = VariableFileOf({Entry("V", Pattern(2)), backup, {0xFF, 0xFF, 0x00}});
    VariableFile view = View(file);
    ASSERT_EQ(CheckVariableFile(view), FileCheck::Sound);
    std::vector<const std::uint8_t*> visited;
    bool completed = WalkEntries(
        view,
        [](const std::uint8_t* entry, void* context) {
            static_cast<std::vector<const std::uint8_t*>*>(context)->push_back(entry);
            return true; // even a visitor that would go on cannot take the walk past a backup
        },
        &visited);
    EXPECT_FALSE(completed);
    ASSERT_EQ(visited.size(), 2u);
    EXPECT_FALSE(IsBackupEntry(visited[0]));
    EXPECT_TRUE(IsBackupEntry(visited[1]));
    const std::uint8_t* chunk1 = EntryDataBlock(visited[1]);
    EXPECT_EQ(BlockLength(chunk1), 6);
    EXPECT_EQ(BlockLength(BlockAfter(chunk1)), 3);
    EXPECT_EQ(BlockLength(BlockAfter(BlockAfter(chunk1))), 4);
}

TEST(VariableFile, ShortHeadersAndLongNamesAreNotDamage) {
    // Headers of 0 to 3 bytes, and a name length that runs past its header.
    for (Bytes header : {Bytes{}, Bytes{0x01}, Bytes{0x01, 0x00}, Bytes{0x01, 0x00, 0x07},
                         Bytes{0x01, 0x00, 0x00, 0xFF, 'N'}}) {
        Bytes file = VariableFileOf({Entry(header, Pattern(1)), Entry("Z", Pattern(1))});
        EXPECT_EQ(WalkOf(file).entries.size(), 2u) << header.size();
    }
}

TEST(VariableFile, AHeaderWithoutATypeByteIsNoBackup) {
    // Entry offset 4 lies behind a two-byte header: here the data length, 0x1D.
    Bytes file = VariableFileOf({Entry(Bytes{0x1D, 0x00}, Pattern(0x1D)), Entry("Z", {})});
    EXPECT_FALSE(IsBackupEntry(file.data() + 55));
    Walk walk = WalkOf(file);
    EXPECT_EQ(walk.entries.size(), 2u);
    EXPECT_TRUE(walk.completed);
}

TEST(VariableFile, EveryCutOfTheWalkIsDamage) {
    std::vector<Bytes> variables = {Entry("ONE", Pattern(20)), Entry("TWO", {}),
                                    Entry("SIX", Pattern(9))};
    std::vector<Bytes> backup = {Entry("V", Pattern(3)),
                                 BackupEntry(Pattern(8), Pattern(5), Pattern(7))};
    for (const std::vector<Bytes>* entries : {&variables, &backup}) {
        for (const CutFile& cut : CutsOf(*entries))
            EXPECT_EQ(CheckVariableFile(View(cut.bytes)),
                      cut.sound ? FileCheck::Sound : FileCheck::Damaged)
                << cut.bytes.size();
    }
}

TEST(VariableFile, NoWalkReachesPastTheFormatsReach) {
    // The longest data section, whose last byte starts a backup of four full blocks.
    Bytes filler = Entry(Bytes{0x00, 0x00, 0x00}, Pattern(0xFFFF - 1 - 7));
    Bytes header(0xFFFF, 0x00);
    header[2] = kBackupType;
    Bytes backup = Entry(header, Pattern(0xFFFF, 1));
    for (std::uint8_t chunk : {2, 3}) {
        Bytes block = LengthBlockOf(Pattern(0xFFFF, chunk));
        backup.insert(backup.end(), block.begin(), block.end());
    }
    Bytes file = WithDataSectionLength(VariableFileOf({filler, backup}), 0xFFFF);
    ASSERT_EQ(file.size(), kVariableFileReach);
    Walk walk = WalkOf(file);
    EXPECT_EQ(walk.entries, (std::vector<std::size_t>{55, 55 + 0xFFFF - 1}));
    file.pop_back();
    EXPECT_EQ(CheckVariableFile(View(file)), FileCheck::Damaged);
}
