// Answers about the game's classes, remembered by vtable (memory.cpp): the
// RTTI records a vtable in the image's read-only data leads to lie in the
// image's sections, which stay mapped and unchanged for the life of the
// process, so the answer for a vtable never changes. Objects are not
// remembered: whether an object is readable, and which vtable it has, is
// read afresh on every call.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "host/fnv/addresses.h"

namespace cv::fnv {

namespace detail {
// A slot: the vtable, then the key with the answer in its lowest bit. A
// writer clears the vtable, writes the key, then the vtable; a reader takes
// an answer only when it read the same vtable before and after the key, so
// it never takes half of another thread's entry.
struct ClassSlot {
  std::atomic<Addr> vtable{0};
  std::atomic<Addr> key{0};
};
inline constexpr std::size_t kClassSlots = 1024;  // a power of two
inline std::array<ClassSlot, kClassSlots> g_classSlots{};
inline ClassSlot& ClassSlotOf(Addr vtable, Addr key) {
  return g_classSlots[((vtable >> 2) ^ ((key >> 2) * 0x9E3779B1u)) & (kClassSlots - 1)];
}
}  // namespace detail

// What was remembered for this vtable and key (a type descriptor, or 0):
// 1 or 0, or -1 when nothing is.
inline int KnownClass(Addr vtable, Addr key) {
  const detail::ClassSlot& slot = detail::ClassSlotOf(vtable, key);
  const Addr before = slot.vtable.load(std::memory_order_acquire);
  const Addr answer = slot.key.load(std::memory_order_acquire);
  const Addr after = slot.vtable.load(std::memory_order_acquire);
  if (before == 0 || before != vtable || after != vtable || (answer & ~Addr{3}) != key) return -1;
  return static_cast<int>(answer & 1);
}

// Remembers an answer, in place of whatever shared its slot. Keys must be
// 4-aligned (type descriptors are); others are not remembered.
inline void RememberClass(Addr vtable, Addr key, bool is) {
  if (vtable == 0 || key % 4 != 0) return;
  detail::ClassSlot& slot = detail::ClassSlotOf(vtable, key);
  slot.vtable.store(0, std::memory_order_relaxed);
  slot.key.store(key | (is ? 1u : 0u), std::memory_order_release);
  slot.vtable.store(vtable, std::memory_order_release);
}

}  // namespace cv::fnv
