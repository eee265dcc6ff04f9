#include "ui/download_page_win.h"

#include <commctrl.h>
#include <objbase.h>

#include <vector>

#include "app/folders.h"
#include "app/log.h"
#include "app/wizard_state.h"
#include "base/strings.h"
#include "package/file_utils.h"
#include "package/payload.h"
#include "platform/fs.h"

namespace ui {

bool PackageMatchesDigest(const std::u16string& path, const std::string& sha256_hex) {
  std::string digest;
  if (package::FileMatchesDigest(path, sha256_hex, &digest)) return true;
  app::LogText2(u"error, the downloaded package is not the one this setup file names; its SHA-256 is ",
                base::Utf8ToUtf16(digest).c_str());
  return false;
}

namespace {

constexpr int kControlProgress = 1006;
constexpr UINT kMessageWorkerEnded = WM_APP + 2;
constexpr int kAttempts = 3;

}  // namespace

CDownDlg::CDownDlg() : WizardPage(kDialogDownload, u"DownDlg", u"正在下载安装文件，请稍候...") {}

CDownDlg::~CDownDlg() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

bool CDownDlg::OnInitPage() {
  progress_ = GetDlgItem(window_, kControlProgress);
  stop_ = false;
  succeeded_ = false;
  forged_ = false;
  if (!down_) down_.reset(net::CreateUrlDown(this));
  target_path_ = app::GetTempWorkDir() + u"BigFile.dat";
  package::CreatePath(target_path_.c_str());
  AddItems({kItemMinimise, kItemClose});
  if (!worker_.joinable()) worker_ = std::thread(&CDownDlg::Work, this);
  return true;
}

void CDownDlg::Work() {
  CoInitialize(nullptr);
  // The failure is shown once, after the last attempt, rather than after the first.
  for (int attempt = 0; down_ && attempt < kAttempts && !stop_; ++attempt) {
    const uint32_t code = down_->Download(app::PackageDownloadUrl().c_str(), target_path_.c_str(), true);
    if (code == 0 || code == 1) break;
  }
  if (succeeded_ && !PackageMatchesDigest(target_path_, app::PackageDigest())) {
    succeeded_ = false;
    forged_ = true;
    platform::DeleteFileAt(target_path_);
  }
  CoUninitialize();
  PostMessageW(window_, kMessageWorkerEnded, 0, 0);
}

void CDownDlg::WorkerEnded() {
  if (worker_.joinable()) worker_.join();
  if (stop_) {
    EndPage(stop_code_);
  } else if (succeeded_) {
    EndPage(1);
  } else if (forged_) {
    Message(u"可安装包已经损坏，请重新下载安装包!", u"提示信息", MB_ICONINFORMATION);
    EndPage(2);
  } else {
    Message(u"无法下载安装包文件，请检查您的网络是否已经连接到互联网或安装程序被防火墙阻止了，下载失败，安装程序退出！",
            u"安装提示信息", MB_ICONINFORMATION);
    EndPage(2);
  }
}

void CDownDlg::Stop(intptr_t code) {
  stop_code_ = code;
  stop_ = true;
  if (!worker_.joinable()) EndPage(code);
}

bool CDownDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
  if (message != kMessageWorkerEnded) return false;
  WorkerEnded();
  *result = TRUE;
  return true;
}

void CDownDlg::OnItemClick(int32_t item) {
  if (item == kItemClose) Stop(2);
  if (item == kItemMinimise) Minimise();
}

bool CDownDlg::OnCommand(WORD command) {
  // Enter counts only once the package is there; Escape stops the transfer.
  if (command == IDCANCEL) {
    Stop(2);
    return true;
  }
  if (command == IDOK) return true;
  return WizardPage::OnCommand(command);
}

void CDownDlg::OnBegin(const char16_t*, int32_t total_size) {
  SendMessageW(progress_, PBM_SETRANGE32, 0, total_size);
}

void CDownDlg::OnProgress(const char16_t*, int32_t, int32_t bytes_present) {
  SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(bytes_present), 0);
}

}  // namespace ui
