// The files the reader's random runs start from: one of each shape the walk knows.
#pragma once

#include "tests/transfer/sample_files.h"

std::vector<Bytes> ReaderSeeds();
