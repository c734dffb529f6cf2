// Fitting a message into the 512-character buffer it is formatted into.
#pragma once

#include <cstddef>

constexpr std::size_t kMessageBufferSize = 512;

// The part of `argument` that still fits into `format`'s "%s" within kMessageBufferSize
// characters (terminator included): the whole argument, or its end (the file name).
const char* FitMessageArgument(const char* format, const char* argument);
