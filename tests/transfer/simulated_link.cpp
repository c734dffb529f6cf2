#include "tests/transfer/simulated_link.h"

#include "link/link_port_virtual.h"
#include "link/link_state.h"
#include "protocol/packet.h"
#include "ui/recorded_ui.h"

namespace {
constexpr std::chrono::seconds kSessionLimit{20};
}

SimulatedLink::SimulatedLink(Ti85Options options)
    : deadline(std::chrono::steady_clock::now() + kSessionLimit),
      cable(std::make_unique<VirtualCable>()) {
    options.link.deadline = deadline;
    calculator = std::make_unique<SimulatedTi85>(*cable, options);
    AttachVirtualPort(cable.get());
    FailStatusReads(false);
    ResetLinkState();
    ClearRecordedUi();
    bytesSent = 0;
    calculator->Start();
}

SimulatedLink::~SimulatedLink() {
    calculator->Stop();
    AttachVirtualPort(nullptr);
}

bool SimulatedLink::WaitUntilDone() {
    return calculator->WaitUntilDone(deadline);
}

std::vector<std::uint8_t> SimulatedLink::BytesFromPc() const {
    return calculator->Link().BytesIn(LinkDirection::PcToCalculator);
}
