#include "app/wizard_state.h"

namespace app {
namespace {
struct WizardState {
  std::u16string skin_folder;
  bool skin_folder_set = false;
  std::u16string package_download_url;
  std::string package_digest;
  bool create_desktop_links = true;
};

// Built on first use, so that pages constructed during static initialisation see defined values.
WizardState& State() {
  static WizardState state;
  return state;
}
}  // namespace

void ClearSkinFolder() {
  State().skin_folder.clear();
  State().skin_folder_set = false;
}

void SetSkinFolder(std::u16string_view folder) {
  State().skin_folder.assign(folder);
  State().skin_folder_set = true;
}

bool IsSkinFolderSet() { return State().skin_folder_set; }
const std::u16string& SkinFolder() { return State().skin_folder; }

void SetPackageDownloadUrl(std::u16string_view url) { State().package_download_url.assign(url); }
const std::u16string& PackageDownloadUrl() { return State().package_download_url; }

void SetPackageDigest(std::string_view sha256_hex) { State().package_digest.assign(sha256_hex); }
const std::string& PackageDigest() { return State().package_digest; }

bool CreateDesktopLinks() { return State().create_desktop_links; }
void SetCreateDesktopLinks(bool create) { State().create_desktop_links = create; }

}  // namespace app
