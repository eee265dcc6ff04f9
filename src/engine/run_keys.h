#pragma once
// Programs started with Windows: field 4 flags of a file entry add or remove a value in a Run or
// RunOnce key (Windows only).
//
//   kFileRunUser        0x008   HKCU Software\Microsoft\Windows\CurrentVersion\Run
//   kFileRunMachine     0x004   HKLM Software\Microsoft\Windows\CurrentVersion\Run
//   kFileRunOnceUser    0x020   HKCU Software\Microsoft\Windows\CurrentVersion\RunOnce
//   kFileRunOnceMachine 0x010   HKLM Software\Microsoft\Windows\CurrentVersion\RunOnce
//
// The value is named by the entry's file name and holds its resolved full path (REG_SZ, no
// quotes).
#include <cstdint>

#include "engine/file_entry.h"

namespace engine {

// For each entry in order, and each of its flags in the order above: a Removed entry deletes its
// value, any other sets it. Only keys that exist are touched (none is created), and registry
// failures skip that flag without a log line. Always 0.
uint32_t UpdateRunKeys(const FileEntryList& files);

}  // namespace engine
