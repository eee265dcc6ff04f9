#include "engine/integrity_check.h"

#include <string>

#include "app/log.h"
#include "base/format.h"
#include "base/strings.h"
#include "engine/engine_codes.h"

namespace engine {
namespace {

// Each value of another width changes the size once more; with ten digits the second round
// settles it.
constexpr int kMaxSizeRounds = 3;

}  // namespace

uint32_t CheckCompose(const char16_t* path) {
  app::CIniReader reader;
  if (!path || !reader.LoadTzFile(path)) return kComposeIniLoadFailed;
  const int32_t recorded = reader.GetInt(u"Version", u"FileSize", 0);
  if (recorded == 0) return kOk;
  const uint32_t real = reader.FileSize();
  if (recorded < 0 || static_cast<uint32_t>(recorded) != real) {
    const std::u16string message = u"   error ,CheckCompose file real size =" + base::UnsignedToUtf16(real) +
                                   u" not equal config size =" + base::NumberToUtf16(recorded) + u"  inifile=" +
                                   path + u" \n";
    app::LogText(message.c_str());
    return kComposeSizeMismatch;
  }
  return kOk;
}

uint32_t CheckProductIni(const char16_t* path, int32_t* current_ver) {
  app::CIniReader reader;
  if (!path || !reader.LoadTzFile(path)) return kProductIniLoadFailed;
  if (current_ver) *current_ver = reader.GetInt(u"Version", u"CurrentVer", 0);
  return CheckProductMarker(reader, path);
}

uint32_t CheckProductMarker(const app::CIniReader& reader, const char16_t* path) {
  if (app::ParseIniInt(reader.GetString(u"Version", u"IsCheckString")) != 1) return kOk;
  const app::IniEntry* marker = reader.GetEntry(u"End", u"CheckString");
  if (!marker || marker->Value().empty()) {
    app::LogText2(u"error , Product ini no checkstring label,product ini =", path);
    return kCheckStringMissing;
  }
  if (!base::EqualsIgnoreAsciiCase(marker->Value(), kProductEndMarker)) {
    app::LogText2(u"error , Product ini checkstring is not right,product ini  =", path);
    app::LogText2(u"error , Product ini checkstring is not right,check string =", marker->Value().c_str());
    return kCheckStringWrong;
  }
  return kOk;
}

bool RecordSerializedSize(app::CIniReader& reader, std::vector<uint8_t>* bytes) {
  std::u16string current = reader.GetString(u"Version", u"FileSize");
  for (int round = 0; round < kMaxSizeRounds; ++round) {
    *bytes = reader.Serialize();
    const std::u16string recorded = base::Format(32, u"%010llu", static_cast<unsigned long long>(bytes->size()));
    if (recorded == current) return true;
    reader.SetString(u"Version", u"FileSize", recorded);
    current = recorded;
  }
  return false;
}

bool UpdateFileSize(app::CIniReader& reader, bool only_if_present) {
  if (reader.GetString(u"Version", u"FileSize").empty() && only_if_present) return true;
  std::vector<uint8_t> bytes;
  return RecordSerializedSize(reader, &bytes) && reader.Save();
}

}  // namespace engine
