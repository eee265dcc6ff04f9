#pragma once

namespace base {
// The product version that norvpack and Setup.exe report.
const char* ProductVersion();
}  // namespace base
