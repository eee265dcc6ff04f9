// norvpack's commands other than build, run as the built program: pack, unpack, container,
// archive, stamp and inspect; what they write is read back with the installer's own readers.
#include <random>
#include <sstream>

#include "norvpack_fixture.h"
#include "package/deed_box.h"
#include "package/packed_file.h"
#include "package/payload.h"
#include "package/res_archive.h"
#include "package/res_archive_test_bytes.h"
#include "platform/file_times.h"

namespace build_test {
namespace {

using namespace payload_test;
using Buf = std::vector<uint8_t>;
using testing_support::ReadBytes;
using testing_support::WriteBytes;
using testing_support::WriteText;

class Norvpack : public NorvpackCommandTest {
 protected:
  // Files to pack and store: text, random bytes and a small skin folder with a hidden file.
  void SetUp() override {
    std::mt19937 rng(3);
    Buf mixed;
    for (int i = 0; i < 120000; ++i) mixed.push_back(i % 3 ? static_cast<unsigned char>("norv setup "[i % 11]) : rng());
    WriteBytes(P(u"program.exe"), mixed);
    WriteText(P(u"NorvClient.out"), "[Version]\r\nProductID=1\r\n");
    WriteText(P(u"Core.out"), "[Version]\r\nCurVersion=3\r\n");
    std::filesystem::create_directories(std::filesystem::path(P(u"skin")) / "img");
    WriteText(P(u"skin") + u"/norvframe.ini", "[Frame]\r\n");
    WriteText(P(u"skin") + u"/img/back.bmp", "BM-bitmap");
#ifndef _WIN32
    WriteText(P(u"skin") + u"/.hidden", "not packed");
#endif
  }
  std::vector<std::u16string> CreateArgs(const std::u16string& output) {
    return {u"container", u"create", output, u"--products", u"NorvClient", u"--composes", u"Core",
            u"--fix", u"NorvClient=" + P(u"NorvClient.out"), u"--fix", u"NorvClient,0=" + P(u"NorvClient.out"),
            u"--compose-ini", u"Core.dll=" + P(u"Core.out"),
            u"--packed-compose-file", u"Core,src,bin,program.exe=" + P(u"program.exe"),
            u"--compose-file", u"Core,,,readme,v1.txt=" + P(u"Core.out"), u"--group", u"SetupSkinPart1=" + P(u"skin")};
  }
};

TEST_F(Norvpack, PackIsDeterministicAndTheInstallerUnpacksIt) {
  ASSERT_EQ(Run({u"pack", P(u"program.exe"), u"-o", P(u"a.zqp")}).code, 0);
  ASSERT_EQ(Run({u"pack", P(u"program.exe"), u"--output", P(u"b.zqp")}).code, 0);
  const Buf packed = ReadBytes(P(u"a.zqp"));
  EXPECT_EQ(packed, ReadBytes(P(u"b.zqp")));
  EXPECT_LT(packed.size(), ReadBytes(P(u"program.exe")).size());

  EXPECT_EQ(package::ZQP_UnPackFile(P(u"a.zqp").c_str(), P(u"direct.bin").c_str()), 0u);
  EXPECT_EQ(ReadBytes(P(u"direct.bin")), ReadBytes(P(u"program.exe")));
  ASSERT_EQ(Run({u"unpack", P(u"a.zqp"), u"-o", P(u"tool.bin")}).code, 0);
  EXPECT_EQ(ReadBytes(P(u"tool.bin")), ReadBytes(P(u"program.exe")));
}

TEST_F(Norvpack, ContainerRoundTripsThroughTheInstallersReader) {
  ASSERT_EQ(Run(CreateArgs(P(u"package.dat"))).code, 0);
  ASSERT_EQ(Run(CreateArgs(P(u"again.dat"))).code, 0);
  EXPECT_EQ(ReadBytes(P(u"package.dat")), ReadBytes(P(u"again.dat")));

  package::DeedBoxPtr box(package::CreateDeedBox());
  ASSERT_TRUE(box->Open(P(u"package.dat").c_str()));
  EXPECT_EQ(box->GetProductList(), u"NorvClient");
  EXPECT_EQ(box->GetComposeList(), u"Core");
  EXPECT_EQ(box->GetKind(), 0u);
  ASSERT_TRUE(box->ExtractFix(1, u"NorvClient", P(u"x\\fix1.out").c_str()));
  ASSERT_TRUE(box->ExtractFix(0, u"NorvClient", P(u"x\\fix0.out").c_str()));
  EXPECT_EQ(ReadBytes(P(u"x\\fix1.out")), ReadBytes(P(u"NorvClient.out")));
  ASSERT_TRUE(box->ExtractComposeIni(u"Core", P(u"x\\core.ini").c_str()));
  EXPECT_EQ(ReadBytes(P(u"x\\core.ini")), ReadBytes(P(u"Core.out")));
  ASSERT_TRUE(box->ExtractComposeFile(u"Core", u"", u"", u"readme,v1.txt", P(u"x\\readme.txt").c_str()));
  ASSERT_TRUE(box->ExtractComposeFile(u"Core", u"src", u"bin", u"program.exe", P(u"x\\program.zqp").c_str()));
  EXPECT_EQ(package::ZQP_UnPackFile(P(u"x\\program.zqp").c_str(), P(u"x\\program.exe").c_str()), 0u);
  EXPECT_EQ(ReadBytes(P(u"x\\program.exe")), ReadBytes(P(u"program.exe")));
  ASSERT_TRUE(box->ExtractGroup(u"SetupSkinPart1", P(u"style").c_str()));
  EXPECT_EQ(ReadBytes(P(u"style\\img\\back.bmp")), Bytes("BM-bitmap"));
  EXPECT_FALSE(Exists(P(u"style\\.hidden")));
  box->Close();

  const RunResult list = Run({u"container", u"list", P(u"package.dat")});
  EXPECT_EQ(list.code, 0) << list.err;
  for (const char* name : {"FIX_NorvClient_1", "FIX_NorvClient_0", "CNI-Core", "COM-Core_src_bin_program.exe",
                           "COM-Core___readme,v1.txt", "DIR-SetupSkinPart1|img\\back.bmp",
                           "DIR-SetupSkinPart1|norvframe.ini", "records: 7"}) {
    EXPECT_THAT(list.out, HasSubstr(name));
  }
}

TEST_F(Norvpack, AddAppendsAndExtractWritesRecordsGroupsAndAll) {
  ASSERT_EQ(Run(CreateArgs(P(u"package.dat"))).code, 0);
  const Buf before = ReadBytes(P(u"package.dat"));
  const RunResult add = Run({u"container", u"add", P(u"package.dat"), u"--record", u"extra=" + P(u"Core.out"), u"--patch",
                          u"Core,1,2,program.exe=" + P(u"program.exe")});
  ASSERT_EQ(add.code, 0) << add.err;
  const Buf after = ReadBytes(P(u"package.dat"));
  ASSERT_GT(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));

  ASSERT_EQ(Run({u"container", u"extract", P(u"package.dat"), u"--record", u"EXTRA", u"-o", P(u"extra.txt")}).code, 0);
  EXPECT_EQ(ReadBytes(P(u"extra.txt")), ReadBytes(P(u"Core.out")));
  ASSERT_EQ(Run({u"container", u"extract", P(u"package.dat"), u"--group", u"SetupSkinPart1", u"-o", P(u"skin2")}).code, 0);
  EXPECT_EQ(ReadBytes(P(u"skin2\\norvframe.ini")), ReadBytes(P(u"skin\\norvframe.ini")));
  ASSERT_EQ(Run({u"container", u"extract", P(u"package.dat"), u"-o", P(u"all")}).code, 0);
  EXPECT_EQ(ReadBytes(P(u"all\\PCH-Core_1_2_program.exe")), ReadBytes(P(u"program.exe")));
  EXPECT_EQ(ReadBytes(P(u"all\\DIR-SetupSkinPart1%7Cimg%5Cback.bmp")), ReadBytes(P(u"skin\\img\\back.bmp")));
  EXPECT_FALSE(Exists(P(u"all.norvpack-tmp")));
}

// Every refusal is one line (usage errors add a pointer to --help) with its exit code, and
// leaves no output behind.
TEST_F(Norvpack, BadInputGivesOneLineAndANonZeroExitAndNoOutput) {
  // A container with a group entry that would leave its folder, built by the installer's writer.
  {
    package::CDeedBox box;
    ASSERT_TRUE(box.Create(u"", P(u"evil.dat").c_str(), u"", 3));
    ASSERT_TRUE(box.AddFile(u"DIR-G|..\\escaped.txt", P(u"Core.out").c_str()));
    ASSERT_TRUE(box.AddFile(u"DIR-G|fine.txt", P(u"Core.out").c_str()));
  }
  Buf cut = ReadBytes(P(u"evil.dat"));
  cut.pop_back();
  WriteBytes(P(u"cut.dat"), cut);
  // The first record claims its data inside the header; the installer would extract those bytes.
  Buf misplaced = ReadBytes(P(u"evil.dat"));
  misplaced[1172 + 8 + 1] = 0;
  WriteBytes(P(u"misplaced.dat"), misplaced);

  struct Case {
    std::vector<std::u16string> args;
    int code;
    const char* message;
    const char16_t* must_not_exist;
  } cases[] = {
      {{u"archive"}, 2, "norvpack archive: needs an action", nullptr},
      {{u"archive", u"create", u"-o", P(u"o11"), u"--mtime", u"soon", u"f"}, 2, "norvpack archive: --mtime needs", u"o11"},
      {{u"stamp", u"--skin", u"s"}, 2, "norvpack stamp: needs --program", nullptr},
      {{u"stamp", u"--program", P(u"program.exe"), u"--skin", P(u"Core.out"), u"-o", P(u"o12")}, 1,
       "is not a packed skin part", u"o12"},
      {{u"inspect"}, 2, "norvpack inspect: needs one FILE", nullptr},
      {{u"build", ExampleSuite(), u"--stub", P(u"program.exe")}, 2, "norvpack build: needs -o SETUP.EXE", nullptr},
      {{u"build", ExampleSuite(), u"-o", P(u"o13"), u"--stub", P(u"Core.out")}, 1,
       "the setup program: the program is not an executable image", u"o13"},
      {{u"pack", P(u"program.exe")}, 2, "missing -o OUTPUT", nullptr},
      {{u"pack", P(u"missing"), u"-o", P(u"o1")}, 1, "cannot open", u"o1"},
      {{u"unpack", P(u"program.exe"), u"-o", P(u"o2")}, 1, "is not a packed file", u"o2"},
      {{u"container", u"frobnicate"}, 2, "unknown verb", nullptr},
      {{u"container", u"list", P(u"program.exe")}, 1, "is not a package container", nullptr},
      {{u"container", u"list", P(u"cut.dat")}, 1, "cut short", nullptr},
      {{u"container", u"create", P(u"o4"), u"--record", std::u16string(64, u'n') + u"=" + P(u"Core.out")}, 2,
       "longer than 63", u"o4"},
      {{u"container", u"add", P(u"cut.dat"), u"--record", u"r=" + P(u"Core.out")}, 1, "not a complete", nullptr},
      {{u"container", u"extract", P(u"evil.dat"), u"--group", u"G", u"-o", P(u"o8")}, 1, "outside the folder", u"o8"},
      {{u"container", u"extract", P(u"evil.dat"), u"--record", u"nope", u"-o", P(u"o9")}, 1, "cannot extract", u"o9"},
      {{u"container", u"extract", P(u"misplaced.dat"), u"--record", u"DIR-G|fine.txt", u"-o", P(u"o10")}, 1,
       "not a package container: record 1 'DIR-G|..\\escaped.txt': its data offset field says 32, but its data "
       "starts at 1312", u"o10"},
      {{u"inspect", P(u"misplaced.dat")}, 1, "PROBLEM: the installer does not open this container: record 1", nullptr},
      {{u"inspect", P(u"evil.dat")}, 1, "PROBLEM: the group record's path leaves the group's folder", nullptr},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args);
    const std::string what = base::Utf16ToUtf8(c.args[0]) + (c.args.size() > 1 ? " " + base::Utf16ToUtf8(c.args[1]) : "");
    EXPECT_EQ(r.code, c.code) << what << ": " << r.err;
    // inspect names the problem on standard output, the others on standard error.
    EXPECT_THAT(r.err + r.out, HasSubstr(c.message)) << what;
    // Progress lines aside, one line says what is wrong.
    size_t messages = 0;
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);) messages += line.rfind("norvpack", 0) == 0 ? 1 : 0;
    EXPECT_EQ(messages, 1u) << what << ": " << r.err;
    if (c.must_not_exist) {
      EXPECT_FALSE(Exists(P(c.must_not_exist))) << what;
      EXPECT_FALSE(Exists(P(std::u16string(c.must_not_exist) + u".norvpack-tmp"))) << what;
    }
  }
  EXPECT_FALSE(Exists(P(u"escaped.txt")));
  EXPECT_EQ(ReadBytes(P(u"cut.dat")), cut);
}


class NorvpackTest : public NorvpackCommandTest {
 protected:
  void MakeFile(const std::u16string& name, const std::string& text, int64_t mtime) {
    fs::create_directories(Native(P(name)).parent_path());
    WriteAll(P(name), Bytes(text));
    platform::SetFileTimes(P(name), mtime, mtime);
  }
};

TEST_F(NorvpackTest, ArchiveCreateListExtractRoundTripIsReproducible) {
  MakeFile(u"skin/copy.htm", "<html>copy</html>", 1400000000);
  MakeFile(u"skin/img/logo.bmp", std::string(3000, 'L'), 1400000100);
  MakeFile(u"other/u.txt", "uninstall", 1400000200);
  const RunResult created = Run({u"archive", u"create", u"-o", P(u"a.dat"), P(u"skin")});
  ASSERT_EQ(created.code, 0) << created.err;
  // Same inputs, same bytes; --mtime replaces every file's own time.
  ASSERT_EQ(Run({u"archive", u"create", u"-o", P(u"b.dat"), P(u"skin")}).code, 0);
  EXPECT_EQ(ReadAll(P(u"a.dat")), ReadAll(P(u"b.dat")));
  EXPECT_FALSE(Exists(P(u"a.dat.norvpack-tmp")));

  const RunResult listed = Run({u"archive", u"list", P(u"a.dat")});
  ASSERT_EQ(listed.code, 0) << listed.err;
  EXPECT_THAT(listed.out, HasSubstr("archive 0: offset 0"));
  EXPECT_THAT(listed.out, HasSubstr("2014-05-13 16:53:20 copy.htm"));
  EXPECT_THAT(listed.out, HasSubstr("3000 2014-05-13 16:55:00 img\\logo.bmp"));

  ASSERT_EQ(Run({u"archive", u"extract", P(u"a.dat"), u"-o", P(u"x")}).code, 0);
  EXPECT_EQ(FilesBelow(P(u"x")), (std::set<std::string>{"copy.htm", "img/logo.bmp"}));
  EXPECT_EQ(ReadText(P(u"x/copy.htm")), "<html>copy</html>");
  int64_t modified = 0, accessed = 0;
  ASSERT_TRUE(platform::GetFileTimes(P(u"x/img/logo.bmp"), &modified, &accessed));
  EXPECT_EQ(modified, 1400000100);

  // Two folders make two archives in one file; the installer's reader sees both.
  ASSERT_EQ(Run({u"archive", u"create", u"-o", P(u"two.dat"), u"--mtime", u"86400", P(u"skin"), P(u"other")})
                .code,
            0);
  EXPECT_EQ(package::ListResArchives(P(u"two.dat")).size(), 2u);
  ASSERT_EQ(Run({u"archive", u"extract", P(u"two.dat"), u"-o", P(u"y")}).code, 0);
  EXPECT_EQ(FilesBelow(P(u"y")), (std::set<std::string>{"0/copy.htm", "0/img/logo.bmp", "1/u.txt"}));
  ASSERT_TRUE(platform::GetFileTimes(P(u"y/1/u.txt"), &modified, &accessed));
  EXPECT_EQ(modified, 86400);
  ASSERT_EQ(Run({u"archive", u"extract", P(u"two.dat"), u"-o", P(u"z"), u"--index", u"1"}).code, 0);
  EXPECT_EQ(FilesBelow(P(u"z")), (std::set<std::string>{"u.txt"}));
  EXPECT_EQ(Run({u"archive", u"extract", P(u"two.dat"), u"-o", P(u"z"), u"--index", u"2"}).code, 1);

  // A stub program in front of the archive.
  WriteAll(P(u"stub.exe"), StubProgram());
  ASSERT_EQ(Run({u"archive", u"create", u"-o", P(u"s.dat"), u"--stub", P(u"stub.exe"), P(u"other")}).code, 0);
  const auto archives = package::ListResArchives(P(u"s.dat"));
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_TRUE(archives[0].has_program_stub);
}

TEST_F(NorvpackTest, ExtractRefusesEscapingNamesAndReportsDamage) {
  Buf archive = HandArchive({{u"..\\up.txt", Bytes("x"), 1},
                             {u"ok.txt", Bytes("fine"), 2},
                             {u"crc.txt", Bytes("bad"), 3},
                             {u"sub\\", Bytes("no file name"), 4}});
  const auto parsed = [&] {
    WriteAll(P(u"bad.dat"), archive);
    return package::ListResArchives(P(u"bad.dat"));
  }();
  ASSERT_EQ(parsed.size(), 1u);
  archive[parsed[0].entries[2].data_offset + 24 + 4] ^= 0x10;
  WriteAll(P(u"bad.dat"), archive);

  const RunResult r = Run({u"archive", u"extract", P(u"bad.dat"), u"-o", P(u"deep/x")});
  EXPECT_EQ(r.code, 1);
  const std::string refused = "not extracted: the name leaves the destination folder or names no file";
  EXPECT_THAT(r.err, HasSubstr("entry '..\\up.txt' " + refused));
  EXPECT_THAT(r.err, HasSubstr("entry 'sub\\' " + refused));
  EXPECT_THAT(r.err, HasSubstr("entry 'crc.txt' not extracted: CRC mismatch"));
  EXPECT_EQ(FilesBelow(P(u"deep")), (std::set<std::string>{"x/ok.txt"}));
  EXPECT_FALSE(Exists(P(u"deep/x/sub")));

  const RunResult inspected = Run({u"inspect", P(u"bad.dat")});
  EXPECT_EQ(inspected.code, 1);
  EXPECT_THAT(inspected.out, HasSubstr("PROBLEM: CRC mismatch"));
  EXPECT_THAT(inspected.out, HasSubstr("PROBLEM: the name leaves the destination folder"));
}

TEST_F(NorvpackTest, StampThenInspectTheSetupFile) {
  const Buf skin_container = Container(u"http://127.0.0.1/p.dat", 3, {{u"DIR-SetupSkinPart1|a.ini", Bytes("[a]")}});
  const Buf packed_record = PackedFile(Bytes("packed compose file"));
  const Buf package = Container(u"Core", 0, {{u"CNI-Core", Bytes("[c]")}, {u"COM-Core___a.dll", packed_record}});
  WriteAll(P(u"program.exe"), ProgramHeader(512, false, {}));
  WriteAll(P(u"skin.zqp"), PackedFile(skin_container));
  WriteAll(P(u"package.dat"), package);

  const RunResult stamped = Run({u"stamp", u"--program", P(u"program.exe"), u"--skin", P(u"skin.zqp"),
                                      u"--package", P(u"package.dat"), u"-o", P(u"Setup.exe")});
  ASSERT_EQ(stamped.code, 0) << stamped.err;
  const Buf setup = ReadAll(P(u"Setup.exe"));
  package::PayloadTable table;
  ASSERT_TRUE(package::ReadPayloadTable(setup.data(), setup.size(), &table));
  EXPECT_EQ(table.part1.offset, 512u);
  EXPECT_EQ(table.part2.offset, 512u + table.part1.length);
  EXPECT_EQ(Buf(setup.begin() + table.part2.offset, setup.end()), package);

  const RunResult inspected = Run({u"inspect", P(u"Setup.exe")});
  EXPECT_EQ(inspected.code, 0) << inspected.out << inspected.err;
  for (const char* expected : {"setup file with a payload table", "part 1: offset 512", "unpacks to 1315 bytes, CRC ok",
                               "kind 3 (skin part)", "package download address: \"http://127.0.0.1/p.dat\"",
                               "DIR-SetupSkinPart1|a.ini", "kind 0 (product package)", "COM-Core___a.dll",
                               "packed: unpacks to 19 bytes, CRC ok"}) {
    EXPECT_THAT(inspected.out, HasSubstr(expected));
  }

  // Download-type setup file; then a damaged skin part is reported.
  ASSERT_EQ(Run({u"stamp", u"--program", P(u"Setup.exe"), u"--skin", P(u"skin.zqp"), u"-o", P(u"Down.exe")})
                .code,
            0);
  const RunResult down = Run({u"inspect", P(u"Down.exe")});
  EXPECT_EQ(down.code, 0) << down.out;
  EXPECT_THAT(down.out, HasSubstr("part 2: absent"));
  Buf damaged = ReadAll(P(u"Down.exe"));
  damaged[damaged.size() - 6] ^= 0x01;  // the skin member's CRC
  WriteAll(P(u"Damaged.exe"), damaged);
  const RunResult bad = Run({u"inspect", P(u"Damaged.exe")});
  EXPECT_EQ(bad.code, 1);
  EXPECT_THAT(bad.out, HasSubstr("PROBLEM: does not unpack (code 45"));
}

}  // namespace
}  // namespace build_test
