// norvinstall: the install engine from a console, for administrators, tests and benchmarks.
// "install" does what the wizard's copy page does (without pages), "uninstall" calls the
// engine's uninstall operations, "plan" is a dry run that prints what install would change.
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/folders.h"
#include "app/log.h"
#include "app/suite_key.h"
#include "base/path.h"
#include "base/strings.h"
#include "base/version.h"
#include "console_view.h"
#include "engine/install_worker.h"
#include "engine/update_core.h"
#include "engine/work_paths.h"
#include "options.h"
#include "package/payload.h"
#include "plan.h"
#include "platform/fs.h"
#include "platform/win/security.h"
#include "run_setup.h"

namespace norvinstall {

namespace {

ConsoleView* g_view = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && g_view) {
    g_view->RequestCancel();
    return TRUE;
  }
  return FALSE;
}

// Keeps the component model initialised for the run, as the copy page's worker does.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }

 private:
  bool ok_;
};

ConsoleView::Mode ViewMode(bool quiet) {
  if (quiet) return ConsoleView::Mode::kQuiet;
  DWORD mode = 0;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  // A console, or a terminal that Wine gives as a character device.
  return (GetConsoleMode(out, &mode) || GetFileType(out) == FILE_TYPE_CHAR) ? ConsoleView::Mode::kBar
                                                                             : ConsoleView::Mode::kLines;
}

// Tests end the process at a chosen file placement to prove that a run killed there converges
// when started again: NORVINSTALL_KILL_AFTER_COPIES=N terminates the process (exit code 99) when
// the engine announces its Nth file copy, before that file is copied.
void InstallKillHook(ConsoleView* view) {
  const char* text = std::getenv("NORVINSTALL_KILL_AFTER_COPIES");
  if (!text || !*text) return;
  const unsigned long limit = std::strtoul(text, nullptr, 10);
  if (limit == 0) return;
  view->SetCopyHook([limit](uint32_t copies) {
    if (copies >= limit) {
      std::fflush(nullptr);
      TerminateProcess(GetCurrentProcess(), 99);
    }
  });
}

// A failure before the engine runs: one line on standard error and one in the log, where the
// engine's own failures are.
int Fail(uint32_t code, const std::string& message) {
  std::fprintf(stderr, "norvinstall: %s (code %u)\n", message.c_str(), code);
  app::LogText(base::Utf8ToUtf16("error, norvinstall: " + message + " (code " + std::to_string(code) + ")").c_str());
  return static_cast<int>(code);
}

// The exit code of a finished engine operation, with its one-line error.
int Finish(const char* what, uint32_t code, const ConsoleView& view) {
  view.PrintTiming(stderr);
  if (code != 0) {
    std::fprintf(stderr, "norvinstall: %s failed with code %u: %s; details in %%WINDIR%%\\NorvLog\\norvinstall.exe.log\n",
                 what, code, CodeText(code).c_str());
    return static_cast<int>(code);
  }
  std::printf("norvinstall: %s done: %u files placed, %u deleted\n", what, view.copied_files(), view.deleted_files());
  if (view.restart()) {
    std::printf("norvinstall: files in use are replaced when the system restarts: restart it to finish\n");
    return kExitRestartNeeded;
  }
  return kExitOk;
}

// The command's package (out of a setup file, or the file as given) in the work folder, and the
// composes the run takes: --composes, or those a compose packet's header lists. 0, or the code
// that ends the command after its one-line error.
int PreparePackage(const Options& options, const WorkFolder& work, PackageSource* source, std::u16string* composes) {
  if (!work.ok()) return Fail(engine::kNullArgument, "cannot create the work folder " + Narrow(work.path()));
  std::string error;
  if (const uint32_t code = FindPackage(options.source, work.path(), source, &error)) return Fail(code, error);
  *composes = options.composes;
  if (source->kind == package::kDeedBoxKindComposePacket && !options.has_composes) *composes = source->compose_list;
  return 0;
}

int RunInstallCommand(const Options& options) {
  FolderOrigin origin;
  const std::u16string folder = ChooseInstallFolder(options, &origin);
  ComScope com;
  WorkFolder work;
  PackageSource source;
  std::u16string composes;
  const auto started = std::chrono::steady_clock::now();
  if (const int failed = PreparePackage(options, work, &source, &composes)) return failed;

  // The wizard stores the default folder, or the folder the user chose, before the copy page.
  if (origin != FolderOrigin::kInstalled && !app::SetInstallPath(folder.c_str())) {
    return Fail(engine::kNullArgument, "cannot write InstallPath under HKLM\\Software\\NorvClient (run as administrator)");
  }

  ConsoleView view(ViewMode(options.quiet), stdout);
  g_view = &view;
  if (options.timing) {
    view.EnableTiming();
    std::fprintf(stderr, "timing %-12s %8.3f s\n", "package",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  }
  InstallKillHook(&view);
  std::printf("norvinstall: installing %s into %s\n", Narrow(options.source).c_str(), Narrow(folder).c_str());
  std::fflush(stdout);
  uint32_t code;
  {
    // What the copy page's worker does: the style group, the engine's run, then Setup.ini and its
    // registry entries (the worker shared with the wizard).
    engine::CUpdateCore core{engine::WorkPaths(folder)};
    core.SetView(&view);
    code = engine::RunInstall(core, {source.package_path, options.has_products ? options.products : u"", composes,
                                     work.path() + package::kSkinFolderName});
  }
  view.EndLine();
  g_view = nullptr;
  return Finish("install", code, view);
}

int RunUninstall(const Options& options) {
  FolderOrigin origin;
  if (!options.has_folder && app::ReadInstallPath().empty()) {
    std::fprintf(stderr, "norvinstall: nothing is installed (no InstallPath under HKLM\\Software\\NorvClient); give --folder\n");
    return kExitUsage;
  }
  const std::u16string folder = ChooseInstallFolder(options, &origin);
  ComScope com;
  ConsoleView view(ViewMode(options.quiet), stdout);
  g_view = &view;
  if (options.timing) view.EnableTiming();
  InstallKillHook(&view);
  uint32_t code;
  {
    engine::CUpdateCore core{engine::WorkPaths(folder)};
    core.SetView(&view);
    code = options.has_product ? core.UnInstallProducts(options.product.c_str())
                               : core.UnInstallCompose(options.composes.c_str());
  }
  view.EndLine();
  g_view = nullptr;
  return Finish("uninstall", code, view);
}

int RunPlan(const Options& options) {
  FolderOrigin origin;
  const std::u16string folder = ChooseInstallFolder(options, &origin);
  ComScope com;
  WorkFolder work;
  PackageSource source;
  std::u16string composes;
  if (const int failed = PreparePackage(options, work, &source, &composes)) return failed;
  std::string error;
  PlanResult plan;
  const uint32_t code = MakePlan(source, folder, options.has_products ? options.products : u"", composes,
                                 work.path() + u"shadow\\", &plan, &error);
  if (code != 0) return Fail(code, "plan failed: " + error + " (" + CodeText(code) + ")");
  PrintPlan(plan, folder, stdout);
  return kExitOk;
}

}  // namespace

int Main(const std::vector<std::u16string>& args) {
  Options options;
  const std::string error = ParseOptions(args, &options);
  if (!error.empty()) {
    std::fprintf(stderr, "norvinstall: %s; see 'norvinstall --help'\n", error.c_str());
    return kExitUsage;
  }
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  switch (options.command) {
    case Command::kHelp:
      std::fputs(UsageText(), stdout);
      return kExitOk;
    case Command::kVersion: return base::PrintProgramVersion("norvinstall");
    case Command::kInstall: return RunInstallCommand(options);
    case Command::kUninstall: return RunUninstall(options);
    case Command::kPlan: return RunPlan(options);
    case Command::kNone: break;
  }
  return kExitUsage;
}

}  // namespace norvinstall

int wmain(int argc, wchar_t** argv) {
  platform::RestrictDllSearchToSystemFolder();
  static_assert(sizeof(wchar_t) == 2, "wchar_t must be UTF-16 on Windows");
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return norvinstall::Main(args);
}
