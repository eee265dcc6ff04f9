#pragma once
// What the copy page's worker does around an install run, so that the wizard and the console
// installer install a package the same way: the package's style group "SetupSkinPart2" goes to
// the style folder, the engine installs the package, and the style's "Setup.ini" becomes the
// installed one and has its "InstallReg%d" entries applied. COM must be initialised on the
// calling thread (the engine makes links).
#include <cstdint>
#include <string>

#include "engine/update_core.h"

namespace engine {

struct InstallRequest {
  std::u16string package_path;
  std::u16string product_list;  // empty: every product of the package
  std::u16string compose_list;  // empty: all composes
  std::u16string style_folder;  // with its trailing separator
};

// Windows only. The engine's code; the registry entries are applied whatever it is, as the
// wizard does. A package whose style group is present but does not extract whole ends the run
// before the engine with 16 (also sent to the view's OnFinish).
uint32_t RunInstall(CUpdateCore& core, const InstallRequest& request);

}  // namespace engine
