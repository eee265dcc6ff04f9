#include "engine/update_core.h"

#include <algorithm>

#include "app/log.h"
#include "base/format.h"
#include "base/strings.h"
#include "engine/change_detect.h"
#include "engine/compose_removal.h"
#include "engine/integrity_check.h"
#include "engine/local_install.h"
#include "engine/name_list.h"
#include "engine/os_mask.h"
#include "engine/progress_share.h"
#include "engine/registry_entries.h"
#include "engine/res_archive_install.h"
#include "engine/restart_needed.h"
#include "package/file_utils.h"
#include "platform/fs.h"

namespace engine {

namespace {

constexpr uint32_t kStatusCollecting = 133;

// The products of product_list that the package also lists, in the order of product_list;
// the package's own list when product_list is empty.
std::u16string ChooseProducts(std::u16string_view product_list, const std::u16string& package_products) {
  if (product_list.empty()) return package_products;
  std::u16string chosen;
  for (std::u16string_view name : base::SplitList(product_list)) {
    if (NameListContains(package_products, name)) AppendToNameList(&chosen, name);
  }
  return chosen;
}

bool HasFile(const FileEntryList& files, std::u16string_view file_name) {
  return std::any_of(files.begin(), files.end(), [&](const FileEntry& entry) {
    return base::EqualsIgnoreAsciiCase(entry.file_name, file_name);
  });
}

std::u16string OrEmpty(const char16_t* text) { return text ? text : u""; }

}  // namespace

CUpdateCore::CUpdateCore(WorkPaths paths, TargetFolders folders)
    : paths_(std::move(paths)),
      folders_(std::move(folders)),
      file_operator_(paths_),
      store_(&file_operator_),
      shortcut_folders_(SystemShortcutFolders()) {}

CUpdateCore::CUpdateCore(const WorkPaths& paths) : CUpdateCore(paths, SystemTargetFolders(paths)) {}

CUpdateCore::~CUpdateCore() = default;

void CUpdateCore::SetView(IUpdateView* view) {
  view_ = view;
  file_operator_.SetView(view);
}

bool CUpdateCore::Cancelled() { return view_ && view_->IsCancel() != 0; }

void CUpdateCore::StepIt(uint32_t amount) {
  if (view_) view_->StepIt(amount);
}

void CUpdateCore::SetPos(uint32_t position) {
  if (view_) view_->SetPos(position);
}

void CUpdateCore::ReleaseRun() {
  control_.reset();
  file_operator_.SetFileList(nullptr);
  products_.clear();
  composes_.clear();
  files_.clear();
}

uint32_t CUpdateCore::Reset() {
  ReleaseRun();
  if (view_) {
    view_->SetRange(0, 1000);
    view_->SetItemRange(0, 100);
  }
  SetPos(1);
  if (data_source_) {
    const uint32_t code = data_source_->Prepare();
    if (code != kOk) return code;
  }
  for (const char16_t* folder : {u"Install\\", u"Install\\Compose\\", u"Install\\Product\\", u"Temp\\"}) {
    package::CreatePath(paths_.InstallDir(folder).c_str());
  }
  store_->LoadInstallList();
  SetPos(3);
  return kOk;
}

uint32_t CUpdateCore::AddLangGroup(const char16_t* list) {
  if (!list) return kNullArgument;
  store_->AddLangGroups(list);
  return kOk;
}

uint32_t CUpdateCore::RemoveLangGroup(const char16_t* list) {
  if (!list) return kNullArgument;
  store_->RemoveLangGroups(list);
  return kOk;
}

uint32_t CUpdateCore::Setup(const char16_t* package_path, const char16_t* product_list,
                            const char16_t* compose_list) {
  CInstallDataObtain source(paths_);
  if (view_) view_->OnStart();
  uint32_t code = kNullArgument;
  if (package_path) {
    code = source.LoadBigFile(package_path);
    if (code != kOk) app::LogText2(u"error,LoadBigFile,file=", package_path, code);
  }
  if (code == kOk) {
    data_source_ = &source;
    code = Reset();
  }
  if (code == kOk) {
    std::u16string composes = OrEmpty(compose_list);
    if (source.IsComposePacket() == package::kDeedBoxKindComposePacket) {
      // The wizard gives no list: a packet then installs the composes its header lists.
      if (composes.empty()) composes = source.PacketComposeList();
      app::LogText2(u"************************* begin offline packet compose composeList=", composes.c_str());
      code = InstallComposePacket(composes.c_str());
      app::LogText(u"************************* end offline packet compose *********************");
    } else {
      app::LogText2(u"************************* begin setup product composeList=", composes.c_str());
      const std::u16string products = ChooseProducts(OrEmpty(product_list), source.ProductList());
      code = InstallProducts(products.c_str(), composes.c_str());
      app::LogText(u"************************* end setup product *********************");
    }
    if (code == kOk) {
      source.ClosePackage();
      products_.clear();
      composes_.clear();
    }
  }
  if (view_) view_->OnFinish(code, RestartNeeded());
  data_source_ = nullptr;
  return code;
}

uint32_t CUpdateCore::InstallProducts(const char16_t* product_list, const char16_t* compose_list) {
  if (!product_list) return kNullArgument;
  if (!*product_list) return kEmptyProductList;
  products_.clear();
  for (std::u16string_view name : base::SplitList(product_list)) {
    auto product = std::make_unique<Product>(paths_);
    const std::u16string product_name(name);
    product->LoadInstalledProduct(product_name.c_str());
    product->name = product_name;
    products_.push_back(std::move(product));
  }
  compose_filter_ = OrEmpty(compose_list);

  SetPos(5);
  if (Cancelled()) return kStoppedByUser;
  if (uint32_t code = ObtainProducts()) return code;
  SetPos(10);
  if (Cancelled()) return kStoppedByUser;
  if (uint32_t code = LoadProducts()) return code;
  SetPos(15);
  if (Cancelled()) return kStoppedByUser;
  MarkInstalledComposes();
  SetPos(20);
  if (Cancelled()) return kStoppedByUser;
  FilterComposes();
  DropGroupComposes();
  SetPos(22);
  if (Cancelled()) return kStoppedByUser;
  CheckWalpCompose();
  if (uint32_t code = ObtainComposes(kWeightObtainComposes)) return code;
  if (Cancelled()) return kStoppedByUser;
  if (uint32_t code = CollectFiles(kWeightCollectFiles, true)) return code;
  if (Cancelled()) return kStoppedByUser;
  DropSharedDeletes();
  DropForeignFiles();
  if (uint32_t code = ObtainFiles(kWeightObtainFiles)) return code;
  if (Cancelled()) return kStoppedByUser;
  return PlaceRun(true);
}

uint32_t CUpdateCore::InstallComposePacket(const char16_t* compose_list) {
  if (!compose_list || !*compose_list) return kNullArgument;
  composes_.clear();
  const std::u16string installed = store_->GetInstalledComposes();
  for (std::u16string_view name : base::SplitList(compose_list)) {
    auto compose = std::make_unique<Compose>(paths_);
    compose->SetFilePath(name, ComposeLocation::kInstalled);
    if (compose->file_path.empty()) continue;  // not a plain file name
    compose->state = NameListContains(installed, name) ? ComposeState::kBoth : ComposeState::kNewOnly;
    composes_.push_back(std::move(compose));
  }
  SetPos(20);
  if (Cancelled()) return kStoppedByUser;
  DropGroupComposes();
  SetPos(50);
  if (Cancelled()) return kStoppedByUser;
  if (uint32_t code = ObtainComposes(kWeightPacketObtainComposes)) return code;
  if (Cancelled()) return kStoppedByUser;
  if (uint32_t code = CollectFiles(kWeightCollectFiles, true)) return code;
  if (Cancelled()) return kStoppedByUser;
  DropSharedDeletes();
  if (uint32_t code = DropForeignFiles()) return code;
  if (uint32_t code = ObtainFiles(kWeightObtainFiles)) return code;
  if (Cancelled()) return kStoppedByUser;
  return PlaceRun(false);
}

uint32_t CUpdateCore::ObtainProducts() {
  if (!data_source_) return kNoDataSource;
  uint32_t result = kOk;
  bool any_obtained = false;
  for (auto& product : products_) {
    const std::u16string path = paths_.TempFilePath(product->name + u".ini");
    product->new_description_path = path;
    const uint32_t code = data_source_->ObtainProductIni(product->name.c_str(), path.c_str());
    if (code != kOk) {
      app::LogText(base::Format(1024, u"ObtainProductIni ProductName=%s m_strNewIni=%s", product->name.c_str(),
                                path.c_str())
                       .c_str(),
                   code);
      result = code;
    } else {
      any_obtained = true;
    }
    if (Cancelled()) return kStoppedByUser;
  }
  return any_obtained ? kOk : result;
}

uint32_t CUpdateCore::LoadProducts() {
  for (auto& product : products_) {
    CompareProducts(*product, product->new_description_path.c_str(), &composes_);
    if (Cancelled()) return kStoppedByUser;
  }
  return kOk;
}

void CUpdateCore::MarkInstalledComposes() {
  for (std::u16string_view name : base::SplitList(store_->GetInstalledComposes())) {
    Compose* compose = FindCompose(composes_, name);
    if (!compose) continue;
    compose->flags |= kComposeMarkedInstalled;
    if (compose->state == ComposeState::kNewOnly) compose->state = ComposeState::kBoth;
  }
}

void CUpdateCore::FilterComposes() {
  if (compose_filter_.empty()) return;
  for (size_t i = composes_.size(); i-- > 0;) {
    const Compose& compose = *composes_[i];
    if (compose.attributes.type == kComposeGroupOnly || compose.state == ComposeState::kInstalledOnly) continue;
    if (NameListContains(compose_filter_, compose.name)) continue;
    composes_.erase(composes_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void CUpdateCore::DropGroupComposes() {
  composes_.erase(std::remove_if(composes_.begin(), composes_.end(),
                                 [](const auto& compose) { return compose->attributes.type == kComposeGroupOnly; }),
                  composes_.end());
}

void CUpdateCore::CheckWalpCompose() {
  for (auto it = composes_.begin(); it != composes_.end(); ++it) {
    if ((*it)->name != kWalpCompose) continue;
    const std::u16string path = paths_.TempFilePath(u"walp.tmp");
    if (!data_source_ || data_source_->ObtainComposeIni(kWalpCompose, path.c_str()) != kOk) composes_.erase(it);
    return;
  }
}

bool CUpdateCore::InstallNewDescription(const Compose& compose) const {
  return platform::CopyFileOverwriting(compose.new_description_path, compose.file_path);
}

uint32_t CUpdateCore::ObtainComposes(uint32_t weight) {
  if (view_) view_->SetItemRange(0, static_cast<uint32_t>(composes_.size()));
  ProgressShare progress(view_, weight, composes_.size());
  for (auto& item : composes_) {
    Compose& compose = *item;
    if (Cancelled()) return kStoppedByUser;
    if (view_) view_->BeginItem(1);
    if (compose.attributes.type == kComposeGroupOnly) continue;

    const bool removed = compose.state == ComposeState::kInstalledOnly;
    if (!removed) {
      const std::u16string path = paths_.TempFilePath(std::u16string(ComposePrefix(compose.name)) + u".out");
      const uint32_t code = data_source_ ? data_source_->ObtainComposeIni(compose.name.c_str(), path.c_str())
                                         : kNoDataSource;
      if (code != kOk) {
        app::LogFormat(u"error ,ObtainComposeIni Error. composename=%s to file=%s", compose.name.c_str(),
                       path.c_str());
        app::LogText(u"ObtainComposeIni", code);
        return code;
      }
      compose.new_description_path = path;
    }

    compose.LinkToStore(store_);
    if (compose.state == ComposeState::kNewOnly && InstallNewDescription(compose)) {
      // The installed copy of a new compose says version 0 until the run has placed its files.
      app::CIniReader copy;
      if (copy.LoadTzFile(compose.file_path)) {
        copy.SetString(u"Version", u"CurVersion", u"0");
        copy.Save();
        UpdateFileSize(copy, true);
      }
    }

    uint32_t code = compose.LoadComposeFiles();
    if (code != kOk && !removed) {
      InstallNewDescription(compose);
      app::LogFormat(u"msg, LoadComposeFile compose=%s error, so copy new ini and try", compose.name.c_str());
      compose.entries.clear();
      code = compose.LoadComposeFiles();
      if (code != kOk) return code;
      if (compose.name == kWalpCompose) compose.flags |= kComposeReloaded;
    }
    progress.Advance();
  }
  if (view_) view_->EndItems();
  return kOk;
}

uint32_t CUpdateCore::CollectFiles(uint32_t weight, bool all) {
  if (view_) {
    view_->SetStatus(kStatusCollecting);
    view_->SetItemRange(0, static_cast<uint32_t>(composes_.size()));
  }
  ProgressShare progress(view_, weight, composes_.size());
  const FileValidMarks marks(FileValidMarks::Access::kRead);
  for (auto& item : composes_) {
    Compose& compose = *item;
    if (Cancelled()) return kStoppedByUser;
    if (view_) view_->BeginItem(1);
    if (compose.attributes.type == kComposeGroupOnly) continue;
    if (compose.state != ComposeState::kInstalledOnly) {
      const uint32_t code =
          MergeComposeFiles(compose, compose.new_description_path.c_str(), ComposeLocation::kInstalled, folders_,
                            [&marks](const FileEntry& entry) {
                              return marks.IsValid(entry.file_name.c_str(), entry.compose_name.c_str());
                            });
      if (code != kOk) return code;
    } else {
      compose.SetFileStates(FileState::kRemoved);
    }
    CollectWorkFiles(compose, &files_, all);
    progress.Advance();
  }
  if (view_) view_->EndItems();
  return kOk;
}

void CUpdateCore::DropSharedDeletes() {
  for (size_t i = files_.size(); i-- > 0;) {
    const FileEntry& removed = files_[i];
    if (removed.state != FileState::kRemoved) continue;
    const std::u16string removed_path = FileTargetPath(removed, folders_);
    for (const auto& other : composes_) {
      if (base::EqualsIgnoreAsciiCase(other->name, removed.compose_name)) continue;
      const bool shared = std::any_of(other->entries.begin(), other->entries.end(), [&](const FileEntry& entry) {
        return base::EqualsIgnoreAsciiCase(entry.file_name, removed.file_name) &&
               base::EqualsIgnoreAsciiCase(FileTargetPath(entry, folders_), removed_path);
      });
      if (!shared) continue;
      app::LogFormat(
          u"msg , delete is ignore,because have another compose have this file.file=%s del compose=%s exist "
          u"compose=%s",
          removed.file_name.c_str(), removed.compose_name.c_str(), other->name.c_str());
      files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
}

uint32_t CUpdateCore::DropForeignFiles() {
  const OsMask system = GetOsMask();
  files_.erase(std::remove_if(files_.begin(), files_.end(),
                              [&](const FileEntry& entry) { return entry.os_mask != 0 && !(entry.os_mask & system); }),
               files_.end());
  return kOk;
}

uint32_t CUpdateCore::ObtainFiles(uint32_t weight) {
  if (view_) view_->SetFileCount(static_cast<uint32_t>(files_.size()));
  ProgressShare progress(view_, weight, files_.size());
  for (size_t i = 0; i < files_.size(); ++i) {
    FileEntry& entry = files_[i];
    if (Cancelled()) return kStoppedByUser;
    if (entry.state == FileState::kUnchanged) continue;
    if (entry.state != FileState::kRemoved) {
      if (view_) view_->SetCurrentFile(static_cast<uint32_t>(i + 1));
      const uint32_t code = data_source_ ? data_source_->ObtainFile(&entry, &entry.extracted_path) : kNoDataSource;
      if (Cancelled()) return kStoppedByUser;
      if (code != kOk) return code;
    }
    progress.Advance();
  }
  return kOk;
}

PlacementSteps CUpdateCore::MakePlacementSteps() {
  PlacementSteps steps;
  steps.sort_files = [](FileEntryList& files) { SortFiles(files); };
  steps.mark_files_invalid = [this] { file_operator_.MarkFilesInvalid(); };
  steps.mark_files_valid = [this] { file_operator_.MarkFilesValid(); };
  steps.write_run_once = [](const std::u16string& name, const std::u16string& command) {
    WriteRegString(platform::RegRoot::kLocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                   name.c_str(), command.c_str());
  };
  return steps;
}

void CUpdateCore::StopForPlacement(uint32_t weight) {
  file_operator_.SetFileList(&files_);
  for (const auto& compose : composes_) {
    if (compose->state != ComposeState::kInstalledOnly) continue;
    bool restart = false;
    UninstallComposeDll(*compose, folders_, &restart);
    if (restart) SetRestartNeeded();
  }
  control_ = std::make_unique<ComponentControl>(&files_, folders_, MakePlacementSteps(), view_);
  control_->StopAndUnregister(weight);
}

uint32_t CUpdateCore::PlaceRun(bool with_products) {
  service_path_.clear();
  if (with_products && HasFile(files_, kServiceProgramName) && service_.SetUpFromRun(files_, folders_)) {
    service_path_ = service_.ProgramPath();
    app::LogText(u"StopSvc ", 0, static_cast<int32_t>(service_.StopService()));
  }

  StopForPlacement(kWeightStopAndUnregister);
  if (uint32_t code = file_operator_.ReplaceFiles(kWeightReplaceFiles)) return code;

  if (!service_path_.empty()) {
    app::LogText(u"UndateSvc ", 0, static_cast<int32_t>(service_.RunServiceProgram(u"/Install", 0)));
  }

  // The new descriptions become the installed ones only now that their files are in place.
  if (with_products) {
    for (const auto& product : products_) {
      const std::u16string installed = paths_.ProductFilePath(product->name);
      if (product->new_description_path.empty() || installed.empty()) continue;
      if (platform::CopyFileOverwriting(product->new_description_path, installed)) {
        platform::DeleteFileAt(product->new_description_path);
      }
    }
    UnzipResFiles(files_, paths_.InstallDir());
  }
  for (const auto& compose : composes_) {
    if (compose->state == ComposeState::kInstalledOnly || compose->new_description_path.empty()) continue;
    if (InstallNewDescription(*compose)) platform::DeleteFileAt(compose->new_description_path);
  }

  if (with_products) {
    for (const auto& product : products_) {
      store_->AddInstalledProduct(product->name.c_str());
      CreateProductShortcuts(*product, shortcut_folders_, folders_);
    }
  }
  UpdateComposeLists();
  for (const auto& compose : composes_) {
    if (compose->state == ComposeState::kInstalledOnly) continue;
    CreateComposeShortcuts(*compose, false, (compose->flags & kComposeMarkedInstalled) != 0, shortcut_folders_,
                           folders_);
  }
  StepIt(50);

  control_->RegisterAndStart(kWeightRegisterAndStart, RestartNeeded() != 0);
  const uint32_t code = data_source_ ? data_source_->Finish(kOk) : kOk;
  if (view_) view_->SetFull();
  return code;
}

void CUpdateCore::UpdateComposeLists() {
  std::u16string update_names;
  for (const auto& item : composes_) {
    Compose& compose = *item;
    const bool type1 = compose.attributes.type == kComposeLoadedWithProduct;
    if (compose.state == ComposeState::kInstalledOnly) {
      RemoveComposeShortcuts(compose, shortcut_folders_);
      RemoveComposeState(store_, paths_, compose.name.c_str());
    } else if (compose.state == ComposeState::kBoth && (compose.flags & kComposeMarkedInstalled)) {
      if (type1 && compose.attributes.update != 0) AppendToNameList(&update_names, compose.name);
    } else {
      if (type1) {
        store_->AddInstalledCompose(compose.name.c_str());
        if (compose.attributes.update != 0) AppendToNameList(&update_names, compose.name);
      }
      if (compose.flags & kComposeParentLangGroup) AddLangGroup(compose.attributes.parent.c_str());
    }
  }
  if (!update_names.empty()) store_->AddUpdateComposes(update_names.c_str());
}

}  // namespace engine
