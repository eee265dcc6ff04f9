#pragma once
// File times as seconds since 1970-01-01 00:00 UTC, the unit that resource archives store.
#include <cstdint>
#include <string_view>

namespace platform {

// Sets the last-write and last-access times of an existing file. False when the file cannot be
// opened for writing its attributes or the platform refuses the times.
bool SetFileTimes(std::u16string_view path, int64_t modified, int64_t accessed);
// Reads them back (whole seconds, rounded down).
bool GetFileTimes(std::u16string_view path, int64_t* modified, int64_t* accessed);

}  // namespace platform
