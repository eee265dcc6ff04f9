#include "app/folders.h"
#include "base/path.h"
#include "net/install_report.h"
#include "net/machine_id.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace net {
namespace {
constexpr size_t kMaxOemBytes = 260 * 2;
}  // namespace

std::u16string ReadOemText() {
  platform::RegKey key;
  if (platform::RegKey::Open(platform::RegRoot::kLocalMachine, u"Software\\NorvClient\\", platform::RegAccess::kRead,
                             &key) != platform::kRegOk) {
    return std::u16string();
  }
  platform::RegType type = platform::RegType::kNone;
  std::vector<uint8_t> data;
  if (key.ReadValue(u"OEM", kMaxOemBytes, &type, &data) != platform::kRegOk || type != platform::RegType::kString) {
    return std::u16string();
  }
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

void callAlreadyInstance() {
  SendAlreadyInstalledReport(app::GetInfoUrl(u"url25"), GetMachineId(), app::GetTempWorkDir(),
                             platform::TickCount());
}

void SendSetupReport(const char16_t* url_format) {
  if (!url_format || !*url_format) return;
  const std::u16string program = platform::ModuleFilePath();
  const std::u16string url =
      SetupReportUrl(url_format, GetMachineId(), base::FileNamePart(program), ReadOemText());
  SendReport(url, SetupResponseFile(app::GetTempWorkDir()), u"setup call ok! url=", u"setup call failed, url=");
}

}  // namespace net
