// A TI-85 on the far end of a virtual cable, in receive mode or sending a batch: it answers the
// PC's packets, or sends its own, as the calculator does (machine id 0x85), records every packet
// and every variable it took or delivered, and can misbehave on request.
#pragma once

#include "sim/calculator_link.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// A variable as the link carries it, either way.
struct ReceivedVariable {
    std::vector<std::uint8_t> header;              // the VAR payload
    std::vector<std::vector<std::uint8_t>> chunks; // one DATA payload, or a backup's three
    bool backup = false;
    std::string name;
};

struct Ti85Options {
    CalculatorLinkOptions link;
    // Variables to decline, by the order of their headers in the session (0 = the first VAR
    // taken): the SKIP reason to answer with (1 exit, 2 skip, 3 memory full, or any byte).
    std::map<int, std::uint8_t> skipReasons;
    // The next this many packets of the PC that await an answer (VAR, DATA, EOT) are answered
    // with 85 5A 00 00 instead of an ACK, whatever their checksum, so that the PC sends them
    // again. A packet with a wrong checksum is always answered so. Sending, the PC's CTS or SKIP
    // count too.
    int rejectPackets = 0;
    // The session ends after the ACK of an EOT, or after the ACK of a backup's third chunk.
    // With this set it goes on receiving instead (a calculator put back in receive mode).
    bool keepReceiving = false;
    // Not yet in receive mode: each session (Start, Replug) begins this much later, and nothing
    // answers meanwhile.
    std::chrono::milliseconds receiveModeAfter{0};
    // A prompt on the calculator (a name that exists already), by the order of the headers as in
    // `skipReasons`: the ACK of that VAR comes at once, its CTS or SKIP only this much later.
    std::map<int, std::chrono::milliseconds> prompts;

    // Sending instead of receiving, as after the user's SEND: a session sends these variables
    // as one batch, once `sendAfter` has passed and the link has read idle. Each goes out as a
    // VAR; the PC's CTS brings its DATA, its SKIP skips it (reason 2) or ends the batch (1);
    // an EOT ends the batch, but not a backup, which goes out alone as a VAR and three DATA.
    std::vector<ReceivedVariable> send;
    std::chrono::milliseconds sendAfter{0};
    // Its own packets that carry a checksum (VAR, DATA with a payload), counted from 0 in the
    // order they go out in the session, resends included: these go with a wrong checksum, so
    // that the PC answers with ERR (0x5A) and gets the packet again.
    std::set<int> badChecksums;
};

struct PacketRecord {
    LinkDirection direction;
    std::uint8_t machineId;
    std::uint8_t command;
    std::uint16_t length;
    bool checksumGood; // true for header-only packets
    std::string name;  // a VAR's name, as far as it lies inside the payload
    std::vector<std::uint8_t> payload;
};

class SimulatedTi85 {
  public:
    SimulatedTi85(VirtualCable& cable, Ti85Options options = {});
    ~SimulatedTi85(); // stops and joins

    // Receive mode (or sending `send`), on a thread of its own. Start, Stop, Replug and
    // SendBatch are for one controlling thread; Start again after a session has ended begins a
    // new one, and sends the batch again.
    void Start();
    // A session that sends `batch` (after `after`) in place of what the options say; false while
    // a session runs.
    bool SendBatch(std::vector<ReceivedVariable> batch, std::chrono::milliseconds after);
    // Ends the thread (any wait ends at once) and joins it.
    void Stop();
    // Waits until the session has ended (EOT acknowledged, backup taken or delivered, the batch
    // ended by the PC, or the link failed); false at the deadline.
    bool WaitUntilDone(std::chrono::steady_clock::time_point deadline);
    // Waits until this many packets have been recorded; false at the deadline.
    bool WaitForPackets(std::size_t count, std::chrono::steady_clock::time_point deadline);
    bool Done() const;

    // Misbehaviour while running (any thread).
    void RejectPackets(int count);
    void SkipVariable(int index, std::uint8_t reason);
    void Unplug(); // stops answering mid-byte, as if the cable were pulled
    // After an unplug, or the ON key at its stop point: back in receive mode, answering from a
    // fresh packet (or sending the batch again from its start).
    void Replug();
    // Why the last session ended early: empty after an EOT or a backup (or while running), and,
    // sending, once the batch went out or the PC ended it; "unplugged", "ON key", "stopped",
    // "deadline" when the link failed, or the PC's protocol error (a packet the calculator did not
    // expect, after which it stops answering).
    std::string Failure() const;

    std::vector<PacketRecord> Packets() const;
    std::vector<ReceivedVariable> Variables() const;
    // Sending: the positions in the batch of the variables whose data the PC acknowledged.
    std::vector<std::size_t> Delivered() const;
    int EotCount() const;
    CalculatorLink& Link() { return link; }

  private:
    enum class Step { GoOn, SessionEnds, Failed };

    void Run();
    void RunSession();
    void RunSendingSession();
    Step SendVariable(const ReceivedVariable& variable, std::size_t index);
    Step SendAnswered(std::uint8_t command, const std::vector<std::uint8_t>& payload = {});
    bool TakeBadChecksum();
    Step Take(const PacketRecord& packet);
    Step TakeHeader(const PacketRecord& packet);
    Step TakeData(const PacketRecord& packet);
    Step TakeEndOfTransmission();
    Step LinkFailure();
    bool ReceiveFromPc(PacketRecord* packet);
    bool ReceiveAnswerable(PacketRecord* packet);
    bool SendToPc(std::uint8_t command, const std::vector<std::uint8_t>& payload = {},
                  bool damaged = false);
    bool TakeRejection();
    int TakeHeaderIndex();
    bool SkipReason(int header, std::uint8_t* reason);
    std::chrono::milliseconds Prompt(int header);
    Step Fail(const std::string& why);
    void Record(const PacketRecord& packet);
    void LaunchSession();

    CalculatorLink link;
    Ti85Options options;
    std::thread thread;
    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<PacketRecord> packets;
    std::vector<ReceivedVariable> variables;
    std::vector<std::size_t> delivered;
    int eots = 0;
    bool done = false;
    bool started = false;
    int varsTaken = 0; // VAR headers acknowledged since Start, the index of skipReasons
    std::string failure;
    // The session's thread only: the variable whose data is coming.
    ReceivedVariable current;
    std::size_t chunksAwaited = 0;
    int checksummedSent =
        0; // sending: its packets with a checksum so far, the index of badChecksums
};
