#include "transfer/after_exchange.h"

#include "ui/message_box.h"

namespace {
bool outOfMemory = false; // job thread only
} // namespace

void NoteCalculatorOutOfMemory() {
    outOfMemory = true;
}

void TellAfterExchange() {
    if (!outOfMemory)
        return;
    outOfMemory = false;
    ShowErrorMessage("The calculator is out of memory.");
}
