#pragma once
// The order of the wizard's pages: each page closes with an end code, and the flow picks the next
// page (and what to do on the way) from the page and its code. Pure decisions; the pages and the
// actions themselves are the caller's.
#include <cstdint>

namespace app {

enum class WizardPage { kWelcome, kFolder, kDownload, kCopy, kFinish, kEnd };

// End codes of the pages.
constexpr int kPageInstallCarried = 1;      // welcome/folder: install; the package is carried
constexpr int kPageClosed = 2;              // closed or cancelled
constexpr int kPageInstallDownload = 10;    // welcome/folder: install; the package must be downloaded
constexpr int kPageCustomFolder = 12;       // welcome: show the folder page
constexpr int kPageBack = 13;               // folder: back to the welcome page
constexpr int kDownloadDone = 1;            // download: the package file is there
constexpr int kCopyDoneRestart = 1;         // copy: finished, a restart completes it
constexpr int kCopyDone = 100;
constexpr int kCopyFailed = 101;

enum class WizardAction {
  kNone,
  kStoreDefaultFolder,    // compute the default install folder and store it
  kPackageBroken,         // tell the user the setup file cannot be installed
  kTakeDownloadedPackage, // hand the downloaded file to the copy page
  kInstallCancelled,      // tell the user the install was cancelled
};

struct WizardStep {
  WizardAction action;
  WizardPage next;
};

// What follows page's end code. download_url_known: the skin part named a download address.
WizardStep NextWizardStep(WizardPage page, int result, bool download_url_known);

}  // namespace app
