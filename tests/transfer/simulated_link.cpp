#include "tests/transfer/simulated_link.h"

SimulatedLink::SimulatedLink(Ti85Options options, std::chrono::seconds limit)
    : deadline(std::chrono::steady_clock::now() + limit), cable(std::make_unique<VirtualCable>()) {
    options.link.deadline = deadline;
    calculator = std::make_unique<SimulatedTi85>(*cable, options);
    pc = std::make_unique<TestPc>(*cable);
    calculator->Start();
}

SimulatedLink::~SimulatedLink() {
    calculator->Stop();
}

bool SimulatedLink::WaitUntilDone() {
    return calculator->WaitUntilDone(deadline);
}

std::vector<std::uint8_t> SimulatedLink::BytesFromPc() const {
    return calculator->Link().BytesIn(LinkDirection::PcToCalculator);
}
