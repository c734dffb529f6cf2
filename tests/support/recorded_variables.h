// A front end's side of a receive that keeps what arrived, for tests and tools.
#pragma once

#include "transfer/batch_receiver.h"

#include <cstddef>
#include <functional>
#include <vector>

class RecordedVariables : public ReceivedVariables {
  public:
    void BatchStarted() override { started = true; }
    void VariableReceived(const ReceivedEntry& entry) override {
        entries.push_back(entry);
        if (afterVariable)
            afterVariable(entries.size() - 1);
    }

    bool started = false;
    std::vector<ReceivedEntry> entries;
    // Called on the job's thread after each variable, with its position in the batch: a test
    // acts between two variables (asks for Cancel, pulls the cable).
    std::function<void(std::size_t)> afterVariable;
};
