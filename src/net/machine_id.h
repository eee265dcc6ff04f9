#pragma once
// The machine identifier placed in report addresses: upper-case hexadecimal text made of the
// processor's leaf-1 EDX and EAX ("%X%X"), its leaf-3 EDX ("%X") and the address of the first
// physical network adapter ("%02X" x 6), or nothing for the adapter when none is found.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/machine_facts.h"

namespace net {

// The identifier, widened to UTF-16 one character per byte.
std::u16string GetMachineId();

// The adapter address as 12 hexadecimal digits into *text (empty when no status call succeeded).
// Returns 0, or the NetBIOS code of a failed adapter enumeration (then *text is empty).
uint32_t GetMacAddress(std::string* text);

// The pieces, for callers and tests that have the values already.
std::string FormatProcessorPart(uint32_t leaf1_edx, uint32_t leaf1_eax, uint32_t leaf3_edx);
std::string FormatAdapterAddress(const platform::AdapterAddress& address);

// Asks one adapter for its address (reset, then status); false when either call fails.
using AdapterAddressProbe = std::function<bool(uint8_t adapter_number, platform::AdapterAddress* address)>;
// Walks the adapters in order and takes the first address that does not begin with 00:50:56,
// a range of virtual-machine adapters. When every adapter is passed over, the last address read
// (one of that range) stands; empty when no adapter answered.
std::string ChooseAdapterAddress(const std::vector<uint8_t>& adapter_numbers, const AdapterAddressProbe& probe);

}  // namespace net
