// "norvpack build" run as the built program (norvpack.exe under Wine in the Windows tree): the same
// bytes as the library build, the command-line options, its messages and its version.
#include "norv_version.h"
#include "norvpack_fixture.h"
#include "package/deed_box.h"
#include "base/sha256.h"
#include "package/payload.h"
#include "platform/fs.h"

namespace build_test {
namespace {

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

// The program and the library give the same bytes for the same stub. A download-only build carries
// no package but names it, with the address from the command line and by its SHA-256.
TEST(BuildCommand, WritesTheLibraryBuildsBytesAndDownloadOnlyNamesThePackage) {
  ScratchDir scratch;
  const std::u16string setup = scratch.Join(u"Setup.exe"), package_out = scratch.Join(u"NorvClient.pkg");
  const std::u16string stub = StubFile(scratch);
  RunResult run = RunNorvpack(scratch, {u"build", ExampleSuite(), u"-o", setup, u"--stub", stub, u"--package-out", package_out});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("Setup.exe: "));
  norvpack::SuiteBuildOptions options = Options(ExampleSuite());
  options.stub = ReadAll(stub);
  const norvpack::SuiteBuildOutput full = Build(options);
  EXPECT_EQ(ReadAll(setup), full.setup_file);
  EXPECT_EQ(ReadAll(package_out), full.package);

  const std::u16string download = scratch.Join(u"Download.exe"), download_package = scratch.Join(u"Download.pkg");
  run = RunNorvpack(scratch, {u"build", ExampleSuite(), u"-o", download, u"--stub", stub, u"--download-only", u"--url",
                              u"http://127.0.0.1:9999/pkg", u"--package-out", download_package});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("download-only"));
  const std::vector<uint8_t> written = ReadAll(download);
  package::PayloadTable table;
  ASSERT_TRUE(package::ReadPayloadTable(written.data(), written.size(), &table));
  EXPECT_FALSE(table.HasPart2());
  EXPECT_EQ(written.size(), uint64_t{table.part1.offset} + table.part1.length);
  // The package that the address must serve is the one the full build carries.
  EXPECT_EQ(ReadAll(download_package), full.package);
  std::string digest;
  ASSERT_FALSE(package::PrepareSkinPartFrom(download, scratch.Join(u"work"), nullptr, &digest).empty());
  base::Sha256 sha;
  sha.Update(full.package.data(), full.package.size());
  const std::string expected = base::ToHex(sha.Final());
  EXPECT_EQ(digest, expected);
  package::CDeedBox box;
  ASSERT_TRUE(box.Open(scratch.Join(u"work\\Part1.dat").c_str()));
  EXPECT_EQ(box.GetComposeList(), u"http://127.0.0.1:9999/pkg");
  // The setup file that carries its package names it too, and gives the package out only whole.
  ASSERT_FALSE(package::PrepareSkinPartFrom(setup, scratch.Join(u"work2"), nullptr, &digest).empty());
  EXPECT_EQ(digest, expected);
  EXPECT_FALSE(package::ExtractBigFileFrom(setup, scratch.Join(u"work2"), 1, digest).empty());
}

// A damaged byte that nothing inside the package covers (here the style's Setup.ini, the last
// record) installed without its registry entries and reported success; the digest refuses it.
TEST(BuildCommand, CarriedPackageDamagedWhereNoCrcCoversItIsRefused) {
  ScratchDir scratch;
  std::vector<uint8_t> damaged = Build(Options(ExampleSuite())).setup_file;
  ASSERT_GT(damaged.size(), 10u);
  damaged[damaged.size() - 10] ^= 0x20;
  const std::u16string setup = scratch.Join(u"Damaged.exe");
  WriteAll(setup, damaged);
  std::string digest;
  ASSERT_FALSE(package::PrepareSkinPartFrom(setup, scratch.Join(u"work"), nullptr, &digest).empty());
  EXPECT_EQ(package::ExtractBigFileFrom(setup, scratch.Join(u"work"), 1, digest), u"");
  EXPECT_FALSE(platform::PathExists(scratch.Join(u"work\\Big1.dat")));
  EXPECT_FALSE(package::ExtractBigFileFrom(setup, scratch.Join(u"work"), 2).empty());  // no digest: as before
}

TEST(BuildCommand, BrokenSuiteGivesOneLineWithFileAndLineAndNoOutput) {
  ScratchDir scratch;
  const std::u16string suite = CopySuite(scratch);
  ASSERT_TRUE(fs::remove(Native(Join(suite, u"files/Main/doc/readme.txt"))));
  const std::u16string setup = scratch.Join(u"Setup.exe");
  const RunResult run = RunNorvpack(scratch, {u"build", suite, u"-o", setup, u"--stub", StubFile(scratch)});
  EXPECT_EQ(run.code, 1);
#ifdef _WIN32
  // Standard error is a text stream there.
  const std::string shown = base::Utf16ToUtf8(suite) + "\\composes\\Main.out", end = "\r\n";
#else
  const std::string shown = base::Utf16ToUtf8(suite) + "/composes/Main.out", end = "\n";
#endif
  EXPECT_EQ(run.err, "norvpack: " + shown + ":20: file 'readme.txt' is missing: files/Main/doc/readme.txt does not exist" +
                         end);
  EXPECT_FALSE(testing_support::Exists(setup));
}

TEST(BuildCommand, HelpAndVersionDescribeTheTool) {
  ScratchDir scratch;
  const RunResult version = RunNorvpack(scratch, {u"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.substr(0, version.out.find_first_of("\r\n")) + version.err, "norvpack " NORV_VERSION_STRING);
  for (const char16_t* command : {u"pack", u"unpack", u"container", u"archive", u"stamp", u"inspect", u"build"}) {
    const RunResult r = RunNorvpack(scratch, {command, u"--help"});
    EXPECT_EQ(r.code, 0) << base::Utf16ToUtf8(command);
    EXPECT_EQ(r.out.rfind("usage: norvpack " + base::Utf16ToUtf8(command), 0), 0u) << r.out;
  }
}

}  // namespace
}  // namespace build_test
