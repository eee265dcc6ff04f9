// A real setup-style executable, built by the tree, stamped by norvpack with a skin part and a
// package: it still runs, and its parts come back out through the installer's readers, both from
// this process and from the running stamped program itself.
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

class StampedExecutable : public testing::Test {
 protected:
  void SetUp() override {
    stub_ = testing_support::ProgramBeside(u"payload_stub");
    norvpack_ = testing_support::ProgramBeside(u"..\\tools\\norvpack\\norvpack");
    ASSERT_TRUE(Exists(stub_));
    ASSERT_TRUE(Exists(norvpack_));
    skin_container_ = Container(u"http://127.0.0.1:8080/package.dat", 3,
                                {{u"DIR-SetupSkinPart1|norvframe.ini", Bytes("[Frame]\r\nWidth=500\r\n")},
                                 {u"DIR-SetupSkinPart1|Draw\\bk.bmp", Bytes("BM-picture")},
                                 {u"DIR-SetupSkinPart2|Setup.ini", Bytes("[Setup]\r\n")}});
    skin_part_ = PackedFile(skin_container_);
    package_ = Container(u"Core,Tools", 0, {{u"FIX_Norv_1", Bytes("[Product]\r\n")}, {u"CNI-Core", Bytes("[Compose]\r\n")}});
    WriteBytes(dir_.Join(u"skin.zqp"), skin_part_);
    WriteBytes(dir_.Join(u"package.dat"), package_);
  }

  int Stamp(bool with_package, const std::u16string& output) {
    std::vector<std::u16string> args = {u"stamp", u"--program", stub_, u"--skin", dir_.Join(u"skin.zqp"), u"-o", output};
    if (with_package) {
      args.push_back(u"--package");
      args.push_back(dir_.Join(u"package.dat"));
    }
    return RunProgram(norvpack_, args);
  }

  ScratchDir dir_;
  std::u16string stub_, norvpack_;
  Buf skin_container_, skin_part_, package_;
};

TEST_F(StampedExecutable, RunsAndGivesBackBothParts) {
  const std::u16string setup = dir_.Join(u"Setup.exe");
  ASSERT_EQ(Stamp(true, setup), 0);
  const Buf stub = ReadBytes(stub_);
  const Buf stamped = ReadBytes(setup);
  ASSERT_EQ(stamped.size(), stub.size() + skin_part_.size() + package_.size());

  // The stamped file is still a program that runs.
  EXPECT_EQ(RunProgram(setup, {}), 7);

  // The running program takes its own payload out of its own file.
  const std::u16string temp = dir_.Join(u"temp");
  std::map<std::string, std::string> got;
  ASSERT_EQ(RunPrepare(setup, temp, &got), 0);
  const std::u16string work = temp + u"\\HavenClient\\";
  EXPECT_EQ(got["skin"], base::Utf16ToUtf8(work + u"Style\\"));
  EXPECT_EQ(got["url"], "http://127.0.0.1:8080/package.dat");
  EXPECT_EQ(got["has_package"], "1");
  EXPECT_EQ(ReadBytes(work + u"Style\\norvframe.ini"), Bytes("[Frame]\r\nWidth=500\r\n"));
  EXPECT_EQ(ReadBytes(work + u"Style\\Draw\\bk.bmp"), Bytes("BM-picture"));
  EXPECT_FALSE(Exists(work + u"Style\\Setup.ini"));
  EXPECT_EQ(ReadBytes(work + u"Part1.dat"), skin_container_);
  ASSERT_EQ(got["big"].rfind(base::Utf16ToUtf8(work + u"Big"), 0), 0u) << got["big"];
  EXPECT_EQ(ReadBytes(base::Utf8ToUtf16(got["big"])), package_);
}

TEST_F(StampedExecutable, DownloadTypeSetupHasNoPackagePart) {
  const std::u16string setup = dir_.Join(u"SetupDown.exe");
  ASSERT_EQ(Stamp(false, setup), 0);
  EXPECT_EQ(ReadBytes(setup).size(), ReadBytes(stub_).size() + skin_part_.size());
  EXPECT_EQ(RunProgram(setup, {}), 7);

  std::map<std::string, std::string> got;
  ASSERT_EQ(RunPrepare(setup, dir_.Join(u"temp"), &got), 0);
  EXPECT_EQ(got["has_package"], "0");
  EXPECT_EQ(got["url"], "http://127.0.0.1:8080/package.dat");

  // The unstamped program has no table at all.
  EXPECT_EQ(RunPrepare(stub_, dir_.Join(u"temp2"), &got), 1);
}

}  // namespace
