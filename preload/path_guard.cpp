#include "preload/path_guard.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
constexpr int kMaxLinks = 40; // the kernel's own limit
constexpr size_t kPathSize = 4096;
constexpr char kSerialPrefix[] = "/dev/ttyS";

bool IsSerialPath(const char* absolute) {
    return std::strncmp(absolute, kSerialPrefix, sizeof kSerialPrefix - 1) == 0;
}

// Raw system calls: the guard must not run through the functions it interposes.
long ReadLink(const char* path, char* target, size_t size) {
    return syscall(SYS_readlinkat, AT_FDCWD, path, target, size);
}

// The absolute directory that a relative path starts from; false when it can't be told.
bool BaseDirectory(int dirfd, char* base) {
    if (dirfd == kCurrentDirectory)
        return syscall(SYS_getcwd, base, kPathSize) > 0 && base[0] == '/';
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
    long length = ReadLink(link, base, kPathSize - 1);
    if (length <= 0 || base[0] != '/')
        return false;
    base[length] = '\0';
    return true;
}

// Without a known base, a relative path is refused when any of its names could be a ttyS.
bool MayNameSerialDevice(const char* path) {
    for (const char* at = path; (at = std::strstr(at, "ttyS")) != nullptr; ++at)
        if (at == path || at[-1] == '/')
            return true;
    return false;
}

// `resolved` holds a canonical absolute prefix without a trailing slash ("" is the root).
void DropLastName(char* resolved) {
    char* slash = std::strrchr(resolved, '/');
    if (slash)
        *slash = '\0';
}

// Walks the path name by name, expanding links as the kernel does, and stops before touching
// any name that already spells /dev/ttyS*.
bool ResolvesToSerialDevice(int dirfd, const char* path, bool followLast) {
    char resolved[kPathSize];
    char pending[kPathSize]; // what is left to walk
    if (std::strlen(path) >= kPathSize)
        return false; // the kernel refuses it with ENAMETOOLONG
    if (path[0] == '/') {
        resolved[0] = '\0';
    } else if (!BaseDirectory(dirfd, resolved)) {
        return MayNameSerialDevice(path);
    } else if (std::strcmp(resolved, "/") == 0) {
        resolved[0] = '\0';
    }
    std::strcpy(pending, path);

    int links = 0;
    bool missing = false; // past a name that does not exist: no link can follow
    char* rest = pending;
    while (*rest) {
        while (*rest == '/')
            ++rest;
        if (!*rest)
            break;
        char* end = std::strchr(rest, '/');
        size_t nameLength = end ? static_cast<size_t>(end - rest) : std::strlen(rest);
        bool last = rest[nameLength] == '\0' ||
                    rest[nameLength + std::strspn(rest + nameLength, "/")] == '\0';
        if (nameLength == 1 && rest[0] == '.') {
            rest += nameLength;
            continue;
        }
        if (nameLength == 2 && rest[0] == '.' && rest[1] == '.') {
            DropLastName(resolved);
            rest += nameLength;
            continue;
        }
        size_t used = std::strlen(resolved);
        if (used + 1 + nameLength >= kPathSize)
            return false;
        char candidate[kPathSize];
        std::memcpy(candidate, resolved, used);
        candidate[used] = '/';
        std::memcpy(candidate + used + 1, rest, nameLength);
        candidate[used + 1 + nameLength] = '\0';
        if (IsSerialPath(candidate))
            return true;
        rest += nameLength;

        char target[kPathSize];
        long length = (missing || (last && !followLast))
                          ? -1
                          : ReadLink(candidate, target, sizeof target - 1);
        if (length < 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                missing = true;
            std::strcpy(resolved, candidate);
            continue;
        }
        if (++links > kMaxLinks)
            return false; // the kernel will answer ELOOP
        target[length] = '\0';
        // Continue with the link's target followed by what was left after the link.
        size_t restLength = std::strlen(rest);
        if (static_cast<size_t>(length) + restLength + 1 >= kPathSize)
            return false;
        std::memmove(pending + length, rest, restLength + 1);
        std::memcpy(pending, target, static_cast<size_t>(length));
        rest = pending;
        if (target[0] == '/')
            resolved[0] = '\0';
    }
    return IsSerialPath(resolved[0] ? resolved : "/");
}
} // namespace

void GuardLog(const char* what, const char* call, const char* path) {
    const char* logPath = std::getenv("CALQUIN_GUARD_LOG");
    if (!logPath || !*logPath)
        return;
    char line[kPathSize + 128];
    int length = std::snprintf(line, sizeof line, "%s pid=%d call=%s path=%s\n", what,
                               static_cast<int>(getpid()), call, path ? path : "");
    if (length <= 0)
        return;
    if (length >= static_cast<int>(sizeof line))
        length = sizeof line - 1;
    int saved = errno;
    long fd =
        syscall(SYS_openat, AT_FDCWD, logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (syscall(SYS_write, fd, line, length) < 0) {
            // Nothing to do: the log is a diagnostic.
        }
        syscall(SYS_close, fd);
    }
    errno = saved;
}

bool RefusedPath(const char* call, int dirfd, const char* path, bool followLast) {
    if (!path)
        return false;
    int saved = errno;
    bool refused = ResolvesToSerialDevice(dirfd, path, followLast);
    errno = saved;
    if (refused)
        GuardLog("refused", call, path);
    return refused;
}

bool RefusedLinkTarget(const char* call, const char* target, int dirfd, const char* linkPath) {
    if (!target)
        return false;
    // A relative target is relative to the link's own directory.
    char joined[kPathSize];
    const char* slash = linkPath ? std::strrchr(linkPath, '/') : nullptr;
    if (target[0] != '/' && slash &&
        std::snprintf(joined, sizeof joined, "%.*s/%s", static_cast<int>(slash - linkPath),
                      linkPath, target) < static_cast<int>(sizeof joined))
        return RefusedPath(call, dirfd, joined, true);
    return RefusedPath(call, dirfd, target, true);
}
