#include "platform/memory/HugePages.h"

#include <sys/mman.h>

namespace orvela::memory {

std::size_t RoundUpToHugePages(std::size_t size) {
    return (size + kHugePage - 1) / kHugePage * kHugePage;
}

char *MapHuge(std::size_t length, Commit commit) {
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (commit == Commit::OnTouch ? MAP_NORESERVE : 0);
    void *memory = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    ::madvise(memory, length, MADV_HUGEPAGE); // advice only: without it the pages are merely smaller
    return static_cast<char *>(memory);
}

HugePageArena::HugePageArena(std::size_t capacity) {
    // Address space only: pages are backed as the arena is used.
    capacity_ = RoundUpToHugePages(capacity + kHugePage);
    base_ = MapHuge(capacity_, Commit::OnTouch);
    if (!base_)
        capacity_ = 0;
}

HugePageArena::~HugePageArena() {
    if (base_)
        ::munmap(base_, capacity_);
}

void *HugePageArena::Allocate(std::size_t size) {
    const std::size_t aligned = (size + 63) & ~std::size_t(63);
    if (aligned < size || capacity_ - used_ < aligned)
        return nullptr;
    void *block = base_ + used_;
    used_ += aligned;
    return block;
}

bool HugePageArena::Holds(const void *block) const {
    const char *at = static_cast<const char *>(block);
    return base_ && at >= base_ && at < base_ + capacity_;
}

} // namespace orvela::memory
