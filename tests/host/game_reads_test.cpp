// The binding's fault-catching reads (host/fnv/safe_read.h, memory.h) at
// their edges: a fault that is no failed read passes on to the handlers
// after the binding's, and a range reads only when every page it spans does.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "host/fnv/memory.h"
#include "host/fnv/safe_read.h"

namespace {

using cv::fnv::Addr;
constexpr Addr kPage = 0x1000;

Addr AddrOf(const void* p) { return static_cast<Addr>(reinterpret_cast<std::uintptr_t>(p)); }

bool Protect(char* page, DWORD protection) {
  DWORD old = 0;
  return ::VirtualProtect(page, kPage, protection, &old) != 0;
}

bool Guarded(const char* page) {
  MEMORY_BASIC_INFORMATION m;
  return ::VirtualQuery(page, &m, sizeof m) == sizeof m && (m.Protect & PAGE_GUARD) != 0;
}

// Pages committed read-write, released when done.
struct Pages {
  explicit Pages(Addr count)
      : at(static_cast<char*>(
            ::VirtualAlloc(nullptr, count * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
  ~Pages() {
    if (at != nullptr) ::VirtualFree(at, 0, MEM_RELEASE);
  }
  Pages(const Pages&) = delete;
  Pages& operator=(const Pages&) = delete;
  char* at;
};

// Write faults on the watched page, seen by a handler added last: it makes
// the page writable again and lets the write go on, as a program's own
// handler that mends its memory would.
char* g_mended = nullptr;
int g_writeFaults = 0;
LONG CALLBACK MendWrites(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  const DWORD code = r->ExceptionCode;
  if ((code != EXCEPTION_ACCESS_VIOLATION && code != STATUS_GUARD_PAGE_VIOLATION) ||
      r->NumberParameters < 2 || r->ExceptionInformation[0] != 1 ||
      r->ExceptionInformation[1] - reinterpret_cast<ULONG_PTR>(g_mended) >= kPage)
    return EXCEPTION_CONTINUE_SEARCH;
  ++g_writeFaults;
  if (!Protect(g_mended, PAGE_READWRITE)) return EXCEPTION_CONTINUE_SEARCH;
  return EXCEPTION_CONTINUE_EXECUTION;
}

// The copy routine writes into the caller's buffer. A fault writing it is
// the plug-in's own bug, not a read that failed: it reaches the handlers
// after the binding's, and once one of them mends the page the copy goes
// on and succeeds. A source that does not read still fails the copy
// before anything is written.
TEST(GameReads, AWriteFaultInTheCopyReachesTheNextHandler) {
  ASSERT_TRUE(cv::fnv::InstallSafeReads());
  struct Case {
    const char* what;
    DWORD destination;  // the protection of the page written
    bool sourceReads;   // the source page reads
    bool copied;        // what the copy gives
    int writeFaults;    // faults the later handler saw
  };
  const Case cases[] = {
      {"a read-only destination", PAGE_READONLY, true, true, 1},
      {"a destination with no access", PAGE_NOACCESS, true, true, 1},
      {"a guarded destination", PAGE_READWRITE | PAGE_GUARD, true, true, 1},
      {"a writable destination", PAGE_READWRITE, true, true, 0},
      {"a source that does not read", PAGE_READONLY, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Pages source(1);
    Pages destination(1);
    ASSERT_NE(source.at, nullptr);
    ASSERT_NE(destination.at, nullptr);
    const std::string text = "copied across";
    std::memcpy(source.at + 0x10, text.c_str(), text.size() + 1);
    if (!c.sourceReads) {
      ASSERT_TRUE(Protect(source.at, PAGE_NOACCESS));
    }
    ASSERT_TRUE(Protect(destination.at, c.destination));
    g_mended = destination.at;
    g_writeFaults = 0;
    PVOID handler = ::AddVectoredExceptionHandler(0, MendWrites);
    ASSERT_NE(handler, nullptr);
    const bool copied = cv::fnv::SafeCopy(destination.at + 0x20, AddrOf(source.at + 0x10),
                                          static_cast<std::uint32_t>(text.size() + 1));
    ::RemoveVectoredExceptionHandler(handler);
    g_mended = nullptr;
    EXPECT_EQ(copied, c.copied);
    EXPECT_EQ(g_writeFaults, c.writeFaults);
    if (c.copied) {
      ASSERT_TRUE(Protect(destination.at, PAGE_READWRITE));
      EXPECT_STREQ(destination.at + 0x20, text.c_str());
    }
  }
}

// A range reads only when every page it touches does, however many pages
// it spans and wherever on its first page it starts: one page that does
// not read, the last one above all, makes the whole range unreadable, and
// a guard page keeps its guard.
TEST(GameReads, ARangeReadsOnlyWhenEveryPageItSpansReads) {
  ASSERT_TRUE(cv::fnv::InstallSafeReads());
  struct Spoiler {
    const char* what;
    std::function<bool(char* page)> make;  // makes the page unreadable
    bool guard;
  };
  const Spoiler spoilers[] = {
      {"decommitted", [](char* p) { return ::VirtualFree(p, kPage, MEM_DECOMMIT) != 0; }, false},
      {"no access", [](char* p) { return Protect(p, PAGE_NOACCESS); }, false},
      {"guarded", [](char* p) { return Protect(p, PAGE_READWRITE | PAGE_GUARD); }, true},
  };
  struct Case {
    Addr pages;  // the range spans this many pages
    Addr start;  // its offset on its first page
    Addr bad;    // the page that does not read, counted from the first
  };
  const Case cases[] = {
      {2, 0x000, 1}, {2, 0xFFF, 1}, {2, 0x800, 0}, {3, 0x004, 2}, {3, 0xFFC, 2},   {3, 0x010, 1},
      {4, 0x123, 3}, {8, 0x000, 7}, {8, 0xFFF, 7}, {8, 0x800, 4}, {17, 0x7F0, 16},
  };
  for (const Spoiler& spoiler : spoilers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(spoiler.what) + ": " + std::to_string(c.pages) +
                   " pages from offset " + std::to_string(c.start) + ", page " +
                   std::to_string(c.bad) + " unreadable");
      Pages pages(c.pages + 1);  // and one after the range, which reads
      ASSERT_NE(pages.at, nullptr);
      const Addr begin = AddrOf(pages.at) + c.start;
      // The range ends on the first byte of its last page.
      const Addr bytes = (c.pages - 1) * kPage - c.start + 1;
      ASSERT_TRUE(cv::fnv::Readable(begin, bytes)) << "before the page was made unreadable";
      char* bad = pages.at + c.bad * kPage;
      ASSERT_TRUE(spoiler.make(bad));
      EXPECT_FALSE(cv::fnv::Readable(begin, bytes));
      // One byte shorter, the range ends before a bad last page, and reads.
      if (c.bad == c.pages - 1) {
        EXPECT_TRUE(cv::fnv::Readable(begin, bytes - 1));
      }
      if (spoiler.guard) {
        EXPECT_TRUE(Guarded(bad)) << "a read took the page's guard";
      }
    }
  }
  // A range that wraps past 4 GiB never reads.
  Pages one(1);
  EXPECT_FALSE(cv::fnv::Readable(AddrOf(one.at), 0u - AddrOf(one.at) + 1));
}

}  // namespace
