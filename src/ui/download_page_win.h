#pragma once
// The download page: fetches the package into the working folder on a worker thread, with a
// progress bar. Closing the page asks the transfer to stop at its next block; the page returns
// only after its worker has ended.
#include <atomic>
#include <string>
#include <thread>

#include "net/url_down.h"
#include "ui/wizard_page_win.h"

namespace ui {

// True when the file at path has that SHA-256 (64 hexadecimal digits), or when none is given; a
// mismatch is logged.
bool PackageMatchesDigest(const std::u16string& path, const std::string& sha256_hex);

class CDownDlg final : public WizardPage, public net::IDownCallBack {
 public:
  CDownDlg();
  ~CDownDlg() override;
  // The downloaded package, once the page ended with 1.
  const std::u16string& GetFilePath() const { return target_path_; }

  // IDownCallBack, called on the worker thread.
  bool IsStop() override { return stop_; }
  void OnProgress(const char16_t*, int32_t total_size, int32_t bytes_present) override;
  void OnBegin(const char16_t*, int32_t total_size) override;
  void OnEnd(const char16_t*, bool success) override { succeeded_ = success; }

 protected:
  bool OnInitPage() override;
  void OnItemClick(int32_t item) override;
  bool OnCommand(WORD command) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;

 private:
  void Work();
  void Stop(intptr_t code);
  void WorkerEnded();

  std::u16string target_path_;
  net::UrlDownPtr down_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> succeeded_{false};
  std::atomic<bool> forged_{false};  // arrived whole, but not the package the setup file names
  intptr_t stop_code_ = 2;
  HWND progress_ = nullptr;
};

}  // namespace ui
