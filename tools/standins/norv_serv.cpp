// Stand-in for the suite's service program "NorvServ.exe" and its service "NorvService":
//   /Install     creates the service (own process, automatic start) when missing, and starts it
//   /Uninstall   stops it, waits until it is stopped, and deletes it
//   -service     run by the service manager: reports running until asked to stop
#include <windows.h>

#include <string>

#include "platform/system.h"
#include "platform/win/unique_handles.h"
#include "platform/win/wstr.h"
#include "standin_marks.h"

namespace {

wchar_t kServiceName[] = L"NorvService";
constexpr DWORD kStopWaitMs = 30000;

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
HANDLE g_stop_event = nullptr;

void ReportState(DWORD state) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(g_status_handle, &status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    ReportState(SERVICE_STOP_PENDING);
    SetEvent(g_stop_event);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_status_handle = RegisterServiceCtrlHandlerExW(kServiceName, ControlHandler, nullptr);
  if (!g_status_handle) return;
  platform::UniqueHandle stop_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_stop_event = stop_event.get();
  ReportState(SERVICE_RUNNING);
  WaitForSingleObject(g_stop_event, INFINITE);
  ReportState(SERVICE_STOPPED);
}

bool WaitUntilStopped(SC_HANDLE service) {
  for (DWORD waited = 0; waited < kStopWaitMs; waited += 100) {
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;
    Sleep(100);
  }
  return false;
}

int Install() {
  platform::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return 2;
  platform::UniqueService service(OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
  if (!service) {
    const std::u16string command = u"\"" + platform::ModuleFilePath() + u"\" -service";
    service.reset(CreateServiceW(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                 platform::as_wcstr(command), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) return 3;
  }
  if (!StartServiceW(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) return 4;
  return 0;
}

int Uninstall() {
  platform::UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return 2;
  platform::UniqueService service(OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
  if (!service) return 0;
  SERVICE_STATUS status = {};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  WaitUntilStopped(service.get());
  return DeleteService(service.get()) ? 0 : 5;
}

}  // namespace

int wmain() {
  const std::u16string command_line = standins::CommandLine();
  if (standins::HasSwitch(command_line.c_str(), u"/Install")) return Install();
  if (standins::HasSwitch(command_line.c_str(), u"/Uninstall")) return Uninstall();
  SERVICE_TABLE_ENTRYW table[] = {{kServiceName, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
