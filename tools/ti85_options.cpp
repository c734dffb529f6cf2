#include "tools/ti85_options.h"

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

const char kTi85OptionsUsage[] =
    "  --sample <us>          look at the wires this often (default 5; 0: all the time)\n"
    "  --hold <us>            count a level once it has held this long (default 10)\n"
    "  --bit-time <us>        start a bit no sooner than this after the last (default 60,\n"
    "                         about 2 KB/s)\n"
    "  --turnaround <us>      pause from a received packet to the answer (default 3000)\n"
    "  --fast                 no hold, no pace, looks all the time, answers after 1 ms\n"
    "  --slow <us>            wait this long before every bit signal and acknowledgement\n"
    "  --receive-after <ms>   enter receive mode this late (and again after a replug)\n"
    "  --prompt <index>:<ms>  answer the index-th variable header (from 0) this late\n"
    "  --skip <index>:<byte>  decline the index-th variable header (from 0) with this\n"
    "                         SKIP reason (1 exit, 2 skip, 3 memory full); repeatable\n"
    "  --reject <n>           answer the next n packets with a rejection, not an ACK\n"
    "  --unplug-at-byte <k>   let go of the wires at byte k of the link (from 0)\n"
    "  --on-key-at-byte <k>   press ON at byte k of the link: both wires low for a moment,\n"
    "                         then out of receive mode\n"
    "  --keep-receiving       stay in receive mode after an EOT or a backup\n"
    "  --send-after <ms>      sending: start the batch this late (default 0)\n"
    "  --bad-checksum <n>     sending: its n-th packet with a checksum (from 0, resends\n"
    "                         included) goes with a wrong one; repeatable\n";

bool ParseCount(const char* text, long* value) {
    char* end = nullptr;
    *value = text ? std::strtol(text, &end, 0) : -1;
    return text && end != text && *end == '\0' && *value >= 0;
}

namespace {
// "<index>:<number>"
bool ParsePair(const char* text, long* index, long* number) {
    const char* colon = std::strchr(text, ':');
    return colon && ParseCount(std::string(text, colon).c_str(), index) &&
           ParseCount(colon + 1, number);
}

bool ParseFlag(const std::string& option, Ti85Options* options) {
    if (option == "--keep-receiving")
        options->keepReceiving = true;
    else if (option == "--fast")
        options->link = FastCalculator();
    else
        return false;
    return true;
}

bool ParsePairOption(const std::string& option, const char* value, Ti85Options* options) {
    long index = 0, number = 0;
    if (!ParsePair(value, &index, &number))
        return false;
    if (option == "--skip" && number <= 255)
        options->skipReasons[static_cast<int>(index)] = static_cast<std::uint8_t>(number);
    else if (option == "--prompt")
        options->prompts[static_cast<int>(index)] = std::chrono::milliseconds(number);
    else
        return false;
    return true;
}

bool ParseNumberOption(const std::string& option, long number, Ti85Options* options) {
    using std::chrono::microseconds;
    CalculatorLinkOptions& link = options->link;
    if (option == "--sample")
        link.samplePeriod = microseconds(number);
    else if (option == "--hold")
        link.hold = microseconds(number);
    else if (option == "--bit-time")
        link.bitTime = microseconds(number);
    else if (option == "--turnaround")
        link.turnaround = microseconds(number);
    else if (option == "--slow")
        link.bitDelay = microseconds(number);
    else if (option == "--receive-after")
        options->receiveModeAfter = std::chrono::milliseconds(number);
    else if (option == "--reject")
        options->rejectPackets = static_cast<int>(number);
    else if (option == "--send-after")
        options->sendAfter = std::chrono::milliseconds(number);
    else if (option == "--bad-checksum")
        options->badChecksums.insert(static_cast<int>(number));
    else if (option == "--unplug-at-byte" || option == "--on-key-at-byte") {
        link.stopAtByte = number;
        link.stopAtBit = 0;
        link.stopAfterFirstMove = false;
        link.stopKind = option == "--unplug-at-byte" ? StopKind::Unplug : StopKind::OnKey;
    } else
        return false;
    return true;
}
} // namespace

int ParseTi85Option(const std::string& option, const char* value, Ti85Options* options) {
    if (ParseFlag(option, options))
        return 1;
    long number = 0;
    if (!value)
        return 0;
    if (std::strchr(value, ':'))
        return ParsePairOption(option, value, options) ? 2 : 0;
    return ParseCount(value, &number) && ParseNumberOption(option, number, options) ? 2 : 0;
}

bool ParseTi85Options(const std::string& text, Ti85Options* options) {
    std::istringstream words(text);
    std::vector<std::string> arguments;
    for (std::string word; words >> word;)
        arguments.push_back(word);
    for (std::size_t i = 0; i < arguments.size();) {
        const char* value = i + 1 < arguments.size() ? arguments[i + 1].c_str() : nullptr;
        int used = ParseTi85Option(arguments[i], value, options);
        if (used == 0)
            return false;
        i += static_cast<std::size_t>(used);
    }
    return true;
}
