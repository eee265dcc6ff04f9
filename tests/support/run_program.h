#pragma once
// Helper programs of the Windows tests: where they are built, and running one to its end.
#include <process.h>

#include <string>
#include <vector>

#include "base/path.h"
#include "platform/system.h"

namespace testing_support {

// "name.exe", built beside the running test program.
inline std::u16string HelperProgram(const std::u16string& name) {
  return base::JoinPath(base::ParentPart(platform::ModuleFilePath()), name + u".exe");
}

// Runs the program and waits; its exit code, or -1 when it cannot be started.
inline int RunProgram(const std::u16string& program, const std::vector<std::u16string>& args) {
  // The runtime joins the arguments with spaces: each is quoted to stay one.
  std::vector<std::wstring> quoted;
  quoted.push_back(L"\"" + std::wstring(program.begin(), program.end()) + L"\"");
  for (const auto& a : args) quoted.push_back(L"\"" + std::wstring(a.begin(), a.end()) + L"\"");
  std::vector<const wchar_t*> argv;
  for (const auto& q : quoted) argv.push_back(q.c_str());
  argv.push_back(nullptr);
  return static_cast<int>(_wspawnv(_P_WAIT, reinterpret_cast<const wchar_t*>(program.c_str()), argv.data()));
}

}  // namespace testing_support
