#include "package/res_archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "package/res_archive_install.h"
#include "package/res_archive_test_bytes.h"
#include "platform/file_times.h"
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
void Write(const std::u16string& path, const Buf& bytes) {
  testing_support::WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}
Buf Noise(size_t size, uint32_t seed) {
  Buf out(size);
  for (auto& b : out) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return out;
}

fs::path Native(const std::u16string& p) {
  std::u16string n = p;
#ifndef _WIN32
  for (auto& c : n) c = c == u'\\' ? u'/' : c;
#endif
  return fs::path(n);
}

// Every file below root, as a relative generic path.
std::set<std::string> FilesBelow(const std::u16string& root) {
  std::set<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(Native(root), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) files.insert(fs::relative(it->path(), Native(root)).generic_string());
  }
  return files;
}

int64_t ModifiedTime(const std::u16string& path) {
  int64_t modified = -1, accessed = -1;
  EXPECT_TRUE(platform::GetFileTimes(path, &modified, &accessed));
  return modified;
}

class ResArchiveTest : public testing::Test {
 protected:
  std::u16string archive() const { return dir_.Join(u"html.dat"); }
  std::u16string dest() const { return dir_.Join(u"out"); }
  std::u16string out(const std::u16string& name) const { return dir_.Join(u"out/" + name); }
  ScratchDir dir_;
};

TEST_F(ResArchiveTest, ExtractsHandMadeArchiveWithFoldersAndTimes) {
  Write(archive(), HandArchive({{u"copy.htm", Bytes("<html>hello</html>"), 1300000000},
                                {u"img\\logo.bmp", Noise(5000, 1), 1500000000},
                                {u"a\\b\\c.txt", Buf(20000, 'x'), 86400}}));
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  EXPECT_EQ(FilesBelow(dest()), (std::set<std::string>{"copy.htm", "img/logo.bmp", "a/b/c.txt"}));
  // Access time before any read of the content can move it.
  int64_t modified = 0, accessed = -1;
  ASSERT_TRUE(platform::GetFileTimes(out(u"copy.htm"), &modified, &accessed));
  EXPECT_EQ(accessed, 0);
  EXPECT_EQ(Read(out(u"copy.htm")), Bytes("<html>hello</html>"));
  EXPECT_EQ(Read(out(u"img/logo.bmp")), Noise(5000, 1));
  EXPECT_EQ(Read(out(u"a/b/c.txt")), Buf(20000, 'x'));
  EXPECT_EQ(ModifiedTime(out(u"copy.htm")), 1300000000);
  EXPECT_EQ(ModifiedTime(out(u"img/logo.bmp")), 1500000000);
  EXPECT_EQ(ModifiedTime(out(u"a/b/c.txt")), 86400);
}

TEST_F(ResArchiveTest, EmptyAndIncompressibleFilesExtract) {
  // Both have a member longer than their data, which a buffer of the data's length cannot take.
  Write(archive(), HandArchive({{u"empty.txt", {}, 10}, {u"stored.bin", Noise(300, 7), 20, 0}}));
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  ASSERT_TRUE(Exists(out(u"empty.txt")));
  EXPECT_TRUE(Read(out(u"empty.txt")).empty());
  EXPECT_EQ(Read(out(u"stored.bin")), Noise(300, 7));
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
  EXPECT_EQ(ModifiedTime(out(u"1/sub/three.txt")), 300);

  // One index asked for: only that archive, straight into the folder.
  const std::u16string only = dir_.Join(u"only");
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), only.c_str(), 1), 3);
  EXPECT_EQ(FilesBelow(only), (std::set<std::string>{"two.txt", "sub/three.txt"}));
}

TEST_F(ResArchiveTest, DamagedEntryIsPassedOverAndTheNextOneWritten) {
  Buf file = HandArchive({{u"bad.txt", Bytes("will be damaged"), 1},
                          {u"good.txt", Bytes("fine"), 2},
                          {u"bad-magic.txt", Bytes("x"), 3},
                          {u"last.txt", Bytes("last"), 4}});
  file[16 + 30] ^= 0xFF;  // inside the first member: its block CRC no longer matches
  const auto archives = [&] {
    Write(archive(), file);
    return package::ListResArchives(archive());
  }();
  ASSERT_EQ(archives.size(), 1u);
  file[archives[0].entries[2].data_offset + 8] = 'X';  // "XaPx"
  Write(archive(), file);
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  EXPECT_EQ(FilesBelow(dest()), (std::set<std::string>{"good.txt", "last.txt"}));
}

TEST_F(ResArchiveTest, NamesLeavingTheFolderAreRefusedAndNothingIsWrittenOutside) {
  const std::u16string names[] = {
      u"..\\escaped.txt", u"a\\..\\..\\escaped2.txt", u"\\rooted.txt", u"/rooted2.txt", u"C:escaped3.txt",
      u"C:\\escaped4.txt", u"\\\\server\\share\\x.txt", u"./dot.txt", u"..", u"ok\\inside.txt",
  };
  std::vector<HandEntry> entries;
  for (const auto& name : names) entries.push_back({name, Bytes("payload"), 5});
  // The archive lives one level down so that "..\" would land beside it in the scratch folder.
  const std::u16string deep = dir_.Join(u"deep");
  Write(archive(), HandArchive(entries));
  const std::u16string target = deep + u"/dest";
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), target.c_str(), -1), 1);
  EXPECT_EQ(FilesBelow(dir_.path()), (std::set<std::string>{"html.dat", "deep/dest/ok/inside.txt"}));
}

TEST_F(ResArchiveTest, HugeClaimedLengthDoesNotDriveTheAllocation) {
  Buf file = HandArchive({{u"bomb.txt", Bytes("tiny"), 1}, {u"after.txt", Bytes("after"), 2}});
  SetU32(file, 16 + 16, 0xFFFFFFF0u);  // the first block's unpacked length
  Write(archive(), file);
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  EXPECT_EQ(FilesBelow(dest()), (std::set<std::string>{"after.txt"}));
}

TEST_F(ResArchiveTest, FilesWithoutArchivesGiveZero) {
  const Buf good = HandArchive({{u"a.txt", Bytes("a"), 1}});
  Buf bad_trailer = good;
  bad_trailer[bad_trailer.size() - 16] = 'q';
  Buf trailer_past_end = good;
  SetU32(trailer_past_end, 4, static_cast<uint32_t>(good.size()));
  Buf directory_overlaps_trailer = good;
  SetU32(directory_overlaps_trailer, good.size() - 8, 1000);  // N
  Buf stub_without_pe = HandArchive({{u"a.txt", Bytes("a"), 1}}, MinimalStub());
  stub_without_pe[0x81] = 'X';
  const struct {
    const char* what;
    Buf bytes;
  } cases[] = {
      {"ten bytes", Buf(10, 'k')},
      {"no magic", Buf(100, 'z')},
      {"damaged trailer magic", bad_trailer},
      {"trailer position past the end", trailer_past_end},
      {"directory larger than its room", directory_overlaps_trailer},
      {"stub without PE signature", stub_without_pe},
  };
  for (const auto& c : cases) {
    Write(archive(), c.bytes);
    EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 0) << c.what;
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

TEST_F(ResArchiveTest, FlippedAndTruncatedBytesNeverEscapeOrCrash) {
  Buf good = HandArchive({{u"x\\a.txt", Bytes("alpha alpha alpha"), 1}, {u"b.txt", Noise(200, 3), 2}});
  const Buf stubbed = HandArchive({{u"c.txt", Bytes("gamma"), 3}}, MinimalStub());
  good.insert(good.end(), stubbed.begin(), stubbed.end());
  const std::u16string target = dir_.Join(u"deep/dest");
  for (size_t i = 0; i < good.size(); i += 3) {
    Buf damaged = good;
    damaged[i] ^= static_cast<uint8_t>(0x01 << (i % 8));
    Write(archive(), damaged);
    const int count = package::ExtractArchiveFile(archive().c_str(), target.c_str(), -1);
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 2);
  }
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    Write(archive(), Buf(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_LE(package::ExtractArchiveFile(archive().c_str(), target.c_str(), -1), 1);
  }
  for (const auto& file : FilesBelow(dir_.path())) {
    EXPECT_TRUE(file == "html.dat" || file.rfind("deep/dest/", 0) == 0) << file;
  }
}

TEST_F(ResArchiveTest, WriterOutputMatchesTheLayoutAndRoundTrips) {
  const std::vector<package::ResArchiveWriter::Entry> entries = {
      {u"copy.htm", Bytes("<html/>"), 1234567890},
      {u"img\\b.bmp", Noise(3000, 9), 42},
      {u"empty", {}, 7},
  };
  Buf built, again;
  std::string error;
  ASSERT_TRUE(package::ResArchiveWriter::Build(entries, {}, &built, &error)) << error;
  ASSERT_TRUE(package::ResArchiveWriter::Build(entries, {}, &again, &error));
  EXPECT_EQ(built, again);

  // The layout, read by hand: header, trailer, directory.
  auto u32 = [&](size_t at) { return static_cast<uint32_t>(built[at] | built[at + 1] << 8 | built[at + 2] << 16 | built[at + 3] << 24); };
  ASSERT_GE(built.size(), 32u);
  EXPECT_EQ(std::string(built.begin(), built.begin() + 4), "kApX");
  const uint32_t t = u32(4);
  EXPECT_EQ(u32(8), 3u);
  EXPECT_EQ(t + 16, built.size());
  EXPECT_EQ(std::string(built.begin() + t, built.begin() + t + 4), "kApX");
  const uint32_t d = u32(t + 4);
  EXPECT_EQ(u32(t + 8), 3u);
  EXPECT_EQ(u32(d), 16u);  // the first block follows the header
  EXPECT_EQ(built[d + 12], 8);  // L of "copy.htm"
  EXPECT_EQ(std::string(built.begin() + 16 + 8, built.begin() + 16 + 12), "KaPx");
  EXPECT_EQ(u32(16 + 20), 1234567890u);
  EXPECT_EQ(t - d, 3 * 16 + 2 * (8 + 9 + 5));

  Write(archive(), built);
  EXPECT_EQ(package::ExtractArchiveFile(archive().c_str(), dest().c_str(), -1), 1);
  EXPECT_EQ(Read(out(u"img/b.bmp")), Noise(3000, 9));
  EXPECT_TRUE(Read(out(u"empty")).empty());
  EXPECT_EQ(ModifiedTime(out(u"copy.htm")), 1234567890);

  // With a stub: T sits before the PE signature; the archive opens as a stubbed one.
  ASSERT_TRUE(package::ResArchiveWriter::Build(entries, MinimalStub(), &built, &error)) << error;
  EXPECT_EQ(u32(0x78) + 16, built.size());
  Write(archive(), built);
  const auto archives = package::ListResArchives(archive());
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_TRUE(archives[0].has_program_stub);
  EXPECT_EQ(archives[0].entries.size(), 3u);
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
      {"stub without PE signature", {{u"x", Bytes("x"), 0}}, [] {
         Buf s = MinimalStub();
         s[0x80] = 0;
         return s;
       }()},
  };
  for (const auto& c : cases) {
    error.clear();
    EXPECT_FALSE(package::ResArchiveWriter::Build(c.entries, c.stub, &out, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

TEST(UnzipResFiles, UnpacksOnlyTheArchivesTheRunInstalled) {
  ScratchDir dir;
  const std::u16string install = dir.path() + u"/";
  std::filesystem::create_directories(Native(dir.Join(u"ProgData")));
  const auto write = [&](const std::u16string& name, const Buf& bytes) { Write(dir.Join(u"ProgData/" + name), bytes); };
  write(u"html.dat", HandArchive({{u"copy.htm", Bytes("<html>"), 11}}));
  write(u"DrawData.dat", HandArchive({{u"bg.bmp", Bytes("BM"), 12}}));
  write(u"uninstall.dat", HandArchive({{u"u.txt", Bytes("u"), 13}}));

  engine::FileEntryList files(2);
  files[0].file_name = u"HTML.DAT";  // any letter case, any compose
  files[1].file_name = u"main.exe";
  package::UnzipResFiles(files, install);
  EXPECT_EQ(Read(dir.Join(u"html/copy.htm")), Bytes("<html>"));
  EXPECT_FALSE(Exists(dir.Join(u"DrawData")));
  EXPECT_FALSE(Exists(dir.Join(u"uninstall")));

  files[1].file_name = u"uninstall.dat";
  package::UnzipResFiles(files, install);
  EXPECT_EQ(Read(dir.Join(u"uninstall/u.txt")), Bytes("u"));
  EXPECT_FALSE(Exists(dir.Join(u"DrawData")));
}

}  // namespace
