// norvpack archive, stamp and inspect, run as the real program: what they write and report.
#include "norvpack_fixture.h"
#include "package/payload.h"
#include "package/res_archive.h"
#include "package/res_archive_test_bytes.h"
#include "platform/file_times.h"

namespace build_test {
namespace {
using namespace payload_test;
using Buf = std::vector<uint8_t>;

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
