#pragma once
// The machine type of a Windows executable image (PE file), read before a DLL is loaded: a
// 64-bit process can load only a 64-bit DLL.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace engine {

constexpr uint16_t kPeMachineX86 = 0x014C;
constexpr uint16_t kPeMachineAmd64 = 0x8664;

// The bytes from the start of the file that cover the headers read (the DOS header's offset of
// the PE header is trusted only within this range).
constexpr size_t kPeHeaderProbeBytes = 4096;

// The COFF machine field of the image whose first bytes are data; 0 when the bytes are not a
// PE image ("MZ", a PE header offset inside the data, "PE\0\0").
uint16_t ReadPeMachine(const uint8_t* data, size_t size);

// The machine type of the image at path; 0 when it cannot be read or is no PE image.
uint16_t ReadFileMachine(std::u16string_view path);

}  // namespace engine
