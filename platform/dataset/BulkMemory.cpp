#include "platform/dataset/BulkMemory.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace orvela::packet {
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Below this, a huge-page mapping saves nothing worth a system call.
constexpr std::size_t kSmallestMapping = std::size_t(1) << 20;

std::size_t RoundUp(std::size_t size) {
    return (size + kHugePage - 1) / kHugePage * kHugePage;
}

/// Anonymous mapping with huge pages asked for; nullptr when the mapping fails.
char *MapHuge(std::size_t length) {
    void *memory = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    ::madvise(memory, length, MADV_HUGEPAGE); // advice only: without it the pages are merely smaller
    return static_cast<char *>(memory);
}

struct Arena {
    explicit Arena(std::size_t capacity) : memory(capacity) {}
    ValueArena memory;
    pugi::allocation_function previousAllocate = nullptr;
    pugi::deallocation_function previousDeallocate = nullptr;
};

Arena *current = nullptr;

void *ArenaAllocate(std::size_t size) {
    if (void *block = current->memory.Allocate(size))
        return block;
    return current->previousAllocate(size);
}

void ArenaDeallocate(void *block) {
    if (!current->memory.Holds(block)) // what the arena holds goes with it
        current->previousDeallocate(block);
}

} // namespace

FileBuffer::FileBuffer(std::size_t size) : size_(size) {
    const std::size_t needed = size + 1;
    if (needed >= kSmallestMapping) {
        mapped_ = RoundUp(needed);
        data_ = MapHuge(mapped_);
    }
    if (!data_) {
        mapped_ = 0;
        data_ = new char[needed];
    }
    data_[size] = '\0';
}

FileBuffer::~FileBuffer() {
    Release();
}

FileBuffer::FileBuffer(FileBuffer &&other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

FileBuffer &FileBuffer::operator=(FileBuffer &&other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void FileBuffer::Release() {
    if (mapped_)
        ::munmap(data_, mapped_);
    else
        delete[] data_;
    data_ = nullptr;
}

ValueArena::ValueArena(std::size_t capacity) {
    // Address space only: pages are backed as the arena is used.
    capacity_ = RoundUp(capacity + kHugePage);
    base_ = MapHuge(capacity_);
    if (!base_)
        capacity_ = 0;
}

ValueArena::~ValueArena() {
    if (base_)
        ::munmap(base_, capacity_);
}

void *ValueArena::Allocate(std::size_t size) {
    const std::size_t aligned = (size + 63) & ~std::size_t(63);
    if (aligned < size || capacity_ - used_ < aligned)
        return nullptr;
    void *block = base_ + used_;
    used_ += aligned;
    return block;
}

bool ValueArena::Holds(const void *block) const {
    const char *at = static_cast<const char *>(block);
    return base_ && at >= base_ && at < base_ + capacity_;
}

ParseArenaScope::ParseArenaScope(std::size_t expectedBytes) {
    if (current)
        return; // nested: the outer arena serves
    auto *arena = new Arena(expectedBytes);
    if (!arena->memory.Mapped()) {
        delete arena;
        return;
    }
    arena->previousAllocate = pugi::get_memory_allocation_function();
    arena->previousDeallocate = pugi::get_memory_deallocation_function();
    current = arena;
    pugi::set_memory_management_functions(ArenaAllocate, ArenaDeallocate);
    owner_ = true;
}

ParseArenaScope::~ParseArenaScope() {
    if (!owner_)
        return;
    Arena *arena = std::exchange(current, nullptr);
    pugi::set_memory_management_functions(arena->previousAllocate, arena->previousDeallocate);
    delete arena;
}

} // namespace orvela::packet
