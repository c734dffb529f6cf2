// Two lists of variables alike, in order, header and chunks: what a receive kept, what the
// calculator was given to send or took, what a file holds. `Expected` comes first, so that a
// caller can name it and give the expected list in braces.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

template <typename Expected, typename Found>
void ExpectSameVariables(const std::vector<Found>& found, const std::vector<Expected>& expected) {
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].header, expected[i].header) << i;
        EXPECT_EQ(found[i].chunks, expected[i].chunks) << i;
    }
}
