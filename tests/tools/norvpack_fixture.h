#pragma once
// Shared pieces of the norvpack tests: where the example suites are, a setup-program stand-in,
// copies of a suite to change, whole-file helpers, and a run of the built program.
#include <gmock/gmock.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/path.h"
#include "package/package_test_files.h"
#include "base/strings.h"
#include "platform/fs.h"
#include "platform/system.h"
#include "support/programs.h"
#include "support/scratch_dir.h"
#include "suite_build.h"

namespace build_test {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing_support::Exists;
using testing_support::ScratchDir;
using package_test::FilesBelow;
using package_test::ReadText;  // text files of the suites are UTF-8 unless a test writes them otherwise
using package_test::Native;

inline std::string SourceDir() {
  if (const char* dir = std::getenv("NORV_SOURCE_DIR")) return dir;
  const std::string self = __FILE__;
  return self.substr(0, self.rfind("/tests/tools/"));
}

// A host path (from the environment or __FILE__) as this program opens it: under Wine the host's
// root is drive Z:.
inline std::u16string HostPath(const std::string& unix_path) {
  std::u16string path = base::Utf8ToUtf16(unix_path);
#ifdef _WIN32
  if (!path.empty() && path[0] == u'/') {
    path = u"Z:" + path;
    for (auto& c : path) {
      if (c == u'/') c = u'\\';
    }
  }
#endif
  return path;
}

inline std::u16string ExampleSuite(const char* name = "suite") { return HostPath(SourceDir() + "/examples/" + name); }

inline std::u16string Join(const std::u16string& a, const std::u16string& b) { return base::JoinPath(a, b); }

inline std::vector<uint8_t> ReadAll(const std::u16string& path) { return testing_support::ReadBytes(path); }
inline void WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes) { testing_support::WriteBytes(path, bytes); }

// A setup-program stand-in: a DOS header ("MZ", the PE offset at 0x3C), a PE signature and a
// little code-like filler; enough for the payload table, which is all that stamping needs.
inline std::vector<uint8_t> StubProgram() {
  std::vector<uint8_t> stub(512, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  stub[0x3C] = 0x80;
  stub[0x80] = 'P';
  stub[0x81] = 'E';
  for (size_t i = 0x100; i < stub.size(); ++i) stub[i] = static_cast<uint8_t>(i * 7);
  return stub;
}

// A copy of an example suite in a scratch folder, for tests that change it.
inline std::u16string CopySuite(const ScratchDir& scratch, const char* name = "suite") {
  const std::u16string target = scratch.Join(base::Utf8ToUtf16(name));
  fs::copy(Native(ExampleSuite(name)), Native(target), fs::copy_options::recursive);
  return target;
}

inline norvpack::SuiteBuildOptions Options(const std::u16string& suite) {
  norvpack::SuiteBuildOptions options;
  options.suite_dir = suite;
  options.stub = StubProgram();
  return options;
}

// The library build of a suite; a build that fails fails the calling test.
inline norvpack::SuiteBuildOutput Build(const norvpack::SuiteBuildOptions& options) {
  norvpack::SuiteBuildOutput output;
  norvpack::SuiteError error;
  EXPECT_TRUE(norvpack::BuildSuite(options, &output, &error)) << error.Text();
  return output;
}

// The built norvpack next to the test programs (norvpack.exe in the Windows tree).
inline std::u16string NorvpackProgram() {
#ifdef _WIN32
  return testing_support::ProgramBeside(u"..\\tools\\norvpack\\norvpack");
#else
  return testing_support::ProgramBeside(u"../tools/norvpack/norvpack");
#endif
}

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs a built program with its output and errors in files of scratch, new ones for each run:
// under Wine cmd may find the last run's still held ("Sharing violation.").
inline RunResult RunCapturingOutput(const std::u16string& program, const ScratchDir& scratch,
                                    const std::vector<std::u16string>& args) {
  static int runs = 0;
  const std::u16string n = base::Utf8ToUtf16(std::to_string(++runs));
  const std::u16string out = scratch.Join(u"stdout" + n + u".txt"), err = scratch.Join(u"stderr" + n + u".txt");
  RunResult run;
#ifdef _WIN32
  // cmd takes off the outer pair of quotes and keeps the quoted arguments.
  std::u16string command = u"\"\"" + program + u"\"";
  for (const auto& a : args) command += u" \"" + a + u"\"";
  command += u" >\"" + out + u"\" 2>\"" + err + u"\"\"";
  run.code = _wsystem(reinterpret_cast<const wchar_t*>(command.c_str()));
#else
  auto quote = [](const std::u16string& a) {
    std::string q = "'";
    for (char c : base::Utf16ToUtf8(a)) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  };
  std::string command = quote(program);
  for (const auto& a : args) command += " " + quote(a);
  command += " >" + quote(out) + " 2>" + quote(err);
  const int status = std::system(command.c_str());
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

inline RunResult RunNorvpack(const ScratchDir& scratch, const std::vector<std::u16string>& args) {
  return RunCapturingOutput(NorvpackProgram(), scratch, args);
}

// A scratch folder and norvpack runs whose output files live in it.
class NorvpackCommandTest : public testing::Test {
 protected:
  RunResult Run(const std::vector<std::u16string>& args) { return RunNorvpack(dir_, args); }
  std::u16string P(const std::u16string& name) const { return dir_.Join(name); }
  ScratchDir dir_;
};

}  // namespace build_test
