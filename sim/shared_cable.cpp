#include "sim/shared_cable.h"

#include "sim/virtual_cable.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// One page: the cable is a few words, but both sides must agree on the mapping's size.
constexpr size_t kMappedSize = 4096;
static_assert(sizeof(VirtualCable) <= kMappedSize, "the cable must fit its page");
} // namespace

VirtualCable* MapSharedCable(const char* path, bool create) {
    int fd = create ? open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)
                    : open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (create && ftruncate(fd, kMappedSize) != 0) {
        close(fd);
        return nullptr;
    }
    if (!create && lseek(fd, 0, SEEK_END) < static_cast<off_t>(kMappedSize)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    void* memory = mmap(nullptr, kMappedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED)
        return nullptr;
    // A fresh file is all zero bytes, which is the idle cable; constructing makes that explicit.
    return create ? new (memory) VirtualCable : static_cast<VirtualCable*>(memory);
}

void UnmapSharedCable(VirtualCable* cable) {
    if (cable)
        munmap(cable, kMappedSize);
}
