// Reading the game's memory without ever faulting: every read is proven
// readable first (VirtualQuery), and an object counts as the game's only when
// its vtable and RTTI records lie inside FalloutNV.exe's own readable
// sections, read from its PE header at the image base.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/fnv/addresses.h"

namespace cv::fnv {

// Whether every byte of [address, address + bytes) is committed, readable
// memory (never a guard page). A range that wraps is not.
bool Readable(Addr address, Addr bytes);

// A value at an address already proven readable.
template <class T>
T At(Addr address) {
  T value;
  std::memcpy(&value, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)),
              sizeof value);
  return value;
}

// A value at an address not yet proven readable: false when it is not.
template <class T>
bool ReadAt(Addr address, T& value) {
  if (!Readable(address, sizeof value)) return false;
  value = At<T>(address);
  return true;
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
// span bytes are readable: p carries a vtable in the image's read-only data
// whose locator describes a complete object (offset 0) with a well-formed
// type name. 0 for anything else. Never faults.
Addr HierarchyOf(Addr p, Addr span);
// Whether the object at p (as HierarchyOf) has this class among its
// classes, at offset 0.
bool IsA(Addr p, Addr typeDescriptor, Addr span);

}  // namespace cv::fnv
