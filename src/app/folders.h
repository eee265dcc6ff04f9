#pragma once
// The folders the whole program agrees on: the process's temporary working folder and the
// install folder of the suite, with the addresses configured in the installed information file.
#include <string>

namespace app {

// The system temporary folder (ending in a separator) followed by "HavenClient\". Not created
// here: callers create it where they need it.
std::u16string GetTempWorkDir();

// Windows only (they read the machine-wide registry) -------------------------------------------

// The install folder ("InstallPath" under HKLM "Software\NorvClient") with a trailing separator,
// followed by suffix (null for none). The folder is cached for the process: while the cached
// value is shorter than 6 characters (in particular on first use) it is read again, so a later
// change of "InstallPath" is not seen once the cache holds a real folder. A value that ends in
// neither "\" nor "/" gets a "\". Without a value the result is the suffix alone.
std::u16string GetInstallDir(const char16_t* suffix = nullptr);

// Stores folder as "InstallPath" (a string value whose data includes the terminating zero),
// creating the key when missing. False for a null folder or when the key cannot be opened or
// created; a failed value write is not detected. The cache of GetInstallDir is not touched.
bool SetInstallPath(const char16_t* folder);

// The value of key in section "Url" of install folder + "ProgData\norvInfo.dat" (ini rules:
// case-insensitive names, blanks around the value removed, at most 259 characters); empty when
// the install folder is unknown, the file or key is missing, or key is null.
std::u16string GetInfoUrl(const char16_t* key);

// Empties the install folder cache, so that the next GetInstallDir reads the registry again.
// For tests only: the program itself never forgets the folder.
void ResetInstallDirCacheForTesting();

}  // namespace app
