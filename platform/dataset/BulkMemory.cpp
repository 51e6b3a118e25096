#include "platform/dataset/BulkMemory.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace orvela::packet {
namespace {

// Below this, a huge-page mapping saves nothing worth a system call.
constexpr std::size_t kSmallestMapping = std::size_t(1) << 20;

struct Arena {
    explicit Arena(std::size_t capacity) : pages(capacity) {}
    memory::HugePageArena pages;
    pugi::allocation_function previousAllocate = nullptr;
    pugi::deallocation_function previousDeallocate = nullptr;
};

Arena *current = nullptr;

void *ArenaAllocate(std::size_t size) {
    if (void *block = current->pages.Allocate(size))
        return block;
    return current->previousAllocate(size);
}

void ArenaDeallocate(void *block) {
    if (!current->pages.Holds(block)) // what the arena holds goes with it
        current->previousDeallocate(block);
}

} // namespace

FileBuffer::FileBuffer(std::size_t size) : size_(size) {
    const std::size_t needed = size + 1;
    if (needed >= kSmallestMapping) {
        mapped_ = memory::RoundUpToHugePages(needed);
        data_ = memory::MapHuge(mapped_, memory::Commit::Whole);
        if (!data_) // the heap would ask the system for the same memory
            throw std::bad_alloc();
    } else {
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

ParseArenaScope::ParseArenaScope(std::size_t expectedBytes) {
    if (current)
        return; // nested: the outer arena serves
    auto *arena = new Arena(expectedBytes);
    if (!arena->pages.Mapped()) {
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
