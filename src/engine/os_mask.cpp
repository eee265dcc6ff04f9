#include "engine/os_mask.h"

namespace engine {
namespace {

OsMask VersionBit(const platform::OsVersionFacts& facts) {
  if (facts.platform_id == platform::kPlatformWindows9x && facts.major == 4) {
    if (facts.minor == 0) return kOs9x40;
    if (facts.minor == 10) return kOs9x410;
    if (facts.minor == 90) return kOs9x490;
  }
  if (facts.platform_id == platform::kPlatformWindowsNt) {
    if (facts.major == 4 && facts.minor == 0) return kOsNt40;
    if (facts.major == 5 && facts.minor == 0) return kOsNt50;
    if (facts.major == 5 && facts.minor == 1 && facts.service_pack_major >= 2) return kOsNt51Sp2;
    if (facts.major == 5 && facts.minor == 2) return kOsNt52;
    if (facts.major == 6) return kOsNt6;
  }
  return kOsOther;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

OsMask OsMaskFromVersion(const platform::OsVersionFacts& facts, bool* is_nt) {
  const bool nt = facts.platform_id == platform::kPlatformWindowsNt;
  if (is_nt) *is_nt = nt;
  const OsMask version = VersionBit(facts);
  if (facts.is_64bit_windows) return version == kOsNt52 ? kOsWin64Nt52 : kOsWin64;
  return version | (nt ? kOsNtFamily : kOs9xFamily);
}

OsMask GetOsMask(bool* is_nt) {
  struct Cached {
    OsMask mask;
    bool nt;
  };
  static const Cached cached = [] {
    platform::OsVersionFacts facts;
    platform::QueryOsVersion(&facts);
    Cached c{0, false};
    c.mask = OsMaskFromVersion(facts, &c.nt);
    return c;
  }();
  if (is_nt) *is_nt = cached.nt;
  return cached.mask;
}

uint32_t ParseDescriptionHex(std::u16string_view text) {
  const std::u16string_view digits = text.substr(0, 8);
  uint32_t value = 0;
  int shift = 0;
  for (size_t i = digits.size(); i > 0; --i, shift += 4) {
    const int digit = HexDigit(digits[i - 1]);
    if (digit < 0) break;
    value |= static_cast<uint32_t>(digit) << shift;
  }
  return value;
}

}  // namespace engine
