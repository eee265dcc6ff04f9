#include <windows.h>

#include "platform/guarded_call.h"

namespace platform {
namespace {

using EntryPoint = int32_t(WINAPI*)();

struct GuardFrame {
  CONTEXT resume;                // saved just before the call
  volatile DWORD fault_code = 0;  // set by the handler; read after resuming
};

thread_local GuardFrame* t_frame = nullptr;

// Error-severity exceptions only: informational ones (debug output, thread names) pass, and a
// C++ exception thrown and caught inside the library is not a fault.
bool IsFault(DWORD code) { return (code & 0xC0000000u) == 0xC0000000u && code != 0xE06D7363u && code != 0x20474343u; }

LONG CALLBACK ResumeAfterFault(EXCEPTION_POINTERS* info) {
  GuardFrame* frame = t_frame;
  if (!frame || frame->fault_code != 0 || !IsFault(info->ExceptionRecord->ExceptionCode)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  frame->fault_code = info->ExceptionRecord->ExceptionCode;
  *info->ContextRecord = frame->resume;
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Not inlined: the frame that RtlCaptureContext saves must stay alive until the handler has
// resumed in it.
#if defined(_MSC_VER)
#define NORV_NOINLINE __declspec(noinline)
#else
#define NORV_NOINLINE __attribute__((noinline))
#endif
NORV_NOINLINE DWORD CallGuarded(EntryPoint entry, int32_t* result) {
  GuardFrame frame;
  GuardFrame* volatile previous = t_frame;
  t_frame = &frame;
  RtlCaptureContext(&frame.resume);
  // Reached twice when the call faults: then fault_code is set and the call is not repeated.
  if (frame.fault_code == 0) *result = entry();
  t_frame = previous;
  return frame.fault_code;
}

}  // namespace

bool CallContainingFaults(const void* entry, int32_t* result, uint32_t* fault_code) {
  *fault_code = 0;
  PVOID handler = AddVectoredExceptionHandler(1, ResumeAfterFault);
  if (!handler) return false;
  const DWORD code = CallGuarded(reinterpret_cast<EntryPoint>(const_cast<void*>(entry)), result);
  RemoveVectoredExceptionHandler(handler);
  *fault_code = code;
  return code == 0;
}

}  // namespace platform
