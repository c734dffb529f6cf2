#include "ui/status_text.h"

#include <cstdio>

namespace {
constexpr int kNameWidth = 8; // a TI-85 name has at most 8 characters
constexpr int kLongestBar = 30;

void AppendEscaped(std::string& text, unsigned char byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    text += escaped;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 (overlong forms, surrogates and
// code points past U+10FFFF are not well-formed).
int Utf8SequenceLength(const unsigned char* at) {
    unsigned char lead = at[0];
    int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0)
        return 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    if (at[1] < low || at[1] > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if (at[i] < 0x80 || at[i] > 0xBF)
            return 0;
    return length;
}

std::string Padded(const std::string& text, int width) {
    return static_cast<int>(text.size()) >= width ? text
                                                  : text + std::string(width - text.size(), ' ');
}

std::string Figures(const VariableProgress& progress) {
    char text[64];
    std::snprintf(text, sizeof text, "%3d%%  %7.0f bytes/s", progress.percent,
                  progress.bytesPerSecond);
    return text;
}

std::string Bar(int percent, int width) {
    int filled = percent * width / 100;
    return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
}
} // namespace

std::string EscapedName(const char* name) {
    std::string text;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(name); *at; ++at) {
        if (*at == '\\')
            text += "\\\\";
        else if (*at >= 0x20 && *at < 0x7F)
            text += static_cast<char>(*at);
        else
            AppendEscaped(text, *at);
    }
    return text;
}

std::string EscapedPath(const char* path) {
    std::string text;
    const unsigned char* at = reinterpret_cast<const unsigned char*>(path);
    while (*at) {
        int length = *at >= 0x80 ? Utf8SequenceLength(at) : 0;
        if (length > 0) {
            text.append(reinterpret_cast<const char*>(at), length);
            at += length;
            continue;
        }
        if (*at == '\\')
            text += "\\\\";
        else if (*at >= 0x20 && *at < 0x7F)
            text += static_cast<char>(*at);
        else
            AppendEscaped(text, *at);
        ++at;
    }
    return text;
}

std::string TerminalStatusLine(const VariableProgress& progress, int columns) {
    std::string name = Padded(progress.name, kNameWidth);
    std::string figures = Figures(progress);
    // The last column is left free: writing into it makes some terminals wrap.
    int room = columns - 1 - static_cast<int>(name.size() + figures.size()) - 4;
    int barWidth = room < kLongestBar ? room : kLongestBar;
    std::string line = name + "  ";
    if (barWidth >= 10)
        line += Bar(progress.percent, barWidth - 2) + "  ";
    line += figures;
    if (static_cast<int>(line.size()) > columns - 1 && columns > 1)
        line.resize(columns - 1);
    return line;
}

std::string PlainStatusLine(const VariableProgress& progress) {
    return Padded(progress.name, kNameWidth) + "  " + Figures(progress);
}
