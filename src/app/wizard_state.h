#pragma once
// The small process-wide state that the wizard's pages hand to each other. Every item is written
// on the user-interface thread before the page that reads it is shown, so nothing here is locked.
#include <string>
#include <string_view>

namespace app {

// The skin folder that the skin engine looks files up in. While it is unset (at start and after
// ClearSkinFolder) the skin engine uses its default place.
void ClearSkinFolder();
void SetSkinFolder(std::u16string_view folder);
bool IsSkinFolderSet();
// The folder as set, empty while unset.
const std::u16string& SkinFolder();

// The package download address, taken from the skin part's container. Empty at start; empty means
// that a setup file without the package cannot obtain it.
void SetPackageDownloadUrl(std::u16string_view url);
const std::u16string& PackageDownloadUrl();
// The SHA-256 (64 hexadecimal digits) that the downloaded package must have, from the skin part;
// empty when the setup file names none.
void SetPackageDigest(std::string_view sha256_hex);
const std::string& PackageDigest();

// Whether the install creates desktop shortcuts; true at start, changed by the folder page.
bool CreateDesktopLinks();
void SetCreateDesktopLinks(bool create);

}  // namespace app
