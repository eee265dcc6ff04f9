#pragma once
// OsMask: the Windows-version bits that select composes ("SupportOS") and files (field 15).
// Masks in description files use the same bits as GetOsMask produces.
#include <cstdint>
#include <string_view>

#include "platform/os_version.h"

namespace engine {

using OsMask = uint32_t;

constexpr OsMask kOs9xFamily = 0x00000001;   // with the version bit, when not on 64-bit Windows
constexpr OsMask kOsNtFamily = 0x00000002;   // with the version bit, when not on 64-bit Windows
constexpr OsMask kOsWin64 = 0x00000400;      // 64-bit Windows, any version other than 5.2
constexpr OsMask kOs9x40 = 0x00010000;
constexpr OsMask kOs9x410 = 0x00020000;
constexpr OsMask kOs9x490 = 0x00040000;
constexpr OsMask kOsNt40 = 0x00080000;
constexpr OsMask kOsNt50 = 0x00100000;
constexpr OsMask kOsOther = 0x00200000;      // any other version, also NT 5.1 before SP2
constexpr OsMask kOsNt51Sp2 = 0x00400000;    // NT 5.1 with service pack 2 or later
constexpr OsMask kOsNt52 = 0x00800000;
constexpr OsMask kOsNt6 = 0x01000000;        // NT 6.x, any minor version
constexpr OsMask kOsWin64Nt52 = 0x02000000;  // 64-bit Windows, version 5.2

// A file whose mask has one of these bits is a 64-bit system file: its "$SYSTEM32" is the real
// system folder of 64-bit Windows.
constexpr OsMask kOs64BitFileBits = kOsWin64 | kOsWin64Nt52;

// The mask of a system with these facts. On 64-bit Windows it is exactly kOsWin64Nt52 (5.2) or
// kOsWin64; otherwise the version bit with kOsNtFamily or kOs9xFamily. *is_nt (optional) is set
// to whether the platform is of the NT family.
OsMask OsMaskFromVersion(const platform::OsVersionFacts& facts, bool* is_nt = nullptr);

// The mask of the running system, read once per process. On the host build, which has no
// Windows version, it is the mask of unknown facts: kOsOther | kOs9xFamily.
OsMask GetOsMask(bool* is_nt = nullptr);

// True when a compose or file marked with support_os may be used on a system with system_mask:
// 0 means every system, otherwise the two must share a bit.
inline bool OsMaskAllows(OsMask support_os, OsMask system_mask) {
  return support_os == 0 || (support_os & system_mask) != 0;
}

// The hexadecimal rule of descriptions: the first 8 characters, upper-cased, read from the
// last toward the first as digits of rising weight; reading stops at the first character that
// is not 0-9 or A-F (so "12G4" reads as 0x4). Empty text gives 0.
uint32_t ParseDescriptionHex(std::u16string_view text);

}  // namespace engine
