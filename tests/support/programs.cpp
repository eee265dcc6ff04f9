#include "support/programs.h"

#include <chrono>
#include <thread>

#include "base/path.h"
#include "base/strings.h"
#include "platform/system.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testing_support {

std::u16string ProgramBeside(const std::u16string& name) {
  const std::u16string folder(base::ParentPart(platform::ModuleFilePath()));
#ifdef _WIN32
  return folder + u"\\" + name + u".exe";
#else
  return folder + u"/" + name;
#endif
}

int RunProgram(const std::u16string& program, const std::vector<std::u16string>& args, const std::u16string& tmpdir) {
#ifdef _WIN32
  (void)tmpdir;
  std::vector<std::u16string> quoted = {u"\"" + program + u"\""};
  for (const auto& a : args) quoted.push_back(u"\"" + a + u"\"");
  std::vector<const wchar_t*> argv;
  for (const auto& q : quoted) argv.push_back(reinterpret_cast<const wchar_t*>(q.c_str()));
  argv.push_back(nullptr);
  return static_cast<int>(_wspawnv(_P_WAIT, reinterpret_cast<const wchar_t*>(program.c_str()), argv.data()));
#else
  std::vector<std::string> texts = {base::Utf16ToUtf8(program)};
  for (const auto& a : args) texts.push_back(base::Utf16ToUtf8(a));
  std::vector<char*> argv;
  for (auto& t : texts) argv.push_back(t.data());
  argv.push_back(nullptr);
  const std::string tmp = base::Utf16ToUtf8(tmpdir);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!tmp.empty()) setenv("TMPDIR", tmp.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

bool StartHostProgram(const std::vector<std::string>& argv, intptr_t* child) {
  if (child) *child = -1;
#ifdef _WIN32
  std::string command;
  for (const std::string& arg : argv) command += (command.empty() ? "\"" : " \"") + arg + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  return true;
#else
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execv(args[0], args.data());
    _exit(127);
  }
  if (child) *child = pid;
  return pid > 0;
#endif
}

void ReapHostProgram(intptr_t child, bool kill_first) {
#ifndef _WIN32
  if (child <= 0) return;
  if (kill_first) kill(static_cast<pid_t>(child), SIGTERM);
  int status = 0;
  waitpid(static_cast<pid_t>(child), &status, 0);
#else
  (void)child;
  (void)kill_first;
#endif
}

std::string HostPath(const std::u16string& path) {
#ifdef _WIN32
  using Function = char*(CDECL*)(LPCWSTR);
  FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name");
  if (!found) return "";
  char* unix_path = reinterpret_cast<Function>(reinterpret_cast<void*>(found))(reinterpret_cast<LPCWSTR>(path.c_str()));
  if (!unix_path) return "";
  std::string out = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return out;
#else
  return base::Utf16ToUtf8(path);
#endif
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace testing_support
