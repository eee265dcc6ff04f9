// The package container, against containers laid out byte by byte in the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/strings.h"
#include "package/deed_box.h"
#include "package/packed_file.h"
#include "platform/system.h"
#include "support/scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void PutU32(Bytes* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutField(Bytes* out, const std::u16string& text, size_t units) {
  for (size_t i = 0; i < units; ++i) {
    const char16_t c = i < text.size() ? text[i] : 0;
    out->push_back(static_cast<uint8_t>(c));
    out->push_back(static_cast<uint8_t>(c >> 8));
  }
}

// Containers written out by hand: 1172-byte header, then 140-byte record headers and data.
struct Layout {
  std::u16string products = u"NorvClient";
  std::u16string composes = u"Core,Skin";
  uint32_t kind = 0;
  uint8_t version = 1;
  std::vector<std::pair<std::u16string, Bytes>> records;

  Bytes Header() const {
    Bytes b = {'C', 'V', 'A', 'S', version, 0};
    PutField(&b, products, 64);
    PutField(&b, composes, 513);
    PutU32(&b, kind);
    PutU32(&b, 0);
    PutU32(&b, 0);
    return b;
  }
  Bytes Build() const {
    Bytes b = Header();
    for (const auto& r : records) {
      b.insert(b.end(), {'I', 'C', 'M', 'D'});
      PutU32(&b, static_cast<uint32_t>(r.second.size()));
      PutU32(&b, static_cast<uint32_t>(b.size() - 8 + 140));
      PutField(&b, r.first, 64);
      b.insert(b.end(), r.second.begin(), r.second.end());
    }
    return b;
  }
};

std::u16string Native(std::u16string path) {
#ifndef _WIN32
  std::replace(path.begin(), path.end(), u'\\', u'/');
#endif
  return path;
}

// Every file below a folder, as relative paths with "/".
std::set<std::string> FilesBelow(const std::u16string& folder) {
  std::set<std::string> files;
  const std::filesystem::path root(Native(folder));
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file()) files.insert(std::filesystem::relative(it->path(), root).generic_string());
  }
  return files;
}

class DeedBoxTest : public testing::Test {
 protected:
  package::DeedBoxPtr OpenBytes(const Bytes& bytes) {
    testing_support::WriteBytes(container_, bytes);
    package::DeedBoxPtr box(package::CreateDeedBox());
    opened_ = box->Open(container_.c_str());
    return box;
  }
  std::u16string Out(const std::u16string& name) const { return dir_.Join(u"out\\" + name); }

  ScratchDir dir_;
  std::u16string container_ = dir_.Join(u"package.dat");
  bool opened_ = false;
};

TEST_F(DeedBoxTest, EmptyContainerOpensAndHoldsNothing) {
  Layout layout;
  layout.kind = 3;
  layout.composes = u"http://127.0.0.1/package.dat";
  auto box = OpenBytes(layout.Build());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(box->GetProductList(), u"NorvClient");
  EXPECT_EQ(box->GetComposeList(), u"http://127.0.0.1/package.dat");
  EXPECT_EQ(box->GetKind(), 3u);
  EXPECT_FALSE(box->ExtractRecord(u"FIX_NorvClient_1", Out(u"a").c_str()));
  EXPECT_TRUE(box->ExtractGroup(u"SetupSkinPart1", Out(u"skin").c_str()));
  EXPECT_FALSE(testing_support::Exists(dir_.Join(u"out")));
}

TEST_F(DeedBoxTest, LooksUpRecordsByEveryNameForm) {
  Layout layout;
  layout.records = {
      {u"FIX_NorvClient_0", Text("product 0")},
      {u"fix_norvclient_1", Text("product 1")},
      {u"CNI-Core", Text("compose description")},
      {u"COM-Core_src_bin_Norv.exe", Text("program")},
      {u"COM-Core___readme.txt", Text("readme")},
      {u"PCH-Core_1_2_Norv.exe", Text("patch")},
      {u"DUP", Text("first")},
      {u"dup", Text("second")},
  };
  auto box = OpenBytes(layout.Build());
  ASSERT_TRUE(opened_);
  struct Case {
    bool ok;
    const char* expected;
    std::u16string out;
  } cases[] = {
      {box->ExtractFix(1, u"NORVCLIENT", Out(u"fix1").c_str()), "product 1", Out(u"fix1")},
      {box->ExtractFix(0, u"NorvClient", Out(u"fix0").c_str()), "product 0", Out(u"fix0")},
      {box->ExtractComposeIni(u"Core.dll", Out(u"core.ini").c_str()), "compose description", Out(u"core.ini")},
      {box->ExtractComposeFile(u"core", u"src", u"bin", u"norv.exe", Out(u"norv.exe").c_str()), "program",
       Out(u"norv.exe")},
      {box->ExtractComposeFile(u"Core", u"", u"", u"readme.txt", Out(u"readme.txt").c_str()), "readme",
       Out(u"readme.txt")},
      {box->ExtractPatch(u"Core", u"1", u"2", u"Norv.exe", Out(u"patch").c_str()), "patch", Out(u"patch")},
      {box->ExtractRecord(u"Dup", Out(u"dup").c_str()), "first", Out(u"dup")},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.ok) << c.expected;
    EXPECT_EQ(ReadBytes(c.out), Text(c.expected));
  }
  EXPECT_FALSE(box->ExtractFix(2, u"NorvClient", Out(u"fix2").c_str()));
  EXPECT_FALSE(box->ExtractComposeFile(u"Core", nullptr, u"", u"readme.txt", Out(u"x").c_str()));
  EXPECT_FALSE(box->ExtractRecord(nullptr, Out(u"x").c_str()));
  EXPECT_FALSE(testing_support::Exists(Out(u"fix2")));
  // Closing keeps the header but ends extraction.
  EXPECT_TRUE(box->Close());
  EXPECT_EQ(box->GetProductList(), u"NorvClient");
  EXPECT_FALSE(box->ExtractFix(1, u"NorvClient", Out(u"after-close").c_str()));
}

TEST_F(DeedBoxTest, OpenRefusesDamagedHeadersAndIndexes) {
  Layout good;
  good.records = {{u"A", Text("aaaa")}, {u"B", Text("bbbb")}};
  const Bytes bytes = good.Build();
  Bytes version2 = bytes;
  version2[4] = 2;
  Bytes bad_magic = bytes;
  bad_magic[0] = 'X';
  Bytes second_record_damaged = bytes;
  second_record_damaged[1172 + 140 + 4 + 1] = 'X';
  Bytes short_record_header = bytes;
  short_record_header.resize(bytes.size() + 100, 0);
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"version 2", version2},
      {"1171 bytes", Bytes(bytes.begin(), bytes.begin() + 1171)},
      {"magic", bad_magic},
      {"second record magic", second_record_damaged},
      {"short record header at the end", short_record_header},
  };
  for (const auto& c : cases) {
    auto box = OpenBytes(c.file);
    EXPECT_FALSE(opened_) << c.name;
    EXPECT_FALSE(box->ExtractRecord(u"A", Out(u"a").c_str())) << c.name;
  }
  package::DeedBoxPtr box(package::CreateDeedBox());
  EXPECT_FALSE(box->Open(dir_.Join(u"missing.dat").c_str()));
  EXPECT_FALSE(box->Open(nullptr));
}

TEST_F(DeedBoxTest, ContainerCutInsideTheLastRecordOpensButThatRecordFails) {
  Layout layout;
  layout.records = {{u"A", Text("complete")}, {u"B", Bytes(30000, 'b')}};
  Bytes bytes = layout.Build();
  bytes.resize(bytes.size() - 1);
  auto box = OpenBytes(bytes);
  ASSERT_TRUE(opened_);
  EXPECT_FALSE(box->ExtractRecord(u"B", Out(u"b").c_str()));
  EXPECT_FALSE(testing_support::Exists(Out(u"b")));
  EXPECT_TRUE(box->ExtractRecord(u"A", Out(u"a").c_str()));
  EXPECT_EQ(ReadBytes(Out(u"a")), Text("complete"));
}

TEST_F(DeedBoxTest, ExtractGroupPlacesFilesAndFolders) {
  Layout layout;
  layout.records = {
      {u"DIR-SetupSkinPart1|norvframe.ini", Text("frame")},
      {u"DIR-SetupSkinPart2|late.bmp", Text("other group")},
      {u"dir-setupskinpart1|images\\welcome\\bg.bmp", Text("bitmap")},
      {u"FIX_NorvClient_1", Text("product")},
  };
  auto box = OpenBytes(layout.Build());
  ASSERT_TRUE(opened_);
  const std::u16string skin = dir_.Join(u"Style\\");
  EXPECT_TRUE(box->ExtractGroup(u"SetupSkinPart1", skin.c_str()));
  EXPECT_EQ(FilesBelow(skin), (std::set<std::string>{"images/welcome/bg.bmp", "norvframe.ini"}));
  EXPECT_EQ(ReadBytes(skin + Native(u"images\\welcome\\bg.bmp")), Text("bitmap"));
  EXPECT_EQ(ReadBytes(skin + u"norvframe.ini"), Text("frame"));
}

TEST_F(DeedBoxTest, GroupNamesThatLeaveTheFolderAreRefusedAndTheRestExtracted) {
  Layout layout;
  layout.records = {
      {u"DIR-G|first.txt", Text("1")},
      {u"DIR-G|..\\escape1.txt", Text("x")},
      {u"DIR-G|sub\\..\\..\\escape2.txt", Text("x")},
      {u"DIR-G|\\escape3.txt", Text("x")},
      {u"DIR-G|/escape4.txt", Text("x")},
      {u"DIR-G|C:\\escape5.txt", Text("x")},
      {u"DIR-G|C:escape6.txt", Text("x")},
      {u"DIR-G|\\\\server\\share\\escape7.txt", Text("x")},
      {u"DIR-G|..", Text("x")},
      {u"DIR-G|sub\\.. \\.. \\escape8.txt", Text("x")},
      {u"DIR-G|... \\escape9.txt", Text("x")},
      {u"DIR-G|", Text("x")},
      {u"DIR-G", Text("x")},
      {u"DIR-G|sub\\last.txt", Text("2")},
  };
  auto box = OpenBytes(layout.Build());
  ASSERT_TRUE(opened_);
  const std::u16string target = dir_.Join(u"deep\\target");
  EXPECT_FALSE(box->ExtractGroup(u"G", target.c_str()));
  EXPECT_EQ(FilesBelow(target), (std::set<std::string>{"first.txt", "sub/last.txt"}));
  // Nothing anywhere else in the scratch folder but the container and the two good files.
  EXPECT_EQ(FilesBelow(dir_.path()),
            (std::set<std::string>{"package.dat", "deep/target/first.txt", "deep/target/sub/last.txt"}));
}

TEST_F(DeedBoxTest, WriterLaysOutTheSameBytesAsTheHandMadeContainer) {
  const std::u16string sources = dir_.Join(u"src");
  testing_support::WriteText(dir_.Join(u"product.out"), "product");
  testing_support::WriteText(dir_.Join(u"core.out"), "compose");
  testing_support::WriteText(dir_.Join(u"norv.exe"), std::string(25000, 'n'));
  std::filesystem::create_directories(std::filesystem::path(Native(sources + u"\\b\\c")));
  testing_support::WriteText(sources + Native(u"\\b\\c\\deep.txt"), "deep");
  testing_support::WriteText(sources + Native(u"\\B.txt"), "upper");
  testing_support::WriteText(sources + Native(u"\\a.txt"), "lower");
  testing_support::WriteText(sources + Native(u"\\empty.txt"), "");

  package::DeedBoxPtr box(package::CreateDeedBox());
  ASSERT_TRUE(box->Create(u"NorvClient", container_.c_str(), u"Core,Skin", 0));
  ASSERT_TRUE(box->AddFix(1, u"NorvClient", dir_.Join(u"product.out").c_str()));
  ASSERT_TRUE(box->AddComposeIni(u"Core.dll", dir_.Join(u"core.out").c_str()));
  ASSERT_TRUE(box->AddComposeFile(u"Core", u"", u"bin", u"norv.exe", dir_.Join(u"norv.exe").c_str()));
  ASSERT_TRUE(box->AddPatch(u"Core", u"1", u"2", u"norv.exe", dir_.Join(u"norv.exe").c_str()));
  ASSERT_TRUE(box->AddGroup(u"SetupSkinPart1", sources.c_str()));
  // The records just written are readable from the same object.
  EXPECT_TRUE(box->ExtractComposeIni(u"Core", Out(u"core.ini").c_str()));
  EXPECT_EQ(ReadBytes(Out(u"core.ini")), Text("compose"));
  box->Close();

  Layout expected;
  expected.records = {
      {u"FIX_NorvClient_1", Text("product")},
      {u"CNI-Core", Text("compose")},
      {u"COM-Core__bin_norv.exe", Bytes(25000, 'n')},
      {u"PCH-Core_1_2_norv.exe", Bytes(25000, 'n')},
      {u"DIR-SetupSkinPart1|a.txt", Text("lower")},
      {u"DIR-SetupSkinPart1|b\\c\\deep.txt", Text("deep")},
      {u"DIR-SetupSkinPart1|B.txt", Text("upper")},
      {u"DIR-SetupSkinPart1|empty.txt", Text("")},
  };
  EXPECT_EQ(ReadBytes(container_), expected.Build());
}

TEST_F(DeedBoxTest, WriterLimitsAndFailures) {
  const std::u16string source = dir_.Join(u"f.txt");
  testing_support::WriteText(source, "data");
  package::DeedBoxPtr box(package::CreateDeedBox());
  EXPECT_TRUE(box->Create(nullptr, container_.c_str(), std::u16string(511, u'c').c_str(), 1));
  EXPECT_EQ(ReadBytes(container_).size(), 1172u);
  EXPECT_TRUE(box->AddFile(std::u16string(63, u'n').c_str(), source.c_str()));
  EXPECT_FALSE(box->AddFile(std::u16string(64, u'n').c_str(), source.c_str()));
  EXPECT_FALSE(box->AddFile(u"missing", dir_.Join(u"missing.txt").c_str()));
  EXPECT_FALSE(box->AddComposeFile(u"Core", u"", nullptr, u"f.txt", source.c_str()));
  box->Close();
  EXPECT_EQ(ReadBytes(container_).size(), 1172u + 140 + 4);

  EXPECT_FALSE(box->Create(nullptr, container_.c_str(), std::u16string(512, u'c').c_str(), 1));
  EXPECT_FALSE(box->Create(nullptr, nullptr, u"", 1));
  EXPECT_FALSE(box->Create(nullptr, container_.c_str(), nullptr, 1));
  EXPECT_TRUE(box->Create(std::u16string(63, u'p').c_str(), container_.c_str(), u"", 1));
  // A product list that does not fit leaves an empty file behind.
  EXPECT_FALSE(box->Create(std::u16string(64, u'p').c_str(), container_.c_str(), u"", 1));
  EXPECT_TRUE(testing_support::Exists(container_));
  EXPECT_TRUE(ReadBytes(container_).empty());

  // Create makes the container's folders; a container opened for reading takes no records.
  const std::u16string nested = dir_.Join(u"a\\b\\box.dat");
  EXPECT_TRUE(box->Create(u"", nested.c_str(), u"", 0));
  box->Close();
  ASSERT_TRUE(box->Open(nested.c_str()));
  EXPECT_FALSE(box->AddFile(u"late", source.c_str()));
}

TEST_F(DeedBoxTest, CreateLogsAnOverlongComposeList) {
  const std::u16string log = platform::WindowsDirectory() + Native(u"\\NorvLog\\");
  // The log is named after the test program; find it by what gets written.
  package::DeedBoxPtr box(package::CreateDeedBox());
  const std::u16string list = u"marker" + base::NumberToUtf16(std::random_device{}()) + std::u16string(506, u'c');
  EXPECT_FALSE(box->Create(nullptr, container_.c_str(), list.c_str(), 0));
  bool found = false;
  for (const auto& file : FilesBelow(log)) {
    const Bytes text = ReadBytes(log + base::Utf8ToUtf16(file));
    const std::string wanted =
        "error, Input compose list length is too big ,complise list=" + base::Utf16ToUtf8(list);
    found = found || std::search(text.begin(), text.end(), wanted.begin(), wanted.end()) != text.end();
  }
  EXPECT_TRUE(found);
}

TEST_F(DeedBoxTest, ExtractComposeUnpacksPackedFilesThroughTheLister) {
  const Bytes program = Text("the program, packed");
  Bytes packed;
  ASSERT_TRUE(package::PackBytes(program.data(), program.size(), &packed));
  Layout layout;
  layout.records = {
      {u"CNI-Core", Text("[Version]")},
      {u"COM-Core_src_bin_norv.exe", packed},
      {u"COM-Core___readme.txt", Text("plain")},
  };
  testing_support::WriteBytes(container_, layout.Build());
  std::u16string seen_description;
  auto lister = [&](const std::u16string& path, std::vector<package::ComposeFileRef>* files) {
    seen_description = path;
    EXPECT_EQ(ReadBytes(path), Text("[Version]"));
    *files = {{u"norv.exe", u"src", u"bin", 1}, {u"readme.txt", u"", u"", 0}};
    return true;
  };
  package::DeedBoxPtr box(package::CreateDeedBox(lister));
  ASSERT_TRUE(box->Open(container_.c_str()));
  const std::u16string target = dir_.Join(u"compose");
  EXPECT_TRUE(box->ExtractCompose(u"Core", target.c_str()));
  EXPECT_EQ(FilesBelow(target), (std::set<std::string>{"bin/norv.exe", "readme.txt"}));
  EXPECT_EQ(ReadBytes(target + Native(u"\\bin\\norv.exe")), program);
  EXPECT_FALSE(seen_description.empty());
  EXPECT_FALSE(testing_support::Exists(seen_description));

  // A description that points outside the folder stops the extraction; without a lister it fails.
  package::DeedBoxPtr hostile(package::CreateDeedBox([](const std::u16string&, std::vector<package::ComposeFileRef>* files) {
    *files = {{u"readme.txt", u"", u"..\\..", 0}};
    return true;
  }));
  ASSERT_TRUE(hostile->Open(container_.c_str()));
  EXPECT_FALSE(hostile->ExtractCompose(u"Core", dir_.Join(u"c2\\x").c_str()));
  EXPECT_FALSE(testing_support::Exists(dir_.Join(u"readme.txt")));
  package::DeedBoxPtr no_lister(package::CreateDeedBox());
  ASSERT_TRUE(no_lister->Open(container_.c_str()));
  EXPECT_FALSE(no_lister->ExtractCompose(u"Core", dir_.Join(u"c3").c_str()));
}

TEST_F(DeedBoxTest, DescriptionsFromFileAndMemoryAgree) {
  Layout layout;
  layout.records = {{u"A", Text("aaaa")}, {u"B", Bytes(5000, 'b')}};
  Bytes bytes = layout.Build();
  bytes.resize(bytes.size() - 10);
  testing_support::WriteBytes(container_, bytes);
  package::DeedBoxSummary from_file, from_memory;
  ASSERT_TRUE(package::DescribeDeedBox(container_, &from_file));
  ASSERT_TRUE(package::DescribeDeedBoxBytes(bytes.data(), bytes.size(), &from_memory));
  for (const auto* s : {&from_file, &from_memory}) {
    EXPECT_EQ(s->header.product_list, u"NorvClient");
    ASSERT_EQ(s->records.size(), 2u);
    EXPECT_EQ(s->records[1].name, u"B");
    EXPECT_EQ(s->records[1].length, 5000u);
    EXPECT_EQ(s->records[1].data_offset, 1172u + 140 + 4 + 140);
    EXPECT_EQ(s->record_complete, (std::vector<bool>{true, false}));
    EXPECT_EQ(s->size, bytes.size());
  }
  bytes[1172] = 'X';
  EXPECT_FALSE(package::DescribeDeedBoxBytes(bytes.data(), bytes.size(), &from_memory));
}

TEST_F(DeedBoxTest, FlippedBytesNeverCrashOrWriteOutsideTheFolder) {
  Layout layout;
  layout.kind = 3;
  layout.records = {
      {u"DIR-G|a.txt", Text("alpha")},
      {u"DIR-G|sub\\b.txt", Bytes(3000, 'b')},
      {u"FIX_P_1", Text("fix")},
  };
  const Bytes good = layout.Build();
  std::mt19937 rng(5);
  const std::u16string sandbox = dir_.Join(u"sandbox");
  for (int round = 0; round < 400; ++round) {
    Bytes damaged = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; ++i) {
      // Mostly the headers, where the structure lives.
      const size_t at = rng() % 2 ? 1172 + rng() % 600 : rng() % damaged.size();
      damaged[std::min(at, damaged.size() - 1)] = static_cast<uint8_t>(rng());
    }
    if (rng() % 5 == 0) damaged.resize(rng() % damaged.size());
    auto box = OpenBytes(damaged);
    if (!opened_) continue;
    box->ExtractGroup(u"G", sandbox.c_str());
    box->ExtractFix(1, u"P", (sandbox + Native(u"\\fix.out")).c_str());
  }
  for (const auto& file : FilesBelow(dir_.path())) {
    EXPECT_TRUE(file == "package.dat" || file.rfind("sandbox/", 0) == 0) << file;
  }
}

}  // namespace
