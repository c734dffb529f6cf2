// A simulated TI-85 in receive mode on a fresh virtual cable, attached to the PC's line
// primitives, with a fresh job state (bytesSent 0, link state, recorded UI).
#pragma once

#include "sim/simulated_ti85.h"
#include "sim/virtual_cable.h"
#include "tests/support/test_calculator.h"

#include <chrono>
#include <memory>

class SimulatedLink {
  public:
    explicit SimulatedLink(Ti85Options options = TestTi85());
    ~SimulatedLink(); // stops the calculator, then detaches the cable

    SimulatedTi85& Calculator() { return *calculator; }
    VirtualCable& Cable() { return *cable; }
    // Until the session has ended (EOT acknowledged or backup taken); false at the deadline.
    bool WaitUntilDone();
    // The bytes the PC put on the link, in order.
    std::vector<std::uint8_t> BytesFromPc() const;

  private:
    std::chrono::steady_clock::time_point deadline;
    std::unique_ptr<VirtualCable> cable;
    std::unique_ptr<SimulatedTi85> calculator;
};
