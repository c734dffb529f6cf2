#include "tests/support/calculator_thread.h"

CalculatorThread::CalculatorThread(CalculatorLinkOptions options, std::chrono::seconds limit)
    : cable(std::make_unique<VirtualCable>()), deadline(std::chrono::steady_clock::now() + limit) {
    options.deadline = deadline;
    link = std::make_unique<CalculatorLink>(*cable, options);
    pc = std::make_unique<TestPc>(*cable);
}

CalculatorThread::~CalculatorThread() {
    link->Stop();
    if (thread.joinable())
        thread.join();
}

void CalculatorThread::Run(std::function<void(CalculatorLink&)> script) {
    thread = std::thread([this, script] {
        script(*link);
        done = true;
    });
}

bool CalculatorThread::Join() {
    while (!done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    if (!done)
        return false;
    thread.join();
    return true;
}
