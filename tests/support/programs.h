#pragma once
// Other programs a test starts: helper programs built beside the test program, and programs of
// the host, which Wine runs as Unix programs through CreateProcess without a handle to wait on.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A program built beside the running test program ("name.exe" on Windows).
std::u16string ProgramBeside(const std::u16string& name);

// Runs program with args and waits: its exit code, -1 when it cannot be started. On the host a
// given tmpdir becomes the program's TMPDIR.
int RunProgram(const std::u16string& program, const std::vector<std::u16string>& args,
               const std::u16string& tmpdir = std::u16string());

// Starts a host program without waiting. On the host *child (when asked) takes its process id
// for ReapHostProgram; under Wine there is nothing to reap.
bool StartHostProgram(const std::vector<std::string>& argv, intptr_t* child = nullptr);
void ReapHostProgram(intptr_t child, bool kill_first);

// The host's name of a path of this program (Wine's own translation under Wine).
std::string HostPath(const std::u16string& path);

// Polls condition every 20 ms until it holds or seconds have passed.
bool WaitFor(const std::function<bool()>& condition, double seconds = 5);

}  // namespace testing_support
