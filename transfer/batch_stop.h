// A stop between variables: the variable under way is finished, no further variable or file
// starts. Asked for from any thread (the command line's first Ctrl-C); never withdrawn.
// The Windows program never asks for it: its Cancel lets a batch run to its end.
#pragma once

void RequestBatchStop();
bool BatchStopRequested();
