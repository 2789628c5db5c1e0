// The game binding over memory that changes while the program runs: the
// game frees, decommits and guards pages between two calls, so each call
// reads the memory as it is then. Objects, strings, list nodes and mod
// names sit on a page right before an unmapped one, so that reads reach the
// page's last bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "host/game_binding.h"
#include "sim/image/game_image.h"
#include "sim/image/game_layout.h"

namespace {

using namespace cv::sim::game_layout;
namespace image = cv::sim::image;
using image::Class;

// game-facts §3d step 3: the binding may read an actor base up to +0xE8; the
// String's UInt16 length follows its char* (§2.2.7).
constexpr Addr kActorBaseSpan = 0xE8;
constexpr Addr kModelLength = kBaseModelPath + 4;
constexpr Addr kPage = 0x1000;

TESForm* F(void* p) { return static_cast<TESForm*>(p); }

// A committed page whose next page is not.
char* PageBeforeAHole() {
  auto* two = static_cast<char*>(
      ::VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (two != nullptr && !::VirtualFree(two + kPage, kPage, MEM_DECOMMIT)) return nullptr;
  return two;
}

bool Protect(char* page, DWORD protection) {
  DWORD old = 0;
  return ::VirtualProtect(page, kPage, protection, &old) != 0;
}

bool Guarded(const char* page) {
  MEMORY_BASIC_INFORMATION m;
  return ::VirtualQuery(page, &m, sizeof m) == sizeof m && (m.Protect & PAGE_GUARD) != 0;
}

// Guard-page violations the program's own code meets, counted by a handler
// added last: every handler before it must pass them on. A touch of a
// thread's own stack guard may come as a stack overflow instead.
std::atomic<const char*> g_watched{nullptr};
std::atomic<int> g_guardHits{0};
LONG CALLBACK CountGuardHits(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  const bool guard =
      r->ExceptionCode == STATUS_GUARD_PAGE_VIOLATION || r->ExceptionCode == STATUS_STACK_OVERFLOW;
  if (guard && r->NumberParameters >= 2 &&
      r->ExceptionInformation[1] - reinterpret_cast<ULONG_PTR>(g_watched.load()) < kPage) {
    ++g_guardHits;
    return EXCEPTION_CONTINUE_EXECUTION;  // the guard is gone: the access now works
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// The owner touching its guarded page: whether its guard fired.
bool GuardFiresForOwner(const char* page) {
  g_watched = page;
  g_guardHits = 0;
  PVOID handler = ::AddVectoredExceptionHandler(0, CountGuardHits);
  if (handler == nullptr) return false;
  const char touched = *static_cast<const volatile char*>(page);
  static_cast<void>(touched);
  ::RemoveVectoredExceptionHandler(handler);
  return g_guardHits == 1;
}

// The guard page of the calling thread's stack: the one page of the
// stack's reservation that carries PAGE_GUARD; null when there is none.
char* OwnStackGuard() {
  const char here = 0;
  MEMORY_BASIC_INFORMATION m;
  if (::VirtualQuery(&here, &m, sizeof m) != sizeof m) return nullptr;
  auto* at = static_cast<char*>(m.AllocationBase);
  while (::VirtualQuery(at, &m, sizeof m) == sizeof m && m.AllocationBase != nullptr &&
         at < &here) {
    if (m.State == MEM_COMMIT && (m.Protect & PAGE_GUARD) != 0) return at;
    at = static_cast<char*>(m.BaseAddress) + m.RegionSize;
  }
  return nullptr;
}

// Uses about depth * 3 KiB of stack, a page at a time.
__attribute__((noinline)) int Deep(int depth) {
  volatile char frame[3000];
  frame[0] = static_cast<char>(depth);
  frame[sizeof frame - 1] = 1;
  return depth == 0 ? frame[0] : Deep(depth - 1) + frame[sizeof frame - 1];
}

// A thread that tells where its stack's guard page is, waits, then runs
// 256 KiB further down its stack.
struct StackThread {
  HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char* guard = nullptr;
  int depth = 0;
};
DWORD WINAPI StackThreadBody(void* arg) {
  auto* s = static_cast<StackThread*>(arg);
  s->guard = OwnStackGuard();
  ::SetEvent(s->ready);
  ::WaitForSingleObject(s->go, INFINITE);
  s->depth = Deep(85);
  return 0;
}

// A thread that runs its stack down to within two pages of its guard page,
// then reads that page through the binding, with CountGuardHits watching it
// (any fault the binding passed on would reach it), then touches the page
// itself, as its next deeper call would.
struct NearlyFullStack {
  const CVEngineInterface* engine = nullptr;
  char* guard = nullptr;       // before the read
  char* guardAfter = nullptr;  // after it
  bool reached = false;        // the stack ran down that far
  bool valid = true;           // what the read gave
  int passedOn = -1;           // faults that reached CountGuardHits during the read
  int ownerHits = -1;          // and when the thread touched its guard
};
__attribute__((noinline)) void RunDown(NearlyFullStack* s) {
  volatile char frame[512];
  frame[0] = 0;
  if (const_cast<char*>(&frame[0]) - s->guard > static_cast<std::ptrdiff_t>(2 * kPage)) {
    RunDown(s);
    frame[1] = frame[0];  // no tail call: every frame stays on the stack
    return;
  }
  s->reached = true;
  g_guardHits = 0;
  s->valid = s->engine->IsValidObject(s->guard);
  s->passedOn = g_guardHits;
  s->guardAfter = OwnStackGuard();
  if (s->guardAfter == s->guard) {
    const char touched = *static_cast<const volatile char*>(s->guard);
    static_cast<void>(touched);
    s->ownerHits = g_guardHits;
  }
}
DWORD WINAPI NearlyFullStackBody(void* arg) {
  auto* s = static_cast<NearlyFullStack*>(arg);
  s->guard = OwnStackGuard();
  g_watched = s->guard;
  if (s->guard != nullptr) RunDown(s);
  return 0;
}

class GameMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(image::Build()) << "the miniature image could not be built";
    engine_ = cv::host::GameEngine();
    ASSERT_NE(engine_, nullptr);
  }
  void TearDown() override { EXPECT_EQ(image::TakeErrors(), std::vector<std::string>{}); }
  const CVEngineInterface& E() const { return *engine_; }

 private:
  const CVEngineInterface* engine_ = nullptr;
};

// Each kind of change, made after a first round of calls that read
// everything: the next round gives nothing, and a guard stays the owner's.
TEST_F(GameMemory, ChangesBetweenCallsAreSeenByTheNextCall) {
  struct Change {
    const char* what;
    std::function<bool(char* page)> make;
    bool guard;
  };
  const Change changes[] = {
      {"released", [](char* p) { return ::VirtualFree(p, 0, MEM_RELEASE) != 0; }, false},
      {"decommitted", [](char* p) { return ::VirtualFree(p, kPage, MEM_DECOMMIT) != 0; }, false},
      {"no access", [](char* p) { return Protect(p, PAGE_NOACCESS); }, false},
      {"guarded", [](char* p) { return Protect(p, PAGE_READWRITE | PAGE_GUARD); }, true},
  };
  const std::string path = "Edge\\Skeleton.nif";
  void* npc = image::New(Class::NPC, kTypeNPC, 0x700);
  image::PutString(npc, kBaseModelPath, "Image\\Skeleton.nif");
  // Two mods, the second one's info on the page; the DataHandler is put
  // back after each case.
  auto* handler = image::Get<char*>(reinterpret_cast<void*>(std::uintptr_t{kDataHandlerPtr}), 0);
  ASSERT_NE(handler, nullptr);
  char slots[8 + 4];
  std::memcpy(slots, handler + kDataMods, 8);
  std::memcpy(slots + 8, handler + kDataModCount, 4);
  auto* firstMod = static_cast<char*>(image::NewRaw(kModInfoSize));
  std::strcpy(firstMod + kModName, "FalloutNV.esm");
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    char* objects = PageBeforeAHole();
    char* text = PageBeforeAHole();
    ASSERT_NE(objects, nullptr);
    ASSERT_NE(text, nullptr);
    // An actor base whose readable span ends on the page's last byte.
    char* base = objects + kPage - kActorBaseSpan;
    std::memcpy(base, npc, kActorBaseSpan);
    // A model path whose last byte is the page's last.
    void* pathNpc = image::New(Class::NPC, kTypeNPC, 0x701);
    char* pathText = text + kPage - path.size();
    std::memcpy(pathText, path.data(), path.size());
    image::Put(pathNpc, kBaseModelPath, pathText);
    image::Put<std::uint16_t>(pathNpc, kModelLength, static_cast<std::uint16_t>(path.size()));
    // A form list whose second node is on the page.
    void* list = image::New(Class::FormList, kTypeFormList, 0x702);
    image::PutList(list, kListHead, {npc});
    char* node = objects + 0x800;
    image::Put<void*>(node, kNodeData, npc);
    image::Put<void*>(node, kNodeNext, nullptr);
    image::Put<void*>(list, kListHead + kNodeNext, node);
    std::strcpy(objects + kModName, "Paged.esm");
    image::Put<void*>(handler, kDataMods, firstMod);
    image::Put<void*>(handler, kDataMods + 4, objects);
    image::Put<std::uint32_t>(handler, kDataModCount, 2);

    EXPECT_EQ(E().DynamicCast(base, kCVKind_ActorBase), base);
    EXPECT_EQ(E().GetRefID(F(base)), 0x700u);
    ASSERT_NE(E().GetSkeletonModelPath(F(pathNpc)), nullptr);
    EXPECT_EQ(E().GetSkeletonModelPath(F(pathNpc)), path);
    EXPECT_EQ(E().GetFormListCount(F(list)), 2u);
    EXPECT_EQ(E().GetFormListEntry(F(list), 1), F(npc));
    ASSERT_NE(E().GetModName(1), nullptr);
    EXPECT_STREQ(E().GetModName(1), "Paged.esm");

    ASSERT_TRUE(c.make(objects));
    ASSERT_TRUE(c.make(text));
    EXPECT_EQ(E().DynamicCast(base, kCVKind_ActorBase), nullptr);
    EXPECT_EQ(E().GetRefID(F(base)), 0u);
    EXPECT_EQ(E().GetSkeletonModelPath(F(base)), nullptr);
    EXPECT_EQ(E().GetSkeletonModelPath(F(pathNpc)), nullptr);
    EXPECT_EQ(E().GetFormListCount(F(list)), 1u);  // the list ends where it cannot be read
    EXPECT_EQ(E().GetFormListEntry(F(list), 1), nullptr);
    EXPECT_EQ(E().GetModName(1), nullptr);
    EXPECT_STREQ(E().GetModName(0), "FalloutNV.esm");
    EXPECT_FALSE(E().IsValidObject(base));

    if (c.guard) {
      for (char* page : {objects, text}) {
        EXPECT_TRUE(Guarded(page)) << "a read took the page's guard";
        EXPECT_TRUE(GuardFiresForOwner(page));
        EXPECT_FALSE(Guarded(page));  // it fired once, as a guard does
      }
    }
    std::memcpy(handler + kDataMods, slots, 8);
    std::memcpy(handler + kDataModCount, slots + 8, 4);
    if (std::strcmp(c.what, "released") != 0) {
      ::VirtualFree(objects, 0, MEM_RELEASE);
      ::VirtualFree(text, 0, MEM_RELEASE);
    }
  }
}

// Stack guard pages. Another thread's keeps its guard, and that thread's
// stack still grows afterwards. The reading thread's own is stack growth to
// the system (Windows) or the guard of its stack's last page (Wine): either
// way the read gives nothing and the thread keeps a guard.
TEST_F(GameMemory, StackGuardPagesStayWithTheirThreads) {
  StackThread s;
  ASSERT_NE(s.ready, nullptr);
  ASSERT_NE(s.go, nullptr);
  HANDLE thread = ::CreateThread(nullptr, 1 << 20, StackThreadBody, &s,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(::WaitForSingleObject(s.ready, 10000), WAIT_OBJECT_0);
  ASSERT_NE(s.guard, nullptr) << "the thread's stack has no guard page";
  EXPECT_FALSE(E().IsValidObject(s.guard));
  EXPECT_EQ(E().GetRefID(F(s.guard)), 0u);
  EXPECT_TRUE(Guarded(s.guard)) << "a read took another thread's stack guard";
  ::SetEvent(s.go);
  ASSERT_EQ(::WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(s.depth, 85);
  ::CloseHandle(thread);
  ::CloseHandle(s.ready);
  ::CloseHandle(s.go);

  // A fault the binding passed on reaches the watcher, added last.
  char* own = OwnStackGuard();
  ASSERT_NE(own, nullptr);
  g_watched = own;
  g_guardHits = 0;
  PVOID watcher = ::AddVectoredExceptionHandler(0, CountGuardHits);
  ASSERT_NE(watcher, nullptr);
  EXPECT_FALSE(E().IsValidObject(own));
  ::RemoveVectoredExceptionHandler(watcher);
  g_watched = nullptr;
  EXPECT_EQ(g_guardHits, 0) << "the read's fault reached a later handler";
  EXPECT_NE(OwnStackGuard(), nullptr);
  EXPECT_EQ(Deep(40), 40);
}

// The reading thread's own stack guard, with its stack nearly used up: the
// touch is a stack overflow (Wine keeps the guard at the stack's bottom;
// Windows raises one at the last guard). The read fails, nothing reaches
// the handlers after the binding's, and the guard stays where it was, so
// the thread's next touch is its overflow check again. Where the system
// took the touch as stack growth instead (Windows, above the last guard),
// the guard moved down and the read may work.
TEST_F(GameMemory, AReadOfTheThreadsOwnStackGuardFailsCleanly) {
  NearlyFullStack s;
  s.engine = &E();
  PVOID watcher = ::AddVectoredExceptionHandler(0, CountGuardHits);
  ASSERT_NE(watcher, nullptr);
  HANDLE thread = ::CreateThread(nullptr, 256 * 1024, NearlyFullStackBody, &s,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(thread, nullptr);
  const DWORD waited = ::WaitForSingleObject(thread, 10000);
  ::RemoveVectoredExceptionHandler(watcher);
  g_watched = nullptr;
  ASSERT_EQ(waited, WAIT_OBJECT_0);
  DWORD code = 1;
  EXPECT_TRUE(::GetExitCodeThread(thread, &code));
  ::CloseHandle(thread);
  EXPECT_EQ(code, 0u) << "the thread died";
  ASSERT_NE(s.guard, nullptr) << "the thread's stack has no guard page";
  ASSERT_TRUE(s.reached);
  EXPECT_EQ(s.passedOn, 0) << "the read's fault reached a later handler";
  ASSERT_NE(s.guardAfter, nullptr) << "the read took the thread's stack guard";
  if (s.guardAfter == s.guard) {
    EXPECT_FALSE(s.valid) << "the stack guard read as an object";
    EXPECT_EQ(s.ownerHits, 1) << "the thread's own touch of its guard was no overflow";
  } else {
    EXPECT_LT(s.guardAfter, s.guard) << "the guard moved up the stack";
  }
}

// Class answers are remembered per vtable, never per object: an object
// whose vtable changes between calls (a freed form, its memory reused by
// another class) is judged by the vtable it has now.
TEST_F(GameMemory, ObjectsAreJudgedByTheVtableTheyHaveNow) {
  void* object = image::New(Class::Character, kTypeCharacter, 0x710);
  void* npc = image::New(Class::NPC, kTypeNPC, 0x711);
  EXPECT_EQ(E().DynamicCast(object, kCVKind_Actor), object);
  EXPECT_EQ(E().DynamicCast(object, kCVKind_ActorBase), nullptr);
  image::Put(object, 0, image::Get<Addr>(npc, 0));
  image::Put<std::uint8_t>(object, kFormTypeID, kTypeNPC);
  EXPECT_EQ(E().DynamicCast(object, kCVKind_Actor), nullptr);
  EXPECT_EQ(E().DynamicCast(object, kCVKind_ActorBase), object);
  EXPECT_TRUE(E().IsValidObject(object));
  image::Put<Addr>(object, 0, 0);
  EXPECT_EQ(E().DynamicCast(object, kCVKind_ActorBase), nullptr);
  EXPECT_FALSE(E().IsValidObject(object));
}

}  // namespace
