#pragma once
// The facts about the running Windows version that the OS mask is made from.
#include <cstdint>

namespace platform {

// Platform identifiers as the version query reports them.
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows9x = 1;
constexpr uint32_t kPlatformWindowsNt = 2;

struct OsVersionFacts {
  uint32_t platform_id = kPlatformWin32s;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t service_pack_major = 0;
  // True when the process runs on 64-bit Windows: always in the (64-bit only) Windows build.
  bool is_64bit_windows = false;
};

// Reads the running system's version. False when it cannot be read (always on the host build,
// which has no Windows version); *facts then keeps its zero values.
bool QueryOsVersion(OsVersionFacts* facts);

// Whether the process runs under 64-bit Windows: always in the Windows build, never on the host.
bool IsRunningUnder64BitWindows();

}  // namespace platform
