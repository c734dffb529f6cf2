#include "sim/simulated_ti85.h"

#include "protocol/packet.h"
#include "protocol/variable_name.h"

namespace {
constexpr std::uint8_t kCalculatorMachineId = 0x85;
// The answer to a packet the calculator could not take: anything but ACK makes the PC resend.
constexpr std::uint8_t kRejected = 0x5A;
constexpr std::uint8_t kBackupType = 0x1D;
constexpr std::size_t kBackupChunks = 3;

bool IsBackupHeader(const std::vector<std::uint8_t>& header) {
    return header.size() > 2 && header[2] == kBackupType;
}

std::string NameOf(const std::vector<std::uint8_t>& payload) {
    char name[kMaxVariableNameLength + 1];
    CopyVariableName(payload.data(), payload.size(), name);
    return name;
}

std::string CommandText(std::uint8_t command) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[command >> 4] + digits[command & 15];
}
} // namespace

SimulatedTi85::SimulatedTi85(VirtualCable& cable, Ti85Options options)
    : link(cable, options.link), options(options) {}

SimulatedTi85::~SimulatedTi85() {
    Stop();
}

void SimulatedTi85::Start() {
    if (link.Stopped())
        return;
    if (thread.joinable()) {
        if (!Done())
            return;
        thread.join();
    }
    LaunchSession();
}

void SimulatedTi85::LaunchSession() {
    {
        std::lock_guard<std::mutex> hold(lock);
        done = false;
        started = true;
        failure.clear();
    }
    thread = std::thread(&SimulatedTi85::Run, this);
}

void SimulatedTi85::Stop() {
    link.Stop();
    if (thread.joinable())
        thread.join();
}

bool SimulatedTi85::WaitUntilDone(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_until(hold, deadline, [this] { return done; });
}

bool SimulatedTi85::WaitForPackets(std::size_t count,
                                   std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_until(hold, deadline, [&] { return packets.size() >= count; });
}

bool SimulatedTi85::Done() const {
    std::lock_guard<std::mutex> hold(lock);
    return done;
}

void SimulatedTi85::RejectPackets(int count) {
    std::lock_guard<std::mutex> hold(lock);
    options.rejectPackets = count;
}

void SimulatedTi85::SkipVariable(int index, std::uint8_t reason) {
    std::lock_guard<std::mutex> hold(lock);
    options.skipReasons[index] = reason;
}

void SimulatedTi85::Unplug() {
    link.Unplug();
}

// The silent session's link operations have all failed at once, so its thread ends; the
// calculator then starts over as if newly put in receive mode.
void SimulatedTi85::Replug() {
    if (!link.Silent() || link.Stopped())
        return;
    if (thread.joinable())
        thread.join();
    link.Replug();
    bool wasStarted;
    {
        std::lock_guard<std::mutex> hold(lock);
        wasStarted = started;
    }
    if (wasStarted)
        LaunchSession();
}

std::string SimulatedTi85::Failure() const {
    std::lock_guard<std::mutex> hold(lock);
    return failure;
}

std::vector<PacketRecord> SimulatedTi85::Packets() const {
    std::lock_guard<std::mutex> hold(lock);
    return packets;
}

std::vector<ReceivedVariable> SimulatedTi85::Variables() const {
    std::lock_guard<std::mutex> hold(lock);
    return variables;
}

int SimulatedTi85::EotCount() const {
    std::lock_guard<std::mutex> hold(lock);
    return eots;
}

void SimulatedTi85::Run() {
    if (link.Pause(options.receiveModeAfter))
        RunSession();
    else
        LinkFailure();
    std::lock_guard<std::mutex> hold(lock);
    done = true;
    changed.notify_all();
}

SimulatedTi85::Step SimulatedTi85::Fail(const std::string& why) {
    std::lock_guard<std::mutex> hold(lock);
    failure = why;
    return Step::Failed;
}

void SimulatedTi85::Record(const PacketRecord& packet) {
    std::lock_guard<std::mutex> hold(lock);
    packets.push_back(packet);
    changed.notify_all();
}

// A packet: four header bytes, then the payload and its checksum when the length is not 0.
bool SimulatedTi85::ReceiveFromPc(PacketRecord* packet) {
    std::uint8_t header[4];
    for (std::uint8_t& byte : header)
        if (!link.ReceiveByte(&byte))
            return false;
    packet->direction = LinkDirection::PcToCalculator;
    packet->machineId = header[0];
    packet->command = header[1];
    packet->length = static_cast<std::uint16_t>(header[2] | header[3] << 8);
    packet->payload.assign(packet->length, 0);
    std::uint16_t sum = 0;
    for (std::uint8_t& byte : packet->payload) {
        if (!link.ReceiveByte(&byte))
            return false;
        sum = static_cast<std::uint16_t>(sum + byte);
    }
    packet->checksumGood = true;
    if (packet->length != 0) {
        std::uint8_t low, high;
        if (!link.ReceiveByte(&low) || !link.ReceiveByte(&high))
            return false;
        packet->checksumGood = (low | high << 8) == sum;
    }
    packet->name = packet->command == VAR ? NameOf(packet->payload) : std::string();
    Record(*packet);
    return true;
}

bool SimulatedTi85::SendToPc(std::uint8_t command, const std::vector<std::uint8_t>& payload) {
    PacketRecord packet{LinkDirection::CalculatorToPc,
                        kCalculatorMachineId,
                        command,
                        static_cast<std::uint16_t>(payload.size()),
                        true,
                        {},
                        payload};
    std::vector<std::uint8_t> bytes = {kCalculatorMachineId, command,
                                       static_cast<std::uint8_t>(payload.size() & 0xFF),
                                       static_cast<std::uint8_t>(payload.size() >> 8)};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    if (!payload.empty()) {
        std::uint16_t sum = 0;
        for (std::uint8_t byte : payload)
            sum = static_cast<std::uint16_t>(sum + byte);
        bytes.push_back(static_cast<std::uint8_t>(sum & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
    }
    for (std::uint8_t byte : bytes)
        if (!link.SendByte(byte))
            return false;
    Record(packet);
    return true;
}

bool SimulatedTi85::TakeRejection() {
    std::lock_guard<std::mutex> hold(lock);
    if (options.rejectPackets <= 0)
        return false;
    --options.rejectPackets;
    return true;
}

// Counts the VAR just taken; its index among the session's headers.
int SimulatedTi85::TakeHeaderIndex() {
    std::lock_guard<std::mutex> hold(lock);
    return varsTaken++;
}

// True with the reason when the header is to be declined.
bool SimulatedTi85::SkipReason(int header, std::uint8_t* reason) {
    std::lock_guard<std::mutex> hold(lock);
    auto found = options.skipReasons.find(header);
    if (found == options.skipReasons.end())
        return false;
    *reason = found->second;
    return true;
}

std::chrono::milliseconds SimulatedTi85::Prompt(int header) {
    std::lock_guard<std::mutex> hold(lock);
    auto found = options.prompts.find(header);
    return found == options.prompts.end() ? std::chrono::milliseconds(0) : found->second;
}

// The next packet that the PC awaits an answer to; a bad or rejected one is answered with a
// rejection, and the PC sends it again.
bool SimulatedTi85::ReceiveAnswerable(PacketRecord* packet) {
    for (;;) {
        if (!ReceiveFromPc(packet))
            return false;
        bool rejected = !packet->checksumGood;
        if (TakeRejection())
            rejected = true;
        if (!rejected)
            return true;
        if (!SendToPc(kRejected))
            return false;
    }
}

// One session in receive mode, until it ends or fails (see Failure()).
void SimulatedTi85::RunSession() {
    chunksAwaited = 0;
    for (;;) {
        PacketRecord packet;
        Step step = ReceiveAnswerable(&packet) ? Take(packet) : LinkFailure();
        if (step != Step::GoOn)
            return;
    }
}

SimulatedTi85::Step SimulatedTi85::Take(const PacketRecord& packet) {
    if (chunksAwaited != 0)
        return TakeData(packet);
    if (packet.command == VAR)
        return TakeHeader(packet);
    if (packet.command == EOT)
        return TakeEndOfTransmission();
    return Fail("expected VAR or EOT, got " + CommandText(packet.command));
}

SimulatedTi85::Step SimulatedTi85::LinkFailure() {
    if (link.Stopped())
        return Fail("stopped");
    if (link.Unplugged())
        return Fail("unplugged");
    return Fail(link.LeftReceiveMode() ? "ON key" : "deadline");
}

// ACK, then (after a prompt, if any) CTS or SKIP, then the PC's ACK of that answer.
SimulatedTi85::Step SimulatedTi85::TakeHeader(const PacketRecord& packet) {
    if (!SendToPc(ACK))
        return LinkFailure();
    int header = TakeHeaderIndex();
    std::uint8_t reason = 0;
    bool declined = SkipReason(header, &reason);
    if (!link.Pause(Prompt(header)))
        return LinkFailure();
    if (!(declined ? SendToPc(SKIP, {reason}) : SendToPc(CTS)))
        return LinkFailure();
    PacketRecord answer;
    if (!ReceiveFromPc(&answer))
        return LinkFailure();
    if (answer.command != ACK)
        return Fail("expected ACK, got " + CommandText(answer.command));
    if (declined)
        return Step::GoOn;
    current = ReceivedVariable{};
    current.header = packet.payload;
    current.backup = IsBackupHeader(packet.payload);
    current.name = packet.name;
    chunksAwaited = current.backup ? kBackupChunks : 1;
    return Step::GoOn;
}

// A variable is taken before its last ACK goes out, so that whoever sees the ACK sees it.
SimulatedTi85::Step SimulatedTi85::TakeData(const PacketRecord& packet) {
    if (packet.command != DATA)
        return Fail("expected DATA, got " + CommandText(packet.command));
    current.chunks.push_back(packet.payload);
    bool complete = --chunksAwaited == 0;
    if (complete) {
        std::lock_guard<std::mutex> hold(lock);
        variables.push_back(current);
    }
    if (!SendToPc(ACK))
        return LinkFailure();
    bool ends = complete && current.backup && !options.keepReceiving;
    return ends ? Step::SessionEnds : Step::GoOn;
}

SimulatedTi85::Step SimulatedTi85::TakeEndOfTransmission() {
    {
        std::lock_guard<std::mutex> hold(lock);
        ++eots;
    }
    if (!SendToPc(ACK))
        return LinkFailure();
    return options.keepReceiving ? Step::GoOn : Step::SessionEnds;
}
