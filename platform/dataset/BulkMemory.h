#pragma once

#include <cstddef>

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
