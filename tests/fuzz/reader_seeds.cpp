#include "tests/fuzz/reader_seeds.h"

std::vector<Bytes> ReaderSeeds() {
    return {
        VariableFileOf({Entry(Bytes{0x0A, 0x00, 0x00, 0x01, 'A'}, Pattern(10))}),
        VariableFileOf({Entry("ONE", Pattern(20)), Entry("TWO", {}), Entry("SIX", Pattern(9))}),
        VariableFileOf({Entry("V", Pattern(3)), BackupEntry(Pattern(8), Pattern(5), Pattern(7)),
                        Entry("BEHIND", Pattern(2))}),
        VariableFileOf({Entry(Bytes{0x01}, Pattern(2)), Entry(Bytes{}, {})}, {0, Pattern(9)}),
    };
}
