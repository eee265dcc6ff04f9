#include "net/machine_id.h"

#include <cstdio>

#include "base/strings.h"

namespace net {
namespace {
constexpr char kVirtualMachineRange[] = "005056";
}  // namespace

std::string FormatProcessorPart(uint32_t leaf1_edx, uint32_t leaf1_eax, uint32_t leaf3_edx) {
  char text[3 * 8 + 1];
  std::snprintf(text, sizeof text, "%X%X%X", static_cast<unsigned>(leaf1_edx), static_cast<unsigned>(leaf1_eax),
                static_cast<unsigned>(leaf3_edx));
  return text;
}

std::string FormatAdapterAddress(const platform::AdapterAddress& a) {
  char text[13];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  return text;
}

std::string ChooseAdapterAddress(const std::vector<uint8_t>& adapter_numbers, const AdapterAddressProbe& probe) {
  std::string text;
  for (const uint8_t number : adapter_numbers) {
    platform::AdapterAddress address{};
    if (!probe(number, &address)) continue;
    text = FormatAdapterAddress(address);
    if (text.compare(0, 6, kVirtualMachineRange) != 0) break;
  }
  return text;
}

uint32_t GetMacAddress(std::string* text) {
  text->clear();
  std::vector<uint8_t> adapters;
  const uint32_t result = platform::EnumerateNetbiosAdapters(&adapters);
  if (result != 0) return result;
  *text = ChooseAdapterAddress(adapters, [](uint8_t number, platform::AdapterAddress* address) {
    return platform::ResetNetbiosAdapter(number) && platform::QueryNetbiosAdapterAddress(number, address);
  });
  return 0;
}

std::u16string GetMachineId() {
  platform::CpuIdRegisters leaf1, leaf3;
  platform::ReadCpuId(1, &leaf1);
  platform::ReadCpuId(3, &leaf3);
  std::string adapter;
  GetMacAddress(&adapter);
  return base::AsciiToUtf16(FormatProcessorPart(leaf1.edx, leaf1.eax, leaf3.edx) + adapter);
}

}  // namespace net
