// "norvpack build" run as the built program (norvpack.exe under Wine in the Windows tree), its
// output read back with this tree's build of the installer's readers.
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "build_fixture.h"
#include "engine/compose.h"
#include "engine/engine_codes.h"
#include "package/data_obtain.h"
#include "package/packed_file.h"
#include "package/payload.h"

namespace build_test {
namespace {

using testing_support::ScratchDir;

std::u16string NorvpackProgram() {
  const char* binary_dir = std::getenv("NORV_BINARY_DIR");
  const std::u16string dir = HostPath(binary_dir ? binary_dir : ".");
#ifdef _WIN32
  return dir + u"\\tools\\norvpack\\norvpack.exe";
#else
  return dir + u"/tools/norvpack/norvpack";
#endif
}

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

RunResult Norvpack(const ScratchDir& scratch, const std::vector<std::u16string>& args) {
  const std::u16string out = scratch.Join(u"stdout.txt"), err = scratch.Join(u"stderr.txt");
  RunResult run;
#ifdef _WIN32
  // cmd takes off the outer pair of quotes and keeps the quoted arguments.
  std::u16string command = u"\"\"" + NorvpackProgram() + u"\"";
  for (const auto& a : args) command += u" \"" + a + u"\"";
  command += u" >\"" + out + u"\" 2>\"" + err + u"\"\"";
  run.code = _wsystem(reinterpret_cast<const wchar_t*>(command.c_str()));
#else
  auto quote = [](const std::u16string& a) {
    std::string q = "'";
    for (char c : base::Utf16ToUtf8(a)) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  };
  std::string command = quote(NorvpackProgram());
  for (const auto& a : args) command += " " + quote(a);
  command += " >" + quote(out) + " 2>" + quote(err);
  const int status = std::system(command.c_str());
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

// The stub: on Windows a real built program (norvpack.exe itself), on the host the stand-in.
std::u16string StubFile(const ScratchDir& scratch) {
#ifdef _WIN32
  (void)scratch;
  return NorvpackProgram();
#else
  const std::u16string path = scratch.Join(u"stub.exe");
  WriteAll(path, StubProgram());
  return path;
#endif
}

TEST(BuildCommand, BuildsTheExampleSuiteThatTheReadersOpen) {
  ScratchDir scratch;
  const std::u16string setup = scratch.Join(u"Setup.exe"), package_out = scratch.Join(u"NorvClient.pkg");
  const std::u16string stub = StubFile(scratch);
  const RunResult run = Norvpack(scratch, {u"build", ExampleSuite(), u"-o", setup, u"--stub", stub, u"--package-out", package_out});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Setup.exe: "), std::string::npos) << run.out;

  // The program and the library give the same bytes for the same stub.
  norvpack::SuiteBuildOptions options = Options(ExampleSuite());
  options.stub = ReadAll(stub);
  norvpack::SuiteBuildOutput expected;
  norvpack::SuiteError error;
  ASSERT_TRUE(norvpack::BuildSuite(options, &expected, &error)) << error.Text();
  const std::vector<uint8_t> written = ReadAll(setup);
  EXPECT_EQ(written, expected.setup_file);
  EXPECT_EQ(ReadAll(package_out), expected.package);
  // The program image stays whole apart from the payload table.
  ASSERT_GT(written.size(), options.stub.size());
  EXPECT_TRUE(std::equal(options.stub.begin(), options.stub.begin() + 0x28, written.begin()));
  EXPECT_TRUE(std::equal(options.stub.begin() + 0x3C, options.stub.end(), written.begin() + 0x3C));

  ASSERT_TRUE(platform::CreateDirectoryOne(scratch.Join(u"work")));
  const std::u16string part2 = package::ExtractBigFileFrom(setup, scratch.Join(u"work"), 1);
  ASSERT_FALSE(part2.empty());
  ASSERT_TRUE(platform::CreateDirectoryOne(scratch.Join(u"install")));
  ASSERT_TRUE(platform::CreateDirectoryOne(scratch.Join(u"install\\Temp")));
  const engine::WorkPaths paths(scratch.Join(u"install"));
  package::CInstallDataObtain source(paths);
  ASSERT_EQ(source.LoadBigFile(part2.c_str()), package::kDataOk);
  ASSERT_EQ(source.ObtainProductIni(u"NorvClient", paths.TempFilePath(u"NorvClient.ini").c_str()), engine::kOk);
  const std::u16string description = paths.TempFilePath(u"Main.out");
  ASSERT_EQ(source.ObtainComposeIni(u"Main", description.c_str()), engine::kOk);
  engine::Compose main(paths);
  main.name = u"Main";
  ASSERT_EQ(main.LoadComposeFiles(description.c_str()), engine::kOk);
  engine::FileEntry* frame = main.FindFile(u"NorvFrame.exe");
  ASSERT_NE(frame, nullptr);
  std::u16string extracted;
  ASSERT_EQ(source.ObtainFile(frame, &extracted), package::kDataOk);
  const std::u16string plain = scratch.Join(u"NorvFrame.exe");
  ASSERT_EQ(package::ZQP_UnPackFile(extracted.c_str(), plain.c_str()), package::kUnpackOk);
  EXPECT_EQ(ReadAll(plain), ReadAll(Join(ExampleSuite(), u"files\\Main\\bin\\NorvFrame.exe")));
  EXPECT_EQ(frame->size, ReadAll(plain).size());
  EXPECT_FALSE(package::PrepareSkinPartFrom(setup, scratch.Join(u"work")).empty());
}

TEST(BuildCommand, DownloadOnlyAndTheAddressFromTheCommandLine) {
  ScratchDir scratch;
  const std::u16string setup = scratch.Join(u"Setup.exe");
  const RunResult run = Norvpack(scratch, {u"build", ExampleSuite(), u"-o", setup, u"--stub", StubFile(scratch),
                                     u"--download-only", u"--url", u"http://127.0.0.1:9999/pkg"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_FALSE(package::HasPackagePart(setup));
  EXPECT_NE(run.out.find("download-only"), std::string::npos);
  ASSERT_FALSE(package::PrepareSkinPartFrom(setup, scratch.Join(u"work")).empty());
  package::CDeedBox box;
  ASSERT_TRUE(box.Open(scratch.Join(u"work\\Part1.dat").c_str()));
  EXPECT_EQ(box.GetComposeList(), u"http://127.0.0.1:9999/pkg");
}

TEST(BuildCommand, BrokenSuiteGivesOneLineWithFileAndLineAndNoOutput) {
  ScratchDir scratch;
  const std::u16string suite = CopySuite(scratch);
  const std::u16string main = base::JoinPath(suite, u"composes\\Main.out");
  std::string text = ReadText(main);
  const std::string line = "NorvCore.dll=bin,,0,0,0,2,0,1,0,0,,,auto,,auto,0";
  ASSERT_NE(text.find(line), std::string::npos);
  text.replace(text.find(line), line.size(), "NorvCore.dll=bin,,0");
  testing_support::WriteText(main, text);
  const std::u16string setup = scratch.Join(u"Setup.exe");
  const RunResult run = Norvpack(scratch, {u"build", suite, u"-o", setup, u"--stub", StubFile(scratch)});
  EXPECT_EQ(run.code, 1);
#ifdef _WIN32
  // Standard error is a text stream there.
  const std::string shown = base::Utf16ToUtf8(suite) + "\\composes\\Main.out", end = "\r\n";
#else
  const std::string shown = base::Utf16ToUtf8(suite) + "/composes/Main.out", end = "\n";
#endif
  EXPECT_EQ(run.err, "norvpack: " + shown + ":16: malformed file line: 3 fields, at least 16 are needed" + end);
  EXPECT_FALSE(testing_support::Exists(setup));
}

TEST(BuildCommand, HelpDescribesTheSuiteFolderAndArgumentsAreChecked) {
  ScratchDir scratch;
  const RunResult help = Norvpack(scratch, {u"build", u"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* part : {"suite.ini", "products/NAME.out", "composes/PREFIX.out", "files/PREFIX/", "archives/NAME/",
                           "skin/part1/", "skin/part2/", "--download-only", "--stub"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
  const RunResult no_output = Norvpack(scratch, {u"build", ExampleSuite(), u"--stub", StubFile(scratch)});
  EXPECT_EQ(no_output.code, 2);
  EXPECT_NE(no_output.err.find("needs -o SETUP.EXE"), std::string::npos) << no_output.err;
  const RunResult bad_stub = Norvpack(scratch, {u"build", ExampleSuite(), u"-o", scratch.Join(u"x.exe"), u"--stub",
                                          Join(ExampleSuite(), u"suite.ini")});
  EXPECT_EQ(bad_stub.code, 1);
  EXPECT_NE(bad_stub.err.find("the setup program: the program is not an executable image"), std::string::npos)
      << bad_stub.err;
  EXPECT_FALSE(testing_support::Exists(scratch.Join(u"x.exe")));
}

}  // namespace
}  // namespace build_test
