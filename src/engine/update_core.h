#pragma once
// The install engine: installs the products of a package (or the composes of a compose packet),
// updates what is installed, and removes it again. A run opens the package through the install
// data source, compares the installed descriptions with the new ones, extracts the files that
// need work, stops the suite's service and programs, places the files, registers and starts what
// needs it, and records the new installed state. Every step reports progress to the view
// (positions 0 to 1000) and asks IsCancel between steps and before each item: a stop ends the
// run with 1, and what was placed stays placed.
//
// The installed descriptions of a run are written only after its files are placed, so a run
// that ends early (stopped, failed or killed) is finished by running it again.
//
// The whole engine is Windows code; the steps are public so that a test or a tool can drive
// them one by one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/compose.h"
#include "engine/component_control.h"
#include "engine/compose_usage.h"
#include "engine/data_obtain.h"
#include "engine/file_entry.h"
#include "engine/file_operator.h"
#include "engine/product.h"
#include "engine/shortcuts.h"
#include "engine/target_path.h"
#include "engine/update_view.h"
#include "engine/work_paths.h"

namespace engine {

// Codes of the engine's own steps; the data source's and the lower steps' codes pass unchanged.
constexpr uint32_t kNoDataSource = 10;       // product descriptions asked for without a package
constexpr uint32_t kEmptyProductList = 17;
constexpr uint32_t kEmptyProductName = 352;  // UnInstallProducts with an empty name

// Progress weights of the steps of a run (of 1000).
constexpr uint32_t kWeightObtainComposes = 50;
constexpr uint32_t kWeightPacketObtainComposes = 100;
constexpr uint32_t kWeightCollectFiles = 50;
constexpr uint32_t kWeightObtainFiles = 150;
constexpr uint32_t kWeightStopAndUnregister = 150;
constexpr uint32_t kWeightReplaceFiles = 300;
constexpr uint32_t kWeightRegisterAndStart = 200;

// The compose whose description is checked before the others are obtained.
constexpr char16_t kWalpCompose[] = u"walp";

class IUpdateCore {
 public:
  virtual ~IUpdateCore() = default;
  // A whole install run of the package at package_path: the products of product_list (comma
  // separated; empty: every product of the package) restricted to compose_list (empty: all),
  // or, for a compose packet, the composes of compose_list.
  virtual uint32_t Setup(const char16_t* package_path, const char16_t* product_list,
                         const char16_t* compose_list) = 0;
  // AddLangGroups / RemoveLangGroups of the installed-state store: 2 for a null list, else 0.
  virtual uint32_t AddLangGroup(const char16_t* list) = 0;
  virtual uint32_t RemoveLangGroup(const char16_t* list) = 0;
  // Removes an installed product with the composes no other installed product needs.
  virtual uint32_t UnInstallProducts(const char16_t* product) = 0;
  // Removes the named composes (comma separated) that no other installed product needs.
  virtual uint32_t UnInstallCompose(const char16_t* list) = 0;
  // Prepares a run: releases the last run, sets the progress range, creates the working folders
  // and loads install.ini.
  virtual uint32_t Reset() = 0;
};

using ProductList = std::vector<std::unique_ptr<Product>>;

class CUpdateCore final : public IUpdateCore {
 public:
  // The engine of the install folder of paths; file targets resolve against folders.
  CUpdateCore(WorkPaths paths, TargetFolders folders);
  // With the folders of the running system.
  explicit CUpdateCore(const WorkPaths& paths);
  ~CUpdateCore() override;

  // The progress view of the engine and its file operator (not owned; null reports nothing).
  void SetView(IUpdateView* view);
  IUpdateView* View() const { return view_; }

  uint32_t Setup(const char16_t* package_path, const char16_t* product_list,
                 const char16_t* compose_list) override;
  uint32_t AddLangGroup(const char16_t* list) override;
  uint32_t RemoveLangGroup(const char16_t* list) override;
  uint32_t UnInstallProducts(const char16_t* product) override;
  uint32_t UnInstallCompose(const char16_t* list) override;
  uint32_t Reset() override;

  // The steps of a run. Each works on the run's products, composes and file list below; a
  // data source must be attached for the ones that obtain from the package.
  uint32_t InstallProducts(const char16_t* product_list, const char16_t* compose_list);
  uint32_t InstallComposePacket(const char16_t* compose_list);
  // Each product's new description to {I}Temp\<product>.ini. 0 when at least one was obtained.
  uint32_t ObtainProducts();
  // CompareProducts of each product: builds the run's compose list with its states.
  uint32_t LoadProducts();
  // Composes that install.ini lists are marked installed; new ones among them become Both.
  void MarkInstalledComposes();
  // Keeps composes named in the compose list filter, Type 2 and removed composes.
  void FilterComposes();
  void DropGroupComposes();
  // The "walp" rule: the first compose of that name stays only when its description is obtained.
  void CheckWalpCompose();
  uint32_t ObtainComposes(uint32_t weight);
  uint32_t CollectFiles(uint32_t weight, bool all);
  // Removed entries whose installed file another compose of the run also lists stay on disk.
  void DropSharedDeletes();
  // Entries for other systems than this one are dropped.
  uint32_t DropForeignFiles();
  uint32_t ObtainFiles(uint32_t weight);
  // The compose lists of the installed-state store, removed composes' links and state.
  void UpdateComposeLists();

  // Makes source the run's data source (not owned) for steps driven one by one; null detaches.
  void AttachDataSource(CInstallDataObtain* source) { data_source_ = source; }
  void SetComposeFilter(std::u16string filter) { compose_filter_ = std::move(filter); }

  ProductList& Products() { return products_; }
  ComposeList& Composes() { return composes_; }
  FileEntryList& Files() { return files_; }
  FileOperator& Operator() { return file_operator_; }
  const WorkPaths& Paths() const { return paths_; }
  const TargetFolders& Folders() const { return folders_; }

 private:
  // Calls IsCancel: true when the run must stop.
  bool Cancelled();
  // The progress position after item i of n of a step of weight that started at base.
  void Advance(double base, uint32_t weight, size_t done, size_t count);
  // Copies a new compose description over the installed one; false when the copy fails.
  bool InstallNewDescription(const Compose& compose) const;
  // The part of a run after its files are obtained: service, placement, descriptions, state.
  uint32_t PlaceRun(bool with_products);
  // An uninstall operation's compose: its files, all Removed, join the run's file list.
  void CollectRemovedFiles(Compose& compose);
  // Stops and removes the service when the run's files hold its program.
  void UninstallService();
  // Hands the file list to the file operator, calls the removed composes' uninstall entry
  // points, stops programs and unregisters components.
  void StopForPlacement(uint32_t weight);
  void ReleaseRun();
  PlacementSteps MakePlacementSteps();
  void StepIt(uint32_t amount);
  void SetPos(uint32_t position);

  WorkPaths paths_;
  TargetFolders folders_;
  CInstallDataObtain* data_source_ = nullptr;
  IUpdateView* view_ = nullptr;
  FileOperator file_operator_;
  ProductList products_;
  ComposeList composes_;
  FileEntryList files_;
  std::u16string compose_filter_;
  ILocalInstall* store_;  // file_operator_
  ServiceController service_;
  std::u16string service_path_;
  std::unique_ptr<ComponentControl> control_;
  ShortcutFolders shortcut_folders_;
};

}  // namespace engine
