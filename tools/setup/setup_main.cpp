// Setup.exe: refuses to run over an installed suite, otherwise shows the wizard. It takes no
// switches; the command line is ignored.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>

#include "app/folders.h"
#include "app/suite_key.h"
#include "app/wizard_state.h"
#include "net/install_report.h"
#include "package/file_utils.h"
#include "platform/fs.h"
#include "platform/win/security.h"
#include "ui/wizard_win.h"

namespace {

bool SuiteInstalled() {
  const std::u16string folder = app::ReadInstallPath();
  return !folder.empty() && platform::PathExists(folder + u"\\norvFrame.exe");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::RestrictDllSearchToSystemFolder();
  CoInitialize(nullptr);
  InitCommonControls();
  // The licence page's rich-edit control: the Unicode class of RICHED20, which shows the Chinese
  // text that the ANSI class of RICHED32 would turn into question marks.
  LoadLibraryExW(L"RICHED20.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  package::DeleteTree(app::GetTempWorkDir().c_str(), false);

  if (SuiteInstalled()) {
    MessageBoxW(nullptr, L"您已经安装过了Varkel产品，请卸载后再安装！", L"安装提示", MB_ICONINFORMATION | MB_OK);
    net::callAlreadyInstance();
    CoUninitialize();
    return 0;
  }

  app::ClearSkinFolder();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  OleInitialize(nullptr);
  ui::RunWizard();
  OleUninitialize();
  CoUninitialize();
  return 0;
}
