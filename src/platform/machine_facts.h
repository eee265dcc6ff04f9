#pragma once
// The hardware facts the machine identifier is made from: processor identification (the CPUID
// instruction) and NetBIOS adapter status. The host build answers from its own CPUID and has no
// NetBIOS.
#include <array>
#include <cstdint>
#include <vector>

namespace platform {

struct CpuIdRegisters {
  uint32_t eax = 0;
  uint32_t ebx = 0;
  uint32_t ecx = 0;
  uint32_t edx = 0;
};
// The registers of a CPUID leaf, as the processor answers (a leaf above the highest one it has
// gives whatever the processor gives). False where there is no such instruction.
bool ReadCpuId(uint32_t leaf, CpuIdRegisters* out);

using AdapterAddress = std::array<uint8_t, 6>;

// The LAN adapter numbers (NCBENUM with a 256-byte buffer). Returns 0 or the NetBIOS return
// code of the enumeration (the host build answers NRC_ENVNOTDEF, 0x34: no NetBIOS).
uint32_t EnumerateNetbiosAdapters(std::vector<uint8_t>* adapter_numbers);
// NCBRESET of the adapter; true when NetBIOS answers success.
bool ResetNetbiosAdapter(uint8_t adapter_number);
// NCBASTAT of the adapter for the call name "*" (a 600-byte status buffer): its address.
bool QueryNetbiosAdapterAddress(uint8_t adapter_number, AdapterAddress* address);

}  // namespace platform
