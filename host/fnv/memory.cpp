#include "host/fnv/memory.h"

#include <windows.h>

#include <array>

#include "host/fnv/class_cache.h"

namespace cv::fnv {

namespace {

constexpr DWORD kReadableProtection = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                      PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                      PAGE_EXECUTE_WRITECOPY;

struct Section {
  Addr begin = 0;
  Addr end = 0;
  bool code = false;
};

struct Sections {
  bool known = false;
  std::size_t count = 0;
  std::array<Section, 32> list{};
};

Sections g_sections;

bool Committed(Addr address, Addr bytes);

// The image's sections from its PE header; false when the header does not
// read as a 32-bit image at the image base.
bool ReadSections(Sections& out) {
  IMAGE_DOS_HEADER dos;
  if (!ReadAt(kImageBase, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0 ||
      static_cast<Addr>(dos.e_lfanew) > 0x1000)
    return false;
  const Addr nt = kImageBase + static_cast<Addr>(dos.e_lfanew);
  IMAGE_NT_HEADERS32 headers;
  if (!ReadAt(nt, headers) || headers.Signature != IMAGE_NT_SIGNATURE ||
      headers.FileHeader.Machine != IMAGE_FILE_MACHINE_I386 ||
      headers.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
    return false;
  const Addr imageEnd = kImageBase + headers.OptionalHeader.SizeOfImage;
  if (imageEnd <= kImageBase) return false;
  const Addr first =
      nt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + headers.FileHeader.SizeOfOptionalHeader;
  out.count = 0;
  for (WORD i = 0; i < headers.FileHeader.NumberOfSections && out.count < out.list.size(); ++i) {
    IMAGE_SECTION_HEADER s;
    if (!ReadAt(first + i * static_cast<Addr>(sizeof s), s)) return false;
    const Addr size = s.Misc.VirtualSize != 0 ? s.Misc.VirtualSize : s.SizeOfRawData;
    const Addr begin = kImageBase + s.VirtualAddress;
    if (size == 0 || begin < kImageBase || begin + size < begin || begin + size > imageEnd)
      continue;
    // Only sections readable from end to end: image sections stay mapped
    // for the life of the process (patches only ever add write access), so
    // whatever lies inside one reads without a further check (§3d).
    if ((s.Characteristics & IMAGE_SCN_MEM_READ) == 0 || !Committed(begin, size)) continue;
    Section& out_s = out.list[out.count++];
    out_s.begin = begin;
    out_s.end = begin + size;
    // Which executables flag which sections writable is not known (the
    // Steam and Epic builds and 4GB-patched copies differ), so only whether
    // a section holds code is told apart (§8.3).
    out_s.code = (s.Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
  }
  return out.count != 0;
}

// The sections, read once the header first reads well.
const Sections* ImageSections() {
  if (!g_sections.known) g_sections.known = ReadSections(g_sections);
  return g_sections.known ? &g_sections : nullptr;
}

bool InSection(Addr address, Addr bytes, bool code) {
  const Sections* s = ImageSections();
  if (s == nullptr || address + bytes < address) return false;
  for (std::size_t i = 0; i < s->count; ++i) {
    const Section& sec = s->list[i];
    if ((!code || sec.code) && address >= sec.begin && address + bytes <= sec.end) return true;
  }
  return false;
}

// A decorated class name of the type descriptor at td: ".?A", then a NUL
// within kTypeNameMax bytes, all inside the image.
bool WellFormedTypeName(Addr td) {
  const Addr name = td + kTypeName;
  if (!InImage(td, kTypeName + 4)) return false;
  for (Addr i = 0; i < kTypeNameMax; ++i) {
    if (!InImage(name + i, 1)) return false;
    const char c = At<char>(name + i);
    if (i < 3 && c != ".?A"[i]) return false;
    if (c == '\0') return i > 3;
  }
  return false;
}

// Whether every byte of [address, address + bytes) is committed, readable
// memory (never a guard page), asked of the system: for the image's
// sections, once, without touching (and so paging in) every page of them.
bool Committed(Addr address, Addr bytes) {
  if (bytes == 0) bytes = 1;
  const Addr last = address + bytes - 1;
  if (last < address) return false;
  Addr at = address;
  for (;;) {
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(PointerTo<const void>(at), &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0 ||
        (info.Protect & kReadableProtection) == 0)
      return false;
    const Addr regionEnd = AddrOf(info.BaseAddress) + static_cast<Addr>(info.RegionSize);
    if (regionEnd == 0 || regionEnd > last) return true;  // 0: the region ends at 4 GiB
    if (regionEnd <= at) return false;
    at = regionEnd;
  }
}

}  // namespace

bool detail::ReadableAcrossPages(Addr address, Addr bytes) {
  if (bytes == 0) bytes = 1;
  const Addr last = address + bytes - 1;
  if (last < address) return false;
  // One aligned word of every page: it never reaches past its page, so it
  // reads exactly when the page does.
  const Addr lastPage = last & ~(kPageSize - 1);
  for (Addr at = address;; at = (at & ~(kPageSize - 1)) + kPageSize) {
    std::uint32_t word = 0;
    if (!SafeReadWord(at & ~Addr{3}, word)) return false;
    if ((at & ~(kPageSize - 1)) == lastPage) return true;
  }
}

bool InImage(Addr address, Addr bytes) { return InSection(address, bytes, false); }
bool InCode(Addr address) { return InSection(address, 1, true); }

bool NamesClass(Addr td, const char* name) {
  return WellFormedTypeName(td) && std::strcmp(PointerTo<const char>(td + kTypeName), name) == 0;
}

bool IsGameImage() { return ImageSections() != nullptr && NamesClass(kTD_TESForm, kTESFormName); }

namespace {

// The class hierarchy descriptor that the vtable at vtable leads to, as
// HierarchyOf below; 0 for anything else.
Addr HierarchyOfVtable(Addr vtable) {
  if (vtable % 4 != 0 || vtable < kVtableLocator ||
      !InImage(vtable - kVtableLocator, kVtableLocator + 4))
    return 0;
  const Addr locator = At<Addr>(vtable - kVtableLocator);
  if (locator % 4 != 0 || !InImage(locator, kLocatorSize)) return 0;
  // Signature 0 (x86) and offset 0: p is the start of the complete object,
  // never a base-class part inside one.
  if (At<Addr>(locator + kLocatorSignature) != 0 || At<Addr>(locator + kLocatorOffset) != 0)
    return 0;
  if (!WellFormedTypeName(At<Addr>(locator + kLocatorType))) return 0;
  const Addr hierarchy = At<Addr>(locator + kLocatorHierarchy);
  if (hierarchy % 4 != 0 || !InImage(hierarchy, kHierarchySize)) return 0;
  return hierarchy;
}

// Whether objects with this vtable have the class among their classes, at
// offset 0 (typeDescriptor 0: whether they are game objects at all).
bool VtableIsA(Addr vtable, Addr typeDescriptor) {
  const Addr hierarchy = HierarchyOfVtable(vtable);
  if (hierarchy == 0) return false;
  if (typeDescriptor == 0) return true;
  const Addr count = At<Addr>(hierarchy + kHierarchyCount);
  const Addr bases = At<Addr>(hierarchy + kHierarchyBases);
  if (count == 0 || count > kMaxBaseClasses || !InImage(bases, count * 4)) return false;
  for (Addr i = 0; i < count; ++i) {
    const Addr base = At<Addr>(bases + i * 4);
    if (!InImage(base, kBaseSize)) return false;
    if (At<Addr>(base + kBaseType) == typeDescriptor)
      return At<std::int32_t>(base + kBaseDisplacement) == 0;
  }
  return false;
}

// The vtable of the object at p when its first span bytes read; 0 if not.
Addr VtableOf(Addr p, Addr span) {
  Addr vtable = 0;
  if (p < kLowestObject || p % 4 != 0 || span < 4 || !ReadAt(p, vtable)) return 0;
  // Reading the vtable proved p's page; the span's later pages, if any,
  // are proven here.
  const Addr last = p + span - 1;
  const Addr nextPage = (p & ~(kPageSize - 1)) + kPageSize;
  if (last < p || (last >= nextPage && (nextPage == 0 || !Readable(nextPage, last - nextPage + 1))))
    return 0;
  return vtable;
}

// VtableIsA, remembered per vtable: the records a vtable in the image
// leads to lie in the image and never change. Only those
// vtables are remembered; any other answers no at its first check.
bool ClassCheck(Addr vtable, Addr typeDescriptor) {
  if (vtable == 0) return false;
  if (const int known = KnownClass(vtable, typeDescriptor); known >= 0) return known != 0;
  const bool is = VtableIsA(vtable, typeDescriptor);
  if (InImage(vtable - kVtableLocator, kVtableLocator + 4))
    RememberClass(vtable, typeDescriptor, is);
  return is;
}

}  // namespace

Addr HierarchyOf(Addr p, Addr span) { return HierarchyOfVtable(VtableOf(p, span)); }

bool IsGameObject(Addr p, Addr span) { return ClassCheck(VtableOf(p, span), 0); }

bool IsA(Addr p, Addr typeDescriptor, Addr span) {
  return ClassCheck(VtableOf(p, span), typeDescriptor);
}

}  // namespace cv::fnv
