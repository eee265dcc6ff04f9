#include "ui/copy_page_win.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/folders.h"
#include "app/wizard_flow.h"
#include "base/format.h"
#include "engine/engine_codes.h"
#include "engine/install_worker.h"
#include "engine/update_core.h"
#include "package/payload.h"
#include "ui/skin_folder.h"

namespace ui {

namespace {

constexpr int kControlProgress = 1003;
constexpr int kControlPercent = 1010;
constexpr int32_t kItemCancel = 2013;
// Posted by the worker as its last act.
constexpr UINT kMessageWorkerEnded = WM_APP + 1;
constexpr uint32_t kCodeCopyFailed = 101;

}  // namespace

const char16_t* InstallFailureReason(uint32_t code) {
  if (code == 1) return u"用户取消了安装过程！";
  if (code == kCodeCopyFailed) return u"复制文件失败！";
  return u"原因未知！";
}

CCopyDlg::CCopyDlg() : WizardPage(kDialogCopy, u"CopyDlg", u"Varkel安装程序") {}

CCopyDlg::~CCopyDlg() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

bool CCopyDlg::OnInitPage() {
  progress_ = GetDlgItem(window_, kControlProgress);
  std::u16string page;
  GetSkinPath(&page, u"copy.htm");
  RECT client{};
  GetClientRect(window_, &client);
  const RECT area{15, 98, 15 + (client.right - 29), 98 + 162};
  if (html_.Create(window_, area)) html_.Navigate(u"file://" + page);
  AddItems({kItemMinimise, kItemClose, kItemCancel});
  if (!worker_.joinable()) {
    working_ = true;
    worker_ = std::thread(&CCopyDlg::Work, this);
  }
  return true;
}

void CCopyDlg::Work() {
  CoInitialize(nullptr);
  std::u16string package = package_path_;
  if (package.empty()) package = package::ExtractBigFile();
  if (package.empty()) {
    // A package part that cannot be copied or is damaged: a failure the user is told about, not
    // a page that waits for nothing.
    OnFinish(engine::kDataNotAContainer, 0);
  } else {
    engine::CUpdateCore core{engine::WorkPaths(app::GetInstallDir())};
    core.SetView(this);
    engine::RunInstall(core, {package, u"", u"", app::GetTempWorkDir() + u"Style\\"});
  }
  CoUninitialize();
  working_ = false;
  PostMessageW(window_, kMessageWorkerEnded, 0, 0);
}

void CCopyDlg::OnFinish(uint32_t code, uint32_t restart) {
  finish_code_ = code;
  finish_restart_ = restart;
  finished_ = true;
}

void CCopyDlg::WorkerEnded() {
  if (worker_.joinable()) worker_.join();
  if (cancel_) {
    EndPage(app::kPageClosed);
  } else if (!finished_) {
    // No package: the page waits until the user closes it.
  } else if (finish_code_ == 0) {
    EndPage(finish_restart_ ? app::kCopyDoneRestart : app::kCopyDone);
  } else {
    const std::u16string text = u"安装失败，" + std::u16string(InstallFailureReason(finish_code_));
    Message(text.c_str(), u"安装提示信息", MB_ICONINFORMATION);
    EndPage(app::kCopyFailed);
  }
}

void CCopyDlg::AskCancel() {
  if (Message(u"您确认要取消当前的安装吗？", u"提示信息", MB_YESNO) != IDYES) return;
  cancel_ = true;
  if (working_ || worker_.joinable()) {
    // The page is gone for the user at once; it returns when the engine has stopped.
    ShowWindow(window_, SW_HIDE);
    if (!working_) WorkerEnded();
  } else {
    EndPage(app::kPageClosed);
  }
}

void CCopyDlg::OnItemClick(int32_t item) {
  if (item == kItemClose || item == kItemCancel) AskCancel();
  if (item == kItemMinimise) Minimise();
}

bool CCopyDlg::OnCommand(WORD command) {
  // Enter and Escape do not end the page while the install runs.
  if ((command == IDOK || command == IDCANCEL) && working_) return true;
  return WizardPage::OnCommand(command);
}

bool CCopyDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
  if (message != kMessageWorkerEnded) return false;
  WorkerEnded();
  *result = TRUE;
  return true;
}

void CCopyDlg::OnDestroy() { html_.Destroy(); }

void CCopyDlg::StepIt(uint32_t) { SendMessageW(progress_, PBM_STEPIT, 0, 0); }

void CCopyDlg::SetRange(uint16_t low, uint16_t high) { SendMessageW(progress_, PBM_SETRANGE32, low, high); }

uint32_t CCopyDlg::GetPos() { return static_cast<uint32_t>(SendMessageW(progress_, PBM_GETPOS, 0, 0)); }

uint16_t CCopyDlg::SetPos(uint32_t position) {
  const int percent = PercentOf(position);
  if (percent != last_percent_) {
    last_percent_ = percent;
    SetDlgItemTextW(window_, kControlPercent,
                    reinterpret_cast<const wchar_t*>(base::Format(16, u"%d%%", percent).c_str()));
    RefreshStatic(kControlPercent);
  }
  return static_cast<uint16_t>(SendMessageW(progress_, PBM_SETPOS, position, 0));
}

void CCopyDlg::SetFull() {
  const auto high = static_cast<uint32_t>(SendMessageW(progress_, PBM_GETRANGE, FALSE, 0));
  SendMessageW(progress_, PBM_SETPOS, high, 0);
}

}  // namespace ui
