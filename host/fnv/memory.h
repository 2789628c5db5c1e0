// Reading the game's memory without ever faulting: every read goes through
// the fault-catching read routines (safe_read.h), which fail instead of
// crashing, and an object counts as the game's only when its vtable and RTTI
// records lie inside FalloutNV.exe's own readable sections, read from its PE
// header at the image base.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/fnv/addresses.h"
#include "host/fnv/safe_read.h"

namespace cv::fnv {

inline constexpr Addr kPageSize = 0x1000;  // x86 Windows pages

namespace detail {
bool ReadableAcrossPages(Addr address, Addr bytes);
}  // namespace detail

// Whether every byte of [address, address + bytes) reads now: one aligned
// word of every page it touches is read through the read routines (no
// system call). A guard page does not read, and keeps its guard. A range
// that wraps does not read.
inline bool Readable(Addr address, Addr bytes) {
  const Addr last = address + (bytes != 0 ? bytes - 1 : 0);
  if (last < address || ((address ^ last) & ~(kPageSize - 1)) != 0)
    return detail::ReadableAcrossPages(address, bytes);
  // Within one page: one aligned word of it, which cannot reach past it.
  std::uint32_t word = 0;
  return SafeReadWord(address & ~Addr{3}, word);
}

// A value at an address not yet proven readable: false when it is not.
template <class T>
bool ReadAt(Addr address, T& value) {
  if constexpr (sizeof(T) <= 4) {
    // The aligned word that holds the whole value, when one does: it lies
    // on the value's own page, so it reads exactly when the value does.
    const Addr offset = address % 4;
    if (offset + sizeof(T) <= 4) {
      std::uint32_t word = 0;
      if (!SafeReadWord(address - offset, word)) return false;
      word >>= offset * 8;  // x86 is little-endian: the value's bytes come first
      std::memcpy(&value, &word, sizeof value);
      return true;
    }
  }
  return SafeCopy(&value, address, sizeof value);
}

// A value at an address already proven readable. It too is read through
// the routines: should the memory have gone since (freed by another
// thread), the value is zero instead of a fault.
template <class T>
T At(Addr address) {
  T value{};
  if (!ReadAt(address, value)) value = T{};
  return value;
}

inline Addr AddrOf(const void* p) { return static_cast<Addr>(reinterpret_cast<std::uintptr_t>(p)); }
template <class T>
T* PointerTo(Addr a) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(a));
}

// Whether the image at the image base is the game's: its PE header reads as
// a 32-bit image, and the type descriptor at TESForm's address names TESForm.
bool IsGameImage();

// Where a range lies in the image. RTTI records and vtables may lie in any
// readable section: which flags a player's executable gives its sections is
// not known (a Steam one decrypts its code in place, patched copies differ),
// so only being part of the image and readable is relied on (§8.3). Code
// must lie in an executable section. Only sections found readable
// throughout count, so a range inside one is readable.
bool InImage(Addr address, Addr bytes);
bool InCode(Addr address);

// Whether the type descriptor at td names this class (a decorated name such
// as ".?AVTESForm@@"), read within the image.
bool NamesClass(Addr td, const char* name);

// The class hierarchy descriptor of a live game object at p whose first
// span bytes are readable: p carries a vtable in the image
// whose locator describes a complete object (offset 0) with a well-formed
// type name. 0 for anything else. Never faults.
Addr HierarchyOf(Addr p, Addr span);
// Whether the object at p (as HierarchyOf) has this class among its
// classes, at offset 0.
bool IsA(Addr p, Addr typeDescriptor, Addr span);
// Whether HierarchyOf finds one (as IsA, answered from the class cache).
bool IsGameObject(Addr p, Addr span);

}  // namespace cv::fnv
