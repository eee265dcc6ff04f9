#pragma once
// The first page: prepares the skin part of the setup file, then offers installing now, a custom
// folder, and the licence agreement (its own page, opened from here).
#include "ui/wizard_page_win.h"

namespace ui {

class CWelDlg final : public WizardPage {
 public:
  CWelDlg();

 protected:
  bool OnBeforeSkin() override;
  bool OnInitPage() override;
  void OnItemClick(int32_t item) override;
};

class CLicenseDlg final : public WizardPage {
 public:
  CLicenseDlg();

 protected:
  bool OnInitPage() override;
  void OnItemClick(int32_t item) override;
};

// 1 when the running program carries the package, else 10 (the package must be downloaded). A
// program file that cannot be read counts as carrying it.
int InstallResultForPayload();

}  // namespace ui
