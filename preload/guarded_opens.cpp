// Opening calls that would reach a serial device of the machine are refused with EACCES before
// any system call; everything else goes straight to the C library.
#include "preload/path_guard.h"
#include "preload/real_function.h"

#include <cerrno>
#include <cstdarg>
#include <fcntl.h>

namespace {
bool NeedsMode(int flags) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

bool Refused(const char* call, int dirfd, const char* path, int flags) {
    if (!RefusedPath(call, dirfd, path, !(flags & O_NOFOLLOW)))
        return false;
    errno = EACCES;
    return true;
}
} // namespace

#define GUARDED_OPEN(NAME)                                                                         \
    GUARD_EXPORT int NAME(const char* path, int flags, ...) {                                      \
        mode_t mode = 0;                                                                           \
        if (NeedsMode(flags)) {                                                                    \
            va_list arguments;                                                                     \
            va_start(arguments, flags);                                                            \
            mode = va_arg(arguments, mode_t);                                                      \
            va_end(arguments);                                                                     \
        }                                                                                          \
        if (Refused(#NAME, kCurrentDirectory, path, flags))                                        \
            return -1;                                                                             \
        return REAL(NAME)(path, flags, mode);                                                      \
    }

#define GUARDED_OPENAT(NAME)                                                                       \
    GUARD_EXPORT int NAME(int dirfd, const char* path, int flags, ...) {                           \
        mode_t mode = 0;                                                                           \
        if (NeedsMode(flags)) {                                                                    \
            va_list arguments;                                                                     \
            va_start(arguments, flags);                                                            \
            mode = va_arg(arguments, mode_t);                                                      \
            va_end(arguments);                                                                     \
        }                                                                                          \
        if (Refused(#NAME, dirfd, path, flags))                                                    \
            return -1;                                                                             \
        return REAL(NAME)(dirfd, path, flags, mode);                                               \
    }

GUARDED_OPEN(open)
GUARDED_OPEN(open64)
GUARDED_OPENAT(openat)
GUARDED_OPENAT(openat64)

// The fortified entry points and creat().
extern "C" int __open_2(const char* path, int flags);
extern "C" int __open64_2(const char* path, int flags);
extern "C" int __openat_2(int dirfd, const char* path, int flags);
extern "C" int __openat64_2(int dirfd, const char* path, int flags);

#define GUARDED_OPEN_2(NAME)                                                                       \
    GUARD_EXPORT int NAME(const char* path, int flags) {                                           \
        if (Refused(#NAME, kCurrentDirectory, path, flags))                                        \
            return -1;                                                                             \
        return REAL(NAME)(path, flags);                                                            \
    }
#define GUARDED_OPENAT_2(NAME)                                                                     \
    GUARD_EXPORT int NAME(int dirfd, const char* path, int flags) {                                \
        if (Refused(#NAME, dirfd, path, flags))                                                    \
            return -1;                                                                             \
        return REAL(NAME)(dirfd, path, flags);                                                     \
    }
#define GUARDED_CREAT(NAME)                                                                        \
    GUARD_EXPORT int NAME(const char* path, mode_t mode) {                                         \
        if (Refused(#NAME, kCurrentDirectory, path, 0))                                            \
            return -1;                                                                             \
        return REAL(NAME)(path, mode);                                                             \
    }

GUARDED_OPEN_2(__open_2)
GUARDED_OPEN_2(__open64_2)
GUARDED_OPENAT_2(__openat_2)
GUARDED_OPENAT_2(__openat64_2)
GUARDED_CREAT(creat)
GUARDED_CREAT(creat64)
