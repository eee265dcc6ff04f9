// Registration and process control under Wine, against the stand-ins of the suite's programs:
// real processes, the close handshake's event and atom, the service manager and the registry;
// and the uninstall entry points of a compose's DLLs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "engine/component_control.h"
#include "engine/compose_removal.h"
#include "package/file_utils.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "support/log_tail.h"
#include "support/programs.h"
#include "support/scratch_dir.h"
#include "engine_test_util.h"
#include "null_view.h"

namespace {

using platform::RegAccess;
using platform::RegKey;
using platform::RegRoot;

constexpr char16_t kMarksKey[] = u"Software\\NorvStandIns";
constexpr char16_t kComClassKey[] = u"CLSID\\{6E6F7276-0001-4C00-8000-000000C0FFEE}";

// A stand-in copied into the folder, under its name or another.
std::u16string Place(const testing_support::ScratchDir& dir, const char16_t* standin, const char16_t* as = nullptr) {
  const std::u16string to = dir.Join(as ? as : standin);
  EXPECT_TRUE(engine_test::PlaceStandin(standin, to));
  return to;
}

// A string value of the real registry; empty when it is missing (no value the tests read is empty).
std::u16string Value(RegRoot root, const std::u16string& key_name, const char16_t* name) {
  RegKey key;
  std::u16string text;
  if (RegKey::Open(root, key_name, RegAccess::kRead, &key) != platform::kRegOk) return u"";
  key.ReadString(name, 4096, platform::RegStringCheck::kAnyData, &text);
  return text;
}
std::u16string Mark(const char16_t* name) { return Value(RegRoot::kCurrentUser, kMarksKey, name); }
std::u16string ComServerPath() {
  return Value(RegRoot::kClassesRoot, std::u16string(kComClassKey) + u"\\InprocServer32", u"");
}

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    folders_.install_dir = dir_.path() + u"\\";
  }
  void TearDown() override {
    platform::DeleteKeyTree(RegRoot::kCurrentUser, kMarksKey);
    platform::DeleteKeyTree(RegRoot::kClassesRoot, kComClassKey);
  }
  testing_support::ScratchDir dir_;
  engine::TargetFolders folders_;
};

// Records the progress calls of the walks.
class ProgressLog : public engine_test::NullView {
 public:
  uint32_t GetPos() override { return position; }
  uint16_t SetPos(uint32_t value) override { return static_cast<uint16_t>(position = value); }
  void BeginItem(uint32_t count) override { items += count; }
  void StepIt(uint32_t step) override { position += step; }
  uint32_t position = 0;
  uint32_t items = 0;
};

engine::FileEntry RunEntry(const char16_t* file, uint32_t kind, engine::FileState state, const char16_t* registers,
                           const char16_t* programs = u"") {
  return engine_test::RunEntry(u"Core", u"Bin", file, state, registers, programs, kind);
}

TEST_F(ControlTest, CloseHandshakeClosesTheRunningMainProgram) {
  const std::u16string frame = Place(dir_, u"NorvFrame.exe");
  engine::FileEntry entry;
  entry.file_name = u"NorvFrame.exe";
  bool closed = false;
  // Nothing runs yet: the program is started with "-close" but cannot confirm.
  EXPECT_EQ(engine::CloseProgram(frame, entry, &closed), 1u);
  EXPECT_FALSE(closed);

  ASSERT_EQ(engine::Execute(frame, u"", false, false, false, 0, 0), 1u);
  ASSERT_TRUE(testing_support::WaitFor([] { return !Mark(u"NorvFrame.exe.Pid").empty(); }, 10));
  // The running program holds its file: it cannot be replaced now.
  EXPECT_FALSE(DeleteFileW(reinterpret_cast<const wchar_t*>(frame.c_str())));

  testing_support::LogTail log;
  EXPECT_EQ(engine::CloseProgram(frame, entry, &closed), 1u);
  EXPECT_TRUE(closed);
  EXPECT_EQ(Mark(u"NorvFrame.exe.Pid"), u"");
  EXPECT_EQ(GlobalFindAtomW(L"NorvFrame.exe"), 0) << "the confirmation atom is consumed";
  EXPECT_NE(log.Text().find("execute : " + base::Utf16ToUtf8(frame) + " NorvFrame.exe -close   success"),
            std::string::npos);
  // The program exits right after confirming; its image is released a moment later.
  EXPECT_TRUE(testing_support::WaitFor([&] { return DeleteFileW(reinterpret_cast<const wchar_t*>(frame.c_str())); }))
      << "the program is gone";
}

// "-Stop" and "-Start" are the control phases' own (PhasesStopAndUnregisterThenRegisterAndStart).
TEST_F(ControlTest, KindTwoProgramsAnswerTheirRegistrationSwitches) {
  const std::u16string agent = Place(dir_, u"NorvAgent.exe");
  struct Case {
    const char16_t* arguments;
    bool path_first;
    bool registered;
  } cases[] = {
      {u" -RegServer", false, true},  // the switch alone as the command line
      {u" -UnRegServer", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::Utf16ToUtf8(c.arguments));
    EXPECT_EQ(engine::Execute(agent, c.arguments, true, false, c.path_first, 0, engine::kProgramWaitMs), 1u);
    EXPECT_EQ(Mark(u"NorvAgent.exe.Registered"), c.registered ? u"1" : u"");
  }
  testing_support::LogTail log;
  EXPECT_EQ(engine::Execute(dir_.Join(u"missing.exe"), u"-Start", true, false, true, 12, 1000), 0u);
  EXPECT_NE(log.Text().find("execute : OrderID=000012 "), std::string::npos);
  EXPECT_NE(log.Text().find("missing.exe -Start   failed"), std::string::npos);
}

uint32_t ServiceState() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager ? OpenServiceW(manager, L"NorvService", SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status = {};
  const bool known = service && QueryServiceStatus(service, &status);
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return known ? status.dwCurrentState : 0;
}

bool ServiceIs(uint32_t state) {
  for (int i = 0; i < 300 && ServiceState() != state; ++i) Sleep(100);
  return ServiceState() == state;
}

TEST_F(ControlTest, ServiceIsInstalledStoppedAndRemoved) {
  engine::ServiceController controller;
  EXPECT_EQ(controller.StopService(), 0u) << "nothing to stop before the run found the program";
  engine::FileEntry program;
  program.file_name = u"norvserv.EXE";
  program.compose_folder = u"Svc";
  ASSERT_TRUE(controller.SetUpFromRun({program}, folders_));
  EXPECT_EQ(controller.ProgramPath(), dir_.Join(u"Svc\\norvserv.EXE"));

  package::CreatePath((dir_.path() + u"\\Svc\\").c_str());
  controller.SetUp(Place(dir_, u"NorvServ.exe", u"Svc\\NorvServ.exe"));
  EXPECT_EQ(controller.RunServiceProgram(u"/Install", 0), 1u);
  ASSERT_TRUE(ServiceIs(SERVICE_RUNNING));
  EXPECT_EQ(controller.StopService(), 0u);
  EXPECT_EQ(ServiceState(), static_cast<uint32_t>(SERVICE_STOPPED)) << "stopped before StopService returns";
  EXPECT_FALSE(controller.MayStop());

  controller.SetUp(controller.ProgramPath());
  EXPECT_EQ(controller.StopService(), 8u) << "a stopped service refuses the stop";
  EXPECT_EQ(engine::Execute(controller.ProgramPath(), u"/Uninstall", true, false, true, 0, engine::kProgramWaitMs), 1u);
  EXPECT_TRUE(ServiceIs(0));
  controller.SetUp(controller.ProgramPath());
  EXPECT_EQ(controller.StopService(), 7u);
}

TEST_F(ControlTest, RegistrationWritesAndRemovesTheClassEntry) {
  const std::u16string dll = Place(dir_, u"NorvCom.dll");
  testing_support::LogTail log;
  EXPECT_EQ(engine::RegisterDll(folders_, dll, true, 7), 1u);
  EXPECT_EQ(ComServerPath(), dll);
  EXPECT_EQ(engine::RegisterDll(folders_, dll, false, 7), 1u);
  EXPECT_EQ(ComServerPath(), u"");
  EXPECT_EQ(engine::RegisterDll(folders_, dir_.Join(u"none.dll"), true, 3), 0u);
  const std::string text = log.Text();
  EXPECT_NE(text.find("msg ,DllRegisterServer OrderID=000007 file " + base::Utf16ToUtf8(dll) + " !"), std::string::npos);
  EXPECT_NE(text.find("msg ,DllUnregisterServer OrderID=000007 file "), std::string::npos);
  EXPECT_NE(text.find("msg ,DllRegisterServer OrderID=000003 file not found: "), std::string::npos);
  EXPECT_EQ(text.find("winexec"), std::string::npos) << "no fallback after success";

  // Outside the install and system folders nothing is loaded.
  testing_support::ScratchDir elsewhere;
  const std::u16string stray = Place(elsewhere, u"NorvCom.dll");
  EXPECT_EQ(engine::RegisterDll(folders_, stray, true, 1), 0u);
  EXPECT_EQ(ComServerPath(), u"");
}

TEST_F(ControlTest, ADeferredFileIsRegisteredAtTheNextStartAndCountsAsFailed) {
  engine::FileEntryList run = {RunEntry(u"NorvAgent.exe", 2, engine::FileState::kNew, u"NorvAgent.exe|NorvCom.dll"),
                               RunEntry(u"NorvCom.dll", 1, engine::FileState::kNew, u"")};
  run[0].deferred = 1;
  run[1].deferred = 1;
  std::vector<std::u16string> run_once;
  engine::PlacementSteps steps;
  steps.write_run_once = [&](const std::u16string& name, const std::u16string& text) { run_once.push_back(name + u"=" + text); };
  engine::ComponentControl control(&run, folders_, steps);
  testing_support::LogTail log;
  ASSERT_EQ(control.StopAndUnregister(100), 0u);
  ASSERT_EQ(control.RegisterAndStart(100, false), 0u);
  const std::u16string agent = dir_.Join(u"NorvAgent.exe"), com = dir_.Join(u"NorvCom.dll");
  EXPECT_EQ(run_once, (std::vector<std::u16string>{u"NorvAgent.exe=\"" + agent + u"\" -RegServer",
                                                   u"NorvCom.dll=regsvr32 /s \"" + com + u"\" "}));
  EXPECT_NE(log.Text().find("msg,AddRunOnceItem value=regsvr32 /s \""), std::string::npos);
  EXPECT_EQ(run[0].work_flags & engine::kWorkRegisterFailed, engine::kWorkRegisterFailed);
  EXPECT_EQ(Mark(u"NorvAgent.exe.LastCommand"), u"") << "nothing was started now";
}

// A fault inside an entry point is contained; a failed or 32-bit registration goes to the
// system's regsvr32, never to one planted beside the test program or in the current folder.
TEST_F(ControlTest, FaultsAndX86DllsEndInTheSystemRegsvr32) {
  const std::u16string beside_test = std::u16string(base::ParentPart(platform::ModuleFilePath())) + u"\\regsvr32.exe";
  ASSERT_TRUE(engine_test::PlaceStandin(u"NorvAgent.exe", beside_test));
  Place(dir_, u"NorvAgent.exe", u"regsvr32.exe");
  const std::u16string x86 = Place(dir_, u"NorvCom.dll", u"NorvCom32.dll");
  engine_test::MarkImageAs32Bit(x86);
  const std::u16string fault = Place(dir_, u"NorvFault.dll");
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(dir_.path().c_str()));
  testing_support::LogTail log;
  for (bool reg : {true, false}) EXPECT_EQ(engine::RegisterDll(folders_, fault, reg, 1), 0u);
  EXPECT_EQ(engine::RegisterDll(folders_, x86, true, 1), 0u);
  SetCurrentDirectoryW(saved);
  DeleteFileW(reinterpret_cast<const wchar_t*>(beside_test.c_str()));

  const std::string text = log.Text();
  EXPECT_NE(text.find("catch error regeister com " + base::Utf16ToUtf8(fault)), std::string::npos);
  EXPECT_NE(text.find("winexec regsvr32.exe /s /u \"" + base::Utf16ToUtf8(fault) + "\" ret="), std::string::npos);
  EXPECT_EQ(text.find("NorvCom32.dll LoadLibraryEx error"), std::string::npos) << "the 32-bit image is not loaded";
  EXPECT_NE(text.find("winexec regsvr32.exe /s  \"" + base::Utf16ToUtf8(x86) + "\" ret="), std::string::npos);
  EXPECT_EQ(Mark(u"regsvr32.exe.LastCommand"), u"");
  EXPECT_EQ(ComServerPath(), u"");
  // The process goes on loading and calling sound DLLs.
  EXPECT_EQ(engine::RegisterDll(folders_, Place(dir_, u"NorvCom.dll"), true, 1), 1u);
}

TEST_F(ControlTest, PhasesStopAndUnregisterThenRegisterAndStart) {
  for (const char16_t* standin : {u"NorvAgent.exe", u"NorvCom.dll", u"NorvFault.dll"}) Place(dir_, standin);
  for (bool restart_needed : {false, true}) {
    SCOPED_TRACE(restart_needed);
    engine::FileEntryList run = {
        RunEntry(u"NorvAgent.exe", 2, engine::FileState::kChanged, u"NorvAgent.exe|NorvCom.dll", u"NorvAgent.exe"),
        RunEntry(u"NorvCom.dll", 1, engine::FileState::kNew, u""),
        RunEntry(u"NorvFault.dll", 1, engine::FileState::kNew, u"NorvFault.dll"),
    };
    int invalid_marks = 0, valid_marks = 0;
    engine::PlacementSteps steps;
    steps.mark_files_invalid = [&] { ++invalid_marks; };
    steps.mark_files_valid = [&] { ++valid_marks; };
    ProgressLog progress;
    engine::ComponentControl control(&run, folders_, steps, &progress);

    ASSERT_EQ(control.StopAndUnregister(100), 0u);
    EXPECT_EQ(Mark(u"NorvAgent.exe.State"), u"stopped");
    EXPECT_EQ(invalid_marks, 1);
    EXPECT_EQ(control.RegisterList().size(), 3u);
    EXPECT_EQ(progress.items, 3u) << "one program stopped, the program and the COM DLL unregistered";
    // Each walk's part is shared among all entries of its list, handled or not: 10 + 45 + 30.
    EXPECT_EQ(progress.position, 85u);

    ASSERT_EQ(control.RegisterAndStart(100, restart_needed), 0u);
    EXPECT_EQ(valid_marks, 1);
    EXPECT_NE(Mark(u"NorvAgent.exe.Registered"), u"");
    EXPECT_EQ(ComServerPath(), dir_.Join(u"NorvCom.dll"));
    EXPECT_EQ(Mark(u"NorvAgent.exe.State"), restart_needed ? u"stopped" : u"started");
    // The failed registration marks the entry whose field 10 named the DLL.
    EXPECT_EQ(run[2].work_flags & engine::kWorkRegisterFailed, engine::kWorkRegisterFailed);
    EXPECT_EQ(run[0].work_flags & engine::kWorkRegisterFailed, 0u);
    EXPECT_EQ(progress.items, restart_needed ? 6u : 7u);
    EXPECT_EQ(progress.position, restart_needed ? 155u : 185u);
    platform::DeleteKeyTree(RegRoot::kClassesRoot, kComClassKey);
  }
}

// The stand-in COM DLL's UnInstall asks for a restart; a fault is contained, a 32-bit DLL passed over.
TEST_F(ControlTest, UninstallEntryPointsAreCalledInOrderAndFailuresPassedOver) {
  package::CreatePath((dir_.path() + u"\\CoreDir\\").c_str());
  Place(dir_, u"NorvCom.dll", u"CoreDir\\NorvCom.dll");
  Place(dir_, u"NorvFault.dll", u"CoreDir\\NorvFault.dll");
  engine_test::MarkImageAs32Bit(Place(dir_, u"NorvCom.dll", u"CoreDir\\NorvCom32.dll"));
  engine::Compose compose{engine::WorkPaths(dir_.path())};
  compose.name = u"Core";
  compose.folder = u"CoreDir";
  struct Case {
    const char* section;
    bool restart;
    std::vector<std::string> log_lines;
  } cases[] = {
      {"", false, {}},
      {"[Uninstall]\nmissing.dll=\nNorvCom.dll=\n", true,
       {"waring: uninstall compose dll ", "missing.dll LoadLibraryEx error!", "NorvCom.dll ok,restart=1 "}},
      {"[Uninstall]\nNorvFault.dll=\nNorvCom.dll=Nowhere\n", false,
       {"catch error UninstallDll", "GetProcAddress is null, function name=Nowhere "}},
      {"[Uninstall]\nNorvCom32.dll=\n", false, {"NorvCom32.dll is a 32-bit dll, passed over"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    const std::vector<unsigned char> bytes =
        testing_support::Utf16Bytes(base::Utf8ToUtf16(std::string("[Version]\nPath=CoreDir\n") + c.section));
    ASSERT_TRUE(compose.ini.ParseBuffer(bytes.data(), bytes.size()));
    testing_support::LogTail log;
    bool restart = false;
    engine::UninstallComposeDll(compose, folders_, &restart);
    EXPECT_EQ(restart, c.restart);
    for (const std::string& line : c.log_lines) EXPECT_NE(log.Text().find(line), std::string::npos) << line;
    if (c.log_lines.empty()) {
      EXPECT_EQ(log.Text().find("uninstall compose dll"), std::string::npos);
    }
  }
}

}  // namespace
