#pragma once

#include <cstddef>

/// Memory in huge pages. Fresh pages are dear here (each first touch of a 4 KiB page faults), so large
/// buffers that are filled once ask for 2 MiB pages.
namespace orvela::memory {

inline constexpr std::size_t kHugePage = std::size_t(2) << 20;

/// The size rounded up to whole huge pages.
std::size_t RoundUpToHugePages(std::size_t size);

/// How the system counts a mapping against its memory.
enum class Commit {
    /// Only as pages are touched: for arenas sized to a bound that they rarely reach.
    OnTouch,
    /// Whole, at once: a mapping larger than the memory fails here, where it can be reported, instead of
    /// meeting the out-of-memory killer as it is filled.
    Whole,
};

/// Anonymous mapping of `length` bytes, huge pages asked for, counted as `commit` says; nullptr when the
/// mapping fails. Released with munmap.
char *MapHuge(std::size_t length, Commit commit);

/// A bump arena in huge pages, freed whole: what is allocated from it faults in a few large pages
/// instead of one small page at a time.
class HugePageArena final {
  public:
    explicit HugePageArena(std::size_t capacity);
    ~HugePageArena();
    HugePageArena(const HugePageArena &) = delete;
    HugePageArena &operator=(const HugePageArena &) = delete;

    /// False when no memory could be mapped: every allocation then fails.
    bool Mapped() const { return base_ != nullptr; }
    /// nullptr when the arena is full (or could not be mapped).
    void *Allocate(std::size_t size);
    bool Holds(const void *block) const;

  private:
    char *base_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
};

} // namespace orvela::memory
