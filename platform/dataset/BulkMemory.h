#pragma once

#include "platform/memory/HugePages.h"

#include <cstddef>
#include <new>
#include <type_traits>

/// Memory for loading a large packet. Fresh pages are what loading costs most here (each first touch of
/// a 4 KiB page faults), so the file buffer and the parser's tree come from huge-page mappings.
namespace orvela::packet {

/// A buffer of `size` bytes plus a terminating NUL; moves, never copies.
class FileBuffer final {
  public:
    FileBuffer() = default;
    /// Throws std::bad_alloc when no memory can be had.
    explicit FileBuffer(std::size_t size);
    ~FileBuffer();
    FileBuffer(FileBuffer &&other) noexcept;
    FileBuffer &operator=(FileBuffer &&other) noexcept;
    FileBuffer(const FileBuffer &) = delete;
    FileBuffer &operator=(const FileBuffer &) = delete;

    char *Data() const { return data_; }
    std::size_t Size() const { return size_; }

  private:
    void Release();
    char *data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0; // length of the mapping; 0 when the bytes came from the heap
};

/// Allocator of column arrays: from the arena while it has room, from the heap otherwise.
template <class T> struct ValueAllocator {
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    ValueAllocator() = default;
    explicit ValueAllocator(memory::HugePageArena *arena) : arena(arena) {}
    template <class U> ValueAllocator(const ValueAllocator<U> &other) : arena(other.arena) {}

    T *allocate(std::size_t count) {
        if (arena) {
            if (void *block = arena->Allocate(count * sizeof(T)))
                return static_cast<T *>(block);
        }
        return static_cast<T *>(::operator new(count * sizeof(T)));
    }
    void deallocate(T *block, std::size_t) {
        if (!arena || !arena->Holds(block))
            ::operator delete(block);
    }
    template <class U> bool operator==(const ValueAllocator<U> &other) const { return arena == other.arena; }

    memory::HugePageArena *arena = nullptr;
};

/// While alive, pugixml allocates from one bump arena of huge pages; the whole tree is dropped at once
/// when it ends. Documents parsed within it must be destroyed before it. One at a time, GUI thread only.
class ParseArenaScope final {
  public:
    explicit ParseArenaScope(std::size_t expectedBytes);
    ~ParseArenaScope();
    ParseArenaScope(const ParseArenaScope &) = delete;
    ParseArenaScope &operator=(const ParseArenaScope &) = delete;

  private:
    bool owner_ = false;
};

} // namespace orvela::packet
