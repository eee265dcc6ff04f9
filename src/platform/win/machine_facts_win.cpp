#include <windows.h>
#include <intrin.h>
#include <nb30.h>

#include <cstring>

#include "platform/machine_facts.h"

namespace platform {
namespace {

// NCBASTAT's answer: the adapter status and room for the names the adapter reports.
constexpr size_t kStatusBufferBytes = 600;
static_assert(sizeof(ADAPTER_STATUS) <= kStatusBufferBytes, "status buffer too small");

// NETAPI32 is no known DLL: imported by the program, it would be looked for beside the program
// first, where a planted copy could wait. It is loaded on first use from the system folder.
UCHAR RunNcb(NCB* ncb) {
  using NetbiosCall = UCHAR(APIENTRY*)(PNCB);
  static const NetbiosCall call = [] {
    HMODULE module = LoadLibraryExW(L"netapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? reinterpret_cast<NetbiosCall>(reinterpret_cast<void*>(GetProcAddress(module, "Netbios")))
                  : nullptr;
  }();
  return call ? call(ncb) : static_cast<UCHAR>(NRC_ENVNOTDEF);
}

}  // namespace

bool ReadCpuId(uint32_t leaf, CpuIdRegisters* out) {
  int registers[4] = {};
  __cpuid(registers, static_cast<int>(leaf));
  out->eax = static_cast<uint32_t>(registers[0]);
  out->ebx = static_cast<uint32_t>(registers[1]);
  out->ecx = static_cast<uint32_t>(registers[2]);
  out->edx = static_cast<uint32_t>(registers[3]);
  return true;
}

uint32_t EnumerateNetbiosAdapters(std::vector<uint8_t>* adapter_numbers) {
  adapter_numbers->clear();
  LANA_ENUM lanas = {};
  static_assert(sizeof lanas <= 256, "LANA_ENUM larger than its buffer");
  NCB ncb = {};
  ncb.ncb_command = NCBENUM;
  ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
  ncb.ncb_length = sizeof lanas;
  const UCHAR result = RunNcb(&ncb);
  if (result != NRC_GOODRET) return result;
  const size_t count = lanas.length < sizeof lanas.lana ? lanas.length : sizeof lanas.lana;
  adapter_numbers->assign(lanas.lana, lanas.lana + count);
  return 0;
}

bool ResetNetbiosAdapter(uint8_t adapter_number) {
  NCB ncb = {};
  ncb.ncb_command = NCBRESET;
  ncb.ncb_lana_num = adapter_number;
  return RunNcb(&ncb) == NRC_GOODRET;
}

bool QueryNetbiosAdapterAddress(uint8_t adapter_number, AdapterAddress* address) {
  alignas(ADAPTER_STATUS) UCHAR status[kStatusBufferBytes] = {};
  NCB ncb = {};
  ncb.ncb_command = NCBASTAT;
  ncb.ncb_lana_num = adapter_number;
  std::memset(ncb.ncb_callname, ' ', sizeof ncb.ncb_callname);
  ncb.ncb_callname[0] = '*';
  ncb.ncb_buffer = status;
  ncb.ncb_length = sizeof status;
  if (RunNcb(&ncb) != NRC_GOODRET) return false;
  const ADAPTER_STATUS* adapter = reinterpret_cast<const ADAPTER_STATUS*>(status);
  std::memcpy(address->data(), adapter->adapter_address, address->size());
  return true;
}

}  // namespace platform
