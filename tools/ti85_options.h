// The simulated TI-85's behaviour as command-line options, shared by tools/ti85sim and the
// end-to-end tests (which read them from CALQUIN_E2E_TI85).
#pragma once

#include "sim/simulated_ti85.h"

#include <string>

// One line per option, for a usage text.
extern const char kTi85OptionsUsage[];

// Takes `option`, with `value` as its argument when it needs one (null when there is none).
// Returns the number of arguments used (1 or 2); 0 when the option is not one of these, or its
// value is missing or wrong.
int ParseTi85Option(const std::string& option, const char* value, Ti85Options* options);

// A whole number of 0 or more, decimal or in C's 0x or 0 notation; false for null or anything else.
bool ParseCount(const char* text, long* value);

// Every option of a text of options separated by spaces; false at the first wrong one.
bool ParseTi85Options(const std::string& text, Ti85Options* options);
