#include "engine/install_worker.h"

#include "engine/registry_entries.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/payload.h"
#include "platform/fs.h"

namespace engine {

uint32_t RunInstall(CUpdateCore& core, const InstallRequest& request) {
  package::CreatePath(request.style_folder.c_str());
  // Failures are not reported: a package without a style installs without registry entries.
  if (package::DeedBoxPtr box{package::CreateDeedBox()}; box && box->Open(request.package_path.c_str())) {
    box->ExtractGroup(package::kSkinGroupPart2, request.style_folder.c_str());
    box->Close();
  }
  const uint32_t code =
      core.Setup(request.package_path.c_str(), request.product_list.c_str(), request.compose_list.c_str());
  const std::u16string settings = request.style_folder + u"Setup.ini";
  platform::CopyFileOverwriting(settings, core.Paths().InstallDir(u"Install\\Setup.ini"));
  ApplyInstallRegistry(settings);
  return code;
}

}  // namespace engine
