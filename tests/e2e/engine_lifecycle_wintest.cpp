// The install engine end to end under Wine: packages built from the example suites by the suite
// builder, installed, updated, installed again and removed through CUpdateCore in real folders,
// with the real registry, links and service of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <map>
#include <set>

#include "app/suite_key.h"
#include "engine/engine_test_util.h"
#include "engine/null_view.h"
#include "engine/install_worker.h"
#include "engine/local_install.h"
#include "engine/registry_entries.h"
#include "engine/shortcuts.h"
#include "engine/update_core.h"
#include "platform/registry.h"
#include "support/log_tail.h"
#include "tools/norvpack_fixture.h"

namespace {

using build_test::ExampleSuite;
using build_test::Join;
using testing_support::ScratchDir;
namespace fs = std::filesystem;

// Stands for the process being killed: thrown out of the view, it ends the run mid-step.
struct Killed {};

// Records what the engine reports. IsCancel answers 1 from its cancel_at-th call on; the
// kill_at-th file copy throws Killed before the file is copied.
struct RecordingView : engine_test::NullView {
  uint32_t IsCancel() override { return cancel_at && ++checks >= cancel_at ? 1 : 0; }
  uint16_t SetPos(uint32_t position) override {
    pos = position;
    return 0;
  }
  uint32_t GetPos() override { return pos; }
  void OnCopyFile(const char16_t*, const char16_t* target) override {
    if (kill_at && copied.size() + 1 == kill_at) throw Killed{};
    copied.insert(std::u16string(base::FileNamePart(target)));
  }
  void SetFull() override { full = true; }
  void OnFinish(uint32_t code, uint32_t restart) override { finish.push_back(code); }
  size_t cancel_at = 0;
  size_t checks = 0;
  size_t kill_at = 0;
  uint32_t pos = 0;
  bool full = false;
  std::multiset<std::u16string> copied;
  std::vector<uint32_t> finish;
};

void Replace(const std::u16string& path, const std::string& from, const std::string& to) {
  std::string text = testing_support::ReadText(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  testing_support::WriteText(path, text);
}

// A copy of an example suite with a compose for the suite's service: the built NorvServ.exe and a
// file that stays on disk when the product is removed (flag 0x800).
std::u16string StageSuite(const ScratchDir& scratch, const char* name, bool with_service, bool drop_plugin) {
  const std::u16string dir = scratch.Join(base::Utf8ToUtf16(name));
  fs::copy(testing_support::Native(ExampleSuite(name)), testing_support::Native(dir), fs::copy_options::recursive);
  const std::u16string product = dir + u"\\products\\NorvClient.out";
  if (drop_plugin) {
    Replace(product, "All=Main,Updater,PluginA", "All=Main,Updater");
    fs::remove(testing_support::Native(dir + u"\\composes\\PluginA.out"));
  }
  if (with_service) {
    Replace(product, "All=Main,Updater", "All=Main,Updater,Service");
    testing_support::WriteText(product, testing_support::ReadText(product) + "\n[Service]\nType=0\nTitle0409=Service\n");
    testing_support::WriteText(dir + u"\\composes\\Service.out",
                               "[Version]\nCurVersion=1\nPath=Service\nSize=auto\nFileSize=auto\n\n"
                               "[HaveSection]\nService=Program\n\n[Program]\n"
                               "NorvServ.exe=,,0,0,0,1,0,1,0,0,,,auto,,auto,0\n"
                               "keep.dat=,,0,0,2048,2,0,0,0,0,,,auto,,auto,0\n\n[Info]\nTitle0409=Service\n");
    package::CreatePath((dir + u"\\files\\Service\\").c_str());
    EXPECT_TRUE(engine_test::PlaceStandin(u"NorvServ.exe", dir + u"\\files\\Service\\NorvServ.exe"));
    testing_support::WriteText(dir + u"\\files\\Service\\keep.dat", "settings the user keeps\n");
  }
  return dir;
}

std::u16string BuildPackage(const std::u16string& suite, const std::u16string& out, const char16_t* packet = u"") {
  norvpack::SuiteBuildOptions options;
  options.suite_dir = suite;
  options.stub = build_test::StubProgram();
  options.packet_composes = packet;
  norvpack::SuiteBuildOutput output;
  norvpack::SuiteError error;
  EXPECT_TRUE(norvpack::BuildSuite(options, &output, &error)) << error.message;
  build_test::WriteAll(out, output.package);
  return out;
}

// Every file under the folder (relative path → bytes), the run's temporary files left out.
std::map<std::u16string, std::vector<unsigned char>> Tree(const std::u16string& folder) {
  std::map<std::u16string, std::vector<unsigned char>> tree;
  const fs::path root = testing_support::Native(folder);
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (!item.is_regular_file()) continue;
    const std::u16string relative = fs::relative(item.path(), root).u16string();
    if (relative.rfind(u"Temp", 0) == 0) continue;
    tree[relative] = testing_support::ReadBytes(item.path().u16string());
  }
  return tree;
}

uint32_t ServiceState() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return 0;
  SC_HANDLE service = OpenServiceW(manager, L"NorvService", SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  const bool found = service && QueryServiceStatus(service, &status);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return found ? status.dwCurrentState : 0;
}

bool HasLinkWithDescription(const std::u16string& folder, const char16_t* id) {
  std::error_code error;
  for (const auto& item : fs::recursive_directory_iterator(testing_support::Native(folder), error)) {
    if (item.path().extension() == ".lnk" && engine::LinkDescriptionEquals(item.path().u16string(), id)) return true;
  }
  return false;
}

bool HasSuiteKey() {
  platform::RegKey key;
  return platform::RegKey::Open(platform::RegRoot::kLocalMachine, app::kSuiteKey, platform::RegAccess::kRead, &key) ==
         ERROR_SUCCESS;
}

class EngineLifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    install_ = scratch_.Join(u"Norv Client") + u"\\";
  }
  void TearDown() override {
    if (ServiceState() != 0) {
      engine::ServiceController service;
      service.SetUp(install_ + u"Service\\NorvServ.exe");
      service.RunServiceProgram(u"/Uninstall", 0);
    }
    platform::DeleteKeyTree(platform::RegRoot::kLocalMachine, app::kSuiteKey);
    CoUninitialize();
  }

  uint32_t Install(const std::u16string& package, RecordingView* view, const char16_t* composes = u"") {
    engine::CUpdateCore core{engine::WorkPaths(install_)};
    core.SetView(view);
    return core.Setup(package.c_str(), u"", composes);
  }

  ScratchDir scratch_;
  std::u16string install_;
};

TEST_F(EngineLifecycle, InstallUpdateReinstallAndUninstall) {
  const std::u16string v1 = BuildPackage(StageSuite(scratch_, "suite", true, false), scratch_.Join(u"v1.pkg"));
  const std::u16string v2 = BuildPackage(StageSuite(scratch_, "suite-v2", true, true), scratch_.Join(u"v2.pkg"));
  const std::u16string programs = engine::SystemShortcutFolders().programs;

  // A fresh install: files, descriptions, installed state, marks, links, service, log banners.
  testing_support::LogTail log;
  RecordingView fresh;
  ASSERT_TRUE(app::WriteInstallPath(install_.c_str()));
  {
    engine::CUpdateCore core{engine::WorkPaths(install_)};
    core.SetView(&fresh);
    ASSERT_EQ(engine::RunInstall(core, {v1, u"", u"", scratch_.Join(u"Style\\")}), 0u);
  }
  EXPECT_EQ(fresh.finish, std::vector<uint32_t>{0});
  EXPECT_TRUE(fresh.full);
  const std::u16string suite1 = ExampleSuite("suite");
  for (const auto& [installed, source] : std::vector<std::pair<const char16_t*, const char16_t*>>{
           {u"NorvFrame.exe", u"files\\Main\\bin\\NorvFrame.exe"},
           {u"doc\\readme.txt", u"files\\Main\\doc\\readme.txt"},
           {u"Update\\NorvUpdate.exe", u"files\\Updater\\NorvUpdate.exe"},
           {u"Plugins\\PluginA\\PluginA.dll", u"files\\PluginA\\PluginA.dll"},
           {u"ProgData\\html.dat", nullptr},
           {u"html\\index.htm", u"archives\\html\\index.htm"},
           {u"Service\\keep.dat", nullptr},
           {u"Install\\Product\\NorvClient.out", nullptr},
           {u"Install\\Compose\\Main.out", nullptr},
           {u"Install\\Setup.ini", nullptr}}) {
    SCOPED_TRACE(base::Utf16ToUtf8(installed));
    ASSERT_TRUE(testing_support::Exists(install_ + installed));
    if (source) {
      EXPECT_EQ(build_test::ReadAll(install_ + installed), build_test::ReadAll(Join(suite1, source)));
    }
  }
  const std::string install_ini = engine_test::ReadUtf16File(install_ + u"Install\\install.ini");
  EXPECT_NE(install_ini.find("ProductList=NorvClient"), std::string::npos);
  EXPECT_NE(install_ini.find("ComposeList=Updater"), std::string::npos);
  engine::LocalInstallPtr store(engine::CreateLocalInstall(engine::WorkPaths(install_)));
  EXPECT_EQ(store->GetUpdateComposes(), u"Updater");
  // The marks are in the 32-bit view, where a raw 64-bit open finds them under Wow6432Node.
  HKEY raw = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\NorvClient\\FileValid", 0,
                          KEY_READ | KEY_WOW64_64KEY, &raw),
            ERROR_SUCCESS);
  if (raw) RegCloseKey(raw);
  std::u16string main_program;
  EXPECT_TRUE(engine::ReadRegString(platform::RegRoot::kLocalMachine, u"Software\\NorvClient\\Setup",
                                    u"MainProgram", 1024, &main_program));
  EXPECT_EQ(main_program, install_ + u"NorvFrame.exe");
  EXPECT_TRUE(HasLinkWithDescription(programs, u"MainLink"));
  EXPECT_TRUE(HasLinkWithDescription(programs, u"UpdateLink"));
  EXPECT_EQ(ServiceState(), static_cast<uint32_t>(SERVICE_RUNNING));
  EXPECT_NE(log.Text().find("begin setup product"), std::string::npos);
  EXPECT_NE(log.Text().find("end setup product"), std::string::npos);

  // The same version again writes no file.
  RecordingView again;
  ASSERT_EQ(Install(v1, &again), 0u);
  EXPECT_TRUE(again.copied.empty()) << again.copied.size() << " files copied";

  // The update writes only what changed or is new; the dropped compose is removed with its state;
  // a file that moved to another compose at the same path stays.
  RecordingView update;
  ASSERT_EQ(Install(v2, &update), 0u);
  EXPECT_EQ(update.copied,
            (std::multiset<std::u16string>{u"NorvFrame.exe", u"whatsnew.txt", u"shared.cfg", u"html.dat", u"logo.bin"}));
  EXPECT_EQ(build_test::ReadAll(install_ + u"NorvFrame.exe"),
            build_test::ReadAll(Join(ExampleSuite("suite-v2"), u"files\\Main\\bin\\NorvFrame.exe")));
  EXPECT_TRUE(testing_support::Exists(install_ + u"shared.cfg"));
  EXPECT_FALSE(testing_support::Exists(install_ + u"Plugins\\PluginA"));
  EXPECT_FALSE(testing_support::Exists(install_ + u"Install\\Compose\\PluginA.out"));
  EXPECT_NE(testing_support::ReadText(install_ + u"html\\index.htm").find("Version 2"), std::string::npos);
  EXPECT_EQ(ServiceState(), static_cast<uint32_t>(SERVICE_RUNNING));

  // Uninstall stops and removes the service first, then everything but the 0x800 file.
  RecordingView removal;
  engine::CUpdateCore core{engine::WorkPaths(install_)};
  core.SetView(&removal);
  ASSERT_EQ(core.UnInstallProducts(u"NorvClient"), 0u);
  EXPECT_EQ(ServiceState(), 0u);
  EXPECT_TRUE(testing_support::Exists(install_ + u"Service\\keep.dat"));
  for (const char16_t* gone : {u"NorvFrame.exe", u"doc\\readme.txt", u"Update\\NorvUpdate.exe", u"shared.cfg",
                               u"Service\\NorvServ.exe", u"Install\\Product\\NorvClient.out",
                               u"Install\\Compose\\Main.out"}) {
    EXPECT_FALSE(testing_support::Exists(install_ + gone)) << base::Utf16ToUtf8(gone);
  }
  EXPECT_EQ(engine_test::ReadUtf16File(install_ + u"Install\\install.ini").find("NorvClient"), std::string::npos);
  EXPECT_FALSE(HasLinkWithDescription(programs, u"MainLink"));
  EXPECT_FALSE(HasSuiteKey());
}

// A run stopped at a check, or killed before any of its file copies, is completed by running it
// again: the tree equals that of an uninterrupted run.
TEST_F(EngineLifecycle, StoppedAndKilledRunsConvergeWhenRunAgain) {
  const std::u16string package = BuildPackage(StageSuite(scratch_, "suite", false, false), scratch_.Join(u"v1.pkg"));
  RecordingView whole;
  ASSERT_EQ(Install(package, &whole), 0u);
  const auto expected = Tree(install_);
  const size_t copies = whole.copied.size();
  ASSERT_GT(copies, 9u);

  struct Interruption {
    size_t cancel_at;
    size_t kill_at;
  };
  int run = 0;
  for (const Interruption& stop : {Interruption{3, 0}, Interruption{12, 0}, Interruption{0, 1},
                                   Interruption{0, copies / 2}, Interruption{0, copies}}) {
    SCOPED_TRACE(testing::Message() << "cancel at check " << stop.cancel_at << ", kill at copy " << stop.kill_at);
    install_ = scratch_.Join(u"run" + base::Utf8ToUtf16(std::to_string(++run))) + u"\\";
    RecordingView stopped;
    stopped.cancel_at = stop.cancel_at;
    stopped.kill_at = stop.kill_at;
    if (stop.kill_at) {
      EXPECT_THROW(Install(package, &stopped), Killed);
    } else {
      EXPECT_EQ(Install(package, &stopped), 1u);
      EXPECT_EQ(stopped.finish, std::vector<uint32_t>{1});
    }
    RecordingView rerun;
    ASSERT_EQ(Install(package, &rerun), 0u);
    EXPECT_EQ(Tree(install_), expected);
  }
}

// A compose packet installs the composes of its header without product descriptions.
TEST_F(EngineLifecycle, ComposePacketInstallsItsComposes) {
  const std::u16string suite = StageSuite(scratch_, "suite", false, false);
  const std::u16string packet = BuildPackage(suite, scratch_.Join(u"packet.pkg"), u"Updater,Runtime");
  RecordingView view;
  ASSERT_EQ(Install(packet, &view), 0u);
  EXPECT_TRUE(testing_support::Exists(install_ + u"Update\\NorvUpdate.exe"));
  EXPECT_TRUE(testing_support::Exists(install_ + u"NorvHelper.dll"));
  EXPECT_TRUE(testing_support::Exists(install_ + u"Install\\Compose\\Updater.out"));
  EXPECT_FALSE(testing_support::Exists(install_ + u"NorvFrame.exe"));
  EXPECT_FALSE(testing_support::Exists(install_ + u"Install\\Product\\NorvClient.out"));

  // A product list naming no product of the package installs nothing.
  engine::CUpdateCore core{engine::WorkPaths(install_)};
  const std::u16string full = BuildPackage(suite, scratch_.Join(u"full.pkg"));
  EXPECT_EQ(core.Setup(full.c_str(), u"Other", u""), engine::kEmptyProductList);

  // A compose list keeps the named composes only.
  install_ = scratch_.Join(u"filtered") + u"\\";
  RecordingView filtered;
  ASSERT_EQ(Install(full, &filtered, u"Updater"), 0u);
  EXPECT_EQ(filtered.copied, (std::multiset<std::u16string>{u"NorvUpdate.exe", u"update.cfg"}));

  // A damaged package ends the run with the container's code and leaves nothing beside the
  // install folder.
  std::vector<uint8_t> bytes = build_test::ReadAll(full);
  bytes.resize(bytes.size() / 2);
  const std::u16string cut = scratch_.Join(u"cut.pkg");
  build_test::WriteAll(cut, bytes);
  install_ = scratch_.Join(u"damaged") + u"\\";
  RecordingView damaged;
  EXPECT_NE(Install(cut, &damaged), 0u);
  ASSERT_EQ(damaged.finish.size(), 1u);
  EXPECT_NE(damaged.finish[0], 0u);
  EXPECT_FALSE(testing_support::Exists(install_ + u"NorvFrame.exe"));

  // Cut inside its last record, the style's Setup.ini, the package still opens and every
  // description checks out; the install worker refuses it rather than succeed without settings.
  bytes = build_test::ReadAll(full);
  bytes.resize(bytes.size() - 10);
  build_test::WriteAll(cut, bytes);
  install_ = scratch_.Join(u"style-cut") + u"\\";
  RecordingView style_cut;
  {
    engine::CUpdateCore worker_core{engine::WorkPaths(install_)};
    worker_core.SetView(&style_cut);
    EXPECT_EQ(engine::RunInstall(worker_core, {cut, u"", u"", scratch_.Join(u"StyleCut\\")}), engine::kDataNotAContainer);
  }
  EXPECT_EQ(style_cut.finish, std::vector<uint32_t>{engine::kDataNotAContainer});
  EXPECT_FALSE(testing_support::Exists(install_ + u"NorvFrame.exe"));
}

}  // namespace
