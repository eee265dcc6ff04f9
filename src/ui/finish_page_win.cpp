#include "ui/finish_page_win.h"

#include "app/folders.h"
#include "base/format.h"
#include "engine/component_control.h"
#include "engine/target_path.h"
#include "engine/work_paths.h"
#include "net/install_report.h"
#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace ui {

namespace {

constexpr int32_t kItemFinish = 2007;
constexpr int32_t kItemRunPrograms = 2014;
constexpr int32_t kItemStartWithSystem = 2015;
constexpr int kMaxFinishRun = 99;
constexpr size_t kMaxSettingChars = 259;
constexpr uint32_t kProgramTimeoutMs = 30000;
constexpr char16_t kRunKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

uint32_t FinishRun(uint32_t mode) {
  const std::u16string settings = app::GetInstallDir(u"Install//Setup.ini");
  const auto read = [&](const std::u16string& section, const char16_t* key) {
    return platform::ReadProfileString(settings, section, key, kMaxSettingChars);
  };
  if (mode & kFinishRunPrograms) {
    const engine::TargetFolders folders = engine::SystemTargetFolders(engine::WorkPaths(app::GetInstallDir()));
    for (int n = 1; n <= kMaxFinishRun; ++n) {
      const std::u16string section = base::Format(32, u"FinishRun%d", n);
      const std::u16string file = read(section, u"ExeFile");
      if (file.empty()) break;
      const std::u16string path = engine::FindInstalledFilePath(folders, read(section, u"ComposeName"), file, nullptr);
      if (path.empty() || !platform::PathExists(path)) continue;
      engine::Execute(path, read(section, u"Param"), false, true, true, 0, kProgramTimeoutMs);
    }
  }
  if (mode & kFinishSendReport) {
    const std::u16string format = read(u"UrlCall", u"Setup");
    if (!format.empty()) net::SendSetupReport(format.c_str());
  }
  return 1;
}

void SetStartupEntry(bool enable) {
  platform::RegKey run;
  if (platform::RegKey::Open(platform::RegRoot::kCurrentUser, kRunKey, platform::RegAccess::kReadWrite, &run) != 0) {
    return;
  }
  if (enable) {
    run.WriteString(u"NorvFrame", base::Format(600, u"\"%sNorvFrame.exe\" /delay", app::GetInstallDir().c_str()));
  } else {
    run.DeleteValue(u"NorvFrame");
  }
}

CFinishDlg::CFinishDlg() : WizardPage(kDialogFinish, u"FinishDlg", u"Varkel安装程序") {}

bool CFinishDlg::OnInitPage() {
  AddItems({kItemClose, kItemFinish});
  for (int32_t check : {kItemRunPrograms, kItemStartWithSystem}) {
    if (CDrawItem* item = skin_.AddItem(check)) item->SetState(kStateTicked);
  }
  return true;
}

void CFinishDlg::OnItemClick(int32_t item) {
  switch (item) {
    case kItemClose:
      EndPage(2);
      break;
    case kItemRunPrograms:
    case kItemStartWithSystem:
      ToggleCheck(item);
      break;
    case kItemFinish: {
      const bool run_programs = IsTicked(kItemRunPrograms);
      const bool start_with_system = IsTicked(kItemStartWithSystem);
      EndPage(1);
      FinishRun(run_programs ? kFinishRunPrograms | kFinishSendReport : kFinishSendReport);
      SetStartupEntry(start_with_system);
      break;
    }
    default:
      break;
  }
}

}  // namespace ui
