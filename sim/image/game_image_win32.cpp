// The miniature game image (see game_image.h). The range 0x00400000-
// 0x01300000 is the program's own image, as it is FalloutNV.exe's: the
// program is linked at 0x00400000 with zero-filled sections where the game
// keeps its code, read-only data and data (cmake/game_image.cmake), and its
// own sections above them. Under Wine that is the one way to have the range:
// a running process cannot claim it (game-facts §7), and the preloader
// variable that keeps it free is not passed on to a program that a Windows
// process starts (measured with Wine 8). The header at the image base is the
// program's own, so the binding reads real section bounds.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "sim/image/game_image.h"
#include "sim/image/game_image_classes.h"
#include "sim/image/game_image_sections.h"
#include "sim/image/game_layout.h"

// The C run-time's static TLS: this program's block template runs from
// _tls_start to _tls_end, and _tls_index is its slot in every thread's
// block array. The image's TLS index variable names that slot, and this
// area (inside the template) holds the "executing from console" flag.
extern "C" char _tls_start;
extern "C" ULONG _tls_index;
__attribute__((section(".tls$CVA"), used)) char g_tlsArea[0x400];

namespace cv::sim::image {

namespace {

using namespace cv::sim::game_layout;

bool g_built = false;
Hooks g_hooks;
std::vector<std::string> g_errors;
void* g_console = nullptr;
Addr g_dataHandler = 0;

template <class T>
T* At(Addr a) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(a));
}
template <class T>
void Write(Addr a, T value) {
  std::memcpy(At<void>(a), &value, sizeof value);
}
Addr AddressOf(const void* p) { return static_cast<Addr>(reinterpret_cast<std::uintptr_t>(p)); }

// Whether [begin, end) is committed memory of this program's image.
bool OwnImage(Addr begin, Addr end, DWORD protection) {
  MEMORY_BASIC_INFORMATION info;
  for (Addr at = begin; at < end; at = AddressOf(info.BaseAddress) + info.RegionSize) {
    if (::VirtualQuery(At<void>(at), &info, sizeof info) != sizeof info ||
        info.State != MEM_COMMIT || info.Type != MEM_IMAGE || info.RegionSize == 0 ||
        (protection != 0 && (info.Protect & protection) == 0))
      return false;
  }
  return true;
}
// Where the RTTI records and the image's own stubs go.
constexpr Addr kRttiArea = 0x01110000;
constexpr Addr kStubArea = 0x00C00000;
constexpr std::uint32_t kVtableSlots = kProcessRunningPackageSlot / 4 + 1;
constexpr std::uint32_t kObjectSize = 0x200;

// The longest line the game's console holds: "limited to 512 chars", the
// NUL included (game-facts §8.1).
constexpr std::size_t kConsoleLineMax = 511;

void Error(std::string message) {
  if (g_hooks.error != nullptr)
    g_hooks.error(std::move(message));
  else
    g_errors.push_back(std::move(message));
}

// --- The functions at the published addresses, and what they call.

void* AllocateHandler(std::uint32_t size) {
  if (size > 0x10000000) {
    Error("game heap allocate: a size of " + std::to_string(size) + " (calling convention?)");
    return nullptr;
  }
  if (g_hooks.allocate != nullptr) return g_hooks.allocate(size);
  return ::HeapAlloc(::GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void FreeHandler(void* block) {
  if (g_hooks.free != nullptr)
    g_hooks.free(block);
  else if (block != nullptr)
    ::HeapFree(::GetProcessHeap(), 0, block);
}

void* SingletonHandler(std::uint32_t create) {
  if ((create & 0xFF) > 1) Error("console singleton: its bool argument is not 0 or 1");
  return g_console;
}

void PrintHandler(void* self, const char* fmt, va_list args) {
  if (self != g_console) {
    Error("console print: this (ECX) is not the console manager");
    return;
  }
  if (fmt == nullptr || std::strcmp(fmt, "%s") != 0) {
    Error("console print: the format is not \"%s\"");
    return;
  }
  char line[0x4000];
  const int n = std::vsnprintf(line, sizeof line, fmt, args);
  // The game formats into a buffer of about 512 bytes (game-facts §8.1):
  // a longer line overruns it.
  if (n > static_cast<int>(kConsoleLineMax)) {
    Error("console print: a line of " + std::to_string(n) + " bytes; the game's console holds " +
          std::to_string(kConsoleLineMax));
  }
  if (g_hooks.print != nullptr) g_hooks.print(line);
}

// Machine code: cdecl with one argument, handed to a cdecl handler.
void CdeclStub(Addr at, const void* handler) {
  const std::uint8_t code[] = {0xFF, 0x74, 0x24, 0x04,     // push dword [esp+4]
                               0xB8, 0,    0,    0,    0,  // mov eax, handler
                               0xFF, 0xD0,                 // call eax
                               0x83, 0xC4, 0x04,           // add esp, 4
                               0xC3};                      // ret
  std::memcpy(At<void>(at), code, sizeof code);
  Write(at + 5, AddressOf(handler));
}

// thiscall (ECX, fmt, va_list), the callee popping its two stack words.
void PrintStub(Addr at, const void* handler) {
  const std::uint8_t code[] = {0xFF, 0x74, 0x24, 0x08,     // push dword [esp+8]  (va_list)
                               0xFF, 0x74, 0x24, 0x08,     // push dword [esp+8]  (fmt)
                               0x51,                       // push ecx            (this)
                               0xB8, 0,    0,    0,    0,  // mov eax, handler
                               0xFF, 0xD0,                 // call eax
                               0x83, 0xC4, 0x0C,           // add esp, 12
                               0xC2, 0x08, 0x00};          // ret 8
  std::memcpy(At<void>(at), code, sizeof code);
  Write(at + 10, AddressOf(handler));
}

// --- RTTI.

Addr g_rtti = kRttiArea;
Addr Take(Addr bytes) {
  Addr at = g_rtti;
  g_rtti += (bytes + 3) & ~3u;
  return at;
}

// The type descriptors, the one of brokenClass (when named) naming another
// class of the same length.
bool WriteTypes(Addr typeInfoVtable, const std::string& brokenClass) {
  std::vector<std::pair<Addr, Addr>> spans;
  const std::string broken = ".?AV" + brokenClass + "@@";
  bool brokenFound = brokenClass.empty();
  auto write = [&](Addr td, const char* name) {
    Write(td, typeInfoVtable);
    Write<Addr>(td + 4, 0);
    std::strcpy(At<char>(td + kTypeName), name);
    if (!brokenFound && broken == name) {
      At<char>(td + kTypeName)[4] ^= 0x20;  // TESForm -> tESForm
      brokenFound = true;
    }
    spans.emplace_back(td, td + kTypeName + static_cast<Addr>(std::strlen(name)) + 1);
  };
  for (const ClassInfo& c : Classes()) write(c.td, c.name);
  for (const auto& [td, name] : AbstractTypes()) write(td, name);
  std::sort(spans.begin(), spans.end());
  for (std::size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first < spans[i - 1].second) {
      Error("the image's type names overlap");
      return false;
    }
  }
  if (!brokenFound) Error("the image has no class " + brokenClass + " to break");
  return brokenFound;
}

// The vtables of each class's parts (PartsOf), by class: offset, vtable.
std::vector<std::pair<Class, std::vector<std::pair<Addr, Addr>>>> g_partVtables;

// A locator: the class's type and hierarchy, and where in the complete
// object the vtable that leads to it sits.
Addr WriteLocator(const ClassInfo& c, Addr hierarchy, Addr offset) {
  const Addr locator = Take(kLocatorSize);
  Write<Addr>(locator + kLocatorSignature, 0);
  Write<Addr>(locator + kLocatorOffset, offset);
  Write<Addr>(locator + 8, 0);
  Write(locator + kLocatorType, c.td);
  Write(locator + kLocatorHierarchy, hierarchy);
  return locator;
}

void WriteClass(const ClassInfo& c, Addr trap, Addr runningPackage) {
  std::vector<Addr> descriptors;
  for (const Base& b : c.bases) {
    const Addr d = Take(kBaseSize);
    Write(d + kBaseType, b.td);
    Write<Addr>(d + 4, 0);
    Write(d + kBaseDisplacement, b.displacement);
    Write<std::int32_t>(d + 0x0C, -1);
    descriptors.push_back(d);
  }
  const Addr array = Take(static_cast<Addr>(descriptors.size() * 4));
  for (std::size_t i = 0; i < descriptors.size(); ++i)
    Write(array + static_cast<Addr>(i * 4), descriptors[i]);
  const Addr hierarchy = Take(kHierarchySize);
  Write<Addr>(hierarchy, 0);
  Write<Addr>(hierarchy + 4, 0);
  Write(hierarchy + kHierarchyCount, static_cast<Addr>(descriptors.size()));
  Write(hierarchy + kHierarchyBases, array);
  Write(c.vtable - kVtableLocator, WriteLocator(c, hierarchy, 0));
  for (std::uint32_t i = 0; i < kVtableSlots; ++i) Write(c.vtable + i * 4, trap);
  if (runningPackage != 0) Write(c.vtable + kProcessRunningPackageSlot, runningPackage);
  // A part's vtable: its locator, then a few slots.
  std::vector<std::pair<Addr, Addr>> parts;
  for (const std::uint32_t offset : PartsOf(c.c)) {
    const Addr locator = WriteLocator(c, hierarchy, offset);
    const Addr vtable = Take(kVtableLocator + 4 * 4) + kVtableLocator;
    Write(vtable - kVtableLocator, locator);
    for (std::uint32_t i = 0; i < 4; ++i) Write(vtable + i * 4, trap);
    parts.emplace_back(offset, vtable);
  }
  g_partVtables.emplace_back(c.c, std::move(parts));
}

// The thread's block in this program's static TLS, and where the console
// flag lands in it; null when the area does not cover the flag.
char* ConsoleFlag() {
  const Addr offset = AddressOf(g_tlsArea) - AddressOf(&_tls_start);
  if (offset > kTlsConsoleFlag || offset + sizeof g_tlsArea <= kTlsConsoleFlag) return nullptr;
  char** slots = nullptr;
  asm volatile("movl %%fs:(%1), %0" : "=r"(slots) : "r"(kTebTlsPointer));
  if (slots == nullptr || slots[_tls_index] == nullptr) return nullptr;
  return slots[_tls_index] + kTlsConsoleFlag;
}

}  // namespace

bool Built() { return g_built; }

bool Build() {
  if (g_built) return true;
  // The program must be linked as a game image: its own image at the
  // image base, with the three sections in place.
  if (AddressOf(::GetModuleHandleA(nullptr)) != kImageBase ||
      !OwnImage(kTextStart, kTextEnd, PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY) ||
      !OwnImage(kRdataStart, kRdataEnd, PAGE_READONLY) ||
      !OwnImage(kDataStart, kDataEnd, PAGE_READWRITE | PAGE_WRITECOPY))
    return false;
  // Read-only data is written once, then protected as the sections' flags
  // say (ApplySections).
  DWORD rdataProtection = 0;
  if (!::VirtualProtect(At<void>(kRdataStart), kRdataEnd - kRdataStart, PAGE_READWRITE,
                        &rdataProtection))
    return false;

  // A type_info vtable for every type descriptor, and two stubs: a slot
  // that answers 0, and the process's running package.
  Variant variant;
  std::string why;
  if (!ChosenVariant(variant, why)) {
    Error(why);
    return false;
  }
  const Addr typeInfoVtable = Take(16);
  Write(typeInfoVtable, typeInfoVtable);
  if (!WriteTypes(typeInfoVtable, variant.brokenClass)) return false;
  const Addr trap = kStubArea;
  const std::uint8_t zero[] = {0x31, 0xC0, 0xC3};  // xor eax, eax; ret
  std::memcpy(At<void>(trap), zero, sizeof zero);
  // Low and middle-low processes: the current package's at +0x04. Middle-
  // high and high: the run-once package at +0xE4 when one runs. For
  // code-in-data, beside the heap's functions in the section that is not
  // code.
  const Addr running = variant.codeInData ? kTextStart + 0x100 : kStubArea;
  const Addr lowRunning = running + 0x10;
  const std::uint8_t low[] = {0x8B, 0x41, 0x04, 0xC3};  // mov eax, [ecx+4]; ret
  std::memcpy(At<void>(lowRunning), low, sizeof low);
  const Addr highRunning = running + 0x20;
  const std::uint8_t high[] = {0x8B, 0x81, 0xE4, 0x00, 0x00, 0x00,  // mov eax, [ecx+0xE4]
                               0x85, 0xC0,                          // test eax, eax
                               0x75, 0x03,                          // jnz done
                               0x8B, 0x41, 0x04,                    // mov eax, [ecx+4]
                               0xC3};                               // done: ret
  std::memcpy(At<void>(highRunning), high, sizeof high);
  for (const ClassInfo& c : Classes()) {
    Addr slot = 0;
    if (c.c == Class::LowProcess || c.c == Class::MiddleLowProcess) slot = lowRunning;
    if (c.c == Class::HighProcess || c.c == Class::MiddleHighProcess) slot = highRunning;
    WriteClass(c, trap, slot);
  }

  CdeclStub(kHeapAllocate, reinterpret_cast<const void*>(&AllocateHandler));
  CdeclStub(kHeapFree, reinterpret_cast<const void*>(&FreeHandler));
  CdeclStub(kConsoleSingleton, reinterpret_cast<const void*>(&SingletonHandler));
  PrintStub(kConsolePrint, reinterpret_cast<const void*>(&PrintHandler));
  ::FlushInstructionCache(::GetCurrentProcess(), At<void>(kTextStart), kTextEnd - kTextStart);
  // The sections as the modelled executable's header flags them.
  if (!ApplySections(variant, why)) {
    Error(why);
    return false;
  }

  g_console = NewRaw(0x100);
  g_dataHandler = AddressOf(NewRaw(kDataMods + kMaxMods * 4));
  Write(kDataHandlerPtr, g_dataHandler);
  Write(kTlsIndexVar, static_cast<std::uint32_t>(_tls_index));
  g_built = true;
  SetForms({});
  return true;
}

bool Start() {
  if (Build()) return true;
  std::fprintf(stderr,
               "corvane-sim: the game's address range 0x00400000-0x01300000 cannot be had; "
               "serving the simulated engine table instead\n");
  return false;
}

void SetHooks(const Hooks& hooks) { g_hooks = hooks; }

std::vector<std::string> TakeErrors() { return std::exchange(g_errors, {}); }

void* NewRaw(std::uint32_t size) {
  void* block = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size == 0 ? 1 : size);
  return block;
}

void* New(Class c, std::uint8_t type, std::uint32_t refID) {
  void* object = NewRaw(kObjectSize);
  for (const ClassInfo& info : Classes())
    if (info.c == c) Put(object, 0, info.vtable);
  for (const auto& [owner, parts] : g_partVtables)
    if (owner == c)
      for (const auto& [offset, vtable] : parts) Put(object, offset, vtable);
  const bool form = c < Class::HighProcess;
  if (form) {
    Put(object, kFormTypeID, type);
    Put(object, kFormRefID, refID);
  }
  return object;
}

void PutString(void* object, std::uint32_t offset, std::string_view text) {
  char* copy = nullptr;
  if (!text.empty()) {
    copy = static_cast<char*>(NewRaw(static_cast<std::uint32_t>(text.size() + 1)));
    std::memcpy(copy, text.data(), text.size());
  }
  Put(object, offset, copy);
  Put(object, offset + 4, static_cast<std::uint16_t>(text.size()));
  Put(object, offset + 6, static_cast<std::uint16_t>(text.empty() ? 0 : text.size() + 1));
}

void PutList(void* object, std::uint32_t offset, const std::vector<void*>& entries) {
  Put<void*>(object, offset + kNodeData, nullptr);
  Put<void*>(object, offset + kNodeNext, nullptr);
  void* node = static_cast<char*>(object) + offset;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) {
      void* next = NewRaw(kNodeSize);
      Put(node, kNodeNext, next);
      node = next;
    }
    Put(node, kNodeData, entries[i]);
  }
}

void SetForms(const std::vector<void*>& forms) {
  if (!g_built) return;
  // Rebuilt in blocks of its own each time; the old map's blocks stay
  // readable (the binding never keeps an entry across calls).
  static std::vector<std::vector<std::array<Addr, 3>>> entryStore;
  static std::vector<std::vector<Addr>> bucketStore;
  static std::array<Addr, 4> map{};
  const std::uint32_t buckets = static_cast<std::uint32_t>(std::max<std::size_t>(37, forms.size()));
  if (entryStore.size() > 4) {
    entryStore.erase(entryStore.begin());
    bucketStore.erase(bucketStore.begin());
  }
  std::vector<std::array<Addr, 3>>& entries = entryStore.emplace_back(forms.size());
  std::vector<Addr>& table = bucketStore.emplace_back(buckets, 0);
  for (std::size_t i = 0; i < forms.size(); ++i) {
    const Addr id = Get<Addr>(forms[i], kFormRefID);
    Addr& head = table[id % buckets];
    entries[i] = {head, id, AddressOf(forms[i])};
    head = AddressOf(entries[i].data());
  }
  map = {0, buckets, AddressOf(table.data()), static_cast<Addr>(forms.size())};
  Write(kFormMapPtr, AddressOf(map.data()));
}

void SetMods(const std::vector<std::string>& names) {
  if (!g_built) return;
  static std::vector<void*> infos;
  const std::size_t n = std::min<std::size_t>(names.size(), kMaxMods);
  while (infos.size() < n) infos.push_back(NewRaw(kModInfoSize));
  for (std::size_t i = 0; i < n; ++i) {
    char* info = static_cast<char*>(infos[i]);
    char* name = info + kModName;
    std::memset(name, 0, kModNameMax);
    std::memcpy(name, names[i].data(), std::min<std::size_t>(names[i].size(), kModNameMax - 1));
    info[kModIndex] = static_cast<char>(i);
    Write(g_dataHandler + kDataMods + static_cast<Addr>(i * 4), AddressOf(infos[i]));
  }
  Write(g_dataHandler + kDataModCount, static_cast<Addr>(n));
}

void SetConsoleMode(bool on) {
  if (!g_built) return;
  Write<std::uint8_t>(kConsoleOpenByte, on ? 1 : 0);
  if (char* flag = ConsoleFlag())
    *flag = on ? 1 : 0;
  else
    Error("the image's TLS block does not cover the console flag");
}

}  // namespace cv::sim::image
