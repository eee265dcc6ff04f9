// norvpack archive, stamp and inspect, run as the real program: exit codes, messages, and the
// bytes they write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <sys/wait.h>
#endif

#include "base/path.h"
#include "base/strings.h"
#include "package/payload.h"
#include "package/res_archive.h"
#include "../package/res_archive_test_bytes.h"
#include "platform/file_times.h"
#include "platform/system.h"
#include "support/scratch_dir.h"

namespace {
using namespace payload_test;
using testing_support::Exists;
using testing_support::ScratchDir;
using Buf = std::vector<uint8_t>;
namespace fs = std::filesystem;

Buf Read(const std::u16string& path) {
  const auto bytes = testing_support::ReadBytes(path);
  return Buf(bytes.begin(), bytes.end());
}
std::string ReadText(const std::u16string& path) {
  const Buf b = Read(path);
  return std::string(b.begin(), b.end());
}
void Write(const std::u16string& path, const Buf& bytes) {
  testing_support::WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}
fs::path Native(const std::u16string& p) {
  std::u16string n = p;
#ifndef _WIN32
  for (auto& c : n) c = c == u'\\' ? u'/' : c;
#endif
  return fs::path(n);
}
std::set<std::string> FilesBelow(const std::u16string& root) {
  std::set<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(Native(root), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) files.insert(fs::relative(it->path(), Native(root)).generic_string());
  }
  return files;
}

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class NorvpackTest : public testing::Test {
 protected:
  RunResult Norvpack(const std::vector<std::u16string>& args) {
    const std::u16string tests = std::u16string(base::ParentPart(platform::ModuleFilePath()));
    const std::u16string out = dir_.Join(u"stdout.txt"), err = dir_.Join(u"stderr.txt");
    RunResult result;
#ifdef _WIN32
    const std::u16string program = tests + u"\\..\\tools\\norvpack\\norvpack.exe";
    std::vector<std::wstring> quoted = {L"\"" + std::wstring(program.begin(), program.end()) + L"\""};
    for (const auto& a : args) quoted.push_back(L"\"" + std::wstring(a.begin(), a.end()) + L"\"");
    std::vector<const wchar_t*> argv;
    for (const auto& q : quoted) argv.push_back(q.c_str());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved_out = _dup(1), saved_err = _dup(2);
    const int out_fd = _wopen(reinterpret_cast<const wchar_t*>(out.c_str()), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0644);
    const int err_fd = _wopen(reinterpret_cast<const wchar_t*>(err.c_str()), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0644);
    _dup2(out_fd, 1);
    _dup2(err_fd, 2);
    result.exit_code = static_cast<int>(_wspawnv(_P_WAIT, reinterpret_cast<const wchar_t*>(program.c_str()), argv.data()));
    _dup2(saved_out, 1);
    _dup2(saved_err, 2);
    _close(out_fd);
    _close(err_fd);
    _close(saved_out);
    _close(saved_err);
#else
    auto quote = [](const std::string& s) {
      std::string q = "'";
      for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
      return q + "'";
    };
    std::string command = quote(base::Utf16ToUtf8(tests) + "/../tools/norvpack/norvpack");
    for (const auto& a : args) command += " " + quote(base::Utf16ToUtf8(a));
    command += " >" + quote(base::Utf16ToUtf8(out)) + " 2>" + quote(base::Utf16ToUtf8(err));
    const int status = std::system(command.c_str());
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    result.out = ReadText(out);
    result.err = ReadText(err);
    return result;
  }

  std::u16string Path(const std::u16string& name) const { return dir_.Join(name); }
  void MakeFile(const std::u16string& name, const std::string& text, int64_t mtime) {
    fs::create_directories(Native(Path(name)).parent_path());
    Write(Path(name), Bytes(text));
    platform::SetFileTimes(Path(name), mtime, mtime);
  }

  ScratchDir dir_;
};

TEST_F(NorvpackTest, EverySubcommandHasHelpAndOneLineErrors) {
  for (const char16_t* name : {u"archive", u"stamp", u"inspect"}) {
    const RunResult help = Norvpack({name, u"--help"});
    EXPECT_EQ(help.exit_code, 0) << base::Utf16ToUtf8(name);
    EXPECT_EQ(help.out.rfind("usage: norvpack " + base::Utf16ToUtf8(name), 0), 0u) << help.out;
  }
  const struct {
    std::vector<std::u16string> args;
    int exit_code;
    const char* message;
  } cases[] = {
      {{u"archive"}, 2, "norvpack archive: needs an action"},
      {{u"archive", u"pack"}, 2, "norvpack archive: unknown action 'pack'"},
      {{u"archive", u"create", u"folder"}, 2, "norvpack archive: create needs -o OUTPUT"},
      {{u"archive", u"create", u"-o", u"x.dat", u"--mtime", u"soon", u"f"}, 2, "norvpack archive: --mtime needs"},
      {{u"archive", u"list", u"missing.dat"}, 1, "norvpack: missing.dat holds no resource archive"},
      {{u"stamp", u"--skin", u"s"}, 2, "norvpack stamp: needs --program"},
      {{u"stamp", u"--program", u"missing.exe", u"--skin", u"s", u"-o", u"o"}, 1, "norvpack: cannot open missing.exe"},
      {{u"inspect"}, 2, "norvpack inspect: needs one FILE"},
      {{u"inspect", u"missing.bin"}, 1, "norvpack: cannot open missing.bin"},
  };
  for (const auto& c : cases) {
    const RunResult r = Norvpack(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.message;
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
    // One line; usage errors add the pointer to --help.
    const auto lines = std::count(r.err.begin(), r.err.end(), '\n');
    EXPECT_EQ(lines, c.exit_code == 2 ? 2 : 1) << r.err;
  }
}

TEST_F(NorvpackTest, ArchiveCreateListExtractRoundTripIsReproducible) {
  MakeFile(u"skin/copy.htm", "<html>copy</html>", 1400000000);
  MakeFile(u"skin/img/logo.bmp", std::string(3000, 'L'), 1400000100);
  MakeFile(u"other/u.txt", "uninstall", 1400000200);
  const RunResult created = Norvpack({u"archive", u"create", u"-o", Path(u"a.dat"), Path(u"skin")});
  ASSERT_EQ(created.exit_code, 0) << created.err;
  // Same inputs, same bytes; --mtime replaces every file's own time.
  ASSERT_EQ(Norvpack({u"archive", u"create", u"-o", Path(u"b.dat"), Path(u"skin")}).exit_code, 0);
  EXPECT_EQ(Read(Path(u"a.dat")), Read(Path(u"b.dat")));
  EXPECT_FALSE(Exists(Path(u"a.dat.norvpack-tmp")));

  const RunResult listed = Norvpack({u"archive", u"list", Path(u"a.dat")});
  ASSERT_EQ(listed.exit_code, 0) << listed.err;
  EXPECT_NE(listed.out.find("archive 0: offset 0"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("2014-05-13 16:53:20 copy.htm"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("3000 2014-05-13 16:55:00 img\\logo.bmp"), std::string::npos) << listed.out;

  ASSERT_EQ(Norvpack({u"archive", u"extract", Path(u"a.dat"), u"-o", Path(u"x")}).exit_code, 0);
  EXPECT_EQ(FilesBelow(Path(u"x")), (std::set<std::string>{"copy.htm", "img/logo.bmp"}));
  EXPECT_EQ(ReadText(Path(u"x/copy.htm")), "<html>copy</html>");
  int64_t modified = 0, accessed = 0;
  ASSERT_TRUE(platform::GetFileTimes(Path(u"x/img/logo.bmp"), &modified, &accessed));
  EXPECT_EQ(modified, 1400000100);

  // Two folders make two archives in one file; the installer's reader sees both.
  ASSERT_EQ(Norvpack({u"archive", u"create", u"-o", Path(u"two.dat"), u"--mtime", u"86400", Path(u"skin"), Path(u"other")})
                .exit_code,
            0);
  EXPECT_EQ(package::ListResArchives(Path(u"two.dat")).size(), 2u);
  ASSERT_EQ(Norvpack({u"archive", u"extract", Path(u"two.dat"), u"-o", Path(u"y")}).exit_code, 0);
  EXPECT_EQ(FilesBelow(Path(u"y")), (std::set<std::string>{"0/copy.htm", "0/img/logo.bmp", "1/u.txt"}));
  ASSERT_TRUE(platform::GetFileTimes(Path(u"y/1/u.txt"), &modified, &accessed));
  EXPECT_EQ(modified, 86400);
  ASSERT_EQ(Norvpack({u"archive", u"extract", Path(u"two.dat"), u"-o", Path(u"z"), u"--index", u"1"}).exit_code, 0);
  EXPECT_EQ(FilesBelow(Path(u"z")), (std::set<std::string>{"u.txt"}));
  EXPECT_EQ(Norvpack({u"archive", u"extract", Path(u"two.dat"), u"-o", Path(u"z"), u"--index", u"2"}).exit_code, 1);

  // A stub program in front of the archive.
  Write(Path(u"stub.exe"), MinimalStub());
  ASSERT_EQ(Norvpack({u"archive", u"create", u"-o", Path(u"s.dat"), u"--stub", Path(u"stub.exe"), Path(u"other")}).exit_code, 0);
  const auto archives = package::ListResArchives(Path(u"s.dat"));
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_TRUE(archives[0].has_program_stub);
}

TEST_F(NorvpackTest, ExtractRefusesEscapingNamesAndReportsDamage) {
  Buf archive = HandArchive({{u"..\\up.txt", Bytes("x"), 1}, {u"ok.txt", Bytes("fine"), 2}, {u"crc.txt", Bytes("bad"), 3}});
  const auto parsed = [&] {
    Write(Path(u"bad.dat"), archive);
    return package::ListResArchives(Path(u"bad.dat"));
  }();
  ASSERT_EQ(parsed.size(), 1u);
  archive[parsed[0].entries[2].data_offset + 24 + 4] ^= 0x10;
  Write(Path(u"bad.dat"), archive);

  const RunResult r = Norvpack({u"archive", u"extract", Path(u"bad.dat"), u"-o", Path(u"deep/x")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("entry '..\\up.txt' refused"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("entry 'crc.txt' skipped: CRC mismatch"), std::string::npos) << r.err;
  EXPECT_EQ(FilesBelow(Path(u"deep")), (std::set<std::string>{"x/ok.txt"}));

  const RunResult inspected = Norvpack({u"inspect", Path(u"bad.dat")});
  EXPECT_EQ(inspected.exit_code, 1);
  EXPECT_NE(inspected.out.find("PROBLEM: CRC mismatch"), std::string::npos) << inspected.out;
  EXPECT_NE(inspected.out.find("PROBLEM: the name leaves the destination folder"), std::string::npos) << inspected.out;
}

TEST_F(NorvpackTest, StampThenInspectTheSetupFile) {
  const Buf skin_container = Container(u"http://127.0.0.1/p.dat", 3, {{u"DIR-SetupSkinPart1|a.ini", Bytes("[a]")}});
  const Buf packed_record = PackedFile(Bytes("packed compose file"));
  const Buf package = Container(u"Core", 0, {{u"CNI-Core", Bytes("[c]")}, {u"COM-Core___a.dll", packed_record}});
  Write(Path(u"program.exe"), ProgramHeader(512, false, {}));
  Write(Path(u"skin.zqp"), PackedFile(skin_container));
  Write(Path(u"package.dat"), package);

  const RunResult stamped = Norvpack({u"stamp", u"--program", Path(u"program.exe"), u"--skin", Path(u"skin.zqp"),
                                      u"--package", Path(u"package.dat"), u"-o", Path(u"Setup.exe")});
  ASSERT_EQ(stamped.exit_code, 0) << stamped.err;
  const Buf setup = Read(Path(u"Setup.exe"));
  package::PayloadTable table;
  ASSERT_TRUE(package::ReadPayloadTable(setup.data(), setup.size(), &table));
  EXPECT_EQ(table.part1.offset, 512u);
  EXPECT_EQ(table.part2.offset, 512u + table.part1.length);
  EXPECT_EQ(Buf(setup.begin() + table.part2.offset, setup.end()), package);

  const RunResult inspected = Norvpack({u"inspect", Path(u"Setup.exe")});
  EXPECT_EQ(inspected.exit_code, 0) << inspected.out << inspected.err;
  for (const char* expected : {"setup file with a payload table", "part 1: offset 512", "unpacks to 1315 bytes, CRC ok",
                               "kind 3 (skin part)", "package download address: \"http://127.0.0.1/p.dat\"",
                               "DIR-SetupSkinPart1|a.ini", "kind 0 (product package)", "COM-Core___a.dll",
                               "packed: unpacks to 19 bytes, CRC ok"}) {
    EXPECT_NE(inspected.out.find(expected), std::string::npos) << expected << "\n" << inspected.out;
  }

  // Download-type setup file; then a damaged skin part is reported.
  ASSERT_EQ(Norvpack({u"stamp", u"--program", Path(u"Setup.exe"), u"--skin", Path(u"skin.zqp"), u"-o", Path(u"Down.exe")})
                .exit_code,
            0);
  const RunResult down = Norvpack({u"inspect", Path(u"Down.exe")});
  EXPECT_EQ(down.exit_code, 0) << down.out;
  EXPECT_NE(down.out.find("part 2: absent"), std::string::npos) << down.out;
  Buf damaged = Read(Path(u"Down.exe"));
  damaged[damaged.size() - 6] ^= 0x01;  // the skin member's CRC
  Write(Path(u"Damaged.exe"), damaged);
  const RunResult bad = Norvpack({u"inspect", Path(u"Damaged.exe")});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.out.find("PROBLEM: does not unpack (code 45"), std::string::npos) << bad.out;

  // Wrong inputs are refused without leaving an output behind.
  const RunResult not_packed = Norvpack({u"stamp", u"--program", Path(u"program.exe"), u"--skin", Path(u"package.dat"),
                                         u"-o", Path(u"Never.exe")});
  EXPECT_EQ(not_packed.exit_code, 1);
  EXPECT_NE(not_packed.err.find("is not a packed skin part"), std::string::npos) << not_packed.err;
  EXPECT_FALSE(Exists(Path(u"Never.exe")));
}

}  // namespace
