#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/log.h"
#include "base/format.h"
#include "base/path.h"
#include "base/strings.h"
#include "engine/component_control.h"
#include "engine/pe_machine.h"
#include "platform/fs.h"
#include "platform/guarded_call.h"
#include "platform/os_version.h"
#include "platform/system_folders.h"
#include "platform/win/unique_handles.h"
#include "platform/win/wstr.h"

namespace engine {
namespace {

using platform::as_wcstr;

constexpr size_t kMaxLogText = 1023;
constexpr size_t kMaxCommandLine = 519;
constexpr size_t kMaxEventName = 127;

// Starts path (never searched for: the full path is the program) with the command line.
bool StartProcess(const std::u16string& path, const std::u16string& command_line, bool show,
                  platform::UniqueHandle* process) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (!show) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
  }
  std::u16string writable = command_line;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(as_wcstr(path), platform::as_writable_wcstr(writable.data()), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process->reset(info.hProcess);
  return true;
}

// DllRegisterServer or DllUnregisterServer of a 64-bit DLL called in this process; true when it
// returned 0.
bool CallRegistrationEntry(const std::u16string& path, const char16_t* operation, uint32_t order) {
  int32_t result = 0;
  uint32_t error = 0;
  switch (CallLibraryEntry(path, base::Utf16ToUtf8(operation).c_str(), &result, &error)) {
    case LibraryCall::kLoadFailed:
      app::LogText(base::Format(kMaxLogText, u"error, %s OrderID=%06u %s LoadLibraryEx error!", operation, order,
                                path.c_str())
                       .c_str(),
                   error);
      return false;
    case LibraryCall::kNoEntry:
      return false;
    case LibraryCall::kFaulted:
      app::LogText2(u"catch error regeister com ", path.c_str(), error);
      return false;
    case LibraryCall::kReturned:
      break;
  }
  if (result != 0) {
    app::LogFormat(u"error ,%s OrderID=%06u file %s hr=%u error!", operation, order, path.c_str(),
                   static_cast<uint32_t>(result));
    return false;
  }
  return true;
}

// The system folder's regsvr32 (never one found by a search), waited for; true when it exited
// with 0.
bool RunSystemRegsvr32(const std::u16string& path, bool reg) {
  const std::u16string command =
      base::Format(kMaxCommandLine, u"regsvr32.exe /s %s \"%s\"", reg ? u"" : u"/u", path.c_str());
  std::u16string system;
  int32_t exit_code = -1;
  platform::UniqueHandle process;
  if (platform::GetSystemFolder(&system) && StartProcess(system + u"\\regsvr32.exe", command, true, &process) &&
      WaitForSingleObject(process.get(), kRegsvr32WaitMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code)) exit_code = static_cast<int32_t>(code);
  }
  app::LogFormat(u"winexec %s ret=%d", command.c_str(), exit_code);
  return exit_code == 0;
}

}  // namespace

bool IsInTrustedFolder(const std::u16string& path, const TargetFolders& folders) {
  if (path.size() < 3 || path[1] != u':' || !base::IsSeparator(path[2])) return false;
  for (const std::u16string* folder : {&folders.install_dir, &folders.system, &folders.system_for64}) {
    if (folder->empty()) continue;
    std::u16string prefix = *folder;
    base::AddBackslash(prefix);
    if (base::StartsWithIgnoreAsciiCase(path, prefix) && base::IsContainedFilePath(path.substr(prefix.size()))) {
      return true;
    }
  }
  return false;
}

LibraryCall CallLibraryEntry(const std::u16string& path, const char* entry_name, int32_t* result, uint32_t* error) {
  platform::UniqueModule module(LoadLibraryExW(as_wcstr(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) {
    *error = GetLastError();
    return LibraryCall::kLoadFailed;
  }
  const FARPROC entry = GetProcAddress(module.get(), entry_name);
  if (!entry) return LibraryCall::kNoEntry;
  return platform::CallContainingFaults(reinterpret_cast<const void*>(entry), result, error) ? LibraryCall::kReturned
                                                                                             : LibraryCall::kFaulted;
}

uint32_t Execute(const std::u16string& path, std::u16string_view arguments, bool wait, bool show, bool path_first,
                 uint32_t order, uint32_t timeout_ms) {
  const std::u16string args(arguments);
  // "execute : [OrderID=nnnnnn ]<path> [<arguments> ]"
  std::u16string text = u"execute : ";
  if (order != 0) text += base::Format(32, u"OrderID=%06d ", order);
  text += path + u" ";
  if (!args.empty()) text += args + u" ";
  text = base::Cut(text, kMaxLogText);
  const std::u16string command = base::Cut(path_first ? path + u" " + args : args, kMaxCommandLine);
  platform::UniqueHandle process;
  if (!StartProcess(path, command, show, &process)) {
    app::LogText((text + u"  failed").c_str());
    return 0;
  }
  if (wait) {
    if (WaitForSingleObjectEx(process.get(), timeout_ms, FALSE) == WAIT_TIMEOUT && timeout_ms != 0) {
      app::LogText(u"msg, execute file wait for single object time out !");
    }
    Sleep(kAfterProgramWaitMs);
  }
  app::LogText((text + u"  success").c_str());
  return 1;
}

uint32_t CloseProgram(const std::u16string& path, const FileEntry& entry, bool* closed) {
  const std::u16string name = base::Cut(entry.file_name, kMaxEventName);
  platform::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, as_wcstr(name)));
  // A stale atom would read as a confirmation.
  for (ATOM atom = GlobalFindAtomW(as_wcstr(name)); atom != 0 && GlobalDeleteAtom(atom) == 0;
       atom = GlobalFindAtomW(as_wcstr(name))) {
  }
  const std::u16string arguments = base::Format(kMaxCommandLine, u"%s %s", entry.file_name.c_str(), u"-close");
  if (!Execute(path, arguments, false, false, true, 0, kProgramWaitMs)) return 0;
  if (event) WaitForSingleObject(event.get(), kCloseHandshakeWaitMs);
  if (const ATOM atom = GlobalFindAtomW(as_wcstr(name))) {
    GlobalDeleteAtom(atom);
    *closed = true;
  }
  return 1;
}

uint32_t RegisterDll(const TargetFolders& folders, const std::u16string& path, bool reg, uint32_t order) {
  const char16_t* operation = reg ? u"DllRegisterServer" : u"DllUnregisterServer";
  if (!platform::PathExists(path)) {
    app::LogFormat(u"msg ,%s OrderID=%06u file not found: %s ,so return .", operation, order, path.c_str());
    return 0;
  }
  app::LogFormat(u"msg ,%s OrderID=%06u file %s !", operation, order, path.c_str());
  if (!IsInTrustedFolder(path, folders)) {
    app::LogFormat(u"error, %s OrderID=%06u %s is outside the install and system folders, not loaded!", operation,
                   order, path.c_str());
    return 0;
  }
  // This 64-bit process cannot load a 32-bit DLL: regsvr32 hands it to its 32-bit twin.
  if (ReadFileMachine(path) == kPeMachineX86) {
    app::LogFormat(u"msg ,%s OrderID=%06u %s is a 32-bit dll, so regsvr32 registers it", operation, order, path.c_str());
  } else if (CallRegistrationEntry(path, operation, order)) {
    return 1;
  }
  return RunSystemRegsvr32(path, reg) ? 1 : 0;
}

uint32_t RegisterCom64(const std::u16string& path, bool reg, uint32_t order) {
  std::u16string system;
  if (!platform::GetSystemDirectoryFor64(&system)) {
    app::LogText(u"error , RegisterCom64 call GetSystemDirectoryFor64 error!");
    return 0;
  }
  const std::u16string program = system + u"\\regsvr32.exe";
  if (!platform::PathExists(program)) {
    app::LogFormat(u"error,RegisterCom64 file not found :%s", program.c_str());
    return 0;
  }
  const std::u16string parameters = base::Format(kMaxCommandLine, u"/s %s \"%s\"", reg ? u"" : u"/u", path.c_str());
  const auto returned = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", as_wcstr(program), as_wcstr(parameters), nullptr, SW_HIDE));
  const bool ok = returned > 31;
  app::LogFormat(ok ? u"msg, RegisterCom64 winexec %s %s ok! ret=%d dwOrderID=%06u"
                    : u"error ,RegisterCom64 winexec %s %s ok! ret=%d dwOrderID=%06u",
                 program.c_str(), parameters.c_str(), static_cast<int>(returned), order);
  return ok ? 1 : 0;
}

// ServiceController ------------------------------------------------------------------------------

bool ServiceController::SetUpFromRun(const FileEntryList& run_files, const TargetFolders& folders) {
  for (auto it = run_files.rbegin(); it != run_files.rend(); ++it) {
    if (base::EqualsIgnoreAsciiCase(it->file_name, kServiceProgramName)) {
      SetUp(FileTargetPath(*it, folders));
      return true;
    }
  }
  return false;
}

void ServiceController::SetUp(std::u16string program_path) {
  program_path_ = std::move(program_path);
  may_stop_ = true;
}

uint32_t ServiceController::StopService() {
  if (!may_stop_) return 0;
  platform::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager) return 4;
  platform::UniqueService service(OpenServiceW(manager.get(), as_wcstr(kServiceName), SERVICE_ALL_ACCESS));
  if (!service) return 7;
  SERVICE_STATUS status = {};
  if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return 8;
  // The files of a stopping service may still be open: wait (bounded) until it has stopped.
  for (uint32_t waited = 0; status.dwCurrentState != SERVICE_STOPPED; waited += 100) {
    if (waited >= kServiceStopWaitMs || !QueryServiceStatus(service.get(), &status)) return 8;
    if (status.dwCurrentState != SERVICE_STOPPED) Sleep(100);
  }
  may_stop_ = false;
  return 0;
}

uint32_t ServiceController::RunServiceProgram(std::u16string_view arguments, uint32_t mode) {
  const std::u16string args(arguments);
  app::LogText2(u"service program ", program_path_.c_str(), 0, platform::PathExists(program_path_) ? 1 : 0);
  const char16_t* verb = mode == 1 ? u"runas" : u"open";
  app::LogFormat(u"ShellExecute %s %s %s", verb, program_path_.c_str(), args.c_str());
  const auto returned = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, as_wcstr(verb), as_wcstr(program_path_), as_wcstr(args), nullptr, SW_SHOWNORMAL));
  app::LogText(u"ShellExec ", GetLastError(), static_cast<int32_t>(returned));
  Sleep(kAfterServiceProgramWaitMs);
  return returned > 32 ? 1 : 0;
}

}  // namespace engine
