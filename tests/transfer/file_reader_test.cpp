#include "transfer/file_reader.h"

#include "tests/transfer/sample_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(FileReader, ReadsTheWholeFileIntoABlockOfItsSize) {
    Bytes contents = Pattern(70000, 3);
    TempFile file(contents);
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(ReadWholeFile(file.Path(), &data, &size), FileReadResult::Read);
    ASSERT_EQ(size, contents.size());
    EXPECT_EQ(Bytes(data, data + size), contents);
    std::free(data);
}

TEST(FileReader, AnEmptyFileIsReadAsNoBytes) {
    TempFile file({});
    std::uint8_t* data = nullptr;
    std::uint32_t size = 99;
    ASSERT_EQ(ReadWholeFile(file.Path(), &data, &size), FileReadResult::Read);
    EXPECT_EQ(size, 0u);
    std::free(data);
}

TEST(FileReader, WhatCannotBeOpenedIsAnOpenFailure) {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    EXPECT_EQ(ReadWholeFile(MissingPath().c_str(), &data, &size), FileReadResult::OpenFailed);
    // A folder, as Windows refuses to open one as a file.
    EXPECT_EQ(ReadWholeFile(::testing::TempDir().c_str(), &data, &size),
              FileReadResult::OpenFailed);
    EXPECT_EQ(data, nullptr);
}
