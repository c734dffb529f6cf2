#include "transfer/batch_receiver.h"

#include "link/link_byte.h"
#include "protocol/packet.h"
#include "protocol/packet_receive.h"
#include "protocol/variable_name.h"
#include "transfer/given_up_message.h"
#include "ui/job_events.h"

#include <initializer_list>
#include <utility>

namespace {
constexpr std::uint8_t kCtsPacket[4] = {0x05, CTS, 0x00, 0x00};
// The SKIP that ends the calculator's batch, as a LengthBlock: one reason byte, 1.
constexpr std::uint8_t kExitBlock[3] = {0x01, 0x00, 0x01};
// A packet refused this many times in a row is not a glitch: the calculator and the PC disagree,
// and the batch ends as if the calculator had stopped answering.
constexpr unsigned kRejectionsInARow = 10;

const char* const kChunkLabels[] = {"Chunk1", "Chunk2", "Chunk3"};

class BatchReceiver {
  public:
    BatchReceiver(JobLink& link, ReceivedVariables& received) : link(link), received(received) {}

    ReceiveResult Run() {
        std::uint8_t machineId = ReceiveLinkByte(link, ByteStart::Listen);
        if (link.GivenUp())
            return Ended(ReceiveEnd::NothingCame);
        received.BatchStarted();
        ReceivedPacket packet;
        if (!ReceivePacketAfter(link, machineId, &packet) || !TakeFrom(&packet, {VAR, EOT}))
            return Ended(ReceiveEnd::Interrupted);
        while (packet.command == VAR) {
            if (link.StopRequest() == LinkStop::Cancel)
                return Exit();
            ReceivedEntry entry;
            entry.header = std::move(packet.payload);
            if (!ReceiveData(&entry))
                return Ended(ReceiveEnd::Interrupted);
            received.VariableReceived(entry);
            ++result.variables;
            if (IsBackup(entry))
                return Ended(ReceiveEnd::Completed); // a backup has no EOT
            if (!Take(&packet, {VAR, EOT}))
                return Ended(ReceiveEnd::Interrupted);
        }
        return Ended(ReceiveEnd::Completed);
    }

  private:
    // The next packet, refused with ERR until it comes sound and is one of `expected`, then
    // acknowledged. False once the link is given up.
    bool Take(ReceivedPacket* packet, std::initializer_list<std::uint8_t> expected) {
        return ReceivePacket(link, packet) && TakeFrom(packet, expected);
    }

    // The same with the packet's first attempt read already.
    bool TakeFrom(ReceivedPacket* packet, std::initializer_list<std::uint8_t> expected) {
        for (unsigned refused = 0;; ++refused) {
            if (PacketIsSound(*packet) && IsOneOf(packet->command, expected)) {
                // After a DATA packet the calculator goes on at once (a VAR, EOT or a backup's
                // next chunk).
                SendAck(link, packet->command == DATA);
                return !link.GivenUp();
            }
            ++result.rejectedPackets;
            if (refused + 1 >= kRejectionsInARow) {
                link.GiveUp(LinkOutcome::NoAnswer);
                return false;
            }
            SendRejection(link);
            if (!ReceivePacket(link, packet))
                return false;
        }
    }

    static bool IsOneOf(std::uint8_t command, std::initializer_list<std::uint8_t> commands) {
        for (std::uint8_t one : commands)
            if (command == one)
                return true;
        return false;
    }

    // After the VAR's ACK: CTS, and the DATA (a backup's three) as the calculator sends it.
    bool ReceiveData(ReceivedEntry* entry) {
        const bool backup = IsBackup(*entry);
        ShowName(*entry, backup);
        SendRawPacket(link, kCtsPacket, true);
        ReceivedPacket packet;
        for (unsigned chunk = 0; chunk < (backup ? 3u : 1u); ++chunk) {
            if (chunk > 0)
                link.Events().VariableStarted(kChunkLabels[chunk]);
            if (!Take(&packet, {DATA}))
                return false;
            entry->chunks.push_back(std::move(packet.payload));
        }
        return true;
    }

    void ShowName(const ReceivedEntry& entry, bool backup) {
        if (backup) {
            link.Events().VariableStarted(kChunkLabels[0]);
            return;
        }
        char name[kMaxVariableNameLength + 1];
        CopyVariableName(entry.header.data(), entry.header.size(), name);
        link.Events().VariableStarted(name);
    }

    // The PC's Cancel: the calculator's VAR, acknowledged, is answered with the exit.
    ReceiveResult Exit() {
        SendPacket(link, SKIP, kExitBlock, true);
        return Ended(link.GivenUp() ? ReceiveEnd::Interrupted : ReceiveEnd::Exited);
    }

    ReceiveResult Ended(ReceiveEnd end) {
        result.end = end;
        // A stop the user asked for needs no message, and a failed status read has shown its own.
        if (end == ReceiveEnd::Interrupted && link.Outcome() == LinkOutcome::NoAnswer)
            TellGivenUp(link, "The calculator stopped sending before the end of its batch. "
                              "Check the cable; the variables that came whole are kept.");
        return result;
    }

    JobLink& link;
    ReceivedVariables& received;
    ReceiveResult result;
};
} // namespace

ReceiveResult ReceiveBatch(JobLink& link, ReceivedVariables& received) {
    return BatchReceiver(link, received).Run();
}
