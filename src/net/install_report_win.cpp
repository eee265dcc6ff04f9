#include "app/folders.h"
#include "app/suite_key.h"
#include "base/path.h"
#include "net/install_report.h"
#include "net/machine_id.h"
#include "platform/system.h"

namespace net {
void callAlreadyInstance() {
  SendAlreadyInstalledReport(app::GetInfoUrl(u"url25"), GetMachineId(), app::GetTempWorkDir(),
                             platform::TickCount());
}

void SendSetupReport(const char16_t* url_format) {
  if (!url_format || !*url_format) return;
  const std::u16string program = platform::ModuleFilePath();
  const std::u16string url =
      SetupReportUrl(url_format, GetMachineId(), base::FileNamePart(program), app::ReadOemName());
  SendReport(url, SetupResponseFile(app::GetTempWorkDir()), u"setup call ok! url=", u"setup call failed, url=");
}

}  // namespace net
