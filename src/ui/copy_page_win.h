#pragma once
// The copy page: the install runs on a worker thread while the page shows the skin's HTML page,
// a progress bar and a percentage. The page is the engine's progress view. A confirmed cancel
// makes the engine stop at its next check; the page never returns while its worker runs, so the
// worker never outlives the objects it uses.
#include <atomic>
#include <string>
#include <thread>

#include "engine/update_view.h"
#include "ui/html_view_win.h"
#include "ui/wizard_page_win.h"

namespace ui {

// The reason shown after "安装失败，" for an engine code.
const char16_t* InstallFailureReason(uint32_t code);
// The percentage a progress position of 0..1000 shows.
inline int PercentOf(uint32_t position) { return static_cast<int>(position / 10); }

class CCopyDlg final : public WizardPage, public engine::IUpdateView {
 public:
  CCopyDlg();
  ~CCopyDlg() override;
  // The package file to install; empty takes the package out of the program's own file.
  void SetPackagePath(const char16_t* path) { package_path_ = path ? path : u""; }

  // IUpdateView, called on the worker thread.
  uint32_t IsCancel() override { return cancel_ ? 1 : 0; }
  void StepIt(uint32_t amount) override;
  void BeginItem(uint32_t) override {}
  void SetRange(uint16_t low, uint16_t high) override;
  void SetItemRange(uint32_t, uint32_t) override {}
  uint32_t GetPos() override;
  uint16_t SetPos(uint32_t position) override;
  void SetFull() override;
  void EndItems() override {}
  void SetStatus(uint32_t) override {}
  void OnCopyFile(const char16_t*, const char16_t*) override {}
  void OnStart() override {}
  void OnFinish(uint32_t code, uint32_t restart) override;
  void OnDeleteFile(const char16_t*) override {}
  void SetFileCount(uint32_t) override {}
  void SetCurrentFile(uint32_t) override {}
  void* Reserved30() override { return window_; }

 protected:
  bool OnInitPage() override;
  void OnItemClick(int32_t item) override;
  bool OnCommand(WORD command) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;
  void OnDestroy() override;

 private:
  void Work();
  void WorkerEnded();
  void AskCancel();

  HtmlView html_;
  std::u16string package_path_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> working_{false};
  // Written by the worker before it reports its end; read after the thread is joined.
  bool finished_ = false;
  uint32_t finish_code_ = 0;
  uint32_t finish_restart_ = 0;
  HWND progress_ = nullptr;
  int last_percent_ = 0;  // written by the worker only
};

}  // namespace ui
