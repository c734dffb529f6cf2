#include "sim/simulated_ti85.h"

#include "protocol/packet.h"
#include "protocol/variable_name.h"

namespace {
constexpr std::uint8_t kBackupType = 0x1D;
constexpr std::size_t kBackupChunks = 3;
// The PC's SKIP reason that ends the calculator's whole batch; any other skips one variable.
constexpr std::uint8_t kSkipExit = 1;

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

bool SimulatedTi85::SendBatch(std::vector<ReceivedVariable> batch,
                              std::chrono::milliseconds after) {
    if (thread.joinable() && !Done())
        return false;
    options.send = std::move(batch);
    options.sendAfter = after;
    Start();
    return true;
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

std::vector<std::size_t> SimulatedTi85::Delivered() const {
    std::lock_guard<std::mutex> hold(lock);
    return delivered;
}

int SimulatedTi85::EotCount() const {
    std::lock_guard<std::mutex> hold(lock);
    return eots;
}

void SimulatedTi85::Run() {
    const bool sending = !options.send.empty();
    if (!link.Pause(sending ? options.sendAfter : options.receiveModeAfter))
        LinkFailure();
    else if (sending)
        RunSendingSession();
    else
        RunSession();
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

// A damaged packet goes with its checksum one off, as if a bit had been lost on the way.
bool SimulatedTi85::SendToPc(std::uint8_t command, const std::vector<std::uint8_t>& payload,
                             bool damaged) {
    PacketRecord packet{LinkDirection::CalculatorToPc,
                        kCalculatorMachineId,
                        command,
                        static_cast<std::uint16_t>(payload.size()),
                        !damaged,
                        command == VAR ? NameOf(payload) : std::string(),
                        payload};
    std::vector<std::uint8_t> bytes = {kCalculatorMachineId, command,
                                       static_cast<std::uint8_t>(payload.size() & 0xFF),
                                       static_cast<std::uint8_t>(payload.size() >> 8)};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    if (!payload.empty()) {
        std::uint16_t sum = 0;
        for (std::uint8_t byte : payload)
            sum = static_cast<std::uint16_t>(sum + byte);
        if (damaged)
            ++sum;
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
        if (!SendToPc(ERR))
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

// Sending, as after the user's SEND: the variables one by one once the link is idle, then EOT.
void SimulatedTi85::RunSendingSession() {
    checksummedSent = 0;
    if (!link.AwaitIdle()) {
        LinkFailure();
        return;
    }
    bool backup = false;
    for (std::size_t index = 0; index < options.send.size(); ++index) {
        const ReceivedVariable& variable = options.send[index];
        Step step = SendVariable(variable, index);
        if (step != Step::GoOn)
            return;
        backup = IsBackupHeader(variable.header);
        if (backup)
            break;
    }
    if (!backup)
        SendAnswered(EOT);
}

// VAR; the PC's ACK, then its CTS (the data follows, each packet acknowledged) or SKIP, which
// the calculator acknowledges.
SimulatedTi85::Step SimulatedTi85::SendVariable(const ReceivedVariable& variable,
                                                std::size_t index) {
    if (SendAnswered(VAR, variable.header) != Step::GoOn)
        return Step::Failed;
    PacketRecord answer;
    if (!ReceiveAnswerable(&answer) || !SendToPc(ACK))
        return LinkFailure();
    if (answer.command == SKIP) {
        bool exit = !answer.payload.empty() && answer.payload[0] == kSkipExit;
        return exit ? Step::SessionEnds : Step::GoOn;
    }
    if (answer.command != CTS)
        return Fail("expected CTS or SKIP, got " + CommandText(answer.command));
    for (const std::vector<std::uint8_t>& chunk : variable.chunks)
        if (SendAnswered(DATA, chunk) != Step::GoOn)
            return Step::Failed;
    std::lock_guard<std::mutex> hold(lock);
    delivered.push_back(index);
    return Step::GoOn;
}

// Sends the packet until the PC acknowledges it; its ERR brings the packet again.
SimulatedTi85::Step SimulatedTi85::SendAnswered(std::uint8_t command,
                                                const std::vector<std::uint8_t>& payload) {
    for (;;) {
        bool damaged = !payload.empty() && TakeBadChecksum();
        PacketRecord reply;
        if (!SendToPc(command, payload, damaged) || !ReceiveFromPc(&reply))
            return LinkFailure();
        if (reply.command == ACK)
            return Step::GoOn;
        if (reply.command != ERR)
            return Fail("expected ACK, got " + CommandText(reply.command));
    }
}

bool SimulatedTi85::TakeBadChecksum() {
    std::lock_guard<std::mutex> hold(lock);
    return options.badChecksums.count(checksummedSent++) != 0;
}
