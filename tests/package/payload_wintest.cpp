// A real setup-style executable, built by the tree, stamped by norvpack with a skin part and a
// package: it still runs, and the running stamped program takes its parts back out of its own
// file through the installer's readers.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "base/strings.h"
#include "package/payload.h"
#include "package/payload_test_bytes.h"
#include "platform/fs.h"
#include "support/programs.h"
#include "support/scratch_dir.h"

namespace {
using namespace payload_test;
using Buf = std::vector<uint8_t>;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::RunProgram;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

// Runs the helper's "prepare" with a fresh temporary folder; gives the program's exit
// code and its "key=value" lines.
int RunPrepare(const std::u16string& program, const std::u16string& temp, std::map<std::string, std::string>* result) {
  const std::u16string result_file = temp + u".result";
  if (!platform::CreateDirectoryOne(temp)) return -1;
  const int code = RunProgram(program, {u"prepare", temp, result_file});
  std::istringstream in(testing_support::ReadText(result_file));
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) (*result)[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return code;
}

TEST(StampedExecutable, RunsAndGivesBackItsPartsWithAndWithoutThePackage) {
  ScratchDir dir;
  const std::u16string stub = testing_support::ProgramBeside(u"payload_stub");
  const std::u16string norvpack = testing_support::ProgramBeside(u"..\\tools\\norvpack\\norvpack");
  ASSERT_TRUE(Exists(stub));
  ASSERT_TRUE(Exists(norvpack));
  const Buf skin_container = Container(u"http://127.0.0.1:8080/package.dat", 3,
                                       {{u"DIR-SetupSkinPart1|norvframe.ini", Bytes("[Frame]\r\nWidth=500\r\n")},
                                        {u"DIR-SetupSkinPart1|Draw\\bk.bmp", Bytes("BM-picture")},
                                        {u"DIR-SetupSkinPart2|Setup.ini", Bytes("[Setup]\r\n")}});
  const Buf skin_part = PackedFile(skin_container);
  const Buf package = Container(u"Core,Tools", 0, {{u"FIX_Norv_1", Bytes("[Product]\r\n")}, {u"CNI-Core", Bytes("[Compose]\r\n")}});
  WriteBytes(dir.Join(u"skin.zqp"), skin_part);
  WriteBytes(dir.Join(u"package.dat"), package);

  // A full setup file carries the package as part 2; a download-type one has no part 2.
  for (const bool with_package : {true, false}) {
    SCOPED_TRACE(with_package ? "with the package" : "download type");
    const std::u16string setup = dir.Join(with_package ? u"Setup.exe" : u"SetupDown.exe");
    std::vector<std::u16string> args = {u"stamp", u"--program", stub, u"--skin", dir.Join(u"skin.zqp"), u"-o", setup};
    if (with_package) args.insert(args.end(), {u"--package", dir.Join(u"package.dat")});
    ASSERT_EQ(RunProgram(norvpack, args), 0);
    ASSERT_EQ(ReadBytes(setup).size(), ReadBytes(stub).size() + skin_part.size() + (with_package ? package.size() : 0));

    // The stamped file is still a program that runs.
    EXPECT_EQ(RunProgram(setup, {}), 7);

    // The running program takes its own payload out of its own file.
    const std::u16string temp = dir.Join(with_package ? u"temp" : u"temp-down");
    std::map<std::string, std::string> got;
    ASSERT_EQ(RunPrepare(setup, temp, &got), 0);
    const std::u16string work = temp + u"\\HavenClient\\";
    EXPECT_EQ(got["skin"], base::Utf16ToUtf8(work + u"Style\\"));
    EXPECT_EQ(got["url"], "http://127.0.0.1:8080/package.dat");
    EXPECT_EQ(got["has_package"], with_package ? "1" : "0");
    EXPECT_EQ(ReadBytes(work + u"Style\\norvframe.ini"), Bytes("[Frame]\r\nWidth=500\r\n"));
    EXPECT_EQ(ReadBytes(work + u"Style\\Draw\\bk.bmp"), Bytes("BM-picture"));
    EXPECT_FALSE(Exists(work + u"Style\\Setup.ini"));
    EXPECT_EQ(ReadBytes(work + u"Part1.dat"), skin_container);
    if (with_package) {
      ASSERT_EQ(got["big"].rfind(base::Utf16ToUtf8(work + u"Big"), 0), 0u) << got["big"];
      EXPECT_EQ(ReadBytes(base::Utf8ToUtf16(got["big"])), package);
    }
  }

  // The unstamped program has no table at all.
  std::map<std::string, std::string> got;
  EXPECT_EQ(RunPrepare(stub, dir.Join(u"temp-stub"), &got), 1);
}

}  // namespace
