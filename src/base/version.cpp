#include "base/version.h"

#include <cstdio>

#include "norv_version.h"

namespace base {
const char* ProductVersion() { return NORV_VERSION_STRING; }

int PrintProgramVersion(const char* program) {
  std::printf("%s %s\n", program, ProductVersion());
  std::fflush(stdout);
  return 0;
}
}  // namespace base
