// The Win32 file reader against files of the test's Wine prefix.
#include "tests/win32/ui_driver.h"
#include "tests/win32/win32_check.h"
#include "transfer/file_reader.h"

#include <cstdlib>
#include <cstring>

WIN32_TEST(FileReaderReadsOnlyTheStartOfAHugeFile) {
    ScratchFolder folder;
    std::string start(1000, '\0');
    for (std::size_t i = 0; i < start.size(); ++i)
        start[i] = static_cast<char>(i * 7 + 1);
    std::string path = folder.Write("huge.85p", start);
    // Past 4 GiB, so that a size taken on 32 bits would come out small; sparse under Wine.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG{1} << 32) + 100;
    CHECK(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);

    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    if (!CHECK(ReadFileStart(path.c_str(), 700, &data, &size) == FileReadResult::Read))
        return;
    CHECK_EQ(size, 700u);
    CHECK(std::memcmp(data, start.data(), 700) == 0);
    std::free(data);
}
