// Removal through the install engine: every file of the removed composes is marked Removed and
// goes through the same stop, placement and registration phases as an install run.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "app/log.h"
#include "app/suite_key.h"
#include "base/format.h"
#include "base/strings.h"
#include "engine/change_detect.h"
#include "engine/compose_removal.h"
#include "engine/registry_entries.h"
#include "engine/restart_needed.h"
#include "engine/update_core.h"
#include "platform/fs.h"
#include "platform/registry.h"

namespace engine {

namespace {

constexpr uint32_t kFileStaysOnDisk = 0x800;

constexpr uint32_t kWeightUninstallStop = 250;
constexpr uint32_t kWeightUninstallReplace = 450;
constexpr uint32_t kWeightUninstallRegister = 100;
constexpr uint32_t kWeightComposeStop = 300;
constexpr uint32_t kWeightComposeReplace = 290;
// At most this many composes advance the progress in each loop of UnInstallCompose.
constexpr size_t kComposeSteps = 10;

void DeleteSuiteKeys() {
  platform::DeleteKeyTree(platform::RegRoot::kLocalMachine, app::kSuiteKey);
  platform::DeleteKeyTree(platform::RegRoot::kCurrentUser, app::kSuiteKey);
  platform::DeleteKeyTree(platform::RegRoot::kCurrentUser, u"Software\\KestrelClient");
}

}  // namespace

void CUpdateCore::CollectRemovedFiles(Compose& compose) {
  compose.LinkToStore(store_);
  compose.LoadComposeFiles();
  compose.SetFileStates(FileState::kRemoved);
  CollectWorkFiles(compose, &files_, true);
}

void CUpdateCore::UninstallService() {
  if (!service_.SetUpFromRun(files_, folders_)) return;
  app::LogText(u"StopSvc ", 0, static_cast<int32_t>(service_.StopService()));
  const std::u16string& program = service_.ProgramPath();
  app::LogText(program.c_str(), 0, platform::PathExists(program) ? 1 : 0);
  app::LogText3(u"open ", program.c_str(), u" /Uninstall");
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(program.c_str()),
                                         L"/Uninstall", nullptr, SW_SHOWNORMAL);
  const auto value = reinterpret_cast<intptr_t>(result);
  app::LogText(u"ShellExec ", GetLastError(), static_cast<int32_t>(value));
  Sleep(kAfterServiceProgramWaitMs);
  app::LogText(u"UninstallSvc ", 0, value > 32 ? 1 : 0);
}

uint32_t CUpdateCore::UnInstallProducts(const char16_t* product) {
  ComposeUsage usage;
  if (view_) view_->OnStart();
  uint32_t code = Reset();
  if (!product) {
    code = kNullArgument;
  } else if (!*product) {
    code = kEmptyProductName;
  }
  if (code == kOk) {
    SetPos(27);
    app::LogText2(u"*********************** UnInstallProducts start List=", product);
    auto installed = std::make_unique<Product>(paths_);
    installed->LoadInstalledProduct(product);
    installed->name = product;
    installed->SetComposeStates(ComposeState::kInstalledOnly);
    installed->MoveComposesInto(composes_);
    products_.push_back(std::move(installed));
    StepIt(26);

    usage.Build(store_, paths_);
    for (size_t i = composes_.size(); i-- > 0;) {
      if (usage.MayRemove(composes_[i]->name)) continue;
      app::LogText2(u"msg, compose have other product use, so can not delete composename=", composes_[i]->name.c_str());
      composes_.erase(composes_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    for (auto& compose : composes_) {
      if (compose->attributes.type == kComposeGroupOnly) continue;
      CollectRemovedFiles(*compose);
      StepIt(2);
    }
    files_.erase(std::remove_if(files_.begin(), files_.end(),
                                [](const FileEntry& entry) { return (entry.flags & kFileStaysOnDisk) != 0; }),
                 files_.end());
    UninstallService();
    StopForPlacement(kWeightUninstallStop);
    code = file_operator_.ReplaceFiles(kWeightUninstallReplace);
  }
  if (code == kOk) {
    for (const auto& compose : composes_) RemoveComposeShortcuts(*compose, shortcut_folders_);
    StepIt(10);
    for (const auto& item : products_) RemoveProductShortcuts(*item, shortcut_folders_);
    StepIt(10);
    for (const auto& item : products_) {
      store_->RemoveInstalledProduct(item->name.c_str());
      platform::DeleteFileAt(paths_.ProductFilePath(item->name));
    }
    // The folder of a compose that leaves files on disk stays with them.
    for (const auto& compose : composes_) {
      const bool keeps_files = std::any_of(compose->entries.begin(), compose->entries.end(),
                                           [](const FileEntry& entry) { return (entry.flags & kFileStaysOnDisk) != 0; });
      RemoveComposeState(store_, paths_, compose->name.c_str(), keeps_files);
    }
    control_->RegisterAndStart(kWeightUninstallRegister, RestartNeeded() != 0);
    StepIt(20);
    if (data_source_) data_source_->ClosePackage();
    products_.clear();
    composes_.clear();
    if (view_) view_->SetFull();
  }
  ApplyUninstallRegistry(paths_.InstallDir(u"Install\\Setup.ini").c_str());
  DeleteSuiteKeys();
  if (view_) view_->OnFinish(code, RestartNeeded());
  app::LogText(u"*********************** UnInstallProducts end *******************");
  return code;
}

uint32_t CUpdateCore::UnInstallCompose(const char16_t* list) {
  if (view_) view_->OnStart();
  ComposeUsage usage;
  Reset();
  uint32_t code = kNullArgument;
  if (list) {
    app::LogText2(u"********************** UnInstallCompose  composeList=", list);
    SetPos(10);
    usage.Build(store_, paths_);
    size_t i = 0;
    for (std::u16string_view name : base::SplitList(list)) {
      const std::u16string compose_name(name);
      if (!usage.MayRemove(compose_name)) {
        app::LogText2(u"warning , call uninstallcomposes ,this compose have other product use,so can not delete "
                      u".compose name=",
                      compose_name.c_str());
        ++i;
        continue;
      }
      auto compose = std::make_unique<Compose>(paths_);
      compose->SetFilePath(compose_name, ComposeLocation::kInstalled);
      compose->state = ComposeState::kInstalledOnly;
      if (!compose->file_path.empty()) composes_.push_back(std::move(compose));
      if (i++ < kComposeSteps) StepIt(10);
    }
    for (size_t j = 0; j < composes_.size(); ++j) {
      if (composes_[j]->attributes.type == kComposeGroupOnly) continue;
      CollectRemovedFiles(*composes_[j]);
      if (j < kComposeSteps) StepIt(10);
    }
    StopForPlacement(kWeightComposeStop);
    code = file_operator_.ReplaceFiles(kWeightComposeReplace);
    if (code == kOk) {
      control_->RegisterAndStart(kWeightUninstallRegister, RestartNeeded() != 0);
      for (const auto& compose : composes_) RemoveComposeShortcuts(*compose, shortcut_folders_);
      for (size_t j = 0; j < composes_.size(); ++j) {
        RemoveComposeState(store_, paths_, composes_[j]->name.c_str());
        if (j < kComposeSteps) StepIt(10);
      }
      if (data_source_) data_source_->ClosePackage();
      ReleaseRun();
      if (view_) view_->SetFull();
    }
  }
  if (view_) view_->OnFinish(code, RestartNeeded());
  app::LogText(u"********************** UnInstallCompose  end ****************************");
  return code;
}

}  // namespace engine
