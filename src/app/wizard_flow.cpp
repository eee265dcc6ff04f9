#include "app/wizard_flow.h"

namespace app {

WizardStep NextWizardStep(WizardPage page, int result, bool download_url_known) {
  switch (page) {
    case WizardPage::kWelcome:
      if (result == kPageInstallCarried) return {WizardAction::kStoreDefaultFolder, WizardPage::kCopy};
      if (result == kPageCustomFolder) return {WizardAction::kNone, WizardPage::kFolder};
      if (result == kPageInstallDownload) {
        // The folder is stored for a download too: the engine takes it from "InstallPath", which
        // on a first install would otherwise hold nothing.
        if (!download_url_known) return {WizardAction::kPackageBroken, WizardPage::kEnd};
        return {WizardAction::kStoreDefaultFolder, WizardPage::kDownload};
      }
      return {WizardAction::kNone, WizardPage::kEnd};
    case WizardPage::kFolder:
      if (result == kPageBack) return {WizardAction::kNone, WizardPage::kWelcome};
      if (result == kPageInstallCarried) return {WizardAction::kNone, WizardPage::kCopy};
      // A chosen folder for a package that is not carried goes on to the download, as after the
      // welcome page, instead of ending the wizard without an install.
      if (result == kPageInstallDownload) {
        if (!download_url_known) return {WizardAction::kPackageBroken, WizardPage::kEnd};
        return {WizardAction::kNone, WizardPage::kDownload};
      }
      return {WizardAction::kNone, WizardPage::kEnd};
    case WizardPage::kDownload:
      if (result == kDownloadDone) return {WizardAction::kTakeDownloadedPackage, WizardPage::kCopy};
      return {WizardAction::kNone, WizardPage::kEnd};
    case WizardPage::kCopy:
      if (result == kCopyFailed) return {WizardAction::kNone, WizardPage::kEnd};
      if (result == kPageClosed) return {WizardAction::kInstallCancelled, WizardPage::kEnd};
      return {WizardAction::kNone, WizardPage::kFinish};
    case WizardPage::kFinish:
    case WizardPage::kEnd:
      break;
  }
  return {WizardAction::kNone, WizardPage::kEnd};
}

}  // namespace app
