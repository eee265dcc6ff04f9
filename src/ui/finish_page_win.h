#pragma once
// The finish page: runs the programs the installed "Setup.ini" names, sends the install report,
// and adds or removes the suite's start-up entry.
#include <cstdint>

#include "ui/wizard_page_win.h"

namespace ui {

// Mode bits of FinishRun.
constexpr uint32_t kFinishRunPrograms = 1;
constexpr uint32_t kFinishSendReport = 2;

// Starts the "FinishRun%d" programs (kFinishRunPrograms) and sends the report
// (kFinishSendReport) of the installed "Setup.ini". Returns 1.
uint32_t FinishRun(uint32_t mode);
// Sets (or, with enable false, deletes) the current user's "NorvFrame" start-up value.
void SetStartupEntry(bool enable);

class CFinishDlg final : public WizardPage {
 public:
  CFinishDlg();

 protected:
  bool OnInitPage() override;
  void OnItemClick(int32_t item) override;
  bool OnCommand(WORD command) override { return true; }
};

}  // namespace ui
