// Fitting a message into the 512-character buffer it is formatted into: in UTF-8 bytes for the
// core's own texts, in UTF-16 units where Windows formats it.
#pragma once

#include <cstddef>
#include <string>

constexpr std::size_t kMessageBufferSize = 512;

// A unit that continues a character begun before it: a UTF-8 continuation byte, or the low
// half of a UTF-16 surrogate pair. A shortened text never starts with one.
inline bool ContinuesACharacter(char unit) {
    return (static_cast<unsigned char>(unit) & 0xC0) == 0x80;
}
inline bool ContinuesACharacter(wchar_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The part of `argument` that still fits into `format`'s "%s" within kMessageBufferSize units
// (terminator included): the whole argument, or its end (the file name), from a whole character.
template <typename Char> const Char* FitMessageArgument(const Char* format, const Char* argument) {
    const std::basic_string<Char> fixed(format);
    const Char placeholder[] = {'%', 's', 0};
    std::size_t fixedLength = fixed.size();
    if (fixed.find(placeholder) != std::basic_string<Char>::npos)
        fixedLength -= 2;
    std::size_t room =
        kMessageBufferSize - 1 > fixedLength ? kMessageBufferSize - 1 - fixedLength : 0;
    std::size_t length = std::char_traits<Char>::length(argument);
    if (length <= room)
        return argument;
    const Char* kept = argument + (length - room);
    while (*kept != 0 && ContinuesACharacter(*kept))
        ++kept;
    return kept;
}
