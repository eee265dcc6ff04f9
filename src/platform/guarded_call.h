#pragma once
// Calling an entry point of a loaded library without letting a fault inside it end the process
// (Windows only; there is no host body). The compiler offers no structured exception handling
// here, so a vectored exception handler catches the fault on the calling thread and resumes
// execution at a context saved just before the call.
#include <cstdint>

namespace platform {

// Calls entry, a function without arguments that returns a 32-bit value with the platform's
// standard calling convention. True with *result when it returned; false with *fault_code (the
// exception code, e.g. 0xC0000005 for an access violation) when a fault ended the call. State
// the faulting code left behind (locks, memory) is not repaired: unload the library afterwards.
bool CallContainingFaults(const void* entry, int32_t* result, uint32_t* fault_code);

}  // namespace platform
