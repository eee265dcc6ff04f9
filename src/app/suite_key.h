#pragma once
// The suite's machine-wide registry key, "Software\NorvClient" under HKLM, read and written in one
// place: the install folder, the OEM name and the per-file validity marks all live under it, and
// the installer, the installed-state store and the reports must agree on where (Windows only).
#include <string>

namespace app {

constexpr char16_t kSuiteKey[] = u"Software\\NorvClient";
constexpr char16_t kFileValidKey[] = u"Software\\NorvClient\\FileValid";

// "InstallPath" as stored (at most 259 characters, up to its first zero); empty when the key or the
// value is missing, unreadable, or fills its 260-character buffer without a terminator.
std::u16string ReadInstallPath();

// Stores "InstallPath" as a string value with its terminating zero, creating the key. False when
// the key cannot be opened or created; a failed value write is not detected.
bool WriteInstallPath(std::u16string_view folder);

// The "OEM" string value, at most 260 characters; empty when the key or value is missing, when the
// value is not a string, and when it is longer than 260 characters (it does not fit the buffer the
// value is read into).
std::u16string ReadOemName();

}  // namespace app
