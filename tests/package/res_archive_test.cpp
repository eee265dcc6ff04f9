#include "package/res_archive.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "package/package_test_files.h"
#include "package/res_archive_test_bytes.h"
#include "platform/file_times.h"
#include "support/scratch_dir.h"

namespace {
using namespace payload_test;
using namespace package_test;
using testing_support::Exists;
using testing_support::ScratchDir;

Buf Read(const std::u16string& path) { return testing_support::ReadBytes(path); }
void Write(const std::u16string& path, const Buf& bytes) { testing_support::WriteBytes(path, bytes); }

class ResArchiveTest : public testing::Test {
 protected:
  std::u16string archive() const { return dir_.Join(u"html.dat"); }
  std::u16string dest() const { return dir_.Join(u"out"); }
  std::u16string out(const std::u16string& name) const { return dir_.Join(u"out/" + name); }
  ScratchDir dir_;
};

TEST_F(ResArchiveTest, ExtractsHandMadeArchiveWithFoldersAndTimes) {
  // The empty and the stored file have a member longer than their data, which a buffer of the
  // data's length cannot take.
  const std::vector<HandEntry> entries = {{u"copy.htm", Bytes("<html>hello</html>"), 1300000000},
                                          {u"img\\logo.bmp", Noise(5000, 1), 1500000000},
                                          {u"a\\b\\c.txt", Buf(20000, 'x'), 86400},
                                          {u"empty.txt", {}, 10},
                                          {u"stored.bin", Noise(300, 7), 20, 0}};
  Write(archive(), HandArchive(entries));
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  EXPECT_EQ(FilesBelow(dest()),
            (std::set<std::string>{"copy.htm", "img/logo.bmp", "a/b/c.txt", "empty.txt", "stored.bin"}));
  for (const HandEntry& e : entries) {
    SCOPED_TRACE(base::Utf16ToUtf8(e.name));
    // Access time before any read of the content can move it.
    int64_t modified = -1, accessed = -1;
    ASSERT_TRUE(platform::GetFileTimes(out(e.name), &modified, &accessed));
    EXPECT_EQ(accessed, 0);
    EXPECT_EQ(modified, e.modified);
    EXPECT_EQ(Read(out(e.name)), e.data);
  }
}

TEST_F(ResArchiveTest, SeveralArchivesWithProgramStubGoToNumberedFolders) {
  Buf file = HandArchive({{u"one.txt", Bytes("first"), 100}}, MinimalStub());
  const Buf second = HandArchive({{u"two.txt", Bytes("second"), 200}, {u"sub\\three.txt", Bytes("3"), 300}});
  const Buf third = HandArchive({{u"four.txt", Bytes("fourth"), 400}}, MinimalStub());
  file.insert(file.end(), second.begin(), second.end());
  file.insert(file.end(), third.begin(), third.end());
  Write(archive(), file);

  const auto archives = package::ListResArchives(archive());
  ASSERT_EQ(archives.size(), 3u);
  EXPECT_TRUE(archives[0].has_program_stub);
  EXPECT_FALSE(archives[1].has_program_stub);
  EXPECT_EQ(archives[1].start, archives[0].size);

  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 3);
  EXPECT_EQ(FilesBelow(dest()), (std::set<std::string>{"0/one.txt", "1/two.txt", "1/sub/three.txt", "2/four.txt"}));
  EXPECT_EQ(Read(out(u"2/four.txt")), Bytes("fourth"));

  // One index asked for: only that archive, straight into the folder.
  const std::u16string only = dir_.Join(u"only");
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), only.c_str(), 1), 3);
  EXPECT_EQ(FilesBelow(only), (std::set<std::string>{"two.txt", "sub/three.txt"}));
}

TEST_F(ResArchiveTest, DamagedEntriesArePassedOverAndTheOthersWritten) {
  Buf file = HandArchive({{u"bad.txt", Bytes("will be damaged"), 1},
                          {u"good.txt", Bytes("fine"), 2},
                          {u"bad-magic.txt", Bytes("x"), 3},
                          {u"bomb.txt", Bytes("tiny"), 4},
                          {u"last.txt", Bytes("last"), 5}});
  Write(archive(), file);
  const auto archives = package::ListResArchives(archive());
  ASSERT_EQ(archives.size(), 1u);
  file[16 + 30] ^= 0xFF;  // inside the first member: its block CRC no longer matches
  file[archives[0].entries[2].data_offset + 8] = 'X';  // "XaPx"
  // A huge claimed unpacked length must not drive the allocation.
  SetU32(file, archives[0].entries[3].data_offset + 16, 0xFFFFFFF0u);
  Write(archive(), file);
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  EXPECT_EQ(FilesBelow(dest()), (std::set<std::string>{"good.txt", "last.txt"}));
}

TEST_F(ResArchiveTest, NamesLeavingTheFolderAreRefusedAndNothingIsWrittenOutside) {
  std::vector<HandEntry> entries;
  for (const char16_t* name : {u"..\\escaped.txt", u"a\\..\\..\\escaped2.txt", u"\\rooted.txt", u"/rooted2.txt",
                               u"C:escaped3.txt", u"C:\\escaped4.txt", u"\\\\server\\share\\x.txt", u"./dot.txt", u"..",
                               u"ok\\inside.txt"}) {
    entries.push_back({name, Bytes("payload"), 5});
  }
  Write(archive(), HandArchive(entries));
  // The target lies two levels down so that "..\" and "..\..\" would land inside the scratch folder.
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dir_.Join(u"deep/dest").c_str(), -1), 1);
  EXPECT_EQ(FilesBelow(dir_.path()), (std::set<std::string>{"html.dat", "deep/dest/ok/inside.txt"}));
}

TEST_F(ResArchiveTest, FilesWithoutArchivesGiveZero) {
  const Buf good = HandArchive({{u"a.txt", Bytes("a"), 1}});
  const std::pair<const char*, Buf> cases[] = {
      {"ten bytes", Buf(10, 'k')},
      {"no magic", Buf(100, 'z')},
      {"damaged trailer magic", WithU32(good, good.size() - 16, 0)},
      {"trailer position past the end", WithU32(good, 4, static_cast<uint32_t>(good.size()))},
      {"directory larger than its room", WithU32(good, good.size() - 8, 1000)},
      {"stub without PE signature", WithByte(HandArchive({{u"a.txt", Bytes("a"), 1}}, MinimalStub()), 0x81, 'X')},
  };
  for (const auto& [what, bytes] : cases) {
    Write(archive(), bytes);
    EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 0) << what;
  }
  EXPECT_EQ(package::ExtractArchiveFile(dir_.Join(u"missing.dat").c_str(), dest().c_str(), -1), 0);
  EXPECT_FALSE(Exists(dest()));

  // Garbage after a good archive ends the count without spoiling the archive before it.
  Buf trailing = good;
  trailing.insert(trailing.end(), 40, 0x55);
  Write(archive(), trailing);
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  EXPECT_TRUE(Exists(out(u"a.txt")));
}

TEST_F(ResArchiveTest, WriterOutputMatchesTheHandMadeLayout) {
  const std::vector<package::ResArchiveWriter::Entry> entries = {
      {u"copy.htm", Bytes("<html/>"), 1234567890},
      {u"img\\b.bmp", Noise(3000, 9), 42},
      {u"empty", {}, 7},
  };
  Buf built;
  std::string error;
  ASSERT_TRUE(package::ResArchiveWriter::Build(entries, {}, &built, &error)) << error;

  // Byte for byte the layout the hand-made writer gives, with and without a program stub.
  std::vector<HandEntry> hand;
  for (const auto& e : entries) hand.push_back({e.name, e.data, e.modified});
  EXPECT_EQ(built, HandArchive(hand));

  ASSERT_TRUE(package::ResArchiveWriter::Build(entries, MinimalStub(), &built, &error)) << error;
  Buf expected = HandArchive(hand, MinimalStub());
  ASSERT_EQ(built.size(), expected.size());
  std::copy(built.begin() + 0x7C, built.begin() + 0x80, expected.begin() + 0x7C);  // unread word after T
  EXPECT_EQ(built, expected);
}

TEST(ResArchiveWriter, RefusesWhatTheReaderCouldNotTakeSafely) {
  Buf out;
  std::string error;
  const struct {
    const char* what;
    std::vector<package::ResArchiveWriter::Entry> entries;
    Buf stub;
  } cases[] = {
      {"no entries", {}, {}},
      {"parent component", {{u"..\\x", Bytes("x"), 0}}, {}},
      {"drive letter", {{u"C:\\x", Bytes("x"), 0}}, {}},
      {"empty name", {{u"", Bytes("x"), 0}}, {}},
      {"stub without MZ", {{u"x", Bytes("x"), 0}}, Buf(0x100, 0)},
      {"stub without PE signature", {{u"x", Bytes("x"), 0}}, WithByte(MinimalStub(), 0x80, 0)},
  };
  for (const auto& c : cases) {
    error.clear();
    EXPECT_FALSE(package::ResArchiveWriter::Build(c.entries, c.stub, &out, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

}  // namespace
