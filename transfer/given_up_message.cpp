#include "transfer/given_up_message.h"

#include "link/port_advice.h"
#include "ui/job_events.h"

#include <string>

void TellGivenUp(JobLink& link, const char* message) {
    std::string text = message;
    const std::string advice = LinkAdvice(FindingsOf(link.ThePort()));
    if (!advice.empty())
        text += "\n" + advice;
    link.Events().Message(MessageKind::Error, "%s", text.c_str());
}
