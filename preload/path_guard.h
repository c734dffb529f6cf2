// The serial-port guard of the LD_PRELOAD library: decides, without touching the path's final
// target, whether a path names one of the machine's own serial devices (/dev/ttyS*), directly
// or through symbolic links, and keeps a log of what it refused.
#pragma once

// The directory argument of the *at() calls for "relative to the current directory".
constexpr int kCurrentDirectory = -100;

// True when the call must be refused: `path` (relative to `dirfd`) resolves to /dev/ttyS*.
// `followLast` is false for calls that do not follow a final link (lstat, O_NOFOLLOW).
// Refusals are logged under the name of the call.
bool RefusedPath(const char* call, int dirfd, const char* path, bool followLast);

// For symlink(): true when the link would point at /dev/ttyS*.
bool RefusedLinkTarget(const char* call, const char* target, int dirfd, const char* linkPath);

// Appends one line to the file named by CALQUIN_GUARD_LOG, if set.
void GuardLog(const char* what, const char* call, const char* path);
