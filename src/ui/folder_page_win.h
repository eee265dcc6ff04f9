#pragma once
// The folder page: the install folder (typed, picked from the fixed drives' menu or the folder
// picker) with the free space of its drive, and the desktop-shortcut option.
#include <string>
#include <vector>

#include "ui/wizard_page_win.h"

namespace ui {

// The default install folder: the program-files folder (or "C:\Program Files") + "\KestrelClient\".
std::u16string DefaultInstallFolder();

class CFolderDlg final : public WizardPage {
 public:
  CFolderDlg();

 protected:
  bool OnInitPage() override;
  void OnItemClick(int32_t item) override;
  bool OnCommand(WORD command) override;

 private:
  // Rebuilds the lists of fixed drives and their free space; opens the menu when show is set.
  void BuildDriveMenu(bool show);
  void ShowFolder(const std::u16string& folder);
  std::u16string EditText() const;
  void PickFolder();
  // Checks the typed folder and makes it; false (with the reason shown) when it cannot be used.
  bool AcceptFolder(const std::u16string& folder);
  void Next();

  std::vector<std::u16string> drives_;
  std::vector<std::u16string> free_space_;
};

}  // namespace ui
