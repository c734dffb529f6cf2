#include "transfer/file_reader.h"

#include "tests/transfer/sample_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {
constexpr std::uint32_t kNoLimit = 0xFFFFFFFF;
} // namespace

TEST(FileReader, ReadsAFileWithinTheLimitWholeIntoABlockOfItsSize) {
    Bytes contents = Pattern(70000, 3);
    TempFile file(contents);
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(ReadFileStart(file.Path(), kNoLimit, &data, &size), FileReadResult::Read);
    ASSERT_EQ(size, contents.size());
    EXPECT_EQ(Bytes(data, data + size), contents);
    std::free(data);
}

TEST(FileReader, AnEmptyFileIsReadAsNoBytes) {
    TempFile file({});
    std::uint8_t* data = nullptr;
    std::uint32_t size = 99;
    ASSERT_EQ(ReadFileStart(file.Path(), kNoLimit, &data, &size), FileReadResult::Read);
    EXPECT_EQ(size, 0u);
    std::free(data);
}

TEST(FileReader, WhatCannotBeOpenedIsAnOpenFailure) {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    EXPECT_EQ(ReadFileStart(MissingPath().c_str(), kNoLimit, &data, &size),
              FileReadResult::OpenFailed);
    // A folder, as Windows refuses to open one as a file.
    EXPECT_EQ(ReadFileStart(::testing::TempDir().c_str(), kNoLimit, &data, &size),
              FileReadResult::OpenFailed);
    EXPECT_EQ(data, nullptr);
}

TEST(FileReader, AHugeFileIsReadOnlyUpToTheLimit) {
    // Past 4 GiB, so that a size taken on 32 bits would come out small; sparse, so it costs
    // no disk.
    Bytes start = Pattern(1000, 9);
    TempFile file(start);
    std::filesystem::resize_file(file.Path(), (std::uint64_t{1} << 32) + 100);
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(ReadFileStart(file.Path(), 700, &data, &size), FileReadResult::Read);
    ASSERT_EQ(size, 700u);
    EXPECT_EQ(Bytes(data, data + size), Bytes(start.begin(), start.begin() + 700));
    std::free(data);
}
