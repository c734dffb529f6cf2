// Whether a job may still use the link, why it was given up, and what its front end asked for.
#pragma once

enum class LinkOutcome {
    Running,          // nothing given up
    NoAnswer,         // a wait passed its limit: cable pulled or calculator off
    StatusReadFailed, // the port's status could not be read (the user has been told)
    StopRequested,    // the job was told to stop
};

enum class LinkStop {
    None,
    Cancel,  // give up a calculator that has not answered for a second
    Closing, // the program is closing: give up every wait at once
};
