#include "plan.h"

#include <memory>

#include "base/path.h"
#include "base/strings.h"
#include "engine/compose.h"
#include "engine/data_obtain.h"
#include "engine/local_install.h"
#include "engine/product.h"
#include "engine/target_path.h"
#include "engine/update_core.h"
#include "engine/work_paths.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "platform/fs.h"

namespace norvinstall {

namespace {

std::vector<std::u16string> SplitList(const std::u16string& list) {
  std::vector<std::u16string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(u',', start);
    if (comma == std::u16string::npos) comma = list.size();
    std::u16string item = list.substr(start, comma - start);
    if (!item.empty()) out.push_back(item);
    start = comma + 1;
  }
  return out;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// Copies the installed state (everything below "Install\") into the shadow, reading only.
bool CopyInstalledState(const engine::WorkPaths& real, const engine::WorkPaths& shadow, std::string* error) {
  const std::u16string from = real.InstallDir(u"Install\\");
  const std::u16string to = shadow.InstallDir(u"Install\\");
  if (!package::CreatePath(to.c_str())) {
    *error = "cannot create " + Narrow(to);
    return false;
  }
  if (!platform::IsDirectory(from)) return true;  // nothing installed there yet
  std::vector<package::FolderFile> files;
  if (!package::ListFolderFiles(from, true, &files)) {
    *error = "cannot read " + Narrow(from);
    return false;
  }
  for (const auto& f : files) {
    const std::u16string target = to + f.relative;
    const size_t slash = target.find_last_of(u'\\');
    package::CreatePath(target.substr(0, slash + 1).c_str());
    if (!platform::CopyFileOverwriting(f.path, target)) {
      *error = "cannot copy " + Narrow(f.path);
      return false;
    }
  }
  return true;
}

const char* FileStateText(engine::FileState state) {
  switch (state) {
    case engine::FileState::kNew: return "New";
    case engine::FileState::kChanged: return "Changed";
    case engine::FileState::kRemoved: return "Removed";
    default: return nullptr;
  }
}

}  // namespace

uint32_t MakePlan(const PackageSource& source, const std::u16string& install_folder, const std::u16string& products,
                  const std::u16string& composes, const std::u16string& shadow_folder, PlanResult* plan,
                  std::string* error) {
  *plan = PlanResult();
  const engine::WorkPaths real(install_folder);
  const engine::WorkPaths shadow(shadow_folder);
  if (!CopyInstalledState(real, shadow, error)) return engine::kDescriptionLoadFailed;

  engine::CInstallDataObtain data(shadow);
  uint32_t code = data.LoadBigFile(source.package_path.c_str());
  if (code != 0) {
    *error = "LoadBigFile";
    return code;
  }
  const engine::TargetFolders folders = engine::SystemTargetFolders(real);
  engine::CUpdateCore core(shadow, folders);
  core.AttachDataSource(&data);
  if ((code = core.Reset()) != 0) {
    *error = "Reset";
    return code;
  }
  auto failed = [&](const char* name, uint32_t step_code) {
    if (step_code == 0) return false;
    *error = name;
    code = step_code;
    return true;
  };

  plan->compose_packet = data.IsComposePacket() == package::kDeedBoxKindComposePacket;
  if (plan->compose_packet) {
    // InstallComposePacket's selection: each listed compose, installed (Both) or new.
    const auto names = SplitList(composes);
    if (names.empty()) {
      *error = "a compose packet needs --composes";
      return engine::kNullArgument;
    }
    for (const auto& name : names) {
      auto compose = std::make_unique<engine::Compose>(shadow);
      compose->SetFilePath(name, engine::ComposeLocation::kInstalled);
      if (compose->file_path.empty()) continue;  // not a plain file name, as the packet run skips it
      compose->state = engine::IsComposeInstalled(shadow, name.c_str()) ? engine::ComposeState::kBoth
                                                                         : engine::ComposeState::kNewOnly;
      core.Composes().push_back(std::move(compose));
    }
    core.DropGroupComposes();
    if (failed("ObtainComposes", core.ObtainComposes(engine::kWeightPacketObtainComposes))) return code;
  } else {
    // Setup's choice of products: those of the list that the package lists, else the package's.
    std::u16string chosen;
    const auto listed = SplitList(data.ProductList());
    if (products.empty()) {
      chosen = data.ProductList();
    } else {
      for (const auto& name : SplitList(products)) {
        for (const auto& have : listed) {
          if (SameName(name, have)) chosen += (chosen.empty() ? u"" : u",") + name;
        }
      }
    }
    plan->products = chosen;
    const auto names = SplitList(chosen);
    if (names.empty()) {
      *error = "no product of the package is chosen";
      return engine::kEmptyProductList;
    }
    for (const auto& name : names) {
      auto product = std::make_unique<engine::Product>(shadow);
      product->LoadInstalledProduct(name.c_str());  // a product not installed yet stays empty
      product->name = name;
      core.Products().push_back(std::move(product));
    }
    core.SetComposeFilter(composes);
    if (failed("ObtainProducts", core.ObtainProducts())) return code;
    if (failed("LoadProducts", core.LoadProducts())) return code;
    core.MarkInstalledComposes();
    core.FilterComposes();
    core.DropGroupComposes();
    core.CheckWalpCompose();
    if (failed("ObtainComposes", core.ObtainComposes(engine::kWeightObtainComposes))) return code;
  }
  if (failed("CollectFiles", core.CollectFiles(engine::kWeightCollectFiles, true))) return code;
  core.DropSharedDeletes();
  if (failed("DropForeignFiles", core.DropForeignFiles())) return code;

  for (const auto& compose : core.Composes()) {
    PlanCompose row;
    row.name = compose->name;
    for (const auto& entry : core.Files()) {
      const char* state = FileStateText(entry.state);
      if (!state || !SameName(entry.compose_name, compose->name)) continue;
      PlanFile file{state, engine::FileTargetPath(entry, folders)};
      // The engine counts every entry of a newly installed compose as Changed (its installed copy
      // is measured and found missing); for a reader, a file that is not there yet is New.
      if (entry.state == engine::FileState::kChanged && !platform::PathExists(file.target)) file.state = "New";
      row.files.push_back(std::move(file));
    }
    switch (compose->state) {
      case engine::ComposeState::kNewOnly: row.state = "new"; break;
      case engine::ComposeState::kInstalledOnly: row.state = "removed"; break;
      default: row.state = row.files.empty() ? "unchanged" : "changed"; break;
    }
    plan->composes.push_back(std::move(row));
  }
  data.ClosePackage();
  core.AttachDataSource(nullptr);
  return 0;
}

void PrintPlan(const PlanResult& plan, const std::u16string& install_folder, std::FILE* out) {
  std::fprintf(out, "plan: %s into %s\n",
               plan.compose_packet ? "compose packet" : ("products " + Narrow(plan.products)).c_str(),
               Narrow(install_folder).c_str());
  size_t counts[4] = {};  // new, changed, removed, unchanged composes
  size_t files[3] = {};   // New, Changed, Removed
  for (const auto& compose : plan.composes) {
    std::fprintf(out, "compose %s: %s\n", Narrow(compose.name).c_str(), compose.state);
    const std::string state = compose.state;
    counts[state == "new" ? 0 : state == "changed" ? 1 : state == "removed" ? 2 : 3]++;
    for (const auto& file : compose.files) {
      std::fprintf(out, "  %-8s %s\n", file.state, Narrow(file.target).c_str());
      const std::string s = file.state;
      files[s == "New" ? 0 : s == "Changed" ? 1 : 2]++;
    }
  }
  std::fprintf(out,
               "summary: %zu composes (%zu new, %zu changed, %zu removed, %zu unchanged); "
               "%zu files (%zu New, %zu Changed, %zu Removed)\n",
               plan.composes.size(), counts[0], counts[1], counts[2], counts[3], files[0] + files[1] + files[2],
               files[0], files[1], files[2]);
}

}  // namespace norvinstall
