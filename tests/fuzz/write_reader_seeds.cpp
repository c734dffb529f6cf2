// Writes the reader's seed files into a folder, as the libFuzzer run's starting corpus.
#include "tests/fuzz/reader_seeds.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_reader_seeds FOLDER\n");
        return 2;
    }
    int index = 0;
    for (const Bytes& seed : ReaderSeeds()) {
        std::ofstream out(std::string(argv[1]) + "/seed" + std::to_string(index++),
                          std::ios::binary);
        out.write(reinterpret_cast<const char*>(seed.data()),
                  static_cast<std::streamsize>(seed.size()));
        if (!out)
            return 1;
    }
    return 0;
}
