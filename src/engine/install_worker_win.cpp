#include "engine/install_worker.h"

#include "app/log.h"
#include "engine/engine_codes.h"
#include "engine/registry_entries.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/payload.h"
#include "platform/fs.h"

namespace engine {

uint32_t RunInstall(CUpdateCore& core, const InstallRequest& request) {
  package::CreatePath(request.style_folder.c_str());
  // A package without a style installs without registry entries; one whose style does not come
  // out whole (cut short, a name leaving the folder) is damaged, and installing it would report
  // success without its settings and registry entries.
  if (package::DeedBoxPtr box{package::CreateDeedBox()}; box && box->Open(request.package_path.c_str())) {
    const bool whole = box->ExtractGroup(package::kSkinGroupPart2, request.style_folder.c_str());
    box->Close();
    if (!whole) {
      app::LogText2(u"error, the style group of the package does not extract whole, package=",
                    request.package_path.c_str());
      if (core.View()) core.View()->OnFinish(kDataNotAContainer, 0);
      return kDataNotAContainer;
    }
  }
  const uint32_t code =
      core.Setup(request.package_path.c_str(), request.product_list.c_str(), request.compose_list.c_str());
  const std::u16string settings = request.style_folder + u"Setup.ini";
  platform::CopyFileOverwriting(settings, core.Paths().InstallDir(u"Install\\Setup.ini"));
  ApplyInstallRegistry(settings);
  return code;
}

}  // namespace engine
