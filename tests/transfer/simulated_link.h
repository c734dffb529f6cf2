// A simulated TI-85 in receive mode on a fresh virtual cable, and the PC's end on it with a
// fresh job (bytesSent 0, link state, recorded events).
#pragma once

#include "sim/simulated_ti85.h"
#include "sim/virtual_cable.h"
#include "tests/support/test_calculator.h"
#include "tests/support/test_pc.h"

#include <chrono>
#include <memory>

class SimulatedLink {
  public:
    // The calculator gives up at `limit` from now.
    explicit SimulatedLink(Ti85Options options = TestTi85(),
                           std::chrono::seconds limit = std::chrono::seconds(20));
    ~SimulatedLink(); // stops the calculator

    SimulatedTi85& Calculator() { return *calculator; }
    VirtualCable& Cable() { return *cable; }
    TestPc& Pc() { return *pc; }
    TransferJob& Job() { return pc->Job(); }
    JobLink& Link() { return pc->Link(); }
    const RecordedUi& Ui() const { return pc->Ui(); }
    // Until the session has ended (EOT acknowledged or backup taken); false at the deadline.
    bool WaitUntilDone();
    // The bytes the PC put on the link, in order.
    std::vector<std::uint8_t> BytesFromPc() const;

  private:
    std::chrono::steady_clock::time_point deadline;
    std::unique_ptr<VirtualCable> cable;
    std::unique_ptr<SimulatedTi85> calculator;
    std::unique_ptr<TestPc> pc;
};
