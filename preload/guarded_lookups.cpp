// Lookups of serial devices of the machine (stat, access, realpath, opendir, fopen) answer
// ENOENT before any system call, so that Wine's scan of /dev/ttyS* finds nothing to map; links
// to them are not made. No system header declaring these functions is included here: the
// structures are passed through untouched, so their types do not matter.
#include "preload/path_guard.h"
#include "preload/real_function.h"

#include <cerrno>

namespace {
constexpr int kNoFollow = 0x100; // AT_SYMLINK_NOFOLLOW

bool Refused(const char* call, int dirfd, const char* path, bool followLast, int error) {
    if (!RefusedPath(call, dirfd, path, followLast))
        return false;
    errno = error;
    return true;
}
} // namespace

#define GUARDED_STAT(NAME, FOLLOW)                                                                 \
    GUARD_EXPORT int NAME(const char* path, void* buffer) {                                        \
        if (Refused(#NAME, kCurrentDirectory, path, FOLLOW, ENOENT))                               \
            return -1;                                                                             \
        return REAL(NAME)(path, buffer);                                                           \
    }
#define GUARDED_STATAT(NAME)                                                                       \
    GUARD_EXPORT int NAME(int dirfd, const char* path, void* buffer, int flags) {                  \
        if (Refused(#NAME, dirfd, path, !(flags & kNoFollow), ENOENT))                             \
            return -1;                                                                             \
        return REAL(NAME)(dirfd, path, buffer, flags);                                             \
    }
#define GUARDED_XSTAT(NAME, FOLLOW)                                                                \
    GUARD_EXPORT int NAME(int version, const char* path, void* buffer) {                           \
        if (Refused(#NAME, kCurrentDirectory, path, FOLLOW, ENOENT))                               \
            return -1;                                                                             \
        return REAL(NAME)(version, path, buffer);                                                  \
    }
#define GUARDED_FXSTATAT(NAME)                                                                     \
    GUARD_EXPORT int NAME(int version, int dirfd, const char* path, void* buffer, int flags) {     \
        if (Refused(#NAME, dirfd, path, !(flags & kNoFollow), ENOENT))                             \
            return -1;                                                                             \
        return REAL(NAME)(version, dirfd, path, buffer, flags);                                    \
    }

// The plain names, the large-file names, the 64-bit-time names of 32-bit programs, and the
// older versioned names.
GUARDED_STAT(stat, true)
GUARDED_STAT(stat64, true)
GUARDED_STAT(__stat64_time64, true)
GUARDED_STAT(lstat, false)
GUARDED_STAT(lstat64, false)
GUARDED_STAT(__lstat64_time64, false)
GUARDED_STATAT(fstatat)
GUARDED_STATAT(fstatat64)
GUARDED_STATAT(__fstatat64_time64)
GUARDED_XSTAT(__xstat, true)
GUARDED_XSTAT(__xstat64, true)
GUARDED_XSTAT(__lxstat, false)
GUARDED_XSTAT(__lxstat64, false)
GUARDED_FXSTATAT(__fxstatat)
GUARDED_FXSTATAT(__fxstatat64)

GUARD_EXPORT int statx(int dirfd, const char* path, int flags, unsigned mask, void* buffer) {
    if (Refused("statx", dirfd, path, !(flags & kNoFollow), ENOENT))
        return -1;
    return REAL(statx)(dirfd, path, flags, mask, buffer);
}

GUARD_EXPORT int access(const char* path, int mode) {
    if (Refused("access", kCurrentDirectory, path, true, ENOENT))
        return -1;
    return REAL(access)(path, mode);
}
GUARD_EXPORT int euidaccess(const char* path, int mode) {
    if (Refused("euidaccess", kCurrentDirectory, path, true, ENOENT))
        return -1;
    return REAL(euidaccess)(path, mode);
}
GUARD_EXPORT int eaccess(const char* path, int mode) {
    if (Refused("eaccess", kCurrentDirectory, path, true, ENOENT))
        return -1;
    return REAL(eaccess)(path, mode);
}
GUARD_EXPORT int faccessat(int dirfd, const char* path, int mode, int flags) {
    if (Refused("faccessat", dirfd, path, !(flags & kNoFollow), ENOENT))
        return -1;
    return REAL(faccessat)(dirfd, path, mode, flags);
}

GUARD_EXPORT char* realpath(const char* path, char* resolved) {
    if (Refused("realpath", kCurrentDirectory, path, true, ENOENT))
        return nullptr;
    return REAL(realpath)(path, resolved);
}
GUARD_EXPORT char* canonicalize_file_name(const char* path) {
    if (Refused("canonicalize_file_name", kCurrentDirectory, path, true, ENOENT))
        return nullptr;
    return REAL(canonicalize_file_name)(path);
}

GUARD_EXPORT void* opendir(const char* path) {
    if (Refused("opendir", kCurrentDirectory, path, true, ENOENT))
        return nullptr;
    return REAL(opendir)(path);
}

GUARD_EXPORT void* fopen(const char* path, const char* mode) {
    if (Refused("fopen", kCurrentDirectory, path, true, EACCES))
        return nullptr;
    return REAL(fopen)(path, mode);
}
GUARD_EXPORT void* fopen64(const char* path, const char* mode) {
    if (Refused("fopen64", kCurrentDirectory, path, true, EACCES))
        return nullptr;
    return REAL(fopen64)(path, mode);
}
GUARD_EXPORT void* freopen(const char* path, const char* mode, void* stream) {
    if (Refused("freopen", kCurrentDirectory, path, true, EACCES))
        return nullptr;
    return REAL(freopen)(path, mode, stream);
}
GUARD_EXPORT void* freopen64(const char* path, const char* mode, void* stream) {
    if (Refused("freopen64", kCurrentDirectory, path, true, EACCES))
        return nullptr;
    return REAL(freopen64)(path, mode, stream);
}

// Wine's mount manager maps a COM port by making a link in dosdevices: none may point at a
// serial device of the machine.
GUARD_EXPORT int symlink(const char* target, const char* linkPath) {
    if (RefusedLinkTarget("symlink", target, kCurrentDirectory, linkPath)) {
        errno = EACCES;
        return -1;
    }
    return REAL(symlink)(target, linkPath);
}
GUARD_EXPORT int symlinkat(const char* target, int dirfd, const char* linkPath) {
    if (RefusedLinkTarget("symlinkat", target, dirfd, linkPath)) {
        errno = EACCES;
        return -1;
    }
    return REAL(symlinkat)(target, dirfd, linkPath);
}
