/* The serial-port guard and the cable device's modem lines, seen from a program that carries
 * the guard (LD_PRELOAD). Only names that do not exist point at serial devices: a guard that
 * failed would get ENOENT, never a port. */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

static int failures;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "FAILED line %d: %s (errno %d)\n", __LINE__, #condition, errno);       \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

/* A call refused by the guard: failed with this errno. */
#define REFUSED(call, error) CHECK((errno = 0, (call) == -1) && errno == (error))

#define MISSING_NAME "ttyS_calquin_probe_missing"
static const char kMissingName[] = MISSING_NAME;
static const char kMissingSerial[] = "/dev/" MISSING_NAME;

static char guardLog[PATH_MAX];

/* The guard's refusals of `path` so far, from the log it writes for this probe. */
static long RefusalsLogged(const char* path) {
    char line[PATH_MAX + 128], wanted[PATH_MAX + 16];
    long count = 0;
    snprintf(wanted, sizeof wanted, " path=%s\n", path);
    FILE* log = fopen(guardLog, "r");
    while (log && fgets(line, sizeof line, log)) {
        size_t length = strlen(line), tail = strlen(wanted);
        count += strncmp(line, "refused ", 8) == 0 && length >= tail &&
                 strcmp(line + length - tail, wanted) == 0;
    }
    if (log)
        fclose(log);
    return count;
}

/* A check whose call on `path` the guard must have refused, and logged, exactly once. */
#define LOGGED(path, check)                                                                        \
    do {                                                                                           \
        long before = RefusalsLogged(path);                                                        \
        check;                                                                                     \
        CHECK(RefusalsLogged(path) == before + 1);                                                 \
    } while (0)

static int GuardLoaded(void) {
    FILE* maps = fopen("/proc/self/maps", "r");
    char line[512];
    int found = 0;
    while (maps && fgets(line, sizeof line, maps))
        found |= strstr(line, "libcalquin_guard.so") != NULL;
    if (maps)
        fclose(maps);
    return found;
}

/* Links are made with the raw system call: the guard refuses symlink() to a serial device. */
static void MakeLink(const char* target, const char* path) {
    CHECK(syscall(SYS_symlinkat, target, AT_FDCWD, path) == 0);
}

static void TestRefusals(const char* dir) {
    char path[PATH_MAX], other[PATH_MAX];
    struct stat status;

    REFUSED(open(kMissingSerial, O_RDWR), EACCES);
    REFUSED(open("/dev/./ttyS_x", O_RDONLY | O_CREAT, 0600), EACCES);
    /* Lookups answer ENOENT, as for a missing name: the guard's log tells its refusal apart. */
    LOGGED(kMissingSerial, REFUSED(stat(kMissingSerial, &status), ENOENT));
    LOGGED(kMissingSerial, REFUSED(access(kMissingSerial, F_OK), ENOENT));
    LOGGED(kMissingSerial, REFUSED(fstatat(AT_FDCWD, kMissingSerial, &status, 0), ENOENT));
    LOGGED(kMissingSerial, CHECK(realpath(kMissingSerial, path) == NULL && errno == ENOENT));
    LOGGED(kMissingSerial, CHECK(opendir(kMissingSerial) == NULL && errno == ENOENT));

    /* Through a link, a chain of links, a linked directory, and relative names. */
    snprintf(path, sizeof path, "%s/com1", dir);
    MakeLink(kMissingSerial, path);
    REFUSED(open(path, O_RDWR), EACCES);
    CHECK(fopen(path, "r") == NULL && errno == EACCES);
    CHECK(lstat(path, &status) == 0 && S_ISLNK(status.st_mode)); /* the link itself is fine */
    REFUSED(symlink(kMissingSerial, path), EACCES);
    snprintf(other, sizeof other, "%s/chain", dir);
    MakeLink("com1", other);
    REFUSED(open(other, O_RDONLY), EACCES);
    snprintf(path, sizeof path, "%s/devices", dir);
    MakeLink("/usr/../dev", path);
    snprintf(other, sizeof other, "%s/devices/%s", dir, kMissingName);
    LOGGED(other, REFUSED(stat(other, &status), ENOENT));
    LOGGED(other, REFUSED(fstatat(AT_FDCWD, other, &status, AT_SYMLINK_NOFOLLOW), ENOENT));

    int dirfd = open(dir, O_RDONLY | O_DIRECTORY);
    CHECK(dirfd >= 0);
    REFUSED(openat(dirfd, "com1", O_RDWR), EACCES);
    snprintf(path, sizeof path, "devices/./%s", kMissingName);
    REFUSED(openat(dirfd, path, O_RDWR), EACCES);
    close(dirfd);
    CHECK(chdir(dir) == 0);
    snprintf(path, sizeof path, "./devices/%s", kMissingName);
    REFUSED(open(path, O_RDONLY), EACCES);
    LOGGED("com1", REFUSED(access("com1", R_OK), ENOENT));
    CHECK(chdir("/") == 0);
    int devfd = open("/dev", O_RDONLY | O_DIRECTORY);
    REFUSED(openat(devfd, kMissingName, O_RDWR), EACCES);
    close(devfd);

    /* What is not a serial device passes: similar names elsewhere, links elsewhere. */
    snprintf(path, sizeof path, "%s/ttyS5", dir);
    int fd = open(path, O_RDWR | O_CREAT, 0600);
    CHECK(fd >= 0);
    close(fd);
    CHECK(stat(path, &status) == 0);
    snprintf(other, sizeof other, "%s/to-ttyS5", dir);
    CHECK(symlink("ttyS5", other) == 0);
    CHECK(open(other, O_RDONLY) >= 0);
    CHECK(stat("/dev/null", &status) == 0);
}

/* The cable file: the wires each end pulls, then the PC end's changes: how many, and each one's
 * time in nanoseconds shifted left by 2, with the pulls in the low bits. */
struct Cable {
    volatile uint32_t pc, calculator;
    volatile uint64_t changes;
    volatile uint64_t kept[64];
};

static unsigned PullsOfChange(const struct Cable* cable, unsigned index) {
    return (unsigned)(cable->kept[index % 64] & 3);
}

static void TestModemLines(const char* dir) {
    char cablePath[PATH_MAX];
    snprintf(cablePath, sizeof cablePath, "%s/cable", dir);
    int cableFd = open(cablePath, O_RDWR | O_CREAT | O_TRUNC, 0600);
    CHECK(cableFd >= 0 && ftruncate(cableFd, 4096) == 0);
    struct Cable* cable = mmap(NULL, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, cableFd, 0);
    CHECK(cable != MAP_FAILED);
    close(cableFd);

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    CHECK(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const char* slaveName = ptsname(master);
    char devicePath[PATH_MAX];
    snprintf(devicePath, sizeof devicePath, "%s/com2", dir);
    MakeLink(slaveName, devicePath); /* the guard finds the device through the link */
    setenv("CALQUIN_CABLE_DEVICE", devicePath, 1);
    setenv("CALQUIN_CABLE", cablePath, 1);
    int port = open(devicePath, O_RDWR | O_NOCTTY);
    CHECK(port >= 0);

    int bits = 0;
    CHECK(ioctl(port, TIOCMGET, &bits) == 0);
    CHECK(bits == (TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR));
    CHECK(cable->changes == 0);

    bits = TIOCM_DTR; /* DTR off pulls the DTR/DSR wire */
    CHECK(ioctl(port, TIOCMBIC, &bits) == 0);
    CHECK((cable->pc & 3) == 1);
    CHECK(cable->changes == 1 && PullsOfChange(cable, 0) == 1 && (cable->kept[0] >> 2) != 0);
    CHECK(ioctl(port, TIOCMGET, &bits) == 0);
    CHECK(bits == (TIOCM_RTS | TIOCM_CTS));

    cable->calculator = 2; /* the calculator pulls the RTS/CTS wire */
    int again = dup(port);
    CHECK(ioctl(again, TIOCMGET, &bits) == 0);
    CHECK(bits == TIOCM_RTS);
    bits = TIOCM_DTR | TIOCM_RTS;
    CHECK(ioctl(again, TIOCMSET, &bits) == 0);
    CHECK((cable->pc & 3) == 0);
    CHECK(ioctl(port, TIOCMSET, &bits) == 0 && cable->changes == 2); /* no change, none kept */
    bits = TIOCM_RTS;
    CHECK(ioctl(port, TIOCMBIC, &bits) == 0 && (cable->pc & 3) == 2);
    CHECK(ioctl(port, TIOCMBIS, &bits) == 0 && (cable->pc & 3) == 0);
    CHECK(cable->changes == 4 && PullsOfChange(cable, 1) == 0 && PullsOfChange(cable, 2) == 2 &&
          PullsOfChange(cable, 3) == 0);
    CHECK(cable->kept[1] >> 2 <= cable->kept[2] >> 2 && cable->kept[2] >> 2 <= cable->kept[3] >> 2);
    cable->calculator = 0;
    CHECK(ioctl(port, TIOCMGET, &bits) == 0 &&
          bits == (TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR));

    /* Everything else passes through: the terminal settings of the device, another pty. */
    struct termios settings;
    CHECK(tcgetattr(port, &settings) == 0);
    int otherMaster = posix_openpt(O_RDWR | O_NOCTTY);
    CHECK(otherMaster >= 0 && grantpt(otherMaster) == 0 && unlockpt(otherMaster) == 0);
    int otherPort = open(ptsname(otherMaster), O_RDWR | O_NOCTTY);
    errno = 0;
    CHECK(ioctl(otherPort, TIOCMGET, &bits) == -1 && errno != 0);
    bits = TIOCM_DTR;
    CHECK(ioctl(otherPort, TIOCMBIC, &bits) == -1 && cable->changes == 4);
    close(otherPort);
    close(otherMaster);
    close(again);
    close(port);
    close(master);
}

int main(void) {
    if (!GuardLoaded()) {
        fprintf(stderr, "the guard is not loaded: run with LD_PRELOAD\n");
        return 1;
    }
    char dir[] = "/tmp/calquin-guard-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    snprintf(guardLog, sizeof guardLog, "%s/guard.log", dir);
    setenv("CALQUIN_GUARD_LOG", guardLog, 1);
    TestRefusals(dir);
    TestModemLines(dir);
    char command[PATH_MAX + 16];
    snprintf(command, sizeof command, "rm -rf '%s'", dir);
    if (system(command) != 0)
        ++failures;
    printf("%s: %d failure(s)\n", sizeof(void*) == 8 ? "64-bit" : "32-bit", failures);
    return failures ? 1 : 0;
}
