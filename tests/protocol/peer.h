// A scripted calculator for byte-exact packet tests: whole packets in and out of its end of the
// cable, and the common set-up of a test that talks to it.
#pragma once

#include "sim/calculator_link.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Receives one packet as the PC framed it: four header bytes, then the payload and the two
// checksum bytes when the length is not 0. Appends every byte to `bytes`; false on a link failure.
bool ReceivePacketBytes(CalculatorLink& link, Bytes* bytes);
bool SendBytes(CalculatorLink& link, const Bytes& bytes);
// For each reply: receives a packet and answers it with the reply. The packets as received.
std::vector<Bytes> AnswerEach(CalculatorLink& link, const std::vector<Bytes>& replies);

// first, first + 1, ... last: the percentages a long DATA packet shows.
std::vector<int> PercentRange(int first, int last);

// A LengthBlock of `payload`.
Bytes LengthBlock(const Bytes& payload);

const Bytes kCalculatorAck = {0x85, 0x56, 0x00, 0x00};
const Bytes kCalculatorRejects = {0x85, 0x5A, 0x00, 0x00};

// Forgets what earlier tests left: bytesSent and the recorded status writes.
void ResetPacketLayerRecords();

// A packet's first wait lasts until the job is told to stop: this tells it to (Cancel) once
// the limit has passed, so that a test of a faulty packet layer fails instead of hanging.
class LinkWatchdog {
  public:
    explicit LinkWatchdog(std::chrono::seconds limit = std::chrono::seconds(20));
    ~LinkWatchdog();

  private:
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    std::thread thread;
};
