// The host has no profile functions: nothing is read, nothing written.
#include "platform/profile.h"

namespace platform {

std::u16string ReadProfileString(std::u16string_view, std::u16string_view, std::u16string_view, size_t) {
  return std::u16string();
}

bool WriteProfileValue(std::u16string_view, std::u16string_view, std::u16string_view, std::u16string_view) {
  return false;
}

bool DeleteProfileKey(std::u16string_view, std::u16string_view, std::u16string_view) { return false; }

}  // namespace platform
