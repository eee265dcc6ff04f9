#pragma once
// Cheap checks that a description extracted from the package arrived whole, and the upkeep of
// the size a compose description records of itself.
//   compose description  [Version] FileSize = its own byte size as ten digits ("%010d"), so the
//                        value can be rewritten without changing the size; absent or 0: unchecked
//   product description  [Version] IsCheckString = 1 requires [End] CheckString = "CheckFileOKEnd"
//                        (ASCII case ignored)
// The checks change nothing; failures are logged and returned (engine_codes.h).
#include <cstdint>
#include <vector>

#include "app/ini_reader.h"

namespace engine {

// The end marker a product description carries when IsCheckString is 1.
constexpr char16_t kProductEndMarker[] = u"CheckFileOKEnd";

// 0 whole or unchecked; 303 the recorded size differs from the file's; 305 the file cannot be
// loaded (also for a null path).
uint32_t CheckCompose(const char16_t* path);

// 0 whole, or no check required; 301 the marker is absent or empty; 302 the marker is wrong;
// 304 the file cannot be loaded. *current_ver (optional) receives "Version"/"CurrentVer"
// (default 0) once the file is loaded.
uint32_t CheckProductIni(const char16_t* path, int32_t* current_ver = nullptr);
// The marker check of CheckProductIni on a description already in memory; path only names it in
// the log. 0, 301 or 302.
uint32_t CheckProductMarker(const app::CIniReader& reader, const char16_t* path);

// Makes "FileSize" of a compose description match the size of the bytes it serialises to, and
// returns those bytes. False only if the value does not settle (a description of 10 GB or more).
bool RecordSerializedSize(app::CIniReader& reader, std::vector<uint8_t>* bytes);

// RecordSerializedSize, then saves the description to its own path. With only_if_present, a
// description without "FileSize" is left alone (true, nothing written). True when the file on
// disk is consistent.
bool UpdateFileSize(app::CIniReader& reader, bool only_if_present);

}  // namespace engine
