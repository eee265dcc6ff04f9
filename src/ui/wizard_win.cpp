#include "ui/wizard_win.h"

#include <windows.h>

#include "app/folders.h"
#include "app/wizard_flow.h"
#include "app/wizard_state.h"
#include "ui/copy_page_win.h"
#include "ui/download_page_win.h"
#include "ui/finish_page_win.h"
#include "ui/folder_page_win.h"
#include "ui/welcome_page_win.h"

namespace ui {

int RunWizard() {
  CWelDlg welcome;
  CFolderDlg folder;
  CDownDlg download;
  CCopyDlg copy;
  CFinishDlg finish;

  app::WizardPage page = app::WizardPage::kWelcome;
  while (page != app::WizardPage::kEnd) {
    WizardPage* shown = nullptr;
    switch (page) {
      case app::WizardPage::kWelcome: shown = &welcome; break;
      case app::WizardPage::kFolder: shown = &folder; break;
      case app::WizardPage::kDownload: shown = &download; break;
      case app::WizardPage::kCopy: shown = &copy; break;
      case app::WizardPage::kFinish: shown = &finish; break;
      case app::WizardPage::kEnd: break;
    }
    const auto result = static_cast<int>(shown->DoModal(GetActiveWindow()));
    const app::WizardStep step = app::NextWizardStep(page, result, !app::PackageDownloadUrl().empty());
    switch (step.action) {
      case app::WizardAction::kStoreDefaultFolder:
        app::SetInstallPath(DefaultInstallFolder().c_str());
        break;
      case app::WizardAction::kPackageBroken:
        MessageBoxW(nullptr, L"可安装包已经损坏，请重新下载安装包!", L"提示信息", MB_ICONINFORMATION);
        break;
      case app::WizardAction::kTakeDownloadedPackage:
        copy.SetPackagePath(download.GetFilePath().c_str());
        break;
      case app::WizardAction::kInstallCancelled:
        MessageBoxW(nullptr, L"您已取消了当前的安装！", L"提示信息", MB_OK);
        break;
      case app::WizardAction::kNone:
        break;
    }
    page = step.next;
  }
  return 0;
}

}  // namespace ui
