// The Win32 file writer against files of the test's Wine prefix.
#include "tests/win32/ui_driver.h"
#include "tests/win32/win32_check.h"
#include "transfer/file_reader.h"
#include "transfer/file_writer.h"
#include "ui/utf8_text_win32.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {
std::string Contents(const std::string& path) {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    if (ReadFileStart(path.c_str(), 1 << 20, &data, &size) != FileReadResult::Read)
        return "(unreadable)";
    std::string contents(data, data + size);
    std::free(data);
    return contents;
}

std::vector<std::string> FolderList(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(WideFromUtf8((folder + "\\*").c_str()).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = Utf8FromWide(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

FileWriteResult Write(FileWriteResult (*write)(const char*, const std::uint8_t*, std::size_t),
                      const std::string& path, const std::string& contents) {
    return write(path.c_str(), reinterpret_cast<const std::uint8_t*>(contents.data()),
                 contents.size());
}
} // namespace

WIN32_TEST(FileWriterWritesWholeFilesAndReplacesOnlyWhenAsked) {
    // Names no ANSI code page holds together.
    const std::string greek = "\xce\xb5\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba"
                              "\xce\xac.85n";                                // ελληνικά
    const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.85g"; // 日本語
    std::string first(70000, '\0'), second = "**TI85**";
    for (std::size_t i = 0; i < first.size(); ++i)
        first[i] = static_cast<char>(i * 7 + 1);
    ScratchFolder folder;
    std::string greekPath = folder.File(greek), japanesePath = folder.File(japanese);

    CHECK(Write(WriteNewFile, greekPath, first) == FileWriteResult::Written);
    CHECK(Contents(greekPath) == first);
    CHECK(Write(WriteNewFile, greekPath, second) == FileWriteResult::Exists);
    CHECK(Contents(greekPath) == first);
    CHECK(Write(WriteFileReplacing, japanesePath, first) == FileWriteResult::Written);
    CHECK(Write(WriteFileReplacing, japanesePath, second) == FileWriteResult::Written);
    CHECK_EQ(Contents(japanesePath), second);

    // A file another program holds open cannot be replaced: it stays as it was.
    HANDLE held = CreateFileW(WideFromUtf8(greekPath.c_str()).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(held != INVALID_HANDLE_VALUE);
    CHECK(Write(WriteFileReplacing, greekPath, second) == FileWriteResult::WriteFailed);
    CloseHandle(held);
    CHECK(Contents(greekPath) == first);

    CHECK(Write(WriteNewFile, folder.Path() + "\\missing\\A.85n", second) ==
          FileWriteResult::WriteFailed);
    // No temporary file is left behind, whatever happened.
    std::vector<std::string> expected = {greek, japanese};
    std::sort(expected.begin(), expected.end());
    CHECK(FolderList(folder.Path()) == expected);
}
