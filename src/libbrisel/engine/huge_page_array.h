// SPDX-License-Identifier: MIT
// huge_page_array.h: a fixed-size, zero-filled array of trivially copyable
// elements in memory advised to use transparent huge pages.
//
// The motif index's tables are read at random, once or twice per residue. In
// 4 KiB pages nearly every such read also misses the TLB, and on a virtual
// machine a TLB miss costs a nested page walk; 2 MiB pages keep the whole
// index within the TLB's reach. The array owns its mapping and unmaps it when
// destroyed; it can be moved, not copied. Allocation failure throws
// std::bad_alloc.
#ifndef BRISEL_ENGINE_HUGE_PAGE_ARRAY_H
#define BRISEL_ENGINE_HUGE_PAGE_ARRAY_H

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

namespace brisel {

template <typename T>
class HugePageArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  HugePageArray() = default;
  explicit HugePageArray(std::size_t count) : size_(count) {
    if (count == 0) return;
    const std::size_t bytes = RoundUp(count * sizeof(T));
    mappedBytes_ = bytes + kHugePageBytes;  // room to align the start
    mapping_ =
        ::mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) {
      mapping_ = nullptr;
      throw std::bad_alloc();
    }
    const auto address = reinterpret_cast<std::uintptr_t>(mapping_);
    void* aligned = reinterpret_cast<void*>(RoundUp(address));
    ::madvise(aligned, bytes, MADV_HUGEPAGE);
    data_ = static_cast<T*>(aligned);
  }
  HugePageArray(HugePageArray&& other) noexcept { Swap(other); }
  HugePageArray& operator=(HugePageArray&& other) noexcept {
    HugePageArray moved(std::move(other));
    Swap(moved);
    return *this;
  }
  HugePageArray(const HugePageArray&) = delete;
  HugePageArray& operator=(const HugePageArray&) = delete;
  ~HugePageArray() {
    if (mapping_ != nullptr) ::munmap(mapping_, mappedBytes_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  std::size_t MemoryBytes() const { return mappedBytes_; }

 private:
  static constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
  static std::size_t RoundUp(std::size_t n) {
    return (n + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  }
  void Swap(HugePageArray& other) noexcept {
    std::swap(mapping_, other.mapping_);
    std::swap(mappedBytes_, other.mappedBytes_);
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }

  void* mapping_ = nullptr;
  std::size_t mappedBytes_ = 0;
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace brisel

#endif  // BRISEL_ENGINE_HUGE_PAGE_ARRAY_H
