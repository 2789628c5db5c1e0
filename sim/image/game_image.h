// A miniature FalloutNV.exe 1.4.0.525 image at the game's own addresses, for
// the Windows simulator and the game binding's tests: a PE header with its
// sections, the RTTI records and vtables of every class the binding checks,
// small functions at the published function addresses, the form map, the
// DataHandler, the console flag and the thread's TLS block. Objects are laid
// out as the game lays them out. Builds without it (Linux) have no image.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace cv::sim::image {

// The classes the image carries RTTI for.
enum class Class {
  Form,  // TESForm itself: a form of any other type
  Reference,
  Character,
  Creature,
  PlayerCharacter,
  NPC,
  CreatureBase,
  FormList,
  Quest,
  Package,
  DialoguePackage,
  HighProcess,
  MiddleHighProcess,
  MiddleLowProcess,
  LowProcess,
};

// Builds the image once, in the program's own image; true when it is there.
// False for a program not linked as a game image (cmake/game_image.cmake)
// and on builds without images.
bool Build();
bool Built();

// For a program about to load plug-ins: Build(), and when the image cannot
// be had, a line on standard error saying so.
bool Start();

// Game heap hooks (the functions at the heap addresses call them); by default
// the process heap.
struct Hooks {
  void* (*allocate)(std::uint32_t size) = nullptr;
  void (*free)(void* block) = nullptr;
  void (*print)(std::string_view line) = nullptr;
  // Misuse of the image's functions; by default kept for TakeErrors.
  void (*error)(std::string message) = nullptr;
};
void SetHooks(const Hooks& hooks);

// Misuse of the image's functions (a wrong calling convention, a format
// other than "%s"), oldest first; taken clears them.
std::vector<std::string> TakeErrors();

// A new zeroed object of the class, 0x200 bytes, its vtable set; forms get
// their type byte and refID. Objects live as long as the process.
void* New(Class c, std::uint8_t type = 0, std::uint32_t refID = 0);
// A zeroed block of any size with no RTTI at all.
void* NewRaw(std::uint32_t size);

template <class T>
void Put(void* object, std::uint32_t offset, T value) {
  std::memcpy(static_cast<char*>(object) + offset, &value, sizeof value);
}
template <class T>
T Get(const void* object, std::uint32_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(object) + offset, sizeof value);
  return value;
}

// A game String (char*, UInt16 length, UInt16 size) at offset; the text is
// copied into a block of its own.
void PutString(void* object, std::uint32_t offset, std::string_view text);
// A tList at offset holding these entries (the first node embedded).
void PutList(void* object, std::uint32_t offset, const std::vector<void*>& entries);

// The form map: every form by its refID (replaces what was there).
void SetForms(const std::vector<void*>& forms);
// The loaded mods, in load order.
void SetMods(const std::vector<std::string>& names);
// The console flags: open console and "executing from console" on this thread.
void SetConsoleMode(bool on);

}  // namespace cv::sim::image
