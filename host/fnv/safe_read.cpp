// The read routines and their exception handler (see safe_read.h).
//
// How a fault of a read is told apart from every other one: the handler
// acts only when all of these hold, and passes anything else on
// (EXCEPTION_CONTINUE_SEARCH) without changing it:
//   - the code is an access violation, a guard-page violation, a stack
//     overflow (a touch of a stack's last guard page) or an in-page error (a
//     mapped file that cannot be read);
//   - the faulting instruction (EIP, and the record's address) is exactly
//     one of the two load instructions below, which only this file's
//     routines execute;
//   - the access was a read (a fault writing the caller's own buffer is a
//     bug of the plug-in, and must show as one).
// It then sets EIP to that routine's failure exit, which returns 0 with the
// stack as the routine left it, and continues execution.
//
// Guard pages. Touching a PAGE_GUARD page consumes the guard: the system
// clears PAGE_GUARD before it raises the guard-page violation (Windows, and
// Wine 8's fault handler alike). So the handler puts the guard back
// (VirtualProtect, on that one page) before failing the read, and the
// page's owner still gets its one-shot signal when it touches the page.
// Thread stacks, whose growth rests on their guard page:
//   - Another thread's stack guard raises the violation like any other guard
//     page and is put back at once. In the moment between the system
//     clearing it and the handler restoring it, the owner could run onto
//     that page and past it into reserved memory (a fault there instead of
//     stack growth); only a corrupt pointer points there while the owner's
//     stack is that deep.
//   - The reading thread's own stack guard is stack growth to the system.
//     On Windows the stack commits on demand and the guard sits just below
//     the committed part: the touch commits the page, moves the guard one
//     page down and the read succeeds, as a deeper call would. Wine 8
//     commits the whole stack and keeps the guard at its bottom, inside the
//     guaranteed reserve, so the touch raises a stack overflow with the
//     guard cleared (measured: tests/host/game_memory_test.cpp); on Windows
//     so does a touch of the last guard of a nearly exhausted stack. The
//     handler then puts the guard back too and fails the read, so that the
//     thread keeps its overflow check.
// Other vectored handlers: one added with "first" after this one (a crash
// logger, say) sees a read fault before this handler does. If it passes it
// on, as loggers do, this handler fails the read as usual (the logger may
// have written a line about it). If it ends the process or resumes without
// mending the context, the read never fails cleanly: that handler decides.
// Structured (frame) handlers of the game never see these faults, as the
// vectored handler answers first.
#include "host/fnv/safe_read.h"

#include <windows.h>

static_assert(sizeof(void*) == 4, "the read routines are written for 32-bit x86");

// fastcall uint64 cv_fnv_safe_read_word(uint32 address): the word in EAX
// and 1 in EDX, or 0 in both when the load faulted.
// cdecl int cv_fnv_safe_copy(void* out, uint32 address, uint32 bytes): 1, or
// 0 when a byte faulted. The direction flag is clear on entry (the ABI's).
__asm__(R"(
    .text
    .p2align 4
    .globl cv_fnv_safe_read_word
cv_fnv_safe_read_word:
    .globl cv_fnv_safe_read_word_load
cv_fnv_safe_read_word_load:
    movl (%ecx), %eax
    movl $1, %edx
    ret
    .globl cv_fnv_safe_read_word_fail
cv_fnv_safe_read_word_fail:
    xorl %eax, %eax
    xorl %edx, %edx
    ret

    .p2align 4
    .globl cv_fnv_safe_copy
cv_fnv_safe_copy:
    pushl %esi
    pushl %edi
    movl 12(%esp), %edi
    movl 16(%esp), %esi
    movl 20(%esp), %ecx
    .globl cv_fnv_safe_copy_load
cv_fnv_safe_copy_load:
    rep movsb
    movl $1, %eax
    popl %edi
    popl %esi
    ret
    .globl cv_fnv_safe_copy_fail
cv_fnv_safe_copy_fail:
    xorl %eax, %eax
    popl %edi
    popl %esi
    ret
)");

extern "C" const char kReadWordLoad[] __asm__("cv_fnv_safe_read_word_load");
extern "C" const char kReadWordFail[] __asm__("cv_fnv_safe_read_word_fail");
extern "C" const char kCopyLoad[] __asm__("cv_fnv_safe_copy_load");
extern "C" const char kCopyFail[] __asm__("cv_fnv_safe_copy_fail");

namespace cv::fnv {

namespace detail {
bool g_safeReadsReady = false;
}  // namespace detail

namespace {

constexpr ULONG_PTR kPageSize = 0x1000;  // x86 Windows pages
constexpr ULONG_PTR kReadAccess = 0;     // ExceptionInformation[0] of a read fault

DWORD AddressOf(const char* label) {
  return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(label));
}

// The failure exit for a fault at eip, or 0 when eip is none of the loads.
DWORD FailureExit(DWORD eip) {
  if (eip == AddressOf(kReadWordLoad)) return AddressOf(kReadWordFail);
  if (eip == AddressOf(kCopyLoad)) return AddressOf(kCopyFail);
  return 0;
}

// The system cleared the page's guard when the read touched it: set it again
// on that one page, unless the page has since changed under us.
void RestoreGuard(ULONG_PTR address) {
  void* page = reinterpret_cast<void*>(address & ~(kPageSize - 1));
  MEMORY_BASIC_INFORMATION m;
  if (::VirtualQuery(page, &m, sizeof m) != sizeof m || m.State != MEM_COMMIT ||
      (m.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0)
    return;
  DWORD old = 0;
  ::VirtualProtect(page, 1, m.Protect | PAGE_GUARD, &old);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  CONTEXT* c = info->ContextRecord;
  if (r == nullptr || c == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  const DWORD code = r->ExceptionCode;
  const bool guard = code == STATUS_GUARD_PAGE_VIOLATION || code == STATUS_STACK_OVERFLOW;
  if (code != EXCEPTION_ACCESS_VIOLATION && code != EXCEPTION_IN_PAGE_ERROR && !guard)
    return EXCEPTION_CONTINUE_SEARCH;
  const DWORD resume = FailureExit(c->Eip);
  if (resume == 0 || reinterpret_cast<ULONG_PTR>(r->ExceptionAddress) != c->Eip ||
      r->NumberParameters < 2 || r->ExceptionInformation[0] != kReadAccess)
    return EXCEPTION_CONTINUE_SEARCH;
  if (guard) RestoreGuard(r->ExceptionInformation[1]);
  c->Eip = resume;
  return EXCEPTION_CONTINUE_EXECUTION;
}

// The handler stays for the life of the plug-in; it is taken out when the
// plug-in is unloaded (its code would be gone).
struct Handler {
  PVOID handle = nullptr;
  Handler() : handle(::AddVectoredExceptionHandler(1, OnException)) {}
  ~Handler() {
    detail::g_safeReadsReady = false;
    if (handle != nullptr) ::RemoveVectoredExceptionHandler(handle);
  }
  Handler(const Handler&) = delete;
  Handler& operator=(const Handler&) = delete;
};

}  // namespace

bool InstallSafeReads() {
  static const Handler handler;
  detail::g_safeReadsReady = handler.handle != nullptr;
  return detail::g_safeReadsReady;
}

}  // namespace cv::fnv
