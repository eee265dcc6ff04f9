// norvinstall.exe as a program: its command line, its exit codes and one-line errors, and that
// "plan" changes nothing. The engine's own runs (fresh install, update, uninstall) are tested in
// tests/e2e; here a small suite built in the test is enough to give plan something to compare.
#include <gmock/gmock.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/folders.h"
#include "app/suite_key.h"
#include "norv_version.h"
#include "platform/registry.h"
#include "norvpack_fixture.h"
#include "support/log_tail.h"
#include "support/saved_registry_value.h"

namespace {

using build_test::ExampleSuite;
using build_test::RunResult;
using testing::HasSubstr;
using testing_support::Native;
using testing_support::ScratchDir;
namespace fs = std::filesystem;

constexpr int kExitUsage = 1639;

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

void Write(const std::u16string& path, const std::string& text) {
  fs::create_directories(Native(path).parent_path());
  testing_support::WriteText(path, text);
}

// A suite of one product "Tiny" with one compose of three files; version 2 changes a.txt, keeps
// b.txt, drops sub\c.txt and adds d.txt.
std::u16string MakeSuite(const ScratchDir& scratch, int version) {
  const std::u16string suite = scratch.Join(version == 1 ? u"tiny1" : u"tiny2");
  fs::create_directories(Native(suite + u"\\skin"));
  fs::copy(Native(ExampleSuite() + u"\\skin\\wizard"), Native(suite + u"\\skin\\wizard"), fs::copy_options::recursive);
  const std::string v = std::to_string(version);
  Write(suite + u"\\suite.ini", "[Suite]\r\nProducts=Tiny\r\nDownloadUrl=http://127.0.0.1:8080/Tiny.pkg\r\nCheckString=1\r\nArchiveTime=1767225600\r\n");
  Write(suite + u"\\products\\Tiny.out",
        "[Version]\r\nProductID=9100\r\nCurrentVer=" + v +
            "\r\nConflict=\r\n\r\n[HaveCompose]\r\nAll=Tiny\r\n\r\n[Tiny]\r\nType=0\r\nBase=1\r\nTitle0409=Tiny\r\n");
  std::string files = "a.txt=,,0,0,0,2,0,0,0,0,,,,,,0\r\nb.txt=,,1,0,0,2,0,0,0,0,,,,,,0\r\n";
  files += version == 1 ? "c.txt=sub,sub,0,0,0,2,0,0,0,0,,,,,,0\r\n" : "d.txt=,,0,0,0,2,0,0,0,0,,,,,,0\r\n";
  Write(suite + u"\\composes\\Tiny.out", "[Version]\r\nCurVersion=" + v +
                                             "\r\nPath=Tiny\r\n\r\n[HaveSection]\r\nTiny=Files\r\n\r\n[Files]\r\n" + files +
                                             "\r\n[Info]\r\nTitle0409=Tiny\r\n");
  Write(suite + u"\\files\\Tiny\\a.txt", "a, version " + v + "\r\n");
  Write(suite + u"\\files\\Tiny\\b.txt", std::string(3000, 'b'));
  if (version == 1) {
    Write(suite + u"\\files\\Tiny\\sub\\c.txt", "c\r\n");
  } else {
    Write(suite + u"\\files\\Tiny\\d.txt", "d\r\n");
  }
  return suite;
}

std::u16string BuildSetup(const ScratchDir& scratch, const std::u16string& suite, const std::u16string& name,
                          bool download_only = false) {
  norvpack::SuiteBuildOptions options = build_test::Options(suite);
  options.download_only = download_only;
  const std::u16string path = scratch.Join(name);
  build_test::WriteAll(path, build_test::Build(options).setup_file);
  return path;
}

// Every file and folder below root with its bytes and write time: what a change on disk would alter.
std::vector<std::string> Snapshot(const std::u16string& root) {
  std::vector<std::string> rows;
  for (const auto& e : fs::recursive_directory_iterator(Native(root))) {
    std::string row = e.path().string();
    if (e.is_regular_file()) {
      row += " " + testing_support::ReadText(e.path().u16string()) + " " +
             std::to_string(fs::last_write_time(e.path()).time_since_epoch().count());
    }
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

bool SuiteKeyExists() {
  platform::RegKey key;
  return platform::RegKey::Open(platform::RegRoot::kLocalMachine, app::kSuiteKey, platform::RegAccess::kRead, &key) ==
         platform::kRegOk;
}

class NorvinstallTest : public testing::Test {
 protected:
  // An install leaves the suite's key with its file marks; a key the test made goes again.
  ~NorvinstallTest() override {
    if (!suite_key_existed_) platform::DeleteKeyTree(platform::RegRoot::kLocalMachine, app::kSuiteKey);
  }
  RunResult Run(const std::vector<std::u16string>& args) {
    return build_test::RunCapturingOutput(testing_support::ProgramBeside(u"..\\tools\\norvinstall\\norvinstall"), dir_,
                                          args);
  }
  // The suite's install folder value, kept as it was before the test.
  const testing_support::SavedRegistryValue saved_install_path_{app::kSuiteKey, u"InstallPath"};
  const bool suite_key_existed_ = SuiteKeyExists();
  ScratchDir dir_;
};

TEST_F(NorvinstallTest, CommandLineErrorsChangeNothingAndExitWith1639) {
  const std::u16string folder = dir_.Join(u"never");
  const std::u16string before = app::ReadInstallPath();
  const std::vector<std::vector<std::u16string>> cases = {
      {},
      {u"frobnicate"},
      {u"install"},
      {u"install", u"a.exe", u"b.exe"},
      {u"install", u"a.exe", u"--folder"},
      {u"install", u"a.exe", u"--folder", folder, u"--folder", folder},
      {u"install", u"a.exe", u"--bogus", u"1"},
      {u"install", u"a.exe", u"--product", u"Tiny"},
      {u"plan", u"a.exe", u"--products="},
      {u"uninstall"},
      {u"uninstall", u"a.exe", u"--product", u"Tiny"},
      {u"uninstall", u"--product", u"Tiny", u"--composes", u"Tiny"},
      {u"uninstall", u"--products", u"Tiny"},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const auto& a : args) shown += " " + base::Utf16ToUtf8(a);
    SCOPED_TRACE("norvinstall" + shown);
    const RunResult run = Run(args);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("norvinstall: ", 0), 0u) << run.err;
    EXPECT_THAT(run.err, HasSubstr("--help"));
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(testing_support::Exists(folder));
  EXPECT_EQ(app::ReadInstallPath(), before);
}

TEST_F(NorvinstallTest, HelpNamesTheCommandsAndExitCodes) {
  for (const auto& args : std::vector<std::vector<std::u16string>>{{u"--help"}, {u"install", u"--help"}, {u"help"}}) {
    const RunResult run = Run(args);
    EXPECT_EQ(run.code, 0);
    for (const char* word : {"install", "uninstall", "plan", "--folder", "--version", "3010", "1639"}) {
      EXPECT_THAT(run.out, HasSubstr(word));
    }
    EXPECT_EQ(run.err, "");
  }
}

// The product version in a program's version resource; "<none>" without one.
std::string ResourceVersion(const std::u16string& program) {
  const auto* path = reinterpret_cast<const wchar_t*>(program.c_str());
  DWORD unused = 0;
  std::vector<char> block(GetFileVersionInfoSizeW(path, &unused));
  void* value = nullptr;
  UINT length = 0;
  if (block.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()) ||
      !VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", &value, &length)) {
    return "<none>";
  }
  return base::Utf16ToUtf8(static_cast<const char16_t*>(value));
}

// Every program carries the build's version in its resource, and answers --version with it (norvpack
// tested with its commands; norvinstall wherever the switch stands; the wizard takes no switches).
TEST_F(NorvinstallTest, EveryProgramStatesTheBuildsVersion) {
  const struct {
    const char* name;
    const char16_t* path;
    std::vector<std::u16string> args;
  } programs[] = {{"norvinstall", u"..\\tools\\norvinstall\\norvinstall", {u"install", u"a.exe", u"--version"}},
                  {"skinview", u"skinview", {u"--version"}},
                  {"norvpack", u"..\\tools\\norvpack\\norvpack", {}},
                  {"Setup", u"..\\tools\\norvpack\\Setup", {}}};
  for (const auto& p : programs) {
    SCOPED_TRACE(p.name);
    const std::u16string program = testing_support::ProgramBeside(p.path);
    EXPECT_EQ(ResourceVersion(program), NORV_VERSION_STRING);
    if (p.args.empty()) continue;
    const RunResult run = build_test::RunCapturingOutput(program, dir_, p.args);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out + run.err, std::string(p.name) + " " NORV_VERSION_STRING "\r\n");
  }
}

TEST_F(NorvinstallTest, InputsThatCarryNoPackageEndWithTheDesignsCodeBeforeAnyChange) {
  const std::u16string download = BuildSetup(dir_, ExampleSuite(), u"Download.exe", true);
  const std::u16string text = dir_.Join(u"notes.txt");
  testing_support::WriteText(text, "not a package\r\n");

  const std::u16string folder = dir_.Join(u"target");
  const std::u16string before = app::ReadInstallPath();
  struct Case {
    std::u16string input;
    int code;
    const char* says;
  };
  const Case cases[] = {
      {dir_.Join(u"missing.exe"), 41, "no such file"},
      {text, 16, "neither a setup file nor a package"},
      {download, 16, "download-type"},
  };
  for (const auto& c : cases) {
    for (const char16_t* command : {u"install", u"plan"}) {
      SCOPED_TRACE(base::Utf16ToUtf8(std::u16string(command) + u" " + c.input));
      const testing_support::LogTail log(u"norvinstall.exe");
      const RunResult run = Run({command, c.input, u"--folder", folder, u"--quiet"});
      EXPECT_EQ(run.code, c.code);
      EXPECT_EQ(Lines(run.err), 1u) << run.err;
      EXPECT_THAT(run.err, HasSubstr(c.says));
      EXPECT_THAT(log.Text(), HasSubstr("error, norvinstall: "));  // the log has it too
    }
  }
  EXPECT_FALSE(testing_support::Exists(folder));
  EXPECT_EQ(app::ReadInstallPath(), before);
}

// Plan output lines "  <State> <path>" of one state, as paths.
std::vector<std::string> PlanFiles(const std::string& out, const std::string& state) {
  std::vector<std::string> files;
  std::istringstream in(out);
  std::string line;
  const std::string head = "  " + state;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(head + " ", 0) != 0) continue;
    const size_t path = line.find_first_not_of(' ', head.size());
    files.push_back(line.substr(path));
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(NorvinstallTest, PlanChangesNothingAndNamesWhatTheUpdateWrites) {
  const std::u16string setup1 = BuildSetup(dir_, MakeSuite(dir_, 1), u"Setup1.exe");
  const std::u16string setup2 = BuildSetup(dir_, MakeSuite(dir_, 2), u"Setup2.exe");
  const std::u16string folder = dir_.Join(u"target");
  const std::string f = base::Utf16ToUtf8(folder);
  const std::u16string before = app::ReadInstallPath();

  // Nothing installed: every file is new, and the folder is not even made.
  RunResult run = Run({u"plan", setup1, u"--folder", folder});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("compose Tiny: new"));
  EXPECT_EQ(PlanFiles(run.out, "New"),
            (std::vector<std::string>{f + "\\Tiny\\a.txt", f + "\\Tiny\\b.txt", f + "\\Tiny\\sub\\c.txt"}))
      << run.out;
  EXPECT_FALSE(testing_support::Exists(folder));
  EXPECT_EQ(app::ReadInstallPath(), before);

  run = Run({u"install", setup1, u"--folder", folder, u"--quiet"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");

  // The same version again: nothing to do.
  const std::vector<std::string> tree = Snapshot(folder);
  const std::string install_path = base::Utf16ToUtf8(app::ReadInstallPath());
  run = Run({u"plan", setup1});  // the folder from InstallPath
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("compose Tiny: unchanged"));
  EXPECT_THAT(run.out, HasSubstr("0 files"));

  // The next version: exactly the changed, new and removed files, and still nothing written.
  run = Run({u"plan", setup2, u"--folder", folder});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("compose Tiny: changed"));
  EXPECT_EQ(PlanFiles(run.out, "Changed"), std::vector<std::string>{f + "\\Tiny\\a.txt"}) << run.out;
  EXPECT_EQ(PlanFiles(run.out, "New"), std::vector<std::string>{f + "\\Tiny\\d.txt"}) << run.out;
  EXPECT_EQ(PlanFiles(run.out, "Removed"), std::vector<std::string>{f + "\\Tiny\\sub\\c.txt"}) << run.out;
  EXPECT_EQ(Snapshot(folder), tree);
  EXPECT_EQ(base::Utf16ToUtf8(app::ReadInstallPath()), install_path);

  // The update then writes what the plan named, and deletes what it named.
  run = Run({u"install", setup2, u"--folder", folder, u"--quiet"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("2 files placed, 1 deleted"));
  EXPECT_EQ(testing_support::ReadText(folder + u"\\Tiny\\a.txt"), "a, version 2\r\n");
  EXPECT_TRUE(testing_support::Exists(folder + u"\\Tiny\\d.txt"));
  EXPECT_FALSE(testing_support::Exists(folder + u"\\Tiny\\sub\\c.txt"));
}

// The work folders ("norvinstall-<pid>") in the working folder.
std::vector<fs::path> WorkFolders() {
  std::vector<fs::path> folders;
  std::error_code error;
  for (const auto& item : fs::directory_iterator(Native(app::GetTempWorkDir()), error)) {
    if (item.path().filename().u16string().rfind(u"norvinstall-", 0) == 0) folders.push_back(item.path());
  }
  return folders;
}

// The killed run's work folder, with its copy of the package, is deleted by the next run; the
// folder of a run still going (here this process's own) stays.
TEST_F(NorvinstallTest, ARunKilledAtAFileCopyIsFinishedByTheNextRun) {
  const std::u16string setup = BuildSetup(dir_, MakeSuite(dir_, 1), u"Setup1.exe");
  const std::u16string folder = dir_.Join(u"target");
  _wputenv(L"NORVINSTALL_KILL_AFTER_COPIES=2");
  RunResult run = Run({u"install", setup, u"--folder", folder, u"--quiet"});
  _wputenv(L"NORVINSTALL_KILL_AFTER_COPIES=");
  EXPECT_EQ(run.code, 99);
  const std::vector<fs::path> abandoned = WorkFolders();
  ASSERT_FALSE(abandoned.empty());
  const fs::path running = Native(app::GetTempWorkDir() + u"norvinstall-" +
                                  base::Utf8ToUtf16(std::to_string(GetCurrentProcessId())));
  fs::create_directories(running);
  run = Run({u"install", setup, u"--folder", folder, u"--quiet"});
  EXPECT_EQ(WorkFolders(), std::vector<fs::path>{running});
  fs::remove(running);
  ASSERT_EQ(run.code, 0) << run.out << run.err;
}

}  // namespace
