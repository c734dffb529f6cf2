#include "tests/support/test_pc.h"

TestPc::TestPc(VirtualCable& cable)
    : lines(cable), port(lines), job(std::make_unique<TransferJob>(port, events)) {}

TransferJob& TestPc::NewJob() {
    std::lock_guard<std::mutex> hold(jobLock);
    job = std::make_unique<TransferJob>(port, events, job->Link().CarriedStop());
    return *job;
}

void TestPc::RequestStop(LinkStop stop) {
    std::lock_guard<std::mutex> hold(jobLock);
    job->Link().RequestStop(stop);
}
