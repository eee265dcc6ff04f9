// The package container, against containers laid out byte by byte in the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/strings.h"
#include "package/deed_box.h"
#include "package/package_test_files.h"
#include "package/packed_file.h"
#include "package/payload_test_bytes.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"

namespace {

using namespace package_test;
using payload_test::Bytes;
using payload_test::WithByte;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using Records = std::vector<std::pair<std::u16string, Buf>>;

// A container written out by hand, with the product list "NorvClient".
Buf Layout(const Records& records, uint32_t kind = 0, const std::u16string& composes = u"Core,Skin") {
  return payload_test::Container(composes, kind, records, u"NorvClient");
}

class DeedBoxTest : public testing::Test {
 protected:
  package::DeedBoxPtr OpenBytes(const Buf& bytes) {
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

TEST_F(DeedBoxTest, LooksUpRecordsByEveryNameForm) {
  const Buf layout = Layout({
      {u"FIX_NorvClient_0", Bytes("product 0")},
      {u"fix_norvclient_1", Bytes("product 1")},
      {u"CNI-Core", Bytes("compose description")},
      {u"COM-Core_src_bin_Norv.exe", Bytes("program")},
      {u"COM-Core___readme.txt", Bytes("readme")},
      {u"PCH-Core_1_2_Norv.exe", Bytes("patch")},
      {u"DUP", Bytes("first")},
      {u"dup", Bytes("second")},
  }, 3, u"http://127.0.0.1/package.dat");
  auto box = OpenBytes(layout);
  ASSERT_TRUE(opened_);
  EXPECT_EQ(box->GetProductList(), u"NorvClient");
  EXPECT_EQ(box->GetComposeList(), u"http://127.0.0.1/package.dat");
  EXPECT_EQ(box->GetKind(), 3u);
  // Each lookup writes the record it finds over the same file; "failed" when it finds none.
  const std::u16string out = Out(u"record");
  const auto got = [&](bool ok) { return ok ? ReadText(out) : std::string("failed"); };
  EXPECT_EQ(got(box->ExtractFix(1, u"NORVCLIENT", out.c_str())), "product 1");
  EXPECT_EQ(got(box->ExtractFix(0, u"NorvClient", out.c_str())), "product 0");
  EXPECT_EQ(got(box->ExtractComposeIni(u"Core.dll", out.c_str())), "compose description");
  EXPECT_EQ(got(box->ExtractComposeFile(u"core", u"src", u"bin", u"norv.exe", out.c_str())), "program");
  EXPECT_EQ(got(box->ExtractComposeFile(u"Core", u"", u"", u"readme.txt", out.c_str())), "readme");
  EXPECT_EQ(got(box->ExtractPatch(u"Core", u"1", u"2", u"Norv.exe", out.c_str())), "patch");
  EXPECT_EQ(got(box->ExtractRecord(u"Dup", out.c_str())), "first");
  EXPECT_FALSE(box->ExtractFix(2, u"NorvClient", Out(u"fix2").c_str()));
  EXPECT_FALSE(testing_support::Exists(Out(u"fix2")));
  EXPECT_TRUE(box->ExtractGroup(u"SetupSkinPart1", Out(u"skin").c_str()));  // an empty group is no failure
  EXPECT_FALSE(testing_support::Exists(Out(u"skin")));
  // Closing keeps the header but ends extraction.
  EXPECT_TRUE(box->Close());
  EXPECT_EQ(box->GetProductList(), u"NorvClient");
  EXPECT_FALSE(box->ExtractFix(1, u"NorvClient", Out(u"after-close").c_str()));
}

TEST_F(DeedBoxTest, OpenRefusesDamagedHeadersAndIndexes) {
  const Buf bytes = Layout({{u"A", Bytes("aaaa")}, {u"B", Bytes("bbbb")}});
  Buf short_record_header = bytes;
  short_record_header.resize(bytes.size() + 100, 0);
  const std::pair<const char*, Buf> cases[] = {
      {"version 2", WithByte(bytes, 4, 2)},
      {"1171 bytes", Buf(bytes.begin(), bytes.begin() + 1171)},
      {"magic", WithByte(bytes, 0, 'X')},
      {"second record magic", WithByte(bytes, 1172 + 140 + 4 + 1, 'X')},
      // Extraction seeks to the offset field: it would copy the container's header as the data.
      {"first record's data offset inside the header", WithByte(bytes, 1172 + 8 + 1, 0)},
      {"short record header at the end", short_record_header},
  };
  for (const auto& [name, file] : cases) {
    auto box = OpenBytes(file);
    EXPECT_FALSE(opened_) << name;
    EXPECT_FALSE(box->ExtractRecord(u"A", Out(u"a").c_str())) << name;
  }
  package::DeedBoxPtr box(package::CreateDeedBox());
  EXPECT_FALSE(box->Open(dir_.Join(u"missing.dat").c_str()));
  EXPECT_FALSE(box->Open(nullptr));
}

TEST_F(DeedBoxTest, ContainerCutInsideTheLastRecordOpensButThatRecordFails) {
  Buf bytes = Layout({{u"A", Bytes("complete")}, {u"B", Buf(5000, 'b')}});
  bytes.resize(bytes.size() - 10);
  auto box = OpenBytes(bytes);
  ASSERT_TRUE(opened_);
  EXPECT_FALSE(box->ExtractRecord(u"B", Out(u"b").c_str()));
  EXPECT_FALSE(testing_support::Exists(Out(u"b")));
  EXPECT_TRUE(box->ExtractRecord(u"A", Out(u"a").c_str()));
  EXPECT_EQ(ReadBytes(Out(u"a")), Bytes("complete"));

  // The summaries from the file and from memory agree.
  package::DeedBoxSummary from_file, from_memory;
  ASSERT_TRUE(package::DescribeDeedBox(container_, &from_file));
  ASSERT_TRUE(package::DescribeDeedBoxBytes(bytes.data(), bytes.size(), &from_memory));
  for (const auto* summary : {&from_file, &from_memory}) {
    EXPECT_EQ(summary->header.product_list, u"NorvClient");
    ASSERT_EQ(summary->records.size(), 2u);
    EXPECT_EQ(summary->records[1].name, u"B");
    EXPECT_EQ(summary->records[1].length, 5000u);
    EXPECT_EQ(summary->records[1].data_offset, 1172u + 140 + 8 + 140);
    EXPECT_EQ(summary->record_complete, (std::vector<bool>{true, false}));
    EXPECT_EQ(summary->size, bytes.size());
  }
  bytes[1172] = 'X';
  EXPECT_FALSE(package::DescribeDeedBoxBytes(bytes.data(), bytes.size(), &from_memory));
}

TEST_F(DeedBoxTest, ExtractGroupRefusesNamesThatLeaveTheFolderAndPlacesTheRest) {
  Records records = {{u"DIR-G|first.txt", Bytes("1")}};
  for (const char16_t* name : {u"..\\escape1.txt", u"sub\\..\\..\\escape2.txt", u"\\escape3.txt", u"/escape4.txt",
                               u"C:\\escape5.txt", u"C:escape6.txt", u"\\\\server\\share\\escape7.txt", u"..",
                               u"sub\\.. \\.. \\escape8.txt", u"... \\escape9.txt", u"", u"folder\\"}) {
    records.push_back({u"DIR-G|" + std::u16string(name), Bytes("x")});
  }
  records.insert(records.end(), {{u"DIR-G", Bytes("x")},
                                 {u"DIR-G|sub\\last.txt", Bytes("2")},
                                 {u"dir-g|images\\welcome\\bg.bmp", Bytes("bitmap")},  // any letter case
                                 {u"DIR-H|other-group.bmp", Bytes("other group")},
                                 {u"FIX_NorvClient_1", Bytes("product")}});
  auto box = OpenBytes(Layout(records));
  ASSERT_TRUE(opened_);
  const std::u16string target = dir_.Join(u"deep\\target");
  EXPECT_FALSE(box->ExtractGroup(u"G", target.c_str()));
  EXPECT_EQ(ReadBytes(target + u"\\images\\welcome\\bg.bmp"), Bytes("bitmap"));
  EXPECT_FALSE(testing_support::Exists(target + u"\\folder"));
  // Nothing anywhere in the scratch folder but the container and the good files.
  EXPECT_EQ(FilesBelow(dir_.path()),
            (std::set<std::string>{"package.dat", "deep/target/first.txt", "deep/target/sub/last.txt",
                                   "deep/target/images/welcome/bg.bmp"}));
}

TEST_F(DeedBoxTest, WriterLaysOutTheSameBytesAsTheHandMadeContainer) {
  const std::u16string sources = dir_.Join(u"src");
  testing_support::WriteText(dir_.Join(u"product.out"), "product");
  testing_support::WriteText(dir_.Join(u"core.out"), "compose");
  testing_support::WriteText(dir_.Join(u"norv.exe"), std::string(25000, 'n'));
  std::filesystem::create_directories(Native(sources + u"\\b\\c"));
  testing_support::WriteText(sources + u"\\b\\c\\deep.txt", "deep");
  testing_support::WriteText(sources + u"\\B.txt", "upper");
  testing_support::WriteText(sources + u"\\a.txt", "lower");
  testing_support::WriteText(sources + u"\\empty.txt", "");

  package::DeedBoxPtr box(package::CreateDeedBox());
  ASSERT_TRUE(box->Create(u"NorvClient", container_.c_str(), u"Core,Skin", 0));
  ASSERT_TRUE(box->AddFix(1, u"NorvClient", dir_.Join(u"product.out").c_str()));
  ASSERT_TRUE(box->AddComposeIni(u"Core.dll", dir_.Join(u"core.out").c_str()));
  ASSERT_TRUE(box->AddComposeFile(u"Core", u"", u"bin", u"norv.exe", dir_.Join(u"norv.exe").c_str()));
  ASSERT_TRUE(box->AddPatch(u"Core", u"1", u"2", u"norv.exe", dir_.Join(u"norv.exe").c_str()));
  ASSERT_TRUE(box->AddGroup(u"SetupSkinPart1", sources.c_str()));
  // The records just written are readable from the same object.
  EXPECT_TRUE(box->ExtractComposeIni(u"Core", Out(u"core.ini").c_str()));
  EXPECT_EQ(ReadBytes(Out(u"core.ini")), Bytes("compose"));
  box->Close();

  const Buf expected = Layout({
      {u"FIX_NorvClient_1", Bytes("product")},
      {u"CNI-Core", Bytes("compose")},
      {u"COM-Core__bin_norv.exe", Buf(25000, 'n')},
      {u"PCH-Core_1_2_norv.exe", Buf(25000, 'n')},
      {u"DIR-SetupSkinPart1|a.txt", Bytes("lower")},  // whole relative paths in name order
      {u"DIR-SetupSkinPart1|B.txt", Bytes("upper")},
      {u"DIR-SetupSkinPart1|b\\c\\deep.txt", Bytes("deep")},
      {u"DIR-SetupSkinPart1|empty.txt", Bytes("")},
  });
  EXPECT_EQ(ReadBytes(container_), expected);
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

  const testing_support::LogTail log;
  const std::u16string overlong(512, u'c');
  EXPECT_FALSE(box->Create(nullptr, container_.c_str(), overlong.c_str(), 1));
  EXPECT_NE(log.Text().find("Input compose list length is too big ,complise list=" + base::Utf16ToUtf8(overlong)),
            std::string::npos);
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

TEST_F(DeedBoxTest, ExtractComposeUnpacksPackedFilesThroughTheLister) {
  const Buf program = Bytes("the program, packed");
  Buf packed;
  ASSERT_TRUE(package::PackBytes(program.data(), program.size(), &packed));
  const Buf layout = Layout({
      {u"CNI-Core", Bytes("[Version]")},
      {u"COM-Core_src_bin_norv.exe", packed},
      {u"COM-Core___readme.txt", Bytes("plain")},
  });
  testing_support::WriteBytes(container_, layout);
  std::u16string seen_description;
  auto lister = [&](const std::u16string& path, std::vector<package::ComposeFileRef>* files) {
    seen_description = path;
    EXPECT_EQ(ReadBytes(path), Bytes("[Version]"));
    *files = {{u"norv.exe", u"src", u"bin", 1}, {u"readme.txt", u"", u"", 0}};
    return true;
  };
  package::DeedBoxPtr box(package::CreateDeedBox(lister));
  ASSERT_TRUE(box->Open(container_.c_str()));
  const std::u16string target = dir_.Join(u"compose");
  EXPECT_TRUE(box->ExtractCompose(u"Core", target.c_str()));
  EXPECT_EQ(FilesBelow(target), (std::set<std::string>{"bin/norv.exe", "readme.txt"}));
  EXPECT_EQ(ReadBytes(target + u"\\bin\\norv.exe"), program);
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

}  // namespace
