// One copy of the program per serial port. Windows refuses a second open of a port that a
// process holds; Wine does not, and two copies would drive the same wires. A named mutex per port
// name, taken before the port is opened, refuses the second copy in both. It is seen by the
// programs of one session: under Wine those of one prefix (one wineserver).
#pragma once

// Takes the lock of the port in portName; false when another copy holds it. Called once, by
// the thread that later releases it.
bool TakePortLock();
void ReleasePortLock();
