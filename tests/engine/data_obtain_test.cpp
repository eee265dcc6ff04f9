// The install data source over a package written with the container writer (load codes, the
// three requests with their records, the integrity checks after extraction, and closing), the
// integrity checks themselves, and the upkeep of a compose description's own size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ini_reader.h"
#include "base/strings.h"
#include "engine/data_obtain.h"
#include "engine/engine_codes.h"
#include "engine/file_entry.h"
#include "engine/integrity_check.h"
#include "engine_test_util.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"

namespace engine {
namespace {

using engine_test::WriteUtf16File;
using package::CDeedBox;
using package::kDeedBoxKindProduct;
using testing_support::Exists;
using testing_support::LogTail;
using testing_support::ReadBytes;
using testing_support::Utf16Bytes;
using testing_support::WriteBytes;

const std::vector<unsigned char> kProduct =
    Utf16Bytes(u"[Version]\r\nIsCheckString=1\r\n[HaveCompose]\r\nAll=Core\r\n[End]\r\nCheckString=CheckFileOKEnd\r\n");
const std::vector<unsigned char> kBadProduct = Utf16Bytes(u"[Version]\r\nIsCheckString=1\r\n");
const std::vector<unsigned char> kCompose =
    Utf16Bytes(u"[Version]\r\nFileSize=0000000000\r\n[HaveSection]\r\nCore=F\r\n");
const std::vector<unsigned char> kBadCompose = Utf16Bytes(u"[Version]\r\nFileSize=0000000007\r\n");
const std::vector<unsigned char> kPlainFile = {'p'}, kPrefixedFile = {'q'};

class DataObtain : public testing::Test {
 protected:
  DataObtain() {
    const auto source = [&](const char16_t* name, const std::vector<unsigned char>& bytes) {
      WriteBytes(dir_.Join(name), bytes);
      return dir_.Join(name);
    };
    CDeedBox box;
    EXPECT_TRUE(box.Create(u"Norv,Extra", package_.c_str(), u"Core,Bad", kDeedBoxKindProduct));
    EXPECT_TRUE(box.AddFix(0, u"Norv", source(u"p0", kBadProduct).c_str()));
    EXPECT_TRUE(box.AddFix(1, u"Norv", source(u"p1", kProduct).c_str()));
    EXPECT_TRUE(box.AddFix(1, u"Broken", source(u"p2", kBadProduct).c_str()));
    EXPECT_TRUE(box.AddComposeIni(u"Core", source(u"c1", kCompose).c_str()));
    EXPECT_TRUE(box.AddComposeIni(u"Bad", source(u"c2", kBadCompose).c_str()));
    EXPECT_TRUE(box.AddComposeFile(u"Core", u"", u"", u"a.dll", source(u"f1", kPlainFile).c_str()));
    EXPECT_TRUE(box.AddComposeFile(u"Core", u"src", u"bin", u"b.dll", source(u"f2", kPrefixedFile).c_str()));
    box.Close();
  }

  FileEntry Entry(const char16_t* file, const char16_t* field0, const char16_t* field1, uint32_t flags) {
    FileEntry entry;
    entry.file_name = file;
    entry.source_folder = field0;
    entry.dest_folder = field1;
    entry.flags = flags;
    entry.compose_name = u"Core";
    return entry;
  }

  testing_support::ScratchDir dir_;
  std::u16string package_ = dir_.Join(u"package.dat");
  WorkPaths paths_{dir_.Join(u"Norv")};
  CInstallDataObtain source_{paths_};
};

TEST_F(DataObtain, CodesBeforeAndAtLoading) {
  const std::u16string target = dir_.Join(u"out.out");
  std::u16string extracted;
  const FileEntry entry = Entry(u"a.dll", u"", u"", 0);
  EXPECT_EQ(source_.ObtainProductIni(u"Norv", target.c_str()), kDataNoPackage);
  EXPECT_EQ(source_.ObtainComposeIni(u"Core", target.c_str()), kDataNoPackage);
  EXPECT_EQ(source_.ObtainFile(&entry, &extracted), kDataNoPackage);
  EXPECT_FALSE(Exists(target));
  EXPECT_EQ(source_.LoadBigFile(dir_.Join(u"absent.dat").c_str()), kDataPackageMissing);
  EXPECT_EQ(source_.ObtainProductIni(u"Norv", target.c_str()), kDataProductIniMissing);
  const std::u16string not_a_package = dir_.Join(u"text.dat");
  WriteBytes(not_a_package, std::vector<unsigned char>(2000, 'x'));
  EXPECT_EQ(source_.LoadBigFile(not_a_package.c_str()), kDataNotAContainer);
  EXPECT_EQ(source_.LoadBigFile(package_.c_str()), kDataOk);
  EXPECT_EQ(source_.ProductList(), u"Norv,Extra");

  // Closing forgets the package; loading again works.
  source_.ClosePackage();
  EXPECT_EQ(source_.ObtainComposeIni(u"Core", target.c_str()), kDataNoPackage);
  ASSERT_EQ(source_.LoadBigFile(package_.c_str()), kDataOk);
  EXPECT_EQ(source_.ObtainComposeIni(u"Core", target.c_str()), kDataOk);
}

TEST_F(DataObtain, Descriptions) {
  ASSERT_EQ(source_.LoadBigFile(package_.c_str()), kDataOk);
  const std::u16string target = dir_.Join(u"Norv\\Temp\\Product\\Norv.out");
  const struct {
    const char* name;
    bool product;
    const char16_t* record;
    uint32_t code;
    const std::vector<unsigned char>* bytes;  // what the target holds afterwards, or null for none
  } cases[] = {
      {"product record 1", true, u"norv", kDataOk, &kProduct},
      {"product failing its check", true, u"Broken", kCheckStringMissing, &kBadProduct},
      {"product not in the package", true, u"Other", kDataProductIniMissing, nullptr},
      {"compose with an extension", false, u"core.x64", kDataOk, &kCompose},
      {"compose failing its check", false, u"Bad", kComposeSizeMismatch, &kBadCompose},
      {"compose not in the package", false, u"Other", kDataComposeIniMissing, nullptr},
  };
  for (const auto& c : cases) {
    package::DeleteTree(dir_.Join(u"Norv").c_str(), true);
    const uint32_t code = c.product ? source_.ObtainProductIni(c.record, target.c_str())
                                    : source_.ObtainComposeIni(c.record, target.c_str());
    EXPECT_EQ(code, c.code) << c.name;
    if (c.bytes) {
      EXPECT_EQ(ReadBytes(target), *c.bytes) << c.name;
    } else {
      EXPECT_FALSE(Exists(target)) << c.name;
    }
  }
}

TEST_F(DataObtain, FilesGoToTheTempFolder) {
  ASSERT_EQ(source_.LoadBigFile(package_.c_str()), kDataOk);
  const struct {
    const char16_t *file, *field0, *field1;
    uint32_t flags;
    const char16_t* target;
    const std::vector<unsigned char>* bytes;
  } cases[] = {
      {u"a.dll", u"", u"", 0, u"Core_a.dll.out", &kPlainFile},
      {u"b.dll", u"src", u"bin", kFilePrefixedCopies, u"Core_src_bin_b.dll.out", &kPrefixedFile},
      // The record name always carries both fields; the flag only shapes the target name.
      {u"b.dll", u"src", u"bin", 0, u"Core_b.dll.out", &kPrefixedFile},
      // A missing record is no failure here: placing the file reports it.
      {u"c.dll", u"", u"", 0, u"Core_c.dll.out", nullptr},
  };
  for (const auto& c : cases) {
    FileEntry entry = Entry(c.file, c.field0, c.field1, c.flags);
    ASSERT_EQ(source_.ObtainFile(&entry, &entry.extracted_path), kDataOk);
    // In a sub-folder of Temp chosen by the name.
    const std::u16string expected = paths_.TempFilePath(engine::TempBucket(c.target) + u"\\" + c.target);
    EXPECT_EQ(entry.extracted_path, expected);
    EXPECT_EQ(Exists(expected), c.bytes != nullptr);
    if (c.bytes) {
      EXPECT_EQ(ReadBytes(entry.extracted_path), *c.bytes);
    }
  }
  // Names that would leave the Temp folder are refused before anything is written.
  FileEntry escaping = Entry(u"x.dll", u"", u"%TEMP%\\..\\..", kFilePrefixedCopies);
  std::u16string untouched = u"unchanged";
  EXPECT_EQ(source_.ObtainFile(&escaping, &untouched), kDataUnsafeName);
  EXPECT_EQ(untouched, u"unchanged");
}

TEST_F(DataObtain, DestroyReleasesAnOpenPackage) {
  IDataObtain* source = new CInstallDataObtain(paths_);
  ASSERT_EQ(static_cast<CInstallDataObtain*>(source)->LoadBigFile(package_.c_str()), kDataOk);
  source->Destroy();
  // The package file is no longer held open: it can be deleted (Windows refuses an open file).
  EXPECT_TRUE(platform::DeleteFileAt(package_));
}

class IntegrityCheck : public testing::Test {
 protected:
  std::u16string Write(const std::string& text) {
    WriteUtf16File(path_, text);
    return path_;
  }
  size_t Size() const { return ReadBytes(path_).size(); }

  testing_support::ScratchDir dir_;
  std::u16string path_ = dir_.Join(u"desc.out");
};

// The text of a compose description whose FileSize is its own size in bytes.
std::string SelfSizedCompose(const std::string& rest) {
  // 2 bytes of byte-order mark, 2 bytes per character, CR added to every LF.
  const std::string head = "[Version]\nFileSize=";
  const std::string tail = "\n" + rest;
  const size_t units = 1 + head.size() + 10 + tail.size();
  size_t lines = 0;
  for (char c : head + tail) lines += c == '\n';
  char digits[16];
  std::snprintf(digits, sizeof digits, "%010zu", 2 * (units + lines));
  return head + digits + tail;
}

TEST_F(IntegrityCheck, ComposeSize) {
  const std::string whole = SelfSizedCompose("[HaveSection]\nCore=F\n");
  const struct {
    const char* name;
    std::string text;
    uint32_t code;
  } cases[] = {
      {"no FileSize (as 0)", "[Version]\nCurVersion=1\n", kOk},
      {"own size", whole, kOk},
      {"size of another file", "[Version]\nFileSize=0000001234\n", kComposeSizeMismatch},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckCompose(Write(c.text).c_str()), c.code) << c.name;

  // One byte cut off the end: the recorded size no longer matches, and the log names both.
  Write(whole);
  std::vector<unsigned char> bytes = ReadBytes(path_);
  const size_t real = bytes.size() - 1;
  bytes.pop_back();
  testing_support::WriteBytes(path_, bytes);
  const LogTail log;
  EXPECT_EQ(CheckCompose(path_.c_str()), kComposeSizeMismatch);
  const std::string expected = "   error ,CheckCompose file real size =" + std::to_string(real) +
                               " not equal config size =" + std::to_string(real + 1) + "  inifile=";
  EXPECT_NE(log.Text().find(expected), std::string::npos) << log.Text();

  EXPECT_EQ(CheckCompose(dir_.Join(u"absent.out").c_str()), kComposeIniLoadFailed);
  EXPECT_EQ(CheckCompose(nullptr), kComposeIniLoadFailed);
}

TEST_F(IntegrityCheck, ProductMarker) {
  const std::string no_label = "error , Product ini no checkstring label,product ini =";
  const std::string wrong = "error , Product ini checkstring is not right,";
  const struct {
    const char* name;
    const char* text;
    uint32_t code;
    int32_t version;  // CurrentVer, read whatever the check finds
    std::vector<std::string> log;
  } cases[] = {
      {"check 0", "[Version]\nIsCheckString=0\nCurrentVer=9\n[End]\nCheckString=wrong\n", kOk, 9, {}},
      {"marker in another case", "[Version]\nIsCheckString=1\n[End]\nCheckString=checkfileokend\n", kOk, 0, {}},
      {"check with leading blank", "[Version]\nIsCheckString= 1\n[End]\nCheckString=CheckFileOKEnd\n", kOk, 0, {}},
      {"no End section", "[Version]\nIsCheckString=1\nCurrentVer=9\n", kCheckStringMissing, 9, {no_label}},
      {"empty marker", "[Version]\nIsCheckString=1\n[End]\nCheckString=\n", kCheckStringMissing, 0, {no_label}},
      {"wrong marker", "[Version]\nIsCheckString=1\nCurrentVer=9\n[End]\nCheckString=CheckFileOK\n",
       kCheckStringWrong, 9, {wrong + "product ini  =", wrong + "check string =CheckFileOK"}},
  };
  for (const auto& c : cases) {
    Write(c.text);
    const LogTail log;
    int32_t version = -1;
    EXPECT_EQ(CheckProductIni(path_.c_str(), &version), c.code) << c.name;
    EXPECT_EQ(version, c.version) << c.name;
    for (const std::string& line : c.log) {
      EXPECT_NE(log.Text().find(line), std::string::npos) << c.name << "\n" << log.Text();
    }
  }
  int32_t version = -1;
  EXPECT_EQ(CheckProductIni(dir_.Join(u"absent.out").c_str(), &version), kProductIniLoadFailed);
  EXPECT_EQ(version, -1);
  EXPECT_EQ(CheckProductIni(nullptr), kProductIniLoadFailed);
}

TEST_F(IntegrityCheck, UpdateFileSizeRecordsTheSavedSize) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"absent", "[Version]\nCurVersion=2\n[HaveSection]\nCore=F\n"},
      {"short value", "[Version]\nFileSize=12\n[HaveSection]\nCore=F\n"},
      {"no Version section", "[HaveSection]\nCore=F\n"},
  };
  for (const auto& c : cases) {
    Write(c.text);
    app::CIniReader reader;
    ASSERT_TRUE(reader.LoadTzFile(path_));
    ASSERT_TRUE(UpdateFileSize(reader, false)) << c.name;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010zu", Size());
    EXPECT_EQ(base::Utf16ToUtf8(reader.GetString(u"Version", u"FileSize")), digits) << c.name;
    EXPECT_EQ(CheckCompose(path_.c_str()), kOk) << c.name;
  }
}

TEST_F(IntegrityCheck, UpdateFileSizeWritesOnlyWhatChanges) {
  Write("[Version]\nFileSize=0000000001\n[HaveSection]\nCore=F\n");
  app::CIniReader reader;
  ASSERT_TRUE(reader.LoadTzFile(path_));
  ASSERT_TRUE(UpdateFileSize(reader, true));
  const std::vector<unsigned char> consistent = ReadBytes(path_);
  const std::u16string value = reader.GetString(u"Version", u"FileSize");
  ASSERT_TRUE(UpdateFileSize(reader, true));
  EXPECT_EQ(ReadBytes(path_), consistent);
  // A change of the content changes the size; the value follows it and keeps its width.
  reader.SetString(u"Version", u"CurVersion", u"3");
  ASSERT_TRUE(UpdateFileSize(reader, true));
  EXPECT_EQ(CheckCompose(path_.c_str()), kOk);
  EXPECT_NE(reader.GetString(u"Version", u"FileSize"), value);
  EXPECT_EQ(reader.GetString(u"Version", u"FileSize").size(), 10u);

  // Without a FileSize to keep, nothing is written.
  Write("[Version]\nCurVersion=2\n");
  const std::vector<unsigned char> before = ReadBytes(path_);
  app::CIniReader plain;
  ASSERT_TRUE(plain.LoadTzFile(path_));
  plain.SetString(u"Version", u"CurVersion", u"5");
  EXPECT_TRUE(UpdateFileSize(plain, true));
  EXPECT_EQ(ReadBytes(path_), before);
  app::CIniReader unsaved;  // no path to save to
  unsaved.SetString(u"Version", u"FileSize", u"0000000001");
  EXPECT_FALSE(UpdateFileSize(unsaved, false));
}

}  // namespace
}  // namespace engine
