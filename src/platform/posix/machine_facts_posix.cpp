// Host body: CPUID where the processor has it; no NetBIOS.
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/machine_facts.h"

namespace platform {
namespace {
constexpr uint32_t kNetbiosNotDefined = 0x34;  // NRC_ENVNOTDEF
}  // namespace

bool ReadCpuId(uint32_t leaf, CpuIdRegisters* out) {
#if defined(__x86_64__) || defined(__i386__)
  __cpuid(leaf, out->eax, out->ebx, out->ecx, out->edx);
  return true;
#else
  *out = CpuIdRegisters();
  return false;
#endif
}

uint32_t EnumerateNetbiosAdapters(std::vector<uint8_t>* adapter_numbers) {
  adapter_numbers->clear();
  return kNetbiosNotDefined;
}

bool ResetNetbiosAdapter(uint8_t) { return false; }

bool QueryNetbiosAdapterAddress(uint8_t, AdapterAddress*) { return false; }

}  // namespace platform
